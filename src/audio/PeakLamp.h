#pragma once
// The arithmetic of one input-level lamp: a switching threshold set in dB against a full-scale
// reference, and the lamp colour for a peak value. The level setup window and the feedback finder
// show rows of these lamps.
//
// Thread: UI thread only.

#include <array>
#include <cstdint>

namespace fim {

// Colours 0x00BBGGRR.
constexpr uint32_t kLampRed = 0x0000FF;
constexpr uint32_t kLampAmber = 0x00FFFF;  // yellow
constexpr uint32_t kLampGreen = 0x00FF00;  // lime
constexpr uint32_t kLampPurple = 0x800080;

class PeakLamp {
  public:
    // Full-scale reference in sample units. Takes effect at the next SetLevel.
    void SetReferenz(int32_t referenz) { referenz_ = referenz; }
    int32_t Referenz() const { return referenz_; }
    // Threshold = Round(10^(db/20) · referenz), rounded at 64 bits and kept in 32.
    void SetLevel(double db);
    // The threshold in dB to two decimals; −100 when the threshold is below 2.
    double Level() const;
    int32_t Threshold() const { return threshold_; }

    uint32_t Pon = kLampGreen;
    uint32_t Poff = kLampPurple;

    // A peak lights the lamp when its magnitude exceeds the threshold.
    bool Lit(int64_t value) const { return (value < 0 ? -value : value) > threshold_; }
    uint32_t Colour(int64_t value) const { return Lit(value) ? Pon : Poff; }

  private:
    int32_t referenz_ = 32767;
    int32_t threshold_ = 0;
};

// The eight lamps of a level bar, top to bottom.
constexpr std::array<double, 8> kLampLevels = {-2, -4, -7, -10, -20, -30, -40, -60};
using LampBar = std::array<PeakLamp, 8>;
// Every lamp referenced to `fullScale` with its level; red at −2 dB, yellow at −4 and −7 dB,
// lime below, purple when off.
void SetUpLampBar(LampBar& bar, int32_t fullScale);

// The largest peak since the display last looked: the input side raises it once per recorded
// buffer, the display takes it at its own pace, so no peak between two frames is lost.
class PeakHold {
  public:
    void Offer(int32_t peak) {
        if (peak > held_) held_ = peak;
        fresh_ = true;
    }
    // The held peak (0 when none came since the last take) and whether any came.
    int32_t Take(bool* fresh = nullptr) {
        const int32_t p = held_;
        if (fresh != nullptr) *fresh = fresh_;
        held_ = 0;
        fresh_ = false;
        return p;
    }

  private:
    int32_t held_ = 0;
    bool fresh_ = false;
};

}  // namespace fim
