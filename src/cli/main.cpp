// src/cli/: fimtool, the command line over the same engine as the GUI: one file a command, their
// options read with CLI11 and their JSON written with nlohmann-json. Nothing includes it.

#include <cstdio>
#include <cstring>
#include <vector>

#include "audio/platform/SoundSystemLog.h"
#include "cli/Commands.h"

namespace {

void PrintHelp(std::FILE* to) {
    std::fprintf(to,
                 "usage: fimtool [--verbose] COMMAND [options]\n"
                 "\n"
                 "Field Impulse Meter on the command line: the same measurement engine as the\n"
                 "program's windows, for scripts and reports. Refused input gives a one-line\n"
                 "reason on standard error and a non-zero exit status; values go to standard\n"
                 "output as JSON.\n"
                 "\n"
                 "commands:\n");
    for (const auto& c : fim::cli::AllCommands()) {
        std::fprintf(to, "  fimtool %s%s%s\n      %s\n", c.name, *c.usage ? " " : "", c.usage,
                     c.summary);
    }
    std::fprintf(to,
                 "  fimtool COMMAND --help\n      Lists the command's options and what they do.\n");
    std::fprintf(to,
                 "\n"
                 "options:\n"
                 "  --verbose\n"
                 "      Shows the sound system's own messages while it looks for devices (as the\n"
                 "      environment variable FIM_DEBUG_AUDIO=1 does); without it they go to the\n"
                 "      program's log only.\n");
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace fim::cli;
    // --verbose may stand anywhere; no option takes it as its value.
    std::vector<char*> rest;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--verbose") == 0) {
            fim::ShowSoundSystemMessages(true);
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (rest.empty()) {
        PrintHelp(stderr);
        return 2;
    }
    if (std::strcmp(rest[0], "--help") == 0 || std::strcmp(rest[0], "help") == 0) {
        PrintHelp(stdout);
        return 0;
    }
    for (const auto& c : AllCommands()) {
        if (std::strcmp(rest[0], c.name) == 0) {
            Args args(rest.begin() + 1, rest.end());
            return c.run(args);
        }
    }
    std::fprintf(stderr, "fimtool: unknown command \"%s\"\n", rest[0]);
    return 2;
}
