#pragma once
// The binary spectrum layouts (little-endian doubles, no padding), read and written field by
// field:
//   16-byte records ("*.cal" FFT calibration, "*.MFR" FFT spectrum):
//     {lowest valid frequency, version 2.0}, {FFT size N, sample rate}, then N/2 bins
//     {magnitude, phase} for bins 0 … N/2 − 1.
//   24-byte records ("*.csm" SMOOTH calibration, "*.SMR" SMOOTH spectrum):
//     {lowest valid frequency, sample rate, version 2.0}, then 295 {frequency, magnitude, phase}.
//   "*.SMC" microphone correction: 295 records of three doubles; record 0's first value is the
//     sample rate, records 1 … 294 {frequency, correction dB, phase correction rad}.
// Readers refuse (and report why) files of the wrong size, a version other than 2.0 (older
// layouts are not known), an FFT size that is no power of two from 128 to 65536, or values that
// are not finite; a refused file yields nothing.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/ByteSource.h"
#include "core/SpectrumTypes.h"

namespace fim {

constexpr double kSpectrumFileVersion = 2.0;
constexpr std::size_t kSmoothFileBytes = 24 * std::size_t{kSmoothRecords + 1};  // 7104
constexpr std::size_t kMicFileBytes = 24 * std::size_t{kSmoothRecords};         // 7080
constexpr int kMinFileFftSize = 128;
constexpr int kMaxFileFftSize = 65536;

enum class SpectrumFileStatus {
    Ok,
    CannotOpen,  // missing, unreadable or not a regular file
    BadSize,     // too short, or its size does not fit its header
    BadVersion,  // version field is not 2.0
    BadFftSize,  // FFT size field is no power of two from 128 to 65536
    BadValue,    // a value is not finite (or a rate is not positive)
};

struct FftSpectrumFile {
    double lowestFrequency = 0.0;
    int fftSize = 0;
    double sampleRate = 0.0;
    std::vector<SpectrumRecord> bins;  // fftSize / 2
};

struct SmoothSpectrumFile {
    double lowestFrequency = 0.0;
    double sampleRate = 0.0;
    std::array<SmoothRecord, kSmoothRecords> records{};
};

// The microphone correction: correction record i + 1 corrects SMOOTH record i (i = 0 … 293);
// the end marker has no correction.
struct MicCorrection {
    double sampleRate = 0.0;
    struct Entry {
        double frequency = 0.0;
        double db = 0.0;
        double phase = 0.0;
    };
    std::array<Entry, kSmoothRecords - 1> entries{};
};

SpectrumFileStatus ParseFftSpectrum(ByteSource& source, FftSpectrumFile& out);
SpectrumFileStatus ParseSmoothSpectrum(ByteSource& source, SmoothSpectrumFile& out);
SpectrumFileStatus ParseMicCorrection(ByteSource& source, MicCorrection& out);
SpectrumFileStatus ReadFftSpectrum(const std::string& path, FftSpectrumFile& out);
SpectrumFileStatus ReadSmoothSpectrum(const std::string& path, SmoothSpectrumFile& out);
SpectrumFileStatus ReadMicCorrection(const std::string& path, MicCorrection& out);

// Writers: the old file is replaced only when the new one is complete. False (with `error`) on
// failure. WriteFftSpectrumFile writes `fftSize / 2` bins from `bins`.
bool WriteFftSpectrumFile(const std::string& path, double lowestFrequency, int fftSize,
                          double sampleRate, const SpectrumRecord* bins,
                          std::string* error = nullptr);
// `mic`, when given, is applied to the written records (magnitude × 10^(−dB/20), phase − phase
// correction); the end marker is written uncorrected.
bool WriteSmoothSpectrumFile(const std::string& path, double lowestFrequency, double sampleRate,
                             const SmoothRecord* records, const MicCorrection* mic = nullptr,
                             std::string* error = nullptr);
bool WriteMicCorrection(const std::string& path, const MicCorrection& mic,
                        std::string* error = nullptr);

// Applies a microphone correction to 295 SMOOTH records in place (the end marker stays).
void ApplyMicCorrection(const MicCorrection& mic, SmoothRecord* records);

const char* SpectrumFileStatusText(SpectrumFileStatus status);

}  // namespace fim
