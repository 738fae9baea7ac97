#pragma once
// A run controller on a device set that plays and records by itself (the Virtual Room, the real
// sound server) with everything around it: the measurement state with its buffers, settings that
// name one device for both directions, a scripted prompter, a view that counts finished runs and
// a host that counts what it was asked. The engine tests, the soak and the benchmarks measure
// through it; it uses no GoogleTest, so the benchmarks can include it too.

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

#include "audio/DeviceNotifier.h"
#include "audio/RunController.h"
#include "audio/RunView.h"
#include "audio/WaveDevices.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"

namespace fim::testing {

// True in CI (CI=true), where a test that needs the sound server must not skip.
inline bool InCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

class CountingView : public RunView {
  public:
    void SetStatusPanel(int, const std::string&) override {}
    void RedrawImpulse() override {}
    void RunComplete() override { ++completed; }
    int completed = 0;
};

// Counts the sound-settings requests and the device error box's request to end the program
// (none of the rig's users expects either). Pauses really unless told not to.
class CountingHost : public RunHost {
  public:
    void OpenSoundSettings() override { ++settingsOpened; }
    void Terminate() override { ++terminated; }
    void Pause(int milliseconds) override {
        if (pauses) RunHost::Pause(milliseconds);
    }
    int settingsOpened = 0;
    int terminated = 0;
    bool pauses = true;
};

struct DeviceRunRig {
    // `onAllocationFailure` gets the caption of a failed buffer allocation.
    DeviceRunRig(
        WaveDevices& devices, const std::string& deviceName,
        const std::function<void(const std::string&)>& onAllocationFailure =
            [](const std::string&) {})
        : controller(s, devices, settings, prompter, view, host, &wake) {
        s.buffers.Allocate({}, onAllocationFailure);
        settings.WriteString("INCARD", deviceName);
        settings.WriteString("OUTCARD", deviceName);
    }

    // Takes in the devices' notifications while the run is active, for at most `limit`, waiting
    // `poll` for each. With `watchStalls` the controller checks for a stalled device meanwhile;
    // `during` is called once, after the first recorded period is in.
    void Pump(std::chrono::seconds limit, std::chrono::milliseconds poll, bool watchStalls = false,
              const std::function<void()>& during = {}) {
        const auto until = std::chrono::steady_clock::now() + limit;
        bool called = false;
        while (s.RunActive && std::chrono::steady_clock::now() < until) {
            if (wake.WaitFor(poll)) controller.DispatchDeviceEvents();
            if (watchStalls) controller.CheckStalled(std::chrono::steady_clock::now());
            if (!called && during && !s.FirstSamplePending) {
                called = true;
                during();
            }
        }
    }

    MeasurementState s;
    MemorySettingsTree settings;
    ScriptedPrompter prompter;
    CountingView view;
    CountingHost host;
    SemaphoreWakeup wake;
    RunController controller;
};

}  // namespace fim::testing
