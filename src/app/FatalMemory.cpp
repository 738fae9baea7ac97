#include "app/FatalMemory.h"

#include <cstdio>
#include <cstdlib>

#include "base/Catalog.h"
#include "base/MessageIds.h"
#include "base/Prompter.h"

namespace fim {

void FatalMemoryError(const std::string& caption, Prompter* prompter) {
    FatalMemoryError(caption, Msg(kMsgMemoryError), prompter);
}

void FatalMemoryError(const std::string& caption, const std::string& text, Prompter* prompter) {
    if (prompter != nullptr) {
        prompter->Ask(caption, text, PromptButtons::Ok, PromptIcon::Stop);
    } else {
        std::string console = text;
        for (char& c : console) {
            if (c == '\r') c = '\n';
        }
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), console.c_str());
    }
    std::fputs("MEMORY ERROR\n", stderr);
    std::fflush(stderr);
    // _Exit: no static destructors or atexit handlers run on a half-built state.
    std::_Exit(kFatalMemoryExitStatus);
}

SharedBuffers::FatalHandler FatalMemoryHandler(Prompter* prompter) {
    return [prompter](const std::string& caption) { FatalMemoryError(caption, prompter); };
}

}  // namespace fim
