#pragma once
// A run controller on a sound card the test plays by hand: it records exactly the samples the
// test gives it, one queued header at a time, and reports played output headers when told.
// The level setup and feedback finder tests drive their windows' models block by block with it.

#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <span>
#include <string>

#include "audio/RunController.h"
#include "audio/VirtualRoom.h"
#include "audio/WaveDevices.h"
#include "core/MeasurementState.h"
#include "core/RunView.h"
#include "settings/MemorySettingsTree.h"
#include "shell/ScriptedPrompter.h"

namespace fim::testing {

class ManualCard : public WaveDevices {
  public:
    static constexpr const char* kName = "Hand Card Wave 1";
    int InputCount() const override { return 1; }
    std::string InputName(int) const override { return kName; }
    int OutputCount() const override { return 1; }
    std::string OutputName(int) const override { return kName; }
    bool InputSupports(int, const DeviceFormat&) const override { return true; }
    bool OutputSupports(int, const DeviceFormat&) const override { return true; }

    int OpenInput(int, const DeviceFormat& f, WaveCallback* cb) override {
        if (inOpen) return kWaveAllocated;
        inOpen = true;
        inFormat = f;
        inCallback = cb;
        return kWaveOk;
    }
    int AddInputBuffer(WaveHeader& h) override {
        if (const int r = MarkQueued(h, true)) return r;
        inputs.push_back(&h);
        return kWaveOk;
    }
    int StartInput() override {
        recording = true;
        return kWaveOk;
    }
    int StopInput() override {
        recording = false;
        return kWaveOk;
    }
    int ResetInput() override {
        recording = false;
        for (auto* h : inputs) MarkDone(*h);
        inputs.clear();
        ++inputResets;
        return kWaveOk;
    }
    int CloseInput() override {
        if (!inputs.empty()) return kWaveStillPlaying;
        inOpen = false;
        inCallback = nullptr;
        return kWaveOk;
    }
    int OpenOutput(int, const DeviceFormat& f, WaveCallback* cb) override {
        if (outOpen) return kWaveAllocated;
        outOpen = true;
        outFormat = f;
        outCallback = cb;
        paused = false;
        return kWaveOk;
    }
    int WriteOutput(WaveHeader& h) override {
        if (const int r = MarkQueued(h, false)) return r;
        outputs.push_back(&h);
        return kWaveOk;
    }
    int PauseOutput() override {
        paused = true;
        return kWaveOk;
    }
    int RestartOutput() override {
        paused = false;
        return kWaveOk;
    }
    int ResetOutput() override {
        for (auto* h : outputs) MarkDone(*h);
        outputs.clear();
        ++outputResets;
        return kWaveOk;
    }
    int CloseOutput() override {
        if (!outputs.empty()) return kWaveStillPlaying;
        outOpen = false;
        outCallback = nullptr;
        return kWaveOk;
    }
    bool InputOpen() const override { return inOpen; }
    bool OutputOpen() const override { return outOpen; }

    // Fills the first queued input header with 16-bit samples (the rest of it with zeros) and
    // hands it back. False when nothing is queued or the input is not recording.
    bool Record(std::span<const int16_t> samples) {
        if (inputs.empty() || !recording) return false;
        WaveHeader* h = inputs.front();
        inputs.pop_front();
        const std::size_t bytes = std::min<std::size_t>(h->bufferLength, 2 * samples.size());
        std::memset(h->data, 0, h->bufferLength);
        std::memcpy(h->data, samples.data(), bytes);
        h->bytesRecorded = h->bufferLength;
        MarkDone(*h);
        if (inCallback) inCallback->OnWaveEvent(WaveEventKind::InputDone, h, 0);
        return true;
    }
    // The first queued output header has played.
    bool Play() {
        if (outputs.empty() || paused) return false;
        WaveHeader* h = outputs.front();
        outputs.pop_front();
        MarkDone(*h);
        if (outCallback) outCallback->OnWaveEvent(WaveEventKind::OutputDone, h, 0);
        return true;
    }
    void Lose() {
        if (inCallback) inCallback->OnWaveEvent(WaveEventKind::DeviceLost, nullptr, kWaveNoDriver);
    }

    bool inOpen = false, outOpen = false, recording = false, paused = false;
    int inputResets = 0, outputResets = 0;
    DeviceFormat inFormat, outFormat;
    WaveCallback* inCallback = nullptr;
    WaveCallback* outCallback = nullptr;
    std::deque<WaveHeader*> inputs, outputs;
};

class FlagView : public RunView {
  public:
    void SetStatusPanel(int, const std::string&) override {}
    void RedrawImpulse() override {}
    void SetControlEnabled(RunControl c, bool e) override { enabled[c] = e; }
    void RunComplete() override { ++completions; }
    bool Enabled(RunControl c) const {
        const auto it = enabled.find(c);
        return it == enabled.end() || it->second;
    }
    std::map<RunControl, bool> enabled;
    int completions = 0;
};

class QuietHost : public RunHost {
  public:
    void OpenSoundSettings() override { ++settingsOpened; }
    void Terminate() override { ++terminated; }
    void Pause(int) override {}
    int settingsOpened = 0;
    int terminated = 0;
};

// The fast Virtual Room howling at 1000 Hz, −6 dBFS at the input: swelling in over half a second
// from the moment the devices open, then a second at full level.
inline RoomParameters HowlingRoom() {
    RoomParameters p;
    p.realTime = false;
    p.feedback = true;
    p.feedbackFrequency = 1000;
    p.feedbackLevel = -6;
    p.feedbackDelay = 0.5;
    p.feedbackLength = 1.0;
    return p;
}

// The controller with its state, settings and a device the test chooses.
struct LiveRig {
    explicit LiveRig(WaveDevices* devices = nullptr, const std::string& name = ManualCard::kName) {
        s.buffers.Allocate({}, [](const std::string&) {});
        s.DevicesClosed = true;
        settings.WriteString("INCARD", name);
        settings.WriteString("OUTCARD", name);
        controller = std::make_unique<RunController>(s, devices ? *devices : card, settings,
                                                     prompter, view, host, &wake);
    }

    MeasurementState s;
    MemorySettingsTree settings;
    ScriptedPrompter prompter;
    FlagView view;
    QuietHost host;
    SemaphoreWakeup wake;
    ManualCard card;
    std::unique_ptr<RunController> controller;
};

}  // namespace fim::testing
