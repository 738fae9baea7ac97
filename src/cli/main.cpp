// src/cli/: fimtool, the command line over the same engine as the GUI: one file a command, their
// options read with CLI11 and their JSON written with nlohmann-json. Nothing includes it.

#include <cstdio>
#include <cstring>

#include "cli/Commands.h"

int main(int argc, char* argv[]) {
    using namespace fim::cli;
    const auto& commands = AllCommands();
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
        std::fprintf(stderr, "usage: fimtool COMMAND [options]\n");
        for (const auto& c : commands) std::fprintf(stderr, "  fimtool %s %s\n", c.name, c.usage);
        std::fprintf(stderr, "  fimtool COMMAND --help: the command's options and what they do\n");
        return argc < 2 ? 2 : 0;
    }
    for (const auto& c : commands) {
        if (std::strcmp(argv[1], c.name) == 0) {
            Args args(argv + 2, argv + argc);
            return c.run(args);
        }
    }
    std::fprintf(stderr, "fimtool: unknown command \"%s\"\n", argv[1]);
    return 2;
}
