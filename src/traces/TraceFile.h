#pragma once
// The stored-trace file: the SMOOTH spectrum layout of 24-byte records of three little-endian
// doubles. Record 0 is the header {lowest valid frequency, sample rate, format version 2.0},
// records 1 … 295 the SMOOTH spectrum including its end marker; always 7104 bytes.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/SpectrumTypes.h"

namespace fim {

constexpr std::size_t kTraceRecordBytes = 24;
constexpr std::size_t kTraceFileBytes = kTraceRecordBytes * (kSmoothRecords + 1);  // 7104

// Magnitudes of records strictly between these frequencies make a trace's own level reference.
constexpr double kTraceReferenceTop = 23000.0;

using SmoothSpectrum = std::array<SmoothRecord, kSmoothRecords>;

struct TraceFileData {
    double LowFrequencyLimit = 0.0;
    double SampleRate = 0.0;
    SmoothSpectrum Records{};
    // Mean magnitude of the records with LowFrequencyLimit < f < 23000 Hz.
    double OwnReference = 0.0;
};

// Checks and decodes the bytes of a trace file (the SMOOTH spectrum reader's checks) and computes
// its level reference. Refused (nullopt): a size other than 7104 bytes, a version other than 2.0,
// a value that is not finite, a sample rate that is not positive, or no record between the lowest
// valid frequency and 23000 Hz (the trace would have no level reference).
std::optional<TraceFileData> ParseTraceFile(std::span<const uint8_t> bytes);

// The 7104 bytes of a trace file.
std::vector<uint8_t> EncodeTraceFile(double lowFrequencyLimit, double sampleRate,
                                     const SmoothSpectrum& records);

// Reads a whole file (at most `limit` bytes plus one, so an oversized file is noticed);
// nullopt when it cannot be read.
std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path, std::size_t limit);

// Writes a trace file; the old file is replaced only by a complete new one.
bool WriteTraceFile(const std::string& path, double lowFrequencyLimit, double sampleRate,
                    const SmoothSpectrum& records);

}  // namespace fim
