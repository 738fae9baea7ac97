// fimtool band --series S --freq F: the finder's read-out of one frequency,
// "<label>\t<deviation>" with the label exactly as displayed.

#include <charconv>
#include <cstdio>
#include <string>

#include "base/Catalog.h"
#include "cli/Commands.h"
#include "finder/BandTable.h"

namespace fim::cli {

namespace {

bool ParseDouble(const std::string& s, double& out) {
    const char* end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), end, out);
    return ec == std::errc() && p == end;
}

int Refuse(const std::string& what) {
    std::fprintf(stderr, "fimtool band: %s: %s\n", Msg(78).c_str(), what.c_str());
    return 1;
}

}  // namespace

int RunBand(const Args& args) {
    double series = 0.0;
    double freq = 0.0;
    bool haveSeries = false;
    bool haveFreq = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--series" || a == "--freq") && i + 1 < args.size()) {
            const std::string& v = args[++i];
            double& target = a == "--series" ? series : freq;
            if (!ParseDouble(v, target)) return Refuse(a + " " + v);
            (a == "--series" ? haveSeries : haveFreq) = true;
        } else {
            return Refuse(a);
        }
    }
    if (!haveSeries || !haveFreq) return Refuse("--series S --freq F");
    if (series != 1 && series != 2 && series != 3 && series != 4) {
        return Refuse("--series " + std::to_string(static_cast<long long>(series)));
    }
    BandTable bands;
    const BandReadout r = bands.BandReading(static_cast<uint8_t>(series), freq);
    std::printf("%s\t%d\n", r.label.c_str(), r.deviation);
    return 0;
}

}  // namespace fim::cli
