#include "cli/ConsolePrompter.h"

#include <string>

namespace fim::cli {

PromptAnswer ConsolePrompter::SafeAnswer(PromptButtons buttons) {
    switch (buttons) {
        case PromptButtons::Ok:
            return PromptAnswer::Ok;
        case PromptButtons::YesNo:
            return PromptAnswer::No;
        case PromptButtons::OkCancel:
        case PromptButtons::YesNoCancel:
        case PromptButtons::RetryCancel:
            return PromptAnswer::Cancel;
        case PromptButtons::AbortRetryIgnore:
            return PromptAnswer::Abort;
    }
    return PromptAnswer::Cancel;
}

PromptAnswer ConsolePrompter::Ask(const std::string& caption, const std::string& text,
                                  PromptButtons buttons, PromptIcon /*icon*/) {
    std::string line;
    line.reserve(caption.size() + text.size() + 3);
    if (!caption.empty()) {
        line += caption;
        line += ": ";
    }
    // "\r" and "\r\n" break lines in the catalog's texts; the console wants "\n".
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            line += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += text[i];
        }
    }
    line += '\n';
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
    return SafeAnswer(buttons);
}

std::optional<std::string> ConsolePrompter::ChooseOpenFile(const FileDialogRequest& /*request*/) {
    return std::nullopt;
}

std::optional<std::string> ConsolePrompter::ChooseSaveFile(const FileDialogRequest& /*request*/) {
    return std::nullopt;
}

}  // namespace fim::cli
