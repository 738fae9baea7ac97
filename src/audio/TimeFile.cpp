#include "audio/TimeFile.h"

#include <algorithm>
#include <cmath>

#include "base/AtomicFile.h"

namespace fim {

TimeFileStatus ReadTimeFile(ByteSource& source, TimeFileData& out, std::size_t maxSamples) {
    const uint64_t size = source.Size();
    if (size % 8 != 0) return TimeFileStatus::BadSize;
    if (size < 16) return TimeFileStatus::TooShort;
    unsigned char buf[8192];
    if (source.ReadAt(0, buf, 8) != 8) return TimeFileStatus::ReadFailed;
    // Another program may have written the rate as 48000.4: it is rounded to whole Hz.
    const double rate = std::nearbyint(LoadF64(buf));
    if (!std::isfinite(rate) || rate < kTimeFileMinRate || rate > kTimeFileMaxRate) {
        return TimeFileStatus::BadRate;
    }

    TimeFileData data;
    data.sampleRate = static_cast<uint16_t>(rate);
    data.samplesInFile = size / 8 - 1;
    const std::size_t count =
        static_cast<std::size_t>(std::min<uint64_t>(data.samplesInFile, maxSamples));
    data.samples.resize(count);
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min<std::size_t>(sizeof buf / 8, count - done);
        if (source.ReadAt(8 * (1 + static_cast<uint64_t>(done)), buf, 8 * n) != 8 * n) {
            return TimeFileStatus::ReadFailed;
        }
        for (std::size_t i = 0; i < n; ++i) {
            data.samples[done + i] = LoadF64(buf + 8 * i);
            if (!std::isfinite(data.samples[done + i])) return TimeFileStatus::BadValue;
        }
        done += n;
    }
    out = std::move(data);
    return TimeFileStatus::Ok;
}

TimeFileStatus ReadTimeFile(const std::string& path, TimeFileData& out, std::size_t maxSamples) {
    FileSource file;
    if (!file.Open(path)) return TimeFileStatus::CannotOpen;
    return ReadTimeFile(file, out, maxSamples);
}

bool WriteTimeFile(const std::string& path, double sampleRate, const double* samples,
                   std::size_t count, std::string* error) {
    AtomicFile file;
    bool ok = file.Open(path) && file.WriteF64(sampleRate);
    unsigned char block[8192];
    for (std::size_t i = 0; ok && i < count;) {
        const std::size_t n = std::min<std::size_t>(sizeof block / 8, count - i);
        for (std::size_t j = 0; j < n; ++j) StoreF64(block + 8 * j, samples[i + j]);
        ok = file.Write(block, 8 * n);
        i += n;
    }
    ok = ok && file.Commit();
    if (!ok && error) *error = file.Error();
    return ok;
}

const char* TimeFileStatusText(TimeFileStatus status) {
    switch (status) {
        case TimeFileStatus::Ok:
            return "ok";
        case TimeFileStatus::CannotOpen:
            return "cannot open the file";
        case TimeFileStatus::TooShort:
            return "not a time file: fewer than two records";
        case TimeFileStatus::BadSize:
            return "not a time file: size is not a multiple of 8 bytes";
        case TimeFileStatus::BadRate:
            return "not a time file: sample rate is not a number from 1000 to 65535 Hz";
        case TimeFileStatus::BadValue:
            return "damaged time file: a sample is not a number";
        case TimeFileStatus::ReadFailed:
            return "the file could not be read to its end";
    }
    return "";
}

}  // namespace fim
