#pragma once
// The measurement run controller: prepares the devices and the MLS signal for a sound mode, plays
// and records period after period, checks each recorded period's level and completeness, hands it
// to ProcessPeriod and ends or repeats the run. Qt-free; the main window and fimtool drive it.
//
// Thread: every member runs on the UI thread. The only thing another thread touches is the
// OutputDone callback (and StopRequested, which it reads); its events are taken in by
// DispatchDeviceEvents after the UI thread was woken.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "audio/ContinuousFeeder.h"
#include "audio/DeviceNotifier.h"
#include "audio/RunView.h"
#include "audio/WaveDevices.h"
#include "core/ClockDrift.h"
#include "core/Recovery.h"
#include "core/SpectrumTypes.h"

namespace fim {

struct MeasurementState;
class Prompter;
class SettingsTree;
class PeakQuestion;

// An analysis window [start, end) in 1-based sample positions.
struct AnalysisWindow {
    int start = 1;
    int end = 1;
    bool operator==(const AnalysisWindow&) const = default;
};

// Which spectrum the frequency-response window shows after a run (unset: as before).
struct SpectrumRequest {
    std::optional<AnalysisMode> mode;
    std::optional<AnalysisWindow> window;
};

// A higher layer's runs (kinds above 10: macro replays): what AGAIN repeats and which spectrum a
// completed run shows. The controller only hands these runs back to their replay.
class RunReplay {
  public:
    virtual ~RunReplay() = default;
    // AGAIN (or Retry in a level box) after a run of `runKind`.
    virtual void Again(int runKind) = 0;
    // A run of `runKind` completed with its impulse peak found.
    virtual SpectrumRequest Completed(int runKind) = 0;
};

// What the controller needs from the program around it.
class RunHost {
  public:
    virtual ~RunHost() = default;
    // A stored device name matches no device (or another one than in use): open the settings
    // dialog on its "SOUND I/O" page.
    virtual void OpenSoundSettings() = 0;
    // Cancel in a device error box: end the program at once.
    virtual void Terminate() = 0;
    // The information beep that goes with the device error box.
    virtual void Beep() {}
    // The pause between starting the input and writing the output (20 ms).
    virtual void Pause(int milliseconds);
    // Asked for mismatching peaks with sync mode "Ask user"; null treats them as "Ignore sample".
    virtual PeakQuestion* PeakQuestioner() { return nullptr; }
    // A run of kind > 0 completed: open or refresh the frequency-response window in `mode`
    // (none: the mode shown last), after setting the analysis window to `window` when given.
    virtual void ShowFrequencyResponse(std::optional<AnalysisMode> /*mode*/,
                                       std::optional<AnalysisWindow> /*window*/) {}
    // MLS ONLY: an analysis choice that no run has used yet is dropped.
    virtual void ClearAnalysisChoice() {}
    // Limit the analysis window to the FFT size and to the period length (ClampAnalysisWindow).
    virtual void ClampWindow(int /*fftSize*/, int /*period*/) {}
    // Whether the feedback finder window exists (its level button then mirrors the checks).
    virtual bool FinderWindowExists() const { return false; }
};

// Limits the analysis window [start, end) (1-based sample positions): at most fftSize samples
// wide, and ending at the period L at the latest.
void ClampAnalysisWindow(int& start, int& end, int fftSize, int period);

// What the level check makes of one recorded period.
struct LevelVerdict {
    LevelGlyph glyph = LevelGlyph::Ok;
    bool clipping = false;
    bool low = false;
    bool accepted = true;  // level in range and the period complete
};
LevelVerdict JudgeLevels(const MeasurementState& state, int32_t peak, bool complete);
// Largest absolute right-channel sample of frames N … 2N−1 of Sampleresult.
int32_t SecondPeriodPeak(const MeasurementState& state);

// The peak-sync status text of a processed period ("Sample valid", "Corrected : 3", …); empty
// when the period had no peak synchronisation.
std::string SyncStatusText(const PeriodOutcome& outcome);
// Shows a processed period: an intermediate response is redrawn, the peak-sync text goes to
// panel 6 and the period count ("3/8", or "DONE" when complete) to panel 1.
void ShowPeriodOutcome(const PeriodOutcome& outcome, RunView& view);

class RunController {
  public:
    enum SoundModes { kModeMls = 0, kModeLevelSetup = 1, kModeFinder = 4, kModeIdle = 5 };

    RunController(MeasurementState& state, WaveDevices& devices, SettingsTree& settings,
                  Prompter& prompter, RunView& view, RunHost& host, UiWakeup* wakeup);
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // --- the measurement engine ---
    // (Re)configures devices and signal for SoundMode. False when the devices could not be set up
    // (unknown device name: the settings dialog was opened; a failed open).
    bool SetupSound();
    void StartRun();
    void RestartPeriod();
    void StopRun();
    // The level and quality check of one period; shows the boxes of a single-shot run.
    bool CheckLevels(int32_t peak, bool complete);
    // A "period done" notification: the second output header of a set (user value 2 or 5).
    void OnPeriodDone(uint32_t headerUser);
    // The device stopped working: the run stops, the last complete impulse response stays, and
    // the device error box is shown.
    void OnDeviceLost(int result);
    // Takes in the next notification the output callback posted (UI thread, after a wake-up);
    // wakes the UI thread again when more are waiting.
    void DispatchDeviceEvents();
    // Watchdog, to be called now and then (GUI timer, fimtool wait loop): a recording that lags
    // its output by more than a second is processed as incomplete, and a period that takes far
    // longer than its playing time counts as a lost device.
    void CheckStalled(std::chrono::steady_clock::time_point now);

    // Shows the device error box for a non-zero result (Retry continues, Cancel ends).
    void ReportWaveError(int result, const std::string& context);

    // --- user commands ---
    void NORMALClick();
    void DIRECT1Click();
    void AGAIN1Click();
    void REPEAT1Click();
    void AUTORESET1Click();
    void RESETAVERAGES1Click();
    // An averaging entry (NONE1 = 1, TWO1 = 2, … 128); 0 counts as 1.
    void SelectAveraging(int count);
    // The MLS size menu: asks first when `warn` (the "MLS Size Change" setting) is on.
    void ChangeMlsOrder(int order, bool warn);
    // Releases the devices (sound mode 5).
    void MIR1Click();
    // Replaces the response in RLP by a file through `load` (true when loaded). A run in
    // progress stops first. A load may change SampleRate and MlsSize: devices set up for another
    // rate or sequence length are then released and marked closed, so the next run of any kind
    // sets up sound and sequence afresh at SampleRate and the MLS order.
    bool LoadResponse(const std::function<bool()>& load);
    // The replay that runs of kinds above 10 belong to (null: none; it must outlive its runs).
    void SetReplay(RunReplay* replay) { replay_ = replay; }

    // --- state the windows read ---
    int SoundMode = kModeMls;
    uint8_t RunKind = 0;
    bool DevicesOpen = false;
    std::atomic<bool> StopRequested{false};
    bool SingleShot = false;
    bool RestartAfterResult = false;
    int InDeviceId = -1;
    int OutDeviceId = -1;
    bool SavedPinkMls = false;
    bool Repeat = false;       // REPEAT1's tick
    bool AgainIsStop = false;  // AGAIN1's caption is "STOP"
    int FinderSize = 1;        // the finder's size setting 0, 1, 2 (8192, 4096, 2048)
    DeviceFormat InFormat, OutFormat;
    // Windows that take the devices in sound modes 1 and 4 receive their notifications here.
    void SetModeCallbacks(WaveCallback* input, WaveCallback* output);
    // Marks the impulse display stale (the settings dialog was opened or confirmed).
    void MarkImpulseStale() { impulseStale_ = true; }

    // The eight headers: input A1, A2, B1, B2, output A1, A2, B1, B2.
    enum HeaderId { InA1, InA2, InB1, InB2, OutA1, OutA2, OutB1, OutB2, HeaderCount };
    WaveHeader& Header(HeaderId id) { return headers_[id]; }
    WaveDevices& Devices() { return devices_; }
    OutputDone& OutputCallback() { return outputDone_; }
    // The gapless stream of a continuous run (its periods taken, for tests and figures).
    const ContinuousFeeder& Feeder() const { return feeder_; }
    // Whether the current or last run plays the MLS without a gap.
    bool ContinuousRun() const { return continuousRun_; }
    // Clock drift between the input and the output, measured on every recorded period (on the
    // reference channel with ATC, else on the room's). With DriftCorrection each recording is
    // resampled onto the run's time base before recovery; off, the recordings are untouched.
    bool DriftCorrection = false;
    double DriftWarningPpm = 5.0;
    const DriftTracker& Drift() const { return drift_.Tracker(); }
    // Names of the devices in use.
    std::string InputDeviceName() const;
    std::string OutputDeviceName() const;

  private:
    class InputLock;
    bool LookUpDevices();
    void Teardown();
    void SetupMls();
    void SetupLevelSetup();
    void SetupFinder();
    void StopRunHeld();
    bool Report(int result, const char* context);
    bool QueueSet(bool setA, bool first);
    void Retry();

    MeasurementState& state_;
    WaveDevices& devices_;
    SettingsTree& settings_;
    Prompter& prompter_;
    RunView& view_;
    RunHost& host_;
    OutputDone outputDone_;
    QueuedWaveCallback inputDone_;  // wakes the UI thread when a recording completes
    UiWakeup* wakeup_;
    WaveCallback* modeInput_ = nullptr;
    WaveCallback* modeOutput_ = nullptr;
    std::array<WaveHeader, HeaderCount> headers_;

    bool impulseStale_ = false;
    RunReplay* replay_ = nullptr;
    // A stop gave the user's pink choice back after a replay had switched it: the output buffer
    // still holds the replay's signal until the next SetupSound.
    bool pinkRestored_ = false;
    bool mutexHeld_ = false;       // this thread holds the input mutex (the checks stop runs)
    bool retryRequested_ = false;  // Retry was pressed in a level box: repeat after the period
    bool periodInFlight_ = false;  // a period is playing and its notification is due
    // A recorded period is being processed. A question asked meanwhile (the peak question) runs
    // the event loop; device notifications and the watchdog then wait until the processing is
    // over, so no period is processed inside another one.
    bool processing_ = false;
    // A period whose output is done while its input still records (the input's latency): it is
    // processed when the recording completes, or after a grace time as incomplete.
    bool periodPending_ = false;
    uint32_t pendingUser_ = 0;
    std::chrono::steady_clock::time_point pendingSince_{};
    void ProcessPeriodDone(uint32_t headerUser);
    // Measures (and with DriftCorrection corrects) the recorded period before its recovery.
    void TrackDrift();
    // Continuous runs: follows the drift across the stream's periods (and with DriftCorrection
    // corrects an averaged period); `whole` says the period was recorded without a gap. Returns
    // whether a drift figure was added.
    bool FollowStream(bool whole, DriftCorrector::StreamUse use);
    // Shows the run's drift so far in the status bar.
    void ReportDrift();
    DriftCorrector drift_;
    // The end of a run whose last period ProcessPeriod completed (the lock is held).
    void FinishRun(InputLock& lock);
    // Continuous runs: start (or start again) the gapless stream, and take one recorded period.
    bool StartStream();
    void DispatchContinuous();
    void ProcessContinuousPeriod();
    void BackUpResponse();
    void RestoreResponse();
    ContinuousFeeder feeder_;
    bool continuousRun_ = false;
    std::chrono::steady_clock::time_point periodStart_{};
    std::string savedPanel0_;

    // The last complete impulse response, kept while a peak-synchronised run overwrites RLP, so a
    // run that ends with a lost device leaves it in place.
    std::vector<double> rlpBackup_;
    bool rlpBackedUp_ = false;
    double backupPeakValue_ = 0.0;
    int32_t backupPeakIndex_ = 0;
};

}  // namespace fim
