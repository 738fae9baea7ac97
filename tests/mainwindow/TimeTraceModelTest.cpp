#include <gtest/gtest.h>

#include "core/MeasurementState.h"
#include "mainwindow/TimeTraceModel.h"
#include "settings/ProgramSettings.h"
#include "shell/Catalog.h"
#include "shell/ScriptedPrompter.h"

namespace fim {
namespace {

// A measurement of order 12 at 44100 Hz with FFT size 4096 and the peak at sample 500.
class TimeTraceModelTest : public ::testing::Test {
  protected:
    TimeTraceModelTest() : model(meas, prompter) {
        meas.SampleRate = 44100;
        meas.MlsSize = 4096;
        meas.FftSize = 4096;
        meas.ImpulsePeakIndex = 500;
        meas.ImpulsePeakValue = 0.5;
        meas.SetTemperature(20.0);
        model.measured = true;
        model.host.repaint = [this] { ++repaints; };
    }
    void View(int32_t s, int32_t e) {
        model.viewStart = s;
        model.viewEnd = e;
    }

    MeasurementState meas;
    ScriptedPrompter prompter;
    TimeTraceModel model;
    int repaints = 0;
};

TEST_F(TimeTraceModelTest, TraceClicksInCutModesMoveOneEdgeAndItsMarker) {
    View(100, 200);  // 500 px for 100 samples: 5 px per sample
    model.SetMouseMode(MouseMode::CutLeft);
    model.TraceLeftDown(0, 500);
    EXPECT_EQ(model.viewStart, 100);
    EXPECT_EQ(model.marker1, 100);
    model.TraceLeftDown(52, 500);  // 10.4 samples → 10
    EXPECT_EQ(model.viewStart, 110);
    EXPECT_EQ(model.marker1, 110);
    model.SetMouseMode(MouseMode::CutRight);
    model.TraceLeftDown(100, 500);  // 90 samples over 500 px: 18 samples
    EXPECT_EQ(model.viewEnd, 128);
    EXPECT_EQ(model.marker2, 128);
    EXPECT_FALSE(model.Dragging());
}

TEST_F(TimeTraceModelTest, MarkerPressSetsMarkerAndDragZoomsEitherDirection) {
    View(1000, 1100);
    model.SetMouseMode(MouseMode::Marker2);
    model.TraceLeftDown(250, 500);
    EXPECT_EQ(model.marker2, 1050);
    EXPECT_TRUE(model.Dragging());
    model.TraceMove(251);
    model.TraceLeftUp(251, 500);  // one pixel: nothing changes
    EXPECT_EQ(model.viewStart, 1000);
    EXPECT_EQ(model.viewEnd, 1100);
    EXPECT_EQ(model.marker2, 1050);

    model.TraceLeftDown(100, 500);
    model.TraceLeftUp(300, 500);
    const int32_t s = model.viewStart, e = model.viewEnd;
    EXPECT_EQ(s, 1020);
    EXPECT_EQ(e, 1060);
    EXPECT_EQ(model.marker2, 1020);  // set by the press, kept by the zoom

    View(1000, 1100);
    model.TraceLeftDown(300, 500);
    model.TraceLeftUp(100, 500);
    EXPECT_EQ(model.viewStart, s);
    EXPECT_EQ(model.viewEnd, e);
}

TEST_F(TimeTraceModelTest, DragOutsideTheTraceStopsAtItsEdges) {
    View(1000, 1100);
    model.TraceLeftDown(250, 500);
    model.TraceLeftUp(-400, 500);
    EXPECT_EQ(model.viewStart, 1000);
    EXPECT_EQ(model.viewEnd, 1050);
}

TEST_F(TimeTraceModelTest, OverviewClicksAreAbsoluteAndKeepTheWindowWithinFft) {
    // 4096 samples over 1024 px: 4 samples per pixel.
    meas.FftSize = 2048;
    View(100, 200);
    model.SetMouseMode(MouseMode::CutRight);
    model.OverviewLeftDown(1000, 1024);
    EXPECT_EQ(model.viewEnd, 4000);
    EXPECT_EQ(model.marker2, 4000);
    EXPECT_EQ(model.viewStart, 4000 - 2048);
    model.SetMouseMode(MouseMode::CutLeft);
    model.OverviewLeftDown(0, 1024);  // the left edge is sample 1, never 0
    EXPECT_EQ(model.viewStart, 1);
    EXPECT_EQ(model.marker1, 1);
    EXPECT_EQ(model.viewEnd, 1 + 2048);
    model.OverviewLeftDown(1020, 1024);  // beyond the window's end: refused
    EXPECT_EQ(model.viewStart, 1);
    model.SetMouseMode(MouseMode::Marker1);
    model.OverviewLeftDown(10, 1024);
    EXPECT_EQ(model.marker1, 40);
}

TEST_F(TimeTraceModelTest, MarkerCutsTakeTheOuterMarkerAndRespectFft) {
    View(100, 5000);
    model.marker1 = 900;
    model.marker2 = 300;
    model.CutRightMarker();
    EXPECT_EQ(model.viewEnd, 900);
    model.CutLeftMarker();
    EXPECT_EQ(model.viewStart, 300);

    View(100, 200);
    model.marker1 = model.marker2 = 150;  // equal markers leave the end alone
    model.CutRightMarker();
    EXPECT_EQ(model.viewEnd, 200);

    View(100, 200);
    model.marker1 = 6000;
    model.marker2 = 50;
    model.CutRightMarker();
    EXPECT_EQ(model.viewEnd, 100 + 4096);
    View(5000, 6000);
    model.CutLeftMarker();
    EXPECT_EQ(model.viewStart, 6000 - 4096);
}

TEST_F(TimeTraceModelTest, FullShowsTheFftLengthEvenAfterAMarkerPress) {
    model.RestoreFrom(AbsoluteWindow{300, 700, 1024, 1});
    model.TraceLeftDown(10, 500);  // a marker press
    model.TraceLeftUp(10, 500);
    model.Full();
    EXPECT_EQ(model.viewStart, 1);
    EXPECT_EQ(model.viewEnd, 4095);
    EXPECT_EQ(model.marker1, 1);
    EXPECT_EQ(model.marker2, 4095);

    meas.MlsSize = 65536;
    meas.FftSize = 8192;
    model.Full();
    EXPECT_EQ(model.viewEnd, 8191);

    model.measured = false;
    repaints = 0;
    model.Full();
    EXPECT_EQ(repaints, 0);
}

TEST_F(TimeTraceModelTest, TimeWindowsAroundThePeak) {
    EXPECT_TRUE(model.ApplyTimeWindow(kWindow10ms));
    EXPECT_EQ(model.windows[kWindow10ms].samplesBefore, 18);
    EXPECT_EQ(model.windows[kWindow10ms].samplesAfter, 423);
    EXPECT_EQ(model.viewStart, 500 - 18);
    EXPECT_EQ(model.viewEnd, 500 + 423);
    EXPECT_EQ(model.marker1, 482);
    EXPECT_EQ(model.marker2, 923);

    EXPECT_TRUE(model.ApplyTimeWindow(kWindow20ms));
    EXPECT_EQ(model.viewStart, 500 - 26);
    EXPECT_EQ(model.viewEnd, 500 + 856);
    EXPECT_TRUE(prompter.shown.empty());

    // Peak near the start and the end: clamped, applied, reported.
    meas.ImpulsePeakIndex = 10;
    EXPECT_FALSE(model.ApplyTimeWindow(kWindow10ms));
    EXPECT_EQ(model.viewStart, 1);
    EXPECT_EQ(model.viewEnd, 433);
    meas.ImpulsePeakIndex = 4000;
    EXPECT_FALSE(model.ApplyTimeWindow(kWindow10ms));
    EXPECT_EQ(model.viewEnd, 4096);
}

TEST_F(TimeTraceModelTest, TimeWindowChecksKeepTheOldCountsAndSayWhy) {
    meas.FftSize = 512;  // the 20 ms window (882 samples) no longer fits
    EXPECT_FALSE(model.ApplyTimeWindow(kWindow20ms));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, "Window too large for FFT size");
    EXPECT_EQ(model.windows[kWindow20ms].samplesAfter, 856);  // the counts of the default record
    EXPECT_EQ(model.viewEnd, 500 + 856);

    model.windows[kUserWindow1].timeBefore = 0;
    model.windows[kUserWindow1].timeAfter = 0;
    model.windows[kUserWindow1].samplesBefore = 5;
    model.windows[kUserWindow1].samplesAfter = 7;
    EXPECT_FALSE(model.ApplyTimeWindow(kUserWindow1));
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[1].caption, "User 1");
    EXPECT_EQ(prompter.shown[1].text, "Illegal values");
    EXPECT_EQ(prompter.shown[1].icon, PromptIcon::Information);
    EXPECT_EQ(model.viewStart, 495);
    EXPECT_EQ(model.viewEnd, 507);

    // A negative time before the peak starts the window after it: a look at a reflection.
    TimeWindow& w = model.windows[kUserWindow2];
    w.timeBefore = -1000;  // −44.1 samples
    w.timeAfter = 9600;
    EXPECT_TRUE(model.ApplyTimeWindow(kUserWindow2));
    EXPECT_EQ(w.samplesBefore, -44);
    EXPECT_EQ(model.viewStart, 544);
    EXPECT_EQ(model.viewEnd, 923);
    EXPECT_EQ(model.marker1, 544);
    EXPECT_EQ(prompter.shown.size(), 2u);
    // A window of no samples, or one ending before it starts, is illegal; the counts stay.
    for (const auto& [before, after] : {std::pair{-5000, 5000}, std::pair{-9600, 400}}) {
        w.timeBefore = before;
        w.timeAfter = after;
        EXPECT_FALSE(model.ApplyTimeWindow(kUserWindow2));
        EXPECT_EQ(prompter.shown.back().text, "Illegal values");
        EXPECT_EQ(w.samplesBefore, -44);
        EXPECT_EQ(model.viewStart, 544);
    }
    EXPECT_EQ(prompter.shown.size(), 4u);
    // Counts that start the window past the end of the response clamp it and report failure.
    meas.ImpulsePeakIndex = 4080;
    w.timeBefore = -1000;
    EXPECT_FALSE(model.ApplyTimeWindow(kUserWindow2));
    EXPECT_LT(model.viewStart, model.viewEnd);
    EXPECT_EQ(model.viewEnd, 4096);
}

TEST_F(TimeTraceModelTest, QuickDrawSkipsTheRepaintOnlyWhileRepeating) {
    model.quickDraw = true;
    repaints = 0;
    model.ApplyTimeWindow(kWindow10ms);
    EXPECT_EQ(repaints, 1);
    model.repeatChecked = true;
    model.ApplyTimeWindow(kWindow10ms);
    EXPECT_EQ(repaints, 1);
}

TEST_F(TimeTraceModelTest, SetAsUserStoresTheWindowSoApplyingGivesItBack) {
    View(450, 1300);
    model.SetAsUser(kUserWindow2);
    EXPECT_EQ(model.windows[kUserWindow2].samplesBefore, 50);
    EXPECT_EQ(model.windows[kUserWindow2].samplesAfter, 800);
    EXPECT_EQ(model.windows[kUserWindow2].name, "User 2");
    View(1, 100);
    EXPECT_TRUE(model.ApplyTimeWindow(kUserWindow2));
    EXPECT_EQ(model.viewStart, 450);
    EXPECT_EQ(model.viewEnd, 1300);
}

TEST_F(TimeTraceModelTest, AbsoluteWindowIsSavedRecalledAndRefusedBeyondTheData) {
    View(700, 1700);
    model.SaveAbsolute();
    View(1, 50);
    model.RecallAbsolute();
    EXPECT_EQ(model.viewStart, 700);
    EXPECT_EQ(model.viewEnd, 1700);

    model.absolute.savedEnd = 5000;
    View(1, 50);
    model.marker1 = 7;
    model.RecallAbsolute();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, Msg(270));
    EXPECT_EQ(prompter.shown[0].text, Msg(271));
    EXPECT_EQ(model.viewStart, 1);
    EXPECT_EQ(model.viewEnd, 50);
    EXPECT_EQ(model.marker1, 7);

    const AbsoluteWindow stored = model.ToStore();
    EXPECT_EQ(stored.lastStart, 1);
    EXPECT_EQ(stored.lastEnd, 50);
    EXPECT_EQ(stored.savedEnd, 5000);
    EXPECT_EQ(stored.savedStart, 700);
}

TEST_F(TimeTraceModelTest, RestoringADamagedWindowFallsBackToTheStartUpWindow) {
    model.RestoreFrom(AbsoluteWindow{900, 400, 1024, 1});
    EXPECT_EQ(model.viewStart, 1);
    EXPECT_EQ(model.viewEnd, 1024);
    model.RestoreFrom(AbsoluteWindow{-20, 400, 1024, 1});
    EXPECT_EQ(model.viewStart, 1);
    model.RestoreFrom(AbsoluteWindow{30, 400, 1024, 1});
    EXPECT_EQ(model.marker1, 30);
    EXPECT_EQ(model.marker2, 400);
}

TEST_F(TimeTraceModelTest, SettingsComeInAndGoBackOut) {
    ProgramSettings s;
    s.Metric = false;
    s.QuickDelay = true;
    s.AbsWin = AbsoluteWindow{300, 700, 2000, 50};
    s.User1.name = "Sub";
    s.Colors.ApplyScheme(ColorScheme::Chilly);
    model.UseSettings(s);
    EXPECT_FALSE(model.metricUnits);
    EXPECT_TRUE(model.quickDelay);
    EXPECT_EQ(model.viewStart, 300);
    EXPECT_EQ(model.marker2, 700);
    EXPECT_EQ(model.windows[kUserWindow1].name, "Sub");
    EXPECT_EQ(model.colors.entries[0], 0x0000FFu);

    model.RecallAbsolute();
    model.SetAsUser(kUserWindow2);
    ProgramSettings out;
    model.StoreSettings(out);
    EXPECT_EQ(out.AbsWin, (AbsoluteWindow{50, 2000, 2000, 50}));
    EXPECT_EQ(out.User2.samplesBefore, 450);
    EXPECT_EQ(out.User1.name, "Sub");
    EXPECT_EQ(out.Colors, s.Colors);
}

TEST_F(TimeTraceModelTest, MarkerOnPeakWidensTheWindowToShowIt) {
    meas.ImpulsePeakIndex = 15;
    View(100, 300);
    model.SetMarkerOnPeak();
    EXPECT_EQ(model.viewStart, 1);
    EXPECT_EQ(model.viewEnd, 300);
    EXPECT_EQ(model.marker1, 15);

    meas.ImpulsePeakIndex = 3000;
    model.SetMouseMode(MouseMode::Marker2);
    View(100, 300);
    model.SetMarkerOnPeak();
    EXPECT_EQ(model.viewEnd, 4096 - 20);
    EXPECT_EQ(model.marker2, 3000);

    meas.ImpulsePeakIndex = 4090;  // beyond N − 20: the second press goes to N
    model.SetMarkerOnPeak();
    EXPECT_EQ(model.viewEnd, 4096);

    model.SetMouseMode(MouseMode::CutLeft);  // not offered in the cut modes
    View(100, 300);
    model.SetMarkerOnPeak();
    EXPECT_EQ(model.viewEnd, 300);
}

TEST_F(TimeTraceModelTest, LatchAndDifferenceGiveDelayAndDistance) {
    meas.SampleRate = 40000;
    model.marker1 = 200;  // 5.00 ms
    model.LatchMarker();
    EXPECT_DOUBLE_EQ(model.latchTime, 5.0);
    EXPECT_TRUE(model.showDifferenceVisible);
    model.marker1 = 300;  // 7.50 ms
    model.ShowDifference();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, Msg(24));
    EXPECT_EQ(prompter.shown[0].text, Msg(22) + "-2.5ms" + Msg(23) + "-0.9m");

    model.metricUnits = false;
    EXPECT_EQ(model.DifferenceMessage(-2.5), Msg(22) + "-2.5ms" + Msg(23) + "-2.8ft");
    EXPECT_EQ(model.DifferenceMessage(1.0 / 3.0), Msg(22) + "0.33ms" + Msg(23) + "0.4ft");
}

TEST_F(TimeTraceModelTest, QuickDelayLatchesFirstAndShowsTheDifferenceNext) {
    model.quickDelay = true;
    meas.SampleRate = 40000;
    meas.ImpulsePeakIndex = 200;
    View(100, 300);
    model.SetMarkerOnPeak();
    EXPECT_TRUE(model.showDifferenceVisible);
    EXPECT_TRUE(prompter.shown.empty());
    meas.ImpulsePeakIndex = 240;  // the second source, 1 ms later
    model.SetMarkerOnPeak();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, Msg(22) + "-1ms" + Msg(23) + "-0.3m");
}

TEST_F(TimeTraceModelTest, KeyboardMovesTheModeMarkerAndDragsTheWindowAlong) {
    View(100, 200);
    model.marker1 = 4096 - 5;
    model.KeyDown(TraceKey::PageUp);
    EXPECT_EQ(model.marker1, 4095);  // N, pulled back to N − 1
    EXPECT_EQ(model.viewEnd, 4095);
    EXPECT_EQ(model.viewStart, 100);  // 3995 samples: within the FFT size

    meas.FftSize = 2048;
    View(100, 200);
    model.marker1 = 3000;
    model.KeyDown(TraceKey::Right);
    EXPECT_EQ(model.marker1, 3001);
    EXPECT_EQ(model.viewEnd, 3001);
    EXPECT_EQ(model.viewStart, 3001 - 2048);

    View(3000, 3100);
    model.marker1 = 11;
    model.KeyDown(TraceKey::PageDown);
    EXPECT_EQ(model.marker1, 1);
    EXPECT_EQ(model.viewStart, 1);
    EXPECT_EQ(model.viewEnd, 1 + 2048);

    View(100, 200);
    model.SetMouseMode(MouseMode::Marker2);
    model.marker2 = 150;
    model.KeyDown(TraceKey::PageDown);
    EXPECT_EQ(model.marker2, 140);
    model.KeyDown(TraceKey::End);
    EXPECT_EQ(model.marker2, 200);
    model.KeyDown(TraceKey::Home);
    EXPECT_EQ(model.marker2, 100);
    model.KeyDown(TraceKey::Left);
    EXPECT_EQ(model.marker2, 99);
    EXPECT_EQ(model.viewStart, 99);

    model.SetMouseMode(MouseMode::CutRight);
    model.KeyDown(TraceKey::Left);
    EXPECT_EQ(model.marker2, 99);
}

TEST_F(TimeTraceModelTest, LetterKeysReachTheirWindowsOnlyWhileOffered) {
    std::vector<FeaturesPage> pages;
    int level = 0, finder = 0;
    model.host.openFeatures = [&](FeaturesPage p) { pages.push_back(p); };
    model.host.openLevelSetup = [&] { ++level; };
    model.host.openFeedbackFinder = [&] { ++finder; };
    model.SetMouseMode(MouseMode::CutLeft);
    for (TraceKey k : {TraceKey::D, TraceKey::W, TraceKey::S, TraceKey::M}) model.KeyDown(k);
    EXPECT_EQ(pages, (std::vector<FeaturesPage>{FeaturesPage::Data, FeaturesPage::UserWindow,
                                                FeaturesPage::SoundIo, FeaturesPage::UserMacro}));
    model.KeyDown(TraceKey::L);
    model.KeyDown(TraceKey::F);
    model.setupMenuEnabled = false;
    model.runMenuEnabled = false;
    model.KeyDown(TraceKey::L);
    model.KeyDown(TraceKey::F);
    EXPECT_EQ(level, 1);
    EXPECT_EQ(finder, 1);
}

TEST_F(TimeTraceModelTest, ReadoutsInMetresAndFeet) {
    // 641 − 200 = 441 samples = 10 ms; sound travels 3.433 m.
    EXPECT_EQ(model.MarkerPositionText(641), "10ms 3.4m");
    EXPECT_EQ(model.MarkerPositionText(100), "-2.3ms -0.8m");
    model.metricUnits = false;
    EXPECT_EQ(model.MarkerPositionText(641), "10ms 11.3ft");
    model.marker1 = 641;
    model.marker2 = 200;
    EXPECT_EQ(model.DifferenceReadout(), "D: 10ms 11.3ft");
    model.metricUnits = true;
    EXPECT_EQ(model.DifferenceReadout(), "D: 10ms 3.4m");

    EXPECT_EQ(model.ActiveMarkerReadout(641, 0.25), "10ms 50%");
    EXPECT_EQ(model.ActiveMarkerReadout(641, 0.0), "");
    model.dbDisplay = true;
    EXPECT_EQ(model.ActiveMarkerReadout(200, -0.05), "0ms -20dB");
}

TEST(TimeWindowTest, StoredBlockRoundTripsAndRefusesDamage) {
    TimeWindow w = MakeTimeWindow("User 2", 800, 19200);
    w.samplesBefore = -3;
    const auto block = w.Encode();
    EXPECT_EQ(block[0], 6);
    EXPECT_EQ(block[1], 'U');
    EXPECT_EQ(block[7], 0);
    EXPECT_EQ(block[32], 0x20);  // 800 = 0x320, little-endian
    EXPECT_EQ(block[33], 0x03);
    EXPECT_EQ(block[40], 0xFD);
    EXPECT_EQ(block[43], 0xFF);
    TimeWindow back;
    ASSERT_TRUE(TimeWindow::Decode(block.data(), block.size(), back));
    EXPECT_EQ(back.name, "User 2");
    EXPECT_EQ(back.timeAfter, 19200);
    EXPECT_EQ(back.samplesBefore, -3);

    auto damaged = block;
    damaged[0] = 200;  // a length byte beyond the field
    ASSERT_TRUE(TimeWindow::Decode(damaged.data(), damaged.size(), back));
    EXPECT_EQ(back.name.size(), 31u);
    EXPECT_FALSE(TimeWindow::Decode(block.data(), 47, back));

    w.name = std::string(40, 'x');
    EXPECT_EQ(w.Encode()[0], 31);
}

}  // namespace
}  // namespace fim
