#pragma once
// The GUI's Prompter: application-modal QMessageBox boxes with Qt's own button texts, and
// QFileDialog open/save dialogs. Catalog texts are UTF-8 with "\r" line breaks; both are
// converted here, at the Qt boundary.

#include <QMessageBox>
#include <QString>
#include <memory>

#include "shell/Prompter.h"

class QWidget;

namespace fim {

class QtPrompter : public Prompter {
  public:
    // Boxes and dialogs are centred on `parent` (may be null).
    explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    PromptAnswer Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                     PromptIcon icon) override;
    std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
    std::optional<uint32_t> ChooseColour(const std::string& title, uint32_t initial) override;

    // UTF-8 catalog text to display text: "\r\n" and "\r" become "\n".
    static QString DisplayText(const std::string& text);
    // The box Ask runs, ready to exec().
    static std::unique_ptr<QMessageBox> MakeBox(const std::string& caption, const std::string& text,
                                                PromptButtons buttons, PromptIcon icon,
                                                QWidget* parent);
    // The answer for the button the user pressed; `escape` when the box was closed without one.
    static PromptAnswer AnswerFor(QMessageBox::StandardButton button, PromptButtons buttons);
    // `name` with ".ext" appended when its file-name part has no extension ("" leaves it alone;
    // a leading dot in `ext` is ignored).
    static std::string WithDefaultExtension(const std::string& name, std::string ext);
    // The extension (without the dot) of a filter's first pattern; empty for "*.*" or none.
    static std::string FilterExtension(const std::string& filter);

  private:
    std::optional<std::string> RunFileDialog(const FileDialogRequest& request, bool save);

    QWidget* parent_;
};

}  // namespace fim
