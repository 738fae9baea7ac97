// fimtool measure: a complete run through the run controller on the named devices (the Virtual
// Room unless told otherwise), the impulse response saved as a time file or a normalised 16-bit
// mono WAVE file, and a JSON summary on stdout.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <algorithm>
#include <vector>

#include "audio/DeviceSet.h"
#include "audio/RunController.h"
#include "audio/TimeFile.h"
#include "audio/VirtualRoom.h"
#include "audio/WaveFile.h"
#include "audio/platform/PortAudioDevices.h"
#include "cli/ArgReader.h"
#include "cli/Commands.h"
#include "cli/ResponseFile.h"
#include "cli/ConsolePrompter.h"
#include "cli/Json.h"
#include "core/NoiseFloor.h"
#include "core/MeasurementState.h"
#include "core/Mls.h"
#include "settings/MemorySettingsTree.h"
#include "shell/FatalMemory.h"

namespace fim::cli {

namespace {

int Refuse(const std::string& reason, int status = 1) {
    std::fprintf(stderr, "fimtool measure: %s\n", reason.c_str());
    return status;
}

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

int RunMeasure(const Args& all) {
    // --room may come several times; the other options once.
    RoomParameters room;
    room.realTime = true;
    Args args;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i] != "--room") {
            args.push_back(all[i]);
            continue;
        }
        if (i + 1 >= all.size()) return Refuse("option --room needs a value", 2);
        if (auto error = room.Set(all[++i])) return Refuse(*error, 2);
    }
    ArgReader a(args,
                {"--device", "--input-device", "--output-device", "--order", "--averages",
                 "--level", "--rate", "--out"},
                {"--atc", "--peaksync", "--pink", "--fast", "--continuous", "--drift-correction"});
    const int order = a.Int("--order", 12, kMinMlsOrder, kMaxBufferedMlsOrder);
    const int averages = a.Int("--averages", 1, 1, 128);
    const int level = a.Int("--level", -6, -60, 0);
    const int rate = a.Int("--rate", 44100, 8000, 65535);
    if (!a.Ok()) return Refuse(a.Error(), 2);
    const std::string out = a.Text("--out");
    if (out.empty()) return Refuse("give --out IR.mtf", 2);
    if (Extension(out) != "mtf" && Extension(out) != "wav") {
        return Refuse("--out must name a .mtf or .wav file", 2);
    }
    if (a.Has("--device") && (a.Has("--input-device") || a.Has("--output-device"))) {
        return Refuse("give either --device or --input-device and --output-device", 2);
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
    state.buffers.Allocate({}, FatalMemoryHandler());
    state.SampleRate = static_cast<uint16_t>(rate);
    state.SampleBits = 16;
    state.MlsOrder = static_cast<uint8_t>(order);
    state.OutputLevelDb = level;
    state.PinkMls = a.Has("--pink");
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
            const std::string missing =
                FindInputDevice(devices, inName) < 0 ? inName : outName;
            return Refuse("no sound device named \"" + missing + "\" (see fimtool devices)");
        }
        return Refuse("the sound devices could not be opened");
    }
    controller.NORMALClick();
    while (state.RunActive) {
        if (wake.WaitFor(std::chrono::milliseconds(200))) controller.DispatchDeviceEvents();
        controller.CheckStalled(std::chrono::steady_clock::now());
    }
    controller.MIR1Click();  // release the devices
    if (view.completed == 0 || !state.ImpulseValid) {
        return Refuse("the run ended without an impulse response");
    }
    if (Extension(out) == "wav" && state.ImpulsePeakValue == 0) {
        return Refuse("the impulse response is silent; nothing to normalise");
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
    }
    // Signal-to-noise ratio per octave band over the response from 1 ms before its peak (up to
    // 16384 samples), from the spread between the periods.
    if (const auto noise = state.Noise.Noise(); !noise.empty() && state.ImpulsePeakIndex > 0) {
        const std::size_t before = static_cast<std::size_t>(std::nearbyint(rate / 1000.0));
        const std::size_t peak = static_cast<std::size_t>(state.ImpulsePeakIndex - 1);
        const std::size_t start = peak > before ? peak - before : 0;
        const std::size_t count = std::min<std::size_t>(16384, noise.size() - start);
        std::vector<JsonObject> bands;
        for (const auto& b : OctaveSnr(state.buffers.RLPd(), noise.data(), start, count, rate)) {
            if (!b.valid) continue;
            JsonObject band;
            band.Add("centre_hz", b.centre);
            band.Add("snr_db", b.snrDb);
            bands.push_back(band);
        }
        json.Add("snr_start", static_cast<int>(start + 1));
        json.Add("snr_end", static_cast<int>(start + count));
        json.Add("snr_octaves", bands);
    }
    json.Add("status", view.seen);
    json.Add("file", out);
    json.Print();
    return 0;
}

}  // namespace fim::cli
