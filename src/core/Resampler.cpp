#include "core/Resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace fim {

namespace {

// Modified Bessel function of the first kind, order 0 (series; converges fast for the window).
double BesselI0(double x) {
    double sum = 1.0, term = 1.0;
    const double q = x * x / 4.0;
    for (int k = 1; k < 40; ++k) {
        term *= q / (double(k) * double(k));
        sum += term;
        if (term < sum * 1e-17) break;
    }
    return sum;
}

constexpr double kBeta = 9.0;

}  // namespace

void FractionalReader::MakeRow(int phase) {
    phase_ = phase;
    static const double norm = 1.0 / BesselI0(kBeta);
    const double frac = double(phase) / kPhases;
    for (int i = 0; i < 2 * kHalf; ++i) {
        // Tap i sits at offset i − kHalf + 1 from the integer base; t is its distance from pos.
        const double t = double(i - kHalf + 1) - frac;
        const double r = t / kHalf;
        const double w = std::abs(r) >= 1.0 ? 0.0 : BesselI0(kBeta * std::sqrt(1.0 - r * r)) * norm;
        const double s = t == 0.0 ? 1.0 : std::sin(std::numbers::pi * t) / (std::numbers::pi * t);
        row_[i] = s * w;
    }
}

void ResampleRecording(const int32_t* in, std::size_t frames, double ratio, double period,
                       double offset, int32_t* out) {
    const auto count = static_cast<std::ptrdiff_t>(frames);
    const double lastFull = double(count - FractionalReader::kHalf);
    FractionalReader left, right;
    for (std::ptrdiff_t k = 0; k < count; ++k) {
        double pos = offset + double(k) * ratio;
        while (pos > lastFull && pos - period >= 0.0 && period > 0.0) pos -= period;
        const double l = left.At(in, count, 2, pos);
        const double r = right.At(in + 1, count, 2, pos);
        out[2 * k] =
            static_cast<int32_t>(std::clamp(std::nearbyint(l), -2147483648.0, 2147483647.0));
        out[2 * k + 1] =
            static_cast<int32_t>(std::clamp(std::nearbyint(r), -2147483648.0, 2147483647.0));
    }
}

}  // namespace fim
