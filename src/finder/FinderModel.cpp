#include "finder/FinderModel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <system_error>

#include "audio/RunController.h"
#include "audio/RunView.h"
#include "base/Catalog.h"
#include "base/Prompter.h"
#include "core/FftEngine.h"
#include "core/MeasurementState.h"

namespace fim {

int32_t FinderLevel(int32_t db, int32_t fullScale) {
    const double v = std::nearbyint(std::exp(std::log(10.0) * db / 20.0) * fullScale);
    return static_cast<int32_t>(std::clamp(v, 0.0, 2147483647.0));
}

FinderModel::FinderModel(MeasurementState& state, RunController& controller, RunView& view,
                         Prompter& prompter, FinderSettings& settings, UiWakeup* wakeup)
    : state_(state),
      controller_(controller),
      view_(view),
      prompter_(prompter),
      settings_(settings),
      input_(wakeup),
      engine_(std::make_unique<FftEngine>()),
      capture_(8192, 0) {
    lamps.colours.fill(kLampWhite);
    lamps.colours[5] = kLampSilver;
    SetUpLampBar(peakLamps, state_.FullScale);
}

FinderModel::~FinderModel() { Close(); }

std::string FinderModel::StateText() const {
    if (Holding) return TextWaiting;
    return Capturing ? TextCalculating : TextSearching;
}

bool FinderModel::Open() {
    if (open_) return true;
    if (state_.RunActive) controller_.StopRun();
    view_.SetControlEnabled(RunControl::RUN1, false);
    view_.SetControlEnabled(RunControl::SETUP1, false);
    savedFftSize_ = state_.FftSize;
    input_.Discard();
    buffersSeen = 0;
    // Buffers are taken from the moment the device opens, so the settings apply first.
    state_.RecomputeDerived();
    FormActivate();
    controller_.FinderSize = std::clamp(settings_.Resolution, 0, 2);
    state_.DevicesClosed = true;
    controller_.SetModeCallbacks(&input_, nullptr);
    controller_.SoundMode = RunController::kModeFinder;
    open_ = true;
    if (!controller_.SetupSound()) {
        Closing = true;
        Leave();
        return false;
    }
    return true;
}

void FinderModel::Close() {
    if (!open_) return;
    Closing = true;
    // A capture cut short is dropped here, so no later buffer can complete and analyse it.
    Capturing = false;
    SamplesToGo = 0;
    WritePos = 0;
    panels[0] = StateText();
    if (controller_.SoundMode == RunController::kModeFinder) {
        WaveDevices& d = controller_.Devices();
        d.StopInput();
        d.ResetInput();
    }
    Leave();
}

// Releases the input (opened with this model's notifications) and gives the main window its
// measurement mode and FFT size back; the next run sets the devices up again.
void FinderModel::Leave() {
    // Unless a measurement took the devices over meanwhile.
    if (controller_.SoundMode == RunController::kModeFinder) {
        state_.DevicesClosed = true;
        controller_.MIR1Click();
        controller_.SoundMode = RunController::kModeMls;
        controller_.SetModeCallbacks(nullptr, nullptr);
    }
    input_.Discard();
    state_.FftSize = savedFftSize_;
    view_.SetControlEnabled(RunControl::RUN1, true);
    view_.SetControlEnabled(RunControl::SETUP1, true);
    open_ = false;
}

void FinderModel::FormActivate() {
    settings_.DisplayMode = std::clamp(settings_.DisplayMode, 0, 3);
    n_ = FinderCaptureLength(std::clamp(settings_.Resolution, 0, 2));
    SetUpLampBar(peakLamps, state_.FullScale);
    TextSearching = Msg(290);
    TextWaiting = Msg(291);
    TextCalculating = Msg(292);
    window_.MakeWindow(static_cast<uint16_t>(n_), static_cast<uint16_t>(n_), 4);
    Closing = false;
    const int32_t trigger = FinderThresholdDb(settings_.TriggerThreshold);
    TriggerLevel = FinderLevel(trigger, state_.FullScale);
    panels[1] = "Sample: " + std::to_string(trigger) + "dB";
    const int32_t restart = trigger - (std::clamp(settings_.RestartStep, 0, 1) + 1) * 10;
    panels[2] = "Restart: " + std::to_string(restart) + "dB";
    RestartLevel = FinderLevel(restart, state_.FullScale);
    Capturing = false;
    panels[0] = StateText();
}

void FinderModel::DispatchEvents() {
    DeviceEvent e;
    while (open_ && input_.Next(e)) {
        if (e.kind == WaveEventKind::DeviceLost) {
            const std::string text = controller_.Devices().ErrorText(e.result);
            Close();
            prompter_.Inform(Msg(254), text);
            return;
        }
        if (e.kind == WaveEventKind::InputDone && e.header != nullptr) OnBuffer(*e.header);
    }
}

void FinderModel::OnBuffer(WaveHeader& header) {
    std::unique_lock<std::mutex> lock(state_.InputMutex, std::defer_lock);
    try {
        lock.lock();
    } catch (const std::system_error& e) {
        prompter_.Inform(Msg(254), e.what());  // reported, and the buffer is processed anyway
    }
    if (Closing) return;
    if ((&header != &controller_.Header(RunController::InA1) &&
         &header != &controller_.Header(RunController::InA2)) ||
        header.Queued()) {
        return;
    }
    int32_t* block = state_.buffers.SampleresultI();
    const bool converted = ConvertRecording(header.data, block, state_.SampleBits, kBlock);
    // Back to the device at once, so recording goes on without a gap while a capture fills.
    header.flags.store(0, std::memory_order_release);
    WaveDevices& d = controller_.Devices();
    d.UnprepareInput(header);
    d.PrepareInput(header);
    d.AddInputBuffer(header);
    state_.BufferSetToggle = !state_.BufferSetToggle;
    if (converted) ProcessBlock(std::span<const int32_t>(block, kBlock));
}

void FinderModel::ProcessBlock(std::span<const int32_t> block) {
    ++buffersSeen;
    if (Capturing) {
        const auto count = static_cast<std::size_t>(
            std::clamp<int64_t>(std::min<int64_t>(SamplesToGo, int64_t(block.size())), 0,
                                int64_t(capture_.size() - WritePos)));
        std::copy_n(block.begin(), count, capture_.begin() + static_cast<std::ptrdiff_t>(WritePos));
        WritePos += count;
        SamplesToGo -= static_cast<int32_t>(count);
        if (SamplesToGo <= 0) {
            Holding = true;
            Analyse();
            Capturing = false;
        }
        panels[0] = StateText();
        return;
    }
    int64_t peak = 0;
    for (const int32_t v : block) peak = std::max<int64_t>(peak, std::llabs(int64_t{v}));
    const auto peak32 = static_cast<int32_t>(std::min<int64_t>(peak, INT32_MAX));
    peak_.Offer(peak32);
    if (SampleRequested || (peak32 > TriggerLevel && !Holding)) {
        // The block that crossed the threshold is the first block of the capture.
        sampled_ = SampleRequested;
        const std::size_t first = std::min<std::size_t>(block.size(), std::size_t(n_));
        std::copy_n(block.begin(), first, capture_.begin());
        WritePos = first;
        SamplesToGo = n_ - static_cast<int32_t>(first);
        Capturing = true;
        SampleRequested = false;
    } else if (peak32 < RestartLevel && settings_.AutoRestart != 0) {
        Holding = false;
    }
    panels[0] = StateText();
}

void FinderModel::Analyse() {
    const FinderReading r =
        AnalyseCapture(std::span<const int32_t>(capture_.data(), static_cast<std::size_t>(n_)),
                       state_.SampleRate, settings_.DisplayMode, window_, bands_, *engine_,
                       std::span<double>(engine_->WindowBuffer(), static_cast<std::size_t>(n_)));
    PeakBin = r.bin;
    if (!r.valid) return;  // a silent capture: nothing to show, the finder holds
    FinderCapture c;
    c.sequence = ++sequence_;
    c.sampled = sampled_;
    c.captureLength = n_;
    c.sampleRate = state_.SampleRate;
    c.displayMode = settings_.DisplayMode;
    c.reading = r;
    int64_t peak = 0;
    for (int i = 0; i < n_; ++i) {
        peak = std::max<int64_t>(peak, std::llabs(int64_t{capture_[static_cast<std::size_t>(i)]}));
    }
    c.peakDb = peak > 0 && state_.FullScale > 0
                   ? 20.0 * std::log10(static_cast<double>(peak) / state_.FullScale)
                   : -200.0;
    c.thresholdDb = FinderThresholdDb(settings_.TriggerThreshold);
    lastCapture = c;
    Show(r);
    if (onCapture) onCapture(c);
}

void FinderModel::Show(const FinderReading& r) {
    readout = r.band.label;
    lamps = r.lamps;
}

void FinderModel::SelectDisplayMode(int32_t mode) {
    settings_.DisplayMode = std::clamp(mode, 0, 3);
    if (PeakBin <= 3 || !lastCapture) return;
    // The same bin of the same capture, read in the new mode.
    const FinderCapture& c = *lastCapture;
    FinderReading r = c.reading;
    r.band = bands_.BandReading(static_cast<uint8_t>(settings_.DisplayMode + 1), r.frequency);
    r.lamps = DeviationLampsFor(settings_.DisplayMode, r.band.deviation);
    Show(r);
    panels[0] = StateText();
}

void FinderModel::SetAutoRestart(bool on) { settings_.AutoRestart = on ? 1 : 0; }

void FinderModel::RESAMPLE1Click() {
    Holding = false;
    Capturing = false;
    panels[0] = StateText();
}

}  // namespace fim
