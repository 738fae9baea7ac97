// fimtool finder --in CAPTURE.wav [--resolution high|normal|low] [--display 0..3]: the feedback
// finder's analysis of the first N samples of a mono 16-bit WAVE file, as JSON.

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/WaveFile.h"
#include "cli/Commands.h"
#include "finder/BandTable.h"
#include "finder/FinderAnalysis.h"
#include "finder/WindowTable.h"
#include "shell/Catalog.h"
#include "spectrum/FftEngine.h"

namespace fim::cli {

namespace {

int Refuse(const std::string& text) {
    std::fprintf(stderr, "fimtool finder: %s\n", text.c_str());
    return 1;
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

int RunFinder(const Args& args) {
    std::string in;
    int32_t resolution = 1;  // NORMAL, the settings default
    int32_t display = 1;     // EQ 15 BAND, the settings default
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size()) return Refuse(Msg(78) + ": " + a);
        const std::string& v = args[++i];
        if (a == "--in") {
            in = v;
        } else if (a == "--resolution") {
            if (v == "high") {
                resolution = 0;
            } else if (v == "normal") {
                resolution = 1;
            } else if (v == "low") {
                resolution = 2;
            } else {
                return Refuse(Msg(78) + ": --resolution " + v);
            }
        } else if (a == "--display") {
            if (v.size() != 1 || v[0] < '0' || v[0] > '3') {
                return Refuse(Msg(78) + ": --display " + v);
            }
            display = v[0] - '0';
        } else {
            return Refuse(Msg(78) + ": " + a);
        }
    }
    if (in.empty()) return Refuse(Msg(78) + ": --in CAPTURE.wav");

    const int n = FinderCaptureLength(resolution);
    WaveData wav;
    const WaveStatus status = ReadWave16(in, wav, static_cast<uint64_t>(n));
    if (status != WaveStatus::Ok) {
        const int m = WaveStatusMessage(status);
        return Refuse((m >= 0 ? Msg(m) : std::string("cannot open")) + ": " + in);
    }
    if (wav.format.channels != 1) return Refuse(Msg(15) + ": " + in);
    if (wav.Frames() < static_cast<std::size_t>(n) || wav.format.sampleRate == 0) {
        return Refuse(Msg(80) + ": " + in);
    }

    std::vector<int32_t> capture(wav.samples.begin(), wav.samples.begin() + n);
    WindowTable window;
    window.MakeWindow(static_cast<uint16_t>(n), static_cast<uint16_t>(n), 4);
    BandTable bands;
    FftEngine engine;
    std::vector<double> fftInput(static_cast<std::size_t>(n));
    const FinderReading r =
        AnalyseCapture(capture, wav.format.sampleRate, display, window, bands, engine, fftInput);
    if (r.valid) {
        std::printf(
            "{\"bin\": %d, \"frequency\": %.10g, \"label\": %s, \"deviation\": %d, \"lamp\": %d}\n",
            r.bin, r.frequency, JsonString(r.band.label).c_str(), r.band.deviation, r.lamps.lit);
    } else {
        // No spectral line above bin 3: the finder shows no reading.
        std::printf(
            "{\"bin\": %d, \"frequency\": null, \"label\": null, \"deviation\": null, \"lamp\": "
            "0}\n",
            r.bin);
    }
    return 0;
}

}  // namespace fim::cli
