#include "audio/WaveFile.h"

#include <algorithm>
#include <cstring>

namespace fim {

int WaveStatusMessage(WaveStatus status) {
    switch (status) {
        case WaveStatus::NoWaveChunk:
            return 26;
        case WaveStatus::NoFmtChunk:
            return 27;
        case WaveStatus::NoDataChunk:
            return 28;
        case WaveStatus::NotPcm:
            return 17;
        case WaveStatus::Not16Bit:
            return 19;
        default:
            return -1;
    }
}

WaveStatus WaveReader::Open(const std::string& path) {
    file_ = std::make_unique<FileSource>();
    if (!file_->Open(path)) {
        file_.reset();
        source_ = nullptr;
        riff_.reset();
        format_ = {};
        data_.reset();
        return WaveStatus::CannotOpen;
    }
    FileSource* owned = file_.get();
    const WaveStatus status = Open(*owned);
    return status;
}

WaveStatus WaveReader::Open(ByteSource& source) {
    if (file_ && file_.get() != &source) file_.reset();
    source_ = &source;
    riff_.emplace(source);
    format_ = {};
    data_.reset();

    const auto wave = riff_->DescendRiff("WAVE");
    if (!wave) return WaveStatus::NoWaveChunk;
    const auto fmt = riff_->Descend(*wave, "fmt ");
    if (!fmt) return WaveStatus::NoFmtChunk;
    unsigned char f[40] = {};
    const std::size_t got = riff_->Read(*fmt, 0, f, sizeof f);
    if (got < 16) return WaveStatus::NoFmtChunk;
    format_.formatTag = LoadU16(f);
    format_.channels = LoadU16(f + 2);
    format_.sampleRate = LoadU32(f + 4);
    format_.byteRate = LoadU32(f + 8);
    format_.blockAlign = LoadU16(f + 12);
    format_.bitsPerSample = LoadU16(f + 14);
    // Extensible: cbSize ≥ 22, the sub-format GUID at 24 starts with the PCM tag 0x0001 and ends
    // with the standard suffix.
    static const unsigned char kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (format_.formatTag == 0xFFFE && got >= 40 && LoadU16(f + 16) >= 22 && LoadU16(f + 24) == 1 &&
        std::memcmp(f + 26, kGuidTail, 14) == 0) {
        format_.extensiblePcm = true;
    }
    if (format_.channels == 0) return WaveStatus::NoFmtChunk;
    data_ = riff_->Descend(*wave, "data");
    return WaveStatus::Ok;
}

uint64_t WaveReader::FrameCount() const {
    if (!data_ || format_.channels == 0) return 0;
    const uint64_t bytesPerSample = (format_.bitsPerSample + 7u) / 8u;
    if (bytesPerSample == 0) return 0;
    return data_->size / (bytesPerSample * format_.channels);
}

std::size_t WaveReader::ReadFrames16(uint64_t first, int16_t* dst, std::size_t frames) {
    if (!data_ || !source_ || !format_.IsPcm() || format_.bitsPerSample != 16) return 0;
    const uint64_t total = FrameCount();
    if (first >= total) return 0;
    frames = static_cast<std::size_t>(std::min<uint64_t>(frames, total - first));
    const std::size_t perFrame = format_.channels;
    // Read in blocks and convert from little-endian byte by byte.
    unsigned char block[8192];
    const std::size_t framesPerBlock = std::max<std::size_t>(1, sizeof block / (2 * perFrame));
    if (2 * perFrame > sizeof block) return 0;  // absurd channel counts: nothing sensible to do
    std::size_t done = 0;
    while (done < frames) {
        const std::size_t n = std::min(framesPerBlock, frames - done);
        const std::size_t bytes = n * perFrame * 2;
        const std::size_t got = riff_->Read(*data_, (first + done) * perFrame * 2, block, bytes);
        const std::size_t whole = got / (perFrame * 2);
        for (std::size_t i = 0; i < whole * perFrame; ++i) {
            dst[done * perFrame + i] = static_cast<int16_t>(LoadU16(block + 2 * i));
        }
        done += whole;
        if (got < bytes) break;
    }
    return done;
}

WaveStatus ReadWave16(ByteSource& source, WaveData& out, uint64_t maxFrames) {
    WaveReader reader;
    WaveStatus status = reader.Open(source);
    if (status != WaveStatus::Ok) return status;
    if (!reader.Format().IsPcm()) return WaveStatus::NotPcm;
    if (reader.Format().bitsPerSample != 16) return WaveStatus::Not16Bit;
    if (!reader.HasData()) return WaveStatus::NoDataChunk;
    WaveData data;
    data.format = reader.Format();
    data.framesInFile = reader.FrameCount();
    const uint64_t frames = std::min(maxFrames, data.framesInFile);
    data.samples.resize(static_cast<std::size_t>(frames) * data.format.channels);
    const std::size_t got =
        reader.ReadFrames16(0, data.samples.data(), static_cast<std::size_t>(frames));
    data.samples.resize(got * data.format.channels);
    out = std::move(data);
    return WaveStatus::Ok;
}

WaveStatus ReadWave16(const std::string& path, WaveData& out, uint64_t maxFrames) {
    FileSource file;
    if (!file.Open(path)) return WaveStatus::CannotOpen;
    return ReadWave16(file, out, maxFrames);
}

bool WriteWaveHeader(AtomicFile& file, uint32_t sampleRate, uint32_t count, uint32_t extraBytes,
                     uint16_t bitsPerSample, uint16_t channels) {
    const uint32_t align = static_cast<uint32_t>(bitsPerSample) * channels / 8u;
    return file.Write("RIFF") && file.WriteU32(align * count + 36u + extraBytes) &&
           file.Write("WAVE") && file.Write("fmt ") && file.WriteU32(16) && file.WriteU16(1) &&
           file.WriteU16(channels) && file.WriteU32(sampleRate) &&
           file.WriteU32(sampleRate * align) && file.WriteU16(static_cast<uint16_t>(align)) &&
           file.WriteU16(bitsPerSample) && file.Write("data") && file.WriteU32(count * align);
}

bool WriteWave16(const std::string& path, uint32_t sampleRate, int channels,
                 const int16_t* interleaved, std::size_t frames, std::string* error) {
    // The RIFF size field is 32 bits: refuse what it cannot describe.
    if ((channels != 1 && channels != 2) || sampleRate == 0 ||
        frames > (0xFFFFFFFFull - 36u) / (2u * static_cast<unsigned>(channels)) ||
        (frames && !interleaved)) {
        if (error) *error = "cannot write " + path + ": unsupported wave layout";
        return false;
    }
    AtomicFile file;
    bool ok = file.Open(path) && WriteWaveHeader(file, sampleRate, static_cast<uint32_t>(frames), 0,
                                                 16, static_cast<uint16_t>(channels));
    const std::size_t values = frames * static_cast<std::size_t>(channels);
    unsigned char block[8192];
    for (std::size_t i = 0; ok && i < values;) {
        const std::size_t n = std::min<std::size_t>(sizeof block / 2, values - i);
        for (std::size_t j = 0; j < n; ++j) {
            const auto v = static_cast<uint16_t>(interleaved[i + j]);
            block[2 * j] = static_cast<unsigned char>(v & 0xFF);
            block[2 * j + 1] = static_cast<unsigned char>(v >> 8);
        }
        ok = file.Write(block, 2 * n);
        i += n;
    }
    ok = ok && file.Commit();
    if (!ok && error) *error = file.Error();
    return ok;
}

}  // namespace fim
