#include "core/Resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

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

// The kernel rows of every phase, one after the other.
const std::vector<double>& KernelTable() {
    static const std::vector<double> table = [] {
        constexpr int taps = 2 * FractionalReader::kHalf;
        std::vector<double> t(std::size_t{FractionalReader::kPhases} * taps);
        const double norm = 1.0 / BesselI0(kBeta);
        for (int phase = 0; phase < FractionalReader::kPhases; ++phase) {
            const double frac = double(phase) / FractionalReader::kPhases;
            for (int i = 0; i < taps; ++i) {
                // Tap i sits at offset i − kHalf + 1 from the integer base; t is its distance from
                // the read position.
                const double d = double(i - FractionalReader::kHalf + 1) - frac;
                const double r = d / FractionalReader::kHalf;
                const double w =
                    std::abs(r) >= 1.0 ? 0.0 : BesselI0(kBeta * std::sqrt(1.0 - r * r)) * norm;
                const double s =
                    d == 0.0 ? 1.0 : std::sin(std::numbers::pi * d) / (std::numbers::pi * d);
                t[std::size_t(phase) * taps + std::size_t(i)] = s * w;
            }
        }
        return t;
    }();
    return table;
}

}  // namespace

const double* FractionalReader::Table() { return KernelTable().data(); }

void FractionalReader::Prepare() { KernelTable(); }

void FractionalReader::AtStereo(const int32_t* x, std::ptrdiff_t count, double pos, double& left,
                                double& right) const {
    const double base = std::floor(pos);
    int phase = static_cast<int>(std::lround((pos - base) * kPhases));
    auto first = static_cast<std::ptrdiff_t>(base) - kHalf + 1;
    if (phase == kPhases) {
        phase = 0;
        ++first;
    }
    if (first < 0 || first + 2 * kHalf > count) {
        left = At(x, count, 2, pos);
        right = At(x + 1, count, 2, pos);
        return;
    }
    if (table_ == nullptr) table_ = Table();
    const double* row = table_ + std::ptrdiff_t{phase} * (2 * kHalf);
    const int32_t* p = x + 2 * first;
    // Four partial sums per channel, so the additions do not wait on each other.
    double l[4] = {}, r[4] = {};
    for (int i = 0; i < 2 * kHalf; i += 4) {
        for (int j = 0; j < 4; ++j) {
            l[j] += row[i + j] * static_cast<double>(p[2 * (i + j)]);
            r[j] += row[i + j] * static_cast<double>(p[2 * (i + j) + 1]);
        }
    }
    left = (l[0] + l[1]) + (l[2] + l[3]);
    right = (r[0] + r[1]) + (r[2] + r[3]);
}

void ResampleRecording(const int32_t* in, std::size_t inFrames, double ratio, double period,
                       double offset, int32_t* out, std::size_t outFrames) {
    const auto count = static_cast<std::ptrdiff_t>(inFrames);
    const double lastFull = double(count - FractionalReader::kHalf);
    const FractionalReader reader;
    for (std::size_t k = 0; k < outFrames; ++k) {
        double pos = offset + double(k) * ratio;
        while (pos > lastFull && pos - period >= 0.0 && period > 0.0) pos -= period;
        double l, r;
        reader.AtStereo(in, count, pos, l, r);
        out[2 * k] =
            static_cast<int32_t>(std::clamp(std::nearbyint(l), -2147483648.0, 2147483647.0));
        out[2 * k + 1] =
            static_cast<int32_t>(std::clamp(std::nearbyint(r), -2147483648.0, 2147483647.0));
    }
}

}  // namespace fim
