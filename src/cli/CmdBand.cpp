// fimtool band --series S --freq F: the finder's read-out of one frequency,
// "<label>\t<deviation>" with the label exactly as displayed.

#include <charconv>
#include <cstdio>
#include <string>

#include "base/Catalog.h"
#include "base/MessageIds.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "finder/BandTable.h"

namespace fim::cli {

namespace {

bool ParseDouble(const std::string& s, double& out) {
    const char* end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), end, out);
    return ec == std::errc() && p == end;
}

constexpr std::string_view kCommand = "band";

// The finder's refusal: message 78 and what was wrong.
int RefuseInput(const std::string& what) {
    return Refuse(kCommand, Msg(kMsgIllegalInput) + ": " + what);
}

}  // namespace

int RunBand(const Args& args) {
    CommandLine a("band",
                  "The feedback finder's read-out of one frequency: the band label exactly "
                  "as displayed and the deviation, separated by a tab.");
    a.Option("--series", "S", "the band series 1 ... 4")
        .Option("--freq", "F", "the frequency in Hz");
    if (!a.Parse(args)) return a.HelpShown() ? 0 : RefuseInput(a.Error());
    if (!a.Has("--series") || !a.Has("--freq")) return RefuseInput("--series S --freq F");
    double series = 0.0;
    double freq = 0.0;
    for (const char* name : {"--series", "--freq"}) {
        const std::string v = a.Text(name);
        if (!ParseDouble(v, std::string(name) == "--series" ? series : freq)) {
            return RefuseInput(std::string(name) + " " + v);
        }
    }
    if (series != 1 && series != 2 && series != 3 && series != 4) {
        return RefuseInput("--series " + std::to_string(static_cast<long long>(series)));
    }
    BandTable bands;
    const BandReadout r = bands.BandReading(static_cast<uint8_t>(series), freq);
    std::printf("%s\t%d\n", r.label.c_str(), r.deviation);
    return 0;
}

}  // namespace fim::cli
