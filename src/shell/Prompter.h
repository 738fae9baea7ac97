#pragma once
// Message boxes and file dialogs, behind one interface so every handler runs in tests with
// scripted answers (ScriptedPrompter), in the GUI (QtPrompter) and in fimtool (ConsolePrompter).

#include <cstdint>
#include <optional>
#include <string>

namespace fim {

enum class PromptIcon { None, Information, Warning, Stop, Question };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class PromptAnswer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

struct FileDialogRequest {
    std::string title;
    // Filter in the "Description (*.ext *.EXT);;Other (*.x)" form.
    std::string filter;
    std::string initialDir;
    std::string initialName;
    std::string defaultExtension;  // without the dot; appended when the name has none
    bool confirmOverwrite = true;  // save dialogs only
    int initialFilter = 0;         // 0-based index of the filter preselected
    // When set, receives the 0-based index of the filter chosen (left alone when cancelled). In
    // a save dialog the chosen filter's first pattern ("*.MTF") also gives the extension
    // appended to a bare name.
    int* chosenFilter = nullptr;
};

class Prompter {
  public:
    virtual ~Prompter() = default;
    // A message box; returns the button pressed. Text lines are separated by "\r" or "\n".
    virtual PromptAnswer Ask(const std::string& caption, const std::string& text,
                             PromptButtons buttons, PromptIcon icon) = 0;
    // An open-file dialog; nullopt when cancelled.
    virtual std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) = 0;
    // A save-file dialog; nullopt when cancelled.
    virtual std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) = 0;

    // A colour dialog offering solid colours (no custom-colour panel), starting at `initial`;
    // colours are 0x00BBGGRR. Nullopt when cancelled. A prompter without a person to choose
    // (fimtool) answers "cancelled", as for its file dialogs.
    virtual std::optional<uint32_t> ChooseColour(const std::string& title, uint32_t initial) {
        (void)title;
        (void)initial;
        return std::nullopt;
    }

    // A box with only OK.
    void Inform(const std::string& caption, const std::string& text,
                PromptIcon icon = PromptIcon::Information) {
        Ask(caption, text, PromptButtons::Ok, icon);
    }
};

}  // namespace fim
