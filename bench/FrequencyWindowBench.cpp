// A full repaint of the frequency-response plot at FFT size 32768: main curve, phase, an FFT
// overlay and five stored traces into a 1600 × 900 image. Compare with BM_SpectrumStep/32768
// (SpectrumBench.cpp), the computation that precedes every repaint after a measurement.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "BenchGui.h"
#include "base/ScriptedPrompter.h"
#include "spectrum/CalibrationStore.h"
#include "spectrum/FrequencyDisplay.h"
#include "spectrum/SpectrumComputer.h"
#include "spectrum/ui/paint/FrequencyPainter.h"

namespace {

std::vector<double> Room(int n) {
    std::mt19937 rng(3);
    std::normal_distribution<double> g(0.0, 1.0);
    std::vector<double> r(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) r[i] = 1000.0 * std::exp(-i / 3000.0) * g(rng);
    return r;
}

void BM_PaintFrequencyWindow(benchmark::State& state) {
    EnsureGuiApplication();
    const int n = static_cast<int>(state.range(0));
    const std::vector<double> ir = Room(n + 100);
    fim::SpectrumComputer computer;
    fim::SpectrumInput in;
    in.impulse = ir.data();
    in.impulseCount = ir.size();
    in.viewStart = 50;
    in.viewEnd = 50 + n;
    in.fftSize = n;
    in.sampleRate = 48000.0;
    computer.ComputeSpectrum(in, nullptr);

    // The overlay: the same spectrum as an FFT-mode overlay of the same size.
    fim::ScriptedPrompter prompter;
    fim::CalibrationStore store(prompter);
    fim::CalibrationStore::Overlay& o = store.CurrentOverlay();
    o.loaded = o.shown = true;
    o.kind = 0;
    o.fftSize = n;
    o.lowestFrequency = computer.LowestValidFrequency();
    o.levelReference = computer.LevelReference();
    o.bins.assign(computer.DisplaySpectrum().begin(), computer.DisplaySpectrum().begin() + n / 2);
    o.name = "overlay.MFR";

    fim::FrequencyDisplay view;
    view.TakeSpectrum(computer);
    view.Fit();
    view.phaseShown = true;

    // Five SMOOTH traces of 295 records.
    std::vector<fim::SmoothRecord> smooth(fim::kSmoothRecords);
    fim::SharedFft().SmoothAnalysis(ir.data(), smooth.data(), 48000.0);
    std::vector<fim::DrawableCurve> traces;
    for (int t = 0; t < 5; ++t)
        traces.push_back(
            fim::SmoothCurve(smooth, 200.0 * (t + 1), 0.0, 30.0, false, 0x0000FF << (t % 3), 1));

    QImage image(1600, 900, QImage::Format_RGB32);
    std::vector<fim::SmoothRecord> scratch;
    for (auto _ : state) {
        // What a repaint does: gather the input (the overlay curve is built anew), then paint.
        fim::FrequencyPaintInput paint =
            fim::PaintInputFor(computer, store, view, fim::ColorTable::Default(), scratch);
        paint.traces = traces;
        QPainter p(&image);
        fim::PaintFrequencyPlot(p, image.rect(), view, paint);
        p.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PaintFrequencyWindow)->Arg(32768)->Unit(benchmark::kMillisecond);

}  // namespace
