// A sound device that disappears in the middle of a run, on a real sound server: the run goes
// through PortAudio → ALSA "pulse" → the PulseAudio loopback's null sink and its monitor, and
// the sink's module is unloaded while the run records. The run must stop with the device
// error box, keep the last complete response, and the next run, once the sink is back, must
// measure without a restart. scripts/test.sh starts the server; without one the test says why
// it skips, except in CI (CI=true), where it must run.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "../DeviceRunRig.h"
#include "audio/DeviceNotifier.h"
#include "audio/platform/PortAudioDevices.h"

namespace fim {
namespace {

constexpr const char* kLoopback = "ALSA: pulse";

using testing::InCi;

// Runs a shell command; its first line of output.
std::string Run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char line[256];
        if (std::fgets(line, sizeof line, p) != nullptr) out = line;
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

// The loopback's sink (and with it its monitor): unloaded and loaded again as scripts/
// sound-server.sh loads it. The platform tests run one at a time, so no other test measures
// through it meanwhile; the sink is back when the object goes, whatever the test found.
class LoopbackSink {
  public:
    static constexpr const char* kArguments =
        "sink_name=fim_loopback rate=48000 channels=2 format=s16le";
    LoopbackSink() {
        module_ =
            Run("pactl list short modules 2>/dev/null | grep 'sink_name=fim_loopback' | "
                "cut -f1");
    }
    ~LoopbackSink() {
        if (module_.empty()) Load();
    }
    bool Found() const { return !module_.empty(); }
    void Unload() {
        Run("pactl unload-module " + module_ + " 2>&1");
        module_.clear();
    }
    bool Load() {
        module_ =
            Run(std::string("pactl load-module module-null-sink ") + kArguments + " 2>/dev/null");
        Run("pactl set-default-sink fim_loopback 2>&1");
        Run("pactl set-default-source fim_loopback.monitor 2>&1");
        return !module_.empty();
    }

  private:
    std::string module_;
};

TEST(PulseSinkLost, RunStopsWithTheBoxKeepsTheResponseAndTheNextRunWorks) {
    const char* server = std::getenv("PULSE_SERVER");
    LoopbackSink sink;
    if (server == nullptr || !sink.Found()) {
        const std::string why = server == nullptr
                                    ? "no sound server (PULSE_SERVER is not set; scripts/test.sh "
                                      "starts one)"
                                    : "no fim_loopback sink on the sound server (pactl)";
        if (InCi()) FAIL() << why;
        GTEST_SKIP() << why;
    }
    PortAudioDevices cards;
    if (FindInputDevice(cards, kLoopback) < 0) {
        if (InCi()) FAIL() << "no \"" << kLoopback << "\" device";
        GTEST_SKIP() << "no \"" << kLoopback << "\" device";
    }

    testing::DeviceRunRig rig(cards, kLoopback, [](const std::string&) { FAIL(); });
    MeasurementState& s = rig.s;
    s.SampleRate = 48000;
    s.MlsOrder = 15;
    s.AtcMode = 1;
    s.PeakSync = false;
    s.IgnoreFirst = true;
    s.AveragesTarget = 1;
    s.DevicesClosed = true;
    ScriptedPrompter& prompter = rig.prompter;
    testing::CountingView& view = rig.view;
    RunController& c = rig.controller;
    // Pumps the run; `during` is called once after the first recorded period is in.
    auto pump = [&](const std::function<void()>& during) {
        rig.Pump(std::chrono::seconds(90), std::chrono::milliseconds(100), true, during);
    };

    // A complete response first. A busy machine may disturb a run (a dropped block shows as a
    // level or quality box): such a run is measured again, at most twice.
    for (int attempt = 0; attempt < 3 && view.completed == 0; ++attempt) {
        prompter.answers = {PromptAnswer::Cancel};
        prompter.shown.clear();
        c.NORMALClick();
        pump({});
    }
    ASSERT_EQ(view.completed, 1) << (prompter.Last() ? prompter.Last()->text : "");
    const std::vector<double> kept(s.buffers.RLPd(), s.buffers.RLPd() + s.MlsPeriod());
    const int peak = s.ImpulsePeakIndex;

    // The sink goes while the next run records its averages.
    s.AveragesTarget = 8;
    prompter.shown.clear();
    prompter.answers = {PromptAnswer::Retry};
    c.NORMALClick();
    pump([&] { sink.Unload(); });
    EXPECT_FALSE(s.RunActive);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, kLoopback);
    EXPECT_EQ(prompter.shown[0].buttons, PromptButtons::RetryCancel);
    EXPECT_EQ(view.completed, 1);
    EXPECT_TRUE(s.ImpulseValid);
    EXPECT_EQ(s.ImpulsePeakIndex, peak);
    EXPECT_EQ(std::vector<double>(s.buffers.RLPd(), s.buffers.RLPd() + s.MlsPeriod()), kept);

    // The sink is back: the next run measures without a restart of anything.
    ASSERT_TRUE(sink.Load());
    s.AveragesTarget = 1;
    for (int attempt = 0; attempt < 3 && view.completed == 1; ++attempt) {
        prompter.answers = {PromptAnswer::Cancel};
        prompter.shown.clear();
        c.NORMALClick();
        pump({});
    }
    EXPECT_EQ(view.completed, 2) << (prompter.Last() ? prompter.Last()->text : "");
    EXPECT_NEAR(s.ImpulsePeakIndex, peak, 1);
    c.StopRun();
    c.MIR1Click();
    EXPECT_EQ(rig.host.terminated, 0) << "the device error box ended the program";
}

}  // namespace
}  // namespace fim
