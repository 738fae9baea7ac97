// Painting the time trace and the overview of an order-18 response, against a plain copy of the
// same 2 MiB of samples as the baseline.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "BenchGui.h"
#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"
#include "mainwindow/TimeTraceModel.h"
#include "mainwindow/ui/paint/TracePainter.h"

namespace {

std::vector<double> DecayingResponse(int32_t n, int32_t peak) {
    std::vector<double> r(static_cast<std::size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        const double t = i - peak + 1;
        r[i] = t < 0 ? 1e-4 * std::sin(i * 1.3) : std::exp(-t / 4000.0) * std::sin(t * 0.21);
    }
    r[peak - 1] = 1.0;
    return r;
}

void BM_PaintTimeTrace(benchmark::State& state) {
    EnsureGuiApplication();
    const int32_t n = 1 << state.range(0);
    const int32_t peak = 2000;
    std::vector<double> response = DecayingResponse(n, peak);
    std::vector<QPoint> points(262144);

    fim::MeasurementState meas;
    meas.MlsSize = n;
    meas.ImpulsePeakIndex = peak;
    meas.ImpulsePeakValue = 1.0;
    fim::ScriptedPrompter prompter;
    fim::TimeTraceModel model(meas, prompter);
    model.viewStart = 1;
    model.viewEnd = n - 1;  // the whole response in the trace as well
    model.marker1 = 1000;
    model.marker2 = 3000;

    fim::TracePaintInput in;
    in.response = fim::ResponseView{response.data(), response.size()};
    in.n = n;
    in.sampleRate = 44100;
    in.peakIndex = peak;
    in.peakValue = 1.0;
    in.valid = true;
    in.points = points.data();
    in.pointCapacity = points.size();

    QImage trace(1600, 700, QImage::Format_RGB32);
    QImage overview(1600, 51, QImage::Format_RGB32);
    for (auto _ : state) {
        {
            QPainter p(&trace);
            fim::PB2Paint(p, trace.rect(), model,
                          model.TraceMapper(trace.width(), trace.height(), in.peakValue), in);
        }
        {
            QPainter p(&overview);
            fim::PBPaint(p, overview.rect(), model,
                         fim::OverviewMapper(in, overview.width(), overview.height()), in);
        }
        benchmark::DoNotOptimize(trace.constBits());
        benchmark::DoNotOptimize(overview.constBits());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(n) * 8);
}
BENCHMARK(BM_PaintTimeTrace)->Arg(18)->Unit(benchmark::kMillisecond);

void BM_Memcpy2MiB(benchmark::State& state) {
    const std::size_t bytes = 2u << 20;
    std::vector<char> src(bytes, 1), dst(bytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_Memcpy2MiB)->Unit(benchmark::kMillisecond);

}  // namespace
