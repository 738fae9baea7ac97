#pragma once
// What a measurement run reports to the person watching it: the main window in the GUI, a
// console summary in fimtool, a recorder in tests. Called on the UI thread only.

#include <string>

namespace fim {

class RunView {
public:
    virtual ~RunView() = default;
    // Status-bar panel texts; panel 1 shows the period count or "DONE", panel 6 the peak-sync
    // status of the last period (panels are numbered from 0 as in the main window's status bar).
    virtual void SetStatusPanel(int panel, const std::string& text) = 0;
    // The impulse response changed during a run and should be redrawn now.
    virtual void RedrawImpulse() = 0;
};

}  // namespace fim
