#include <QMainWindow>
#include <memory>

#include "shell/ui/FimStartUp.h"

int main(int argc, char* argv[]) {
    return fim::RunFim(argc, argv, [] {
        auto window = std::make_unique<QMainWindow>();
        window->setWindowTitle(QString::fromLatin1(fim::kApplicationTitle));
        window->setMinimumSize(800, 470);
        return std::unique_ptr<QWidget>(std::move(window));
    });
}
