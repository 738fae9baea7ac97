#pragma once
// PCM WAVE files: reading the format and 16-bit samples through the RIFF walker, and writing
// 16-bit PCM files of one or two channels (complete-or-nothing, through AtomicFile).
//
// Reading, step by step (the order the impulse loader reports failures in):
//   WaveReader wav;
//   wav.Open(path)            -> CannotOpen / NoWaveChunk / NoFmtChunk / Ok
//   wav.Format()              channels, format tag, rate, bits: the caller decides what it takes
//   wav.HasData()             false when there is no "data" chunk
//   wav.FrameCount()          whole frames present (a data size larger than the file is cut)
//   wav.ReadFrames16(...)     interleaved 16-bit samples (16-bit PCM only)
// ReadWave16 does all of it at once for callers that want 16-bit PCM of any channel count.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/RiffReader.h"
#include "base/AtomicFile.h"
#include "base/ByteSource.h"

namespace fim {

struct WaveFormat {
    uint16_t formatTag = 0;  // 1 = PCM; 0xFFFE = extensible (see IsPcm)
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t byteRate = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    bool extensiblePcm = false;  // extensible format whose sub-format is PCM
    // Plain PCM, or the extensible form with a PCM sub-format (what 24-bit and multichannel
    // writers produce; its samples are the same integers).
    bool IsPcm() const { return formatTag == 1 || extensiblePcm; }
};

enum class WaveStatus {
    Ok,
    CannotOpen,   // missing, unreadable or not a regular file
    NoWaveChunk,  // no "RIFF" chunk of form "WAVE"
    NoFmtChunk,   // no "fmt " chunk, or one too short or without channels
    NoDataChunk,  // no "data" chunk
    NotPcm,       // format tag is not PCM
    Not16Bit,     // not 16 bits per sample
};

// The catalog message that names a status as a box caption: 26, 27, 28, 17, 19; -1 for Ok and
// CannotOpen (no catalog text).
int WaveStatusMessage(WaveStatus status);

class WaveReader {
  public:
    // Opens a file, or reads from a caller-owned source (which must outlive the reader).
    WaveStatus Open(const std::string& path);
    WaveStatus Open(ByteSource& source);

    const WaveFormat& Format() const { return format_; }
    bool HasData() const { return data_.has_value(); }
    // Bytes of the data chunk actually present in the file.
    uint64_t DataBytes() const { return data_ ? data_->size : 0; }
    // The data chunk's size as declared in its header.
    uint32_t DeclaredDataBytes() const { return data_ ? data_->declaredSize : 0; }
    // Whole frames present (channels × bytes per sample each); 0 without data.
    uint64_t FrameCount() const;
    // Reads up to `frames` frames of 16-bit PCM starting at frame `first` into `dst` (interleaved,
    // channels values per frame). Returns the frames read; 0 unless the format is 16-bit PCM.
    std::size_t ReadFrames16(uint64_t first, int16_t* dst, std::size_t frames);

  private:
    std::unique_ptr<FileSource> file_;
    ByteSource* source_ = nullptr;
    std::optional<RiffReader> riff_;
    WaveFormat format_;
    std::optional<RiffChunk> data_;
};

struct WaveData {
    WaveFormat format;
    uint64_t framesInFile = 0;     // whole frames the file holds
    std::vector<int16_t> samples;  // interleaved, at most maxFrames frames
    std::size_t Frames() const { return format.channels ? samples.size() / format.channels : 0; }
};

// Reads a 16-bit PCM WAVE of any channel count, at most `maxFrames` frames from the start.
WaveStatus ReadWave16(const std::string& path, WaveData& out, uint64_t maxFrames = UINT64_MAX);
WaveStatus ReadWave16(ByteSource& source, WaveData& out, uint64_t maxFrames = UINT64_MAX);

// Writes the 44-byte canonical header (plus `extraBytes` counted in the RIFF size) for `count`
// frames: block align = bits·channels/8, RIFF size = align·count + 36 + extra, byte rate =
// rate·align, data size = count·align.
bool WriteWaveHeader(AtomicFile& file, uint32_t sampleRate, uint32_t count, uint32_t extraBytes,
                     uint16_t bitsPerSample, uint16_t channels);

// Writes a 16-bit PCM WAVE of 1 or 2 channels from interleaved samples; the old file at `path` is
// replaced only when the new one is complete. False (with `error`) on failure or a bad argument.
bool WriteWave16(const std::string& path, uint32_t sampleRate, int channels,
                 const int16_t* interleaved, std::size_t frames, std::string* error = nullptr);

}  // namespace fim
