// The feedback finder's work, as a share of one device buffer's playing time (2048 samples at
// 44100 samples/s, 46.4 ms): the counter `buffer_share` is the time per iteration divided by it.
// Budgets: the per-buffer work below 1 %, the analysis of a capture below 5 %.

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "BenchRun.h"
#include "audio/RunController.h"
#include "audio/VirtualRoom.h"
#include "core/MeasurementState.h"
#include "finder/FinderAnalysis.h"
#include "finder/FinderModel.h"
#include "settings/MemorySettingsTree.h"
#include "shell/ScriptedPrompter.h"
#include "spectrum/FftEngine.h"

namespace {

using namespace fim;

constexpr double kBufferSeconds = 2048.0 / 44100.0;

void ReportShare(benchmark::State& state) {
    // elapsed / (iterations · buffer time): the share of one buffer's playing time per iteration.
    state.counters["buffer_share"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBufferSeconds,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

using bench::NullHost;
using bench::NullView;

// One returned buffer as the finder handles it at its busiest: conversion of 2048 16-bit
// samples, the peak scan and the copy into a capture that the block starts.
void BM_FinderBuffer(benchmark::State& state) {
    MeasurementState s;
    s.buffers.Allocate({}, [](const std::string&) {});
    VirtualRoom room;
    MemorySettingsTree settings;
    ScriptedPrompter prompter;
    NullView view;
    NullHost host;
    RunController controller(s, room, settings, prompter, view, host, nullptr);
    FinderSettings finder;
    FinderModel model(s, controller, view, prompter, finder, nullptr);
    model.FormActivate();
    std::vector<int16_t> device(FinderModel::kBlock);
    for (std::size_t i = 0; i < device.size(); ++i) {
        device[i] = static_cast<int16_t>(std::lround(12000 * std::sin(0.1 * double(i))));
    }
    int32_t* converted = s.buffers.SampleresultI();
    for (auto _ : state) {
        model.RESAMPLE1Click();
        model.SAMPLE1Click();
        ConvertRecording(device.data(), converted, 16, FinderModel::kBlock);
        model.ProcessBlock(std::span<const int32_t>(converted, FinderModel::kBlock));
        benchmark::DoNotOptimize(model.WritePos);
    }
    ReportShare(state);
}
BENCHMARK(BM_FinderBuffer);

// The analysis of a full capture: taper, transform, strongest bin, band read-out.
void BM_FinderAnalysis(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<int32_t> capture(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        capture[std::size_t(i)] = static_cast<int32_t>(
            std::lround(16000 * std::sin(2 * std::numbers::pi * 1000.0 * i / 44100.0)));
    }
    WindowTable window;
    window.MakeWindow(static_cast<uint16_t>(n), static_cast<uint16_t>(n), 4);
    BandTable bands;
    FftEngine engine;
    std::vector<double> input(static_cast<std::size_t>(n));
    for (auto _ : state) {
        const FinderReading r =
            AnalyseCapture(capture, 44100.0, kEq31Band, window, bands, engine, input);
        benchmark::DoNotOptimize(r.bin);
    }
    ReportShare(state);
}
BENCHMARK(BM_FinderAnalysis)->Arg(8192)->Unit(benchmark::kMicrosecond);

}  // namespace
