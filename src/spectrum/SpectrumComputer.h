#pragma once
// The spectrum step of the frequency-response window: the analysis window of the impulse response
// becomes an FFT or SMOOTH FFT spectrum, then a display spectrum with calibration applied,
// smoothed, with its level reference, gain offset and peak. The window keeps one SpectrumComputer
// for its whole life and draws what it publishes.
//
// Thread: UI thread (it drives the FFT engine it was given, which is not re-entrant).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/FftEngine.h"
#include "core/SpectrumTypes.h"
#include "spectrum/Smoothing.h"
#include "spectrum/TimeWindow.h"

namespace fim {

class Prompter;

// FFT size of the SMOOTH analysis.
constexpr int kSmoothFftSize = 32768;
// SMOOTH records above this frequency are not part of the display range.
constexpr double kSmoothTopFrequency = 23000.0;
// The lowest valid frequency in SMOOTH mode is never below this.
constexpr double kSmoothLowestFrequency = 34.0;

struct SpectrumInput {
    // The impulse response: `impulseCount` valid samples. Samples past the count read as 0.
    const double* impulse = nullptr;
    std::size_t impulseCount = 0;
    // The main window's viewStart/viewEnd: 1-based sample positions; samples viewStart …
    // viewEnd − 1 are transformed (elements viewStart − 1 … viewEnd − 2), L = viewEnd − viewStart.
    int64_t viewStart = 1;
    int64_t viewEnd = 1;
    AnalysisMode mode = AnalysisMode::Fft;
    int fftSize = 4096;  // FFT mode only; SMOOTH mode always uses 32768
    double sampleRate = 44100.0;
    bool pinkMls = false;
    // Calibration of the current mode. FFT mode needs at least fftSize/2 records (bin 0 …
    // N/2 − 1), SMOOTH mode kSmoothRecords; a shorter or missing array counts as not in use.
    bool calibrationInUse = false;
    const SpectrumRecord* fftCalibration = nullptr;
    std::size_t fftCalibrationCount = 0;
    const SmoothRecord* smoothCalibration = nullptr;
    // Smoothing width S = 2·v + 1 (0 counts as 1).
    int smoothingWidth = 1;
    // The averaged response's noise beside `impulse` (same indexing and count), from the spread
    // between the run's `noisePeriods` periods; null when there is none (a single period, a
    // loaded file). The frequency window transforms it as it transforms the response.
    const double* noise = nullptr;
    int noisePeriods = 0;
};

class SpectrumComputer {
  public:
    explicit SpectrumComputer(FftEngine& engine = SharedFft());

    // Fills the FFT input from the analysis window, runs the engine in the input's mode and
    // builds the display spectrum. A window longer than the FFT size is shortened to it. Shows
    // message 124 through `prompter` (when given) if the excitation was pink and calibration is
    // not in use. Returns false, changing nothing, when the input cannot be used: no samples
    // (L < 1, viewStart < 1), a sample rate that is not positive, or an FFT size that is not a
    // power of two in 128 … 65536.
    bool ComputeSpectrum(const SpectrumInput& in, Prompter* prompter);
    // Rebuilds the display spectrum from the last result with the calibration and smoothing of
    // `in` (its mode and window are ignored): after calibration or smoothing changes, or after
    // the window reloaded calibration because of a mode change. Does nothing before the first
    // spectrum.
    void BuildDisplaySpectrum(const SpectrumInput& in);

    // Auto gain: the next display build sets the gain offset and clears the request.
    void RequestAutoGain() { autoGainRequest_ = true; }
    bool AutoGainRequested() const { return autoGainRequest_; }
    int GainOffset() const { return gainOffset_; }
    void SetGainOffset(int db) { gainOffset_ = db; }

    // True after a computation whose mode differed from the one before (the first computation
    // counts as a change): the window sets its lower display limit to the lowest valid
    // frequency, fits the display and reloads the calibration of the new mode.
    bool ModeChanged() const { return modeChanged_; }
    bool DataValid() const { return dataValid_; }
    AnalysisMode Mode() const { return mode_; }
    // The SMOOTH indicator of the main window: pressed in SMOOTH mode.
    bool SmoothIndicator() const { return mode_ == AnalysisMode::Smooth; }

    int FftSize() const { return fftSize_; }
    int BinCount() const { return fftSize_ / 2; }
    // The analysis window after shortening (1-based, end exclusive).
    int64_t ViewStart() const { return viewStart_; }
    int64_t ViewEnd() const { return viewEnd_; }
    double SampleRate() const { return sampleRate_; }
    double LowestValidFrequency() const { return lowestValidFrequency_; }
    double BinWidth() const { return binWidth_; }
    // FFT mode: first display bin Round(lowest valid frequency / bin width).
    int FirstBin() const { return firstBin_; }
    // SMOOTH mode: the display range is records 0 … SmoothRangeEnd() − 1.
    int SmoothRangeEnd() const { return smoothRangeEnd_; }
    double LevelReference() const { return levelReference_; }
    double PeakFrequency() const { return peakFrequency_; }
    double PeakMagnitude() const { return peakMagnitude_; }
    // 20·log10(peak magnitude / level reference); −80.0 when either is 0 or less.
    double PeakLevel() const { return peakLevel_; }
    // FFT mode: the largest magnitude of the display range after calibration.
    double MaxMagnitude() const { return maxMagnitude_; }

    // Bins 0 … N/2 of the raw transform, and the display spectrum (calibrated, smoothed; every
    // record 0 … N/2 is filled, the range FirstBin() − 1 … N/2 smoothed).
    const std::vector<SpectrumRecord>& FftResult() const { return fftResult_; }
    const std::vector<SpectrumRecord>& DisplaySpectrum() const { return display_; }
    // The 295 SMOOTH records, raw and for display (all records copied and calibrated, the range
    // smoothed, the end marker unchanged).
    const std::vector<SmoothRecord>& SmoothResult() const { return smoothResult_; }
    const std::vector<SmoothRecord>& SmoothDisplay() const { return smoothDisplay_; }
    // The FFT input of the last computation (N values, zero-padded).
    const std::vector<double>& FftInput() const { return input_; }

  private:
    void BuildFftDisplay(const SpectrumInput& in);
    void BuildSmoothDisplay(const SpectrumInput& in);
    void PublishPeak(double magnitude);

    FftEngine& engine_;
    AnalysisMode mode_ = AnalysisMode::Fft;
    int previousMode_ = -1;  // none before the first computation
    bool modeChanged_ = false;
    bool dataValid_ = false;
    bool autoGainRequest_ = false;
    int gainOffset_ = 0;
    int fftSize_ = 0;
    int64_t viewStart_ = 1, viewEnd_ = 1;
    double sampleRate_ = 0.0;
    double lowestValidFrequency_ = 0.0;
    double binWidth_ = 0.0;
    int firstBin_ = 0;
    int smoothRangeEnd_ = 0;
    double levelReference_ = 1.0;
    double peakFrequency_ = 0.0;
    double peakMagnitude_ = 0.0;
    double peakLevel_ = -80.0;
    double maxMagnitude_ = 0.0;
    std::vector<double> input_;
    std::vector<SpectrumRecord> fftResult_, display_;
    std::vector<SmoothRecord> smoothResult_, smoothDisplay_;
};

// The caption of the calibration menu entry: message 45 + name + message 46.
std::string CalibrationCaption(const std::string& calibrationName);

// Derives a window preset's sample counts at `sampleRate` and checks them against the FFT size:
// more than `fftSize` samples shows "Window too large for FFT size", none (or a negative time)
// shows "Illegal values" captioned with the preset's name; both fail and leave the preset as it
// was. Only a passing check stores the counts.
bool CheckWindowPreset(TimeWindow& preset, int fftSize, double sampleRate, Prompter& prompter);

}  // namespace fim
