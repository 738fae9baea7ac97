// Start-up probe for the start-up benchmark. Run as a child process with QT_QPA_PLATFORM set:
//   fim_startup_probe seed   writes a complete settings file (so the start is not a first start)
//   fim_startup_probe bare   a bare QApplication with one empty window
//   fim_startup_probe fim    the program's start-up, main window included
// Once the window has been painted it prints "painted <resident KiB>" on stdout and quits.

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "app/ui/FimStartUp.h"
#include "base/platform/QSettingsTree.h"
#include "core/MeasurementState.h"
#include "mainwindow/ui/ProgramWindow.h"
#include "settings/ProgramSettings.h"

namespace {

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

// Reports once the whole window has been painted: the first paint event of any of its widgets
// starts the paint pass, and a zero timer runs after that pass has finished.
class PaintProbe : public QObject {
  public:
    explicit PaintProbe(QWidget* window) : QObject(window), window_(window) {}
    bool eventFilter(QObject* object, QEvent* event) override {
        if (!reported_ && event->type() == QEvent::Paint) {
            auto* widget = qobject_cast<QWidget*>(object);
            if (widget != nullptr && widget->window() == window_) {
                reported_ = true;
                QTimer::singleShot(0, [] {
                    std::printf("painted %ld\n", ResidentKiB());
                    std::fflush(stdout);
                    QCoreApplication::quit();
                });
            }
        }
        return false;
    }

  private:
    QWidget* window_;
    bool reported_ = false;
};

void Watch(QWidget* window) {
    qApp->installEventFilter(new PaintProbe(window));
    // A start that never paints (a box waiting for an answer) must not hang the benchmark.
    QTimer::singleShot(20000, [] { QCoreApplication::exit(2); });
}

int Seed(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QString::fromLatin1(fim::QSettingsTree::kOrganization));
    QCoreApplication::setApplicationName(QString::fromLatin1(fim::QSettingsTree::kApplication));
    fim::QSettingsTree tree;
    fim::ProgramSettings settings;
    fim::MeasurementState state;
    tree.WriteInteger("VERSION", fim::kSettingsVersion);
    tree.WriteBinary("Nusermakro1", fim::EncodeUserMacroBlock(settings.Macros));
    return fim::SaveProgramSettings(tree, settings, state, 1, 1) ? 0 : 1;
}

int Bare(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(1000, 620);
    Watch(&window);
    window.show();
    return QApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string mode = argc > 1 ? argv[1] : "";
    int one = 1;  // the program sees no command-line file
    if (mode == "seed") return Seed(one, argv);
    if (mode == "bare") return Bare(one, argv);
    if (mode == "fim") {
        return fim::RunFim(one, argv, [] {
            std::unique_ptr<QWidget> window = fim::CreateProgramWindow();
            Watch(window.get());
            return window;
        });
    }
    std::fprintf(stderr, "usage: fim_startup_probe seed|bare|fim\n");
    return 64;
}
