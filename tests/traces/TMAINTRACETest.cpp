#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "TraceTestData.h"
#include "settings/MemorySettingsTree.h"
#include "shell/Catalog.h"
#include "shell/ScriptedPrompter.h"
#include "traces/TMAINTRACE.h"

namespace fim {
namespace {

using testing::MakeSpectrum;

double Rising(int i) { return 1.0 + 0.01 * i; }
double Falling(int i) { return 4.0 - 0.005 * i; }
double PhaseA(int i) { return 0.001 * i; }
double PhaseB(int i) { return -0.002 * i; }

double Db(double m) { return 20.0 * std::log10(m); }

// Mean magnitude of the records StartAverage copies: from the first at or above `lowest` to the
// first at or above 23000 Hz, both included.
double CopiedMean(const SmoothSpectrum& s, double lowest) {
    double sum = 0.0;
    int n = 0;
    for (const auto& r : s) {
        if (r.Frequency < lowest) continue;
        sum += r.Magnitude;
        ++n;
        if (r.Frequency >= 23000.0) break;
    }
    return sum / n;
}

TEST(TMAINTRACE, StartCopiesRangeAndSetsReference) {
    TMAINTRACE m(nullptr, nullptr, 0x008000);
    EXPECT_FALSE(m.ShowEnabled());
    const auto a = MakeSpectrum(Rising, PhaseA);
    ASSERT_TRUE(m.StartAverage(a, 100.0));
    EXPECT_EQ(m.AverageCount, 1);
    EXPECT_EQ(m.MaxLowest, 100.0);
    EXPECT_EQ(m.LowFrequencyLimit, 100.0);
    EXPECT_TRUE(m.ShowEnabled());
    EXPECT_DOUBLE_EQ(m.OwnReference, CopiedMean(a, 100.0));
    EXPECT_EQ(m.DisplayReference, m.OwnReference);
    const auto r = m.GetRecords();
    // Records below 100 Hz stay as the block held them (zero), index 285 (first ≥ 23 kHz) is the
    // last copied.
    EXPECT_EQ(r[0].Magnitude, 0.0);
    EXPECT_EQ(r[66].Magnitude, a[66].Magnitude);  // 20·2^(66/28) ≈ 102 Hz
    EXPECT_EQ(r[65].Magnitude, 0.0);
    EXPECT_EQ(r[285].Magnitude, a[285].Magnitude);
    EXPECT_EQ(r[286].Magnitude, 0.0);

    // A spectrum entirely below the lowest frequency starts nothing.
    EXPECT_FALSE(m.StartAverage(a, 60000.0));
    EXPECT_EQ(m.AverageCount, 0);
    EXPECT_FALSE(m.ShowEnabled());
}

TEST(TMAINTRACE, AddingWithoutReferenceChangesNothing) {
    TMAINTRACE m(nullptr, nullptr, 0);
    const auto a = MakeSpectrum(Rising, PhaseA);
    const auto b = MakeSpectrum(Falling, PhaseB);
    ASSERT_TRUE(m.StartAverage(a, 50.0));
    m.AddToAverage(b, 0.0, 500.0);
    m.AddToAverage(b, -1.0, 500.0);
    EXPECT_EQ(m.AverageCount, 1);
    EXPECT_EQ(m.MaxLowest, 50.0);
    for (int i = 0; i < kSmoothRecords; ++i)
        ASSERT_EQ(m.GetRecords()[i].Magnitude, i >= 38 && i <= 285 ? a[i].Magnitude : 0.0) << i;
}

TEST(TMAINTRACE, AddingSameSpectrumAtOwnLevelIsIdentity) {
    TMAINTRACE m(nullptr, nullptr, 0);
    const auto a = MakeSpectrum(Rising, PhaseA);
    ASSERT_TRUE(m.StartAverage(a, 50.0));
    const double ref = m.OwnReference;
    m.AddToAverage(a, ref, 50.0);
    m.AddToAverage(a, ref, 50.0);
    EXPECT_EQ(m.AverageCount, 3);
    for (int i = 38; i <= 285; ++i) {
        ASSERT_NEAR(m.GetRecords()[i].Magnitude, a[i].Magnitude, 1e-12 * a[i].Magnitude) << i;
        ASSERT_NEAR(m.GetRecords()[i].Phase, a[i].Phase, 1e-15) << i;
    }
}

TEST(TMAINTRACE, AdditionIsMeanInDecibelsAtMainLevel) {
    TMAINTRACE m(nullptr, nullptr, 0);
    const auto a = MakeSpectrum(Rising, PhaseA);
    const auto b = MakeSpectrum(Falling, PhaseB);
    ASSERT_TRUE(m.StartAverage(a, 50.0));
    const double refA = m.OwnReference;
    const double refB = 3.0;
    m.AddToAverage(b, refB, 200.0);
    EXPECT_EQ(m.AverageCount, 2);
    EXPECT_EQ(m.MaxLowest, 200.0);
    const auto r = m.GetRecords();
    // 20·2^(i/28) ≥ 200 from i = 94; the last averaged record is the one before the first
    // record above 22 kHz (index 283).
    for (int i = 0; i < kSmoothRecords; ++i) {
        const bool averaged = i >= 94 && i <= 282;
        if (averaged) {
            // In dB: the mean of A and of B moved from its own level to A's.
            const double expect = (Db(a[i].Magnitude) + Db(b[i].Magnitude) - Db(refB / refA)) / 2;
            ASSERT_NEAR(Db(r[i].Magnitude), expect, 1e-9) << i;
            ASSERT_NEAR(r[i].Phase, (a[i].Phase + b[i].Phase) / 2, 1e-15) << i;
        } else if (i >= 38 && i <= 285) {
            ASSERT_EQ(r[i].Magnitude, a[i].Magnitude) << i;
            ASSERT_EQ(r[i].Phase, a[i].Phase) << i;
        }
    }
    // A third addition weighs as much as both before it together.
    const double before = r[150].Magnitude;
    m.AddToAverage(b, refB, 50.0);
    EXPECT_EQ(m.MaxLowest, 200.0);  // never lowered
    EXPECT_NEAR(Db(m.GetRecords()[150].Magnitude),
                (Db(before) + Db(b[150].Magnitude) - Db(refB / refA)) / 2, 1e-9);
}

TEST(TMAINTRACE, AdditionNeverPassesRecord293) {
    // Frequencies that never rise above 22 kHz: the addition stops after 1-based record 293.
    SmoothSpectrum flat{};
    for (int i = 0; i < kSmoothRecords; ++i) flat[i] = {100.0 + i, 1.0, 0.0};
    SmoothSpectrum loud = flat;
    for (auto& r : loud) r.Magnitude = 4.0;
    TMAINTRACE m(nullptr, nullptr, 0);
    ASSERT_TRUE(m.StartAverage(flat, 50.0));  // no record reaches 23 kHz: all 295 copied
    m.AddToAverage(loud, 1.0, 50.0);
    EXPECT_EQ(m.GetRecords()[292].Magnitude, 2.0);
    EXPECT_EQ(m.GetRecords()[293].Magnitude, 1.0);
    EXPECT_EQ(m.GetRecords()[294].Magnitude, 1.0);
}

TEST(TMAINTRACE, AddingToEmptyAverageStartsIt) {
    TMAINTRACE m(nullptr, nullptr, 0);
    const auto b = MakeSpectrum(Falling, PhaseB);
    m.AddToAverage(b, 5.0, 300.0);
    EXPECT_EQ(m.AverageCount, 1);
    EXPECT_EQ(m.MaxLowest, 300.0);
    EXPECT_DOUBLE_EQ(m.OwnReference, CopiedMean(b, 300.0));
    m.ClearAverage();
    EXPECT_EQ(m.AverageCount, 0);
    EXPECT_FALSE(m.PrepareDrawMain());
}

TEST(TMAINTRACE, CorrectionOnlyAtItsSampleRate) {
    TMAINTRACE m(nullptr, nullptr, 0);
    const auto a = MakeSpectrum(Rising, PhaseA);
    ASSERT_TRUE(m.StartAverage(a, 20.0));
    std::vector<SmoothRecord> c(295);
    c[0].Frequency = 48000.0;
    for (std::size_t k = 1; k < c.size(); ++k) c[k] = {0.0, 20.0 * std::log10(2.0), 0.25};
    EXPECT_FALSE(m.ApplyCorrection(c, 44100.0));
    EXPECT_EQ(m.GetRecords()[10].Magnitude, a[10].Magnitude);

    c[0].Frequency = 44100.0;
    ASSERT_TRUE(m.ApplyCorrection(c, 44100.0));
    const auto r = m.GetRecords();
    // Main record k takes correction record k + 1; the last corrected is the one before the
    // first record above 22 kHz.
    for (int k = 0; k <= 282; ++k) {
        ASSERT_NEAR(r[k].Magnitude, a[k].Magnitude / 2.0, 1e-14) << k;
        ASSERT_NEAR(r[k].Phase, a[k].Phase - 0.25, 1e-15) << k;
    }
    EXPECT_EQ(r[283].Magnitude, a[283].Magnitude);
    // A correction shorter than the trace is read no further than its end.
    TMAINTRACE m2(nullptr, nullptr, 0);
    ASSERT_TRUE(m2.StartAverage(a, 20.0));
    std::vector<SmoothRecord> shortC(c.begin(), c.begin() + 11);
    ASSERT_TRUE(m2.ApplyCorrection(shortC, 44100.0));
    EXPECT_NEAR(m2.GetRecords()[9].Magnitude, a[9].Magnitude / 2.0, 1e-14);
    EXPECT_EQ(m2.GetRecords()[10].Magnitude, a[10].Magnitude);
}

TEST(TMAINTRACE, SaveLoadRoundTripAndFailedSave) {
    testing::TempDir dir;
    MemorySettingsTree tree;
    tree.WriteInteger("MainTrace", 0x112233);
    ScriptedPrompter prompter;
    TMAINTRACE m(&tree, &prompter, 0x008000);
    EXPECT_EQ(m.Colour, 0x112233u);
    const auto a = MakeSpectrum(Rising, PhaseA);
    ASSERT_TRUE(m.StartAverage(a, 100.0));
    const std::string path = dir.File("main.smr");
    ASSERT_TRUE(m.SaveToFile(path, 48000.0));

    Ttrace t(1, nullptr, &prompter, 0);
    ASSERT_TRUE(t.LoadFromFile(path));
    EXPECT_EQ(t.LowFrequencyLimit, 100.0);
    EXPECT_EQ(t.GetRecords()[200].Magnitude, a[200].Magnitude);
    const auto bytes = ReadFileBytes(path, kTraceFileBytes);
    EXPECT_EQ(ParseTraceFile(*bytes)->SampleRate, 48000.0);

    const std::string bad = dir.File("no/such/folder/main.smr");
    EXPECT_FALSE(m.SaveToFile(bad, 48000.0));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, Msg(39));
    EXPECT_FALSE(std::filesystem::exists(bad));

    m.SetColour(0x445566);
    m.SaveSettings();
    EXPECT_EQ(tree.ReadInteger("MAINTRACE"), 0x445566);
    EXPECT_FALSE(tree.HasValue("Trace 0"));
}

TEST(TMAINTRACE, RebuildFromLiveGraphAndMarkedTraces) {
    testing::TempDir dir;
    const auto b = MakeSpectrum(Falling, PhaseB);
    const std::string path = dir.File("b.smr");
    ASSERT_TRUE(WriteFileAtomically(path, EncodeTraceFile(200.0, 44100.0, b)));
    Ttrace t1(1, nullptr, nullptr, 0);
    Ttrace t2(2, nullptr, nullptr, 0);
    ASSERT_TRUE(t2.LoadFromFile(path));
    Ttrace* traces[] = {&t1, &t2, nullptr, nullptr, nullptr};
    TMAINTRACE m(nullptr, nullptr, 0);
    const auto live = MakeSpectrum(Rising, PhaseA);

    // Nothing marked, current graph not added: empty.
    RebuildMainTrace(m, traces, false, live, 50.0, {}, 44100.0);
    EXPECT_EQ(m.AverageCount, 0);

    // Only a marked trace: the average is that trace.
    t2.AverageDown = true;
    RebuildMainTrace(m, traces, false, live, 50.0, {}, 44100.0);
    EXPECT_EQ(m.AverageCount, 1);
    EXPECT_EQ(m.LowFrequencyLimit, 200.0);
    EXPECT_EQ(m.GetRecords()[150].Magnitude, b[150].Magnitude);

    // Live graph plus the trace: two members, rebuilt from scratch on every call.
    RebuildMainTrace(m, traces, true, live, 50.0, {}, 44100.0);
    RebuildMainTrace(m, traces, true, live, 50.0, {}, 44100.0);
    EXPECT_EQ(m.AverageCount, 2);
    EXPECT_EQ(m.MaxLowest, 200.0);
    const double refLive = CopiedMean(live, 50.0);
    const double expect =
        (Db(live[150].Magnitude) + Db(b[150].Magnitude) - Db(t2.OwnReference / refLive)) / 2;
    EXPECT_NEAR(Db(m.GetRecords()[150].Magnitude), expect, 1e-9);
}

}  // namespace
}  // namespace fim
