#pragma once
// The program's main window as fim starts it: the user's settings, the system's sound cards and
// the Virtual Room, message boxes parented to the window, the command line's file.

#include <QWidget>
#include <memory>

namespace fim {

// Call after the application object, the catalog and the shared buffers stand (RunFim does).
std::unique_ptr<QWidget> CreateProgramWindow();

}  // namespace fim
