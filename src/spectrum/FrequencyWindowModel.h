#pragma once
// The frequency-response window's state and rules, free of Qt: the spectrum of the last input,
// the calibration each mode reloads (and whether it still fits the FFT size and rate), a macro's
// pending analysis choice, the microphone correction and overlay the window opens with, the
// rebuild after calibration, smoothing or gain changes, and the SMOOTH layout a microphone
// calibration text is laid onto. TFFTDISPLAY turns events into these calls and paints.
//
// Thread: UI thread only.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "spectrum/AnalysisChoice.h"
#include "spectrum/CalibrationStore.h"
#include "spectrum/FrequencyDisplay.h"
#include "spectrum/SpectrumComputer.h"

namespace fim {

class Prompter;
class SettingsTree;

class FrequencyWindowModel {
  public:
    // The program's settings the window shares with the other windows; the model works on them
    // in place.
    struct Shared {
        int32_t& smoothing;       // smoothing width 2v + 1
        std::string& micCalData;  // the microphone-correction file in use
        const bool& warnCal;      // warn when a calibration does not fit
    };
    FrequencyWindowModel(SettingsTree& settings, Prompter& prompter, Shared shared);

    SpectrumComputer computer;
    CalibrationStore store;
    FrequencyDisplay view;

    // Start-up: the stored view values, the recent calibration and overlay lists (newest first)
    // and the overlay and microphone files, which need the first spectrum's sample rate and
    // SMOOTH layout and so are loaded with it (only when the files exist).
    void StartUp(const FrequencyViewSettings& s, const std::vector<std::string>& calFiles,
                 const std::vector<std::string>& overlayFiles);
    // The view values to store (the window adds its geometry and colours).
    FrequencyViewSettings Settings() const;

    // Computes the spectrum of `in` in `mode` with the program's smoothing, reloads or refits
    // the calibration, loads what start-up left pending and applies a pending macro choice.
    // False (nothing changed) when the input is refused.
    bool ShowSpectrum(SpectrumInput in, AnalysisMode mode);
    // A macro replay's choice: mode, smoothing and files, applied with the next spectrum.
    void ApplyAnalysisChoice(const AnalysisChoice& choice);
    // MLS ONLY: a choice no spectrum has used yet is dropped.
    void ClearAnalysisChoice() { pendingChoice_.reset(); }
    bool HasPendingChoice() const { return pendingChoice_.has_value(); }
    // Recomputes the display spectrum after calibration, smoothing or gain changes; false when
    // there is no spectrum to rebuild.
    bool Rebuild();

    // The mode the calibration commands work on: the spectrum's, or before the first spectrum
    // the last input's.
    AnalysisMode CalibrationMode() const;
    // Loads a calibration file chosen by the user (mode `m`) or from the recent list (mode from
    // the extension); a loaded file is the one the mode reloads next time.
    bool LoadCalibration(AnalysisMode m, const std::string& path);
    bool LoadRecentCalibration(const std::string& path);
    // SAVE AS CAL: the raw spectrum becomes a calibration file; a mode that had none loaded
    // takes it at once, and it is the one the mode reloads next time.
    bool SaveAsCalibration(const std::string& path);
    // Turns the current mode's calibration on or off; false (nothing changed) when none is
    // loaded. The choice is stored for the next start.
    bool ToggleCalibration();
    // A microphone correction: an .SMC file, or a calibration text laid onto the SMOOTH records
    // of the current rate. The path becomes the program's correction file when it loads.
    bool LoadMic(const std::string& path);
    // An overlay at the spectrum's rate (the last input's before the first spectrum); shown when
    // it loads.
    bool LoadOverlay(const std::string& path);

    // The spectrum as displayed, and the raw one (the calibration file a spectrum saves as).
    DisplaySpectrum Display() const;
    DisplaySpectrum Raw() const;
    // The applied microphone correction as trace records: record 0 holds its sample rate,
    // records 1 … its points; empty when the correction is off.
    std::span<const SmoothRecord> TraceCorrection();

    // The noise floor: the display spectrum of the run's noise, transformed exactly as the curve
    // (window, FFT size, mode, smoothing, calibration), from the last spectrum that brought a
    // noise estimate. Its levels read against the curve's level reference.
    bool HasNoiseFloor() const { return haveNoise_ && noiseComputer_.DataValid(); }
    const SpectrumComputer& NoiseComputer() const { return noiseComputer_; }
    int NoisePeriods() const { return HasNoiseFloor() ? noisePeriods_ : 0; }

    bool HaveInput() const { return haveInput_; }
    const SpectrumInput& LastInput() const { return lastInput_; }

  private:
    void fillCalibration(SpectrumInput& in) const;
    void reloadCalibrationForMode();
    void ensureCalibrationFits();
    void rememberCalibration(AnalysisMode m, const std::string& path);
    void forgetGoneCalibration(AnalysisMode m);
    void applyChoice(const AnalysisChoice& c, AnalysisMode mode, const SpectrumInput& in);

    SettingsTree& settings_;
    Prompter& prompter_;
    int32_t& smoothing_;
    std::string& micCalData_;
    const bool& warnCal_;
    SpectrumInput lastInput_;
    bool haveInput_ = false;
    std::optional<AnalysisChoice> pendingChoice_;
    std::string pendingStartOverlay_;  // "OVERLAY FILE", loaded with the first spectrum
    std::string pendingMic_;           // "MIC CAL DATA", loaded with the first spectrum
    // FFT size and rate each mode's calibration was read for (SMOOTH: size 0).
    std::array<std::pair<int, double>, 2> calLoadedFor_{};
    std::vector<SmoothRecord> traceCorrection_;
    SpectrumComputer noiseComputer_;
    bool haveNoise_ = false;
    int noisePeriods_ = 0;
};

}  // namespace fim
