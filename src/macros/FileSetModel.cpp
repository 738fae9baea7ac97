#include "macros/FileSetModel.h"

#include <filesystem>
#include <system_error>

#include "base/Catalog.h"
#include "base/MessageIds.h"
#include "base/Prompter.h"
#include "spectrum/SpectrumFiles.h"

namespace fim {

namespace {

bool IsFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::u8path(path), ec);
}

}  // namespace

FileSetModel::FileSetModel(UserMacro& macro, Prompter& prompter,
                           std::function<bool(const std::string&)> fileExists)
    : macro_(macro), prompter_(prompter), fileExists_(std::move(fileExists)) {
    if (!fileExists_) fileExists_ = IsFile;
}

std::string& FileSetModel::Path(Slot slot) {
    switch (slot) {
        case Slot::Calibration:
            return calFile;
        case Slot::Microphone:
            return micFile;
        case Slot::Overlay:
            break;
    }
    return overlayFile;
}

const std::string& FileSetModel::Path(Slot slot) const {
    return const_cast<FileSetModel*>(this)->Path(slot);
}

void FileSetModel::Load() {
    calFile = macro_.calFile;
    micFile = macro_.micFile;
    overlayFile = macro_.overlayFile;
    if (!calFile.empty() && !fileExists_(calFile)) {
        calFile.clear();
        macro_.useCal = false;
    }
    if (!micFile.empty() && !fileExists_(micFile)) {
        micFile.clear();
        macro_.useMic = false;
    }
    if (!overlayFile.empty() && !fileExists_(overlayFile)) {
        overlayFile.clear();
        macro_.useOverlay = false;
        macro_.overlayOption2 = false;
    }
    useCal = macro_.useCal;
    useMic = macro_.useMic;
    useOverlay = macro_.useOverlay;
    overlayOption2 = macro_.overlayOption2;
}

std::string FileSetModel::ShownName(Slot slot) const {
    const std::string& p = Path(slot);
    const std::size_t cut = p.find_last_of("/\\");
    return cut == std::string::npos ? p : p.substr(cut + 1);
}

bool FileSetModel::Choose(Slot slot) {
    // The plain FFT's macros take "*.cal" files of their size, the others "*.csm".
    const bool plain = macro_.fftCode < 5;
    FileDialogRequest r;
    switch (slot) {
        case Slot::Calibration:
            r.title = Msg(200);
            r.filter = plain ? Msg(198) + " (*.cal *.CAL)" : Msg(199) + " (*.csm *.CSM)";
            break;
        case Slot::Microphone:
            r.title = Msg(201);
            r.filter = Msg(202) + " (*.SMC *.smc)";
            break;
        case Slot::Overlay: {
            r.title = Msg(179);
            const std::string fft = Msg(194) + " (*.MFR *.mfr)";
            const std::string smooth = Msg(195) + " (*.SMR *.smr)";
            r.filter = plain ? fft + ";;" + smooth : smooth + ";;" + fft;
            break;
        }
    }
    const std::string& current = Path(slot);
    const std::size_t cut = current.find_last_of("/\\");
    if (cut != std::string::npos) r.initialDir = current.substr(0, cut);
    const auto chosen = prompter_.ChooseOpenFile(r);
    if (!chosen || chosen->empty()) return false;
    return Accept(slot, *chosen);
}

bool FileSetModel::Accept(Slot slot, const std::string& path) {
    // The record holds 255 characters; a longer path would be stored cut, naming another file.
    if (path.size() > kMaxPath) {
        prompter_.Inform(macro_.name, Msg(kMsgIllegalInput), PromptIcon::Information);
        return false;
    }
    if (slot == Slot::Calibration) {
        if (macro_.fftCode < 5) {
            FftSpectrumFile f;
            if (ReadFftSpectrum(path, f) != SpectrumFileStatus::Ok) {
                prompter_.Inform(macro_.name, Msg(kMsgCalWrongLength), PromptIcon::Information);
                return false;
            }
            if (f.fftSize != macro_.FftSize()) {
                prompter_.Inform(macro_.name, Msg(kMsgCalSizeMismatch), PromptIcon::Information);
                return false;
            }
        } else {
            SmoothSpectrumFile f;
            if (ReadSmoothSpectrum(path, f) != SpectrumFileStatus::Ok) {
                prompter_.Inform(macro_.name, Msg(kMsgCalWrongLength), PromptIcon::Information);
                return false;
            }
        }
    }
    Path(slot) = path;
    switch (slot) {
        case Slot::Calibration:
            useCal = true;
            break;
        case Slot::Microphone:
            useMic = true;
            break;
        case Slot::Overlay:
            useOverlay = true;
            break;
    }
    return true;
}

void FileSetModel::Ok() {
    macro_.calFile = calFile;
    macro_.micFile = micFile;
    macro_.overlayFile = overlayFile;
    // A flag without a file would make the replay load nothing.
    macro_.useCal = useCal && !calFile.empty();
    macro_.useMic = useMic && !micFile.empty();
    macro_.useOverlay = useOverlay && !overlayFile.empty();
    macro_.overlayOption2 = overlayOption2 && !overlayFile.empty();
}

}  // namespace fim
