#pragma once
// An analysis window placed around the impulse peak: a name, the time before and after the peak
// in microseconds, and the sample counts derived from those times at the current sample rate.
// The user windows are stored as 48-byte blocks (USER1, USER2):
//   0  name: length byte + up to 31 characters, zero-filled
//   32 time before the peak, µs (int32)    36 time after the peak, µs (int32)
//   40 samples before the peak (int32)     44 samples after the peak (int32)

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fim {

struct TimeWindow {
    static constexpr std::size_t kBytes = 48;
    static constexpr std::size_t kMaxName = 31;

    std::string name;
    int32_t timeBefore = 0;  // µs
    int32_t timeAfter = 0;   // µs
    int32_t samplesBefore = 0;
    int32_t samplesAfter = 0;

    // The stored block, little-endian. Names longer than 31 bytes are cut.
    std::array<uint8_t, kBytes> Encode() const;
    // Reads a stored block; false (and `out` untouched) unless exactly kBytes are given. A length
    // byte above 31 is read as 31.
    static bool Decode(const uint8_t* data, std::size_t size, TimeWindow& out);

    // round(µs / 1e6 · fs), half to even.
    static int32_t SamplesFor(int32_t microseconds, double sampleRate);

    bool operator==(const TimeWindow&) const = default;
};

// A TimeWindow's block at offset `at` of a larger block (USER1, USER2 and inside each macro).
// Encoding grows `out` as needed; decoding reads missing bytes as zero.
void EncodeTimeWindow(const TimeWindow& w, std::vector<uint8_t>& out, std::size_t at);
TimeWindow DecodeTimeWindow(const std::vector<uint8_t>& block, std::size_t at);
std::vector<uint8_t> EncodeTimeWindow(const TimeWindow& w);
TimeWindow DecodeTimeWindow(const std::vector<uint8_t>& block);

// A window with its sample counts derived at 44100 Hz.
TimeWindow MakeTimeWindow(const char* name, int32_t before, int32_t after);

// The fixed windows around the peak, with sample counts at 44100 Hz.
TimeWindow TenMsWindow();
TimeWindow TwentyMsWindow();

}  // namespace fim
