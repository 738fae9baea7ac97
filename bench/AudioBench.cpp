// The Virtual Room's rendering cost and the UI thread's share of a measured period.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "audio/RunController.h"
#include "audio/VirtualRoom.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"

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

class NullView : public RunView {
public:
    void SetStatusPanel(int, const std::string&) override {}
    void RedrawImpulse() override {}
};

class NullHost : public RunHost {
public:
    void OpenSoundSettings() override {}
    void Terminate() override {}
    void Pause(int) override {}
};

// From the notification that a period's second output header is done to ProcessPeriod finished:
// the UI thread's work per period, measured on the fast Virtual Room with REPEAT on (the
// simulated playing time is excluded). The budget is 10 ms at order 16.
void BM_PeriodDoneToProcessed(benchmark::State& state) {
    MeasurementState s;
    s.buffers.Allocate({}, [](const std::string&) {});
    s.MlsOrder = static_cast<uint8_t>(state.range(0));
    s.AveragesTarget = 8;
    s.AtcMode = 1;
    s.PeakSync = true;
    RoomParameters p;
    p.realTime = false;
    VirtualRoom room(p);
    MemorySettingsTree settings;
    settings.WriteString("INCARD", kVirtualRoomName);
    settings.WriteString("OUTCARD", kVirtualRoomName);
    ScriptedPrompter prompter;
    NullView view;
    NullHost host;
    SemaphoreWakeup wake;
    RunController c(s, room, settings, prompter, view, host, &wake);
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

}  // namespace
