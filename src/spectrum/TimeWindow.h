#pragma once
// An analysis window preset placed around the impulse peak: the fixed 10 ms and 20 ms windows,
// the two user windows and the window stored in each user macro. Times are in microseconds; the
// sample counts are derived from them at the current sample rate when the window is applied.

#include <cmath>
#include <cstdint>
#include <string>

namespace fim {

struct TimeWindow {
    std::string name;           // up to 31 characters when stored
    int32_t beforeUs = 0;       // time before the peak, µs
    int32_t afterUs = 0;        // time after the peak, µs
    int32_t beforeSamples = 0;  // derived: round(beforeUs / 1e6 · fs)
    int32_t afterSamples = 0;   // derived: round(afterUs / 1e6 · fs)

    bool operator==(const TimeWindow&) const = default;
};

// Samples covering `us` microseconds at `sampleRate` Hz, rounded half to even.
inline int32_t MicrosecondsToSamples(int32_t us, double sampleRate) {
    return static_cast<int32_t>(std::nearbyint(static_cast<double>(us) / 1000000.0 * sampleRate));
}

}  // namespace fim
