#include "shell/ScriptedPrompter.h"

namespace fim {

namespace {
PromptAnswer FirstButton(PromptButtons buttons) {
    switch (buttons) {
        case PromptButtons::Ok:
        case PromptButtons::OkCancel:
            return PromptAnswer::Ok;
        case PromptButtons::YesNo:
        case PromptButtons::YesNoCancel:
            return PromptAnswer::Yes;
        case PromptButtons::RetryCancel:
            return PromptAnswer::Retry;
        case PromptButtons::AbortRetryIgnore:
            return PromptAnswer::Abort;
    }
    return PromptAnswer::Ok;
}
}  // namespace

PromptAnswer ScriptedPrompter::Ask(const std::string& caption, const std::string& text,
                                   PromptButtons buttons, PromptIcon icon) {
    shown.push_back({caption, text, buttons, icon});
    if (answers.empty()) return FirstButton(buttons);
    const PromptAnswer a = answers.front();
    answers.pop_front();
    return a;
}

std::optional<std::string> ScriptedPrompter::ChooseOpenFile(const FileDialogRequest& request) {
    fileRequests.push_back(request);
    if (files.empty()) return std::nullopt;
    std::string f = files.front();
    files.pop_front();
    if (f.empty()) return std::nullopt;
    int filter = request.initialFilter;
    if (!filters.empty()) {
        filter = filters.front();
        filters.pop_front();
    }
    if (request.chosenFilter != nullptr) *request.chosenFilter = filter;
    return f;
}

std::optional<std::string> ScriptedPrompter::ChooseSaveFile(const FileDialogRequest& request) {
    return ChooseOpenFile(request);
}

std::optional<uint32_t> ScriptedPrompter::ChooseColour(const std::string& /*title*/,
                                                       uint32_t initial) {
    colourRequests.push_back(initial);
    if (colours.empty()) return std::nullopt;
    const uint32_t c = colours.front();
    colours.pop_front();
    return c;
}

}  // namespace fim
