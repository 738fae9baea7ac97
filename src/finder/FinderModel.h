#pragma once
// The feedback finder behind the TFBFDISP window: listens to the mono input buffer by buffer,
// captures a block when the level jumps above the trigger threshold (or on SAMPLE), finds the
// strongest spectral line and shows it as a frequency or an equaliser band with its deviation
// lamps, then holds the reading until the level falls below the restart threshold (AUTO
// RESTART) or the user searches again.
//
// Threads: the input device reports filled buffers on its audio thread into a lock-free ring
// (QueuedWaveCallback); every member here runs on the UI thread, which drains the ring in
// DispatchEvents after a wake-up. Tests drive ProcessBlock directly, block by block.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/DeviceNotifier.h"
#include "audio/PeakLamp.h"
#include "finder/BandTable.h"
#include "finder/FinderAnalysis.h"
#include "finder/FinderSettings.h"
#include "finder/WindowTable.h"

namespace fim {

struct MeasurementState;
class FftEngine;
class Prompter;
class RunController;
class RunView;

// One analysed capture: what the finder found and the conditions it was found under. The window
// emits one for every capture that gave a reading.
struct FinderCapture {
    uint64_t sequence = 0;      // 1, 2, … in the order the captures were analysed
    bool sampled = false;       // started by SAMPLE rather than by the trigger level
    int32_t captureLength = 0;  // N samples
    uint32_t sampleRate = 0;    // samples/s
    int32_t displayMode = 0;    // the display mode the reading was made in
    FinderReading reading;      // strongest bin, frequency, label, deviation, lamps
    double peakDb = 0.0;        // largest sample of the capture, dB re full scale
    int32_t thresholdDb = 0;    // the trigger threshold in force, dB re full scale
};

class FinderModel {
  public:
    static constexpr int kBlock = 2048;  // samples per device buffer

    // `settings` is the program's finder record; the model reads it at each activation and
    // writes the display mode and AUTO RESTART back when the user changes them.
    FinderModel(MeasurementState& state, RunController& controller, RunView& view,
                Prompter& prompter, FinderSettings& settings, UiWakeup* wakeup);
    FinderModel(const FinderModel&) = delete;
    FinderModel& operator=(const FinderModel&) = delete;
    ~FinderModel();

    // A finder run (from the main window or the frequency window): a run in progress stops, the
    // run and setup menus are disabled, the settings are applied and the input device is opened
    // in mono with this model receiving its buffers. False when the device could not be set up;
    // then the main window is as it was.
    bool Open();
    // EXIT and closing the window: buffers still coming are ignored, an unfinished capture is
    // dropped, the input is released and the main window gets its measurement mode back. The
    // hold state, a pending SAMPLE and the last reading stay for the next run.
    void Close();
    bool IsOpen() const { return open_; }

    // Applies the settings: display mode, AUTO RESTART, lamp levels, taper, trigger and restart
    // levels and their status texts. An unfinished capture is dropped.
    void FormActivate();

    // Takes in the buffers the input device returned (UI thread, after a wake-up).
    void DispatchEvents();
    // One returned device buffer: converted, queued again at once, then processed.
    void OnBuffer(WaveHeader& header);
    // One converted block of kBlock samples: continues a capture, or scans its peak for the
    // lamps, the trigger and the automatic restart.
    void ProcessBlock(std::span<const int32_t> block);

    // The display-mode buttons: the last reading is shown again in the new mode from the same
    // bin, without a new capture.
    void SelectDisplayMode(int32_t mode);
    void SetAutoRestart(bool on);
    void SAMPLE1Click() { SampleRequested = true; }
    void RESAMPLE1Click();  // SEARCH

    // "Looking for feedback", "Calculate frequency" or "Waiting for Restart".
    std::string StateText() const;
    int32_t CaptureLength() const { return n_; }
    const FinderSettings& Settings() const { return settings_; }
    // The largest block peak since the display last looked, and whether a block came since.
    int32_t TakePeak(bool* fresh = nullptr) { return peak_.Take(fresh); }

    // Window state.
    int32_t TriggerLevel = 0;  // a block peak above this starts a capture
    int32_t RestartLevel = 0;  // a block peak below this restarts the search (AUTO RESTART)
    bool Closing = true;
    bool Holding = false;
    bool SampleRequested = false;
    bool Capturing = false;
    int32_t SamplesToGo = 0;
    std::size_t WritePos = 0;
    int32_t PeakBin = 0;
    std::string TextSearching, TextCalculating, TextWaiting;
    std::string readout = "WAIT";       // Label1
    DeviationLamps lamps;               // Shape1 … Shape11
    std::array<std::string, 3> panels;  // state text, "Sample: …dB", "Restart: …dB"
    LampBar peakLamps;                  // L1, Peakpoin1 … Peakpoin7
    std::optional<FinderCapture> lastCapture;
    uint64_t buffersSeen = 0;

    // Called with every capture that gave a reading.
    std::function<void(const FinderCapture&)> onCapture;
    Prompter& prompter() { return prompter_; }

  private:
    void Analyse();
    void Show(const FinderReading& reading);
    void Leave();

    MeasurementState& state_;
    RunController& controller_;
    RunView& view_;
    Prompter& prompter_;
    FinderSettings& settings_;
    QueuedWaveCallback input_;
    PeakHold peak_;
    WindowTable window_;
    BandTable bands_;
    std::unique_ptr<FftEngine> engine_;
    std::vector<int32_t> capture_;  // the capture, kept apart from the impulse response
    int32_t n_ = 4096;
    int32_t savedFftSize_ = 0;
    bool sampled_ = false;
    uint64_t sequence_ = 0;
    bool open_ = false;
};

// Round(10^(db/20) · fullScale), the finder's trigger and restart amplitudes.
int32_t FinderLevel(int32_t db, int32_t fullScale);

}  // namespace fim
