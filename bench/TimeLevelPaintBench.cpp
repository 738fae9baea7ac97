// One activation of the time-level diagram (100 tapered 128-point transforms, levels, and the
// 517 × 247 image), against FFTW doing the same 100 transforms with the same level arithmetic as
// the baseline.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <QImage>
#include <cmath>
#include <vector>

#include "BenchGui.h"
#include "auxwindows/TimeLevelDiagram.h"
#include "auxwindows/ui/paint/TimeLevelPainter.h"
#include "core/FftEngine.h"
#include "finder/WindowTable.h"

namespace {

std::vector<double> RoomResponse() {
    std::vector<double> r(32767, 0.0);
    for (std::size_t i = 300; i < r.size(); ++i) {
        const double t = static_cast<double>(i - 300);
        r[i] = 1000.0 * std::exp(-t / 3000.0) * std::sin(0.37 * t + 1e-5 * t * t);
    }
    return r;
}

void BM_TimeLevelActivation(benchmark::State& state) {
    EnsureGuiApplication();
    const std::vector<double> ir = RoomResponse();
    fim::WindowTable window;
    fim::FftEngine engine;
    fim::LevelMatrix m;
    for (auto _ : state) {
        fim::ComputeLevels(fim::TflSettings{}, ir, 250, window, engine, m);
        const QImage image = fim::TimeLevelImage(m, 517, 247);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_TimeLevelActivation)->Unit(benchmark::kMicrosecond);

// The levels alone: what the FFTW baseline below does.
void BM_TimeLevelCompute(benchmark::State& state) {
    const std::vector<double> ir = RoomResponse();
    fim::WindowTable window;
    fim::FftEngine engine;
    fim::LevelMatrix m;
    for (auto _ : state) {
        fim::ComputeLevels(fim::TflSettings{}, ir, 250, window, engine, m);
        benchmark::DoNotOptimize(m.Values.data());
    }
}
BENCHMARK(BM_TimeLevelCompute)->Unit(benchmark::kMicrosecond);

void BM_FftwTimeLevelBlocks(benchmark::State& state) {
    const std::vector<double> ir = RoomResponse();
    constexpr int kB = 128;
    double* in = fftw_alloc_real(kB);
    fftw_complex* out = fftw_alloc_complex(kB / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(kB, in, out, FFTW_MEASURE);
    std::vector<double> levels(100 * (kB / 2 - 1));
    for (auto _ : state) {
        double max = 0.0;
        for (int c = 0; c < 100; ++c) {
            std::copy_n(ir.begin() + 249 + c * kB, kB, in);
            fftw_execute(plan);
            for (int k = 1; k < kB / 2; ++k) {
                const double mag = std::hypot(out[k][0], out[k][1]);
                const double l = mag > 0.0 ? 10.0 * std::log(mag) : 0.0;
                if (l > max && k + 1 < c) max = l;
                levels[static_cast<std::size_t>(c * (kB / 2 - 1) + k - 1)] = l;
            }
        }
        for (double& v : levels) v = max > 0.0 ? v * 255.0 / max : 0.0;
        benchmark::DoNotOptimize(levels.data());
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
}
BENCHMARK(BM_FftwTimeLevelBlocks)->Unit(benchmark::kMicrosecond);

}  // namespace
