#include <gtest/gtest.h>

#include "macros/MacroSnapshot.h"

namespace fim {
namespace {

TEST(MacroSnapshot, FftSizeBecomesTheSmallestCodeThatHoldsIt) {
    UserMacro m;
    SnapshotSource s;
    for (const auto& [size, code] :
         {std::pair{2048, 0}, {4096, 1}, {3000, 1}, {32768, 4}, {65536, 4}, {1024, 0}}) {
        s.fftSize = size;
        AssignSnapshot(m, s);
        EXPECT_EQ(m.fftCode, code) << size;
    }
    s.mode = AnalysisMode::Smooth;
    AssignSnapshot(m, s);
    EXPECT_TRUE(m.UsesSmoothFft());
}

TEST(MacroSnapshot, FlagsNeedTheirFilesAndSmoothingStaysInRange) {
    UserMacro m;
    SnapshotSource s;
    s.useCal = s.useMic = s.useOverlay = true;
    s.micFile = "mic.smc";
    s.smoothingValue = 14;
    AssignSnapshot(m, s);
    EXPECT_FALSE(m.useCal);
    EXPECT_TRUE(m.useMic);
    EXPECT_FALSE(m.useOverlay);
    EXPECT_EQ(m.micFile, "mic.smc");
    EXPECT_EQ(m.smoothing, 10);
}

TEST(MacroSnapshot, WindowIsTheViewAroundThePeakInMicroseconds) {
    UserMacro m;
    SnapshotSource s;
    s.sampleRate = 48000.0;
    s.viewStart = 100;
    s.viewEnd = 580;
    s.peakIndex = 148;
    AssignSnapshot(m, s);
    EXPECT_EQ(m.window.name, "Snap");
    EXPECT_EQ(m.window.samplesBefore, 48);
    EXPECT_EQ(m.window.timeBefore, 1000);
    EXPECT_EQ(m.window.samplesAfter, 432);
    EXPECT_EQ(m.window.timeAfter, 9000);

    // A peak outside the view still gives a window of at least one sample after it.
    s.peakIndex = 600;
    AssignSnapshot(m, s);
    EXPECT_EQ(m.window.samplesBefore, 500);
    EXPECT_EQ(m.window.samplesAfter, 1);

    // Without a rate or a view the macro keeps its window.
    const TimeWindow kept = m.window;
    s.sampleRate = 0.0;
    AssignSnapshot(m, s);
    EXPECT_EQ(m.window, kept);
    s.sampleRate = 48000.0;
    s.viewEnd = s.viewStart;
    AssignSnapshot(m, s);
    EXPECT_EQ(m.window, kept);
}

}  // namespace
}  // namespace fim
