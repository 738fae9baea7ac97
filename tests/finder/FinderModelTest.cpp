#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <numbers>
#include <vector>

#include "../audio/LiveRig.h"
#include "audio/VirtualRoom.h"
#include "finder/FinderModel.h"
#include "shell/Catalog.h"

namespace fim {
namespace {

using testing::LiveRig;

// Blocks of 2048 samples of a sine with a continuous phase, plus silence.
class Tone {
  public:
    Tone(double frequency, double amplitude, double rate = 44100)
        : step_(2 * std::numbers::pi * frequency / rate), amplitude_(amplitude) {}
    std::vector<int32_t> Next() {
        std::vector<int32_t> b(FinderModel::kBlock);
        for (auto& v : b)
            v = static_cast<int32_t>(std::lround(amplitude_ * std::sin(step_ * n_++)));
        return b;
    }

  private:
    double step_, amplitude_;
    long n_ = 0;
};

std::vector<int32_t> Flat(int32_t peak) {
    std::vector<int32_t> b(FinderModel::kBlock, 0);
    b[700] = peak;
    return b;
}

class FinderModelTest : public ::testing::Test {
  protected:
    FinderModelTest() {
        settings.TriggerThreshold = -10;
        settings.RestartStep = 0;
        model.onCapture = [this](const FinderCapture& c) { captures.push_back(c); };
    }
    // Applies the settings without a device, for block-by-block tests.
    void Activate(int resolution = 1, int display = 0) {
        settings.Resolution = resolution;
        settings.DisplayMode = display;
        model.FormActivate();
    }

    LiveRig rig;
    FinderSettings settings;
    FinderModel model{rig.s, *rig.controller, rig.view, rig.prompter, settings, &rig.wake};
    std::vector<FinderCapture> captures;
};

TEST_F(FinderModelTest, ActivationSetsLevelsAndStatusTexts) {
    Activate();
    EXPECT_EQ(model.TriggerLevel, 10362);
    EXPECT_EQ(model.RestartLevel, 3277);
    EXPECT_EQ(model.panels[1], "Sample: -10dB");
    EXPECT_EQ(model.panels[2], "Restart: -20dB");
    EXPECT_EQ(model.panels[0], Msg(290));
    EXPECT_EQ(model.readout, "WAIT");
    EXPECT_EQ(model.peakLamps[6].Threshold(), 328);
    settings.RestartStep = 1;
    settings.TriggerThreshold = -3;
    model.FormActivate();
    EXPECT_EQ(model.panels[1], "Sample: -3dB");
    EXPECT_EQ(model.panels[2], "Restart: -23dB");
}

TEST_F(FinderModelTest, AStoredThresholdOutsideTheDialogsChoicesCountsAsMinus20) {
    settings.TriggerThreshold = 2;  // above full scale: would never trigger
    Activate();
    EXPECT_EQ(model.TriggerLevel, FinderLevel(-20, 32767));
    EXPECT_EQ(model.panels[1], "Sample: -20dB");
    model.ProcessBlock(Flat(3278));
    EXPECT_TRUE(model.Capturing);
}

TEST_F(FinderModelTest, TriggerOnlyAboveTheTriggerLevel) {
    Activate();
    model.ProcessBlock(Flat(model.TriggerLevel));
    EXPECT_FALSE(model.Capturing);
    model.ProcessBlock(Flat(-model.TriggerLevel - 1));
    EXPECT_TRUE(model.Capturing);
    EXPECT_EQ(model.SamplesToGo, 4096 - 2048);
    EXPECT_EQ(model.WritePos, 2048u);
    EXPECT_EQ(model.panels[0], Msg(292));
}

// From the block that triggers to the reading: N / 2048 blocks counting the triggering one, and
// one more at LOW resolution, whose triggering block already fills the capture.
class FinderLatency : public FinderModelTest, public ::testing::WithParamInterface<int> {};

TEST_P(FinderLatency, BlocksFromTriggerToReading) {
    const int resolution = GetParam();
    Activate(resolution);
    Tone tone(1000, 16000);
    int blocks = 0;
    while (captures.empty() && blocks < 10) {
        model.ProcessBlock(tone.Next());
        ++blocks;
        if (resolution == 2 && blocks == 1) {
            EXPECT_TRUE(model.Capturing);
            EXPECT_EQ(model.SamplesToGo, 0);
            EXPECT_EQ(model.PeakBin, 0) << "not analysed on the triggering block";
        }
    }
    const int n = FinderCaptureLength(resolution);
    EXPECT_EQ(blocks, n / 2048 + (resolution == 2 ? 1 : 0));
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_EQ(captures[0].captureLength, n);
    EXPECT_TRUE(model.Holding);
    EXPECT_FALSE(model.Capturing);
    EXPECT_NEAR(captures[0].reading.frequency, 1000.0, 44100.0 / n);
}

INSTANTIATE_TEST_SUITE_P(Resolutions, FinderLatency, ::testing::Values(0, 1, 2));

TEST_F(FinderModelTest, TheStrongestLineAsAThirdOctaveBand) {
    // 44100 samples/s, N = 4096, strongest bin 93: 1001.29 Hz reads 1.00 kHz, deviation 1.
    Activate(1, kEq31Band);
    Tone tone(93 * 44100.0 / 4096, 20000);
    model.ProcessBlock(tone.Next());
    model.ProcessBlock(tone.Next());
    ASSERT_EQ(captures.size(), 1u);
    const FinderCapture& c = captures[0];
    EXPECT_EQ(c.sequence, 1u);
    EXPECT_FALSE(c.sampled);
    EXPECT_EQ(c.reading.bin, 93);
    EXPECT_NEAR(c.reading.frequency, 1001.29, 0.01);
    EXPECT_EQ(c.reading.band.label, "1.00 kHz");
    EXPECT_EQ(c.reading.band.deviation, 1);
    EXPECT_EQ(model.readout, "1.00 kHz");
    EXPECT_EQ(model.lamps.lit, 6);
    EXPECT_EQ(model.lamps.colours[5], kLampLime);
    EXPECT_EQ(model.lamps.colours[0], kLampWhite);
    EXPECT_EQ(model.panels[0], Msg(291));
    EXPECT_EQ(model.PeakBin, 93);
}

TEST_F(FinderModelTest, ADisplayModeSwitchRereadsTheSameBin) {
    Activate(1, kEq31Band);
    Tone tone(1200, 20000);  // bin 111: 1195.1 Hz
    model.ProcessBlock(tone.Next());
    model.ProcessBlock(tone.Next());
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_EQ(model.readout, "1.25 kHz");
    // The capture buffer is overwritten by a new capture meanwhile: the re-reading must not
    // depend on it.
    model.SAMPLE1Click();
    model.ProcessBlock(Flat(1));
    model.SelectDisplayMode(kEq10Band);
    EXPECT_EQ(model.readout, "1.00 kHz");
    model.SelectDisplayMode(kFrequency);
    EXPECT_EQ(model.readout, "1.20 kHz");
    EXPECT_EQ(model.lamps.lit, 6);
    EXPECT_EQ(model.PeakBin, 111);
    EXPECT_EQ(captures.size(), 1u) << "no new capture";
    EXPECT_EQ(settings.DisplayMode, kFrequency);
}

TEST_F(FinderModelTest, HoldingWaitsForTheRestartLevelOrTheUser) {
    Activate();
    Tone tone(2000, 20000);
    model.ProcessBlock(tone.Next());
    model.ProcessBlock(tone.Next());
    ASSERT_TRUE(model.Holding);
    // Loud blocks while holding neither capture nor restart.
    model.ProcessBlock(tone.Next());
    EXPECT_FALSE(model.Capturing);
    EXPECT_TRUE(model.Holding);
    // AUTO RESTART off: quiet blocks change nothing until SEARCH.
    model.SetAutoRestart(false);
    model.ProcessBlock(Flat(10));
    EXPECT_TRUE(model.Holding);
    model.RESAMPLE1Click();
    EXPECT_FALSE(model.Holding);
    EXPECT_EQ(model.panels[0], Msg(290));
    // AUTO RESTART on: a block just below the restart level starts searching again; one at it
    // does not.
    model.ProcessBlock(tone.Next());
    model.ProcessBlock(tone.Next());
    ASSERT_TRUE(model.Holding);
    model.SetAutoRestart(true);
    model.ProcessBlock(Flat(model.RestartLevel));
    EXPECT_TRUE(model.Holding);
    model.ProcessBlock(Flat(model.RestartLevel - 1));
    EXPECT_FALSE(model.Holding);
    // SAMPLE forces a capture even while holding.
    model.ProcessBlock(tone.Next());
    model.ProcessBlock(tone.Next());
    ASSERT_TRUE(model.Holding);
    model.SAMPLE1Click();
    model.ProcessBlock(tone.Next());
    EXPECT_TRUE(model.Capturing);
    model.ProcessBlock(tone.Next());
    ASSERT_EQ(captures.size(), 4u);
    EXPECT_TRUE(captures[3].sampled);
    EXPECT_FALSE(captures[2].sampled);
    EXPECT_EQ(captures[3].sequence, 4u);
}

TEST_F(FinderModelTest, ASilentCaptureShowsNothingAndHolds) {
    Activate();
    model.SAMPLE1Click();
    model.ProcessBlock(Flat(0));
    model.ProcessBlock(Flat(0));
    EXPECT_TRUE(model.Holding);
    EXPECT_EQ(model.PeakBin, 1);
    EXPECT_TRUE(captures.empty());
    EXPECT_EQ(model.readout, "WAIT");
    EXPECT_EQ(model.lamps.lit, 0);
}

TEST_F(FinderModelTest, RunOnTheDeviceAndClosingMidCapture) {
    settings.Resolution = 0;
    const int32_t userFft = rig.s.FftSize = 16384;
    ASSERT_TRUE(model.Open());
    EXPECT_EQ(rig.controller->SoundMode, RunController::kModeFinder);
    EXPECT_EQ(rig.card.inFormat.channels, 1);
    EXPECT_EQ(rig.card.inputs.size(), 2u);
    EXPECT_EQ(rig.s.FftSize, 8192);
    EXPECT_FALSE(rig.view.Enabled(RunControl::RUN1));
    // A measured impulse response stays where it is.
    rig.s.buffers.RLPd()[5] = 0.25;

    std::vector<int16_t> loud(2048);
    for (std::size_t i = 0; i < loud.size(); ++i) loud[i] = int16_t(i % 2 ? 30000 : -30000);
    ASSERT_TRUE(rig.card.Record(loud));
    model.DispatchEvents();
    EXPECT_EQ(rig.card.inputs.size(), 2u) << "the buffer goes back to the device at once";
    EXPECT_TRUE(model.Capturing);
    ASSERT_TRUE(rig.card.Record(loud));  // half the capture
    model.DispatchEvents();

    model.Close();
    EXPECT_FALSE(rig.card.inOpen);
    EXPECT_EQ(rig.controller->SoundMode, RunController::kModeMls);
    EXPECT_EQ(rig.s.FftSize, userFft);
    EXPECT_TRUE(rig.view.Enabled(RunControl::RUN1));
    EXPECT_DOUBLE_EQ(rig.s.buffers.RLPd()[5], 0.25);

    // Reopened: the half capture is gone; quiet blocks never complete it.
    ASSERT_TRUE(model.Open());
    EXPECT_FALSE(model.Capturing);
    std::vector<int16_t> quiet(2048, 5);
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(rig.card.Record(quiet));
        model.DispatchEvents();
    }
    EXPECT_TRUE(captures.empty());
    EXPECT_EQ(model.PeakBin, 0);
    EXPECT_EQ(model.buffersSeen, 4u);
    model.Close();
}

TEST_F(FinderModelTest, HoldStateAndReadingSurviveClosing) {
    settings.Resolution = 2;
    settings.AutoRestart = 0;
    ASSERT_TRUE(model.Open());
    Tone tone(500, 20000);
    model.ProcessBlock(tone.Next());
    model.ProcessBlock(tone.Next());
    ASSERT_TRUE(model.Holding);
    const std::string reading = model.readout;
    model.SAMPLE1Click();
    model.Close();
    ASSERT_TRUE(model.Open());
    EXPECT_TRUE(model.Holding);
    EXPECT_TRUE(model.SampleRequested);
    EXPECT_EQ(model.readout, reading);
    EXPECT_EQ(model.panels[0], Msg(291));
    model.Close();
}

TEST_F(FinderModelTest, LostDeviceEndsTheRunWithABox) {
    ASSERT_TRUE(model.Open());
    rig.card.Lose();
    model.DispatchEvents();
    EXPECT_FALSE(model.IsOpen());
    EXPECT_FALSE(rig.card.inOpen);
    ASSERT_NE(rig.prompter.Last(), nullptr);
    EXPECT_EQ(rig.prompter.Last()->caption, Msg(254));
}

TEST_F(FinderModelTest, AMeasurementThatTookTheDevicesKeepsThem) {
    ASSERT_TRUE(model.Open());
    rig.controller->NORMALClick();  // e.g. AGAIN from the frequency window
    ASSERT_TRUE(rig.s.RunActive);
    model.Close();
    EXPECT_TRUE(rig.card.inOpen && rig.card.outOpen);
    EXPECT_EQ(rig.controller->SoundMode, RunController::kModeMls);
    rig.controller->StopRun();
}

TEST_F(FinderModelTest, UnknownDeviceLeavesTheMainWindowAsItWas) {
    rig.settings.WriteString("INCARD", "Unplugged");
    const int32_t fft = rig.s.FftSize;
    EXPECT_FALSE(model.Open());
    EXPECT_EQ(rig.host.settingsOpened, 1);
    EXPECT_EQ(rig.controller->SoundMode, RunController::kModeMls);
    EXPECT_EQ(rig.s.FftSize, fft);
    EXPECT_TRUE(rig.view.Enabled(RunControl::RUN1));
}

// The Virtual Room's feedback tone end to end: 1000 Hz at −6 dBFS swelling in over half a
// second and lasting one, at NORMAL resolution in EQ 31 BAND mode with AUTO RESTART.
TEST(FinderOnTheVirtualRoom, FindsTheHowlAndSearchesAgainWhenItStops) {
    VirtualRoom room(testing::HowlingRoom());
    LiveRig rig(&room, kVirtualRoomName);
    FinderSettings settings;
    settings.DisplayMode = kEq31Band;
    settings.Resolution = 1;
    settings.AutoRestart = 1;
    FinderModel model(rig.s, *rig.controller, rig.view, rig.prompter, settings, &rig.wake);
    std::vector<FinderCapture> captures;
    uint64_t seenAtCapture = 0;
    model.onCapture = [&](const FinderCapture& c) {
        captures.push_back(c);
        seenAtCapture = model.buffersSeen;
    };
    ASSERT_TRUE(model.Open());

    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    auto pumpUntil = [&](auto done) {
        while (!done() && std::chrono::steady_clock::now() < until) {
            rig.wake.WaitFor(std::chrono::milliseconds(50));
            model.DispatchEvents();
        }
        return done();
    };
    ASSERT_TRUE(pumpUntil([&] { return !captures.empty(); }));
    EXPECT_EQ(captures[0].reading.bin, 93);
    EXPECT_EQ(model.readout, "1.00 kHz");
    EXPECT_EQ(model.lamps.lit, 6);
    EXPECT_EQ(model.lamps.colours[5], kLampLime);
    // The tone swelled through the trigger level: the reading came before it reached full level.
    EXPECT_LT(seenAtCapture * 2048.0 / 44100.0, 0.6);
    EXPECT_GT(seenAtCapture * 2048.0 / 44100.0, 0.45);
    ASSERT_TRUE(model.Holding);
    ASSERT_TRUE(pumpUntil([&] { return !model.Holding; }))
        << "searching again once the tone stopped";
    EXPECT_GT(model.buffersSeen * 2048.0 / 44100.0, 1.5);
    EXPECT_EQ(model.panels[0], Msg(290));
    EXPECT_EQ(captures.size(), 1u);

    model.Close();
    EXPECT_FALSE(room.InputOpen() || room.OutputOpen());
    rig.s.AveragesTarget = 1;
    rig.s.IgnoreFirst = false;
    rig.controller->NORMALClick();
    while (rig.s.RunActive && std::chrono::steady_clock::now() < until) {
        rig.wake.WaitFor(std::chrono::milliseconds(50));
        rig.controller->DispatchDeviceEvents();
    }
    EXPECT_EQ(rig.view.completions, 1) << "the main window measures at once";
}

}  // namespace
}  // namespace fim
