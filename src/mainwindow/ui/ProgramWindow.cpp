#include "mainwindow/ui/ProgramWindow.h"

#include <QCoreApplication>

#include "core/MeasurementState.h"
#include "mainwindow/ui/TForm1.h"
#include "settings/platform/FirstStart.h"
#include "settings/platform/QSettingsTree.h"
#include "shell/ui/QtPrompter.h"

namespace fim {

std::unique_ptr<QWidget> CreateProgramWindow() {
    auto prompter = std::make_unique<QtPrompter>();
    QtPrompter* boxes = prompter.get();
    TForm1Options options;
    options.settings = std::make_unique<QSettingsTree>();
    options.arguments = QCoreApplication::arguments();
    // An installed program has its file types registered by the installation.
    if (!IsInstalledProgram(QCoreApplication::applicationDirPath())) {
        options.fileTypes = std::make_shared<FileTypeRegistrar>();
    }
    auto window = std::make_unique<TForm1>(Meas(), std::move(prompter), std::move(options));
    boxes->SetParent(window.get());
    return window;
}

}  // namespace fim
