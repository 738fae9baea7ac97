#pragma once
// Options for a main window in widget tests: the Virtual Room alone and an in-memory settings
// tree that is not a first start (no update notice, no shortcut questions).

#include <memory>

#include "mainwindow/ui/TForm1.h"
#include "settings/MemorySettingsTree.h"
#include "settings/ProgramSettings.h"

namespace fim {

// `tree`, when given, receives the settings tree the window will own.
inline TForm1Options QuietFormOptions(MemorySettingsTree** tree = nullptr) {
    auto settings = std::make_unique<MemorySettingsTree>();
    settings->WriteInteger("VERSION", kSettingsVersion);
    settings->WriteInteger("MLSVOL", 0);
    if (tree) *tree = settings.get();
    TForm1Options o;
    o.settings = std::move(settings);
    o.realDevices = false;
    return o;
}

}  // namespace fim
