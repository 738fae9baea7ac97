#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "LiveRig.h"
#include "audio/LevelSetup.h"
#include "audio/PeakLamp.h"
#include "audio/VirtualRoom.h"
#include "shell/Catalog.h"

namespace fim {
namespace {

using testing::LiveRig;

TEST(PeakLamp, ThresholdAndItsReadBack) {
    PeakLamp l;
    l.SetReferenz(32767);
    l.SetLevel(-40);
    EXPECT_EQ(l.Threshold(), 328);
    EXPECT_DOUBLE_EQ(l.Level(), -39.99);
    l.SetLevel(-60);
    EXPECT_EQ(l.Threshold(), 33);
    EXPECT_DOUBLE_EQ(l.Level(), -59.94);
    l.SetLevel(-2);
    EXPECT_EQ(l.Threshold(), 26028);
    EXPECT_DOUBLE_EQ(l.Level(), -2.0);
    // Threshold 2 still reads back as a level; 1 and 0 read as −100 dB.
    l.SetLevel(-84);
    EXPECT_EQ(l.Threshold(), 2);
    EXPECT_DOUBLE_EQ(l.Level(), -84.29);
    l.SetLevel(-90);
    EXPECT_EQ(l.Threshold(), 1);
    EXPECT_DOUBLE_EQ(l.Level(), -100.0);
    l.SetReferenz(0);
    l.SetLevel(0);
    EXPECT_DOUBLE_EQ(l.Level(), -100.0);
}

TEST(PeakLamp, LightsStrictlyAboveItsThreshold) {
    PeakLamp l;
    l.SetLevel(-40);
    l.Pon = kLampRed;
    EXPECT_FALSE(l.Lit(328));
    EXPECT_FALSE(l.Lit(-328));
    EXPECT_TRUE(l.Lit(329));
    EXPECT_TRUE(l.Lit(-329));
    EXPECT_EQ(l.Colour(329), kLampRed);
    EXPECT_EQ(l.Colour(0), kLampPurple);
}

TEST(PeakLamp, BarColoursAndTheMostNegativeSample) {
    LampBar bar;
    SetUpLampBar(bar, 32767);
    const uint32_t on[] = {kLampRed,   kLampAmber, kLampAmber, kLampGreen,
                           kLampGreen, kLampGreen, kLampGreen, kLampGreen};
    for (std::size_t i = 0; i < bar.size(); ++i) {
        EXPECT_EQ(bar[i].Pon, on[i]) << i;
        EXPECT_TRUE(bar[i].Lit(32768)) << "a sample of -32768 lights lamp " << i;
        EXPECT_FALSE(bar[i].Lit(0));
    }
    // The bar runs from the loudest lamp down: each threshold below the one above it.
    for (std::size_t i = 1; i < bar.size(); ++i)
        EXPECT_LT(bar[i].Threshold(), bar[i - 1].Threshold());
}

TEST(PeakHold, KeepsTheLargestPeakUntilTaken) {
    PeakHold h;
    bool fresh = true;
    EXPECT_EQ(h.Take(&fresh), 0);
    EXPECT_FALSE(fresh);
    h.Offer(300);
    h.Offer(32768);
    h.Offer(12);
    EXPECT_EQ(h.Take(&fresh), 32768);
    EXPECT_TRUE(fresh);
    EXPECT_EQ(h.Take(&fresh), 0);
    EXPECT_FALSE(fresh);
}

class LevelSetupTest : public ::testing::Test {
  protected:
    // One recorded buffer: 2048 stereo frames, left and right constant apart from one peak each.
    std::vector<int16_t> Block(int16_t leftPeak, int16_t rightPeak) {
        std::vector<int16_t> b(4096, 3);
        b[2 * 100] = leftPeak;
        b[2 * 1500 + 1] = rightPeak;
        return b;
    }

    LiveRig rig;
    LevelSetupModel model{rig.s, *rig.controller, rig.view, rig.prompter, &rig.wake};
};

TEST_F(LevelSetupTest, OpenPlaysNoiseAndRecordsBothHeaders) {
    ASSERT_TRUE(model.Open());
    EXPECT_EQ(rig.controller->SoundMode, RunController::kModeLevelSetup);
    EXPECT_FALSE(rig.view.Enabled(RunControl::RUN1));
    EXPECT_FALSE(rig.view.Enabled(RunControl::SETUP1));
    EXPECT_TRUE(rig.card.inOpen && rig.card.outOpen && rig.card.recording);
    EXPECT_EQ(rig.card.inFormat.channels, 2);
    EXPECT_EQ(rig.card.inputs.size(), 2u);
    EXPECT_EQ(rig.card.outputs.size(), 2u);
    EXPECT_EQ(model.inPanel, "In: Hand Car");
    EXPECT_EQ(model.outPanel, "Out: Hand Car");
    EXPECT_EQ(model.Button2Caption(), Msg(293));
    // The noise: every sample ±OutputAmplitude, both signs present.
    const auto* olp = reinterpret_cast<const int16_t*>(rig.s.buffers.OLPb());
    int plus = 0, minus = 0;
    for (int i = 0; i < 2 * 37000; ++i) {
        ASSERT_EQ(std::abs(olp[i]), rig.s.OutputAmplitude);
        (olp[i] > 0 ? plus : minus)++;
    }
    EXPECT_GT(plus, 30000);
    EXPECT_GT(minus, 30000);
}

TEST_F(LevelSetupTest, InputBuffersGiveBothBarsTheirPeaksAndAreQueuedAgain) {
    ASSERT_TRUE(model.Open());
    ASSERT_TRUE(rig.card.Record(Block(-32768, 329)));
    model.DispatchEvents();
    EXPECT_EQ(rig.card.inputs.size(), 2u) << "the buffer goes back to the device at once";
    const auto p = model.TakePeaks();
    EXPECT_TRUE(p.fresh);
    EXPECT_EQ(p.atc, 32768);
    EXPECT_EQ(p.in, 329);
    for (const auto& lamp : model.atcBar) EXPECT_TRUE(lamp.Lit(p.atc));
    EXPECT_TRUE(model.inBar[6].Lit(p.in));   // −40 dB: threshold 328
    EXPECT_FALSE(model.inBar[5].Lit(p.in));  // −30 dB

    // Several buffers between two frames: the display sees the loudest of them.
    for (const auto& [l, r] : {std::pair<int16_t, int16_t>{20000, 100}, {500, 4000}, {-7, 30}}) {
        ASSERT_TRUE(rig.card.Record(Block(l, r)));
        model.DispatchEvents();
    }
    const auto q = model.TakePeaks();
    EXPECT_EQ(q.atc, 20000);
    EXPECT_EQ(q.in, 4000);
    EXPECT_EQ(model.buffersSeen, 4u);
    EXPECT_FALSE(model.TakePeaks().fresh);
}

TEST_F(LevelSetupTest, NoiseIsWrittenAgainAndQuietPausesWithoutDroppingIt) {
    ASSERT_TRUE(model.Open());
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(rig.card.Play());
        model.DispatchEvents();
        // One header plays while the other waits: the noise never runs dry.
        EXPECT_EQ(rig.card.outputs.size(), 2u);
    }
    model.Button2Click();
    EXPECT_TRUE(rig.card.paused);
    EXPECT_EQ(model.Button2Caption(), Msg(294));
    EXPECT_EQ(rig.card.outputs.size(), 2u);
    model.Button2Click();
    EXPECT_FALSE(rig.card.paused);
    EXPECT_EQ(model.Button2Caption(), Msg(293));
    EXPECT_EQ(rig.card.outputs.size(), 2u) << "Noise goes on with the queued noise";
}

TEST_F(LevelSetupTest, CloseReleasesEveryDeviceAndReturnsToMeasuring) {
    ASSERT_TRUE(model.Open());
    ASSERT_TRUE(rig.card.Record(Block(1, 1)));  // a notification still waiting in the ring
    model.Close();
    EXPECT_FALSE(rig.card.inOpen);
    EXPECT_FALSE(rig.card.outOpen);
    EXPECT_EQ(rig.controller->SoundMode, RunController::kModeMls);
    EXPECT_TRUE(rig.view.Enabled(RunControl::RUN1));
    EXPECT_TRUE(rig.view.Enabled(RunControl::SETUP1));
    model.DispatchEvents();  // the stale notification touches nothing
    EXPECT_FALSE(rig.card.inOpen);
    EXPECT_EQ(model.buffersSeen, 0u);
    // Opening again sets everything up anew.
    ASSERT_TRUE(model.Open());
    EXPECT_TRUE(rig.card.inOpen && rig.card.outOpen);
}

TEST_F(LevelSetupTest, WhileStoppingBuffersAreResetNotQueued) {
    ASSERT_TRUE(model.Open());
    model.Stopping = true;
    ASSERT_TRUE(rig.card.Record(Block(1, 1)));
    model.DispatchEvents();
    EXPECT_TRUE(rig.card.inputs.empty());
    EXPECT_TRUE(rig.card.outputs.empty());
    EXPECT_FALSE(model.TakePeaks().fresh);
}

TEST_F(LevelSetupTest, UnknownDeviceLeavesTheMainWindowAsItWas) {
    rig.settings.WriteString("INCARD", "Unplugged");
    EXPECT_FALSE(model.Open());
    EXPECT_EQ(rig.host.settingsOpened, 1);
    EXPECT_FALSE(model.IsOpen());
    EXPECT_EQ(rig.controller->SoundMode, RunController::kModeMls);
    EXPECT_TRUE(rig.view.Enabled(RunControl::RUN1));
    EXPECT_FALSE(rig.card.inOpen || rig.card.outOpen);
}

TEST_F(LevelSetupTest, LostDeviceClosesTheMonitorWithABox) {
    ASSERT_TRUE(model.Open());
    rig.card.Lose();
    model.DispatchEvents();
    EXPECT_FALSE(model.IsOpen());
    ASSERT_NE(rig.prompter.Last(), nullptr);
    EXPECT_EQ(rig.prompter.Last()->caption, Msg(68));
    EXPECT_FALSE(rig.card.inOpen || rig.card.outOpen);
}

// On the Virtual Room the reference input carries the noise at the output level times the room's
// gain: −6 dB lights the lamps from −7 dB down; 6 dB more gain clips and lights −2 dB.
class LevelSetupRoom : public ::testing::TestWithParam<double> {};

TEST_P(LevelSetupRoom, BarsFollowTheRoomsGain) {
    RoomParameters p;
    p.realTime = false;
    p.gainDb = GetParam();
    VirtualRoom room(p);
    LiveRig rig(&room, kVirtualRoomName);
    rig.s.OutputLevelDb = -6;
    LevelSetupModel model(rig.s, *rig.controller, rig.view, rig.prompter, &rig.wake);
    rig.s.MlsOrder = 12;
    rig.s.AveragesTarget = 1;
    rig.s.IgnoreFirst = false;
    // A repeating run in progress stops first.
    rig.controller->REPEAT1Click();
    rig.controller->NORMALClick();
    ASSERT_TRUE(rig.s.RunActive);
    ASSERT_TRUE(model.Open());
    EXPECT_FALSE(rig.s.RunActive);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (model.buffersSeen < 20 && std::chrono::steady_clock::now() < until) {
        rig.wake.WaitFor(std::chrono::milliseconds(50));
        model.DispatchEvents();
    }
    ASSERT_GE(model.buffersSeen, 20u);
    const auto peaks = model.TakePeaks();
    const bool loud = GetParam() >= 6.0;
    EXPECT_EQ(model.atcBar[0].Lit(peaks.atc), loud);
    EXPECT_EQ(model.atcBar[1].Lit(peaks.atc), loud);
    EXPECT_TRUE(model.atcBar[2].Lit(peaks.atc));
    EXPECT_TRUE(model.inBar[7].Lit(peaks.in)) << "the microphone hears the noise too";
    model.Close();
    EXPECT_FALSE(room.InputOpen() || room.OutputOpen());

    // The main window measures at once afterwards.
    rig.controller->NORMALClick();
    while (rig.s.RunActive && std::chrono::steady_clock::now() < until) {
        rig.wake.WaitFor(std::chrono::milliseconds(50));
        rig.controller->DispatchDeviceEvents();
    }
    EXPECT_EQ(rig.view.completions, 1);
}

INSTANTIATE_TEST_SUITE_P(Gains, LevelSetupRoom, ::testing::Values(0.0, 6.0));

}  // namespace
}  // namespace fim
