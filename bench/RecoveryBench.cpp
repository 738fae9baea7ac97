// Impulse recovery against the FFT cross-correlations a user would otherwise reach for (FFTW,
// plans made once with FFTW_MEASURE outside the timed loops), and one peak-synchronised period.

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"
#include "core/Mls.h"
#include "core/Recovery.h"

namespace {

using namespace fim;

std::vector<double> Sequence(int order) {
    ScriptedPrompter prompter;
    std::vector<int8_t> m((std::size_t{1} << order) - 1);
    GenerateMls(order, m.data(), prompter);
    return {m.begin(), m.end()};
}

// A recorded period: the sequence at a level of about −12 dBFS through a small room, plus noise.
std::vector<double> Recording(const std::vector<double>& m) {
    const std::size_t length = m.size();
    std::vector<double> y(length, 0.0);
    const double taps[] = {8000, -2000, 1200, 600, -300};
    for (std::size_t j = 0; j < 5; ++j) {
        for (std::size_t k = 0; k < length; ++k) y[(k + 300 + 17 * j) % length] += taps[j] * m[k];
    }
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0.0, 20.0);
    for (double& v : y) v = std::nearbyint(v + noise(rng));
    return y;
}

double MaxAbs(const std::vector<double>& v) {
    double best = 0;
    for (double x : v) best = std::max(best, std::fabs(x));
    return best;
}

bool Agree(const std::vector<double>& a, const double* b, std::size_t count) {
    double worst = 0;
    for (std::size_t k = 0; k < count; ++k) worst = std::max(worst, std::fabs(a[k] - b[k]));
    return worst <= 1e-9 * MaxAbs(a);
}

void BM_RecoverImpulseFloat(benchmark::State& state) {
    const int order = static_cast<int>(state.range(0));
    const std::vector<double> y = Recording(Sequence(order));
    std::vector<double> out(y.size());
    RecoverImpulseFloat(order, y.data(), out.data());  // builds the cached tables
    for (auto _ : state) {
        RecoverImpulseFloat(order, y.data(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

void BM_RecoverImpulseInt(benchmark::State& state) {
    const int order = static_cast<int>(state.range(0));
    const std::vector<double> y = Recording(Sequence(order));
    std::vector<int32_t> stereo(2 * y.size());
    for (std::size_t k = 0; k < y.size(); ++k) stereo[2 * k + 1] = static_cast<int32_t>(y[k]);
    std::vector<double> out(y.size());
    RecoverImpulseInt(order, 2, stereo.data() + 1, out.data());
    for (auto _ : state) {
        RecoverImpulseInt(order, 2, stereo.data() + 1, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

// Cross-correlation of the recording with the sequence by FFTW: r2c, multiply by the conjugate
// spectrum of the sequence, c2r. Plans are made once (FFTW_MEASURE), outside the timed loop.
// Circular: length L. Padded: the linear correlation zero-padded to 2N, fed with two recorded
// periods so that its lags 0 … L−1 equal the circular ones.
class FftwCorrelation {
  public:
    FftwCorrelation(const std::vector<double>& sequence, int size, bool padded)
        : length_(static_cast<int>(sequence.size())),
          size_(size),
          bins_(size / 2 + 1),
          padded_(padded) {
        in_ = fftw_alloc_real(size_);
        out_ = fftw_alloc_real(size_);
        freqs_ = fftw_alloc_complex(bins_);
        ref_ = fftw_alloc_complex(bins_);
        forward_ = fftw_plan_dft_r2c_1d(size_, in_, freqs_, FFTW_MEASURE);
        backward_ = fftw_plan_dft_c2r_1d(size_, freqs_, out_, FFTW_MEASURE);
        std::memset(in_, 0, sizeof(double) * size_);
        std::memcpy(in_, sequence.data(), sizeof(double) * length_);
        fftw_execute(forward_);
        std::memcpy(ref_, freqs_, sizeof(fftw_complex) * bins_);
        scale_ = 1.0 / (static_cast<double>(length_) * size_);
    }
    FftwCorrelation(const FftwCorrelation&) = delete;
    FftwCorrelation& operator=(const FftwCorrelation&) = delete;
    ~FftwCorrelation() {
        fftw_destroy_plan(forward_);
        fftw_destroy_plan(backward_);
        fftw_free(in_);
        fftw_free(out_);
        fftw_free(freqs_);
        fftw_free(ref_);
    }

    void Run(const std::vector<double>& recording) {
        std::memcpy(in_, recording.data(), sizeof(double) * length_);
        if (padded_) {
            std::memcpy(in_ + length_, recording.data(), sizeof(double) * length_);
            in_[2 * length_] = 0;
            in_[2 * length_ + 1] = 0;
        }
        fftw_execute(forward_);
        for (int k = 0; k < bins_; ++k) {
            const double re = freqs_[k][0] * ref_[k][0] + freqs_[k][1] * ref_[k][1];
            const double im = freqs_[k][1] * ref_[k][0] - freqs_[k][0] * ref_[k][1];
            freqs_[k][0] = re * scale_;
            freqs_[k][1] = im * scale_;
        }
        fftw_execute(backward_);
    }
    const double* Result() const { return out_; }

  private:
    int length_, size_, bins_;
    bool padded_;
    double scale_ = 1.0;
    double* in_;
    double* out_;
    fftw_complex* freqs_;
    fftw_complex* ref_;
    fftw_plan forward_, backward_;
};

void RunFftwCorrelation(benchmark::State& state, bool padded) {
    const int order = static_cast<int>(state.range(0));
    const std::vector<double> m = Sequence(order);
    const std::vector<double> y = Recording(m);
    const int length = static_cast<int>(m.size());
    FftwCorrelation correlation(m, padded ? 2 << order : length, padded);
    correlation.Run(y);
    std::vector<double> ours(length);
    RecoverImpulseFloat(order, y.data(), ours.data());
    if (!Agree(ours, correlation.Result(), length)) {
        state.SkipWithError("FFTW and recovery disagree");
    }
    for (auto _ : state) {
        correlation.Run(y);
        benchmark::DoNotOptimize(correlation.Result());
        benchmark::ClobberMemory();
    }
}

void BM_FftwCircularCorrelation(benchmark::State& state) { RunFftwCorrelation(state, false); }
void BM_FftwPaddedCorrelation(benchmark::State& state) { RunFftwCorrelation(state, true); }

// One period of a peak-synchronised run: coarse timing pass, the period's own recovery, and the
// accumulation. The run never completes, so every iteration takes the "Sample valid" path.
// One averaged period with reference timing and peak sync, as a run processes it. The noise
// tracker is on in a run (the run controller prepares it); the variant without it is the
// baseline its bookkeeping is measured against.
void ProcessPeriodPeakSync(benchmark::State& state, bool tracker) {
    const int order = static_cast<int>(state.range(0));
    static MeasurementState s;
    if (!s.buffers.Allocated()) s.buffers.Allocate({}, [](const std::string&) { std::abort(); });
    const std::vector<double> m = Sequence(order);
    const std::vector<double> y = Recording(m);
    const std::size_t length = m.size();
    const std::size_t n = length + 1;
    int32_t* rec = s.buffers.SampleresultI();
    for (std::size_t f = 0; f < 2 * n; ++f) {
        rec[2 * f] = static_cast<int32_t>(16000 * m[(f + length - 250) % length]);
        rec[2 * f + 1] = static_cast<int32_t>(y[f % length]);
    }
    s.MlsOrder = static_cast<uint8_t>(order);
    s.RecomputeDerived();
    s.AtcMode = 1;
    s.PeakSync = true;
    s.SyncMode = 1;
    s.IgnoreFirst = false;
    s.FirstSamplePending = false;
    s.ShowIntermediate = false;
    s.AveragesTarget = 1 << 30;
    s.AveragesDone = 0;
    if (tracker) {
        s.Noise.Prepare(length);
    } else {
        s.Noise = NoiseTracker();  // unprepared: it tracks nothing
    }
    ProcessPeriod(s);  // the reference period
    for (auto _ : state) {
        ProcessPeriod(s);
        benchmark::ClobberMemory();
    }
    if (s.AveragesDone < 2) state.SkipWithError("periods were not accepted");
    if (tracker != (s.Noise.Periods() >= 2)) state.SkipWithError("tracker state is wrong");
}

void BM_ProcessPeriodPeakSync(benchmark::State& state) { ProcessPeriodPeakSync(state, true); }
void BM_ProcessPeriodPeakSyncNoTracker(benchmark::State& state) {
    ProcessPeriodPeakSync(state, false);
}

BENCHMARK(BM_RecoverImpulseFloat)->DenseRange(12, 18)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecoverImpulseInt)->DenseRange(12, 18)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftwCircularCorrelation)->DenseRange(12, 18)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftwPaddedCorrelation)->DenseRange(12, 18)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProcessPeriodPeakSync)->DenseRange(12, 18)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProcessPeriodPeakSyncNoTracker)->Arg(18)->Unit(benchmark::kMicrosecond);

}  // namespace
