// fimtool recover: a recorded WAVE file of consecutive 2N-frame blocks goes block by block
// through the conversion and the averaging of a live run; the finished impulse response is saved
// as a time file or a normalised 16-bit mono WAVE file.

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/FatalMemory.h"
#include "audio/RunController.h"
#include "audio/TimeFile.h"
#include "audio/WaveFile.h"
#include "base/Catalog.h"
#include "cli/ArgReader.h"
#include "cli/Commands.h"
#include "cli/ResponseFile.h"
#include "core/MeasurementState.h"
#include "core/Mls.h"
#include "core/Recovery.h"

namespace fim::cli {

namespace {

int Refuse(const std::string& reason, int status = 1) {
    std::fprintf(stderr, "fimtool recover: %s\n", reason.c_str());
    return status;
}

}  // namespace

int RunRecover(const Args& args) {
    ArgReader a(args, {"--order", "--in", "--averages", "--syncmode", "--synctime", "--out"},
                {"--atc", "--peaksync", "--ignore-first"});
    const int order = a.Int("--order", 12, kMinMlsOrder, kMaxBufferedMlsOrder);
    const int averages = a.Int("--averages", 1, 1, 128);
    const int syncMode = a.Int("--syncmode", 0, 0, 2);
    const int syncTime = a.Int("--synctime", 20, 1, 100);
    if (!a.Ok()) return Refuse(a.Error(), 2);
    const std::string in = a.Text("--in");
    const std::string out = a.Text("--out");
    if (in.empty() || out.empty()) return Refuse("give --in REC.wav and --out IR.mtf", 2);
    if (Extension(out) != "mtf" && Extension(out) != "wav") {
        return Refuse("--out must name a .mtf or .wav file", 2);
    }

    WaveData wav;
    const WaveStatus status = ReadWave16(in, wav);
    if (status != WaveStatus::Ok) {
        const int msg = WaveStatusMessage(status);
        return Refuse(in + ": " + (msg >= 0 ? Msg(msg) : std::string("cannot open the file")));
    }
    if (wav.format.channels != 2) return Refuse(in + ": the recording must be stereo");
    if (wav.format.sampleRate < 1000 || wav.format.sampleRate > 65535) {
        return Refuse(in + ": sample rate " + std::to_string(wav.format.sampleRate) +
                      " Hz is not supported");
    }

    MeasurementState state;
    state.buffers.Allocate({}, FatalMemoryHandler());
    state.SampleRate = static_cast<uint16_t>(wav.format.sampleRate);
    state.SampleBits = 16;
    state.MlsOrder = static_cast<uint8_t>(order);
    state.RecomputeDerived();
    state.AveragesTarget = averages;
    state.AtcMode = a.Has("--atc") ? 1 : 0;
    state.PeakSync = a.Has("--peaksync");
    state.SyncMode = syncMode;
    state.SyncTime = syncTime;
    state.IgnoreFirst = a.Has("--ignore-first");
    state.FirstSamplePending = true;  // as after opening the devices
    state.AveragesDone = 0;
    state.ShowIntermediate = false;

    const std::size_t blockValues = std::size_t{4} << order;  // 2N stereo frames
    const std::size_t blocks = wav.samples.size() / blockValues;
    bool complete = false;
    for (std::size_t b = 0; b < blocks && !complete; ++b) {
        ConvertRecording(wav.samples.data() + b * blockValues, state.buffers.SampleresultI(), 16,
                         blockValues);
        // The level check of a single measurement: a clipped or too quiet block ends the run.
        const int32_t peak = SecondPeriodPeak(state);
        const LevelVerdict level = JudgeLevels(state, peak, true);
        if (level.clipping || level.low) {
            std::string text = Msg(level.clipping ? 8 : 9) + std::to_string(peak);
            if (level.low) text += "\rMIN LEVEL:  " + std::to_string(state.LowLevelThreshold);
            for (char& c : text) {
                if (c == '\r') c = ' ';
            }
            return Refuse(in + ": block " + std::to_string(b + 1) + ": MIV INPUT MONITOR: " + text);
        }
        complete = ProcessPeriod(state).complete;
    }
    if (!complete) {
        return Refuse(in + ": " + std::to_string(blocks) + " blocks of " +
                      std::to_string(blockValues / 2) + " frames did not complete a run of " +
                      std::to_string(averages) + " averaged periods");
    }
    FindImpulsePeak(state);
    if (Extension(out) == "wav" && state.ImpulsePeakValue == 0) {
        return Refuse("the impulse response is silent; nothing to normalise");
    }
    if (!SaveResponse(state, out)) return 1;
    return 0;
}

}  // namespace fim::cli
