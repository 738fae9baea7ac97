#include "mainwindow/ui/ProgramWindow.h"
#include "shell/ui/FimStartUp.h"

int main(int argc, char* argv[]) { return fim::RunFim(argc, argv, fim::CreateProgramWindow); }
