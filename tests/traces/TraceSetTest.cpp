#include <gtest/gtest.h>

#include <cmath>

#include "TraceTestData.h"
#include "settings/MemorySettingsTree.h"
#include "shell/Catalog.h"
#include "shell/ScriptedPrompter.h"
#include "traces/TraceSet.h"

namespace fim {
namespace {

using testing::MakeSpectrum;

// Records at 20·2^(i/28) Hz: 100 Hz at index 65, 200 Hz at 93, 10 kHz at 251 (within rounding).
double Flat(int) { return 2.0; }
double Ramp(int i) { return 1.0 + 0.01 * i; }
double NoPhase(int) { return 0.0; }

TEST(TraceCurves, SmoothCurveKeepsRangeSkipsEmptyRecordsAndMirrors) {
    auto s = MakeSpectrum(Ramp, NoPhase);
    s[100].Magnitude = 0.0;
    s[101].Magnitude = -1.0;
    std::vector<CurvePoint> pts;
    AppendSmoothCurve(s, 2.0, 100.0, 10000.0, 3.0, false, pts);
    ASSERT_FALSE(pts.empty());
    EXPECT_GE(pts.front().frequency, 100.0);
    EXPECT_LT(pts.front().frequency, 100.0 * std::pow(2.0, 1.0 / 28.0));
    EXPECT_LE(pts.back().frequency, 10000.0);
    for (const CurvePoint& p : pts) {
        ASSERT_NE(p.frequency, s[100].Frequency);
        ASSERT_NE(p.frequency, s[101].Frequency);
    }
    // Level: 20·log10(m / reference) + gain, by hand for the first point.
    const int first = static_cast<int>(std::ceil(28.0 * std::log2(100.0 / 20.0) - 1e-9));
    EXPECT_NEAR(pts.front().db, 20.0 * std::log10(Ramp(first) / 2.0) + 3.0, 1e-12);

    std::vector<CurvePoint> inv;
    AppendSmoothCurve(s, 2.0, 100.0, 10000.0, 3.0, true, inv);
    ASSERT_EQ(inv.size(), pts.size());
    EXPECT_NEAR(inv.front().db, -(pts.front().db - 3.0) + 3.0, 1e-12);

    // A reference of 0 would put every point at +inf: nothing is drawn.
    std::vector<CurvePoint> none;
    AppendSmoothCurve(s, 0.0, 20.0, 20000.0, 0.0, false, none);
    AppendSmoothCurve(s, NAN, 20.0, 20000.0, 0.0, false, none);
    EXPECT_TRUE(none.empty());
}

class TraceSetTest : public ::testing::Test {
  protected:
    testing::TempDir dir;
    MemorySettingsTree tree;
    ScriptedPrompter prompter;

    std::string WriteTrace(const std::string& name, double (*mag)(int), double lowest) {
        const std::string path = dir.File(name);
        EXPECT_TRUE(WriteTraceFile(path, lowest, 48000.0, MakeSpectrum(mag, NoPhase)));
        return path;
    }
};

TEST_F(TraceSetTest, RepaintDrawsShownTracesAgainstTheRightReference) {
    TraceSet set(&tree, &prompter);
    ASSERT_TRUE(set.Trace(2).LoadFromFile(WriteTrace("flat.smr", Flat, 150.0)));
    ASSERT_TRUE(set.Trace(4).LoadFromFile(WriteTrace("ramp.smr", Ramp, 50.0)));
    EXPECT_EQ(set.Trace(2).GetName(), "flat");

    LiveGraph live;
    live.LevelReference = 0.5;
    TracePlotRange plot{100.0, 8000.0, 0.0, 2};
    // Nothing shown, no main trace: no curves.
    EXPECT_TRUE(set.Repaint(live, plot).empty());

    set.Trace(2).ShowDown = true;
    set.Trace(4).ShowDown = true;
    auto curves = set.Repaint(live, plot);
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0].colour, kTraceDefaultColours[1]);
    EXPECT_EQ(curves[0].penWidth, 2);
    // Trace 2 starts at its own lowest valid frequency, above the plot's lower limit.
    EXPECT_GE(curves[0].points.front().frequency, 150.0);
    // Not centred: against the live reference, 20·log10(2 / 0.5) ≈ 12.04 dB everywhere.
    for (const CurvePoint& p : curves[0].points) ASSERT_NEAR(p.db, 12.0412, 1e-4);
    EXPECT_EQ(curves[1].colour, kTraceDefaultColours[3]);
    EXPECT_GE(curves[1].points.front().frequency, 100.0);

    // Centred on its own mean magnitude, the flat trace sits on 0 dB.
    set.Trace(2).CentreDown = true;
    curves = set.Repaint(live, plot);
    for (const CurvePoint& p : curves[0].points) ASSERT_NEAR(p.db, 0.0, 1e-9);
}

TEST_F(TraceSetTest, MainTraceFollowsMembersAndFlips) {
    TraceSet set(&tree, &prompter);
    ASSERT_TRUE(set.Trace(1).LoadFromFile(WriteTrace("a.smr", Flat, 50.0)));
    ASSERT_TRUE(set.Trace(3).LoadFromFile(WriteTrace("b.smr", Ramp, 50.0)));
    const auto live = MakeSpectrum(Ramp, NoPhase);
    LiveGraph g;
    g.Smooth = live;
    g.LowestValid = 40.0;
    TracePlotRange plot{20.0, 20000.0, -6.0, 1};

    set.Trace(1).AverageDown = true;
    set.Trace(3).AverageDown = true;
    set.AddCurrentGraph = true;
    EXPECT_EQ(set.MainTraceMembers(),
              (std::vector<std::string>{"a", "b", Msg(230)}));
    set.Repaint(g, plot);
    EXPECT_EQ(set.Main().AverageCount, 3);
    EXPECT_EQ(set.Main().MaxLowest, 50.0);

    // The main trace is drawn only while its show toggle is down, relative to its own level;
    // the flip mirrors the levels around the gain offset.
    set.Main().ShowDown = true;
    auto curves = set.Repaint(g, plot);
    ASSERT_EQ(curves.size(), 1u);
    EXPECT_EQ(curves[0].colour, kMainTraceDefaultColour);
    const std::vector<CurvePoint> upright = curves[0].points;
    set.Main().CentreDown = true;
    curves = set.Repaint(g, plot);
    ASSERT_EQ(curves[0].points.size(), upright.size());
    for (std::size_t i = 0; i < upright.size(); ++i) {
        ASSERT_NEAR(curves[0].points[i].db + 6.0, -(upright[i].db + 6.0), 1e-9);
    }

    // No member left: the next repaint clears the main trace and draws nothing.
    set.Trace(1).AverageDown = false;
    set.Trace(3).AverageDown = false;
    set.AddCurrentGraph = false;
    EXPECT_TRUE(set.MainTraceMembers().empty());
    EXPECT_TRUE(set.Repaint(g, plot).empty());
    EXPECT_EQ(set.Main().AverageCount, 0);
    EXPECT_FALSE(set.Main().ShowEnabled());

    // FFT mode has no SMOOTH graph: "Add current graph" alone leaves the main trace empty.
    set.AddCurrentGraph = true;
    g.Smooth = {};
    EXPECT_TRUE(set.Repaint(g, plot).empty());
    EXPECT_EQ(set.Main().AverageCount, 0);
}

TEST_F(TraceSetTest, ColoursAndFilesSurviveRestart) {
    const std::string path = WriteTrace("hall.smr", Flat, 50.0);
    {
        TraceSet set(&tree, &prompter);
        ASSERT_TRUE(set.Trace(5).LoadFromFile(path));
        set.Trace(5).SetColour(0x123456);
        set.Main().SetColour(0x00ABCDEF);
    }
    TraceSet again(&tree, &prompter);
    EXPECT_TRUE(again.Trace(5).Loaded);
    EXPECT_EQ(again.Trace(5).FileName, path);
    EXPECT_EQ(again.Trace(5).Colour, 0x123456u);
    EXPECT_EQ(again.Main().Colour, 0x00ABCDEFu);
    EXPECT_FALSE(again.Trace(1).Loaded);
    EXPECT_EQ(again.Trace(1).Colour, kTraceDefaultColours[0]);
    EXPECT_EQ(again.Trace(1).GetName(), Msg(228));
}

}  // namespace
}  // namespace fim
