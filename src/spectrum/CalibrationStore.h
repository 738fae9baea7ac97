#pragma once
// The frequency window's file-backed state: the calibration of each analysis mode, the microphone
// correction, the overlay, the recent calibration and overlay lists, quick saves and presets. The
// window drives it and paints from it; every refusal is shown through the Prompter in the
// program's words, and a refused file leaves the loaded data as it was (a size or rate mismatch
// also takes calibration out of use, since it no longer fits the measurement).

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/RecentList.h"
#include "settings/SettingsTree.h"
#include "shell/Prompter.h"
#include "spectrum/SpectrumFiles.h"
#include "spectrum/SpectrumTypes.h"

namespace fim {

// A display spectrum as the window holds it, for writing a spectrum file.
struct DisplaySpectrum {
    AnalysisMode mode = AnalysisMode::Fft;
    double lowestFrequency = 0.0;
    int fftSize = 0;  // FFT mode
    double sampleRate = 0.0;
    const SpectrumRecord* bins = nullptr;   // FFT mode: fftSize / 2 records
    const SmoothRecord* records = nullptr;  // SMOOTH mode: 295 records
};

class CalibrationStore {
  public:
    explicit CalibrationStore(Prompter& prompter) : prompter_(prompter) {}

    // --- calibration ---
    // Loads an FFT-mode calibration for the given FFT size and rate. A file of another size or
    // rate shows messages 35/34 (when `showMessages`) and takes FFT calibration out of use.
    bool LoadFftCalibration(const std::string& path, int fftSize, double sampleRate,
                            bool showMessages = true);
    // Loads a SMOOTH-mode calibration for the given rate; another rate shows message 38 with
    // both rates and takes SMOOTH calibration out of use.
    bool LoadSmoothCalibration(const std::string& path, double sampleRate);
    // Loads by extension (".cal" FFT, ".csm" SMOOTH), as macros and the recent list do.
    bool LoadCalibrationFile(const std::string& path, int fftSize, double sampleRate);
    // The "Cal File Misfit" warning (WCAL): off, a calibration of another FFT size or rate is
    // refused without its box.
    bool warnMisfit = true;
    // The last load failed because its file no longer exists.
    bool LastFileMissing() const { return lastFileMissing_; }

    bool CalibrationLoaded(AnalysisMode m) const { return cal_[Index(m)].loaded; }
    bool CalibrationInUse(AnalysisMode m) const { return cal_[Index(m)].inUse; }
    // Toggles use (only while a calibration of the mode is loaded); returns the new state.
    bool ToggleUseCalibration(AnalysisMode m);
    void SetUseCalibration(AnalysisMode m, bool use) {
        cal_[Index(m)].inUse = use && cal_[Index(m)].loaded;
    }
    const std::string& CalibrationName(AnalysisMode m) const { return cal_[Index(m)].name; }
    const std::string& CalibrationPath(AnalysisMode m) const { return cal_[Index(m)].path; }
    double CalibrationLowestFrequency() const { return calLowest_; }
    const std::vector<SpectrumRecord>& FftCalibration() const { return fftCal_; }
    const std::array<SmoothRecord, kSmoothRecords>& SmoothCalibration() const { return smoothCal_; }
    // "NO CAL LOADED", or message 45 + name + message 46.
    std::string UseCalCaption(AnalysisMode m) const;

    // SAVE AS CAL: writes the raw spectrum with the writer of its mode (SMOOTH: with the
    // microphone correction when it applies) and, when no calibration of the mode was loaded
    // yet, loads the new file as the calibration. The path joins the recent list.
    bool SaveAsCalibration(const std::string& path, const DisplaySpectrum& raw);

    // --- microphone correction ---
    bool LoadMicCorrection(const std::string& path);
    // Sets a correction built elsewhere.
    void SetMicCorrection(const MicCorrection& mic, const std::string& path);
    // Imports a microphone-calibration text file onto the frequencies of the SMOOTH records
    // (295, as the spectrum engine lays them out for `sampleRate`); its sensitivity line, if
    // any, is kept in MicSensitivity(). A text without points is refused with a box.
    bool ImportMicCalText(const std::string& path, const SmoothRecord* smoothRecords,
                          double sampleRate);
    const std::optional<double>& MicSensitivity() const { return micSensitivity_; }
    bool MicLoaded() const { return micLoaded_; }
    const MicCorrection& Mic() const { return mic_; }
    const std::string& MicPath() const { return micPath_; }
    bool micApplied = false;  // the "Aply mic correction" button
    // True when the button is down and the correction was made for this rate.
    bool MicCorrectionApplies(double sampleRate) const;

    // --- spectrum files, overlay, quick saves, presets ---
    // Writes the display spectrum (SMOOTH: with the microphone correction when it applies); the
    // file joins the recent overlays. False (with message 39) when the write failed.
    bool SaveSpectrum(const std::string& path, const DisplaySpectrum& spectrum);
    // "Quicky<slot>.MFR"/"Quicky<slot>.SMR" in `folder`; stores the path as "QSAVE<slot>".
    bool QuickSave(int slot, const std::string& folder, const DisplaySpectrum& spectrum,
                   SettingsTree& settings);
    // Loads the file last quick-saved to the slot as overlay and shows it; nothing when the slot
    // was never written.
    bool OverlayQuickSave(int slot, const SettingsTree& settings, double sampleRate);
    static const std::vector<std::string>& PresetNames();
    // The first of `folders` that holds a "templatch" folder, as that folder; empty when none
    // does.
    static std::string PresetFolderToOffer(const std::vector<std::string>& folders);
    // <folder>/templatch/<name>.mfr or .SMR (the folder is created when missing).
    static std::string PresetPath(const std::string& folder, const std::string& name,
                                  AnalysisMode mode);
    bool SavePreset(const std::string& folder, const std::string& name,
                    const DisplaySpectrum& spectrum);

    struct Overlay {
        bool loaded = false;
        int kind = 0;  // 0 = from "*.MFR", 1 = from "*.SMR"
        int fftSize = 0;
        double lowestFrequency = 0.0;  // whole Hz
        double levelReference = 0.0;
        std::string name = "nix";
        std::string path;
        std::vector<SpectrumRecord> bins;                    // kind 0
        std::array<SmoothRecord, kSmoothRecords> records{};  // kind 1
        bool shown = false;
        bool inverted = false;
        int gainDb = 0;
    };
    // Loads an overlay by extension (".MFR"/".SMR" in any case). Failure (other extension, rate
    // mismatch of an "*.MFR", damaged file, no level reference) takes the overlay away.
    bool LoadOverlay(const std::string& path, double sampleRate);
    const Overlay& CurrentOverlay() const { return overlay_; }
    Overlay& CurrentOverlay() { return overlay_; }
    // "OVERLAY: " + name, or message 42.
    std::string OverlayCaption() const;

    RecentList recentCalibrations{8, RecentList::Policy::MoveToTop};  // tag = AnalysisMode
    RecentList recentOverlays{8, RecentList::Policy::MoveToTop};
    std::string lastSavedSpectrum;

  private:
    struct Cal {
        bool loaded = false;
        bool inUse = false;
        std::string name;
        std::string path;
    };
    static int Index(AnalysisMode m) { return m == AnalysisMode::Smooth ? 1 : 0; }
    void Disable(AnalysisMode m);
    bool RefuseDamaged(const std::string& path, SpectrumFileStatus status);
    bool lastFileMissing_ = false;
    void DropOverlay();
    bool WriteSpectrum(const std::string& path, const DisplaySpectrum& s);

    Prompter& prompter_;
    std::array<Cal, 2> cal_{};
    double calLowest_ = 0.0;
    std::vector<SpectrumRecord> fftCal_;
    std::array<SmoothRecord, kSmoothRecords> smoothCal_{};
    MicCorrection mic_{};
    bool micLoaded_ = false;
    std::string micPath_;
    std::optional<double> micSensitivity_;
    Overlay overlay_;
};

}  // namespace fim
