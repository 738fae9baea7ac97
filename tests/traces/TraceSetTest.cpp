#include <gtest/gtest.h>

#include <cmath>

#include "TraceTestData.h"
#include "base/Catalog.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "traces/TraceSet.h"

namespace fim {
namespace {

using testing::MakeSpectrum;

// Records at 20·2^(i/28) Hz: 100 Hz lies between records 65 and 66.
double Flat(int) { return 2.0; }
double Ramp(int i) { return 1.0 + 0.01 * i; }
double NoPhase(int) { return 0.0; }

TEST(TraceCurves, RangeLevelsEmptyRecordsAndMirror) {
    auto s = MakeSpectrum(Ramp, NoPhase);
    s[100].Magnitude = 0.0;
    s[101].Magnitude = -1.0;
    std::vector<CurvePoint> pts, inv, none;
    AppendSmoothCurve(s, 2.0, 100.0, 10000.0, 3.0, false, pts);
    AppendSmoothCurve(s, 2.0, 100.0, 10000.0, 3.0, true, inv);
    ASSERT_EQ(pts.size(), inv.size());
    EXPECT_EQ(pts.front().frequency, s[66].Frequency);
    EXPECT_LE(pts.back().frequency, 10000.0);
    EXPECT_GT(pts.back().frequency, 10000.0 * std::pow(2.0, -1.0 / 28.0));
    EXPECT_NEAR(pts.front().db, 20.0 * std::log10(Ramp(66) / 2.0) + 3.0, 1e-12);
    EXPECT_NEAR(inv.front().db, -20.0 * std::log10(Ramp(66) / 2.0) + 3.0, 1e-12);
    for (const CurvePoint& p : pts)
        ASSERT_TRUE(p.frequency != s[100].Frequency && p.frequency != s[101].Frequency);
    // A reference of 0 would put every point at +inf: nothing is drawn.
    AppendSmoothCurve(s, 0.0, 20.0, 20000.0, 0.0, false, none);
    AppendSmoothCurve(s, NAN, 20.0, 20000.0, 0.0, false, none);
    EXPECT_TRUE(none.empty());
}

TEST(TraceSet, MainTraceMembersAndTheRebuildOfEachRepaint) {
    testing::TempDir dir;
    MemorySettingsTree tree;
    ScriptedPrompter prompter;
    TraceSet set(&tree, &prompter);
    for (int n : {1, 3}) {
        const std::string path = dir.File("t" + std::to_string(n) + ".smr");
        ASSERT_TRUE(
            WriteTraceFile(path, 50.0, 48000.0, MakeSpectrum(n == 1 ? Flat : Ramp, NoPhase)));
        ASSERT_TRUE(set.Trace(n).LoadFromFile(path));
        set.Trace(n).AverageDown = true;
    }
    const auto live = MakeSpectrum(Ramp, NoPhase);
    LiveGraph g;
    g.Smooth = live;
    g.LowestValid = 40.0;
    const TracePlotRange plot{20.0, 20000.0, 0.0, 1};

    set.AddCurrentGraph = true;
    EXPECT_EQ(set.MainTraceMembers(), (std::vector<std::string>{"t1", "t3", Msg(230)}));
    EXPECT_TRUE(set.Repaint(g, plot).empty()) << "main trace not shown";
    EXPECT_EQ(set.Main().AverageCount, 3);
    EXPECT_EQ(set.Main().MaxLowest, 50.0);
    // Shown relative to its own level; the flip mirrors it around 0 dB.
    set.Main().ShowDown = true;
    const std::vector<CurvePoint> upright = set.Repaint(g, plot)[0].points;
    set.Main().CentreDown = true;
    const auto flipped = set.Repaint(g, plot);
    ASSERT_EQ(flipped.size(), 1u);
    EXPECT_EQ(flipped[0].colour, kMainTraceDefaultColour);
    ASSERT_EQ(flipped[0].points.size(), upright.size());
    for (std::size_t i = 0; i < upright.size(); ++i)
        ASSERT_NEAR(flipped[0].points[i].db, -upright[i].db, 1e-9);

    // FFT mode has no SMOOTH graph: "Add current graph" alone gives no main trace.
    set.Trace(1).AverageDown = false;
    set.Trace(3).AverageDown = false;
    g.Smooth = {};
    EXPECT_TRUE(set.Repaint(g, plot).empty());
    EXPECT_EQ(set.Main().AverageCount, 0);
    EXPECT_FALSE(set.Main().ShowEnabled());
    set.AddCurrentGraph = false;
    EXPECT_TRUE(set.MainTraceMembers().empty());
}

}  // namespace
}  // namespace fim
