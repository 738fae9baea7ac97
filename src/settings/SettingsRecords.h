#pragma once
// The fixed-size binary records kept in the settings tree, with their defaults and their exact
// little-endian layouts. Decode functions take a block of exactly the record's size (the caller
// reads it with SettingsTree::ReadBlock); Encode functions return a block of that size.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "finder/FinderSettings.h"
#include "spectrum/TimeWindow.h"

namespace fim {

// ---- Colour table ("Display Color", "Printout Color"): ten colours 0x00BBGGRR, 40 bytes.

enum class ColorScheme { BrevikStyle, HarborStyle, Chilly };

struct ColorTable {
    static constexpr std::size_t kCount = 10;
    static constexpr std::size_t kBytes = 40;

    std::array<uint32_t, kCount> entries{};

    // "BREVIK STYLE" in entries 0–6; entries 7–9 (frequency display) get visible defaults.
    static ColorTable Default();
    // Fills entries 0–6 with a scheme; entries 7–9 are kept.
    void ApplyScheme(ColorScheme scheme);

    bool operator==(const ColorTable&) const = default;
};
std::vector<uint8_t> EncodeColorTable(const ColorTable& table);
ColorTable DecodeColorTable(const std::vector<uint8_t>& block);

// ---- TimeWindow (USER1, USER2 and inside each macro): 48 bytes at offset `at` of a block.

constexpr std::size_t kTimeWindowBytes = 48;
void EncodeTimeWindow(const TimeWindow& w, std::vector<uint8_t>& out, std::size_t at);
TimeWindow DecodeTimeWindow(const std::vector<uint8_t>& block, std::size_t at);
std::vector<uint8_t> EncodeTimeWindow(const TimeWindow& w);
TimeWindow DecodeTimeWindow(const std::vector<uint8_t>& block);

// Defaults of the user windows "USER1" ("User 1", 400 / 9600 µs) and "USER2" ("User 2",
// 800 / 19200 µs), sample counts at 44100 Hz.
TimeWindow DefaultUserWindow1();
TimeWindow DefaultUserWindow2();

// ---- AbsoluteWindow ("ABSWIN"): four signed 32-bit integers, 16 bytes.

struct AbsoluteWindow {
    static constexpr std::size_t kBytes = 16;
    int32_t lastStart = 1;   // viewStart at the last shutdown
    int32_t lastEnd = 1024;  // viewEnd at the last shutdown
    int32_t savedEnd = 1024;
    int32_t savedStart = 1;

    bool operator==(const AbsoluteWindow&) const = default;
};
std::vector<uint8_t> EncodeAbsoluteWindow(const AbsoluteWindow& w);
// A pair (start, end) that does not lie inside 1 … 262144 with start < end is replaced by its
// default pair: such a window would index past the impulse-response buffer.
AbsoluteWindow DecodeAbsoluteWindow(const std::vector<uint8_t>& block);

// ---- Countdown clock ("Timinginfo"): 272 bytes.

struct ClockSettings {
    static constexpr std::size_t kBytes = 272;
    double reference = 0.0;  // days since 1899-12-30; integer part the date, fraction the time
    uint16_t mode = 0;       // 0 system time, 1 count down, 2 count up
    int32_t action = 1;      // 0 play sound, 1 flash clock, 2 do nothing
    std::string soundFile;   // up to 255 characters

    bool operator==(const ClockSettings&) const = default;
};
std::vector<uint8_t> EncodeClockSettings(const ClockSettings& c);
// Out-of-range mode or action, or a reference that is not a finite date, fall back to the
// defaults of those fields (`now` for the reference).
ClockSettings DecodeClockSettings(const std::vector<uint8_t>& block, double now);
// The default record: reference = `now` (the moment of start-up), mode 0, action 1, no sound.
ClockSettings DefaultClockSettings(double now);
// The current local date and time as days since 1899-12-30 (the clock's reference unit).
double NowAsDays();

// ---- Feedback finder ("FBF"): finder/FinderSettings.h.

// ---- Time-level diagram ("TFL"): 16 bytes.

struct TflSettings {
    static constexpr std::size_t kBytes = 16;
    uint8_t WindowType = 0;
    int32_t OverlapPercent = 0;
    int32_t DataPercent = 100;
    int32_t BlockLength = 128;

    bool operator==(const TflSettings&) const = default;
};
std::vector<uint8_t> EncodeTflSettings(const TflSettings& t);
TflSettings DecodeTflSettings(const std::vector<uint8_t>& block);

}  // namespace fim
