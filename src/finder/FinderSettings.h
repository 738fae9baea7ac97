#pragma once
// The feedback finder's settings, stored whole as the 20-byte binary settings value "FBF":
//   0 int32 DisplayMode, 4 int32 TriggerThreshold, 8 int32 Resolution, 12 uint8 AutoRestart,
//   13 three padding bytes (written as zeros, ignored on reading), 16 int32 RestartStep;
// all little-endian.

#include <cstdint>
#include <vector>

namespace fim {

struct FinderSettings {
    static constexpr std::size_t kBytes = 20;
    int32_t DisplayMode = 1;         // 0 EQ 31, 1 EQ 15, 2 EQ 10, 3 FREQUENCY
    int32_t TriggerThreshold = -10;  // dB re full scale: −3, −6, −10, −15, −20
    int32_t Resolution = 1;          // 0 HIGH (8192 samples), 1 NORMAL (4096), 2 LOW (2048)
    uint8_t AutoRestart = 1;
    int32_t RestartStep = 1;  // 0: 10 dB below the trigger, 1: 20 dB below

    bool operator==(const FinderSettings&) const = default;
};

std::vector<uint8_t> EncodeFinderSettings(const FinderSettings& f);
// Fields out of their ranges take their defaults, except the threshold: a value other than −3,
// −6, −10, −15 or −20 dB reads as −20 dB, the value the features dialog shows for it (a stored
// number such as 2, above full scale, would never trigger). A short block reads as zeros past
// its end.
FinderSettings DecodeFinderSettings(const std::vector<uint8_t>& block);

// The threshold the finder and the dialog use for a stored value (−20 for unknown values).
int32_t FinderThresholdDb(int32_t stored);

}  // namespace fim
