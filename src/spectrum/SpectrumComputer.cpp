// src/spectrum/: the frequency response. The spectrum of the analysis window, smoothing,
// calibration and microphone correction, spectrum files and the text export, the frequency
// display's view state and the frequency window's model; the window itself is in ui/, its
// painter in ui/paint/.

#include "spectrum/SpectrumComputer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/Catalog.h"
#include "base/MessageIds.h"
#include "base/Prompter.h"

namespace fim {

namespace {

constexpr const char* kProgramTitle = "MIV V1.70";
constexpr double kNoLevel = -80.0;

// Phase difference brought back into −π … π by one turn.
double WrapOnce(double phase) {
    constexpr double twoPi = 2.0 * std::numbers::pi;
    if (phase > std::numbers::pi) return phase - twoPi;
    if (phase < -std::numbers::pi) return phase + twoPi;
    return phase;
}

// Round(−20·log10(mean)) as a gain in dB; 0 when the mean has no level (0, negative, not finite).
int GainFor(double mean) {
    if (!(mean > 0.0) || !std::isfinite(mean)) return 0;
    const double db = std::nearbyint(-20.0 * std::log10(mean));
    return static_cast<int>(std::clamp(db, -1.0e6, 1.0e6));
}

}  // namespace

SpectrumComputer::SpectrumComputer(FftEngine& engine) : engine_(engine) {}

bool SpectrumComputer::ComputeSpectrum(const SpectrumInput& in, Prompter* prompter) {
    const bool smooth = in.mode == AnalysisMode::Smooth;
    const int n = smooth ? kSmoothFftSize : in.fftSize;
    if (!FftEngine::IsTableSize(n)) return false;
    if (!(in.sampleRate > 0.0) || !std::isfinite(in.sampleRate)) return false;
    if (in.viewStart < 1 || in.viewEnd <= in.viewStart) return false;
    if (in.impulse == nullptr && in.impulseCount > 0) return false;

    mode_ = in.mode;
    fftSize_ = n;
    sampleRate_ = in.sampleRate;
    viewStart_ = in.viewStart;
    // A window longer than the transform keeps its first N samples.
    viewEnd_ = std::min<int64_t>(in.viewEnd, in.viewStart + n);
    const int64_t length = viewEnd_ - viewStart_;

    input_.assign(n, 0.0);
    const int64_t first = viewStart_ - 1;
    for (int64_t i = 0; i < length; ++i) {
        const auto idx = static_cast<std::size_t>(first + i);
        if (idx >= in.impulseCount) break;  // past the response: zeros
        input_[i] = in.impulse[idx];
    }
    lowestValidFrequency_ = in.sampleRate / static_cast<double>(length);
    binWidth_ = in.sampleRate / n;

    if (smooth) {
        lowestValidFrequency_ = std::max(lowestValidFrequency_, kSmoothLowestFrequency);
        smoothResult_.resize(kSmoothRecords);
        engine_.SmoothAnalysis(input_.data(), smoothResult_.data(), in.sampleRate);
    } else {
        fftResult_.resize(n / 2 + 1);
        engine_.FftMagnitudePhase(input_.data(), fftResult_.data(), n, false);
    }

    modeChanged_ = previousMode_ != static_cast<int>(in.mode);
    previousMode_ = static_cast<int>(in.mode);
    dataValid_ = true;
    BuildDisplaySpectrum(in);

    if (in.pinkMls && !in.calibrationInUse && prompter != nullptr) {
        prompter->Inform(kProgramTitle, Msg(124), PromptIcon::None);
    }
    return true;
}

void SpectrumComputer::BuildDisplaySpectrum(const SpectrumInput& in) {
    if (!dataValid_) return;
    if (mode_ == AnalysisMode::Smooth) {
        BuildSmoothDisplay(in);
    } else {
        BuildFftDisplay(in);
    }
}

void SpectrumComputer::PublishPeak(double magnitude) {
    peakMagnitude_ = magnitude;
    if (magnitude > 0.0 && levelReference_ > 0.0) {
        peakLevel_ = 20.0 * std::log10(magnitude / levelReference_);
    } else {
        peakLevel_ = kNoLevel;
    }
}

void SpectrumComputer::BuildFftDisplay(const SpectrumInput& in) {
    const int half = fftSize_ / 2;
    const bool useCal = in.calibrationInUse && in.fftCalibration != nullptr &&
                        in.fftCalibrationCount >= static_cast<std::size_t>(half);
    // The first displayed bin; the window is at most N samples, so this is at least 1.
    const int k0 = std::max(1, static_cast<int>(std::nearbyint(lowestValidFrequency_ / binWidth_)));
    firstBin_ = k0;

    // Every record is filled (the spectrum files and overlays read bins below the range too).
    // The Nyquist record has no calibration record of its own in an N/2-record calibration; it
    // takes its neighbour's.
    display_.resize(half + 1);
    for (int i = 0; i <= half; ++i) {
        SpectrumRecord r = fftResult_[i];
        if (useCal) {
            const SpectrumRecord& c =
                in.fftCalibration[std::min<std::size_t>(i, in.fftCalibrationCount - 1)];
            if (c.Magnitude > 1.0) r.Magnitude /= c.Magnitude;
            r.Phase = WrapOnce(r.Phase - c.Phase);
        }
        display_[i] = r;
    }

    // Bins k0 … N/2 of the 1-based counter are records k0 − 1 … N/2 − 1.
    double sum = 0.0;
    maxMagnitude_ = 0.0;
    for (int i = k0 - 1; i <= half - 1; ++i) {
        sum += display_[i].Magnitude;
        maxMagnitude_ = std::max(maxMagnitude_, std::fabs(display_[i].Magnitude));
    }
    const int divisor = half - k0;
    const double mean = divisor > 0 ? sum / divisor : 0.0;
    if (autoGainRequest_) {
        gainOffset_ = useCal ? GainFor(mean) : 0;
        autoGainRequest_ = false;
    }
    levelReference_ = useCal ? 1.0 : mean;

    // The smoothed range runs up to the Nyquist record, so every displayed and exported record
    // is smoothed alike.
    const SmoothingPeak peak =
        SmoothDisplaySpectrum(display_.data(), k0 - 1, half, std::max(1, in.smoothingWidth));
    peakFrequency_ = peak.index >= 0 ? peak.index * binWidth_ : 0.0;
    PublishPeak(peak.magnitude);
}

void SpectrumComputer::BuildSmoothDisplay(const SpectrumInput& in) {
    const bool useCal = in.calibrationInUse && in.smoothCalibration != nullptr;
    smoothDisplay_ = smoothResult_;
    // The display range ends before the first record above 23000 Hz (the end marker at 50000 Hz
    // guarantees one).
    int end = 0;
    while (end < kSmoothRecords - 1 && smoothResult_[end].Frequency <= kSmoothTopFrequency) ++end;
    smoothRangeEnd_ = end;

    if (useCal) {
        for (int i = 0; i < kSmoothRecords - 1; ++i) {
            const SmoothRecord& c = in.smoothCalibration[i];
            SmoothRecord& r = smoothDisplay_[i];
            r.Magnitude = c.Magnitude > 1.0 ? r.Magnitude / c.Magnitude : 1.0;
            r.Phase = WrapOnce(r.Phase - c.Phase);
        }
    }
    double sum = 0.0;
    int count = 0;
    for (int i = 0; i < end; ++i) {
        if (smoothDisplay_[i].Frequency > lowestValidFrequency_) {
            sum += smoothDisplay_[i].Magnitude;
            if (!useCal) ++count;
        }
        // With calibration the mean for auto gain counts every record of the range.
        if (useCal) ++count;
    }
    const double mean = count > 0 ? sum / count : 0.0;
    if (autoGainRequest_) {
        gainOffset_ = useCal ? GainFor(mean) : 0;
        autoGainRequest_ = false;
    }
    // Without records above the lowest valid frequency there is no mean level to refer to.
    levelReference_ = useCal ? 1.0 : (mean > 0.0 ? mean : 1.0);

    firstBin_ = 0;
    maxMagnitude_ = 0.0;
    const SmoothingPeak peak =
        SmoothDisplaySpectrum(smoothDisplay_.data(), 0, end - 1, std::max(1, in.smoothingWidth));
    peakFrequency_ = peak.index >= 0 ? smoothDisplay_[peak.index].Frequency : 0.0;
    PublishPeak(peak.magnitude);
}

std::string CalibrationCaption(const std::string& calibrationName) {
    return Msg(kMsgUseCalBefore) + calibrationName + Msg(kMsgUseCalAfter);
}

bool CheckWindowPreset(TimeWindow& preset, int fftSize, double sampleRate, Prompter& prompter) {
    const int32_t before = TimeWindow::SamplesFor(preset.timeBefore, sampleRate);
    const int32_t after = TimeWindow::SamplesFor(preset.timeAfter, sampleRate);
    const int64_t total = static_cast<int64_t>(before) + after;
    // A negative time before the peak starts the window after it; only a window of no samples
    // is illegal.
    if (total <= 0) {
        prompter.Inform(preset.name, "Illegal values", PromptIcon::Information);
        return false;
    }
    if (total > fftSize) {
        prompter.Inform(kProgramTitle, "Window too large for FFT size", PromptIcon::None);
        return false;
    }
    preset.samplesBefore = before;
    preset.samplesAfter = after;
    return true;
}

}  // namespace fim
