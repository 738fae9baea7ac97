#pragma once
// What a measurement run reports to the person watching it: the main window in the GUI, a
// console summary in fimtool, a recorder in tests. Called on the UI thread only.

#include <string>

namespace fim {

// The level indicator's glyphs: level fine, input clipping, input too low.
enum class LevelGlyph { Ok, Clip, Low };

// Menu items and buttons that a run enables, shows or ticks.
enum class RunControl {
    RUN1,            // the run menu
    SETUP1,          // the setup menu
    AGAIN1,          // AGAIN/STOP item (hidden until the first run)
    REPEAT1,         // tick: repeat runs endlessly
    AUTORESET1,      // tick: fall back to one average after a run
    ImpulseButtons,  // the speed buttons that act on the impulse display
    FFT1,
    DEFAULT1,
    OVERLAY1,
};

class RunView {
  public:
    virtual ~RunView() = default;
    // Status-bar panel texts; panel 1 shows the period count or "DONE", panel 6 the peak-sync
    // status of the last period (panels are numbered from 0 as in the main window's status bar).
    virtual void SetStatusPanel(int panel, const std::string& text) = 0;
    // The impulse response changed during a run and should be redrawn now.
    virtual void RedrawImpulse() = 0;

    // The current text of a status panel (a run keeps panel 0 and restores it afterwards).
    virtual std::string StatusPanel(int /*panel*/) const { return {}; }
    // The clock drift measured so far in the run, and whether it passes the warning threshold.
    virtual void SetDriftReport(const std::string& /*text*/, bool /*warn*/) {}
    // The level indicator after each recorded period.
    virtual void SetLevelGlyph(LevelGlyph /*glyph*/) {}
    // The feedback finder's level button (images 18 ok, 19 clipping, 20 low), when that window
    // exists and periods are checked without boxes.
    virtual void SetFinderLevelImage(int /*image*/) {}
    virtual void SetControlEnabled(RunControl /*control*/, bool /*enabled*/) {}
    virtual void SetControlVisible(RunControl /*control*/, bool /*visible*/) {}
    virtual void SetControlChecked(RunControl /*control*/, bool /*checked*/) {}
    // Caption of AGAIN1: "AGAIN" when idle, "STOP" while a run is active.
    virtual void SetAgainCaption(const std::string& /*caption*/) {}
    // Caption of the averaging menu ("AVERAGING: 8").
    virtual void SetAveragingCaption(const std::string& /*caption*/) {}
    // The averaging entry whose count is chosen (1, 2, 4 … 128) gets the menu's check mark.
    virtual void SetAveragingCount(int /*count*/) {}
    // Hourglass cursor on or off.
    virtual void SetBusy(bool /*busy*/) {}
    // The "please wait" box while the devices and the signal are prepared.
    virtual void ShowPleaseWait(bool /*shown*/) {}
    // The status indicator's colour while the pink signal is prepared (true) and afterwards.
    virtual void SetPinkIndicator(bool /*preparing*/) {}
    // Repaint both impulse displays (after a completed run or a stop).
    virtual void RepaintImpulse() {}
    // A run finished with a new impulse response in RLP (its peak is found).
    virtual void RunComplete() {}
};

}  // namespace fim
