#pragma once
// fimtool's Prompter: there is no person at the other end, so a box is printed on stderr as
// "caption: text" and answered at once with the choice that changes nothing: OK where OK is the
// only button, No or Cancel for questions, Cancel for Retry/Cancel, Abort for Abort/Retry/Ignore.
// File dialogs are never shown; they answer "cancelled".

#include <cstdio>

#include "base/Prompter.h"

namespace fim::cli {

class ConsolePrompter : public Prompter {
  public:
    explicit ConsolePrompter(std::FILE* out = stderr) : out_(out) {}

    PromptAnswer Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                     PromptIcon icon) override;
    std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;

    // The answer given for a box with these buttons.
    static PromptAnswer SafeAnswer(PromptButtons buttons);

  private:
    std::FILE* out_;
};

}  // namespace fim::cli
