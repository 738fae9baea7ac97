#include "core/ClockDrift.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>

#include "core/Recovery.h"
#include "core/Resampler.h"
#include "core/SampleFormat.h"

namespace fim {

namespace {

constexpr std::ptrdiff_t kMaxLag = 64;
constexpr std::ptrdiff_t kSpan = 64;
// Bins up to 0.3 of the sampling rate: below the band edge of any converter, and a residual
// delay of half a sample keeps the phase within ±0.3π there.
constexpr int kTopBin = 19;

double Value(const double* x, std::ptrdiff_t count, std::ptrdiff_t k) {
    return k >= 0 && k < count ? x[k] : 0.0;
}

}  // namespace

std::optional<double> RelativeDelay(const double* a, const double* b, std::size_t count) {
    const auto n = static_cast<std::ptrdiff_t>(count);
    if (n < kSpan) return std::nullopt;
    std::ptrdiff_t peak = 0;
    double peakValue = 0.0, power = 0.0;
    for (std::ptrdiff_t k = 0; k < n; ++k) {
        const double m = std::abs(a[k]);
        power += a[k] * a[k];
        if (m > peakValue) peakValue = m, peak = k;
    }
    const double rms = std::sqrt(power / double(n));
    if (!(peakValue > 10.0 * rms)) return std::nullopt;

    const std::ptrdiff_t start = peak - kSpan / 2;
    std::ptrdiff_t bestLag = 0;
    double best = -1.0;
    for (std::ptrdiff_t lag = -kMaxLag; lag <= kMaxLag; ++lag) {
        double c = 0.0;
        for (std::ptrdiff_t k = start; k < start + kSpan; ++k) {
            c += Value(a, n, k) * Value(b, n, k + lag);
        }
        if (c > best) best = c, bestLag = lag;
    }

    // Residual delay: weighted least-squares slope of the cross spectrum's phase, through 0.
    double num = 0.0, den = 0.0;
    for (int m = 1; m <= kTopBin; ++m) {
        std::complex<double> fa, fb;
        for (std::ptrdiff_t k = 0; k < kSpan; ++k) {
            const std::complex<double> e =
                std::polar(1.0, -2.0 * std::numbers::pi * double(m) * double(k) / double(kSpan));
            fa += Value(a, n, start + k) * e;
            fb += Value(b, n, start + bestLag + k) * e;
        }
        const std::complex<double> cross = fb * std::conj(fa);
        const double w = std::abs(cross);
        const double omega = 2.0 * std::numbers::pi * double(m) / double(kSpan);
        num += w * omega * -std::arg(cross);
        den += w * omega * omega;
    }
    if (!(den > 0.0)) return double(bestLag);
    return double(bestLag) + num / den;
}

std::optional<double> MeasureRecordingDrift(const int32_t* recording, int order, bool leftChannel) {
    if (order < 2 || order > 24) return std::nullopt;
    const std::size_t length = (std::size_t{1} << order) - 1;
    thread_local std::vector<double> first, second;
    if (first.size() < length) {
        first.assign(length, 0.0);
        second.assign(length, 0.0);
    }
    // Frames 1 … L and L + 1 … 2L: both periods lie inside the 2·N recorded frames.
    const int32_t* from = recording + 2 + (leftChannel ? 0 : 1);
    RecoverImpulseInt(order, 2, from, first.data());
    RecoverImpulseInt(order, 2, from + 2 * length, second.data());
    const auto delay = RelativeDelay(first.data(), second.data(), length);
    if (!delay) return std::nullopt;
    return *delay / double(length) * 1e6;
}

void DriftCorrector::Prepare(int order) {
    order_ = order;
    length_ = order >= 2 && order <= 24 ? (std::size_t{1} << order) - 1 : 0;
    reference_.assign(length_, 0.0);
    first_.assign(length_, 0.0);
    second_.assign(length_, 0.0);
    copy_.assign(4 * (length_ + 1), 0);
    stream_.assign(4 * length_, 0);
    haveReference_ = false;
    havePrevious_ = false;
    haveOffset_ = false;
    offset_ = 0.0;
    corrected_ = 0;
    tracker_.Reset();
    FractionalReader::Prepare();
}

bool DriftCorrector::Process(int32_t* recording, bool leftChannel, bool correct) {
    if (length_ == 0) return false;
    const int32_t* from = recording + 2 + (leftChannel ? 0 : 1);
    RecoverImpulseInt(order_, 2, from, first_.data());
    RecoverImpulseInt(order_, 2, from + 2 * length_, second_.data());
    const auto delay = RelativeDelay(first_.data(), second_.data(), length_);
    if (!delay) return false;
    tracker_.Add(*delay / double(length_) * 1e6);
    if (!haveReference_) {
        reference_ = first_;
        haveReference_ = true;
    }
    if (!correct) return true;
    // Where this recording's first-period impulse lies against the run's reference. The time
    // base is the first recording's frame 1, where the first period starts: frame k is read at
    // offset + 1 + (k − 1)·ratio.
    const auto offset = RelativeDelay(reference_.data(), first_.data(), length_);
    if (!offset) return true;
    const double ratio = DriftRatio(*tracker_.Ppm());
    const double middle = 1.0;
    const std::size_t frames = length_ + 1;
    std::copy(recording, recording + 4 * frames, copy_.begin());
    ResampleRecording(copy_.data(), 2 * frames, ratio, double(length_) * ratio,
                      *offset + middle * (1.0 - ratio), recording);
    ++corrected_;
    return true;
}

bool DriftCorrector::ProcessStreamPeriod(int32_t* recording, bool leftChannel, StreamUse use,
                                         bool correct) {
    if (length_ == 0) return false;
    const std::size_t n = length_ + 1;
    const std::size_t l = length_;
    // Frames 1 … L repeat the period at frames N … N + L − 1 in the phase of a two-period
    // recording, so impulse positions compare with those of Process.
    RecoverImpulseInt(order_, 2, recording + 2 + (leftChannel ? 0 : 1), first_.data());
    std::optional<double> step;
    if (havePrevious_) step = RelativeDelay(second_.data(), first_.data(), l);
    if (step && haveOffset_) {
        offset_ += *step;
    } else if (haveReference_) {
        // No contiguous predecessor: place the period against the run's first one (within the
        // reach of the delay search).
        const auto at = RelativeDelay(reference_.data(), first_.data(), l);
        haveOffset_ = at.has_value();
        if (at) offset_ = *at;
    } else if (RelativeDelay(first_.data(), first_.data(), l)) {
        // The first period with a clear impulse is the run's time base.
        reference_ = first_;
        haveReference_ = haveOffset_ = true;
        offset_ = 0.0;
    }
    const bool averaged = use == StreamUse::Averaged;
    if (step && averaged) tracker_.Add(*step / double(l) * 1e6);

    // stream_ holds [predecessor | this period], each L frames as recorded.
    const auto frames = static_cast<std::ptrdiff_t>(l);
    std::copy(recording + 2 * n, recording + 2 * (n + l), stream_.begin() + 2 * frames);
    if (correct && averaged && havePrevious_ && haveOffset_ && tracker_.Ppm()) {
        // Output frame k is read at L + offset + k·ratio. The output repeats every L·ratio input
        // frames, so reads past the end are taken one period earlier, in the predecessor.
        const double ratio = DriftRatio(*tracker_.Ppm());
        const double period = double(l) * ratio;
        double offset = std::fmod(offset_, period);
        if (offset < 0.0) offset += period;
        ResampleRecording(stream_.data(), 2 * l, ratio, period, double(l) + offset,
                          recording + 2 * n, l);
        RepeatStreamPeriod(recording, n);
        ++corrected_;
    }
    std::copy(stream_.begin() + 2 * frames, stream_.end(), stream_.begin());
    std::swap(first_, second_);
    havePrevious_ = true;
    return step && averaged;
}

std::string DriftStateText(double ppm, bool corrected) {
    char text[80];
    std::snprintf(text, sizeof text, "%.1f ppm, %s", ppm,
                  corrected ? "corrected" : "not corrected");
    return text;
}

std::string DriftText(double ppm, double thresholdPpm) {
    char text[80];
    std::snprintf(text, sizeof text, "Clock drift %.1f ppm%s", ppm,
                  std::abs(ppm) > thresholdPpm ? " - check clocks" : "");
    return text;
}

}  // namespace fim
