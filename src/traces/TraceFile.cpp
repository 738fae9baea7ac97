#include "traces/TraceFile.h"

#include "core/AtomicFile.h"

#include <bit>
#include <cmath>
#include <fstream>

namespace fim {

namespace {

double GetDouble(std::span<const uint8_t> b, std::size_t at) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    return std::bit_cast<double>(v);
}

void PutDouble(std::vector<uint8_t>& b, double d) {
    uint64_t v = std::bit_cast<uint64_t>(d);
    for (int i = 0; i < 8; ++i) {
        b.push_back(static_cast<uint8_t>(v & 0xFF));
        v >>= 8;
    }
}

}  // namespace

std::optional<TraceFileData> ParseTraceFile(std::span<const uint8_t> bytes) {
    if (bytes.size() != kTraceFileBytes) return std::nullopt;
    TraceFileData d;
    d.LowFrequencyLimit = GetDouble(bytes, 0);
    d.SampleRate = GetDouble(bytes, 8);
    const double version = GetDouble(bytes, 16);
    if (version != 2.0) return std::nullopt;
    if (!std::isfinite(d.LowFrequencyLimit) || !std::isfinite(d.SampleRate)) return std::nullopt;
    double sum = 0.0;
    int count = 0;
    for (std::size_t i = 0; i < d.Records.size(); ++i) {
        const std::size_t at = kTraceRecordBytes * (i + 1);
        SmoothRecord& r = d.Records[i];
        r.Frequency = GetDouble(bytes, at);
        r.Magnitude = GetDouble(bytes, at + 8);
        r.Phase = GetDouble(bytes, at + 16);
        if (!std::isfinite(r.Frequency) || !std::isfinite(r.Magnitude) || !std::isfinite(r.Phase)) {
            return std::nullopt;
        }
        if (d.LowFrequencyLimit < r.Frequency && r.Frequency < kTraceReferenceTop) {
            sum += r.Magnitude;
            ++count;
        }
    }
    if (count == 0) return std::nullopt;
    d.OwnReference = sum / count;
    if (!std::isfinite(d.OwnReference)) return std::nullopt;
    return d;
}

std::vector<uint8_t> EncodeTraceFile(double lowFrequencyLimit, double sampleRate,
                                     const SmoothSpectrum& records) {
    std::vector<uint8_t> b;
    b.reserve(kTraceFileBytes);
    PutDouble(b, lowFrequencyLimit);
    PutDouble(b, sampleRate);
    PutDouble(b, 2.0);
    for (const SmoothRecord& r : records) {
        PutDouble(b, r.Frequency);
        PutDouble(b, r.Magnitude);
        PutDouble(b, r.Phase);
    }
    return b;
}

std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> bytes(limit + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) return std::nullopt;
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

bool WriteTraceFile(const std::string& path, double lowFrequencyLimit, double sampleRate,
                    const SmoothSpectrum& records) {
    const auto bytes = EncodeTraceFile(lowFrequencyLimit, sampleRate, records);
    return WriteFileAtomically(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace fim
