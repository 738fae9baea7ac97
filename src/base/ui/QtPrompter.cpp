#include "base/ui/QtPrompter.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <algorithm>

#include "base/ui/paint/QtBoundary.h"

namespace fim {

namespace {

QMessageBox::StandardButtons ButtonsFor(PromptButtons buttons) {
    using B = QMessageBox;
    switch (buttons) {
        case PromptButtons::Ok:
            return B::Ok;
        case PromptButtons::OkCancel:
            return B::Ok | B::Cancel;
        case PromptButtons::YesNo:
            return B::Yes | B::No;
        case PromptButtons::YesNoCancel:
            return B::Yes | B::No | B::Cancel;
        case PromptButtons::RetryCancel:
            return B::Retry | B::Cancel;
        case PromptButtons::AbortRetryIgnore:
            return B::Abort | B::Retry | B::Ignore;
    }
    return B::Ok;
}

// The answer for Escape or the window's close button: the choice that changes nothing.
PromptAnswer EscapeAnswer(PromptButtons buttons) {
    switch (buttons) {
        case PromptButtons::Ok:
            return PromptAnswer::Ok;
        case PromptButtons::YesNo:
            return PromptAnswer::No;
        case PromptButtons::AbortRetryIgnore:
            return PromptAnswer::Abort;
        case PromptButtons::OkCancel:
        case PromptButtons::YesNoCancel:
        case PromptButtons::RetryCancel:
            return PromptAnswer::Cancel;
    }
    return PromptAnswer::Cancel;
}

QMessageBox::Icon IconFor(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::None:
            return QMessageBox::NoIcon;
        case PromptIcon::Information:
            return QMessageBox::Information;
        case PromptIcon::Warning:
            return QMessageBox::Warning;
        case PromptIcon::Stop:
            return QMessageBox::Critical;
        case PromptIcon::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QString FromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

QString QtPrompter::DisplayText(const std::string& text) {
    QString s = FromUtf8(text);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

std::unique_ptr<QMessageBox> QtPrompter::MakeBox(const std::string& caption,
                                                 const std::string& text, PromptButtons buttons,
                                                 PromptIcon icon, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(IconFor(icon), DisplayText(caption), DisplayText(text),
                                             ButtonsFor(buttons), parent);
    box->setWindowModality(Qt::ApplicationModal);
    box->setTextFormat(Qt::PlainText);
    // Escape picks the choice that changes nothing; Enter the first button, as the boxes
    // always have.
    switch (buttons) {
        case PromptButtons::YesNo:
            box->setEscapeButton(QMessageBox::No);
            break;
        case PromptButtons::AbortRetryIgnore:
            box->setEscapeButton(QMessageBox::Abort);
            break;
        case PromptButtons::Ok:
            box->setEscapeButton(QMessageBox::Ok);
            break;
        default:
            box->setEscapeButton(QMessageBox::Cancel);
            break;
    }
    switch (buttons) {
        case PromptButtons::Ok:
        case PromptButtons::OkCancel:
            box->setDefaultButton(QMessageBox::Ok);
            break;
        case PromptButtons::YesNo:
        case PromptButtons::YesNoCancel:
            box->setDefaultButton(QMessageBox::Yes);
            break;
        case PromptButtons::RetryCancel:
            box->setDefaultButton(QMessageBox::Retry);
            break;
        case PromptButtons::AbortRetryIgnore:
            box->setDefaultButton(QMessageBox::Abort);
            break;
    }
    return box;
}

PromptAnswer QtPrompter::AnswerFor(QMessageBox::StandardButton button, PromptButtons buttons) {
    switch (button) {
        case QMessageBox::Ok:
            return PromptAnswer::Ok;
        case QMessageBox::Cancel:
            return PromptAnswer::Cancel;
        case QMessageBox::Yes:
            return PromptAnswer::Yes;
        case QMessageBox::No:
            return PromptAnswer::No;
        case QMessageBox::Retry:
            return PromptAnswer::Retry;
        case QMessageBox::Abort:
            return PromptAnswer::Abort;
        case QMessageBox::Ignore:
            return PromptAnswer::Ignore;
        default:
            return EscapeAnswer(buttons);
    }
}

PromptAnswer QtPrompter::Ask(const std::string& caption, const std::string& text,
                             PromptButtons buttons, PromptIcon icon) {
    auto box = MakeBox(caption, text, buttons, icon, parent_);
    box->exec();
    const auto pressed = box->standardButton(box->clickedButton());
    return AnswerFor(pressed, buttons);
}

std::string QtPrompter::WithDefaultExtension(const std::string& name, std::string ext) {
    if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
    if (ext.empty() || name.empty()) return name;
    const auto slash = name.find_last_of("/\\");
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = name.find_last_of('.');
    // A dot that leads the file name ("/home/u/.hidden") does not start an extension.
    if (dot != std::string::npos && dot > base && dot + 1 < name.size()) return name;
    if (dot != std::string::npos && dot > base && dot + 1 == name.size()) return name + ext;
    return name + "." + ext;
}

std::string QtPrompter::FilterExtension(const std::string& filter) {
    // "MIV time trace (*.MTF *.mtf)": the first pattern's extension, without the dot.
    const auto star = filter.find("*.");
    if (star == std::string::npos) return {};
    const auto begin = star + 2;
    const auto end = filter.find_first_of(" );", begin);
    const std::string ext = filter.substr(begin, end == std::string::npos ? end : end - begin);
    return ext == "*" ? std::string() : ext;
}

std::optional<std::string> QtPrompter::RunFileDialog(const FileDialogRequest& request, bool save) {
    QFileDialog dialog(parent_, DisplayText(request.title), FromUtf8(request.initialDir),
                       FromUtf8(request.filter));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = dialog.nameFilters();
    if (request.initialFilter > 0 && request.initialFilter < filters.size()) {
        dialog.selectNameFilter(filters[request.initialFilter]);
    }
    // A saved bare name takes the extension of the filter chosen; it is added below, once the
    // choice is known.
    if (!save && !request.defaultExtension.empty()) {
        dialog.setDefaultSuffix(FromUtf8(request.defaultExtension));
    }
    if (save && !request.confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.initialName.empty()) dialog.selectFile(FromUtf8(request.initialName));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;

    if (request.chosenFilter != nullptr) {
        *request.chosenFilter =
            static_cast<int>(std::max<qsizetype>(0, filters.indexOf(dialog.selectedNameFilter())));
    }
    std::string extension = request.defaultExtension;
    if (save) {
        const std::string own = FilterExtension(dialog.selectedNameFilter().toStdString());
        if (!own.empty()) extension = own;
    }
    const std::string chosen = files.first().toStdString();
    const std::string name = WithDefaultExtension(chosen, extension);
    // A native dialog may hand back the name without the extension, so its own overwrite
    // question covered a different file: ask again for the file that will be written.
    if (save && name != chosen && request.confirmOverwrite &&
        QFileInfo::exists(QString::fromStdString(name))) {
        const QString question =
            QCoreApplication::translate("QFileDialog",
                                        "%1 already exists.\nDo you want to replace it?")
                .arg(QFileInfo(QString::fromStdString(name)).fileName());
        QMessageBox box(QMessageBox::Warning, dialog.windowTitle(), question,
                        QMessageBox::Yes | QMessageBox::No, parent_);
        box.setWindowModality(Qt::ApplicationModal);
        box.setDefaultButton(QMessageBox::No);
        if (box.exec() != QMessageBox::Yes) return std::nullopt;
    }
    if (!save && !QFileInfo::exists(QString::fromStdString(name))) {
        // Open dialogs return only existing files; the extension made it a different name.
        return chosen;
    }
    return name;
}

std::optional<std::string> QtPrompter::ChooseOpenFile(const FileDialogRequest& request) {
    return RunFileDialog(request, false);
}

std::optional<std::string> QtPrompter::ChooseSaveFile(const FileDialogRequest& request) {
    return RunFileDialog(request, true);
}

std::optional<uint32_t> QtPrompter::ChooseColour(const std::string& title, uint32_t initial) {
    // 0x00BBGGRR in and out; the dialog works in RGB.
    QColorDialog dialog(ToQColor(initial), parent_);
    dialog.setWindowTitle(DisplayText(title));
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QColor c = dialog.selectedColor();
    if (!c.isValid()) return std::nullopt;
    return FromQColor(c);
}

}  // namespace fim
