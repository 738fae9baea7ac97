// fimtool info FILE: a JSON description of any file the program reads, chosen by extension:
// time files (.mtf), WAVE (.wav), FFT calibrations and spectra (.cal, .mfr), SMOOTH calibrations,
// spectra and traces (.csm, .smr), microphone corrections (.smc) and microphone-calibration
// texts (.txt, .csv, .frd). Binary spectra and calibrations report their header fields, record
// count, frequency range and the level range and peak of their valid records; damaged files are
// refused as the program's readers refuse them.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "audio/TimeFile.h"
#include "audio/WaveFile.h"
#include "base/Catalog.h"
#include "base/FileTexts.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "spectrum/MicCalText.h"
#include "spectrum/SpectrumFiles.h"

namespace fim::cli {

namespace {

// File refusals are the program's own file messages, without the command's name.
int Refuse(const std::string& text) { return cli::Refuse({}, text); }

std::string SpectrumRefusal(SpectrumFileStatus s) {
    switch (s) {
        case SpectrumFileStatus::CannotOpen:
            return FileMessage(FileText::CannotRead);
        case SpectrumFileStatus::BadVersion:
            return FileMessage(FileText::WrongVersion);
        default:
            return FileMessage(FileText::DamagedFile);
    }
}

template <typename T>
void AddPeak(JsonObject& json, const std::vector<T>& samples) {
    double peak = 0.0;
    std::size_t index = 0;
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const double v = std::fabs(static_cast<double>(samples[k]));
        if (v > peak) {
            peak = v;
            index = k + 1;
        }
    }
    json.Add("peak_index", static_cast<int64_t>(index));
    json.Add("peak_value", peak);
}

// `v` rounded to 1/`scale` (half to even), so figures print short.
double Rounded(double v, double scale) { return std::nearbyint(v * scale) / scale; }

// Levels of a spectrum as the frequency window draws a stored one: 20·log10 of the magnitude
// against the mean magnitude of the valid records. Records of magnitude 0 have no level.
class LevelRange {
  public:
    void Add(double frequency, double magnitude) {
        sum_ += magnitude;
        ++count_;
        if (!(magnitude > 0.0)) return;
        if (magnitude > max_) max_ = magnitude, peakFrequency_ = frequency;
        if (magnitude < min_) min_ = magnitude;
    }
    void Report(JsonObject& j) const {
        j.Add("valid_records", static_cast<int64_t>(count_));
        if (count_ == 0 || !(max_ > 0.0)) return;
        const double reference = sum_ / double(count_);
        j.Add("level_reference", reference);
        j.Add("level_min_db", Rounded(20.0 * std::log10(min_ / reference), 100));
        j.Add("level_max_db", Rounded(20.0 * std::log10(max_ / reference), 100));
        j.Add("peak_frequency", Rounded(peakFrequency_, 100));
    }

  private:
    double sum_ = 0.0;
    std::size_t count_ = 0;
    double min_ = std::numeric_limits<double>::infinity(), max_ = 0.0;
    double peakFrequency_ = 0.0;
};

int InfoTime(const std::string& path) {
    TimeFileData d;
    const TimeFileStatus s = ReadTimeFile(path, d);
    if (s == TimeFileStatus::CannotOpen || s == TimeFileStatus::ReadFailed) {
        return Refuse(FileMessage(FileText::CannotRead));
    }
    if (s == TimeFileStatus::BadRate) return Refuse(FileMessage(FileText::BadTimeFileRate));
    if (s == TimeFileStatus::BadValue) return Refuse(FileMessage(FileText::DamagedFile));
    if (s != TimeFileStatus::Ok) return Refuse(FileMessage(FileText::NotATimeFile));
    JsonObject j;
    j.Add("kind", "time");
    j.Add("sample_rate", d.sampleRate);
    j.Add("samples", static_cast<int64_t>(d.samples.size()));
    if (d.Truncated()) j.Add("samples_in_file", static_cast<int64_t>(d.samplesInFile));
    j.Add("duration_ms", Rounded(double(d.samplesInFile) * 1000.0 / d.sampleRate, 100));
    AddPeak(j, d.samples);
    j.Print();
    return 0;
}

int InfoWave(const std::string& path) {
    WaveData w;
    const WaveStatus s = ReadWave16(path, w, 262144);
    if (s == WaveStatus::CannotOpen) return Refuse(FileMessage(FileText::CannotRead));
    if (s == WaveStatus::NotPcm) return Refuse(Msg(17) + ": " + Msg(16));
    if (s == WaveStatus::Not16Bit) return Refuse(Msg(19) + ": " + Msg(18));
    if (s != WaveStatus::Ok) return Refuse(Msg(WaveStatusMessage(s)));
    JsonObject j;
    j.Add("kind", "wave");
    j.Add("sample_rate", static_cast<int64_t>(w.format.sampleRate));
    j.Add("channels", static_cast<int64_t>(w.format.channels));
    j.Add("samples", static_cast<int64_t>(w.framesInFile));
    if (w.format.channels == 1) AddPeak(j, w.samples);  // the first 262144, as loaded
    j.Print();
    return 0;
}

int InfoFft(const std::string& path, const char* kind) {
    FftSpectrumFile f;
    const SpectrumFileStatus s = ReadFftSpectrum(path, f);
    if (s != SpectrumFileStatus::Ok) return Refuse(SpectrumRefusal(s));
    JsonObject j;
    j.Add("kind", kind);
    j.Add("version", kSpectrumFileVersion);
    j.Add("fft_size", f.fftSize);
    j.Add("sample_rate", f.sampleRate);
    j.Add("lowest_frequency", f.lowestFrequency);
    j.Add("records", static_cast<int64_t>(f.bins.size()));
    // Bin k lies at k·rate/N; the valid bins start at the lowest valid frequency.
    const double width = f.sampleRate / f.fftSize;
    j.Add("bin_width", Rounded(width, 1e4));
    j.Add("highest_frequency", Rounded(double(f.bins.size() - 1) * width, 100));
    LevelRange levels;
    const auto first =
        static_cast<std::size_t>(std::max(0.0, std::nearbyint(f.lowestFrequency / width)));
    for (std::size_t k = first; k < f.bins.size(); ++k) {
        levels.Add(double(k) * width, f.bins[k].Magnitude);
    }
    levels.Report(j);
    j.Print();
    return 0;
}

int InfoSmooth(const std::string& path, const char* kind) {
    SmoothSpectrumFile f;
    const SpectrumFileStatus s = ReadSmoothSpectrum(path, f);
    if (s != SpectrumFileStatus::Ok) return Refuse(SpectrumRefusal(s));
    JsonObject j;
    j.Add("kind", kind);
    j.Add("version", kSpectrumFileVersion);
    j.Add("sample_rate", f.sampleRate);
    j.Add("lowest_frequency", f.lowestFrequency);
    j.Add("records", static_cast<int64_t>(f.records.size()));
    // The last record is the end marker; the frequency window's level reference takes the
    // records above the lowest valid frequency and below 23000 Hz.
    j.Add("first_frequency", Rounded(f.records.front().Frequency, 100));
    j.Add("last_frequency", Rounded(f.records[kSmoothRecords - 2].Frequency, 100));
    LevelRange levels;
    for (std::size_t k = 0; k + 1 < kSmoothRecords; ++k) {
        const SmoothRecord& r = f.records[k];
        if (r.Frequency > f.lowestFrequency && r.Frequency < 23000.0) {
            levels.Add(r.Frequency, r.Magnitude);
        }
    }
    levels.Report(j);
    j.Print();
    return 0;
}

int InfoMic(const std::string& path) {
    MicCorrection m;
    const SpectrumFileStatus s = ReadMicCorrection(path, m);
    if (s != SpectrumFileStatus::Ok) return Refuse(SpectrumRefusal(s));
    JsonObject j;
    j.Add("kind", "mic_correction");
    j.Add("sample_rate", m.sampleRate);
    j.Add("records", static_cast<int64_t>(kSmoothRecords));
    j.Add("lowest_frequency", Rounded(m.entries.front().frequency, 100));
    j.Add("highest_frequency", Rounded(m.entries.back().frequency, 100));
    double low = m.entries.front().db, high = low;
    for (const auto& e : m.entries) low = std::min(low, e.db), high = std::max(high, e.db);
    j.Add("correction_min_db", Rounded(low, 100));
    j.Add("correction_max_db", Rounded(high, 100));
    j.Print();
    return 0;
}

int InfoMicText(const std::string& path) {
    MicCalData d;
    const MicCalStatus s = ReadMicCalText(path, d);
    if (s == MicCalStatus::CannotOpen) return Refuse(FileMessage(FileText::CannotRead));
    if (s == MicCalStatus::TooLarge) return Refuse(FileMessage(FileText::DamagedFile));
    if (s != MicCalStatus::Ok) return Refuse(FileMessage(FileText::MicCalNoData));
    JsonObject j;
    j.Add("kind", "mic_calibration_text");
    j.Add("records", static_cast<int64_t>(d.points.size()));
    j.Add("lowest_frequency", d.points.front().frequency);
    j.Add("highest_frequency", d.points.back().frequency);
    j.Add("phase", d.hasPhase ? "true" : "false");
    if (d.sensitivity) j.Add("sensitivity", *d.sensitivity);
    j.Print();
    return 0;
}

}  // namespace

int RunInfo(const Args& args) {
    CommandLine a("info",
                  "A JSON description of any file the program reads, chosen by its "
                  "extension (.mtf .wav .cal .mfr .csm .smr .smc .txt .csv .frd). Spectrum and "
                  "calibration files: header fields, record count, frequency range, level range "
                  "(dB against the mean magnitude of the valid records) and peak; time files: "
                  "rate, length and peak.");
    a.Positional("FILE", "the file to describe");
    if (!a.Parse(args)) return a.HelpShown() ? 0 : Refuse(a.Error());
    if (a.Text("FILE").empty()) return Refuse("usage: fimtool info FILE");
    const std::string path = a.Text("FILE");
    const std::string ext = Extension(path);
    if (ext == "mtf") return InfoTime(path);
    if (ext == "wav") return InfoWave(path);
    if (ext == "cal") return InfoFft(path, "fft_calibration");
    if (ext == "mfr") return InfoFft(path, "fft_spectrum");
    if (ext == "csm") return InfoSmooth(path, "smooth_calibration");
    if (ext == "smr") return InfoSmooth(path, "smooth_spectrum");
    if (ext == "smc") return InfoMic(path);
    if (ext == "txt" || ext == "csv" || ext == "frd") return InfoMicText(path);
    return Refuse("unknown file type: " + path);
}

}  // namespace fim::cli
