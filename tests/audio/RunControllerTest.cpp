#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "FileTestUtil.h"
#include "RunTestRig.h"
#include "audio/DeviceSet.h"
#include "audio/ImpulseFiles.h"
#include "audio/RunController.h"
#include "audio/TimeFile.h"
#include "audio/VirtualRoom.h"
#include "base/Catalog.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"
#include "core/Mls.h"
#include "core/Recovery.h"

namespace fim {
namespace {

using namespace fim::test;

// --- the Virtual Room in fast mode ---------------------------------------------------------

class VirtualRoomRun : public RunControllerTest, public ::testing::WithParamInterface<int> {
  protected:
    RoomParameters Room() {
        RoomParameters p;
        p.realTime = false;
        p.seed = 3;
        return p;
    }
};

TEST_P(VirtualRoomRun, DirectSoundWhereTheDistanceSays) {
    const int order = GetParam();
    VirtualRoom room(Room());
    Use(room, kVirtualRoomName);
    s.MlsOrder = static_cast<uint8_t>(order);
    s.IgnoreFirst = true;
    s.AveragesTarget = 2;
    controller->NORMALClick();
    Pump();
    ASSERT_FALSE(s.RunActive);
    ASSERT_TRUE(s.ImpulseValid) << (prompter.Last() ? prompter.Last()->text : "");
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(view.glyphs.size(), 3u);  // the ignored first period and two averaged ones
    EXPECT_EQ(view.completions, 1);

    // ATC off: the recording of the second period starts one sample after a period boundary
    // (N = L + 1), so the room's delay d lands at 1-based position latency + d.
    const RoomParameters p = Room();
    const double direct = p.DirectDelaySamples(s.SampleRate);
    EXPECT_NEAR(s.ImpulsePeakIndex, p.LatencySamples(s.SampleRate) + direct, 2.0);
    EXPECT_EQ(view.again, Msg(185));
    EXPECT_TRUE(view.enabled[RunControl::RUN1]);
}

TEST_P(VirtualRoomRun, TimeAlignedOnTheReference) {
    const int order = GetParam();
    VirtualRoom room(Room());
    Use(room, kVirtualRoomName);
    s.MlsOrder = static_cast<uint8_t>(order);
    s.AtcMode = 1;
    s.PeakSync = GetParam() == 16;  // both ways of averaging with ATC
    s.AveragesTarget = 2;
    controller->NORMALClick();
    Pump();
    ASSERT_TRUE(s.ImpulseValid);

    // The coarse pass correlates the reference from frame 5 on: the cable's latency shows at
    // 0-based position latency − 5, i.e. 1-based p = latency − 4. The data then starts at frame
    // S = p − 210, so the direct sound (latency + d frames into the recording) lands at 0-based
    // latency + d − S.
    const RoomParameters p = Room();
    const int latency = p.LatencySamples(s.SampleRate);
    const int coarse = latency - 4;
    const int start = std::max(0, coarse - 210);
    const double expected = latency + p.DirectDelaySamples(s.SampleRate) - start + 1;
    EXPECT_NEAR(s.ImpulsePeakIndex, expected, 2.0);
}

INSTANTIATE_TEST_SUITE_P(Orders, VirtualRoomRun, ::testing::Values(12, 16));

// A one-second room at order 16: time alignment (either way of averaging) gives the response
// that the second period gives without it, moved by the alignment's shift, tail included.
TEST_F(RunControllerTest, AlignedRunInAReverberantRoomMatchesTheUnalignedOne) {
    RoomParameters p;
    p.realTime = false;
    p.seed = 5;
    p.reverbTime = 1.0;
    s.MlsOrder = 16;
    s.AveragesTarget = 2;
    const std::size_t length = 65535;
    auto measure = [&](int atc, bool sync) {
        VirtualRoom room(p);
        Use(room, kVirtualRoomName);
        s.AtcMode = static_cast<uint8_t>(atc);
        s.PeakSync = sync;
        controller->NORMALClick();
        Pump();
        EXPECT_TRUE(s.ImpulseValid);
        for (const auto& box : prompter.shown) ADD_FAILURE() << box.caption << ": " << box.text;
        s.DevicesClosed = true;  // releasing closes them, before their room goes
        controller->MIR1Click();
        controller.reset();
        const double* rlp = s.buffers.RLPd();
        return std::make_pair(std::vector<double>(rlp, rlp + length), s.ImpulsePeakIndex);
    };
    const auto [off, offPeak] = measure(0, false);
    for (bool sync : {false, true}) {
        SCOPED_TRACE(sync);
        const auto [on, onPeak] = measure(1, sync);
        const std::size_t shift = (static_cast<std::size_t>(onPeak) + length - offPeak) % length;
        double diff = 0, energy = 0;
        for (std::size_t k = 0; k < length; ++k) {
            const double d = on[(k + shift) % length] - off[k];
            diff += d * d;
            energy += off[k] * off[k];
        }
        const double db = 10.0 * std::log10(std::max(diff, 1e-300) / energy);
        std::printf("aligned (peak sync %d) against unaligned: %.1f dB, shift %zu\n", sync, db,
                    shift);
        EXPECT_LT(db, -100.0);
        EXPECT_NE(shift, 0u);
    }
}

TEST_F(RunControllerTest, ClippingAndLowLevelStopWithTheirBoxes) {
    RoomParameters loud;
    loud.realTime = false;
    loud.gainDb = 30.0;
    {
        VirtualRoom room(loud);
        Use(room, kVirtualRoomName);
        prompter.answers = {PromptAnswer::Cancel};
        controller->NORMALClick();
        Pump();
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.shown[0].caption, "MIV INPUT MONITOR");
        EXPECT_EQ(prompter.shown[0].text.rfind(Msg(8), 0), 0u);
        const int peak = std::stoi(prompter.shown[0].text.substr(Msg(8).size()));
        EXPECT_GT(peak, 0.95 * 32767);
        EXPECT_EQ(view.glyphs.back(), LevelGlyph::Clip);
        EXPECT_FALSE(s.RunActive);
        EXPECT_FALSE(s.ImpulseValid);
        controller.reset();
    }
    RoomParameters soft = loud;
    soft.gainDb = -60.0;
    VirtualRoom room(soft);
    Use(room, kVirtualRoomName);
    s.DevicesClosed = true;
    prompter.shown.clear();
    prompter.answers = {PromptAnswer::Cancel};
    controller->NORMALClick();
    Pump();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text.rfind(Msg(9), 0), 0u);
    EXPECT_NE(prompter.shown[0].text.find("\rMIN LEVEL:  328"), std::string::npos);
    EXPECT_EQ(view.glyphs.back(), LevelGlyph::Low);
    EXPECT_EQ(host.terminated, 0);  // Cancel in a level box only ends the run
}

TEST_F(RunControllerTest, RetryInALevelBoxRepeatsTheRun) {
    ScriptedCard card;
    card.micGain = 1.0;
    Use(card, "Test Card");
    s.OutputLevelDb = 0;  // 32767 output, mic at gain 1 → 32767 > 0.95 · full scale
    prompter.answers = {PromptAnswer::Retry, PromptAnswer::Cancel};
    controller->NORMALClick();
    Pump();
    EXPECT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(card.periods, 2);
    EXPECT_FALSE(s.RunActive);
}

TEST_F(RunControllerTest, RepeatWithoutSingleShotDropsClippedPeriodsAndGoesOn) {
    ScriptedCard card;
    card.micGain = 1.0;
    Use(card, "Test Card");
    s.OutputLevelDb = 0;
    controller->REPEAT1Click();
    EXPECT_TRUE(view.checked[RunControl::REPEAT1]);
    controller->DIRECT1Click();  // a DIRECT run is not single-shot
    Pump(5);
    EXPECT_TRUE(s.RunActive);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_GE(card.periods, 5);
    EXPECT_EQ(view.glyphs.back(), LevelGlyph::Clip);
    EXPECT_EQ(s.AveragesDone, 0);
    EXPECT_FALSE(s.ImpulseValid);

    // The level comes back: the next period is taken and the result shown.
    card.micGain = 0.5;
    Pump(3);
    EXPECT_TRUE(s.ImpulseValid);
    EXPECT_EQ(host.shownKinds.front(), 1);
    controller->AGAIN1Click();  // caption is STOP
    EXPECT_FALSE(s.RunActive);
    EXPECT_FALSE(view.checked[RunControl::REPEAT1]);
}

TEST_F(RunControllerTest, StopWhileAPeriodMessageIsPendingIsIgnored) {
    ScriptedCard card;
    Use(card, "Test Card");
    s.AveragesTarget = 4;
    controller->NORMALClick();  // the scripted card finishes the first period at once
    ASSERT_EQ(card.periods, 1);
    controller->StopRun();
    controller->DispatchDeviceEvents();
    EXPECT_EQ(s.AveragesDone, 0);
    EXPECT_EQ(card.periods, 1);  // no further period was started
    EXPECT_TRUE(view.glyphs.empty());

    // A new run does not take in the old message either: it starts from period one.
    controller->NORMALClick();
    Pump();
    EXPECT_EQ(card.periods, 5);
    EXPECT_TRUE(s.ImpulseValid);
}

TEST_F(RunControllerTest, AutoResetFallsBackToOneAverage) {
    ScriptedCard card;
    Use(card, "Test Card");
    controller->SelectAveraging(4);
    EXPECT_EQ(view.averaging, Msg(63) + ": 4");
    EXPECT_EQ(view.panels[1], "1/4");
    controller->AUTORESET1Click();
    EXPECT_TRUE(s.AutoReset);
    controller->NORMALClick();
    Pump();
    EXPECT_EQ(card.periods, 4);
    EXPECT_EQ(s.AveragesTarget, 1);
    EXPECT_EQ(view.averaging, Msg(63) + ": 1");

    controller->RESETAVERAGES1Click();
    EXPECT_FALSE(s.AutoReset);
    EXPECT_EQ(settings.ReadBool("AVERAGES RESET"), false);
    controller->SelectAveraging(0);  // an entry tagged 0 counts as 1
    EXPECT_EQ(s.AveragesTarget, 1);
}

TEST_F(RunControllerTest, IgnoreFirstReplacesTheFirstPeriod) {
    ScriptedCard card;
    card.micDelays = {300, 100};  // the first period differs: it must not reach the result
    Use(card, "Test Card");
    s.IgnoreFirst = true;
    controller->NORMALClick();
    Pump();
    EXPECT_EQ(card.periods, 2);
    ASSERT_TRUE(s.ImpulseValid);
    EXPECT_EQ(s.ImpulsePeakIndex, 100);  // ATC off: delay d at 1-based position d

    // Without IgnoreFirst the first period is the result.
    s.IgnoreFirst = false;
    card.periods = 0;
    card.micDelays = {300};
    s.DevicesClosed = true;
    controller->SetupSound();
    controller->NORMALClick();
    Pump();
    EXPECT_EQ(card.periods, 1);
    EXPECT_EQ(s.ImpulsePeakIndex, 300);
}

TEST_F(RunControllerTest, LastPeriodDroppedByPeakSyncIsReplaced) {
    ScriptedCard card;
    card.micDelays = {100, 130, 100};  // the second period's peak is elsewhere
    Use(card, "Test Card");
    s.AtcMode = 1;
    s.PeakSync = true;
    s.SyncMode = 0;
    s.AveragesTarget = 2;
    controller->NORMALClick();
    Pump(20);
    EXPECT_FALSE(s.RunActive);
    EXPECT_EQ(card.periods, 3);
    EXPECT_TRUE(s.ImpulseValid);
    bool ignored = false;
    for (const auto& [panel, text] : view.history)
        ignored |= panel == 6 && text == "Sample ignored";
    EXPECT_TRUE(ignored);
}

TEST_F(RunControllerTest, IncompleteRecordingFailsTheQualityCheck) {
    ScriptedCard card;
    card.shortBy = 4;
    Use(card, "Test Card");
    prompter.answers = {PromptAnswer::Cancel};
    controller->NORMALClick();
    Pump();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, "DATA QUALITY MONITOR");
    EXPECT_EQ(prompter.shown[0].text, Msg(299));
    EXPECT_FALSE(s.ImpulseValid);

    s.QualityCheck = false;  // then the period counts as complete
    controller->NORMALClick();
    Pump();
    EXPECT_EQ(prompter.shown.size(), 1u);
    EXPECT_TRUE(s.ImpulseValid);
}

TEST_F(RunControllerTest, LostDeviceStopsTheRunAndKeepsTheLastResult) {
    ScriptedCard card;
    card.micDelays = {100};
    Use(card, "Test Card");
    s.AtcMode = 1;
    s.PeakSync = true;  // such a run writes its first period straight into RLP
    controller->NORMALClick();
    Pump();
    ASSERT_TRUE(s.ImpulseValid);
    const std::vector<double> before(s.buffers.RLPd(), s.buffers.RLPd() + 4095);
    const int peak = s.ImpulsePeakIndex;

    card.micDelays = {250};
    card.loseDeviceAtPeriod = 2;  // the run's second period never arrives
    s.AveragesTarget = 2;
    prompter.answers = {PromptAnswer::Retry};
    controller->NORMALClick();
    Pump();
    EXPECT_FALSE(s.RunActive);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, "Test Card");
    EXPECT_EQ(prompter.shown[0].buttons, PromptButtons::RetryCancel);
    EXPECT_TRUE(s.ImpulseValid);
    EXPECT_EQ(s.ImpulsePeakIndex, peak);
    EXPECT_EQ(std::vector<double>(s.buffers.RLPd(), s.buffers.RLPd() + 4095), before);
    EXPECT_TRUE(s.DevicesClosed);
    EXPECT_FALSE(card.InputOpen());
    EXPECT_EQ(host.terminated, 0);

    // A refused write is a lost device too; Cancel there ends the program.
    card.loseDeviceAtPeriod = -1;
    card.failWriteAtPeriod = card.periods;
    prompter.answers = {PromptAnswer::Cancel};
    controller->NORMALClick();
    EXPECT_FALSE(s.RunActive);
    EXPECT_EQ(host.terminated, 1);
}

// The Virtual Room's fault switch pulls its cable after a set number of recorded buffers: a
// sound device that disappears mid-run.
TEST_F(RunControllerTest, DeviceThatDisappearsMidRunKeepsTheLastResponseAndWorksWhenBack) {
    RoomParameters quiet;
    quiet.realTime = false;
    quiet.noiseDb = kRoomNoiseOffDb;  // every run of the room gives the same response
    VirtualRoom room(quiet);
    Use(room, kVirtualRoomName);
    s.AveragesTarget = 4;
    controller->NORMALClick();
    Pump();
    ASSERT_TRUE(s.ImpulseValid);
    ASSERT_TRUE(prompter.shown.empty());
    const std::vector<double> first(s.buffers.RLPd(), s.buffers.RLPd() + 4096);
    const int peak = s.ImpulsePeakIndex;
    // The response remembers how it was measured, whatever the settings become later.
    EXPECT_TRUE(s.LastRun.known);
    EXPECT_EQ(s.LastRun.averages, 4);
    EXPECT_EQ(s.LastRun.atc, s.AtcMode != 0);

    for (const bool repeat : {false, true}) {
        SCOPED_TRACE(repeat ? "REPEAT" : "MLS ONLY");
        controller->Repeat = repeat;
        room.DisconnectAfterBuffers(3);  // in the middle of the run's second period
        prompter.answers = {PromptAnswer::Retry};
        controller->NORMALClick();
        Pump();
        EXPECT_FALSE(s.RunActive);
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.shown[0].caption, kVirtualRoomName);
        EXPECT_EQ(prompter.shown[0].buttons, PromptButtons::RetryCancel);
        EXPECT_EQ(host.terminated, 0);
        EXPECT_TRUE(s.ImpulseValid);
        EXPECT_EQ(s.ImpulsePeakIndex, peak);
        EXPECT_EQ(std::vector<double>(s.buffers.RLPd(), s.buffers.RLPd() + 4096), first);
        EXPECT_EQ(s.LastRun.averages, 4);  // still the kept response's run
        EXPECT_TRUE(s.DevicesClosed);
        EXPECT_FALSE(room.InputOpen());
        EXPECT_FALSE(room.OutputOpen());

        // The device is back: the next run opens it again and measures as before.
        room.Reconnect();
        prompter.shown.clear();
        controller->Repeat = false;
        const int completions = view.completions;
        controller->NORMALClick();
        Pump();
        EXPECT_TRUE(prompter.shown.empty()) << prompter.shown[0].text;
        EXPECT_EQ(view.completions, completions + 1);
        EXPECT_EQ(std::vector<double>(s.buffers.RLPd(), s.buffers.RLPd() + 4096), first);
    }
}

TEST_F(RunControllerTest, DeviceLookupByName) {
    ScriptedCard first("Twin"), second("Twin");
    DeviceSet set({&first, &second});
    Use(set, "Twin");
    ASSERT_TRUE(controller->SetupSound());
    EXPECT_EQ(controller->InDeviceId, 1);  // two devices with one name: the higher index
    EXPECT_EQ(second.opens, 1);
    EXPECT_EQ(first.opens, 0);
    EXPECT_EQ(second.format.samplesPerSec, 44100u);
    EXPECT_EQ(second.format.channels, 2);

    settings.WriteString("INCARD", "Gone");
    s.DevicesClosed = true;
    EXPECT_FALSE(controller->SetupSound());
    EXPECT_EQ(host.settingsOpened, 1);
    EXPECT_FALSE(controller->DevicesOpen);
    controller->NORMALClick();  // nothing to measure on: no run starts
    EXPECT_FALSE(s.RunActive);
}

TEST_F(RunControllerTest, WaveErrorBox) {
    ScriptedCard card;
    Use(card, "Test Card");
    controller->ReportWaveError(kWaveOk, "IN Prepeare1");
    EXPECT_TRUE(prompter.shown.empty());
    prompter.answers = {PromptAnswer::Retry, PromptAnswer::Cancel};
    controller->ReportWaveError(kWaveBadFormat, "Start Wavein open");
    EXPECT_EQ(host.terminated, 0);
    controller->ReportWaveError(kWaveNoMem, "Again 1");
    EXPECT_EQ(host.terminated, 1);
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[0].caption, "Start Wavein open");
    EXPECT_EQ(prompter.shown[0].text, WaveResultText(kWaveBadFormat));
    EXPECT_EQ(prompter.shown[0].icon, PromptIcon::Information);
}

// --- a loaded file and the next run --------------------------------------------------------------

// A response as another program might have written it: a sine with a spike.
std::string WriteResponseFile(const test::TempDir& dir, const char* name, double rate, int count,
                              int peak) {
    std::vector<double> r(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) r[i] = 0.01 * std::sin(0.3 * i);
    r[peak - 1] = 0.8;
    const std::string path = dir.File(name);
    EXPECT_TRUE(WriteTimeFile(path, rate, r.data(), r.size()));
    return path;
}

TEST_F(RunControllerTest, ALoadedFileOfAnotherRateAndLengthSetsTheNextRunUpAfresh) {
    RoomParameters p;
    p.realTime = false;
    p.seed = 3;
    VirtualRoom room(p);
    Use(room, kVirtualRoomName);
    controller->NORMALClick();
    Pump();
    ASSERT_TRUE(s.ImpulseValid);
    ASSERT_EQ(controller->InFormat.samplesPerSec, 44100u);

    test::TempDir dir;
    const std::string path = WriteResponseFile(dir, "hall.mtf", 48000.0, 8192, 700);
    ImpulseFiles files(s, prompter);
    ASSERT_TRUE(controller->LoadResponse([&] { return files.LoadImpulse(path, 1); }));
    EXPECT_EQ(s.SampleRate, 48000);
    EXPECT_EQ(s.MlsSize, 8192);
    EXPECT_EQ(s.ImpulsePeakIndex, 700);
    EXPECT_TRUE(s.DevicesClosed);
    EXPECT_FALSE(room.InputOpen());
    // Releasing the devices (the features dialog does) leaves the loaded response whole.
    controller->MIR1Click();
    EXPECT_EQ(s.MlsSize, 8192);

    // MLS ONLY measures at the file's rate with the order of the settings, and the direct sound
    // lands where the room puts it at that rate.
    controller->NORMALClick();
    Pump();
    ASSERT_TRUE(s.ImpulseValid);
    EXPECT_TRUE(prompter.shown.empty())
        << prompter.Last()->caption << ": " << prompter.Last()->text;
    EXPECT_EQ(controller->InFormat.samplesPerSec, 48000u);
    EXPECT_EQ(s.MlsSize, 4096);
    EXPECT_NEAR(s.ImpulsePeakIndex, p.LatencySamples(48000) + p.DirectDelaySamples(48000), 2.0);
    // Again: the devices stay as they are now.
    controller->AGAIN1Click();
    Pump();
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(s.MlsSize, 4096);
}

TEST_F(RunControllerTest, ARateTheDeviceRefusesShowsItsBoxAndKeepsTheLoadedResponse) {
    ScriptedCard card;
    card.refusedRate = 48000;
    Use(card, "Test Card");
    s.AveragesTarget = 64;
    controller->NORMALClick();  // a run that is still going when the file is loaded
    ASSERT_TRUE(s.RunActive);

    test::TempDir dir;
    const std::string path = WriteResponseFile(dir, "hall.mtf", 48000.0, 2048, 300);
    ImpulseFiles files(s, prompter);
    ASSERT_TRUE(controller->LoadResponse([&] { return files.LoadImpulse(path, 1); }));
    EXPECT_FALSE(s.RunActive);  // stopped before the file came in
    EXPECT_EQ(card.periods, 1);
    const std::vector<double> loaded(s.buffers.RLPd(), s.buffers.RLPd() + 2048);

    prompter.answers = {PromptAnswer::Retry};
    controller->NORMALClick();
    Pump();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, "Start Wavein open");
    EXPECT_EQ(prompter.shown[0].text, WaveResultText(kWaveBadFormat));
    EXPECT_FALSE(s.RunActive);
    EXPECT_EQ(card.periods, 1);
    EXPECT_EQ(s.SampleRate, 48000);
    EXPECT_EQ(s.MlsSize, 2048);
    EXPECT_TRUE(s.ImpulseValid);
    EXPECT_EQ(s.ImpulsePeakIndex, 300);
    EXPECT_EQ(std::vector<double>(s.buffers.RLPd(), s.buffers.RLPd() + 2048), loaded);
    EXPECT_EQ(host.terminated, 0);
}

// --- the peak question ---------------------------------------------------------------------------

// Answers the peak question as a person would while the program keeps running: the event loop
// of the question takes in whatever device notification arrives meanwhile.
class EventLoopQuestion : public PeakQuestion {
  public:
    EventLoopQuestion(RunController*& controller, Answer answer)
        : controller_(controller), answer_(answer) {}
    Answer AskPeakMismatch(int referencePeak, int peak) override {
        offsets.push_back(peak - referencePeak);
        maxDepth = std::max(maxDepth, ++depth);
        // A question asked while this one is open comes back at once, as the modal dialog does.
        if (depth == 1) {
            controller_->DispatchDeviceEvents();
            controller_->CheckStalled(std::chrono::steady_clock::now() + std::chrono::hours(1));
        }
        --depth;
        return answer_;
    }
    std::vector<int> offsets;
    int depth = 0, maxDepth = 0;

  private:
    RunController*& controller_;
    Answer answer_;
};

class PeakQuestionRun : public RunControllerTest,
                        public ::testing::WithParamInterface<PeakQuestion::Answer> {
  protected:
    // A peak-synchronised run of three periods; `delays` are the microphone delays per period.
    std::vector<double> Run(std::vector<std::size_t> delays, PeakQuestion* question) {
        ScriptedCard card;
        card.micDelays = std::move(delays);
        Use(card, "Test Card");
        s.AtcMode = 1;
        s.PeakSync = true;
        s.SyncMode = 2;  // ask the user
        s.SyncTime = 50;
        s.AveragesTarget = 3;
        host.question = question;
        controller->NORMALClick();
        Pump(50);
        EXPECT_FALSE(s.RunActive);
        EXPECT_TRUE(s.ImpulseValid);
        std::vector<double> r(s.buffers.RLPd(), s.buffers.RLPd() + 4095);
        controller.reset();
        s.DevicesClosed = true;  // the next card is opened afresh
        return r;
    }
    RunController* raw = nullptr;
};

TEST_P(PeakQuestionRun, APeriodCompletingWhileTheQuestionIsOpenWaitsForTheAnswer) {
    // Every period the card records is the same signal, only the microphone delay differs; a
    // period corrected onto the reference equals one recorded at the reference delay. So by
    // hand, the average of the accepted periods is the response of three periods at delay 100.
    const std::vector<double> expected = Run({100}, nullptr);
    view.history.clear();

    EventLoopQuestion question(raw, GetParam());
    ScriptedCard card;
    card.micDelays = {100, 130, 120, 100};
    Use(card, "Test Card");
    raw = controller.get();
    s.AtcMode = 1;
    s.PeakSync = true;
    s.SyncMode = 2;
    s.SyncTime = 50;
    s.AveragesTarget = 3;
    host.question = &question;
    controller->NORMALClick();
    Pump(50);
    ASSERT_FALSE(s.RunActive);
    ASSERT_TRUE(s.ImpulseValid);

    // Both mismatching periods were asked about, one after the other, never inside each other.
    EXPECT_EQ(question.offsets, (std::vector<int>{30, 20}));
    EXPECT_EQ(question.maxDepth, 1);
    std::vector<std::string> sync;
    for (const auto& [panel, text] : view.history) {
        if (panel == 6 && text != "Waiting for Data") sync.push_back(text);
    }
    const bool correct = GetParam() == PeakQuestion::Answer::Correct;
    EXPECT_EQ(
        sync,
        correct ? (std::vector<std::string>{"Referenz Sample", "Corrected : 30", "Corrected : 20"})
                : (std::vector<std::string>{"Referenz Sample", "Sample ignored", "Sample ignored",
                                            "Sample valid", "Sample valid"}));
    EXPECT_EQ(card.periods, correct ? 3 : 5);
    const std::vector<double> got(s.buffers.RLPd(), s.buffers.RLPd() + 4095);
    for (std::size_t k = 0; k < got.size(); ++k) ASSERT_DOUBLE_EQ(got[k], expected[k]) << k;
}

INSTANTIATE_TEST_SUITE_P(BothAnswers, PeakQuestionRun,
                         ::testing::Values(PeakQuestion::Answer::Correct,
                                           PeakQuestion::Answer::Discard));

TEST(LevelChecks, Boundaries) {
    MeasurementState s;
    s.RecomputeDerived();
    EXPECT_TRUE(JudgeLevels(s, 31128, true).accepted);  // 0.95 · 32767 = 31128.65
    EXPECT_TRUE(JudgeLevels(s, 31129, true).clipping);
    EXPECT_EQ(JudgeLevels(s, 31129, true).glyph, LevelGlyph::Clip);
    EXPECT_TRUE(JudgeLevels(s, 328, true).accepted);  // the threshold itself is fine
    EXPECT_TRUE(JudgeLevels(s, 327, true).low);
    EXPECT_EQ(JudgeLevels(s, 327, true).glyph, LevelGlyph::Low);
    EXPECT_FALSE(JudgeLevels(s, 5000, false).accepted);
    EXPECT_EQ(JudgeLevels(s, 5000, false).glyph, LevelGlyph::Ok);
}

TEST(AnalysisWindow, ClampedToFftSizeAndPeriod) {
    int start = 100, end = 10000;
    ClampAnalysisWindow(start, end, 4096, 4095);
    EXPECT_EQ(end, 4095);  // 4196 after the FFT limit, then the period ends it
    start = 100, end = 3000;
    ClampAnalysisWindow(start, end, 2048, 65535);
    EXPECT_EQ(end, 2148);
    start = 10, end = 20;
    ClampAnalysisWindow(start, end, 2048, 4095);
    EXPECT_EQ(end, 20);
    // A window that lay behind the end of a shorter new period ends there and keeps its width.
    start = 5000, end = 5800;
    ClampAnalysisWindow(start, end, 2048, 4095);
    EXPECT_EQ(end, 4095);
    EXPECT_EQ(start, 4095 - 800);
}

}  // namespace
}  // namespace fim
