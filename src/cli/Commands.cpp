#include "cli/Commands.h"

namespace fim::cli {

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands = {
        {"mls", RunMls,
         "--order N --print | --order N [--pink] [--rate HZ] [--level DB] --wav OUT.wav"},
        {"recover", RunRecover,
         "--order N --in REC.wav [--averages K] [--atc] [--peaksync] [--syncmode M] "
         "[--synctime T] [--ignore-first] --out IR.mtf"},
        {"info", RunInfo, "FILE"},
    };
    return commands;
}

}  // namespace fim::cli
