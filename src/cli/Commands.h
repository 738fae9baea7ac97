#pragma once
// fimtool's commands. Each takes the arguments after the command name and returns the exit status;
// refused input prints one line in the program's words on stderr and returns non-zero.

#include <string>
#include <vector>

namespace fim::cli {

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    int (*run)(const Args& args);
    const char* usage;
    const char* summary;  // what the command does, one sentence
};

int RunMls(const Args& args);
int RunRecover(const Args& args);
int RunMeasure(const Args& args);
int RunDevices(const Args& args);
int RunInfo(const Args& args);
int RunSpectrum(const Args& args);

// The commands in the order `fimtool` lists them.
const std::vector<Command>& AllCommands();

int RunBand(const Args& args);
int RunFinder(const Args& args);
int RunTld(const Args& args);
int RunAcoustics(const Args& args);

}  // namespace fim::cli
