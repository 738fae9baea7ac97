#include "traces/TraceFile.h"

#include <bit>
#include <cmath>
#include <fstream>

#include "base/ByteSource.h"
#include "spectrum/SpectrumFiles.h"

namespace fim {

namespace {

void PutDouble(std::vector<uint8_t>& b, double d) {
    uint64_t v = std::bit_cast<uint64_t>(d);
    for (int i = 0; i < 8; ++i) {
        b.push_back(static_cast<uint8_t>(v & 0xFF));
        v >>= 8;
    }
}

}  // namespace

std::optional<TraceFileData> ParseTraceFile(std::span<const uint8_t> bytes) {
    MemorySource source(bytes.data(), bytes.size());
    SmoothSpectrumFile file;
    if (ParseSmoothSpectrum(source, file) != SpectrumFileStatus::Ok) return std::nullopt;
    TraceFileData d;
    d.LowFrequencyLimit = file.lowestFrequency;
    d.SampleRate = file.sampleRate;
    d.Records = file.records;
    double sum = 0.0;
    int count = 0;
    for (const SmoothRecord& r : d.Records) {
        if (d.LowFrequencyLimit < r.Frequency && r.Frequency < kTraceReferenceTop) {
            sum += r.Magnitude;
            ++count;
        }
    }
    // A trace needs a level reference: no record in range is a refusal, not a division by 0.
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
    return WriteSmoothSpectrumFile(path, lowFrequencyLimit, sampleRate, records.data());
}

}  // namespace fim
