#include <gtest/gtest.h>

#include "auxwindows/InfoScreens.h"
#include "base/Catalog.h"

namespace fim {
namespace {

TEST(InfoScreens, WindowLinesInTimeAndDistanceWithoutSign) {
    // 48000 samples/s, 480 … 960, c = 343 m/s: 6.86 m rounds to 6.9 m.
    WindowLines w = AnalysisWindowLines(480, 960, 48000.0, 343.0, true);
    EXPECT_EQ(w.length, "Distance: 10ms 3.4m");
    EXPECT_EQ(w.left, "Left:  10ms 3.4m");
    EXPECT_EQ(w.right, "Right: 20ms 6.9m");
    // A left edge before the time origin shows no sign; the length stays right - left.
    w = AnalysisWindowLines(-96, 384, 48000.0, 343.0, true);
    EXPECT_EQ(w.left, "Left:  2ms 0.7m");
    EXPECT_EQ(w.length, "Distance: 10ms 3.4m");
    // Feet: 3.43 m / 0.3048 = 11.25 ft; tenths of a millisecond.
    w = AnalysisWindowLines(0, 480, 48000.0, 343.0, false);
    EXPECT_EQ(w.right, "Right: 10ms 11.3ft");
    EXPECT_EQ(w.left, "Left:  0ms 0ft");
    w = AnalysisWindowLines(0, 7, 44100.0, 343.0, true);
    EXPECT_EQ(w.right, "Right: 0.2ms 0.1m");
}

TEST(InfoScreens, LastActionFollowsTheRunMode) {
    UserMacroBlock macros{};
    macros[0].name = "Speaker in Room";
    macros[11].name = "Stage left";
    for (int mode : {0, 1, 2, 3, 7, 8}) EXPECT_EQ(LastActionText(mode, macros), "FFT") << mode;
    EXPECT_EQ(LastActionText(4, macros), "SMOOTH FFT");
    EXPECT_EQ(LastActionText(5, macros), "SMOOTH FFT");
    EXPECT_EQ(LastActionText(11, macros), "Speaker in Room");
    EXPECT_EQ(LastActionText(22, macros), "Stage left");
    for (int mode : {6, 9, 10, 23, -1, 255}) EXPECT_EQ(LastActionText(mode, macros), "Unknow");
}

TEST(InfoScreens, SmallInfoCountsEdgesFromTheTimeOrigin) {
    SmallInfoInput in;
    in.fftSize = 8192;
    in.mlsOrder = 14;
    in.sampleRate = 48000;
    in.runKind = 6;
    in.viewStart = 680;  // 480 samples after sample 200
    in.viewEnd = 1160;
    in.soundSpeed = 343.0;
    const SmallInfoTexts t = BuildSmallInfo(in);
    EXPECT_EQ(t.caption, "FFT INFO SCRREN");
    EXPECT_EQ(t.fftSize, "FFT SIZE: 8192");
    EXPECT_EQ(t.mlsSize, "MLS SIZE: 16384");
    EXPECT_EQ(t.sampleRate, "Samplerate: 48000");
    EXPECT_EQ(t.lastAction, "LAST ACTION: Unknow");
    EXPECT_EQ(t.windowing, "WINDOWING");
    EXPECT_EQ(t.window.left, "Left:  10ms 3.4m");
    EXPECT_EQ(t.window.right, "Right: 20ms 6.9m");
}

TEST(InfoScreens, MemInfoParsing) {
    const char* text =
        "MemTotal:        8000000 kB\nMemFree:          500000 kB\n"
        "MemAvailable:    2000000 kB\nBuffers:           1 kB\n";
    MemoryStatus m = ParseMemInfo(text);
    ASSERT_TRUE(m.valid);
    EXPECT_EQ(m.total, 8000000ull * 1024);
    EXPECT_EQ(m.FreePercent(), 25);
    // Older kernels have no MemAvailable: free memory stands in.
    m = ParseMemInfo("MemTotal: 1000 kB\nMemFree: 125 kB\n");
    ASSERT_TRUE(m.valid);
    EXPECT_EQ(m.FreePercent(), 12);  // 12.5 rounds to even
    // "MemFree" inside another name is not the field.
    EXPECT_FALSE(ParseMemInfo("MemTotal: 1000 kB\nXMemFree: 5 kB\n").valid);
    EXPECT_FALSE(ParseMemInfo("").valid);
    EXPECT_FALSE(ParseMemInfo("MemTotal: 0 kB\nMemFree: 0 kB\n").valid);
    EXPECT_FALSE(ParseMemInfo("MemTotal: abc kB\nMemFree: 1 kB\n").valid);
}

TEST(InfoScreens, AtcWarnings) {
    SystemInfoInput in;
    in.atcMode = 1;
    in.peakSync = true;
    in.averages = 16;
    SystemInfoTexts t = BuildSystemInfo(in);
    EXPECT_TRUE(t.warnings.empty());
    EXPECT_EQ(t.sampling[1], "ATC ON, PEAKSYNC");

    in.atcMode = 0;
    in.peakSync = false;
    in.averages = 1;  // one run needs no alignment
    t = BuildSystemInfo(in);
    EXPECT_TRUE(t.warnings.empty());
    EXPECT_EQ(t.sampling[1], "ATC OFF");

    in.averages = 2;
    t = BuildSystemInfo(in);
    ASSERT_EQ(t.warnings.size(), 1u);
    EXPECT_EQ(t.warnings[0].rfind("ATC INCORRECT SETTING", 0), 0u);
    EXPECT_EQ(t.sampling[1], "ATC OFF  ATC INCORRECT SETTING");

    in.averages = 1;
    in.peakSync = true;
    in.atcMode = -3;  // any value below 1 is off
    t = BuildSystemInfo(in);
    ASSERT_EQ(t.warnings.size(), 1u);
    EXPECT_NE(t.warnings[0].find("Peaksync"), std::string::npos);
}

TEST(InfoScreens, SystemInfoLines) {
    SystemInfoInput in;
    in.sampleRate = 48000;
    in.metric = false;
    in.soundSpeed = 343.3;
    in.inputDevice = "Virtual Room";
    in.outputDevice = "ALSA: default";
    in.memory = ParseMemInfo("MemTotal: 4194304 kB\nMemAvailable: 1048576 kB\n");
    in.quickDraw = true;
    const SystemInfoTexts t = BuildSystemInfo(in);
    EXPECT_EQ(t.sampling[0], "Samplerate: 48000");
    EXPECT_EQ(t.sampling[2], "USA c = 1126.3 ft/s");
    EXPECT_EQ(t.sampling[3], "In:  Virtual Room");
    EXPECT_EQ(t.sampling[4], "Out: ALSA: default");
    EXPECT_EQ(t.memory[0], "TOTAL: 4096MB, 25%");
    EXPECT_EQ(t.hidden[0], "QUICKDRAW ON");
    EXPECT_EQ(t.hidden[2], "AUTOMIN OFF");
    EXPECT_EQ(BuildSystemInfo(SystemInfoInput{}).memory[0], "TOTAL: ?");
    EXPECT_EQ(t.sampling[5], "Clock drift: not measured");
    EXPECT_TRUE(t.warnings.empty());

    // The measured drift with its correction state; beyond the threshold also a warning.
    in.driftMeasured = true;
    in.driftPpm = -12.34;
    in.driftWarningPpm = 5.0;
    const SystemInfoTexts drifting = BuildSystemInfo(in);
    EXPECT_EQ(drifting.sampling[5], "Clock drift: -12.3 ppm, not corrected");
    ASSERT_EQ(drifting.warnings.size(), 1u);
    EXPECT_EQ(drifting.warnings[0], "Clock drift -12.3 ppm - check clocks");
    in.driftPpm = 4.96;
    in.driftCorrected = true;
    const SystemInfoTexts small = BuildSystemInfo(in);
    EXPECT_EQ(small.sampling[5], "Clock drift: 5.0 ppm, corrected");
    EXPECT_TRUE(small.warnings.empty());

    const auto lines = StartupLines("Dec  6 2026", in.memory);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "FIELD IMPULSE METERING V1.70");
    EXPECT_EQ(lines[2], "Memory free: 25%");
}

}  // namespace
}  // namespace fim
