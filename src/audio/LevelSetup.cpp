#include "audio/LevelSetup.h"

#include <algorithm>
#include <cstdlib>

#include "audio/RunController.h"
#include "core/MeasurementState.h"
#include "core/RunView.h"
#include "shell/Catalog.h"
#include "shell/Prompter.h"

namespace fim {

namespace {
constexpr std::size_t kFrames = 2048;  // stereo frames per input buffer
}

LevelSetupModel::LevelSetupModel(MeasurementState& state, RunController& controller, RunView& view,
                                 Prompter& prompter, UiWakeup* wakeup)
    : state_(state),
      controller_(controller),
      view_(view),
      prompter_(prompter),
      input_(wakeup),
      output_(wakeup) {
    SetUpLampBar(atcBar, state_.FullScale);
    SetUpLampBar(inBar, state_.FullScale);
}

LevelSetupModel::~LevelSetupModel() { Close(); }

std::string LevelSetupModel::PanelName(const std::string& device) {
    std::string name = device.substr(0, device.find("Wave"));
    if (name.size() > 8) name.resize(8);
    return name;
}

std::string LevelSetupModel::Button2Caption() const { return Msg(noisePlaying_ ? 293 : 294); }

bool LevelSetupModel::Open() {
    if (open_) return true;
    if (state_.RunActive) controller_.StopRun();
    view_.SetControlEnabled(RunControl::RUN1, false);
    view_.SetControlEnabled(RunControl::SETUP1, false);
    input_.Discard();
    output_.Discard();
    atcPeak_.Take();
    inPeak_.Take();
    Stopping = false;
    noisePlaying_ = true;
    buffersSeen = 0;
    state_.DevicesClosed = true;
    controller_.SetModeCallbacks(&input_, &output_);
    controller_.SoundMode = RunController::kModeLevelSetup;
    open_ = true;
    if (!controller_.SetupSound()) {
        Leave();
        return false;
    }
    // The lamps take the full scale of the format just set up.
    SetUpLampBar(atcBar, state_.FullScale);
    SetUpLampBar(inBar, state_.FullScale);
    inPanel = "In: " + PanelName(controller_.InputDeviceName());
    outPanel = "Out: " + PanelName(controller_.OutputDeviceName());
    return true;
}

void LevelSetupModel::Close() {
    if (!open_) return;
    controller_.Header(RunController::OutA1).loops = 0;
    Stopping = true;
    if (controller_.SoundMode == RunController::kModeLevelSetup) {
        WaveDevices& d = controller_.Devices();
        d.StopInput();
        d.PauseOutput();
    }
    Leave();
}

// Releases both devices (they were opened with this monitor's notifications) and hands the main
// window back its measurement mode; the next run sets the devices up again.
void LevelSetupModel::Leave() {
    // Unless a measurement took the devices over meanwhile.
    if (controller_.SoundMode == RunController::kModeLevelSetup) {
        state_.DevicesClosed = true;
        controller_.MIR1Click();
        controller_.SoundMode = RunController::kModeMls;
        controller_.SetModeCallbacks(nullptr, nullptr);
    }
    input_.Discard();
    output_.Discard();
    view_.SetControlEnabled(RunControl::RUN1, true);
    view_.SetControlEnabled(RunControl::SETUP1, true);
    open_ = false;
}

void LevelSetupModel::Button2Click() {
    if (!open_) return;
    WaveDevices& d = controller_.Devices();
    if (noisePlaying_) {
        d.PauseOutput();
    } else {
        d.RestartOutput();
    }
    noisePlaying_ = !noisePlaying_;
}

void LevelSetupModel::DispatchEvents() {
    DeviceEvent e;
    while (open_ && output_.Next(e)) {
        if (e.kind == WaveEventKind::DeviceLost) return ReportLost(e.result);
        OnOutputDone();
    }
    while (open_ && input_.Next(e)) {
        if (e.kind == WaveEventKind::DeviceLost) return ReportLost(e.result);
        if (e.kind == WaveEventKind::InputDone && e.header != nullptr) OnInputData(*e.header);
    }
}

void LevelSetupModel::ReportLost(int result) {
    const std::string text = controller_.Devices().ErrorText(result);
    Close();
    prompter_.Inform(Msg(68), text);
}

void LevelSetupModel::OnInputData(WaveHeader& header) {
    WaveDevices& d = controller_.Devices();
    if (Stopping) {
        d.ResetOutput();
        d.ResetInput();
        return;
    }
    // Only the monitor's own two headers, and only once the device has handed them back.
    if ((&header != &controller_.Header(RunController::InA1) &&
         &header != &controller_.Header(RunController::InA2)) ||
        header.Queued()) {
        return;
    }
    header.flags.store(0, std::memory_order_release);
    int32_t* samples = state_.buffers.SampleresultI();
    const bool converted = ConvertRecording(header.data, samples, state_.SampleBits, 2 * kFrames);
    d.UnprepareInput(header);
    d.PrepareInput(header);
    d.AddInputBuffer(header);
    state_.BufferSetToggle = !state_.BufferSetToggle;
    if (!converted) return;
    int64_t left = 0, right = 0;
    for (std::size_t f = 0; f < kFrames; ++f) {
        left = std::max<int64_t>(left, std::llabs(int64_t{samples[2 * f]}));
        right = std::max<int64_t>(right, std::llabs(int64_t{samples[2 * f + 1]}));
    }
    atcPeak_.Offer(static_cast<int32_t>(std::min<int64_t>(left, INT32_MAX)));
    inPeak_.Offer(static_cast<int32_t>(std::min<int64_t>(right, INT32_MAX)));
    ++buffersSeen;
}

void LevelSetupModel::OnOutputDone() {
    if (Stopping) return;
    WaveDevices& d = controller_.Devices();
    for (auto id : {RunController::OutA1, RunController::OutA2}) {
        WaveHeader& h = controller_.Header(id);
        if (!h.Done() || h.Queued()) continue;
        h.flags.store(0, std::memory_order_release);
        d.UnprepareOutput(h);
        d.PrepareOutput(h);
        d.WriteOutput(h);
    }
}

LevelSetupModel::Peaks LevelSetupModel::TakePeaks() {
    Peaks p;
    bool fresh = false;
    p.atc = atcPeak_.Take(&fresh);
    p.in = inPeak_.Take();
    p.fresh = fresh;
    return p;
}

}  // namespace fim
