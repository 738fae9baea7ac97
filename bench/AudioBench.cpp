// The Virtual Room's rendering cost and the UI thread's share of a measured period.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "../tests/audio/DeviceRunRig.h"
#include "audio/VirtualRoom.h"

namespace {

using namespace fim;

// One second of stereo output through a room with a one-second tail at 48000 Hz, as the
// real-time device renders it (blocks of 256 frames). The budget is 5 % of a second.
void BM_VirtualRoomSecond(benchmark::State& state) {
    RoomParameters p;
    p.reverbTime = 1.0;
    constexpr uint32_t kRate = 48000;
    RoomSimulator room(p, kRate);
    std::vector<int16_t> out(2 * kRate), in(2 * kRate);
    uint32_t r = 1;
    for (std::size_t i = 0; i < kRate; ++i) {
        r = r * 1664525u + 1013904223u;
        out[2 * i] = out[2 * i + 1] = (r >> 31) ? 16000 : -16000;
    }
    for (auto _ : state) {
        for (std::size_t at = 0; at < kRate; at += 256) {
            const std::size_t n = std::min<std::size_t>(256, kRate - at);
            room.Process(out.data() + 2 * at, 2, in.data() + 2 * at, 2, n);
        }
        benchmark::DoNotOptimize(in.data());
    }
}
BENCHMARK(BM_VirtualRoomSecond)->Unit(benchmark::kMillisecond);

using testing::DeviceRunRig;

// From the notification that a period's second output header is done to ProcessPeriod finished:
// the UI thread's work per period, measured on the fast Virtual Room with REPEAT on (the
// simulated playing time is excluded). The budget is 10 ms at order 16.
void BM_PeriodDoneToProcessed(benchmark::State& state) {
    RoomParameters p;
    p.realTime = false;
    VirtualRoom room(p);
    DeviceRunRig rig(room, kVirtualRoomName);
    rig.host.pauses = false;
    MeasurementState& s = rig.s;
    s.MlsOrder = static_cast<uint8_t>(state.range(0));
    s.AveragesTarget = 8;
    s.AtcMode = 1;
    s.PeakSync = true;
    RunController& c = rig.controller;
    SemaphoreWakeup& wake = rig.wake;
    c.REPEAT1Click();
    c.NORMALClick();
    for (auto _ : state) {
        state.PauseTiming();
        while (!c.OutputCallback().Pending()) wake.WaitFor(std::chrono::milliseconds(100));
        state.ResumeTiming();
        c.DispatchDeviceEvents();
    }
    c.StopRun();
}
BENCHMARK(BM_PeriodDoneToProcessed)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same for continuous averaging: from a recorded period being handed back to its processing
// finished (the output queued again, the period laid out, checked and averaged). On the
// real-time room: the fast one renders ahead all the time, and every device call would wait
// for the chunk it is rendering.
void BM_ContinuousPeriodToProcessed(benchmark::State& state) {
    RoomParameters p;
    p.realTime = true;
    VirtualRoom room(p);
    DeviceRunRig rig(room, kVirtualRoomName);
    rig.host.pauses = false;
    MeasurementState& s = rig.s;
    s.MlsOrder = static_cast<uint8_t>(state.range(0));
    s.AveragesTarget = 8;
    s.AtcMode = 1;
    s.PeakSync = true;
    s.ContinuousAveraging = true;
    RunController& c = rig.controller;
    SemaphoreWakeup& wake = rig.wake;
    c.REPEAT1Click();
    c.NORMALClick();
    for (auto _ : state) {
        state.PauseTiming();
        while (!c.Feeder().Ready()) wake.WaitFor(std::chrono::milliseconds(100));
        state.ResumeTiming();
        c.DispatchDeviceEvents();
    }
    c.StopRun();
}
BENCHMARK(BM_ContinuousPeriodToProcessed)
    ->Arg(16)
    ->Iterations(8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A whole run of K averages on the real-time Virtual Room, from the command to the result, as
// the ratio of its wall time to the sound it needs: K + 1 periods (one to fill the room, one per
// average). The devices are open beforehand, as in the program between runs; the 20 ms pause
// after starting the input is real. Arguments: order, K.
void BM_RunWallTime(benchmark::State& state, bool continuous) {
    RoomParameters p;
    p.realTime = true;
    VirtualRoom room(p);
    DeviceRunRig rig(room, kVirtualRoomName);
    MeasurementState& s = rig.s;
    s.MlsOrder = static_cast<uint8_t>(state.range(0));
    s.AveragesTarget = static_cast<int>(state.range(1));
    s.ContinuousAveraging = continuous;
    RunController& c = rig.controller;
    SemaphoreWakeup& wake = rig.wake;
    const testing::CountingView& view = rig.view;
    c.SetupSound();
    double seconds = 0;
    for (auto _ : state) {
        const int before = view.completed;
        const auto start = std::chrono::steady_clock::now();
        c.NORMALClick();
        while (s.RunActive) {
            if (wake.WaitFor(std::chrono::milliseconds(200))) c.DispatchDeviceEvents();
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (view.completed == before) state.SkipWithError("the run did not complete");
    }
    const double sound = (state.range(1) + 1.0) * (s.MlsSize - 1) / s.SampleRate;
    state.counters["ratio"] = seconds / static_cast<double>(state.iterations()) / sound;
}
void RunWallTimeArgs(benchmark::internal::Benchmark* b) {
    for (int order : {14, 16}) {
        for (int k : {1, 4, 16}) b->Args({order, k});
    }
    b->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
}
BENCHMARK_CAPTURE(BM_RunWallTime, continuous, true)->Apply(RunWallTimeArgs);
BENCHMARK_CAPTURE(BM_RunWallTime, two_period, false)->Apply(RunWallTimeArgs);

}  // namespace
