// fimtool mls: the plain sequence as text, or the output signal exactly as it is laid out for
// playing, as a stereo 16-bit WAVE file.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/FatalMemory.h"
#include "audio/WaveFile.h"
#include "cli/ArgReader.h"
#include "cli/Commands.h"
#include "cli/ConsolePrompter.h"
#include "core/MeasurementState.h"
#include "core/Mls.h"

namespace fim::cli {

namespace {

int Refuse(const std::string& reason, int status = 1) {
    std::fprintf(stderr, "fimtool mls: %s\n", reason.c_str());
    return status;
}

int PrintSequence(int order) {
    ConsolePrompter prompter;
    std::vector<int8_t> m(
        order >= kMinMlsOrder && order <= kMaxMlsOrder ? (std::size_t{1} << order) - 1 : 0);
    if (!GenerateMls(order, m.data(), prompter)) return 1;
    std::string text;
    text.reserve(m.size() * 3);
    for (int8_t v : m) text += v > 0 ? "1\n" : "-1\n";
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
        return Refuse("could not write the sequence");
    }
    return 0;
}

}  // namespace

int RunMls(const Args& args) {
    ArgReader a(args, {"--order", "--rate", "--level", "--wav"}, {"--print", "--pink"});
    const int order = a.Int("--order", 12, 0, 99);
    const int rate = a.Int("--rate", 44100, 8000, 65535);
    const int level = a.Int("--level", -6, -120, 0);
    if (!a.Ok()) return Refuse(a.Error(), 2);
    if (!a.Has("--print") && !a.Has("--wav")) return Refuse("give --print or --wav OUT.wav", 2);

    if (a.Has("--print")) {
        const int status = PrintSequence(order);
        if (status != 0) return status;
    }
    if (!a.Has("--wav")) return 0;

    if (order < kMinMlsOrder || order > kMaxBufferedMlsOrder) {
        return Refuse("order " + std::to_string(order) + " is outside 2 … " +
                      std::to_string(kMaxBufferedMlsOrder) + " of the signal buffers");
    }
    MeasurementState state;
    state.buffers.Allocate({}, FatalMemoryHandler());
    state.SampleRate = static_cast<uint16_t>(rate);
    state.SampleBits = 16;
    state.MlsOrder = static_cast<uint8_t>(order);
    state.OutputLevelDb = level;
    state.PinkMls = a.Has("--pink");
    state.RecomputeDerived();
    if (!BuildOutputSignal(state)) return Refuse("could not build the output signal");

    const std::size_t frames = std::size_t{2} << order;
    std::vector<int16_t> samples(2 * frames);
    std::memcpy(samples.data(), state.buffers.OLPb(), samples.size() * sizeof(int16_t));
    std::string error;
    if (!WriteWave16(a.Text("--wav"), static_cast<uint32_t>(rate), 2, samples.data(), frames,
                     &error)) {
        return Refuse(error.empty() ? "could not write " + a.Text("--wav") : error);
    }
    return 0;
}

}  // namespace fim::cli
