#include <gtest/gtest.h>

#include <cmath>

#include "TraceTestData.h"
#include "base/Catalog.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "traces/TMAINTRACE.h"

namespace fim {
namespace {

using testing::MakeSpectrum;

double Rising(int i) { return 1.0 + 0.01 * i; }
double Falling(int i) { return 4.0 - 0.005 * i; }
double PhaseA(int i) { return 0.001 * i; }
double PhaseB(int i) { return -0.002 * i; }
double Db(double m) { return 20.0 * std::log10(m); }

// The spectra's records lie at 20·2^(i/28) Hz: 50 Hz from index 38, 200 Hz from 94, above 22 kHz
// from 283, at or above 23 kHz from 285.

TEST(TMAINTRACE, StartCopiesFromLowestUpToFirstRecordAt23k) {
    TMAINTRACE m(nullptr, nullptr, 0x008000);
    const auto a = MakeSpectrum(Rising, PhaseA);
    ASSERT_TRUE(m.StartAverage(a, 50.0));
    EXPECT_EQ(m.AverageCount, 1);
    EXPECT_TRUE(m.ShowEnabled());
    double sum = 0.0;
    for (int i = 38; i <= 285; ++i) sum += a[i].Magnitude;
    EXPECT_DOUBLE_EQ(m.OwnReference, sum / (285 - 38 + 1));
    EXPECT_EQ(m.GetRecords()[37].Magnitude, 0.0);
    EXPECT_EQ(m.GetRecords()[285].Magnitude, a[285].Magnitude);
    EXPECT_EQ(m.GetRecords()[286].Magnitude, 0.0);
    // Nothing at or above the lowest frequency: the average stays empty.
    EXPECT_FALSE(m.StartAverage(a, 60000.0));
    EXPECT_EQ(m.AverageCount, 0);
}

TEST(TMAINTRACE, AveragingIdentities) {
    TMAINTRACE m(nullptr, nullptr, 0);
    const auto a = MakeSpectrum(Rising, PhaseA);
    const auto b = MakeSpectrum(Falling, PhaseB);
    ASSERT_TRUE(m.StartAverage(a, 50.0));
    const double refA = m.OwnReference;
    // R ≤ 0: the trace is not a member; nothing changes.
    m.AddToAverage(b, 0.0, 500.0);
    EXPECT_EQ(m.AverageCount, 1);
    EXPECT_EQ(m.MaxLowest, 50.0);
    // The same spectrum at the main trace's own level changes nothing.
    m.AddToAverage(a, refA, 50.0);
    for (int i = 38; i <= 285; ++i) {
        ASSERT_NEAR(m.GetRecords()[i].Magnitude, a[i].Magnitude, 1e-12 * a[i].Magnitude) << i;
        ASSERT_NEAR(m.GetRecords()[i].Phase, a[i].Phase, 1e-15) << i;
    }
    // Another spectrum: the mean in dB of A and of B moved to A's level, from the highest
    // lowest frequency up to the last record before 22 kHz; phases averaged.
    const double refB = 3.0;
    m.AddToAverage(b, refB, 200.0);
    EXPECT_EQ(m.AverageCount, 3);
    EXPECT_EQ(m.MaxLowest, 200.0);
    const auto r = m.GetRecords();
    for (int i = 38; i <= 285; ++i) {
        if (i >= 94 && i <= 282) {
            const double expect = (Db(a[i].Magnitude) + Db(b[i].Magnitude) - Db(refB / refA)) / 2;
            ASSERT_NEAR(Db(r[i].Magnitude), expect, 1e-9) << i;
            ASSERT_NEAR(r[i].Phase, (a[i].Phase + b[i].Phase) / 2, 1e-15) << i;
        } else {
            ASSERT_NEAR(r[i].Magnitude, a[i].Magnitude, 1e-12 * a[i].Magnitude) << i;
        }
    }
}

TEST(TMAINTRACE, AdditionNeverPassesRecord293) {
    SmoothSpectrum quiet{};
    for (int i = 0; i < kSmoothRecords; ++i) quiet[i] = {100.0 + i, 1.0, 0.0};  // all below 22 kHz
    SmoothSpectrum loud = quiet;
    for (auto& rec : loud) rec.Magnitude = 4.0;
    TMAINTRACE m(nullptr, nullptr, 0);
    ASSERT_TRUE(m.StartAverage(quiet, 50.0));
    m.AddToAverage(loud, 1.0, 50.0);
    EXPECT_EQ(m.GetRecords()[292].Magnitude, 2.0);
    EXPECT_EQ(m.GetRecords()[293].Magnitude, 1.0);
}

TEST(TMAINTRACE, CorrectionOnlyAtItsSampleRate) {
    TMAINTRACE m(nullptr, nullptr, 0);
    const auto a = MakeSpectrum(Rising, PhaseA);
    ASSERT_TRUE(m.StartAverage(a, 20.0));
    std::vector<SmoothRecord> c(295, {0.0, 20.0 * std::log10(2.0), 0.25});
    c[0].Frequency = 48000.0;
    EXPECT_FALSE(m.ApplyCorrection(c, 44100.0));
    EXPECT_EQ(m.GetRecords()[10].Magnitude, a[10].Magnitude);
    c[0].Frequency = 44100.0;
    ASSERT_TRUE(m.ApplyCorrection(c, 44100.0));
    for (int k = 0; k <= 282; ++k) {
        ASSERT_NEAR(m.GetRecords()[k].Magnitude, a[k].Magnitude / 2.0, 1e-14) << k;
        ASSERT_NEAR(m.GetRecords()[k].Phase, a[k].Phase - 0.25, 1e-15) << k;
    }
    EXPECT_EQ(m.GetRecords()[283].Magnitude, a[283].Magnitude);
}

TEST(TMAINTRACE, SaveSettingsAndRebuild) {
    testing::TempDir dir;
    MemorySettingsTree tree;
    tree.WriteInteger("MainTrace", 0x112233);
    ScriptedPrompter prompter;
    TMAINTRACE m(&tree, &prompter, 0x008000);
    EXPECT_EQ(m.Colour, 0x112233u);
    const auto live = MakeSpectrum(Rising, PhaseA);
    const auto b = MakeSpectrum(Falling, PhaseB);
    const std::string path = dir.File("b.smr");
    ASSERT_TRUE(WriteTraceFile(path, 200.0, 44100.0, b));
    Ttrace t1(1, nullptr, nullptr, 0);
    Ttrace t2(2, nullptr, nullptr, 0);
    ASSERT_TRUE(t2.LoadFromFile(path));
    Ttrace* traces[] = {&t1, &t2, nullptr, nullptr, nullptr};

    RebuildMainTrace(m, traces, false, live, 50.0, {}, 44100.0);
    EXPECT_EQ(m.AverageCount, 0);  // nothing marked
    t2.AverageDown = true;
    RebuildMainTrace(m, traces, true, live, 50.0, {}, 44100.0);
    RebuildMainTrace(m, traces, true, live, 50.0, {}, 44100.0);  // rebuilt, not accumulated
    EXPECT_EQ(m.AverageCount, 2);

    // Saved, it loads as a trace; a failed save is reported and writes nothing.
    const std::string saved = dir.File("main.smr");
    ASSERT_TRUE(m.SaveToFile(saved, 48000.0));
    Ttrace t3(3, nullptr, &prompter, 0);
    ASSERT_TRUE(t3.LoadFromFile(saved));
    EXPECT_EQ(t3.GetRecords()[150].Magnitude, m.GetRecords()[150].Magnitude);
    EXPECT_FALSE(m.SaveToFile(dir.File("no/such/main.smr"), 48000.0));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, Msg(39));
    m.SetColour(0x445566);
    m.SaveSettings();
    EXPECT_EQ(tree.ReadInteger("MAINTRACE"), 0x445566);
}

}  // namespace
}  // namespace fim
