#include <QCoreApplication>
#include <memory>

#include "core/MeasurementState.h"
#include "mainwindow/ui/BareMainWindow.h"
#include "shell/ui/FimStartUp.h"
#include "shell/ui/QtPrompter.h"

int main(int argc, char* argv[]) {
    return fim::RunFim(argc, argv, [] {
        auto prompter = std::make_unique<fim::QtPrompter>();
        fim::QtPrompter* boxes = prompter.get();
        auto window = fim::BuildBareMainWindow(fim::Meas(), std::move(prompter),
                                               QCoreApplication::arguments());
        boxes->SetParent(window.get());
        return std::unique_ptr<QWidget>(std::move(window));
    });
}
