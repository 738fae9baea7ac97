// The drift correction's resampling of one recorded period (both channels), to be read against
// BM_FftwPaddedCorrelation of the same order, which runs in the same binary.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "core/Resampler.h"

namespace {

using namespace fim;

// One period of L stereo frames read at a 50 ppm ratio out of two recorded periods, as the
// correction of a continuous run does; the kernel table is built before the timed loop.
void BM_DriftResamplePeriod(benchmark::State& state) {
    const int order = static_cast<int>(state.range(0));
    const std::size_t length = (std::size_t{1} << order) - 1;
    std::vector<int32_t> in(4 * length), out(2 * length);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int32_t> value(-20000, 20000);
    for (auto& v : in) v = value(rng);
    const double ratio = DriftRatio(50.0);
    FractionalReader::Prepare();
    for (auto _ : state) {
        ResampleRecording(in.data(), 2 * length, ratio, double(length) * ratio,
                          double(length) + 123.4, out.data(), length);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_DriftResamplePeriod)->Arg(16)->Arg(18)->Unit(benchmark::kMicrosecond);
