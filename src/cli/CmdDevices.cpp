// fimtool devices: every input and output device, one a line, named as --device and the settings
// name them.

#include <cstdio>

#include "audio/DeviceSet.h"
#include "audio/VirtualRoom.h"
#include "audio/platform/PortAudioDevices.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"

namespace fim::cli {

int RunDevices(const Args& args) {
    CommandLine a("devices",
                  "Every input and output device, one a line (\"in: NAME\" or "
                  "\"out: NAME\"), named as --device and the settings name them.");
    if (!a.Parse(args)) return a.HelpShown() ? 0 : Refuse("devices", a.Error(), 2);
    PortAudioDevices cards;
    VirtualRoom room;
    DeviceSet devices({&cards, &room});
    for (int i = 0; i < devices.InputCount(); ++i) {
        std::printf("in: %s\n", devices.InputName(i).c_str());
    }
    for (int i = 0; i < devices.OutputCount(); ++i) {
        std::printf("out: %s\n", devices.OutputName(i).c_str());
    }
    return 0;
}

}  // namespace fim::cli
