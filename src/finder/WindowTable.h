#pragma once
// The taper-window table shared by the feedback finder and the time-level diagram: a caller fills
// it with MakeWindow right before use and multiplies it into a block of samples. The last
// MakeWindow wins, so every user refills it before each analysis.
//
// Thread: UI thread only; not re-entrant.

#include <cstdint>
#include <span>
#include <vector>

namespace fim {

class WindowTable {
  public:
    static constexpr std::size_t kCapacity = 65536;

    // Taper types: 0 flat, 1 falling ramp, 2 Hann, 3 Hamming, 4 Blackman.
    static constexpr uint8_t kMaxType = 4;

    WindowTable();

    // Fills entries 0 … width−1 with the taper of `type` over `width` samples, clears entries
    // width … length−1 and makes `length` the number of entries the Apply calls use.
    // An unknown type changes nothing and returns false.
    bool MakeWindow(uint16_t width, uint16_t length, uint8_t type);

    // target[k] = source[k] × weight[k] for k < length. Both spans must hold at least `length`
    // values; otherwise nothing is written and false is returned.
    bool ApplyWindow(std::span<const int32_t> source, std::span<double> target) const;
    bool ApplyWindowReal(std::span<const double> source, std::span<double> target) const;

    uint16_t Length() const { return length_; }
    double Weight(std::size_t k) const { return weights_[k]; }

  private:
    std::vector<double> weights_;  // kCapacity entries, zero-filled at construction
    uint16_t length_ = 0;
};

}  // namespace fim
