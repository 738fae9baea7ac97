// Runs with continuous averaging: the output plays the MLS without a gap and every recorded
// period after the room's settling period is averaged.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "audio/RunController.h"
#include "audio/VirtualRoom.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"

namespace fim {
namespace {

class CountingView : public RunView {
  public:
    void SetStatusPanel(int panel, const std::string& text) override {
        if (panel == 1) counter.push_back(text);
    }
    void RedrawImpulse() override {}
    void SetLevelGlyph(LevelGlyph g) override { glyphs.push_back(g); }
    void RunComplete() override { ++completions; }
    std::vector<std::string> counter;  // panel 1, in order
    std::vector<LevelGlyph> glyphs;
    int completions = 0;
};

class QuietHost : public RunHost {
  public:
    void OpenSoundSettings() override {}
    void Terminate() override { ADD_FAILURE() << "the program was ended"; }
    void Pause(int) override {}
};

// A loopback card that runs only when the test advances its clock, on the test's thread, so a
// test decides exactly where a period ends, a stop falls or a recording is spoilt. The left input
// is the output 40 frames late, the right input the output at half level 100 frames late.
class ClockedCard : public WaveDevices {
  public:
    int InputCount() const override { return 1; }
    std::string InputName(int) const override { return "Clocked"; }
    int OutputCount() const override { return 1; }
    std::string OutputName(int) const override { return "Clocked"; }
    bool InputSupports(int, const DeviceFormat&) const override { return true; }
    bool OutputSupports(int, const DeviceFormat&) const override { return true; }
    int OpenInput(int, const DeviceFormat&, WaveCallback* cb) override {
        inCallback_ = cb;
        inOpen_ = true;
        return 0;
    }
    int AddInputBuffer(WaveHeader& h) override {
        if (const int r = MarkQueued(h, true)) return r;
        inputs_.push_back(&h);
        return 0;
    }
    int StartInput() override {
        ++inputStarts;
        recording_ = true;
        return 0;
    }
    int StopInput() override {
        recording_ = false;
        return 0;
    }
    int ResetInput() override {
        recording_ = false;
        for (auto* h : inputs_) MarkDone(*h);
        inputs_.clear();
        inPos_ = 0;
        return 0;
    }
    int CloseInput() override {
        inOpen_ = false;
        return 0;
    }
    int OpenOutput(int, const DeviceFormat&, WaveCallback* cb) override {
        outCallback_ = cb;
        outOpen_ = true;
        return 0;
    }
    int WriteOutput(WaveHeader& h) override {
        if (const int r = MarkQueued(h, false)) return r;
        outputs_.push_back(&h);
        playing_ = true;
        return 0;
    }
    int PauseOutput() override { return 0; }
    int RestartOutput() override { return 0; }
    int ResetOutput() override {
        ++outputResets;
        for (auto* h : outputs_) MarkDone(*h);
        outputs_.clear();
        outPos_ = 0;
        playing_ = false;
        return 0;
    }
    int CloseOutput() override {
        outOpen_ = false;
        return 0;
    }
    bool InputOpen() const override { return inOpen_; }
    bool OutputOpen() const override { return outOpen_; }
    uint64_t InputFramesDropped() const override { return dropped; }
    uint64_t OutputFramesStarved() const override { return starved; }

    // Plays and records `frames` frames.
    void Advance(std::size_t frames) {
        for (std::size_t f = 0; f < frames; ++f) {
            int16_t out = 0;
            if (playing_ && !outputs_.empty()) {
                WaveHeader& h = *outputs_.front();
                std::memcpy(&out, h.data + outPos_, 2);
                outPos_ += 4;
                if (outPos_ >= h.bufferLength) {
                    outputs_.pop_front();
                    outPos_ = 0;
                    MarkDone(h);
                    outCallback_->OnWaveEvent(WaveEventKind::OutputDone, &h, 0);
                }
            } else if (playing_) {
                ++starved;
            }
            history_.push_back(out);
            if (!recording_) continue;
            if (inputs_.empty()) {
                ++dropped;
                continue;
            }
            WaveHeader& h = *inputs_.front();
            const std::size_t t = history_.size() - 1;
            const int16_t left = t >= 40 ? history_[t - 40] : 0;
            int16_t right = t >= 100 ? static_cast<int16_t>(history_[t - 100] / 2) : 0;
            if (spoilHeader == headersFilled && inPos_ == 0) right = 32767;
            std::memcpy(h.data + inPos_, &left, 2);
            std::memcpy(h.data + inPos_ + 2, &right, 2);
            inPos_ += 4;
            h.bytesRecorded.store(static_cast<uint32_t>(inPos_));
            if (inPos_ >= h.bufferLength) {
                inputs_.pop_front();
                inPos_ = 0;
                ++headersFilled;
                MarkDone(h);
                inCallback_->OnWaveEvent(WaveEventKind::InputDone, &h, 0);
            }
        }
    }
    std::size_t QueuedHeaders() const { return inputs_.size() + outputs_.size(); }

    int inputStarts = 0, outputResets = 0;
    int headersFilled = 0;
    int spoilHeader = -1;  // this input header (counted from 0) gets a full-scale sample
    uint64_t dropped = 0, starved = 0;

  private:
    WaveCallback* inCallback_ = nullptr;
    WaveCallback* outCallback_ = nullptr;
    bool inOpen_ = false, outOpen_ = false, recording_ = false, playing_ = false;
    std::deque<WaveHeader*> inputs_, outputs_;
    std::size_t inPos_ = 0, outPos_ = 0;
    std::vector<int16_t> history_;
};

class ContinuousRun : public ::testing::Test {
  protected:
    void SetUp() override {
        s.buffers.Allocate({}, [](const std::string&) { FAIL(); });
        s.MlsOrder = 12;
        s.AveragesTarget = 4;
        s.AtcMode = 1;
        s.PeakSync = true;
        s.IgnoreFirst = true;
        s.ContinuousAveraging = true;
        s.DevicesClosed = true;
    }
    void Use(WaveDevices& d, const std::string& name) {
        view = CountingView();
        settings.WriteString("INCARD", name);
        settings.WriteString("OUTCARD", name);
        controller = std::make_unique<RunController>(s, d, settings, prompter, view, host, &wake);
        ASSERT_TRUE(controller->SetupSound());
    }
    // Advances the clocked card in steps of a quarter period, taking in what it reports, until
    // `done` holds or `periods` periods have played.
    template <typename Done>
    void Play(ClockedCard& card, double periods, Done done) {
        const std::size_t step = static_cast<std::size_t>(s.MlsPeriod()) / 4;
        for (int i = 0; i < static_cast<int>(periods * 4) && !done(); ++i) {
            card.Advance(step);
            for (int k = 0; k < 4; ++k) controller->DispatchDeviceEvents();
        }
    }
    void PumpRoom() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (s.RunActive && std::chrono::steady_clock::now() < until) {
            wake.WaitFor(std::chrono::milliseconds(20));
            controller->DispatchDeviceEvents();
        }
    }
    std::vector<double> Response() const {
        return std::vector<double>(s.buffers.RLPd(), s.buffers.RLPd() + s.MlsPeriod());
    }

    MeasurementState s;
    MemorySettingsTree settings;
    ScriptedPrompter prompter;
    CountingView view;
    QuietHost host;
    SemaphoreWakeup wake;
    std::unique_ptr<RunController> controller;
};

TEST_F(ContinuousRun, KAveragesTakeKPlusOnePeriodsOfOneStream) {
    for (const int k : {1, 4}) {
        ClockedCard card;
        Use(card, "Clocked");
        s.AveragesTarget = k;
        controller->NORMALClick();
        Play(card, 3 * k + 3, [&] { return !s.RunActive; });
        ASSERT_FALSE(s.RunActive);
        EXPECT_EQ(view.completions, 1);
        EXPECT_EQ(controller->Feeder().PeriodsTaken(), k + 1);
        EXPECT_EQ(card.inputStarts, 1);
        EXPECT_EQ(card.starved + card.dropped, 0u);
        EXPECT_EQ(card.QueuedHeaders(), 0u);  // the completed run stopped output and input
        EXPECT_TRUE(prompter.shown.empty());
        // ATC on a 40-frame cable: the coarse peak at 1-based 36 puts the data start at frame 0,
        // so the 100-frame microphone shows at 1-based 101, as in a two-period run.
        EXPECT_EQ(s.ImpulsePeakIndex, 101);
        EXPECT_NEAR(s.ImpulsePeakValue, 0.5 * s.OutputAmplitude, 1.0);
        view.completions = 0;
        s.DevicesClosed = true;
    }
}

TEST_F(ContinuousRun, ClippedPeriodIsSkippedWithoutARestart) {
    // The clean run's response, to compare with.
    std::vector<double> clean;
    {
        ClockedCard card;
        Use(card, "Clocked");
        controller->NORMALClick();
        Play(card, 10, [&] { return !s.RunActive; });
        ASSERT_TRUE(s.ImpulseValid);
        clean = Response();
    }
    // Box-less checking (a repeating run after its first result): the third period clips.
    ClockedCard card;
    card.spoilHeader = 3;  // the settling slot, then periods 1, 2, 3
    s.DevicesClosed = true;
    s.ImpulseValid = false;
    Use(card, "Clocked");
    controller->REPEAT1Click();
    controller->NORMALClick();
    controller->SingleShot = false;
    Play(card, 12, [&] { return view.completions == 1; });
    ASSERT_EQ(view.completions, 1);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(controller->Feeder().PeriodsTaken(), 1 + 4 + 1);
    EXPECT_EQ(std::count(view.glyphs.begin(), view.glyphs.end(), LevelGlyph::Clip), 1);
    EXPECT_EQ(card.inputStarts, 1);
    EXPECT_EQ(Response(), clean);
    controller->StopRun();
}

TEST_F(ContinuousRun, RepeatGoesOnWithoutAGapAndAStopKeepsTheLastResult) {
    ClockedCard card;
    Use(card, "Clocked");
    s.AveragesTarget = 2;
    controller->REPEAT1Click();
    controller->NORMALClick();
    Play(card, 20, [&] { return view.completions == 3; });
    ASSERT_EQ(view.completions, 3);
    // One stream: the room settled once, and every later period belongs to a run.
    EXPECT_EQ(controller->Feeder().PeriodsTaken(), 1 + 3 * 2);
    EXPECT_EQ(card.inputStarts, 1);
    EXPECT_EQ(card.starved + card.dropped, 0u);
    EXPECT_TRUE(s.RunActive);
    // The counter shows each period as it is awaited: 1/2, 2/2, DONE, 2/2, DONE …
    ASSERT_GE(view.counter.size(), 4u);
    EXPECT_EQ(view.counter[0], "1/2");
    EXPECT_EQ(view.counter[1], "2/2");
    EXPECT_EQ(view.counter[2], "DONE");
    const std::vector<double> last = Response();
    const int peak = s.ImpulsePeakIndex;

    // The fourth run has summed one period into RLP (peak synchronisation) when it is stopped in
    // the middle of its second period.
    Play(card, 1.5, [] { return false; });
    ASSERT_EQ(view.completions, 3);
    controller->StopRun();
    EXPECT_FALSE(s.RunActive);
    EXPECT_EQ(card.QueuedHeaders(), 0u);  // output and input ended together
    EXPECT_EQ(Response(), last);
    EXPECT_EQ(s.ImpulsePeakIndex, peak);
    EXPECT_TRUE(s.ImpulseValid);
}

TEST_F(ContinuousRun, LostFramesStartTheStreamAgain) {
    std::vector<double> clean;
    {
        ClockedCard card;
        Use(card, "Clocked");
        controller->NORMALClick();
        Play(card, 10, [&] { return !s.RunActive; });
        clean = Response();
    }
    ClockedCard card;
    s.DevicesClosed = true;
    Use(card, "Clocked");
    controller->NORMALClick();
    Play(card, 2.5, [] { return false; });
    // The program does not take its recordings for six periods: the input runs out of headers.
    card.Advance(6 * static_cast<std::size_t>(s.MlsPeriod()));
    EXPECT_GT(card.dropped, 0u);
    Play(card, 20, [&] { return !s.RunActive; });
    ASSERT_FALSE(s.RunActive);
    EXPECT_EQ(view.completions, 1);
    EXPECT_EQ(card.inputStarts, 2);  // started again; the periods averaged before stay
    EXPECT_EQ(Response(), clean);
}

TEST_F(ContinuousRun, SettingOffRunsTwoPeriodSteps) {
    ClockedCard card;
    s.ContinuousAveraging = false;
    s.AtcMode = 0;
    s.PeakSync = false;
    s.AveragesTarget = 2;
    Use(card, "Clocked");
    controller->NORMALClick();
    EXPECT_FALSE(controller->ContinuousRun());
    // The ignored step and two averaged ones, each two periods and two frames of output.
    Play(card, 12, [&] { return !s.RunActive; });
    ASSERT_FALSE(s.RunActive);
    EXPECT_EQ(card.inputStarts, 3);
    EXPECT_EQ(card.headersFilled, 6);
    EXPECT_EQ(s.ImpulsePeakIndex, 100);
}

// --- the Virtual Room, fast -------------------------------------------------------------------

// The room at order 16, shorter than a period. A continuous run and a two-period run with the
// same room give the same averaged response: bit for bit without the room's noise, and within
// the noise with it.
class ContinuousRoom : public ContinuousRun, public ::testing::WithParamInterface<bool> {
  protected:
    std::vector<double> Measure(const RoomParameters& p, bool continuous) {
        VirtualRoom room(p);
        s.DevicesClosed = true;
        s.ImpulseValid = false;
        s.ContinuousAveraging = continuous;
        Use(room, kVirtualRoomName);
        controller->DriftCorrection = correctDrift;
        controller->NORMALClick();
        PumpRoom();
        EXPECT_FALSE(s.RunActive);
        EXPECT_TRUE(s.ImpulseValid);
        EXPECT_TRUE(prompter.shown.empty());
        if (continuous && !periodsDropped) {
            EXPECT_EQ(controller->Feeder().PeriodsTaken(), s.AveragesTarget + 1);
        }
        std::vector<double> r = Response();
        drift = controller->Drift().Ppm();
        controller->MIR1Click();
        controller.reset();
        return r;
    }
    bool correctDrift = false;
    bool periodsDropped = false;  // peak synchronisation may drop periods
    std::optional<double> drift;  // of the last run
};

TEST_P(ContinuousRoom, SameResponseAsTwoPeriodRuns) {
    s.MlsOrder = 16;
    s.AtcMode = GetParam() ? 1 : 0;
    s.PeakSync = GetParam();
    RoomParameters p;
    p.realTime = false;
    p.reverbTime = 0.5;
    p.noiseDb = -std::numeric_limits<double>::infinity();
    const std::vector<double> quiet = Measure(p, false);
    EXPECT_EQ(Measure(p, true), quiet);

    // With the room's noise (−70 dB RMS on each input) the two ways differ by their noise: two
    // independent noise residues, 3 dB above what the noise leaves in one run.
    p.noiseDb = -70.0;
    const std::vector<double> a = Measure(p, true);
    const std::vector<double> b = Measure(p, false);
    auto rmsDb = [&](const std::vector<double>& x, const std::vector<double>& y) {
        double peak = 0, sum = 0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            peak = std::max(peak, std::abs(y[i]));
            sum += (x[i] - y[i]) * (x[i] - y[i]);
        }
        return 20 * std::log10(std::sqrt(sum / x.size()) / peak);
    };
    const double modes = rmsDb(a, b), noise = rmsDb(b, quiet);
    std::printf("RMS re peak: continuous - two-period %.1f dB, noise of one run %.1f dB\n", modes,
                noise);
    EXPECT_LT(modes, noise + 4.0);
}

INSTANTIATE_TEST_SUITE_P(AtcOffOn, ContinuousRoom, ::testing::Values(false, true));

// A room whose input clock runs 50 ppm fast: the drift shows across the stream's periods, and
// corrected the averaged response keeps its peak. Uncorrected, peak synchronisation drops the
// periods whose reference peak moved; corrected, every period after the settling one counts.
TEST_F(ContinuousRoom, DriftIsFollowedAcrossPeriodsAndCorrected) {
    s.MlsOrder = 16;
    s.AveragesTarget = 8;
    RoomParameters p;
    p.realTime = false;
    p.noiseDb = -std::numeric_limits<double>::infinity();
    auto peak = [](const std::vector<double>& r) {
        double m = 0;
        for (double v : r) m = std::max(m, std::abs(v));
        return m;
    };
    const double reference = peak(Measure(p, true));
    ASSERT_TRUE(drift.has_value());
    EXPECT_NEAR(*drift, 0.0, 1.0);
    EXPECT_TRUE(s.DriftMeasured);
    EXPECT_FALSE(s.DriftCorrected);

    p.clockPpm = 50.0;
    periodsDropped = true;
    const double drifting = peak(Measure(p, true));
    periodsDropped = false;
    ASSERT_TRUE(drift.has_value());
    EXPECT_NEAR(*drift, 50.0, 1.0);
    EXPECT_FALSE(s.DriftCorrected);
    correctDrift = true;
    const double corrected = peak(Measure(p, true));
    ASSERT_TRUE(drift.has_value());
    EXPECT_NEAR(*drift, 50.0, 1.0);
    EXPECT_TRUE(s.DriftCorrected);
    std::printf("50 ppm, continuous: %.2f dB lost, %.3f dB with the correction\n",
                20 * std::log10(reference / drifting), 20 * std::log10(reference / corrected));
    EXPECT_GT(20 * std::log10(reference / drifting), 1.0);
    EXPECT_LT(std::abs(20 * std::log10(reference / corrected)), 0.5);
}

}  // namespace
}  // namespace fim
