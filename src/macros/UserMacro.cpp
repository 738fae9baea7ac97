#include "macros/UserMacro.h"

#include <algorithm>

#include "base/LeBlock.h"
#include "spectrum/TimeWindow.h"

namespace fim {

namespace {

// Field offsets of the 1348-byte record.
constexpr std::size_t kName = 0, kCal = 31, kMic = 287, kOverlay = 543;
constexpr std::size_t kUseCal = 799, kUseMic = 800, kUseOverlay = 801, kOverlay2 = 802;
constexpr std::size_t kPink = 803, kReserved804 = 804, kOrder = 806, kFftCode = 807;
constexpr std::size_t kAtc = 808, kRepeat = 809, kReserved810 = 810, kWindow = 812;
constexpr std::size_t kAveraging = 860, kSmoothing = 864, kReserved868 = 868;

// Older layouts: six records of 88 bytes (before 1.53) or 92 bytes (1.53).
struct OldLayout {
    std::size_t recordBytes;
    uint8_t smoothFrom;  // FFT codes from this value on meant the smoothed FFT
    bool hasSmoothing;
};
constexpr OldLayout kLayout88{88, 4, false};
constexpr OldLayout kLayout92{92, 5, true};
constexpr int kOldMacros = 6;

void CopyOld(UserMacroBlock& block, const std::vector<uint8_t>& stored, const OldLayout& layout) {
    if (stored.size() != layout.recordBytes * kOldMacros) return;
    const LeBlock b(stored);
    for (int i = 0; i < kOldMacros; ++i) {
        const std::size_t at = layout.recordBytes * static_cast<std::size_t>(i);
        UserMacro& m = block[static_cast<std::size_t>(i)];
        m.name = b.ShortString(at + 0, 31);
        m.mlsOrder = b.U8(at + 31);
        const uint8_t code = b.U8(at + 32);
        m.fftCode = code >= layout.smoothFrom ? UserMacro::kSmoothFftCode : code;
        m.atc = b.U8(at + 33) != 0;
        m.repeat = b.U8(at + 34) != 0;
        m.window = DecodeTimeWindow(stored, at + 36);
        m.averaging = b.I32(at + 84);
        if (layout.hasSmoothing) m.smoothing = b.I32(at + 88);
    }
}

struct Factory {
    const char* name;
    uint8_t fftCode;
    uint8_t order;
    bool repeat;
    int32_t averaging;
    int32_t timeAfter;
    int32_t smoothing;
};
constexpr Factory kFactory[kOldMacros] = {
    {"Speaker in Room", UserMacro::kSmoothFftCode, 15, false, 8, 60000, 1},
    {"Direct Electric", 3, 13, true, 1, 30000, 0},
    {"User 1", 2, 13, false, 8, 19400, 1},
    {"User 2", 2, 13, false, 1, 19400, 1},
    {"User 3", 2, 13, false, 1, 19400, 1},
    {"User 4", 2, 13, false, 4, 19400, 1},
};

}  // namespace

int32_t UserMacro::FftSize() const { return fftCode <= 4 ? 2048 << fftCode : 0; }

std::vector<uint8_t> EncodeUserMacro(const UserMacro& m) {
    LeBlock b(UserMacro::kBytes);
    b.PutShortString(kName, 31, m.name);
    b.PutShortString(kCal, 256, m.calFile);
    b.PutShortString(kMic, 256, m.micFile);
    b.PutShortString(kOverlay, 256, m.overlayFile);
    b.PutU8(kUseCal, m.useCal ? 1 : 0);
    b.PutU8(kUseMic, m.useMic ? 1 : 0);
    b.PutU8(kUseOverlay, m.useOverlay ? 1 : 0);
    b.PutU8(kOverlay2, m.overlayOption2 ? 1 : 0);
    b.PutU8(kPink, m.pinkMls ? 1 : 0);
    for (std::size_t i = 0; i < m.reserved804.size(); ++i) {
        b.PutU8(kReserved804 + i, m.reserved804[i]);
    }
    b.PutU8(kOrder, m.mlsOrder);
    b.PutU8(kFftCode, m.fftCode);
    b.PutU8(kAtc, m.atc ? 1 : 0);
    b.PutU8(kRepeat, m.repeat ? 1 : 0);
    for (std::size_t i = 0; i < m.reserved810.size(); ++i) {
        b.PutU8(kReserved810 + i, m.reserved810[i]);
    }
    EncodeTimeWindow(m.window, b.bytes(), kWindow);
    b.PutI32(kAveraging, m.averaging);
    b.PutI32(kSmoothing, m.smoothing);
    for (std::size_t i = 0; i < m.reserved868.size(); ++i) {
        b.PutU8(kReserved868 + i, m.reserved868[i]);
    }
    return b.bytes();
}

UserMacro DecodeUserMacro(const std::vector<uint8_t>& bytes, std::size_t at) {
    std::vector<uint8_t> part(UserMacro::kBytes, 0);
    for (std::size_t i = 0; i < UserMacro::kBytes && at + i < bytes.size(); ++i) {
        part[i] = bytes[at + i];
    }
    const LeBlock b(std::move(part));
    UserMacro m;
    m.name = b.ShortString(kName, 31);
    m.calFile = b.ShortString(kCal, 256);
    m.micFile = b.ShortString(kMic, 256);
    m.overlayFile = b.ShortString(kOverlay, 256);
    m.useCal = b.U8(kUseCal) != 0;
    m.useMic = b.U8(kUseMic) != 0;
    m.useOverlay = b.U8(kUseOverlay) != 0;
    m.overlayOption2 = b.U8(kOverlay2) != 0;
    m.pinkMls = b.U8(kPink) != 0;
    for (std::size_t i = 0; i < m.reserved804.size(); ++i) {
        m.reserved804[i] = b.U8(kReserved804 + i);
    }
    m.mlsOrder = b.U8(kOrder);
    m.fftCode = b.U8(kFftCode);
    m.atc = b.U8(kAtc) != 0;
    m.repeat = b.U8(kRepeat) != 0;
    for (std::size_t i = 0; i < m.reserved810.size(); ++i) {
        m.reserved810[i] = b.U8(kReserved810 + i);
    }
    m.window = DecodeTimeWindow(b.bytes(), kWindow);
    m.averaging = b.I32(kAveraging);
    m.smoothing = b.I32(kSmoothing);
    for (std::size_t i = 0; i < m.reserved868.size(); ++i) {
        m.reserved868[i] = b.U8(kReserved868 + i);
    }
    return m;
}

std::vector<uint8_t> EncodeUserMacroBlock(const UserMacroBlock& block) {
    std::vector<uint8_t> out;
    out.reserve(kUserMacroBlockBytes);
    for (const UserMacro& m : block) {
        const std::vector<uint8_t> one = EncodeUserMacro(m);
        out.insert(out.end(), one.begin(), one.end());
    }
    return out;
}

std::optional<UserMacroBlock> DecodeUserMacroBlock(const std::vector<uint8_t>& bytes) {
    if (bytes.size() != kUserMacroBlockBytes) return std::nullopt;
    UserMacroBlock block;
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = DecodeUserMacro(bytes, i * UserMacro::kBytes);
    }
    return block;
}

UserMacro DefaultUserMacro(int index) {
    UserMacro m;
    m.name = "User " + std::to_string(index - 2);
    m.window.timeBefore = 400;
    m.window.timeAfter = 10000;
    return m;
}

void ConvertUserMacros(UserMacroBlock& block, int v, const std::vector<uint8_t>* stored) {
    if (v < 160) {
        for (int i = 0; i < kUserMacroCount; ++i) {
            block[static_cast<std::size_t>(i)] = DefaultUserMacro(i + 1);
        }
    }
    if (stored != nullptr) {
        if (v > 0 && v < 153) CopyOld(block, *stored, kLayout88);
        if (v == 153) CopyOld(block, *stored, kLayout92);
    }
    if (v == 0) {
        for (int i = 0; i < kOldMacros; ++i) {
            const Factory& f = kFactory[i];
            UserMacro& m = block[static_cast<std::size_t>(i)];
            m.name = f.name;
            m.fftCode = f.fftCode;
            m.mlsOrder = f.order;
            m.repeat = f.repeat;
            m.averaging = f.averaging;
            m.atc = true;
            m.window.timeBefore = 600;
            m.window.timeAfter = f.timeAfter;
            m.smoothing = f.smoothing;
        }
    }
}

bool SanitizeUserMacro(UserMacro& m) {
    bool changed = false;
    const UserMacro d = DefaultUserMacro(1);
    if (m.mlsOrder < 12 || m.mlsOrder > 18) {
        m.mlsOrder = d.mlsOrder;
        changed = true;
    }
    if (m.fftCode > 5 && m.fftCode != UserMacro::kSmoothFftCode) {
        m.fftCode = d.fftCode;
        changed = true;
    }
    const int32_t a = m.averaging;
    if (a < 1 || a > 128 || (a & (a - 1)) != 0) {
        m.averaging = d.averaging;
        changed = true;
    }
    if (m.smoothing < 0 || m.smoothing > 10) {
        m.smoothing = d.smoothing;
        changed = true;
    }
    return changed;
}

UserMacroBlock FactoryUserMacros() {
    UserMacroBlock block;
    ConvertUserMacros(block, 0, nullptr);
    return block;
}

}  // namespace fim
