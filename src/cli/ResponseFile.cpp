#include "cli/ResponseFile.h"

#include "audio/ImpulseFiles.h"
#include "cli/ConsolePrompter.h"

namespace fim::cli {

bool SaveResponse(MeasurementState& state, const std::string& path) {
    ConsolePrompter prompter;
    ImpulseFiles files(state, prompter);
    return files.SaveImpulse(path, ImpulseFiles::FilterIndexForName(path));
}

}  // namespace fim::cli
