#include "settings/SettingsRecords.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

#include "settings/LeBlock.h"

namespace fim {

namespace {

// Entries 0–6 of the three schemes, as 0x00BBGGRR.
constexpr std::array<uint32_t, 7> kBrevik = {0x000000, 0xFFFF00, 0x808080, 0x0000FF,
                                             0x00FFFF, 0x800000, 0x0000FF};
constexpr std::array<uint32_t, 7> kHarbor = {0xFFFF00, 0x800000, 0x00FFFF, 0x0000FF,
                                             0x0000FF, 0xFF00FF, 0x008000};
constexpr std::array<uint32_t, 7> kChilly = {0x0000FF, 0x00FFFF, 0x000000, 0x000000,
                                             0xFF0000, 0x008000, 0x800000};

LeBlock Sized(const std::vector<uint8_t>& block, std::size_t size) {
    // Callers hand exact-size blocks; a shorter one reads as zeros past its end.
    std::vector<uint8_t> copy = block;
    copy.resize(size, 0);
    return LeBlock(std::move(copy));
}

constexpr int32_t kMaxWindowSample = 262144;  // capacity of the impulse-response buffer

bool ValidPair(int32_t start, int32_t end) {
    return start >= 1 && end > start && end <= kMaxWindowSample;
}

}  // namespace

ColorTable ColorTable::Default() {
    ColorTable t;
    t.ApplyScheme(ColorScheme::BrevikStyle);
    t.entries[7] = 0x00FF00;  // lime
    t.entries[8] = 0xFF00FF;  // fuchsia
    t.entries[9] = 0xFFFFFF;  // white
    return t;
}

void ColorTable::ApplyScheme(ColorScheme scheme) {
    const auto& src = scheme == ColorScheme::HarborStyle ? kHarbor
                      : scheme == ColorScheme::Chilly    ? kChilly
                                                         : kBrevik;
    for (std::size_t i = 0; i < src.size(); ++i) entries[i] = src[i];
}

std::vector<uint8_t> EncodeColorTable(const ColorTable& table) {
    LeBlock b(ColorTable::kBytes);
    for (std::size_t i = 0; i < ColorTable::kCount; ++i) b.PutU32(4 * i, table.entries[i]);
    return b.bytes();
}

ColorTable DecodeColorTable(const std::vector<uint8_t>& block) {
    const LeBlock b = Sized(block, ColorTable::kBytes);
    ColorTable t;
    // The top byte is not part of a colour; keep the value a colour.
    for (std::size_t i = 0; i < ColorTable::kCount; ++i) t.entries[i] = b.U32(4 * i) & 0xFFFFFF;
    return t;
}

void EncodeTimeWindow(const TimeWindow& w, std::vector<uint8_t>& out, std::size_t at) {
    const auto bytes = w.Encode();
    if (out.size() < at + kTimeWindowBytes) out.resize(at + kTimeWindowBytes, 0);
    std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
}

TimeWindow DecodeTimeWindow(const std::vector<uint8_t>& block, std::size_t at) {
    std::array<uint8_t, kTimeWindowBytes> part{};
    for (std::size_t i = 0; i < kTimeWindowBytes && at + i < block.size(); ++i) {
        part[i] = block[at + i];
    }
    TimeWindow w;
    TimeWindow::Decode(part.data(), part.size(), w);
    return w;
}

std::vector<uint8_t> EncodeTimeWindow(const TimeWindow& w) {
    std::vector<uint8_t> out;
    EncodeTimeWindow(w, out, 0);
    return out;
}

TimeWindow DecodeTimeWindow(const std::vector<uint8_t>& block) {
    return DecodeTimeWindow(block, 0);
}

TimeWindow DefaultUserWindow1() { return MakeTimeWindow("User 1", 400, 9600); }
TimeWindow DefaultUserWindow2() { return MakeTimeWindow("User 2", 800, 19200); }

std::vector<uint8_t> EncodeAbsoluteWindow(const AbsoluteWindow& w) {
    LeBlock b(AbsoluteWindow::kBytes);
    b.PutI32(0, w.lastStart);
    b.PutI32(4, w.lastEnd);
    b.PutI32(8, w.savedEnd);
    b.PutI32(12, w.savedStart);
    return b.bytes();
}

AbsoluteWindow DecodeAbsoluteWindow(const std::vector<uint8_t>& block) {
    const LeBlock b = Sized(block, AbsoluteWindow::kBytes);
    AbsoluteWindow w;
    if (ValidPair(b.I32(0), b.I32(4))) {
        w.lastStart = b.I32(0);
        w.lastEnd = b.I32(4);
    }
    if (ValidPair(b.I32(12), b.I32(8))) {
        w.savedEnd = b.I32(8);
        w.savedStart = b.I32(12);
    }
    return w;
}

std::vector<uint8_t> EncodeClockSettings(const ClockSettings& c) {
    LeBlock b(ClockSettings::kBytes);
    b.PutF64(0, c.reference);
    b.PutU16(8, c.mode);
    b.PutI32(12, c.action);
    b.PutShortString(16, 256, c.soundFile);
    return b.bytes();
}

ClockSettings DecodeClockSettings(const std::vector<uint8_t>& block, double now) {
    const LeBlock b = Sized(block, ClockSettings::kBytes);
    ClockSettings c = DefaultClockSettings(now);
    const double ref = b.F64(0);
    // Dates between the years 1900 and 9999; anything else is not a moment the clock can show.
    if (std::isfinite(ref) && ref >= 0.0 && ref < 2958466.0) c.reference = ref;
    if (b.U16(8) <= 2) c.mode = b.U16(8);
    if (b.I32(12) >= 0 && b.I32(12) <= 2) c.action = b.I32(12);
    c.soundFile = b.ShortString(16, 256);
    return c;
}

ClockSettings DefaultClockSettings(double now) {
    ClockSettings c;
    c.reference = now;
    return c;
}

double NowAsDays() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    // Days from 1899-12-30 to 1970-01-01 are 25569; local civil time, as the clock shows it.
    const std::time_t asUtc = timegm(&local);
    return 25569.0 + static_cast<double>(asUtc) / 86400.0;
}

std::vector<uint8_t> EncodeTflSettings(const TflSettings& t) {
    LeBlock b(TflSettings::kBytes);
    b.PutU8(0, t.WindowType);
    b.PutI32(4, t.OverlapPercent);
    b.PutI32(8, t.DataPercent);
    b.PutI32(12, t.BlockLength);
    return b.bytes();
}

TflSettings DecodeTflSettings(const std::vector<uint8_t>& block) {
    const LeBlock b = Sized(block, TflSettings::kBytes);
    TflSettings t;
    const uint8_t type = b.U8(0);
    if (type == 0 || type == 1 || type == 3 || type == 4) t.WindowType = type;
    const int32_t len = b.I32(12);
    if (len == 128 || len == 256 || len == 512 || len == 1024) t.BlockLength = len;
    if (b.I32(8) >= 1 && b.I32(8) <= 100) t.DataPercent = b.I32(8);
    if (b.I32(4) >= 0 && b.I32(4) < t.DataPercent) t.OverlapPercent = b.I32(4);
    return t;
}

}  // namespace fim
