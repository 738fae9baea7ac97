#pragma once
// The level setup monitor behind the "LEVEL SETUP" window: plays noise at the measurement's
// output level and shows the peak of each recorded buffer on two bars of eight lamps, "ATC" (left
// input, the timing reference) and "IN" (right input, the microphone).
//
// Threads: the devices report finished buffers on their audio threads into two lock-free rings
// (QueuedWaveCallback); every member here runs on the UI thread, which drains the rings in
// DispatchEvents after a wake-up. The bars are read by the display at its own pace (TakePeaks).

#include <array>
#include <cstdint>
#include <string>

#include "audio/DeviceNotifier.h"
#include "audio/PeakLamp.h"

namespace fim {

struct MeasurementState;
class Prompter;
class RunController;
class RunView;

class LevelSetupModel {
  public:
    LevelSetupModel(MeasurementState& state, RunController& controller, RunView& view,
                    Prompter& prompter, UiWakeup* wakeup);
    LevelSetupModel(const LevelSetupModel&) = delete;
    LevelSetupModel& operator=(const LevelSetupModel&) = delete;
    ~LevelSetupModel();

    // Opening from the main window: a run in progress stops, the run and setup menus are
    // disabled, the lamps and texts are set up, and the devices switch to level setup (sound mode
    // 1) with noise playing. False when the devices could not be set up; then everything is as
    // it was before (sound mode 0, menus enabled).
    bool Open();
    // OK, and closing the window: stops the cycling, releases both devices and returns to sound
    // mode 0 with the menus enabled. Does nothing when not open.
    void Close();
    bool IsOpen() const { return open_; }

    // Quiet / Noise: pauses the noise or lets it go on where it paused.
    void Button2Click();
    bool NoisePlaying() const { return noisePlaying_; }
    // Button2's caption: "Quiet" while the noise plays, "Noise" while it is paused.
    std::string Button2Caption() const;

    // Takes in the notifications the devices posted (UI thread, after a wake-up).
    void DispatchEvents();
    // The input-data handler: converts the returned buffer, queues it again at once and offers
    // the peaks of both channels to the bars.
    void OnInputData(WaveHeader& header);
    // The output-done handler: every finished noise header is written again, so the noise plays
    // on without a gap.
    void OnOutputDone();

    // The display's side: the largest left and right peaks since its last look. `fresh` tells
    // whether any buffer arrived since.
    struct Peaks {
        int32_t atc = 0;
        int32_t in = 0;
        bool fresh = false;
    };
    Peaks TakePeaks();

    LampBar atcBar, inBar;  // top (−2 dB) to bottom (−60 dB)
    bool Stopping = false;
    std::string inPanel, outPanel;  // "In: …", "Out: …"
    uint64_t buffersSeen = 0;       // input buffers handled since Open

    // The panel text for a device name: cut before the first "Wave", at most 8 characters.
    static std::string PanelName(const std::string& device);
    Prompter& prompter() { return prompter_; }

  private:
    void Leave();
    void ReportLost(int result);

    MeasurementState& state_;
    RunController& controller_;
    RunView& view_;
    Prompter& prompter_;
    QueuedWaveCallback input_, output_;
    PeakHold atcPeak_, inPeak_;
    bool open_ = false;
    bool noisePlaying_ = true;
};

}  // namespace fim
