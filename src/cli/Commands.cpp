#include "cli/Commands.h"

namespace fim::cli {

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands = {
    };
    return commands;
}

}  // namespace fim::cli
