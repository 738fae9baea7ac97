// fimtool finder --in CAPTURE.wav [--resolution high|normal|low] [--display 0..3]: the feedback
// finder's analysis of the first N samples of a mono 16-bit WAVE file, as JSON.

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/WaveFile.h"
#include "base/Catalog.h"
#include "base/MessageIds.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "core/FftEngine.h"
#include "finder/BandTable.h"
#include "finder/FinderAnalysis.h"
#include "finder/WindowTable.h"

namespace fim::cli {

namespace {

constexpr std::string_view kCommand = "finder";

}  // namespace

int RunFinder(const Args& args) {
    CommandLine a("finder",
                  "The feedback finder's reading of a capture: JSON with bin, frequency, "
                  "label, deviation and lamp.");
    a.Option("--in", "CAPTURE.wav", "a mono 16-bit WAVE file; its first N samples are read")
        .Option("--resolution", "high|normal|low", "capture length (default normal)")
        .Option("--display", "0..3", "the band display (default 1, EQ 15 BAND)");
    if (!a.Parse(args)) {
        return a.HelpShown() ? 0 : Refuse(kCommand, Msg(kMsgIllegalInput) + ": " + a.Error());
    }
    const std::string in = a.Text("--in");
    const std::string res = a.Text("--resolution", "normal");  // NORMAL, the settings default
    int32_t resolution = 1;
    if (res == "high") {
        resolution = 0;
    } else if (res == "low") {
        resolution = 2;
    } else if (res != "normal") {
        return Refuse(kCommand, Msg(kMsgIllegalInput) + ": --resolution " + res);
    }
    const int32_t display = a.Int("--display", 1, 0, 3);  // EQ 15 BAND, the settings default
    if (!a.Ok()) return Refuse(kCommand, Msg(kMsgIllegalInput) + ": " + a.Error());
    if (in.empty()) return Refuse(kCommand, Msg(kMsgIllegalInput) + ": --in CAPTURE.wav");

    const int n = FinderCaptureLength(resolution);
    WaveData wav;
    const WaveStatus status = ReadWave16(in, wav, static_cast<uint64_t>(n));
    if (status != WaveStatus::Ok) {
        const int m = WaveStatusMessage(status);
        return Refuse(kCommand, (m >= 0 ? Msg(m) : std::string("cannot open")) + ": " + in);
    }
    if (wav.format.channels != 1) return Refuse(kCommand, Msg(15) + ": " + in);
    if (wav.Frames() < static_cast<std::size_t>(n) || wav.format.sampleRate == 0) {
        return Refuse(kCommand, Msg(80) + ": " + in);
    }

    std::vector<int32_t> capture(wav.samples.begin(), wav.samples.begin() + n);
    WindowTable window;
    window.MakeWindow(static_cast<uint16_t>(n), static_cast<uint16_t>(n), 4);
    BandTable bands;
    FftEngine engine;
    std::vector<double> fftInput(static_cast<std::size_t>(n));
    const FinderReading r =
        AnalyseCapture(capture, wav.format.sampleRate, display, window, bands, engine, fftInput);
    JsonObject json;
    json.Add("bin", r.bin);
    if (r.valid) {
        json.Add("frequency", r.frequency);
        json.Add("label", r.band.label);
        json.Add("deviation", r.band.deviation);
        json.Add("lamp", r.lamps.lit);
    } else {
        // No spectral line above bin 3: the finder shows no reading.
        json.AddNull("frequency");
        json.AddNull("label");
        json.AddNull("deviation");
        json.Add("lamp", 0);
    }
    json.Print();
    return 0;
}

}  // namespace fim::cli
