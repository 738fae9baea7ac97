// src/audio/: sound in and out. The WaveDevices interface with its back ends (the Virtual Room
// here, PortAudio in platform/), RIFF, WAVE and time files, the impulse-file commands, and the
// run controller, which plays and records a run period by period and reports to its RunView and
// RunHost; runs of higher layers (macro replays) reach it through RunReplay.

#include "audio/RunController.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>

#include "base/Catalog.h"
#include "base/MessageIds.h"
#include "base/Prompter.h"
#include "base/SettingsTree.h"
#include "core/MeasurementState.h"
#include "core/Mls.h"
#include "core/Recovery.h"

namespace fim {

void RunHost::Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void ClampAnalysisWindow(int& start, int& end, int fftSize, int period) {
    const int width = end - start;
    if (end - start > fftSize) end = start + fftSize;
    if (end - start > period) end = period;
    if (end > period) end = period;
    // A window that began behind the new period's end keeps its width up to that end.
    if (start >= end) start = std::max(1, end - std::min(width, fftSize));
}

LevelVerdict JudgeLevels(const MeasurementState& s, int32_t peak, bool complete) {
    LevelVerdict v;
    v.clipping = static_cast<double>(peak) > 0.95 * static_cast<double>(s.FullScale);
    v.low = peak < s.LowLevelThreshold;
    v.glyph = v.low ? LevelGlyph::Low : v.clipping ? LevelGlyph::Clip : LevelGlyph::Ok;
    v.accepted = !v.clipping && !v.low && complete;
    return v;
}

int32_t SecondPeriodPeak(const MeasurementState& s) {
    const int32_t* r = s.buffers.SampleresultI();
    const std::size_t n = static_cast<std::size_t>(s.MlsSize);
    int64_t peak = 0;
    for (std::size_t f = n; f < 2 * n; ++f) {
        peak = std::max<int64_t>(peak, std::llabs(static_cast<int64_t>(r[2 * f + 1])));
    }
    return static_cast<int32_t>(std::min<int64_t>(peak, INT32_MAX));
}

// Holds the input mutex unless this thread already does: a stop from inside the processing of a
// period (a rejected level) must not wait for itself.
class RunController::InputLock {
  public:
    explicit InputLock(RunController& c) : c_(c), owns_(!c.mutexHeld_) {
        if (owns_) {
            c_.state_.InputMutex.lock();
            c_.mutexHeld_ = true;
        }
    }
    ~InputLock() { Release(); }
    void Release() {
        if (owns_) {
            c_.mutexHeld_ = false;
            c_.state_.InputMutex.unlock();
            owns_ = false;
        }
    }

  private:
    RunController& c_;
    bool owns_;
};

RunController::RunController(MeasurementState& state, WaveDevices& devices, SettingsTree& settings,
                             Prompter& prompter, RunView& view, RunHost& host, UiWakeup* wakeup)
    : state_(state),
      devices_(devices),
      settings_(settings),
      prompter_(prompter),
      view_(view),
      host_(host),
      outputDone_(wakeup, &StopRequested),
      inputDone_(wakeup),
      wakeup_(wakeup),
      feeder_(devices),
      rlpBackup_(SharedBuffers::kRlpDoubles, 0.0) {
    SavedPinkMls = state.PinkMls;
}

void RunController::SetModeCallbacks(WaveCallback* input, WaveCallback* output) {
    modeInput_ = input;
    modeOutput_ = output;
}

std::string RunController::InputDeviceName() const {
    return InDeviceId >= 0 ? devices_.InputName(InDeviceId) : std::string();
}
std::string RunController::OutputDeviceName() const {
    return OutDeviceId >= 0 ? devices_.OutputName(OutDeviceId) : std::string();
}

void RunController::ReportWaveError(int result, const std::string& context) {
    if (result == kWaveOk) return;
    host_.Beep();
    const PromptAnswer a = prompter_.Ask(context, devices_.ErrorText(result),
                                         PromptButtons::RetryCancel, PromptIcon::Information);
    if (a == PromptAnswer::Cancel) host_.Terminate();
}

bool RunController::Report(int result, const char* context) {
    ReportWaveError(result, context);
    return result == kWaveOk;
}

// ---------------------------------------------------------------------------------------------
// Runs

// Prepares and queues the input and output headers of one set and starts it playing. A device
// that refuses to queue or start would leave the run waiting for a notification that never comes,
// so such a failure is handled like a lost device.
bool RunController::QueueSet(bool setA, bool first) {
    WaveHeader& in1 = headers_[setA ? InA1 : InB1];
    WaveHeader& in2 = headers_[setA ? InA2 : InB2];
    WaveHeader& out1 = headers_[setA ? OutA1 : OutB1];
    WaveHeader& out2 = headers_[setA ? OutA2 : OutB2];
    Report(devices_.PrepareInput(in1), first ? "IN Prepeare1" : "Again 1");
    int r = devices_.AddInputBuffer(in1);
    Report(devices_.PrepareInput(in2), first ? "IN Prepeare2" : "Again 2");
    if (r == kWaveOk) r = devices_.AddInputBuffer(in2);
    if (first) {
        Report(devices_.PrepareOutput(out1), "Out Prepeare1");
        Report(devices_.PrepareOutput(out2), "Out Prepeare2");
    } else {
        devices_.PrepareOutput(out1);
        devices_.PrepareOutput(out2);
    }
    outputDone_.ResetCount();
    if (r == kWaveOk) r = devices_.StartInput();
    if (first) host_.Pause(20);
    if (r == kWaveOk) r = devices_.WriteOutput(out1);
    if (r == kWaveOk) r = devices_.WriteOutput(out2);
    if (r != kWaveOk) {
        OnDeviceLost(r);
        return false;
    }
    periodInFlight_ = true;
    periodStart_ = std::chrono::steady_clock::now();
    return true;
}

void RunController::StartRun() {
    MeasurementState& s = state_;
    s.AveragesDone = 0;
    drift_.Prepare(s.MlsOrder);
    s.Noise.Prepare((std::size_t{1} << s.MlsOrder) - 1);
    view_.SetStatusPanel(1, "1/" + std::to_string(s.AveragesTarget));
    view_.SetControlVisible(RunControl::AGAIN1, true);
    view_.SetAgainCaption(Msg(kMsgStop));
    AgainIsStop = true;
    view_.SetControlEnabled(RunControl::RUN1, false);
    view_.SetBusy(true);
    StopRequested.store(false, std::memory_order_release);
    s.RunActive = true;
    savedPanel0_ = view_.StatusPanel(0);
    view_.SetStatusPanel(0, Msg(kMsgSampling));
    view_.SetControlEnabled(RunControl::SETUP1, false);

    devices_.ResetInput();
    devices_.ResetOutput();
    // Notifications of an earlier run that were still waiting belong to headers just reset.
    outputDone_.Discard();
    inputDone_.Discard();
    periodPending_ = false;
    headers_[InA1].flags.store(0, std::memory_order_release);
    headers_[OutA1].flags.store(0, std::memory_order_release);
    s.BufferSetToggle = true;
    RestartAfterResult = RunKind > 0;
    headers_[InA1].bytesRecorded.store(0);
    headers_[InA2].bytesRecorded.store(0);
    view_.SetStatusPanel(6, "Waiting for Data");

    // A peak-synchronised run writes its first period into RLP; keep the last result so that a
    // run ended by a lost device leaves it in place.
    rlpBackedUp_ = false;
    BackUpResponse();
    continuousRun_ = s.ContinuousAveraging;
    if (continuousRun_) {
        StartStream();
    } else {
        QueueSet(true, true);
    }
}

void RunController::BackUpResponse() {
    MeasurementState& s = state_;
    if (!s.ImpulseValid || s.AtcMode < 1 || !s.PeakSync) return;
    std::copy_n(s.buffers.RLPd(), rlpBackup_.size(), rlpBackup_.begin());
    backupPeakValue_ = s.ImpulsePeakValue;
    backupPeakIndex_ = s.ImpulsePeakIndex;
    rlpBackedUp_ = true;
}

void RunController::RestoreResponse() {
    MeasurementState& s = state_;
    if (!rlpBackedUp_) return;
    std::copy(rlpBackup_.begin(), rlpBackup_.end(), s.buffers.RLPd());
    s.ImpulsePeakValue = backupPeakValue_;
    s.ImpulsePeakIndex = backupPeakIndex_;
    s.ImpulseValid = true;
    rlpBackedUp_ = false;
}

void RunController::RestartPeriod() {
    // A continuous run's stream never stops between periods or runs.
    if (StopRequested.load(std::memory_order_acquire) || continuousRun_) return;
    const bool setA = state_.BufferSetToggle;
    for (HeaderId id :
         setA ? std::array{InA1, InA2, OutA1, OutA2} : std::array{InB1, InB2, OutB1, OutB2}) {
        headers_[id].flags.store(0, std::memory_order_release);
    }
    headers_[setA ? InA1 : InB1].bytesRecorded.store(0);
    headers_[setA ? InA2 : InB2].bytesRecorded.store(0);
    QueueSet(setA, false);
}

void RunController::StopRun() {
    StopRequested.store(true, std::memory_order_release);
    InputLock lock(*this);
    StopRunHeld();
    lock.Release();
    // A replayed run had switched the signal: build the user's again.
    if (pinkRestored_) SetupSound();
}

void RunController::StopRunHeld() {
    MeasurementState& s = state_;
    StopRequested.store(true, std::memory_order_release);
    if (s.AutoReset) s.AveragesTarget = 1;
    // Every way a run ends gives the user's pink choice back, so an idle controller always
    // holds it in PinkMls (and the next replay remembers that, not its predecessor's).
    if (s.PinkMls != SavedPinkMls) {
        s.PinkMls = SavedPinkMls;
        pinkRestored_ = true;
    }
    devices_.ResetOutput();
    devices_.ResetInput();
    periodInFlight_ = false;
    periodPending_ = false;
    s.RunActive = false;
    // A stop between the periods of a continuous run leaves the last complete response (a
    // peak-synchronised run sums its periods in RLP).
    if (continuousRun_) RestoreResponse();
    Repeat = false;
    view_.SetControlChecked(RunControl::REPEAT1, false);
    view_.SetControlEnabled(RunControl::RUN1, true);
    view_.SetAgainCaption(Msg(kMsgAgain));
    AgainIsStop = false;
    view_.SetControlEnabled(RunControl::SETUP1, true);
    view_.RepaintImpulse();
    view_.SetStatusPanel(0, savedPanel0_);
    view_.SetBusy(false);
}

std::string SyncStatusText(const PeriodOutcome& o) {
    using Sync = PeriodOutcome::Sync;
    switch (o.sync) {
        case Sync::None:
            return {};
        case Sync::FirstIgnored:
            return "First Sample ignored";
        case Sync::Reference:
            return "Referenz Sample";
        case Sync::Valid:
            return "Sample valid";
        case Sync::Ignored:
            return "Sample ignored";
        case Sync::OutOfLimit:
            return "Out of limit: " + std::to_string(o.offset);
        case Sync::Corrected:
            return "Corrected : " + std::to_string(o.offset);
    }
    return {};
}

void ShowPeriodOutcome(const PeriodOutcome& o, RunView& view) {
    if (o.intermediate) view.RedrawImpulse();
    if (o.sync != PeriodOutcome::Sync::None) view.SetStatusPanel(6, SyncStatusText(o));
    view.SetStatusPanel(1, o.complete
                               ? std::string("DONE")
                               : std::to_string(o.done + 1) + "/" + std::to_string(o.target));
}

bool RunController::CheckLevels(int32_t peak, bool complete) {
    const LevelVerdict v = JudgeLevels(state_, peak, complete);
    view_.SetLevelGlyph(v.glyph);
    if (!Repeat || SingleShot) {
        if (v.clipping) {
            StopRunHeld();
            const auto a =
                prompter_.Ask("MIV INPUT MONITOR", Msg(kMsgInputClipping) + std::to_string(peak),
                              PromptButtons::RetryCancel, PromptIcon::Information);
            retryRequested_ = a == PromptAnswer::Retry;
            return false;
        }
        if (v.low) {
            StopRunHeld();
            const auto a =
                prompter_.Ask("MIV INPUT MONITOR",
                              Msg(kMsgInputTooLow) + std::to_string(peak) +
                                  "\rMIN LEVEL:  " + std::to_string(state_.LowLevelThreshold),
                              PromptButtons::RetryCancel, PromptIcon::Information);
            retryRequested_ = a == PromptAnswer::Retry;
            return false;
        }
        if (!complete) {
            StopRunHeld();
            const auto a = prompter_.Ask("DATA QUALITY MONITOR", Msg(kMsgDataQualityFailed),
                                         PromptButtons::RetryCancel, PromptIcon::Information);
            retryRequested_ = a == PromptAnswer::Retry;
            return false;
        }
        return true;
    }
    if (host_.FinderWindowExists()) {
        view_.SetFinderLevelImage(v.clipping ? 19 : v.low ? 20 : 18);
    }
    return v.accepted;
}

void RunController::OnPeriodDone(uint32_t headerUser) {
    if (SoundMode != kModeMls || !DevicesOpen) return;
    // The output is played, but what came back of its end may still be on its way through the
    // input: wait for that recording rather than calling the period incomplete.
    const WaveHeader& in2 = headers_[headerUser == 2 ? InA2 : InB2];
    if (in2.Queued() && !StopRequested.load(std::memory_order_acquire)) {
        periodPending_ = true;
        pendingUser_ = headerUser;
        pendingSince_ = std::chrono::steady_clock::now();
        return;
    }
    ProcessPeriodDone(headerUser);
}

void RunController::ProcessPeriodDone(uint32_t headerUser) {
    // Held until this period is done with: a question asked inside it runs the event loop.
    struct Hold {
        RunController& c;
        explicit Hold(RunController& controller) : c(controller) { c.processing_ = true; }
        ~Hold() {
            c.processing_ = false;
            // The time spent waiting for an answer is not the device's delay.
            const auto now = std::chrono::steady_clock::now();
            c.periodStart_ = now;
            if (c.periodPending_) c.pendingSince_ = now;
        }
    } hold(*this);
    MeasurementState& s = state_;
    periodPending_ = false;
    periodInFlight_ = false;
    s.BufferSetToggle = headerUser == 2;  // set A just finished
    const bool setA = s.BufferSetToggle;
    const int bytes = BytesPerSample(s.SampleBits);
    const std::size_t n = static_cast<std::size_t>(s.MlsSize);
    WaveHeader& in1 = headers_[setA ? InA1 : InB1];
    WaveHeader& in2 = headers_[setA ? InA2 : InB2];
    bool complete = in2.bytesRecorded.load(std::memory_order_acquire) == 2 * bytes * n;
    if (!complete && !StopRequested.load()) {
        ReportWaveError(devices_.StopInput(), "STOP Input");
        // Hand back every header still queued: otherwise the next period would first fill the
        // leftovers of this one and every later period would be cut in the wrong place.
        devices_.ResetInput();
    }
    if (!s.QualityCheck) complete = true;

    InputLock lock(*this);
    if (StopRequested.load(std::memory_order_acquire)) return;

    ConvertRecording(setA ? s.buffers.ILP1b() : s.buffers.ILP2b(), s.buffers.SampleresultI(),
                     s.SampleBits, 4 * n);
    in1.bytesRecorded.store(0);
    in2.bytesRecorded.store(0);
    devices_.UnprepareInput(in1);
    devices_.UnprepareInput(in2);
    devices_.UnprepareOutput(headers_[setA ? OutA1 : OutB1]);
    devices_.UnprepareOutput(headers_[setA ? OutA2 : OutB2]);
    s.BufferSetToggle = !s.BufferSetToggle;

    // The next period plays while this one is processed.
    if (s.AveragesDone < s.AveragesTarget - 1 || (Repeat && !RestartAfterResult)) RestartPeriod();
    if (StopRequested.load(std::memory_order_acquire)) return;  // the device failed meanwhile

    const int32_t peak = SecondPeriodPeak(s);
    if (!CheckLevels(peak, complete)) {
        if (Repeat && RestartAfterResult) {
            RestartPeriod();
            RestartAfterResult = false;
        }
        lock.Release();
        if (s.RunActive && !periodInFlight_ && !StopRequested.load()) RestartPeriod();
        if (retryRequested_) {
            retryRequested_ = false;
            AGAIN1Click();
        }
        return;
    }

    // The first period after opening is thrown away: replace it at once.
    // (Unless the early restart above already started one: queuing that set twice would fail.)
    if (s.FirstSamplePending && s.IgnoreFirst && !periodInFlight_) RestartPeriod();
    if (StopRequested.load(std::memory_order_acquire)) return;

    TrackDrift();
    const PeriodOutcome outcome = ProcessPeriod(s, host_.PeakQuestioner());
    ShowPeriodOutcome(outcome, view_);
    if (!outcome.complete) {
        // A period dropped by peak synchronisation can be the last one the run was waiting for;
        // without another period the run would wait forever.
        if (!periodInFlight_ && !StopRequested.load()) RestartPeriod();
        return;
    }
    FinishRun(lock);
}

void RunController::FinishRun(InputLock& lock) {
    MeasurementState& s = state_;
    s.LastRun = {true, s.AveragesTarget, s.AtcMode != 0, s.PinkMls};  // every period averaged
    if (s.AutoReset) SelectAveraging(1);
    FindImpulsePeak(s);
    const auto ppm = drift_.Tracker().Ppm();
    s.DriftMeasured = ppm.has_value();
    s.DriftPpm = ppm.value_or(0.0);
    s.DriftCorrected = drift_.Corrected() > 0;
    rlpBackedUp_ = false;
    if (RunKind < 10) view_.RepaintImpulse();
    if (!Repeat) view_.SetControlEnabled(RunControl::SETUP1, true);
    if (RunKind > 0) {
        const SpectrumRequest r =
            RunKind > 10 && replay_ != nullptr ? replay_->Completed(RunKind) : SpectrumRequest{};
        host_.ShowFrequencyResponse(r.mode, r.window);
    }
    view_.RunComplete();

    if (!Repeat) {
        StopRunHeld();
        lock.Release();
        if (pinkRestored_) SetupSound();
    } else if (RestartAfterResult) {
        RestartAfterResult = false;
        SingleShot = false;
        RestartPeriod();
    }
    // The stream of a repeating continuous run goes on: the next run's periods follow at once,
    // and a stop among them gives this result back.
    if (Repeat && continuousRun_) BackUpResponse();
}

bool RunController::StartStream() {
    drift_.StreamInterrupted();
    outputDone_.ResetCount();
    outputDone_.Discard();
    inputDone_.Discard();
    const int r = feeder_.Start(state_, [this] { host_.Pause(20); });
    if (r != kWaveOk) {
        OnDeviceLost(r);
        return false;
    }
    periodInFlight_ = true;
    periodStart_ = std::chrono::steady_clock::now();
    return true;
}

void RunController::DispatchContinuous() {
    // Device notifications only wake this thread; the headers' flags say what is done.
    DeviceEvent e;
    while (inputDone_.Next(e) || outputDone_.Next(e)) {
        if (e.kind == WaveEventKind::DeviceLost) {
            inputDone_.Discard();
            outputDone_.Discard();
            OnDeviceLost(e.result);
            return;
        }
    }
    if (!state_.RunActive || StopRequested.load(std::memory_order_acquire)) return;
    if (const int r = feeder_.Refill(); r != kWaveOk) {
        OnDeviceLost(r);
        return;
    }
    // Inside the processing of a period (a dialog's event loop): the output goes on playing, the
    // recordings wait.
    if (mutexHeld_) return;
    ProcessContinuousPeriod();
    if (state_.RunActive && feeder_.Ready() && wakeup_ != nullptr) wakeup_->Wake();
}

void RunController::ProcessContinuousPeriod() {
    MeasurementState& s = state_;
    InputLock lock(*this);
    if (StopRequested.load(std::memory_order_acquire)) return;
    bool complete = false;
    switch (feeder_.TakeNext(s, complete)) {
        case ContinuousFeeder::Take::None:
            return;
        case ContinuousFeeder::Take::Broken:
            // Frames were lost: the stream starts again and the room settles once more; the
            // periods averaged so far stay.
            StartStream();
            return;
        case ContinuousFeeder::Take::Settling:
            // This is the period IgnoreFirst throws away; no second one is discarded.
            if (s.IgnoreFirst) s.FirstSamplePending = false;
            FollowStream(complete, DriftCorrector::StreamUse::Anchor);
            periodStart_ = std::chrono::steady_clock::now();
            return;
        case ContinuousFeeder::Take::Period:
            break;
    }
    periodStart_ = std::chrono::steady_clock::now();
    const bool whole = complete;
    if (!s.QualityCheck) complete = true;
    if (!CheckLevels(SecondPeriodPeak(s), complete)) {
        // Skipped; the stream goes on (unless a box stopped the run).
        FollowStream(whole, DriftCorrector::StreamUse::Anchor);
        lock.Release();
        if (retryRequested_) {
            retryRequested_ = false;
            AGAIN1Click();
        }
        return;
    }
    if (FollowStream(whole, DriftCorrector::StreamUse::Averaged)) ReportDrift();
    const PeriodOutcome outcome = ProcessPeriod(s, host_.PeakQuestioner());
    ShowPeriodOutcome(outcome, view_);
    if (!outcome.complete) return;
    FinishRun(lock);
}

void RunController::TrackDrift() {
    MeasurementState& s = state_;
    // A period that is thrown away says nothing about the run's clocks.
    if (s.FirstSamplePending && s.IgnoreFirst) return;
    if (drift_.Process(s.buffers.SampleresultI(), s.AtcMode >= 1, DriftCorrection)) ReportDrift();
}

bool RunController::FollowStream(bool whole, DriftCorrector::StreamUse use) {
    // A period with missing frames breaks the stream's continuity for the drift.
    if (!whole) {
        drift_.StreamInterrupted();
        return false;
    }
    return drift_.ProcessStreamPeriod(state_.buffers.SampleresultI(), state_.AtcMode >= 1, use,
                                      DriftCorrection);
}

void RunController::ReportDrift() {
    const double ppm = *drift_.Tracker().Ppm();
    view_.SetDriftReport(DriftText(ppm, DriftWarningPpm), std::abs(ppm) > DriftWarningPpm);
}

void RunController::OnDeviceLost(int result) {
    MeasurementState& s = state_;
    const bool wasRunning = s.RunActive;
    if (wasRunning) {
        StopRequested.store(true, std::memory_order_release);
        InputLock lock(*this);
        StopRunHeld();
        if (rlpBackedUp_) {
            RestoreResponse();
            view_.RepaintImpulse();
        }
    }
    // Close what is left of the devices; the next setup looks them up and opens them again.
    devices_.ResetInput();
    devices_.ResetOutput();
    devices_.CloseInput();
    devices_.CloseOutput();
    DevicesOpen = false;
    s.DevicesClosed = true;
    std::string name = OutputDeviceName();
    if (InputDeviceName() != name) name = InputDeviceName() + " / " + name;
    ReportWaveError(result == kWaveOk ? kWaveNoDriver : result, name);
}

void RunController::DispatchDeviceEvents() {
    if (continuousRun_) {
        DispatchContinuous();
        return;
    }
    // Inside the processing of a period (its question is open) the notifications wait; the
    // dispatch that processes the period wakes the UI thread again for them.
    if (processing_) return;
    // One notification per call: the UI gets its turn (paint, a STOP click) between periods, and
    // the UI thread is woken again for the rest.
    DeviceEvent e;
    while (inputDone_.Next(e)) {
        if (e.kind == WaveEventKind::DeviceLost) {
            inputDone_.Discard();
            outputDone_.Discard();
            OnDeviceLost(e.result);
            return;
        }
    }
    if (periodPending_) {
        const WaveHeader& in2 = headers_[pendingUser_ == 2 ? InA2 : InB2];
        if (!in2.Queued()) {
            ProcessPeriodDone(pendingUser_);
            if (outputDone_.Pending() && wakeup_ != nullptr) wakeup_->Wake();
        }
        return;  // a later period's notification waits its turn
    }
    if (!outputDone_.Next(e)) return;
    if (e.kind == WaveEventKind::DeviceLost) {
        outputDone_.Discard();
        OnDeviceLost(e.result);
    } else {
        OnPeriodDone(e.user);
    }
    if (outputDone_.Pending() && wakeup_ != nullptr) wakeup_->Wake();
}

void RunController::CheckStalled(std::chrono::steady_clock::time_point now) {
    if (processing_) return;
    // A recording that does not complete within a second of its output is incomplete.
    if (periodPending_ && now - pendingSince_ > std::chrono::seconds(1)) {
        ProcessPeriodDone(pendingUser_);
        if (outputDone_.Pending() && wakeup_ != nullptr) wakeup_->Wake();
        return;
    }
    if (!state_.RunActive || !periodInFlight_ || state_.SampleRate == 0) return;
    const double playing = 2.0 * state_.MlsSize / state_.SampleRate;
    const auto limit = std::chrono::duration<double>(playing + 5.0);
    if (now - periodStart_ > limit) OnDeviceLost(kWaveNoDriver);
}

// ---------------------------------------------------------------------------------------------
// User commands

void RunController::NORMALClick() {
    if (state_.RunActive) {
        StopRun();
        return;
    }
    SingleShot = true;
    if (RunKind != 0 || SoundMode > 0 || !DevicesOpen) {
        SoundMode = kModeMls;
        state_.PinkMls = SavedPinkMls;
        if (!SetupSound()) return;
    }
    view_.SetStatusPanel(5, Msg(kMsgMlsOnly));
    host_.ClearAnalysisChoice();
    RunKind = 0;
    StartRun();
}

void RunController::DIRECT1Click() {
    if (state_.RunActive) {
        StopRun();
        return;
    }
    state_.PinkMls = SavedPinkMls;
    SoundMode = kModeMls;
    if (!SetupSound()) return;
    view_.SetStatusPanel(5, Msg(kMsgDirect));
    RunKind = 1;
    StartRun();
}

void RunController::AGAIN1Click() {
    if (AgainIsStop) {
        StopRun();
        return;
    }
    if (RunKind == 0) {
        NORMALClick();
    } else if (RunKind == 1) {
        DIRECT1Click();
    } else if (RunKind > 10 && replay_ != nullptr) {
        replay_->Again(RunKind);
    }
}

void RunController::REPEAT1Click() {
    Repeat = !Repeat;
    view_.SetControlChecked(RunControl::REPEAT1, Repeat);
}

void RunController::AUTORESET1Click() {
    state_.AutoReset = !state_.AutoReset;
    view_.SetControlChecked(RunControl::AUTORESET1, state_.AutoReset);
}

void RunController::RESETAVERAGES1Click() {
    state_.AutoReset = !state_.AutoReset;
    settings_.WriteBool("Averages Reset", state_.AutoReset);
    view_.SetControlChecked(RunControl::AUTORESET1, state_.AutoReset);
}

void RunController::SelectAveraging(int count) {
    if (count <= 0) count = 1;
    state_.AveragesTarget = count;
    state_.AveragesDone = 0;
    view_.SetStatusPanel(1, "1/" + std::to_string(count));
    view_.SetAveragingCaption(Msg(kMsgAveraging) + ": " + std::to_string(count));
    view_.SetAveragingCount(count);
}

void RunController::ChangeMlsOrder(int order, bool warn) {
    if (warn && prompter_.Ask(Msg(kMsgChangingMlsSize), Msg(kMsgMlsSizeVoidsData),
                              PromptButtons::YesNo, PromptIcon::Question) != PromptAnswer::Yes) {
        return;
    }
    state_.SetMlsOrder(order);
    view_.SetControlEnabled(RunControl::OVERLAY1, true);
    if (DevicesOpen) SetupSound();
}

void RunController::MIR1Click() {
    SoundMode = kModeIdle;
    StopRequested.store(false);
    SetupSound();
}

bool RunController::LoadResponse(const std::function<bool()>& load) {
    if (state_.RunActive) StopRun();
    if (!load()) return false;
    const bool open = devices_.InputOpen() || devices_.OutputOpen();
    const bool rateDiffers = open && InFormat.samplesPerSec != state_.SampleRate;
    const bool lengthDiffers = state_.MlsSize != (int32_t{1} << state_.MlsOrder);
    if (rateDiffers || lengthDiffers) {
        state_.DevicesClosed = true;
        // Level setup and the finder own their devices until they are left; they reopen anyway.
        if (SoundMode == kModeMls || SoundMode == kModeIdle) Teardown();
    }
    return true;
}

}  // namespace fim
