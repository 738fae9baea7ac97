#include "core/NoiseFloor.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "core/Recovery.h"

namespace fim {

void NoiseTracker::Prepare(std::size_t length) {
    if (difference_.size() < length) difference_.assign(length, 0.0);
    if (recovered_.size() < length) recovered_.assign(length, 0.0);
    if (estimate_.size() < length) estimate_.assign(length, 0.0);
    Reset();
}

namespace {
template <class T>
void Difference(const T* period, const double* sumBefore, int countBefore, std::size_t length,
                double* out, std::size_t stride = 1) {
    const double scale = 1.0 / countBefore;
    for (std::size_t k = 0; k < length; ++k) {
        out[k] = double(period[k * stride]) - sumBefore[k] * scale;
    }
}
}  // namespace

void NoiseTracker::Add(const double* period, const double* sumBefore, int countBefore,
                       std::size_t length) {
    if (length > difference_.size()) return;
    length_ = length;
    periods_ = countBefore + 1;
    sampleDomain_ = false;
    if (countBefore >= 1) Difference(period, sumBefore, countBefore, length, difference_.data());
}

void NoiseTracker::Add(const int32_t* period, const double* sumBefore, int countBefore,
                       std::size_t length, std::size_t stride) {
    if (length > difference_.size()) return;
    length_ = length;
    periods_ = countBefore + 1;
    sampleDomain_ = true;
    if (countBefore >= 1) {
        Difference(period, sumBefore, countBefore, length, difference_.data(), stride);
    }
}

void NoiseTracker::ToResponse(int order) {
    if (!sampleDomain_ || periods_ < 2 || length_ != (std::size_t{1} << order) - 1) return;
    if (recovered_.size() < length_) return;
    RecoverImpulseFloat(order, difference_.data(), recovered_.data());
    std::swap(difference_, recovered_);
    sampleDomain_ = false;
}

void NoiseTracker::Finish(int order) {
    ToResponse(order);
    ready_ = false;
    if (sampleDomain_ || estimate_.size() < length_ || !Noise(estimate_.data(), length_)) return;
    estimateLength_ = length_;
    estimatePeriods_ = periods_;
    ready_ = true;
}

bool NoiseTracker::Noise(double* out, std::size_t length) const {
    if (periods_ < 2 || length > length_) return false;
    const double n = periods_;
    const double scale = std::sqrt(n - 1.0) / n;
    for (std::size_t k = 0; k < length; ++k) out[k] = difference_[k] * scale;
    return true;
}

std::vector<double> NoiseTracker::Noise() const {
    std::vector<double> out;
    if (periods_ < 2) return out;
    out.resize(length_);
    Noise(out.data(), length_);
    return out;
}

std::vector<double> PowerSpectrum(const double* x, std::size_t count, std::size_t& size) {
    size = 1;
    while (size < count) size <<= 1;
    std::vector<std::complex<double>> a(size);
    for (std::size_t k = 0; k < count; ++k) a[k] = x[k];
    // Iterative radix-2 transform.
    for (std::size_t i = 1, j = 0; i < size; ++i) {
        std::size_t bit = size >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= size; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2.0 * std::numbers::pi / double(len));
        for (std::size_t i = 0; i < size; i += len) {
            std::complex<double> wk = 1.0;
            for (std::size_t k = 0; k < len / 2; ++k) {
                const auto u = a[i + k];
                const auto v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                wk *= w;
            }
        }
    }
    std::vector<double> power(size / 2 + 1);
    for (std::size_t k = 0; k < power.size(); ++k) power[k] = std::norm(a[k]);
    return power;
}

std::size_t SnrSignalStart(int32_t peakIndex, double sampleRate) {
    const auto before = static_cast<std::size_t>(std::nearbyint(sampleRate / 1000.0));
    const auto peak = static_cast<std::size_t>(peakIndex - 1);
    return peak > before ? peak - before : 0;
}

std::vector<BandSnr> OctaveSnr(const double* response, const double* noise, std::size_t start,
                               std::size_t count, double sampleRate) {
    std::size_t size = 0;
    const auto signal = PowerSpectrum(response + start, count, size);
    const auto floor = PowerSpectrum(noise + start, count, size);
    std::vector<BandSnr> bands;
    const double binWidth = sampleRate / double(size);
    for (double centre : kOctaveCentres) {
        BandSnr b;
        b.centre = centre;
        double s = 0.0, f = 0.0;
        const double low = centre / std::numbers::sqrt2, high = centre * std::numbers::sqrt2;
        for (std::size_t k = 1; k < signal.size(); ++k) {
            const double hz = double(k) * binWidth;
            if (hz < low || hz >= high) continue;
            s += signal[k];
            f += floor[k];
            b.valid = true;
        }
        if (b.valid) b.snrDb = f > 0.0 ? 10.0 * std::log10(s / f) : 200.0;
        if (b.valid && s <= 0.0) b.snrDb = -200.0;
        bands.push_back(b);
    }
    return bands;
}

TailSnr TailNoiseSnr(const double* response, std::size_t length, std::size_t start,
                     std::size_t count, double sampleRate) {
    TailSnr r;
    if (count < 2 || start + 2 * count > length) {
        r.reason = "the response is too short for a noise tail after the analysed part";
        return r;
    }
    r.noiseStart = length - count;
    const double* tail = response + r.noiseStart;
    double early = 0.0, late = 0.0;
    for (std::size_t k = 0; k < count / 2; ++k) early += tail[k] * tail[k];
    for (std::size_t k = count / 2; k < 2 * (count / 2); ++k) late += tail[k] * tail[k];
    if (!(early + late > 0.0)) {
        r.reason = "the response's tail is silent";
        return r;
    }
    if (early > 2.0 * late) {
        r.reason = "the response still decays at its end";
        return r;
    }
    // OctaveSnr reads signal and noise from the same offset.
    std::vector<double> noise(start + count, 0.0);
    std::copy_n(tail, count, noise.begin() + static_cast<std::ptrdiff_t>(start));
    r.bands = OctaveSnr(response, noise.data(), start, count, sampleRate);
    return r;
}

}  // namespace fim
