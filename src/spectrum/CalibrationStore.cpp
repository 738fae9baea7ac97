#include "spectrum/CalibrationStore.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "base/Catalog.h"
#include "base/FileNames.h"
#include "base/FileTexts.h"
#include "base/MessageIds.h"
#include "spectrum/MicCalText.h"

namespace fim {

namespace {

std::string BaseName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// A rate as the boxes show it: whole numbers without decimals.
std::string RateText(double rate) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, rate, std::chars_format::fixed);
    return std::string(buf, r.ptr);
}

}  // namespace

void CalibrationStore::Disable(AnalysisMode m) {
    cal_[Index(m)].loaded = false;
    cal_[Index(m)].inUse = false;
}

bool CalibrationStore::RefuseDamaged(const std::string& path, SpectrumFileStatus status) {
    std::error_code ec;
    lastFileMissing_ =
        status == SpectrumFileStatus::CannotOpen && !std::filesystem::exists(path, ec);
    if (status == SpectrumFileStatus::CannotOpen) {
        prompter_.Inform(FileMessage(FileText::NotLoaded),
                         FileMessage(FileText::CannotRead) + "\r" + BaseName(path));
    } else {
        prompter_.Inform(
            FileMessage(FileText::NotLoaded),
            FileMessage(status == SpectrumFileStatus::BadVersion ? FileText::WrongVersion
                                                                 : FileText::DamagedFile) +
                "\r" + BaseName(path));
    }
    return false;
}

bool CalibrationStore::LoadFftCalibration(const std::string& path, int fftSize, double sampleRate,
                                          bool showMessages) {
    lastFileMissing_ = false;
    FftSpectrumFile file;
    const SpectrumFileStatus status = ReadFftSpectrum(path, file);
    if (status != SpectrumFileStatus::Ok) return RefuseDamaged(path, status);
    if (file.fftSize != fftSize || file.sampleRate != sampleRate) {
        if (showMessages && warnMisfit) {
            prompter_.Inform(Msg(kMsgCalSizeMismatch), Msg(kMsgCalWrongLength));
        }
        Disable(AnalysisMode::Fft);
        return false;
    }
    calLowest_ = file.lowestFrequency;
    fftCal_ = std::move(file.bins);
    Cal& c = cal_[Index(AnalysisMode::Fft)];
    c.loaded = true;
    c.name = BaseName(path);
    c.path = path;
    recentCalibrations.Add(path, static_cast<int>(AnalysisMode::Fft));
    return true;
}

bool CalibrationStore::LoadSmoothCalibration(const std::string& path, double sampleRate) {
    lastFileMissing_ = false;
    SmoothSpectrumFile file;
    const SpectrumFileStatus status = ReadSmoothSpectrum(path, file);
    if (status != SpectrumFileStatus::Ok) return RefuseDamaged(path, status);
    if (file.sampleRate != sampleRate) {
        if (warnMisfit) {
            prompter_.Inform(Msg(kMsgSampleRateProblem),
                             Msg(kMsgCalRecordedWith) + RateText(file.sampleRate) +
                                 Msg(kMsgMeasurementRate) + RateText(sampleRate));
        }
        Disable(AnalysisMode::Smooth);
        return false;
    }
    calLowest_ = file.lowestFrequency;
    smoothCal_ = file.records;
    Cal& c = cal_[Index(AnalysisMode::Smooth)];
    c.loaded = true;
    c.name = BaseName(path);
    c.path = path;
    recentCalibrations.Add(path, static_cast<int>(AnalysisMode::Smooth));
    return true;
}

bool CalibrationStore::LoadCalibrationFile(const std::string& path, int fftSize,
                                           double sampleRate) {
    const std::string ext = UpperExtension(path);
    if (ext == ".CSM") return LoadSmoothCalibration(path, sampleRate);
    return LoadFftCalibration(path, fftSize, sampleRate);
}

bool CalibrationStore::ToggleUseCalibration(AnalysisMode m) {
    Cal& c = cal_[Index(m)];
    if (c.loaded) c.inUse = !c.inUse;
    return c.inUse;
}

std::string CalibrationStore::UseCalCaption(AnalysisMode m) const {
    const Cal& c = cal_[Index(m)];
    if (!c.loaded) return "NO CAL LOADED";
    return Msg(kMsgUseCalBefore) + c.name + Msg(kMsgUseCalAfter);
}

bool CalibrationStore::WriteSpectrum(const std::string& path, const DisplaySpectrum& s) {
    std::string error;
    bool ok;
    if (s.mode == AnalysisMode::Fft) {
        ok = WriteFftSpectrumFile(path, s.lowestFrequency, s.fftSize, s.sampleRate, s.bins, &error);
    } else {
        ok = WriteSmoothSpectrumFile(path, s.lowestFrequency, s.sampleRate, s.records,
                                     MicCorrectionApplies(s.sampleRate) ? &mic_ : nullptr, &error);
    }
    if (!ok) prompter_.Inform(Msg(kMsgFileSaveError), FileMessage(FileText::CannotWrite) + path);
    return ok;
}

bool CalibrationStore::SaveAsCalibration(const std::string& path, const DisplaySpectrum& raw) {
    if (!WriteSpectrum(path, raw)) return false;
    if (!CalibrationLoaded(raw.mode)) {
        if (raw.mode == AnalysisMode::Fft) {
            LoadFftCalibration(path, raw.fftSize, raw.sampleRate);
        } else {
            LoadSmoothCalibration(path, raw.sampleRate);
        }
    }
    recentCalibrations.Add(path, static_cast<int>(raw.mode));
    return true;
}

bool CalibrationStore::LoadMicCorrection(const std::string& path) {
    MicCorrection mic;
    const SpectrumFileStatus status = ReadMicCorrection(path, mic);
    if (status != SpectrumFileStatus::Ok) return RefuseDamaged(path, status);
    SetMicCorrection(mic, path);
    return true;
}

bool CalibrationStore::ImportMicCalText(const std::string& path, const SmoothRecord* smoothRecords,
                                        double sampleRate) {
    MicCalData data;
    const MicCalStatus status = ReadMicCalText(path, data);
    if (status == MicCalStatus::CannotOpen) {
        return RefuseDamaged(path, SpectrumFileStatus::CannotOpen);
    }
    if (status != MicCalStatus::Ok) {
        prompter_.Inform(FileMessage(FileText::NotLoaded),
                         FileMessage(status == MicCalStatus::NoData ? FileText::MicCalNoData
                                                                    : FileText::DamagedFile) +
                             "\r" + BaseName(path));
        return false;
    }
    SetMicCorrection(BuildMicCorrection(data, smoothRecords, sampleRate), path);
    micSensitivity_ = data.sensitivity;
    return true;
}

void CalibrationStore::SetMicCorrection(const MicCorrection& mic, const std::string& path) {
    mic_ = mic;
    micLoaded_ = true;
    micPath_ = path;
}

bool CalibrationStore::MicCorrectionApplies(double sampleRate) const {
    return micApplied && micLoaded_ && mic_.sampleRate == sampleRate;
}

bool CalibrationStore::SaveSpectrum(const std::string& path, const DisplaySpectrum& spectrum) {
    if (!WriteSpectrum(path, spectrum)) return false;
    recentOverlays.Add(path);
    lastSavedSpectrum = path;
    return true;
}

bool CalibrationStore::QuickSave(int slot, const std::string& folder,
                                 const DisplaySpectrum& spectrum, SettingsTree& settings) {
    if (slot != 1 && slot != 2) return false;
    const std::string name =
        "Quicky" + std::to_string(slot) + (spectrum.mode == AnalysisMode::Fft ? ".MFR" : ".SMR");
    const std::string path = (std::filesystem::path(folder) / name).string();
    if (!WriteSpectrum(path, spectrum)) return false;
    recentOverlays.Add(path);
    settings.WriteString("QSAVE" + std::to_string(slot), path);
    return true;
}

bool CalibrationStore::OverlayQuickSave(int slot, const SettingsTree& settings, double sampleRate) {
    const auto path = settings.ReadString("QSAVE" + std::to_string(slot));
    if (!path || path->size() <= 4) return false;
    if (!LoadOverlay(*path, sampleRate)) return false;
    overlay_.shown = true;
    return true;
}

const std::vector<std::string>& CalibrationStore::PresetNames() {
    static const std::vector<std::string> names = {
        "PA Right",      "PA Left",      "Monitor Front", "Monitor Guitar",
        "Monitor Drums", "Monitor Solo", "Monitor Keys"};
    return names;
}

std::string CalibrationStore::PresetFolderToOffer(const std::vector<std::string>& folders) {
    for (const std::string& f : folders) {
        std::error_code ec;
        const auto folder = std::filesystem::path(f) / "templatch";
        if (!f.empty() && std::filesystem::is_directory(folder, ec)) return folder.string();
    }
    return {};
}

std::string CalibrationStore::PresetPath(const std::string& programFolder, const std::string& name,
                                         AnalysisMode mode) {
    const auto folder = std::filesystem::path(programFolder) / "templatch";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return (folder / (name + (mode == AnalysisMode::Fft ? ".mfr" : ".SMR"))).string();
}

bool CalibrationStore::SavePreset(const std::string& programFolder, const std::string& name,
                                  const DisplaySpectrum& spectrum) {
    const std::string path = PresetPath(programFolder, name, spectrum.mode);
    if (!WriteSpectrum(path, spectrum)) return false;
    recentOverlays.Add(path);
    return true;
}

void CalibrationStore::DropOverlay() {
    overlay_.loaded = false;
    overlay_.shown = false;
    overlay_.name = "nix";
}

bool CalibrationStore::LoadOverlay(const std::string& path, double sampleRate) {
    const std::string ext = UpperExtension(path);
    Overlay next = overlay_;
    if (ext == ".MFR") {
        FftSpectrumFile f;
        if (ReadFftSpectrum(path, f) != SpectrumFileStatus::Ok || f.sampleRate != sampleRate) {
            DropOverlay();
            return false;
        }
        next.kind = 0;
        next.fftSize = f.fftSize;
        next.lowestFrequency = std::nearbyint(f.lowestFrequency);
        const double binWidth = f.sampleRate / f.fftSize;
        const double first = std::nearbyint(next.lowestFrequency / binWidth);
        const std::size_t k0 =
            static_cast<std::size_t>(std::clamp(first, 0.0, static_cast<double>(f.bins.size())));
        double sum = 0.0;
        for (std::size_t k = k0; k < f.bins.size(); ++k) sum += f.bins[k].Magnitude;
        const std::size_t count = f.bins.size() - k0;
        next.levelReference = count ? sum / static_cast<double>(count) : 0.0;
        next.bins = std::move(f.bins);
    } else if (ext == ".SMR") {
        SmoothSpectrumFile f;
        if (ReadSmoothSpectrum(path, f) != SpectrumFileStatus::Ok) {
            DropOverlay();
            return false;
        }
        next.kind = 1;
        next.fftSize = 0;
        next.lowestFrequency = std::nearbyint(f.lowestFrequency);
        double sum = 0.0;
        int count = 0;
        for (const auto& r : f.records) {
            if (r.Frequency > next.lowestFrequency && r.Frequency < 23000.0) {
                sum += r.Magnitude;
                ++count;
            }
        }
        next.levelReference = count ? sum / count : 0.0;
        next.records = f.records;
        next.bins.clear();
    } else {
        DropOverlay();
        return false;
    }
    // Levels are drawn relative to this reference: without one the overlay cannot be drawn.
    if (!(next.levelReference > 0.0) || !std::isfinite(next.levelReference)) {
        DropOverlay();
        return false;
    }
    next.loaded = true;
    next.name = BaseName(path);
    next.path = path;
    overlay_ = std::move(next);
    recentOverlays.Add(path);
    return true;
}

std::string CalibrationStore::OverlayCaption() const {
    return overlay_.loaded ? "OVERLAY: " + overlay_.name : Msg(kMsgNoOverlay);
}

}  // namespace fim
