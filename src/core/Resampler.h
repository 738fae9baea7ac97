#pragma once
// Band-limited reading of a sampled signal at fractional positions, and the resampling of a
// recording by a clock ratio (drift correction).
//
// The kernel is a windowed sinc of 32 taps (Kaiser window, beta 9). The read position's
// fraction is quantised to 1/8192 sample; the kernel rows of all 8192 phases are computed once per
// process (2 MiB, about 20 ms, on the first read unless Prepare ran before), so every read costs
// 32 multiply-adds, whatever the ratio.

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace fim {

class FractionalReader {
  public:
    static constexpr int kHalf = 16;  // taps on each side of the read position
    static constexpr int kPhases = 8192;

    // Sample value at position `pos` of `x` (`count` samples `stride` elements apart); samples
    // before 0 or from `count` on count as 0.
    template <class T>
    double At(const T* x, std::ptrdiff_t count, std::ptrdiff_t stride, double pos) const;

    // Builds the shared kernel table if it is not built yet (it takes a few milliseconds: call
    // it at set-up, not on a time-critical path).
    static void Prepare();

    // Both channels of interleaved stereo frames at `pos` (the frames' layout of At with stride
    // 2), in one pass over the kernel.
    void AtStereo(const int32_t* x, std::ptrdiff_t count, double pos, double& left,
                  double& right) const;

  private:
    static const double* Table();
    // The shared kernel rows, 2·kHalf taps per phase; looked up on the first read.
    mutable const double* table_ = nullptr;
};

// Writes `outFrames` stereo frames (interleaved, left first) to `out`, frame k being `in`
// (`inFrames` frames) read at offset + k · ratio. A recording of a periodic signal is continued
// past its end by its period: reads that reach beyond the last frame are taken one `period` (in
// input frames, fractional) earlier, so the tail of the last period is rebuilt rather than faded
// out. `in` and `out` must not overlap.
void ResampleRecording(const int32_t* in, std::size_t inFrames, double ratio, double period,
                       double offset, int32_t* out, std::size_t outFrames);
// The same with as many output frames as input frames.
inline void ResampleRecording(const int32_t* in, std::size_t frames, double ratio, double period,
                              double offset, int32_t* out) {
    ResampleRecording(in, frames, ratio, period, offset, out, frames);
}

// Ratio that undoes a clock offset of `ppm` (input clock fast by ppm against the output).
inline double DriftRatio(double ppm) { return 1.0 + ppm * 1e-6; }

template <class T>
double FractionalReader::At(const T* x, std::ptrdiff_t count, std::ptrdiff_t stride,
                            double pos) const {
    const double base = std::floor(pos);
    int phase = static_cast<int>(std::lround((pos - base) * kPhases));
    auto first = static_cast<std::ptrdiff_t>(base) - kHalf + 1;
    if (phase == kPhases) {
        phase = 0;
        ++first;
    }
    if (table_ == nullptr) table_ = Table();
    const double* row = table_ + std::ptrdiff_t{phase} * (2 * kHalf);
    double sum = 0.0;
    if (first >= 0 && first + std::ptrdiff_t{2 * kHalf} <= count) {
        const T* p = x + first * stride;
        for (int i = 0; i < 2 * kHalf; ++i) sum += row[i] * static_cast<double>(p[i * stride]);
        return sum;
    }
    for (int i = 0; i < 2 * kHalf; ++i) {
        const std::ptrdiff_t k = first + i;
        if (k >= 0 && k < count) sum += row[i] * static_cast<double>(x[k * stride]);
    }
    return sum;
}

}  // namespace fim
