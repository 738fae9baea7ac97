#pragma once
// A run controller on a scripted sound card, with a view and a host that record what the run
// reports: the rig of the run-controller and macro-replay tests.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/RunController.h"
#include "audio/RunView.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"
#include "macros/MacroReplay.h"

namespace fim::test {

class RecordingView : public RunView {
  public:
    void SetStatusPanel(int panel, const std::string& text) override {
        panels[panel] = text;
        history.emplace_back(panel, text);
    }
    void RedrawImpulse() override {}
    std::string StatusPanel(int panel) const override {
        auto it = panels.find(panel);
        return it == panels.end() ? std::string() : it->second;
    }
    void SetLevelGlyph(LevelGlyph g) override { glyphs.push_back(g); }
    void SetControlEnabled(RunControl c, bool e) override { enabled[c] = e; }
    void SetControlChecked(RunControl c, bool on) override { checked[c] = on; }
    void SetAgainCaption(const std::string& c) override { again = c; }
    void SetAveragingCaption(const std::string& c) override { averaging = c; }
    void SetAveragingCount(int count) override { averagingCount = count; }
    void RunComplete() override {
        ++completions;
        if (onComplete) onComplete();
    }

    std::map<int, std::string> panels;
    std::vector<std::pair<int, std::string>> history;
    std::vector<LevelGlyph> glyphs;
    std::map<RunControl, bool> enabled, checked;
    std::string again, averaging;
    int averagingCount = 0;
    int completions = 0;
    std::function<void()> onComplete;  // what the window does after a completed run
};

class TestHost : public RunHost, public MacroHost {
  public:
    explicit TestHost(const MeasurementState& s) : s_(s) {}
    void OpenSoundSettings() override { ++settingsOpened; }
    void Terminate() override { ++terminated; }
    void Pause(int) override {}
    // The kind of each run whose spectrum was asked for, and what was asked.
    void ShowFrequencyResponse(std::optional<AnalysisMode> mode,
                               std::optional<AnalysisWindow> window) override {
        shownKinds.push_back(controller != nullptr ? controller->RunKind : -1);
        shownModes.push_back(mode);
        shownWindows.push_back(window);
    }
    // The choice, with the FFT size, MLS order and pink setting in place when it was made.
    void ApplyAnalysisChoice(const AnalysisChoice& c) override {
        choice = c;
        atChoice = {s_.FftSize, s_.MlsOrder, s_.PinkMls ? 1 : 0};
    }
    void ClearAnalysisChoice() override { ++choicesCleared; }
    const RunController* controller = nullptr;
    PeakQuestion* PeakQuestioner() override { return question; }
    PeakQuestion* question = nullptr;
    int settingsOpened = 0;
    int terminated = 0;
    int choicesCleared = 0;
    std::vector<int> shownKinds;
    std::vector<std::optional<AnalysisMode>> shownModes;
    std::vector<std::optional<AnalysisWindow>> shownWindows;
    AnalysisChoice choice;
    std::vector<int> atChoice;

  private:
    const MeasurementState& s_;
};

// A sound card that plays and records at once, on the UI thread: when the second output header
// of a period is written it "plays" both, fills the queued input headers with the output delayed
// by `refDelay` (left) and by the period's microphone delay (right, at `micGain`), and reports
// the two output headers. Scripted faults: short recordings, refused writes, a lost device.
class ScriptedCard : public WaveDevices {
  public:
    explicit ScriptedCard(std::string name = "Test Card") : name_(std::move(name)) {}
    int InputCount() const override { return 1; }
    std::string InputName(int) const override { return name_; }
    int OutputCount() const override { return 1; }
    std::string OutputName(int) const override { return name_; }
    bool InputSupports(int, const DeviceFormat&) const override { return true; }
    bool OutputSupports(int, const DeviceFormat&) const override { return true; }
    int OpenInput(int, const DeviceFormat& f, WaveCallback*) override {
        if (f.samplesPerSec == refusedRate) return kWaveBadFormat;
        inOpen = true;
        format = f;
        ++opens;
        return 0;
    }
    int AddInputBuffer(WaveHeader& h) override {
        if (const int r = MarkQueued(h, true)) return r;
        inputs.push_back(&h);
        return 0;
    }
    int StartInput() override { return 0; }
    int StopInput() override { return 0; }
    int ResetInput() override {
        for (auto* h : inputs) MarkDone(*h);
        inputs.clear();
        return 0;
    }
    int CloseInput() override {
        inOpen = false;
        return 0;
    }
    int OpenOutput(int, const DeviceFormat&, WaveCallback* cb) override {
        callback = cb;
        outOpen = true;
        return 0;
    }
    int WriteOutput(WaveHeader& h) override;
    int PauseOutput() override { return 0; }
    int RestartOutput() override { return 0; }
    int ResetOutput() override {
        for (auto* h : outputs) MarkDone(*h);
        outputs.clear();
        return 0;
    }
    int CloseOutput() override {
        outOpen = false;
        return 0;
    }
    bool InputOpen() const override { return inOpen; }
    bool OutputOpen() const override { return outOpen; }

    std::vector<std::size_t> micDelays = {100};  // per period; the last one repeats
    std::size_t refDelay = 40;
    double micGain = 0.5;
    uint32_t shortBy = 0;         // bytes missing from every recording
    int failWriteAtPeriod = -1;   // this period's first write is refused
    int loseDeviceAtPeriod = -1;  // this period ends with DeviceLost instead of data
    uint32_t refusedRate = 0;     // the input refuses to open at this rate
    int periods = 0;
    int opens = 0;
    DeviceFormat format;

  private:
    std::string name_;
    bool inOpen = false, outOpen = false;
    WaveCallback* callback = nullptr;
    std::vector<WaveHeader*> inputs, outputs;
};

inline int ScriptedCard::WriteOutput(WaveHeader& h) {
    if (periods == failWriteAtPeriod && outputs.empty()) return kWaveNoDriver;
    if (const int r = MarkQueued(h, false)) return r;
    outputs.push_back(&h);
    if (outputs.size() < 2) return 0;
    const int period = periods++;
    if (period == loseDeviceAtPeriod) {
        callback->OnWaveEvent(WaveEventKind::DeviceLost, nullptr, kWaveNoDriver);
        return 0;
    }
    // 2N frames of 16-bit stereo output, as one signal.
    const std::size_t half = outputs[0]->bufferLength / 4;
    std::vector<int16_t> x(2 * half);
    for (std::size_t f = 0; f < 2 * half; ++f) {
        const WaveHeader* src = outputs[f < half ? 0 : 1];
        int16_t v;
        std::memcpy(&v, src->data + (f % half) * 4, 2);
        x[f] = v;
    }
    const std::size_t mic = micDelays[std::min<std::size_t>(period, micDelays.size() - 1)];
    for (std::size_t i = 0; i < 2 && i < inputs.size(); ++i) {
        WaveHeader& in = *inputs[i];
        for (std::size_t f = 0; f < half; ++f) {
            const std::size_t t = i * half + f;
            const int16_t l = t >= refDelay ? x[t - refDelay] : 0;
            const int16_t r = t >= mic ? int16_t(std::lround(micGain * x[t - mic])) : 0;
            std::memcpy(in.data + f * 4, &l, 2);
            std::memcpy(in.data + f * 4 + 2, &r, 2);
        }
        in.bytesRecorded = in.bufferLength - (i == 1 ? shortBy : 0);
        MarkDone(in);
    }
    inputs.erase(inputs.begin(), inputs.begin() + std::min<std::size_t>(2, inputs.size()));
    auto played = outputs;
    outputs.clear();
    for (auto* o : played) {
        MarkDone(*o);
        callback->OnWaveEvent(WaveEventKind::OutputDone, o, 0);
    }
    return 0;
}

class RunControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        s.buffers.Allocate({}, [](const std::string&) { FAIL(); });
        s.MlsOrder = 12;
        s.AveragesTarget = 1;
        s.AtcMode = 0;
        s.PeakSync = false;
        s.IgnoreFirst = false;
        s.QualityCheck = true;
        s.DevicesClosed = true;
    }

    void Use(WaveDevices& d, const std::string& name) {
        settings.WriteString("INCARD", name);
        settings.WriteString("OUTCARD", name);
        controller = std::make_unique<RunController>(s, d, settings, prompter, view, host, &wake);
        host.controller = controller.get();
    }

    // Takes in device notifications until the run is over (or a generous limit passes).
    void Pump(int maxPeriods = 1000) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        int periods = 0;
        while (s.RunActive && std::chrono::steady_clock::now() < until && periods < maxPeriods) {
            wake.WaitFor(std::chrono::milliseconds(20));
            controller->DispatchDeviceEvents();
            ++periods;
        }
    }

    MeasurementState s;
    MemorySettingsTree settings;
    ScriptedPrompter prompter;
    RecordingView view;
    TestHost host{s};
    SemaphoreWakeup wake;
    std::unique_ptr<RunController> controller;
};

}  // namespace fim::test
