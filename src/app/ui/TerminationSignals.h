#pragma once
// SIGTERM, SIGINT and SIGHUP (a session logout, Ctrl+C in a terminal, `kill`) close the main
// window like its close button and end the event loop, so settings are saved and the
// single-instance name is released instead of the process dying on the spot.

class QWidget;

namespace fim {

// Installs the handlers. Call once, from the UI thread, as soon as the application object exists
// and before the single-instance name is taken: a signal during the rest of the start-up is then
// only recorded (TerminationRequested) instead of killing the process with the name held.
void InstallTerminationSignals();

// True once one of the signals arrived after InstallTerminationSignals.
bool TerminationRequested();

// From now on a signal closes `window` (when it still exists) and quits the event loop.
// Installs the handlers first when that has not happened yet.
void CloseOnTerminationSignals(QWidget* window);

}  // namespace fim
