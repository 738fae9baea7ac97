#include "macros/SeatRun.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "audio/RunController.h"
#include "audio/VirtualRoom.h"
#include "base/Catalog.h"
#include "base/MessageIds.h"
#include "base/Prompter.h"
#include "core/MeasurementState.h"
#include "macros/MacroReplay.h"

namespace fim {

namespace {

std::string SeatOf(int seat, int seats) {
    return "Seat " + std::to_string(seat + 1) + " of " + std::to_string(seats);
}

}  // namespace

SeatRun::SeatRun(MacroReplay& replay, RunController& controller, const MeasurementState& state,
                 Prompter& prompter, SeatRunHost& host)
    : replay_(replay), controller_(controller), state_(state), prompter_(prompter), host_(host) {}

bool SeatRun::Refuse(const std::string& text) {
    prompter_.Inform(kSeatSetCaption, text, PromptIcon::Warning);
    return false;
}

bool SeatRun::CheckPlan(const SeatRunPlan& plan) {
    if (Active()) return Refuse("A seat set is being measured. STOP it first.");
    if (state_.RunActive) return Refuse("A measurement is running. STOP it first.");
    if (macros_ == nullptr || plan.macro < 1 || plan.macro > kUserMacroCount) {
        return Refuse("No macro chosen.");
    }
    const UserMacro& macro = (*macros_)[static_cast<std::size_t>(plan.macro - 1)];
    if (!macro.UsesSmoothFft()) {
        return Refuse("Seat sets are measured with SMOOTH FFT.\rMacro \"" + macro.name +
                      "\" uses " + Msg(107) + ": " + std::to_string(macro.FftSize()) + ".");
    }
    if (plan.seats < SeatSet::kMinSeats || plan.seats > SeatSet::kMaxSeats) {
        return Refuse("Seats: " + std::to_string(SeatSet::kMinSeats) + " … " +
                      std::to_string(SeatSet::kMaxSeats) + ".");
    }
    if (plan.moveSeconds < 0 || plan.moveSeconds > SeatRunPlan::kMaxMoveSeconds) {
        return Refuse("Time to move the microphone: 0 … " +
                      std::to_string(SeatRunPlan::kMaxMoveSeconds) + " s.");
    }
    return true;
}

bool SeatRun::Start(const SeatRunPlan& plan) {
    if (!CheckPlan(plan)) return false;
    // "Stalls/" names the set "Stalls" as "Stalls" does.
    std::filesystem::path folder(plan.folder);
    if (!folder.empty() && !folder.has_filename()) folder = folder.parent_path();
    const std::string name = folder.filename().string();
    if (name.empty() || name == "." || name == "..") return Refuse(Msg(kMsgIllegalInput));
    // The seats of an earlier set in the same folder would mix with this one's.
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
        const std::string file = e.path().filename().string();
        if (file.rfind(name + " seat ", 0) == 0) {
            return Refuse("The folder \"" + folder.string() + "\" holds a seat set already.\r" +
                          "Choose another name.");
        }
    }

    plan_ = plan;
    plan_.folder = folder.string();
    name_ = name;
    set_ = SeatSet();
    host_.SeatSetChanged();
    MeasureSeat();
    return true;
}

void SeatRun::MeasureSeat() {
    phase_ = Phase::Measuring;
    const int seat = CurrentSeat();
    host_.PrepareSeat(seat);
    host_.ShowSeatStatus(SeatOf(seat, plan_.seats) + ": measuring");
    // A device box inside the set-up runs the event loop: CheckRun must not take the run for
    // one that ended before it started.
    starting_ = true;
    replay_.RunMacro(plan_.macro, /*once=*/true);
    starting_ = false;
    // The devices could not be set up (the box was shown): nothing runs, the set ends here.
    if (phase_ == Phase::Measuring && !state_.RunActive && CurrentSeat() == seat) {
        Finish(SeatOf(seat, plan_.seats) + ": not measured");
    }
}

void SeatRun::SeatMeasured() {
    if (phase_ != Phase::Measuring || controller_.RunKind != 10 + plan_.macro) return;
    const int seat = CurrentSeat();
    const std::optional<SeatSpectrum> spectrum = host_.MeasuredSpectrum();
    if (!spectrum) {
        Refuse(SeatOf(seat, plan_.seats) + " has no SMOOTH spectrum.");
        Finish(SeatOf(seat, plan_.seats) + ": not measured");
        return;
    }
    if (!set_.Add(*spectrum)) {
        // Another sample rate gives other record frequencies: the seats cannot be averaged.
        Refuse(SeatOf(seat, plan_.seats) +
               " was measured at other frequencies than seat 1 (sample rate changed?).");
        Finish(SeatOf(seat, plan_.seats) + ": not measured");
        return;
    }
    const std::string error = set_.Save(plan_.folder, name_);
    host_.SeatSetChanged();
    if (!error.empty()) {
        prompter_.Inform(Msg(kMsgFileSaveError), error, PromptIcon::Stop);
        Finish("Seat set \"" + name_ + "\" not saved");
        return;
    }
    if (CurrentSeat() >= plan_.seats) {
        Finish("Seat set \"" + name_ + "\" complete: " + std::to_string(plan_.seats) + " seats");
        return;
    }
    phase_ = Phase::CountingDown;
    host_.ShowSeatStatus(SeatOf(CurrentSeat(), plan_.seats) + ": move the microphone");
    host_.StartCountdown(plan_.moveSeconds);
}

void SeatRun::CountdownFinished() {
    if (phase_ != Phase::CountingDown) return;
    // Someone measured something else meanwhile: the seat waits for that run to end (the replay
    // would stop it instead of measuring).
    if (state_.RunActive) {
        host_.StartCountdown(1);
        return;
    }
    host_.Cue(SeatCue::NextSeat);
    MeasureSeat();
}

void SeatRun::Stop() {
    if (!Active()) return;
    const Phase was = phase_;
    // Finish first, so the run's end is not taken for a seat that failed.
    Finish("Seat set \"" + name_ + "\" stopped: " + std::to_string(set_.size()) + " of " +
           std::to_string(plan_.seats) + " seats");
    if (was == Phase::Measuring && state_.RunActive) controller_.StopRun();
}

void SeatRun::CheckRun() {
    if (phase_ == Phase::Measuring && !starting_ && !state_.RunActive) {
        Finish("Seat set \"" + name_ + "\" stopped: " + std::to_string(set_.size()) + " of " +
               std::to_string(plan_.seats) + " seats");
    }
}

void SeatRun::Finish(const std::string& status) {
    if (phase_ == Phase::CountingDown) host_.CancelCountdown();
    phase_ = Phase::Finished;
    host_.ShowSeatStatus(status);
    host_.Cue(SeatCue::SetDone);
    host_.SeatSetChanged();
}

std::vector<int16_t> SeatCueSamples(SeatCue cue, uint32_t rate) {
    struct Beep {
        double start, length, hz;
    };
    const std::vector<Beep> beeps = cue == SeatCue::NextSeat
                                        ? std::vector<Beep>{{0.0, 0.12, 880.0}, {0.2, 0.12, 880.0}}
                                        : std::vector<Beep>{{0.0, 0.4, 660.0}};
    const double fs = rate;
    const double amplitude = 32767.0 * std::pow(10.0, -12.0 / 20.0);
    const double edge = 0.005 * fs;  // 5 ms ramps: no clicks
    std::vector<int16_t> out(
        static_cast<std::size_t>((beeps.back().start + beeps.back().length) * fs), 0);
    for (const Beep& b : beeps) {
        const auto first = static_cast<std::size_t>(b.start * fs);
        const auto count = static_cast<std::size_t>(b.length * fs);
        for (std::size_t n = 0; n < count && first + n < out.size(); ++n) {
            const auto k = static_cast<double>(n);
            const double ramp = std::min({1.0, k / edge, static_cast<double>(count - n) / edge});
            const double v = amplitude * ramp * std::sin(2.0 * M_PI * b.hz * k / fs);
            out[first + n] = static_cast<int16_t>(std::nearbyint(v));
        }
    }
    return out;
}

void MoveVirtualSeat(RunController& controller, MeasurementState& state, VirtualRoom& room,
                     const RoomParameters& base, int seat) {
    if (state.RunActive) controller.StopRun();
    state.DevicesClosed = true;
    controller.MIR1Click();
    RoomParameters p = base.ForSeat(seat);
    p.realTime = room.Parameters().realTime;
    room.SetParameters(p);
}

}  // namespace fim
