#include <QCoreApplication>
#include <memory>

#include "core/MeasurementState.h"
#include "mainwindow/ui/TForm1.h"
#include "shell/ui/FimStartUp.h"
#include "shell/ui/QtPrompter.h"

int main(int argc, char* argv[]) {
    return fim::RunFim(argc, argv, [] {
        auto prompter = std::make_unique<fim::QtPrompter>();
        fim::QtPrompter* boxes = prompter.get();
        fim::TForm1Options options;
        options.arguments = QCoreApplication::arguments();
        auto window = std::make_unique<fim::TForm1>(fim::Meas(), std::move(prompter),
                                                    std::move(options));
        boxes->SetParent(window.get());
        return std::unique_ptr<QWidget>(std::move(window));
    });
}
