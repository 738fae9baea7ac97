// src/macros/: the twelve user macros. Their stored records, the replay of a macro through the
// run controller's public interface (choice, window cut around the peak, AGAIN, resuming a paused
// repeat), the snapshot of the current set-up, the summary texts, and the file-set and summary
// dialogs in ui/.

#include "macros/MacroReplay.h"

#include <algorithm>

#include "audio/RunView.h"
#include "core/MeasurementState.h"
#include "spectrum/SpectrumComputer.h"

namespace fim {

AnalysisChoice MacroAnalysisChoice(const UserMacro& macro) {
    AnalysisChoice c;
    c.mode = macro.UsesSmoothFft() ? AnalysisMode::Smooth : AnalysisMode::Fft;
    c.smoothingWidth = 2 * macro.smoothing + 1;
    c.useCalibration = macro.useCal;
    c.useMicCorrection = macro.UsesSmoothFft() && macro.useMic;
    c.useOverlay = macro.useOverlay;
    c.overlayOption2 = macro.overlayOption2;
    c.calibrationPath = macro.calFile;
    c.micPath = macro.micFile;
    c.overlayPath = macro.overlayFile;
    return c;
}

AnalysisWindow MacroWindow(const UserMacro& macro, int peak, double sampleRate, int fftSize,
                           int period) {
    // A negative time before the peak starts the window after it.
    const int before = TimeWindow::SamplesFor(macro.window.timeBefore, sampleRate);
    const int after = TimeWindow::SamplesFor(macro.window.timeAfter, sampleRate);
    AnalysisWindow w;
    w.start = std::max(1, peak - before);
    w.end = std::max(w.start + 1, peak + after);
    ClampAnalysisWindow(w.start, w.end, fftSize, period);
    return w;
}

MacroReplay::MacroReplay(RunController& controller, MeasurementState& state, Prompter& prompter,
                         RunView& view, MacroHost& host)
    : controller_(controller), state_(state), prompter_(prompter), view_(view), host_(host) {
    controller_.SetReplay(this);
}

MacroReplay::~MacroReplay() { controller_.SetReplay(nullptr); }

void MacroReplay::RunMacro(int m, bool once) {
    if (macros_ == nullptr || m < 1 || m > kUserMacroCount) return;
    if (state_.RunActive) {
        controller_.StopRun();
        return;
    }
    MeasurementState& s = state_;
    // A record edited into nonsense must not select an MLS order the buffers cannot hold.
    UserMacro macro = (*macros_)[static_cast<std::size_t>(m - 1)];
    SanitizeUserMacro(macro);

    s.AveragesDone = 0;
    controller_.Repeat = macro.repeat && !once;
    view_.SetControlChecked(RunControl::REPEAT1, controller_.Repeat);
    controller_.SavedPinkMls = s.PinkMls;
    s.PinkMls = macro.pinkMls;
    controller_.RunKind = static_cast<uint8_t>(10 + m);
    s.AtcMode = macro.atc ? 1 : 0;
    controller_.SelectAveraging(macro.averaging);
    // Codes 0 … 4 choose the plain FFT's size, 99 and above the smoothed FFT at 32768; code 5
    // is refused with a message and leaves the size.
    s.SelectFftSize(macro.UsesSmoothFft() ? 100 : macro.fftCode, prompter_);
    s.SetMlsOrder(macro.mlsOrder);
    host_.ApplyAnalysisChoice(MacroAnalysisChoice(macro));

    controller_.SoundMode = RunController::kModeMls;
    controller_.SingleShot = true;
    if (!controller_.SetupSound()) {
        // No run: the user's signal choice stands again.
        s.PinkMls = controller_.SavedPinkMls;
        return;
    }
    view_.SetStatusPanel(5, macro.name);
    controller_.StartRun();
}

void MacroReplay::ResumeRepeat() {
    const int kind = controller_.RunKind;
    if (IsMacroRun(kind)) {
        RunMacro(kind - 10);
    } else {
        controller_.REPEAT1Click();
        controller_.AGAIN1Click();
    }
}

void MacroReplay::Again(int runKind) {
    if (IsMacroRun(runKind)) RunMacro(runKind - 10);
}

SpectrumRequest MacroReplay::Completed(int runKind) {
    if (!IsMacroRun(runKind) || macros_ == nullptr) return {};
    // The window is cut around the peak, no wider than the FFT size.
    const UserMacro& macro = (*macros_)[static_cast<std::size_t>(runKind - kFirstMacroRunKind)];
    SpectrumRequest r;
    r.mode = macro.UsesSmoothFft() ? AnalysisMode::Smooth : AnalysisMode::Fft;
    const int fft = *r.mode == AnalysisMode::Smooth ? kSmoothFftSize : state_.FftSize;
    r.window = MacroWindow(macro, state_.ImpulsePeakIndex, state_.SampleRate, fft,
                           std::max(2, state_.MlsSize - 1));
    return r;
}

}  // namespace fim
