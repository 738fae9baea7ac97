#pragma once
// Macro replay: one key press applies a user macro's set-up (averaging, ATC, pink signal, FFT
// size, MLS order, the spectrum's analysis and files) and starts its run as run kind 10 + m
// (11 … 22). The run controller knows no macro: it asks the replay, as its RunReplay, what AGAIN
// repeats and which spectrum a completed run shows (the macro's window cut around the peak).
//
// Thread: UI thread only.

#include "audio/RunController.h"
#include "macros/UserMacro.h"
#include "spectrum/AnalysisChoice.h"

namespace fim {

struct MeasurementState;
class Prompter;
class RunView;

// Run kinds of macro replays: 10 + the macro's number.
constexpr int kFirstMacroRunKind = 11;
constexpr bool IsMacroRun(int runKind) {
    return runKind >= kFirstMacroRunKind && runKind < kFirstMacroRunKind + kUserMacroCount;
}

// The analysis and files a macro's spectrum uses: the smoothed FFT for codes from 99 on, the
// smoothing width 2v + 1, and the macro's calibration, microphone and overlay choices.
// Microphone correction is a correction of the smoothed curve, so it is taken only with the
// smoothed FFT.
AnalysisChoice MacroAnalysisChoice(const UserMacro& macro);

// The macro's analysis window [start, end) (1-based) around the impulse peak at `peak`: its
// times before and after the peak at `sampleRate` (a negative time before starts it after the
// peak), from sample 1 at the earliest and at least one sample wide, then limited to `fftSize`
// samples and to `period`.
AnalysisWindow MacroWindow(const UserMacro& macro, int peak, double sampleRate, int fftSize,
                           int period);

// What the frequency-response window hears of a macro before its run starts.
class MacroHost {
  public:
    virtual ~MacroHost() = default;
    // A macro replay chose the analysis and files of its spectrum.
    virtual void ApplyAnalysisChoice(const AnalysisChoice& choice) = 0;
};

class MacroReplay : public RunReplay {
  public:
    // Registers itself with `controller` as the replay of run kinds 11 … 22; all references
    // must outlive it.
    MacroReplay(RunController& controller, MeasurementState& state, Prompter& prompter,
                RunView& view, MacroHost& host);
    ~MacroReplay() override;
    MacroReplay(const MacroReplay&) = delete;
    MacroReplay& operator=(const MacroReplay&) = delete;

    // The macro block replays read (owned by the caller, which keeps it alive; null: none).
    void SetMacros(const UserMacroBlock* macros) { macros_ = macros; }

    // Replays macro m (1 … 12): applies its set-up and starts a run of kind 10 + m. While a
    // run is active it stops that run instead. `once` measures a single time whatever the
    // macro's REPEAT says (a seat of a seat set).
    void RunMacro(int m, bool once = false);

    // A repeating run that was paused (a file dialog of the frequency window was open) starts
    // again: a macro run replays its macro, which sets the REPEAT tick itself; any other run
    // gets its REPEAT tick back (stopping cleared it) and runs again.
    void ResumeRepeat();

    // RunReplay
    void Again(int runKind) override;
    SpectrumRequest Completed(int runKind) override;

  private:
    RunController& controller_;
    MeasurementState& state_;
    Prompter& prompter_;
    RunView& view_;
    MacroHost& host_;
    const UserMacroBlock* macros_ = nullptr;
};

}  // namespace fim
