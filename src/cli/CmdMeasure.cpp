// fimtool measure: a complete run through the run controller on the named devices (the Virtual
// Room unless told otherwise), the impulse response saved as a time file or a normalised 16-bit
// mono WAVE file, and a JSON summary on stdout.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "audio/DeviceSet.h"
#include "audio/RunController.h"
#include "audio/TimeFile.h"
#include "audio/VirtualRoom.h"
#include "audio/WaveFile.h"
#include "audio/platform/PortAudioDevices.h"
#include "base/MemorySettingsTree.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ConsolePrompter.h"
#include "cli/Json.h"
#include "cli/ResponseFile.h"
#include "cli/SignalState.h"
#include "cli/SnrJson.h"
#include "core/MeasurementState.h"
#include "core/Mls.h"
#include "core/NoiseFloor.h"

namespace fim::cli {

namespace {

constexpr std::string_view kCommand = "measure";

// Collects the status texts the run shows, each once, in the order they first appear.
class SummaryView : public RunView {
  public:
    void SetStatusPanel(int, const std::string& text) override {
        if (text.empty()) return;
        for (const auto& t : seen) {
            if (t == text) return;
        }
        seen.push_back(text);
    }
    void RedrawImpulse() override {}
    void RunComplete() override { ++completed; }
    std::vector<std::string> seen;
    int completed = 0;
};

class ToolHost : public RunHost {
  public:
    void OpenSoundSettings() override { unknownDevice = true; }
    void Terminate() override {
        std::fprintf(stderr, "fimtool measure: ended after a sound device error\n");
        std::exit(3);
    }
    bool unknownDevice = false;
};

}  // namespace

int RunMeasure(const Args& args) {
    CommandLine a("measure",
                  "A complete run through the run controller on the named devices "
                  "(default: the Virtual Room); the impulse response is saved and a "
                  "JSON summary printed.");
    a.Option("--device", "NAME", "input and output device (see fimtool devices)")
        .Option("--input-device", "NAME", "the input device")
        .Option("--output-device", "NAME", "the output device")
        .Option("--order", "N", "MLS order (default 12)")
        .Option("--averages", "K", "periods to average, 1 ... 128 (default 1)")
        .Switch("--atc", "time alignment on the reference channel")
        .Switch("--peaksync", "peak synchronisation of the periods (with --atc)")
        .Switch("--ignore-first", "discard the first period after the devices open")
        .Switch("--pink", "the pink-filtered signal")
        .Option("--level", "DB", "output level, -60 ... 0 dB (default -6)")
        .Option("--rate", "HZ", "sample rate (default 44100)")
        .Repeated("--room", "KEY=VALUE", "a Virtual Room parameter; may be given several times")
        .Switch("--fast", "run the Virtual Room as fast as possible")
        .Switch("--continuous", "continuous averaging")
        .Switch("--drift-correction", "correct the clock drift between input and output")
        .Option("--out", "IR.mtf", "the impulse response: a .mtf time file or a .wav file");
    if (!a.Parse(args)) return a.HelpShown() ? 0 : Refuse(kCommand, a.Error(), 2);
    RoomParameters room;
    room.realTime = true;
    for (const std::string& setting : a.All("--room")) {
        if (auto error = room.Set(setting)) return Refuse(kCommand, *error, 2);
    }
    const int order = a.Int("--order", 12, kMinMlsOrder, kMaxBufferedMlsOrder);
    const int averages = a.Int("--averages", 1, 1, 128);
    const int level = a.Int("--level", -6, -60, 0);
    const int rate = a.Int("--rate", 44100, 8000, 65535);
    if (!a.Ok()) return Refuse(kCommand, a.Error(), 2);
    const std::string out = a.Text("--out");
    if (out.empty()) return Refuse(kCommand, "give --out IR.mtf", 2);
    if (Extension(out) != "mtf" && Extension(out) != "wav") {
        return Refuse(kCommand, "--out must name a .mtf or .wav file", 2);
    }
    if (a.Has("--device") && (a.Has("--input-device") || a.Has("--output-device"))) {
        return Refuse(kCommand, "give either --device or --input-device and --output-device", 2);
    }
    std::string inName = a.Text("--device", a.Text("--input-device", kVirtualRoomName));
    std::string outName = a.Text("--device", a.Text("--output-device", kVirtualRoomName));
    room.realTime = !a.Has("--fast");

    VirtualRoom virtualRoom(room);
    // Real cards only when one is asked for: starting the sound system takes time and talks.
    std::unique_ptr<PortAudioDevices> cards;
    std::vector<WaveDevices*> backEnds;
    if (inName != kVirtualRoomName || outName != kVirtualRoomName) {
        cards = std::make_unique<PortAudioDevices>();
        backEnds.push_back(cards.get());
    }
    backEnds.push_back(&virtualRoom);
    DeviceSet devices(backEnds);

    MeasurementState state;
    SetUpState(state, {rate, order, level, a.Has("--pink")});
    // A switch: absent means the first period counts like every other.
    state.IgnoreFirst = a.Has("--ignore-first");
    state.AtcMode = a.Has("--atc") ? 1 : 0;
    state.PeakSync = a.Has("--peaksync");
    state.AveragesTarget = averages;
    state.ContinuousAveraging = a.Has("--continuous");
    state.DevicesClosed = true;

    MemorySettingsTree settings;
    settings.WriteString("INCARD", inName);
    settings.WriteString("OUTCARD", outName);
    ConsolePrompter prompter;
    SummaryView view;
    ToolHost host;
    SemaphoreWakeup wake;
    RunController controller(state, devices, settings, prompter, view, host, &wake);
    controller.DriftCorrection = a.Has("--drift-correction");

    if (!controller.SetupSound()) {
        if (host.unknownDevice) {
            const std::string missing = FindInputDevice(devices, inName) < 0 ? inName : outName;
            return Refuse(kCommand,
                          "no sound device named \"" + missing + "\" (see fimtool devices)");
        }
        return Refuse(kCommand, "the sound devices could not be opened");
    }
    controller.NORMALClick();
    while (state.RunActive) {
        if (wake.WaitFor(std::chrono::milliseconds(200))) controller.DispatchDeviceEvents();
        controller.CheckStalled(std::chrono::steady_clock::now());
    }
    controller.MIR1Click();  // release the devices
    if (view.completed == 0 || !state.ImpulseValid) {
        return Refuse(kCommand, "the run ended without an impulse response");
    }
    if (Extension(out) == "wav" && state.ImpulsePeakValue == 0) {
        return Refuse(kCommand, "the impulse response is silent; nothing to normalise");
    }
    if (!SaveResponse(state, out)) return 1;

    JsonObject json;
    json.Add("input_device", controller.InputDeviceName());
    json.Add("output_device", controller.OutputDeviceName());
    json.Add("order", order);
    json.Add("sample_rate", rate);
    json.Add("averages", averages);
    json.Add("peak_index", state.ImpulsePeakIndex);
    json.Add("peak_value", state.ImpulsePeakValue);
    if (const auto ppm = controller.Drift().Ppm()) {
        json.Add("clock_drift_ppm", *ppm);
        json.Add("clock_drift_warning", std::abs(*ppm) > controller.DriftWarningPpm ? 1 : 0);
        json.Add("clock_drift_corrected", state.DriftCorrected ? 1 : 0);
    }
    // Signal-to-noise ratio per octave band over the response from 1 ms before its peak (up to
    // 16384 samples), from the spread between the periods.
    if (const auto noise = state.Noise.Estimate(); !noise.empty() && state.ImpulsePeakIndex > 0) {
        const std::size_t start = SnrSignalStart(state.ImpulsePeakIndex, rate);
        const std::size_t count = std::min(kSnrSignalSamples, noise.size() - start);
        AddSnrBands(json, "period_spread",
                    OctaveSnr(state.buffers.RLPd(), noise.data(), start, count, rate), start,
                    count);
    }
    json.Add("status", view.seen);
    json.Add("file", out);
    json.Print();
    return 0;
}

}  // namespace fim::cli
