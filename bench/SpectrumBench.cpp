// Spectrum engine against FFTW's real-input transform, measured side by side in one run.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <random>
#include <vector>

#include "core/FftEngine.h"
#include "spectrum/SpectrumComputer.h"

namespace {

std::vector<double> Noise(int n) {
    std::mt19937 gen(42);
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    std::vector<double> x(n);
    for (double& v : x) v = d(gen);
    return x;
}

void BM_FftMagnitudePhase(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    fim::FftEngine& fft = fim::SharedFft();
    std::vector<double> x = Noise(n);
    std::vector<fim::SpectrumRecord> out(n / 2 + 1);
    for (auto _ : state) {
        fft.FftMagnitudePhase(x.data(), out.data(), n, false);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FftMagnitudePhase)->RangeMultiplier(2)->Range(2048, 65536);

// The transform alone (what FftMagnitudePhase does before the magnitude and phase of each bin):
// the like-for-like figure next to BM_FftwR2C.
void BM_FftRealTransform(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    fim::FftEngine& fft = fim::SharedFft();
    std::vector<double> x = Noise(n);
    std::vector<std::complex<double>> first(fim::FftEngine::kFirstBins);
    for (auto _ : state) {
        fft.FftFirstBins(x.data(), first.data(), n, false);
        benchmark::DoNotOptimize(fft.Re());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FftRealTransform)->RangeMultiplier(2)->Range(2048, 65536);

// FFTW's real-input transform, plan made once with FFTW_MEASURE.
void BM_FftwR2C(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    double* in = fftw_alloc_real(n);
    fftw_complex* out = fftw_alloc_complex(n / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
    std::vector<double> x = Noise(n);
    std::copy(x.begin(), x.end(), in);
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
}
BENCHMARK(BM_FftwR2C)->RangeMultiplier(2)->Range(2048, 65536);

void BM_SmoothAnalysis(benchmark::State& state) {
    fim::FftEngine& fft = fim::SharedFft();
    std::vector<double> x = Noise(32768);
    std::vector<fim::SmoothRecord> out(fim::kSmoothRecords);
    for (auto _ : state) {
        fft.SmoothAnalysis(x.data(), out.data(), 48000.0);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SmoothAnalysis);

// The whole spectrum step for a 32768-sample window: transform, display spectrum, smoothing with
// v = 10 and the peak.
void BM_SpectrumStep(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<double> ir = Noise(n + 100);
    fim::SpectrumComputer computer;
    fim::SpectrumInput in;
    in.impulse = ir.data();
    in.impulseCount = ir.size();
    in.viewStart = 50;
    in.viewEnd = 50 + n;
    in.fftSize = n;
    in.sampleRate = 48000.0;
    in.smoothingWidth = fim::SmoothingWidthFromValue(10);
    for (auto _ : state) {
        computer.ComputeSpectrum(in, nullptr);
        benchmark::DoNotOptimize(computer.PeakLevel());
    }
}
BENCHMARK(BM_SpectrumStep)->Arg(32768);

}  // namespace
