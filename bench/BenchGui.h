#pragma once
// QPainter needs a GUI application for its fonts; the offscreen platform needs no display.

#include <QGuiApplication>
#include <memory>

inline void EnsureGuiApplication() {
    static std::unique_ptr<QGuiApplication> app;
    if (QGuiApplication::instance() != nullptr) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fim_bench";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QGuiApplication>(argc, argv);
}
