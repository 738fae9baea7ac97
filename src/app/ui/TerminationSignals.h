#pragma once
// SIGTERM, SIGINT and SIGHUP (a session logout, Ctrl+C in a terminal, `kill`) close the main
// window like its close button and end the event loop, so settings are saved and the
// single-instance name is released instead of the process dying on the spot.

class QWidget;

namespace fim {

// Installs the handlers; from then on a signal closes `window` (when it still exists) and quits.
// Call once, from the UI thread, after the application object exists.
void CloseOnTerminationSignals(QWidget* window);

}  // namespace fim
