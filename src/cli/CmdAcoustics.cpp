// fimtool acoustics --in IR.mtf|IR.wav [--bands octave|third] [--weighting z|a] [--json]: decay
// times, clarity and centre time per band and broadband, as the room acoustics window shows them:
// a tab-separated table, or one JSON object.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "acoustics/RoomAcoustics.h"
#include "app/FatalMemory.h"
#include "audio/ImpulseFiles.h"
#include "base/Catalog.h"
#include "base/MessageIds.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ConsolePrompter.h"
#include "cli/Json.h"
#include "core/MeasurementState.h"

namespace fim::cli {

namespace {

constexpr std::string_view kCommand = "acoustics";

void AddFit(JsonObject& json, const std::string& key, const DecayFit& f) {
    if (f.valid) {
        json.Add(key, f.seconds);
        json.Add(key + "_r", f.correlation);
    } else {
        json.Add(key, kNotEnoughDynamicRange);
        json.Add(key + "_r", kNotEnoughDynamicRange);
    }
}

JsonObject BandJson(const BandAcoustics& b) {
    JsonObject json;
    json.Add("band", b.band.label);
    if (b.band.nominal > 0) json.Add("centre", b.band.nominal);
    AddFit(json, "edt", b.edt);
    AddFit(json, "t20", b.t20);
    AddFit(json, "t30", b.t30);
    const double values[] = {b.c50, b.c80, b.d50, b.ts};
    const char* keys[] = {"c50", "c80", "d50", "ts"};
    for (int i = 0; i < 4; ++i) {
        if (b.clarityValid) {
            json.Add(keys[i], values[i]);
        } else {
            json.Add(keys[i], kNotEnoughDynamicRange);
        }
    }
    json.Add("onset", b.onset);
    json.Add("cross_point", b.crossPoint);
    json.Add("dynamic_range", b.dynamicRange);
    json.AddBool("longer_than_response", b.longerThanResponse);
    return json;
}

}  // namespace

int RunAcoustics(const Args& args) {
    CommandLine a("acoustics",
                  "Room-acoustic figures of an impulse response: decay times and "
                  "clarity per band.");
    a.Option("--in", "IR.mtf|IR.wav", "the impulse response")
        .Option("--bands", "octave|third", "octave or third-octave bands (default octave)")
        .Option("--weighting", "z|a", "frequency weighting of the broadband figures (default z)")
        .Switch("--json", "JSON instead of a table");
    if (!a.Parse(args)) return a.HelpShown() ? 0 : Refuse(kCommand, a.Error());
    const std::string in = a.Text("--in");
    if (in.empty()) return Refuse(kCommand, Msg(kMsgIllegalInput) + ": --in IR.mtf|IR.wav");
    const std::string bands = a.Text("--bands", "octave");
    if (bands != "octave" && bands != "third") {
        return Refuse(kCommand, Msg(kMsgIllegalInput) + ": --bands " + bands);
    }
    const std::string weighting = a.Text("--weighting", "z");
    if (weighting != "z" && weighting != "a") {
        return Refuse(kCommand, Msg(kMsgIllegalInput) + ": --weighting " + weighting);
    }

    MeasurementState state;
    state.buffers.Allocate({}, FatalMemoryHandler());
    ConsolePrompter prompter;
    ImpulseFiles files(state, prompter);
    if (!files.LoadImpulse(in, ImpulseFiles::FilterIndexForName(in))) {
        return Refuse(kCommand, Msg(kMsgIllegalInput) + ": " + in);
    }
    const std::size_t count = state.MlsSize > 1 ? static_cast<std::size_t>(state.MlsSize - 1) : 0;
    AcousticsOptions options;
    options.bands = bands == "third" ? BandSet::Third : BandSet::Octave;
    options.broadband = weighting == "a" ? Weighting::A : Weighting::Z;
    const AcousticsResult r = AnalyseRoom(state.buffers.RLPd(), count, state.SampleRate, options);
    if (r.nonFinite) return Refuse(kCommand, in + ": " + kNonFiniteResponse);

    if (!a.Has("--json")) {
        std::printf("%s", AcousticsTable(r, '\t').c_str());
        if (r.longerThanResponse) std::printf("%s\n", kLongerThanResponse);
        return 0;
    }
    JsonObject json;
    json.Add("file", in);
    json.Add("sample_rate", static_cast<int>(state.SampleRate));
    json.Add("samples", static_cast<int>(count));
    json.Add("bands_kind", bands);
    json.AddBool("longer_than_response", r.longerThanResponse);
    std::vector<JsonObject> list;
    for (const BandAcoustics& b : r.bands) list.push_back(BandJson(b));
    json.Add("bands", list);
    json.Add("broadband", BandJson(r.broadband));
    json.Print();
    return 0;
}

}  // namespace fim::cli
