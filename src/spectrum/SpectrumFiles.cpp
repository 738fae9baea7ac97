#include "spectrum/SpectrumFiles.h"

#include <cmath>

#include "base/AtomicFile.h"

namespace fim {

namespace {

bool ReadAll(ByteSource& source, std::vector<unsigned char>& bytes, uint64_t limit) {
    if (source.Size() > limit) return false;
    bytes.resize(static_cast<std::size_t>(source.Size()));
    return source.ReadAt(0, bytes.data(), bytes.size()) == bytes.size();
}

bool Finite(double v) { return std::isfinite(v); }

template <typename Parse, typename Out>
SpectrumFileStatus ReadPath(const std::string& path, Out& out, Parse parse) {
    FileSource file;
    if (!file.Open(path)) return SpectrumFileStatus::CannotOpen;
    return parse(file, out);
}

}  // namespace

SpectrumFileStatus ParseFftSpectrum(ByteSource& source, FftSpectrumFile& out) {
    const uint64_t maxBytes = 32 + 16ull * (kMaxFileFftSize / 2);
    if (source.Size() < 32 || source.Size() > maxBytes) return SpectrumFileStatus::BadSize;
    std::vector<unsigned char> b;
    if (!ReadAll(source, b, maxBytes)) return SpectrumFileStatus::BadSize;
    if (LoadF64(&b[8]) != kSpectrumFileVersion) return SpectrumFileStatus::BadVersion;
    const double size = LoadF64(&b[16]);
    if (!(size >= kMinFileFftSize && size <= kMaxFileFftSize) || size != std::floor(size) ||
        (static_cast<int>(size) & (static_cast<int>(size) - 1)) != 0) {
        return SpectrumFileStatus::BadFftSize;
    }
    FftSpectrumFile f;
    f.fftSize = static_cast<int>(size);
    if (b.size() != 32 + 16ull * (f.fftSize / 2)) return SpectrumFileStatus::BadSize;
    f.lowestFrequency = LoadF64(&b[0]);
    f.sampleRate = LoadF64(&b[24]);
    if (!Finite(f.lowestFrequency) || !Finite(f.sampleRate) || !(f.sampleRate > 0)) {
        return SpectrumFileStatus::BadValue;
    }
    f.bins.resize(static_cast<std::size_t>(f.fftSize / 2));
    for (std::size_t k = 0; k < f.bins.size(); ++k) {
        f.bins[k].Magnitude = LoadF64(&b[32 + 16 * k]);
        f.bins[k].Phase = LoadF64(&b[40 + 16 * k]);
        if (!Finite(f.bins[k].Magnitude) || !Finite(f.bins[k].Phase)) {
            return SpectrumFileStatus::BadValue;
        }
    }
    out = std::move(f);
    return SpectrumFileStatus::Ok;
}

SpectrumFileStatus ParseSmoothSpectrum(ByteSource& source, SmoothSpectrumFile& out) {
    if (source.Size() != kSmoothFileBytes) return SpectrumFileStatus::BadSize;
    std::vector<unsigned char> b;
    if (!ReadAll(source, b, kSmoothFileBytes)) return SpectrumFileStatus::BadSize;
    if (LoadF64(&b[16]) != kSpectrumFileVersion) return SpectrumFileStatus::BadVersion;
    SmoothSpectrumFile f;
    f.lowestFrequency = LoadF64(&b[0]);
    f.sampleRate = LoadF64(&b[8]);
    if (!Finite(f.lowestFrequency) || !Finite(f.sampleRate) || !(f.sampleRate > 0)) {
        return SpectrumFileStatus::BadValue;
    }
    for (int i = 0; i < kSmoothRecords; ++i) {
        const unsigned char* r = &b[24 * (i + 1)];
        SmoothRecord& rec = f.records[static_cast<std::size_t>(i)];
        rec.Frequency = LoadF64(r);
        rec.Magnitude = LoadF64(r + 8);
        rec.Phase = LoadF64(r + 16);
        if (!Finite(rec.Frequency) || !Finite(rec.Magnitude) || !Finite(rec.Phase)) {
            return SpectrumFileStatus::BadValue;
        }
    }
    out = f;
    return SpectrumFileStatus::Ok;
}

SpectrumFileStatus ParseMicCorrection(ByteSource& source, MicCorrection& out) {
    // Files written with the end marker's slot (296 records) are read as well: only the first 295
    // records are used.
    if (source.Size() != kMicFileBytes && source.Size() != kMicFileBytes + 24) {
        return SpectrumFileStatus::BadSize;
    }
    std::vector<unsigned char> b;
    if (!ReadAll(source, b, kMicFileBytes + 24)) return SpectrumFileStatus::BadSize;
    MicCorrection m;
    m.sampleRate = LoadF64(&b[0]);
    if (!Finite(m.sampleRate)) return SpectrumFileStatus::BadValue;
    for (std::size_t i = 0; i < m.entries.size(); ++i) {
        const unsigned char* r = &b[24 * (i + 1)];
        m.entries[i] = {LoadF64(r), LoadF64(r + 8), LoadF64(r + 16)};
        if (!Finite(m.entries[i].frequency) || !Finite(m.entries[i].db) ||
            !Finite(m.entries[i].phase)) {
            return SpectrumFileStatus::BadValue;
        }
    }
    out = m;
    return SpectrumFileStatus::Ok;
}

SpectrumFileStatus ReadFftSpectrum(const std::string& path, FftSpectrumFile& out) {
    return ReadPath(path, out,
                    [](ByteSource& s, FftSpectrumFile& o) { return ParseFftSpectrum(s, o); });
}
SpectrumFileStatus ReadSmoothSpectrum(const std::string& path, SmoothSpectrumFile& out) {
    return ReadPath(path, out,
                    [](ByteSource& s, SmoothSpectrumFile& o) { return ParseSmoothSpectrum(s, o); });
}
SpectrumFileStatus ReadMicCorrection(const std::string& path, MicCorrection& out) {
    return ReadPath(path, out,
                    [](ByteSource& s, MicCorrection& o) { return ParseMicCorrection(s, o); });
}

bool WriteFftSpectrumFile(const std::string& path, double lowestFrequency, int fftSize,
                          double sampleRate, const SpectrumRecord* bins, std::string* error) {
    AtomicFile f;
    bool ok = fftSize >= 2 && bins && f.Open(path) && f.WriteF64(lowestFrequency) &&
              f.WriteF64(kSpectrumFileVersion) && f.WriteF64(fftSize) && f.WriteF64(sampleRate);
    for (int k = 0; ok && k < fftSize / 2; ++k) {
        ok = f.WriteF64(bins[k].Magnitude) && f.WriteF64(bins[k].Phase);
    }
    ok = ok && f.Commit();
    if (!ok && error) *error = f.Error().empty() ? "bad spectrum" : f.Error();
    return ok;
}

void ApplyMicCorrection(const MicCorrection& mic, SmoothRecord* records) {
    for (std::size_t i = 0; i < mic.entries.size(); ++i) {
        records[i].Magnitude *= std::pow(10.0, -mic.entries[i].db / 20.0);
        records[i].Phase -= mic.entries[i].phase;
    }
}

bool WriteSmoothSpectrumFile(const std::string& path, double lowestFrequency, double sampleRate,
                             const SmoothRecord* records, const MicCorrection* mic,
                             std::string* error) {
    std::array<SmoothRecord, kSmoothRecords> out{};
    if (records) std::copy(records, records + kSmoothRecords, out.begin());
    if (mic) ApplyMicCorrection(*mic, out.data());
    AtomicFile f;
    bool ok = records && f.Open(path) && f.WriteF64(lowestFrequency) && f.WriteF64(sampleRate) &&
              f.WriteF64(kSpectrumFileVersion);
    for (const auto& r : out) {
        if (!ok) break;
        ok = f.WriteF64(r.Frequency) && f.WriteF64(r.Magnitude) && f.WriteF64(r.Phase);
    }
    ok = ok && f.Commit();
    if (!ok && error) *error = f.Error().empty() ? "bad spectrum" : f.Error();
    return ok;
}

bool WriteMicCorrection(const std::string& path, const MicCorrection& mic, std::string* error) {
    AtomicFile f;
    bool ok = f.Open(path) && f.WriteF64(mic.sampleRate) && f.WriteF64(0) && f.WriteF64(0);
    for (const auto& e : mic.entries) {
        if (!ok) break;
        ok = f.WriteF64(e.frequency) && f.WriteF64(e.db) && f.WriteF64(e.phase);
    }
    ok = ok && f.Commit();
    if (!ok && error) *error = f.Error();
    return ok;
}

const char* SpectrumFileStatusText(SpectrumFileStatus status) {
    switch (status) {
        case SpectrumFileStatus::Ok:
            return "ok";
        case SpectrumFileStatus::CannotOpen:
            return "cannot open the file";
        case SpectrumFileStatus::BadSize:
            return "the file's size does not fit its layout";
        case SpectrumFileStatus::BadVersion:
            return "unknown file version (2.0 is read)";
        case SpectrumFileStatus::BadFftSize:
            return "the FFT size is not a power of two from 128 to 65536";
        case SpectrumFileStatus::BadValue:
            return "the file holds a value that is not a number";
    }
    return "";
}

}  // namespace fim
