#include "cli/Commands.h"

#include <algorithm>
#include <cstdio>

namespace fim::cli {

int Refuse(std::string_view command, const std::string& text, int status) {
    std::string line = text;
    std::replace(line.begin(), line.end(), '\r', ' ');
    if (command.empty()) {
        std::fprintf(stderr, "%s\n", line.c_str());
    } else {
        std::fprintf(stderr, "fimtool %.*s: %s\n", static_cast<int>(command.size()), command.data(),
                     line.c_str());
    }
    return status;
}

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands = {
        {"mls", RunMls,
         "--order N --print | --order N [--pink] [--rate HZ] [--level DB] --wav OUT.wav",
         "Prints the plain sequence as 1 and -1, or writes the output signal exactly as it is "
         "played: two periods, stereo, 16 bits."},
        {"recover", RunRecover,
         "--order N --in REC.wav [--averages K] [--atc] [--peaksync] [--syncmode M] "
         "[--synctime T] [--ignore-first] --out IR.mtf",
         "Recovers the impulse response from a recording of consecutive period pairs, with the "
         "same conversion, level checks and averaging as a live run."},
        {"measure", RunMeasure,
         "[--device NAME | --input-device NAME --output-device NAME] [--order N] "
         "[--averages K] [--atc] [--peaksync] [--pink] [--level DB] [--rate HZ] "
         "[--ignore-first] [--room KEY=VALUE ...] [--fast] [--continuous] [--drift-correction] "
         "--out IR.mtf",
         "Measures through the run controller on the named devices (the Virtual Room by "
         "default; --fast runs it as fast as possible; --continuous averages every period of an "
         "MLS played without a gap; --drift-correction resamples each period for the measured "
         "clock drift), saves the response and prints a JSON summary."},
        {"band", RunBand, "--series S --freq F",
         "Prints the equaliser band of a frequency as displayed, and its deviation."},
        {"finder", RunFinder, "--in CAPTURE.wav [--resolution high|normal|low] [--display 0..3]",
         "Finds the strongest spectral line of a capture as the feedback finder does; JSON."},
        {"tld", RunTld, "--in IR.mtf [--start S] --png OUT.png",
         "Draws the time-level diagram of an impulse response."},
        {"devices", RunDevices, "",
         "Lists every input and output device, one a line, named as --device and the settings "
         "name them."},
        {"spectrum", RunSpectrum,
         "--in IR.mtf|IR.wav [--start S --end E] [--mode fft|smooth] [--fft-size N] "
         "[--smoothing V] [--cal FILE] [--mic FILE] [--frd OUT.frd] [--spectrum OUT.mfr|OUT.smr] "
         "[--ascii-offset DB] [--use-gain] [--gain DB] [--no-stamp]",
         "Computes the spectrum of an analysis window and writes it as a text table, a "
         "spectrum file or a picture."},
        {"info", RunInfo, "FILE", "Describes any file the program reads, as JSON."},
        {"acoustics", RunAcoustics,
         "--in IR.mtf|IR.wav [--bands octave|third] [--weighting z|a] [--json]",
         "Room-acoustic figures of an impulse response per band: decay times and clarity."},
    };
    return commands;
}

}  // namespace fim::cli
