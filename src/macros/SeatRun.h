#pragma once
// A guided seat set: one SMOOTH macro measures the same loudspeaker at 2 … 16 seats in turn.
// After each seat the set is saved (seat files, mean and summary in the set's folder) and a
// countdown gives the engineer time to move the microphone; when it ends, with an audible cue,
// the next seat is measured. STOP ends the set early and keeps the seats measured so far.
//
// The sequence is a state machine driven by three events (a seat's run completed, the countdown
// finished, stop) and by CheckRun, which notices a seat's run that ended without a result. It
// drives the run controller only through the macro replay; the window wires it to the clock, the
// frequency window and the Virtual Room.
//
// Thread: UI thread only.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "macros/UserMacro.h"
#include "traces/SeatSet.h"

namespace fim {

class MacroReplay;
class Prompter;
class RunController;
class VirtualRoom;
struct MeasurementState;
struct RoomParameters;

struct SeatRunPlan {
    int macro = 1;         // 1 … 12; the macro must measure with SMOOTH FFT
    int seats = 4;         // SeatSet::kMinSeats … kMaxSeats
    int moveSeconds = 10;  // countdown between seats, 0 … kMaxMoveSeconds
    // The set's folder; its last path component is the set's name.
    std::string folder;

    static constexpr int kMaxMoveSeconds = 600;
};

enum class SeatCue { NextSeat, SetDone };

// What the seat run needs from the program around it.
class SeatRunHost {
  public:
    virtual ~SeatRunHost() = default;
    // Seat `seat` (0-based) is about to be measured; the Virtual Room takes its parameters here.
    virtual void PrepareSeat(int /*seat*/) {}
    // The SMOOTH spectrum the completed run shows; nullopt when there is none.
    virtual std::optional<SeatSpectrum> MeasuredSpectrum() = 0;
    // Starts the countdown; the host calls SeatRun::CountdownFinished when it reaches zero.
    virtual void StartCountdown(int seconds) = 0;
    virtual void CancelCountdown() {}
    virtual void Cue(SeatCue /*cue*/) {}
    // A seat was added or the set ended: the mean and its band are to be redrawn.
    virtual void SeatSetChanged() {}
    // One line for the status bar ("Seat 2 of 4: move the microphone").
    virtual void ShowSeatStatus(const std::string& /*text*/) {}
};

class SeatRun {
  public:
    enum class Phase { Idle, Measuring, CountingDown, Finished };

    SeatRun(MacroReplay& replay, RunController& controller, const MeasurementState& state,
            Prompter& prompter, SeatRunHost& host);
    SeatRun(const SeatRun&) = delete;
    SeatRun& operator=(const SeatRun&) = delete;

    // The macro block the plans choose from (owned by the caller; null: none).
    void SetMacros(const UserMacroBlock* macros) { macros_ = macros; }

    // Checks the plan and measures seat 1. A plan that cannot be measured (a macro that does not
    // use SMOOTH FFT, a seat count or countdown out of range, no folder, a run in progress) is
    // refused with a message and measures nothing; the last set stays as it was.
    bool Start(const SeatRunPlan& plan);
    // The same checks without the folder and without measuring: the window asks for the folder
    // only for a plan that can be measured.
    bool CheckPlan(const SeatRunPlan& plan);
    // A run completed (every completed run may be reported; only the seat's own counts): the
    // seat's spectrum joins the set, the set is saved, and the countdown to the next seat
    // starts, or the set is complete.
    void SeatMeasured();
    // The countdown reached zero: the next seat is measured (after one more second while
    // another run is still going on).
    void CountdownFinished();
    // STOP: a seat's run in progress is stopped, the countdown cancelled; the seats measured so
    // far stay saved and make the mean.
    void Stop();
    // Call now and then (a timer): a seat's run that ended without a result (stopped from the
    // main window, a level box cancelled, a lost device) ends the set as STOP does.
    void CheckRun();

    Phase phase() const { return phase_; }
    bool Active() const { return phase_ == Phase::Measuring || phase_ == Phase::CountingDown; }
    const SeatSet& Set() const { return set_; }
    const SeatRunPlan& Plan() const { return plan_; }
    const std::string& Name() const { return name_; }
    // The seat being measured or due next (0-based).
    int CurrentSeat() const { return static_cast<int>(set_.size()); }

  private:
    void MeasureSeat();
    void Finish(const std::string& status);
    bool Refuse(const std::string& text);

    MacroReplay& replay_;
    RunController& controller_;
    const MeasurementState& state_;
    Prompter& prompter_;
    SeatRunHost& host_;
    const UserMacroBlock* macros_ = nullptr;
    Phase phase_ = Phase::Idle;
    bool starting_ = false;  // inside the replay's start of a seat's run
    SeatRunPlan plan_;
    std::string name_;
    SeatSet set_;
};

// The caption of the seat run's message boxes.
inline constexpr const char* kSeatSetCaption = "Seat Set";

// The audible cue as 16-bit mono samples at `rate`: two short high beeps when the next seat is
// due, one longer lower beep when the set is over; 12 dB below full scale, with soft edges.
std::vector<int16_t> SeatCueSamples(SeatCue cue, uint32_t rate);

// Gives the Virtual Room the parameters of seat `seat`: `base` moved by the seat rule
// (RoomParameters::ForSeat). The room takes parameters only while its devices are closed, so a
// run in progress stops and the devices are released first; the next run opens them again.
void MoveVirtualSeat(RunController& controller, MeasurementState& state, VirtualRoom& room,
                     const RoomParameters& base, int seat);

}  // namespace fim
