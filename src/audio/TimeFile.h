#pragma once
// Time files (".mtf"): a flat sequence of little-endian 8-byte doubles, the sample rate in Hz
// followed by the impulse-response samples. A measurement of order n is stored as 2^n samples,
// so its file has 2^n + 1 records.
//
// The reader refuses what cannot be a time file (the loaded response must never be replaced by
// garbage): fewer than two records, a size that is not a whole number of records, or a rate that
// is not finite or lies outside 1000 … 65535 Hz once rounded to whole Hz (half to even), or a
// sample that is not finite (it would poison every spectrum and scale drawn from it). A file
// with more samples than the caller's capacity is read up to that capacity, like a long WAVE file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/ByteSource.h"

namespace fim {

enum class TimeFileStatus {
    Ok,
    CannotOpen,  // missing, unreadable or not a regular file
    TooShort,    // fewer than two records
    BadSize,     // size not a multiple of 8
    BadRate,     // rate not finite, or outside 1000 … 65535 Hz after rounding
    BadValue,    // a sample read is not finite
    ReadFailed,  // the file ended or failed while reading
};

struct TimeFileData {
    uint16_t sampleRate = 0;
    std::vector<double> samples;  // at most the capacity given to the reader
    uint64_t samplesInFile = 0;   // records − 1
    bool Truncated() const { return samples.size() < samplesInFile; }
};

constexpr uint32_t kTimeFileMinRate = 1000;
constexpr uint32_t kTimeFileMaxRate = 65535;

TimeFileStatus ReadTimeFile(const std::string& path, TimeFileData& out,
                            std::size_t maxSamples = 262144);
TimeFileStatus ReadTimeFile(ByteSource& source, TimeFileData& out, std::size_t maxSamples = 262144);

// Writes `sampleRate` and `count` samples; the old file at `path` is replaced only when the new
// one is complete. False (with `error`) on failure.
bool WriteTimeFile(const std::string& path, double sampleRate, const double* samples,
                   std::size_t count, std::string* error = nullptr);

// A short English description of a status, for fimtool's one-line refusals.
const char* TimeFileStatusText(TimeFileStatus status);

}  // namespace fim
