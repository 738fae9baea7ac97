#include "spectrum/FrequencyWindowModel.h"

#include <algorithm>

#include "base/FileNames.h"
#include "base/SettingsTree.h"
#include "core/FftEngine.h"

namespace fim {

FrequencyWindowModel::FrequencyWindowModel(SettingsTree& settings, Prompter& prompter,
                                           Shared shared)
    : store(prompter),
      settings_(settings),
      prompter_(prompter),
      smoothing_(shared.smoothing),
      micCalData_(shared.micCalData),
      warnCal_(shared.warnCal) {}

// ------------------------------------------------------------------ settings

void FrequencyWindowModel::StartUp(const FrequencyViewSettings& s,
                                   const std::vector<std::string>& calFiles,
                                   const std::vector<std::string>& overlayFiles) {
    view.eqStyle = s.eqStyle;
    view.range = s.range;
    view.gap = s.gap;
    view.gain = s.gain;
    view.overlayGain = s.overlayGain;
    view.phaseShown = s.phaseShown;
    view.noiseFloorShown = s.noiseFloorShown;
    view.greyNearNoise = s.greyNearNoise;
    view.smoothingValue = std::clamp((smoothing_ - 1) / 2, 0, 10);
    for (auto it = calFiles.rbegin(); it != calFiles.rend(); ++it) {
        store.recentCalibrations.Add(
            *it, static_cast<int>(UpperExtension(*it) == ".CSM" ? AnalysisMode::Smooth
                                                                : AnalysisMode::Fft));
    }
    for (auto it = overlayFiles.rbegin(); it != overlayFiles.rend(); ++it) {
        store.recentOverlays.Add(*it);
    }

    // The overlay and the microphone correction need the sample rate and the SMOOTH layout of
    // the first spectrum; they are loaded with it.
    CalibrationStore::Overlay& o = store.CurrentOverlay();
    o.shown = s.overlayShown;
    o.inverted = s.overlayInverted;
    o.gainDb = s.overlayGain;
    if (s.hasOverlayFile && FileExists(s.overlayFile)) pendingStartOverlay_ = s.overlayFile;
    if (FileExists(micCalData_)) pendingMic_ = micCalData_;
}

FrequencyViewSettings FrequencyWindowModel::Settings() const {
    FrequencyViewSettings s;
    s.eqStyle = view.eqStyle;
    s.range = view.range;
    s.gap = view.gap;
    s.gain = view.gain;
    s.overlayGain = view.overlayGain;
    const CalibrationStore::Overlay& o = store.CurrentOverlay();
    s.overlayShown = o.loaded && o.shown;
    s.overlayInverted = o.inverted;
    s.overlayFile = o.loaded ? o.path : std::string();
    s.calibrationInUse = store.CalibrationInUse(computer.Mode());
    s.phaseShown = view.phaseShown;
    s.noiseFloorShown = view.noiseFloorShown;
    s.greyNearNoise = view.greyNearNoise;
    return s;
}

// ------------------------------------------------------------------ spectrum

void FrequencyWindowModel::fillCalibration(SpectrumInput& in) const {
    in.calibrationInUse = store.CalibrationInUse(in.mode);
    in.fftCalibration = store.FftCalibration().data();
    in.fftCalibrationCount = store.FftCalibration().size();
    in.smoothCalibration = store.SmoothCalibration().data();
}

void FrequencyWindowModel::forgetGoneCalibration(AnalysisMode m) {
    // A stored calibration whose file is gone was reported once; forgetting its name keeps the
    // report from coming back at every start and mode switch.
    if (store.LastFileMissing()) {
        settings_.DeleteValue(m == AnalysisMode::Smooth ? "LogCal" : "LinCal");
    }
}

void FrequencyWindowModel::reloadCalibrationForMode() {
    const AnalysisMode m = lastInput_.mode;
    const double rate = lastInput_.sampleRate;
    store.warnMisfit = warnCal_;
    if (pendingChoice_ && pendingChoice_->useCalibration &&
        !pendingChoice_->calibrationPath.empty()) {
        store.LoadCalibrationFile(pendingChoice_->calibrationPath, lastInput_.fftSize, rate);
    } else if (auto path = settings_.ReadString(m == AnalysisMode::Smooth ? "LogCal" : "LinCal");
               path && !path->empty()) {
        const bool ok = m == AnalysisMode::Smooth
                            ? store.LoadSmoothCalibration(*path, rate)
                            : store.LoadFftCalibration(*path, lastInput_.fftSize, rate);
        const auto use = settings_.ReadBool(m == AnalysisMode::Smooth ? "CM1" : "CM0");
        store.SetUseCalibration(m, ok && use.value_or(false));
        if (!ok) forgetGoneCalibration(m);
    } else {
        store.SetUseCalibration(m, false);
    }
    calLoadedFor_[m == AnalysisMode::Smooth ? 1 : 0] = {lastInput_.fftSize, rate};
}

void FrequencyWindowModel::ensureCalibrationFits() {
    // A calibration belongs to one FFT size and rate: after either changed, it is read again
    // for the new ones (and refused with its message when it does not fit).
    const AnalysisMode m = lastInput_.mode;
    const int idx = m == AnalysisMode::Smooth ? 1 : 0;
    const std::pair<int, double> now{m == AnalysisMode::Smooth ? 0 : lastInput_.fftSize,
                                     lastInput_.sampleRate};
    std::pair<int, double>& was = calLoadedFor_[idx];
    if (m == AnalysisMode::Smooth) was.first = 0;
    if (!store.CalibrationLoaded(m) || was == now) {
        was = now;
        return;
    }
    const bool use = store.CalibrationInUse(m);
    const std::string path = store.CalibrationPath(m);
    store.warnMisfit = warnCal_;
    const bool ok = m == AnalysisMode::Smooth
                        ? store.LoadSmoothCalibration(path, now.second)
                        : store.LoadFftCalibration(path, now.first, now.second);
    store.SetUseCalibration(m, ok && use);
    if (!ok && settings_.ReadString(m == AnalysisMode::Smooth ? "LogCal" : "LinCal") == path) {
        forgetGoneCalibration(m);
    }
    was = now;
}

bool FrequencyWindowModel::ShowSpectrum(SpectrumInput in, AnalysisMode mode) {
    in.mode = mode;
    in.smoothingWidth = smoothing_;
    lastInput_ = in;
    if (haveInput_ || computer.DataValid()) ensureCalibrationFits();
    fillCalibration(lastInput_);
    computer.SetGainOffset(view.gain);
    if (!computer.ComputeSpectrum(lastInput_, &prompter_)) return false;
    haveInput_ = true;
    // The noise goes through the same transform; the display build follows in Rebuild().
    haveNoise_ = false;
    if (lastInput_.noise != nullptr && lastInput_.noisePeriods >= 2) {
        SpectrumInput noise = lastInput_;
        noise.impulse = lastInput_.noise;
        haveNoise_ = noiseComputer_.ComputeSpectrum(noise, nullptr);
        noisePeriods_ = lastInput_.noisePeriods;
    }
    // The caller's buffers are read here only.
    lastInput_.noise = nullptr;
    view.TakeSpectrum(computer);
    if (computer.ModeChanged()) {
        view.lowerLimit = computer.LowestValidFrequency();
        view.Fit();
        reloadCalibrationForMode();
    }
    if (!pendingMic_.empty()) LoadMic(std::exchange(pendingMic_, {}));
    if (!pendingStartOverlay_.empty()) {
        const std::string path = std::exchange(pendingStartOverlay_, {});
        const bool shown = store.CurrentOverlay().shown;
        if (store.LoadOverlay(path, in.sampleRate)) store.CurrentOverlay().shown = shown;
    }
    if (pendingChoice_) applyChoice(*std::exchange(pendingChoice_, std::nullopt), mode, in);
    Rebuild();
    return true;
}

void FrequencyWindowModel::applyChoice(const AnalysisChoice& c, AnalysisMode mode,
                                       const SpectrumInput& in) {
    // The macro's flags replace the window's, off as well as on.
    if (c.useCalibration && !c.calibrationPath.empty() && !computer.ModeChanged()) {
        store.LoadCalibrationFile(c.calibrationPath, in.fftSize, in.sampleRate);
    }
    store.SetUseCalibration(mode, c.useCalibration);
    if (c.useMicCorrection && !c.micPath.empty()) LoadMic(c.micPath);
    store.micApplied = c.useMicCorrection && store.MicLoaded();
    if (c.useOverlay && !c.overlayPath.empty()) LoadOverlay(c.overlayPath);
    if (store.CurrentOverlay().loaded) {
        store.CurrentOverlay().shown = c.useOverlay;
        if (c.useOverlay) store.CurrentOverlay().inverted = c.overlayOption2;
    }
}

void FrequencyWindowModel::ApplyAnalysisChoice(const AnalysisChoice& choice) {
    pendingChoice_ = choice;
    smoothing_ = std::max(1, choice.smoothingWidth);
    view.smoothingValue = std::clamp((smoothing_ - 1) / 2, 0, 10);
}

bool FrequencyWindowModel::Rebuild() {
    if (!haveInput_ || !computer.DataValid()) return false;
    SpectrumInput in = lastInput_;
    in.smoothingWidth = smoothing_;
    fillCalibration(in);
    computer.SetGainOffset(view.gain);
    computer.BuildDisplaySpectrum(in);
    if (haveNoise_) noiseComputer_.BuildDisplaySpectrum(in);
    view.gain = computer.GainOffset();
    view.TakeSpectrum(computer);
    return true;
}

// ------------------------------------------------------------------ files

AnalysisMode FrequencyWindowModel::CalibrationMode() const {
    return computer.DataValid() ? computer.Mode() : lastInput_.mode;
}

void FrequencyWindowModel::rememberCalibration(AnalysisMode m, const std::string& path) {
    settings_.WriteString(m == AnalysisMode::Fft ? "LinCal" : "LogCal", path);
    calLoadedFor_[m == AnalysisMode::Smooth ? 1 : 0] = {
        m == AnalysisMode::Smooth ? 0 : computer.FftSize(), computer.SampleRate()};
}

bool FrequencyWindowModel::LoadCalibration(AnalysisMode m, const std::string& path) {
    store.warnMisfit = warnCal_;
    const bool ok = m == AnalysisMode::Fft
                        ? store.LoadFftCalibration(path, computer.FftSize(), computer.SampleRate())
                        : store.LoadSmoothCalibration(path, computer.SampleRate());
    if (ok) rememberCalibration(m, path);
    return ok;
}

bool FrequencyWindowModel::LoadRecentCalibration(const std::string& path) {
    const AnalysisMode m =
        UpperExtension(path) == ".CSM" ? AnalysisMode::Smooth : AnalysisMode::Fft;
    store.warnMisfit = warnCal_;
    const bool ok = store.LoadCalibrationFile(path, computer.FftSize(), computer.SampleRate());
    if (ok) rememberCalibration(m, path);
    return ok;
}

bool FrequencyWindowModel::SaveAsCalibration(const std::string& path) {
    const AnalysisMode m = computer.Mode();
    const bool had = store.CalibrationLoaded(m);
    if (!store.SaveAsCalibration(path, Raw())) return false;
    if (!had && store.CalibrationLoaded(m)) rememberCalibration(m, path);
    return true;
}

bool FrequencyWindowModel::ToggleCalibration() {
    const AnalysisMode m = computer.Mode();
    if (!store.CalibrationLoaded(m)) return false;
    const bool use = store.ToggleUseCalibration(m);
    settings_.WriteBool(m == AnalysisMode::Fft ? "CM0" : "CM1", use);
    return true;
}

bool FrequencyWindowModel::LoadMic(const std::string& path) {
    bool ok;
    if (UpperExtension(path) == ".SMC") {
        ok = store.LoadMicCorrection(path);
    } else {
        // A microphone's calibration text: laid onto the SMOOTH records of this rate.
        std::array<SmoothRecord, kSmoothRecords> layout{};
        if (computer.Mode() == AnalysisMode::Smooth &&
            computer.SmoothResult().size() == layout.size()) {
            std::copy(computer.SmoothResult().begin(), computer.SmoothResult().end(),
                      layout.begin());
        } else {
            std::vector<double> silence(FftEngine::kSmoothInput, 0.0);
            SharedFft().SmoothAnalysis(silence.data(), layout.data(), lastInput_.sampleRate);
        }
        ok = store.ImportMicCalText(path, layout.data(), lastInput_.sampleRate);
    }
    if (ok) micCalData_ = path;
    return ok;
}

bool FrequencyWindowModel::LoadOverlay(const std::string& path) {
    const bool ok = store.LoadOverlay(
        path, computer.SampleRate() > 0.0 ? computer.SampleRate() : lastInput_.sampleRate);
    if (ok) store.CurrentOverlay().shown = true;
    return ok;
}

DisplaySpectrum FrequencyWindowModel::Display() const {
    DisplaySpectrum s;
    s.mode = computer.Mode();
    s.lowestFrequency = computer.LowestValidFrequency();
    s.fftSize = computer.FftSize();
    s.sampleRate = computer.SampleRate();
    s.bins = computer.DisplaySpectrum().data();
    s.records = computer.SmoothDisplay().data();
    return s;
}

DisplaySpectrum FrequencyWindowModel::Raw() const {
    DisplaySpectrum s = Display();
    s.bins = computer.FftResult().data();
    s.records = computer.SmoothResult().data();
    return s;
}

std::span<const SmoothRecord> FrequencyWindowModel::TraceCorrection() {
    if (!store.micApplied || !store.MicLoaded()) return {};
    const MicCorrection& mic = store.Mic();
    traceCorrection_.resize(mic.entries.size() + 1);
    traceCorrection_[0] = {mic.sampleRate, 0.0, 0.0};
    for (std::size_t i = 0; i < mic.entries.size(); ++i) {
        traceCorrection_[i + 1] = {mic.entries[i].frequency, mic.entries[i].db,
                                   mic.entries[i].phase};
    }
    return traceCorrection_;
}

}  // namespace fim
