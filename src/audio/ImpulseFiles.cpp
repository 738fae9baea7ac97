#include "audio/ImpulseFiles.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <vector>

#include "audio/TimeFile.h"
#include "audio/WaveFile.h"
#include "base/Catalog.h"
#include "base/FileNames.h"
#include "base/FileTexts.h"
#include "base/MessageIds.h"

namespace fim {

namespace {

std::string BaseName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}
std::string FolderOf(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

}  // namespace

bool ImpulseFiles::Refuse(const std::string& caption, const std::string& text) {
    prompter_.Inform(caption, text, PromptIcon::Information);
    return false;
}

int ImpulseFiles::FilterIndexForName(const std::string& path) {
    return UpperExtension(path) == ".WAV" ? kWaveFile : kTimeFile;
}

bool ImpulseFiles::SaveImpulse(const std::string& path, int index) {
    const double* rlp = state_.buffers.RLPd();
    const std::size_t n = static_cast<std::size_t>(
        std::clamp<int32_t>(state_.MlsSize, 0, static_cast<int32_t>(SharedBuffers::kRlpDoubles)));
    if (!rlp) return false;
    std::string error;
    bool ok;
    if (index == kWaveFile) {
        const double peak = std::fabs(state_.ImpulsePeakValue);
        if (!(peak > 0.0) || !std::isfinite(peak)) {
            return Refuse(FileMessage(FileText::NotExported), FileMessage(FileText::NoResponse));
        }
        std::vector<int16_t> samples(n, 0);
        for (std::size_t k = 0; k < n; ++k) {
            const double v = std::nearbyint(rlp[k] * 32766.0 / peak);
            samples[k] =
                static_cast<int16_t>(std::isnan(v) ? 0.0 : std::clamp(v, -32768.0, 32767.0));
        }
        ok = WriteWave16(path, state_.SampleRate, 1, samples.data(), n, &error);
    } else {
        ok = WriteTimeFile(path, state_.SampleRate, rlp, n, &error);
    }
    if (!ok) return Refuse(Msg(kMsgFileSaveError), FileMessage(FileText::CannotWrite) + path);
    folder = FolderOf(path);
    return true;
}

template <typename T>
void ImpulseFiles::Install(const T* samples, std::size_t count) {
    double* rlp = state_.buffers.RLPd();
    state_.MlsSize = static_cast<int32_t>(count);
    state_.ImpulsePeakValue = 0.0;
    state_.ImpulsePeakIndex = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const double v = static_cast<double>(samples[k]);
        rlp[k] = v;
        if (std::fabs(v) > state_.ImpulsePeakValue) {
            state_.ImpulsePeakValue = std::fabs(v);
            state_.ImpulsePeakIndex = static_cast<int32_t>(k + 1);
        }
    }
    state_.ImpulseValid = true;
    state_.DriftMeasured = false;
    state_.LastRun = {};
    state_.PinkMls = false;
    // A loaded response carries no spread between periods; the last run's noise is not its own.
    state_.Noise.Reset();
}

bool ImpulseFiles::LoadTime(const std::string& path) {
    TimeFileData data;
    const TimeFileStatus status = ReadTimeFile(path, data, SharedBuffers::kRlpDoubles);
    const std::string& caption = FileMessage(FileText::NotLoaded);
    switch (status) {
        case TimeFileStatus::Ok:
            break;
        case TimeFileStatus::BadRate:
            return Refuse(caption, FileMessage(FileText::BadTimeFileRate));
        case TimeFileStatus::TooShort:
        case TimeFileStatus::BadSize:
            return Refuse(caption, FileMessage(FileText::NotATimeFile));
        case TimeFileStatus::BadValue:
            return Refuse(caption, FileMessage(FileText::DamagedFile));
        default:
            return Refuse(caption, FileMessage(FileText::CannotRead));
    }
    state_.SampleRate = data.sampleRate;
    Install(data.samples.data(), data.samples.size());
    return true;
}

bool ImpulseFiles::LoadWave(const std::string& path) {
    WaveReader wav;
    const WaveStatus status = wav.Open(path);
    const std::string name = BaseName(path);
    if (status == WaveStatus::CannotOpen) {
        return Refuse(FileMessage(FileText::NotLoaded), FileMessage(FileText::CannotRead));
    }
    // Missing chunks: the chunk's message as caption. The load stops here (a damaged file must
    // not end the program or load half a file).
    if (status != WaveStatus::Ok) {
        return Refuse(Msg(WaveStatusMessage(status)),
                      FileMessage(FileText::NotLoaded) + ": " + name);
    }
    const WaveFormat& f = wav.Format();
    if (f.channels >= 2) return Refuse(Msg(15), Msg(14));
    if (!f.IsPcm()) return Refuse(Msg(17), Msg(16));
    if (f.bitsPerSample != 16) return Refuse(Msg(19), Msg(18));
    if (f.sampleRate < kTimeFileMinRate || f.sampleRate > kTimeFileMaxRate) {
        return Refuse(FileMessage(FileText::NotLoaded), FileMessage(FileText::BadWaveRate));
    }
    if (!wav.HasData()) return Refuse(Msg(28), FileMessage(FileText::NotLoaded) + ": " + name);
    const std::size_t count =
        static_cast<std::size_t>(std::min<uint64_t>(wav.FrameCount(), SharedBuffers::kRlpDoubles));
    std::vector<int16_t> samples(count);
    if (wav.ReadFrames16(0, samples.data(), count) != count) {
        return Refuse(FileMessage(FileText::NotLoaded), FileMessage(FileText::CannotRead));
    }
    if (count == 0) {
        return Refuse(FileMessage(FileText::NotLoaded), FileMessage(FileText::NoSamples));
    }
    state_.SampleRate = static_cast<uint16_t>(f.sampleRate);
    state_.ImpulseValid = false;
    Install(samples.data(), count);
    return true;
}

bool ImpulseFiles::LoadImpulse(const std::string& path, int index) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return false;
    if (!state_.buffers.RLPd()) return false;
    const bool ok = index == kWaveFile ? LoadWave(path) : LoadTime(path);
    if (ok) loadedName = BaseName(path);
    return ok;
}

FileDialogRequest ImpulseFiles::DialogRequest(int title) const {
    FileDialogRequest request;
    request.title = Msg(title);
    request.filter = Msg(207) + " (*.MTF *.mtf);;" + Msg(208) + " (*.WAV *.wav)";
    request.initialDir = folder;
    request.initialFilter = filterIndex == kWaveFile ? 1 : 0;
    return request;
}

bool ImpulseFiles::SaveTimeFileCommand() {
    FileDialogRequest request = DialogRequest(209);
    request.defaultExtension = filterIndex == kWaveFile ? "WAV" : "MTF";
    int chosen = request.initialFilter;
    request.chosenFilter = &chosen;
    const auto path = prompter_.ChooseSaveFile(request);
    if (!path) return false;
    // The chosen filter decides the format and the extension a bare name gets; a known
    // extension typed by the user decides instead.
    filterIndex = chosen == 1 ? kWaveFile : kTimeFile;
    std::string name = *path;
    const std::string ext = UpperExtension(name);
    int index = filterIndex;
    if (ext.empty()) {
        name += filterIndex == kWaveFile ? ".WAV" : ".MTF";
    } else if (ext == ".WAV") {
        index = kWaveFile;
    } else if (ext == ".MTF") {
        index = kTimeFile;
    }
    return SaveImpulse(name, index);
}

bool ImpulseFiles::LoadTimeFileCommand() {
    const auto path = prompter_.ChooseOpenFile(DialogRequest(206));
    if (!path) return false;
    // A filter shows only its own files: the kind of the file chosen is the filter remembered.
    filterIndex = FilterIndexForName(*path);
    folder = FolderOf(*path);
    if (!LoadImpulse(*path, filterIndex)) return false;
    AddRecentFile(*path);
    return true;
}

bool ImpulseFiles::LoadRecentFile(const std::string& path) {
    return LoadImpulse(path, FilterIndexForName(path));
}

}  // namespace fim
