// fimtool mls: the plain sequence as text, or the output signal exactly as it is laid out for
// playing, as a stereo 16-bit WAVE file.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audio/WaveFile.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ConsolePrompter.h"
#include "cli/SignalState.h"
#include "core/MeasurementState.h"
#include "core/Mls.h"

namespace fim::cli {

namespace {

constexpr std::string_view kCommand = "mls";

int PrintSequence(int order) {
    ConsolePrompter prompter;
    std::vector<int8_t> m(
        order >= kMinMlsOrder && order <= kMaxMlsOrder ? (std::size_t{1} << order) - 1 : 0);
    if (!GenerateMls(order, m.data(), prompter)) return 1;
    std::string text;
    text.reserve(m.size() * 3);
    for (int8_t v : m) text += v > 0 ? "1\n" : "-1\n";
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
        return Refuse(kCommand, "could not write the sequence");
    }
    return 0;
}

}  // namespace

int RunMls(const Args& args) {
    CommandLine a("mls",
                  "The plain MLS as text, or the output signal exactly as laid out for "
                  "playing (2N stereo 16-bit frames) as a WAVE file.");
    a.Option("--order", "N", "MLS order: the sequence has 2^N - 1 values (default 12)")
        .Switch("--print", "print the sequence, one value (1 or -1) a line")
        .Option("--wav", "OUT.wav", "write the output signal as a stereo 16-bit WAVE file")
        .Switch("--pink", "the pink-filtered signal")
        .Option("--rate", "HZ", "sample rate of the WAVE file (default 44100)")
        .Option("--level", "DB", "output level, -120 ... 0 dB (default -6)");
    if (!a.Parse(args)) return a.HelpShown() ? 0 : Refuse(kCommand, a.Error(), 2);
    const int order = a.Int("--order", 12, 0, 99);
    const int rate = a.Int("--rate", 44100, 8000, 65535);
    const int level = a.Int("--level", -6, -120, 0);
    if (!a.Ok()) return Refuse(kCommand, a.Error(), 2);
    if (!a.Has("--print") && !a.Has("--wav")) {
        return Refuse(kCommand, "give --print or --wav OUT.wav", 2);
    }

    if (a.Has("--print")) {
        const int status = PrintSequence(order);
        if (status != 0) return status;
    }
    if (!a.Has("--wav")) return 0;

    if (order < kMinMlsOrder || order > kMaxBufferedMlsOrder) {
        return Refuse(kCommand, "order " + std::to_string(order) + " is outside 2 … " +
                                    std::to_string(kMaxBufferedMlsOrder) +
                                    " of the signal buffers");
    }
    MeasurementState state;
    SetUpState(state, {rate, order, level, a.Has("--pink")});
    if (!BuildOutputSignal(state)) return Refuse(kCommand, "could not build the output signal");

    const std::size_t frames = std::size_t{2} << order;
    std::vector<int16_t> samples(2 * frames);
    std::memcpy(samples.data(), state.buffers.OLPb(), samples.size() * sizeof(int16_t));
    std::string error;
    if (!WriteWave16(a.Text("--wav"), static_cast<uint32_t>(rate), 2, samples.data(), frames,
                     &error)) {
        return Refuse(kCommand, error.empty() ? "could not write " + a.Text("--wav") : error);
    }
    return 0;
}

}  // namespace fim::cli
