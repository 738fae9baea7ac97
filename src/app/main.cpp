// src/app/: the program entry of fim: start-up (catalog and language, single instance, shared
// buffers and FFT tables), the fatal-memory path, termination signals and Qt's own translations.
// Nothing includes this folder except fimtool, which shares the fatal-memory path.

#include "app/ui/FimStartUp.h"
#include "mainwindow/ui/ProgramWindow.h"

int main(int argc, char* argv[]) { return fim::RunFim(argc, argv, fim::CreateProgramWindow); }
