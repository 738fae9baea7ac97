#include "cli/Commands.h"

namespace fim::cli {

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands = {
        {"mls", RunMls,
         "--order N --print | --order N [--pink] [--rate HZ] [--level DB] --wav OUT.wav"},
        {"recover", RunRecover,
         "--order N --in REC.wav [--averages K] [--atc] [--peaksync] [--syncmode M] "
         "[--synctime T] [--ignore-first] --out IR.mtf"},
        {"measure", RunMeasure,
         "[--device NAME | --input-device NAME --output-device NAME] [--order N] "
         "[--averages K] [--atc] [--peaksync] [--pink] [--level DB] [--rate HZ] "
         "[--room KEY=VALUE ...] [--fast] [--continuous] [--drift-correction] --out IR.mtf"},
        {"band", RunBand, "--series S --freq F"},
        {"finder", RunFinder, "--in CAPTURE.wav [--resolution high|normal|low] [--display 0..3]"},
        {"tld", RunTld, "--in IR.mtf [--start S] --png OUT.png"},
        {"devices", RunDevices, ""},
        {"spectrum", RunSpectrum,
         "--in IR.mtf|IR.wav [--start S --end E] [--mode fft|smooth] [--fft-size N] "
         "[--smoothing V] [--cal FILE] [--mic FILE] [--frd OUT.frd] [--spectrum OUT.mfr|OUT.smr] "
         "[--ascii-offset DB] [--use-gain] [--gain DB]"},
        {"info", RunInfo, "FILE"},
        {"acoustics", RunAcoustics,
         "--in IR.mtf|IR.wav [--bands octave|third] [--weighting z|a] [--json]"},
    };
    return commands;
}

}  // namespace fim::cli
