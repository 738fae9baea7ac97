// fimtool recover: a recorded WAVE file of consecutive 2N-frame blocks goes block by block
// through the conversion and the averaging of a live run; the finished impulse response is saved
// as a time file or a normalised 16-bit mono WAVE file.

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/RunController.h"
#include "audio/TimeFile.h"
#include "audio/WaveFile.h"
#include "base/Catalog.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ResponseFile.h"
#include "cli/SignalState.h"
#include "core/MeasurementState.h"
#include "core/Mls.h"
#include "core/Recovery.h"

namespace fim::cli {

namespace {

constexpr std::string_view kCommand = "recover";

}  // namespace

int RunRecover(const Args& args) {
    CommandLine a("recover",
                  "The impulse response of recorded MLS periods: every 2N-frame block "
                  "of REC.wav goes through the conversion, level checks and averaging "
                  "of a live run.");
    a.Option("--order", "N", "MLS order of the recording (default 12)")
        .Option("--in", "REC.wav", "the recording: stereo 16-bit, consecutive period pairs")
        .Option("--averages", "K", "periods to average, 1 ... 128 (default 1)")
        .Switch("--atc", "time alignment on the reference channel")
        .Switch("--peaksync", "peak synchronisation of the periods (with --atc)")
        .Option("--syncmode", "M", "mismatching peaks: 0 ignore, 1 correct, 2 ask (default 0)")
        .Option("--synctime", "T", "largest correction in samples, 1 ... 100 (default 20)")
        .Switch("--ignore-first", "discard the first period")
        .Option("--out", "IR.mtf", "the impulse response: a .mtf time file or a .wav file");
    if (!a.Parse(args)) return a.HelpShown() ? 0 : Refuse(kCommand, a.Error(), 2);
    const int order = a.Int("--order", 12, kMinMlsOrder, kMaxBufferedMlsOrder);
    const int averages = a.Int("--averages", 1, 1, 128);
    const int syncMode = a.Int("--syncmode", 0, 0, 2);
    const int syncTime = a.Int("--synctime", 20, 1, 100);
    if (!a.Ok()) return Refuse(kCommand, a.Error(), 2);
    const std::string in = a.Text("--in");
    const std::string out = a.Text("--out");
    if (in.empty() || out.empty()) return Refuse(kCommand, "give --in REC.wav and --out IR.mtf", 2);
    if (Extension(out) != "mtf" && Extension(out) != "wav") {
        return Refuse(kCommand, "--out must name a .mtf or .wav file", 2);
    }

    WaveData wav;
    const WaveStatus status = ReadWave16(in, wav);
    if (status != WaveStatus::Ok) {
        const int msg = WaveStatusMessage(status);
        return Refuse(kCommand,
                      in + ": " + (msg >= 0 ? Msg(msg) : std::string("cannot open the file")));
    }
    if (wav.format.channels != 2) return Refuse(kCommand, in + ": the recording must be stereo");
    if (wav.format.sampleRate < 1000 || wav.format.sampleRate > 65535) {
        return Refuse(kCommand, in + ": sample rate " + std::to_string(wav.format.sampleRate) +
                                    " Hz is not supported");
    }

    MeasurementState state;
    SignalOptions signal;
    signal.rate = static_cast<int>(wav.format.sampleRate);
    signal.order = order;
    SetUpState(state, signal);
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
            std::string message = in;
            message.append(": block ").append(std::to_string(b + 1));
            message.append(": MIV INPUT MONITOR: ").append(text);
            return Refuse(kCommand, message);
        }
        complete = ProcessPeriod(state).complete;
    }
    if (!complete) {
        return Refuse(kCommand, in + ": " + std::to_string(blocks) + " blocks of " +
                                    std::to_string(blockValues / 2) +
                                    " frames did not complete a run of " +
                                    std::to_string(averages) + " averaged periods");
    }
    FindImpulsePeak(state);
    if (Extension(out) == "wav" && state.ImpulsePeakValue == 0) {
        return Refuse(kCommand, "the impulse response is silent; nothing to normalise");
    }
    if (!SaveResponse(state, out)) return 1;
    return 0;
}

}  // namespace fim::cli
