#include "app/ui/TerminationSignals.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace fim {

#ifdef Q_OS_UNIX
namespace {

int signalPipe[2] = {-1, -1};
volatile sig_atomic_t terminationRequested = 0;
QPointer<QWidget> target;

// Runs on whatever thread the signal lands: only async-signal-safe calls. The write wakes the UI
// thread through the socket notifier.
extern "C" void OnTerminationSignal(int) {
    terminationRequested = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[0], &byte, 1);
}

}  // namespace

void InstallTerminationSignals() {
    if (signalPipe[0] != -1) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
    auto* notifier =
        new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[1], &byte, 1);
        // The window's close handling saves the settings. Quitting afterwards also ends any
        // message box still waiting for an answer nobody will give. Before the event loop runs
        // quitting does nothing; the start-up asks TerminationRequested instead.
        if (target != nullptr && target->isVisible()) target->close();
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

bool TerminationRequested() { return terminationRequested != 0; }

void CloseOnTerminationSignals(QWidget* window) {
    InstallTerminationSignals();
    target = window;
}
#else
void InstallTerminationSignals() {}
bool TerminationRequested() { return false; }
void CloseOnTerminationSignals(QWidget*) {}
#endif

}  // namespace fim
