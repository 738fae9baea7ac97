#pragma once
// A Prompter that answers from a script and records every question: for tests, and for callers
// that must run without a person (fimtool answers through ConsolePrompter instead).

#include <deque>
#include <string>
#include <vector>

#include "shell/Prompter.h"

namespace fim {

class ScriptedPrompter : public Prompter {
  public:
    struct Shown {
        std::string caption;
        std::string text;
        PromptButtons buttons;
        PromptIcon icon;
    };

    // Answers given in order; when the script is empty the first button's answer is used
    // (OK, Yes, Retry or Abort).
    std::deque<PromptAnswer> answers;
    // File names returned in order by the file dialogs; an empty string means "cancelled".
    std::deque<std::string> files;
    // Filters chosen in order (0-based) by the file dialogs; when empty the preselected one.
    std::deque<int> filters;

    // Colours returned in order by the colour dialog; an empty script means "cancelled".
    std::deque<uint32_t> colours;
    // Initial colours the colour dialog was opened with.
    std::vector<uint32_t> colourRequests;

    std::vector<Shown> shown;
    std::vector<FileDialogRequest> fileRequests;

    PromptAnswer Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                     PromptIcon icon) override;
    std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
    std::optional<uint32_t> ChooseColour(const std::string& title, uint32_t initial) override;

    const Shown* Last() const { return shown.empty() ? nullptr : &shown.back(); }
};

}  // namespace fim
