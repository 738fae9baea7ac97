#include "app/ui/FimStartUp.h"
#include "mainwindow/ui/ProgramWindow.h"

int main(int argc, char* argv[]) { return fim::RunFim(argc, argv, fim::CreateProgramWindow); }
