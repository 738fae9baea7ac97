#pragma once
// fim's start-up, in this order: message catalog and language, single instance, shared buffers
// and FFT tables (a failure ends the process through the fatal memory path), application title
// and tool-tips, main window, event loop.

#include <functional>
#include <memory>

#include "base/Catalog.h"

class QWidget;

namespace fim {

using MainWindowFactory = std::function<std::unique_ptr<QWidget>()>;

// Runs the program and returns its exit status. `createMainWindow` builds the main window once
// everything before it stands; the command line is available through QCoreApplication.
int RunFim(int argc, char* argv[], const MainWindowFactory& createMainWindow);

}  // namespace fim
