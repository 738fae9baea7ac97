#include "traces/Ttrace.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <system_error>

#include "base/Catalog.h"
#include "base/FileTexts.h"
#include "base/MessageIds.h"
#include "base/Prompter.h"
#include "base/SettingsTree.h"

namespace fim {

namespace {

constexpr std::size_t kBlockRecords = 300;  // room in the block; 295 are used

std::string SettingsName(int number) { return "Trace " + std::to_string(number); }

}  // namespace

std::vector<uint8_t> EncodeTraceSettings(const TraceSettingsBlock& block) {
    std::vector<uint8_t> b(kTraceSettingsBytes, 0);
    const bool storable = block.Loaded && block.FileName.size() <= kTraceNameBytes;
    if (storable) {
        b[0] = static_cast<uint8_t>(block.FileName.size());
        std::copy(block.FileName.begin(), block.FileName.end(), b.begin() + 1);
    }
    const uint32_t c = static_cast<uint32_t>(block.Colour);
    for (int i = 0; i < 4; ++i) {
        b[204 + static_cast<std::size_t>(i)] = static_cast<uint8_t>(c >> (8 * i));
    }
    b[208] = storable ? 1 : 0;
    return b;
}

TraceSettingsBlock DecodeTraceSettings(std::span<const uint8_t> bytes) {
    TraceSettingsBlock block;
    if (bytes.size() != kTraceSettingsBytes) return block;
    uint32_t c = 0;
    for (int i = 3; i >= 0; --i) c = (c << 8) | bytes[204 + static_cast<std::size_t>(i)];
    block.Colour = static_cast<int32_t>(c);
    const std::size_t length = bytes[0];
    block.Loaded = bytes[208] != 0 && length <= kTraceNameBytes;
    if (block.Loaded) {
        block.FileName.assign(bytes.begin() + 1,
                              bytes.begin() + 1 + static_cast<std::ptrdiff_t>(length));
    }
    return block;
}

std::string TraceLabelFromPath(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    name.resize(name.size() >= 4 ? name.size() - 4 : 0);
    return name;
}

Ttrace::Ttrace(SettingsTree* settings, Prompter* prompter, uint32_t defaultColour)
    : Colour(defaultColour), settings_(settings), prompter_(prompter) {
    AllocateBlock();
}

Ttrace::Ttrace(int number, SettingsTree* settings, Prompter* prompter, uint32_t defaultColour)
    : Ttrace(settings, prompter, defaultColour) {
    Number = number;
    if (settings_ == nullptr) return;
    const auto stored = settings_->ReadBlock(SettingsName(Number), kTraceSettingsBytes);
    if (!stored) return;
    const TraceSettingsBlock block = DecodeTraceSettings(*stored);
    Colour = static_cast<uint32_t>(block.Colour);
    std::error_code ec;
    if (block.Loaded && !std::filesystem::exists(block.FileName, ec)) {
        // The stored trace file is gone: said once, then forgotten, so it does not come back.
        if (prompter_ != nullptr) {
            prompter_->Inform(FileMessage(FileText::NotLoaded),
                              FileMessage(FileText::CannotRead) + "\r" + block.FileName);
        }
        WriteNumberedSettings();
    } else if (block.Loaded) {
        LoadFromFile(block.FileName);
    }
    Centred = false;
}

Ttrace::~Ttrace() {
    if (Number >= 1) WriteNumberedSettings();
}

void Ttrace::AllocateBlock() {
    for (int attempt = 0; attempt < 5 && !records_; ++attempt) {
        records_.reset(new (std::nothrow) SmoothRecord[kBlockRecords]());
    }
    if (!records_ && prompter_ != nullptr) {
        prompter_->Inform("", Msg(227), PromptIcon::Stop);
    }
}

std::span<const SmoothRecord> Ttrace::GetRecords() const {
    if (!records_) return {};
    return {records_.get(), static_cast<std::size_t>(kSmoothRecords)};
}

bool Ttrace::LoadFromFile(const std::string& path) {
    if (!records_) return false;
    const auto bytes = ReadFileBytes(path, kTraceFileBytes);
    const auto data = bytes ? ParseTraceFile(*bytes) : std::nullopt;
    if (!data) {
        if (prompter_ != nullptr) {
            prompter_->Inform(Msg(216), Msg(kMsgIllegalInput) + "\r" + path, PromptIcon::Warning);
        }
        return false;
    }
    LowFrequencyLimit = data->LowFrequencyLimit;
    FileName = path;
    std::copy(data->Records.begin(), data->Records.end(), records_.get());
    OwnReference = data->OwnReference;
    Loaded = true;
    return true;
}

void Ttrace::SetCentred(bool flag, double liveReference) {
    Centred = flag;
    DisplayReference = flag ? OwnReference : liveReference;
}

std::string Ttrace::GetName() const { return Loaded ? TraceLabelFromPath(FileName) : Msg(228); }

bool Ttrace::PrepareDraw(double liveReference) {
    if (!ShowDown || !Loaded || !records_) return false;
    DisplayReference = CentreDown ? OwnReference : liveReference;
    return true;
}

void Ttrace::SaveSettings() { WriteNumberedSettings(); }

void Ttrace::WriteNumberedSettings() {
    if (settings_ == nullptr || Number < 1) return;
    TraceSettingsBlock block;
    block.Loaded = Loaded;
    block.FileName = FileName;
    block.Colour = static_cast<int32_t>(Colour);
    settings_->WriteBinary(SettingsName(Number), EncodeTraceSettings(block));
}

}  // namespace fim
