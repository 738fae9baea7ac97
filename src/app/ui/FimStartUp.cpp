#include "app/ui/FimStartUp.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSvgRenderer>
#include <QTimer>
#include <QWidget>

#include "app/FatalMemory.h"
#include "app/ui/InputLanguage.h"
#include "app/ui/QtTranslations.h"
#include "app/ui/SingleInstance.h"
#include "app/ui/TerminationSignals.h"
#include "audio/platform/PortAudioDevices.h"
#include "auxwindows/ui/TForm3.h"
#include "base/Catalog.h"
#include "base/ui/QtPrompter.h"
#include "core/FftEngine.h"
#include "core/MeasurementState.h"
#include "settings/platform/FirstStart.h"

namespace fim {

int RunFim(int argc, char* argv[], const MainWindowFactory& createMainWindow) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Brevik Audio"));
    QCoreApplication::setApplicationName(QStringLiteral("Field Impulse Meter"));

    BuildCatalog();
    const bool german = DefaultInputLanguageIsGerman();
    SelectLanguage(german);
    InstallQtTranslations(german);

    // From here on a termination signal ends the start-up cleanly (the name below is released)
    // instead of killing the process while it holds the single-instance name.
    InstallTerminationSignals();

    // A second start only brings the running instance to the front: it allocates nothing and
    // opens no device.
    SingleInstance instance;
    if (instance.Start() == SingleInstance::Role::Activated) return 0;

    // The sound cards are probed while the rest starts; the main window waits for them.
    PortAudioDevices::BeginStartUp();

    // A failed allocation here or in the FFT tables shows its box and ends the process.
    QtPrompter prompter;
    InitMeasurementState({}, FatalMemoryHandler(&prompter));
    SetFftFatalHandler([&prompter](const std::string& caption, const std::string& text) {
        FatalMemoryError(caption, text, &prompter);
    });
    InitFft();

    QGuiApplication::setApplicationDisplayName(QString::fromLatin1(kApplicationTitle));
    // The desktop ties the windows to the program's desktop entry and shows its icon.
    QGuiApplication::setDesktopFileName(QLatin1String(kDesktopId));
    QSvgRenderer svg(FileTypeRegistrar::Icon());
    if (svg.isValid()) {
        QPixmap icon(256, 256);
        icon.fill(Qt::transparent);
        QPainter painter(&icon);
        svg.render(&painter);
        painter.end();
        QApplication::setWindowIcon(QIcon(icon));
    }

    // The start-up window shows while the main window is created and goes once that shows.
    auto* startUp = new TForm3;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        startUp->move(screen->availableGeometry().center() - startUp->rect().center());
    }
    startUp->show();
    QApplication::processEvents();
    std::unique_ptr<QWidget> window = createMainWindow();
    if (window == nullptr) {
        delete startUp;
        return 1;
    }
    // Tool-tips (the program's hints) show on every control, also while the window is inactive.
    window->setAttribute(Qt::WA_AlwaysShowToolTips);
    prompter.SetParent(window.get());
    instance.SetWindow(window.get());
    CloseOnTerminationSignals(window.get());
    // A signal during the start-up: close the window as the close button would, so what it
    // opened and its settings are saved, and end without showing it.
    if (TerminationRequested()) {
        window->close();
        delete startUp;
        SetFftFatalHandler({});
        return 0;
    }
    window->show();
    QTimer::singleShot(0, startUp, &QObject::deleteLater);
    const int status = QApplication::exec();
    // The handler refers to this function's prompter.
    SetFftFatalHandler({});
    return status;
}

}  // namespace fim
