#include "finder/WindowTable.h"

#include <cmath>
#include <numbers>

namespace fim {

WindowTable::WindowTable() : weights_(kCapacity, 0.0) {}

bool WindowTable::MakeWindow(uint16_t width, uint16_t length, uint8_t type) {
    if (type > kMaxType) return false;
    const long double w = width;
    const long double twoPi = 2.0L * std::numbers::pi_v<long double>;
    const int h = width / 2;
    for (int i = 1; i <= width; ++i) {
        // x counts from the taper's middle; computed as a signed integer first.
        const long double x = static_cast<long double>(i - h);
        long double weight = 1.0L;
        switch (type) {
            case 0:
                weight = 1.0L;
                break;
            case 1:
                weight = 1.0L - 2.0L * x / w;
                break;
            case 2:
                weight = (std::cos(twoPi * x / w) + 1.0L) * 0.5L;
                break;
            case 3:
                weight = 0.54L + 0.46L * std::cos(twoPi * x / w);
                break;
            case 4:
                weight =
                    0.42L + 0.5L * std::cos(twoPi * x / w) + 0.08L * std::cos(2.0L * twoPi * x / w);
                break;
        }
        weights_[static_cast<std::size_t>(i - 1)] = static_cast<double>(weight);
    }
    for (std::size_t k = width; k < length; ++k) weights_[k] = 0.0;
    length_ = length;
    return true;
}

bool WindowTable::ApplyWindow(std::span<const int32_t> source, std::span<double> target) const {
    if (source.size() < length_ || target.size() < length_) return false;
    for (std::size_t k = 0; k < length_; ++k) target[k] = source[k] * weights_[k];
    return true;
}

bool WindowTable::ApplyWindowReal(std::span<const double> source, std::span<double> target) const {
    if (source.size() < length_ || target.size() < length_) return false;
    for (std::size_t k = 0; k < length_; ++k) target[k] = source[k] * weights_[k];
    return true;
}

}  // namespace fim
