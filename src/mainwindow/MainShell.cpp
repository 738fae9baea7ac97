#include "mainwindow/MainShell.h"

#include <cmath>
#include <cstdio>

#include "audio/WaveDevices.h"
#include "base/SettingsTree.h"

namespace fim {

int AveragingIndex(int count) {
    for (std::size_t i = 0; i < kAveragingCounts.size(); ++i) {
        if (kAveragingCounts[i] == count) return static_cast<int>(i);
    }
    return -1;
}

bool WindowFitsFft(int viewStart, int viewEnd, int fftSize) {
    return static_cast<long long>(viewEnd) - viewStart <= fftSize;
}

std::string SpectrumPeakText(double frequency, double levelDb) {
    char text[64];
    std::snprintf(text, sizeof text, "Peak %.0f Hz %.1f dB", std::nearbyint(frequency), levelDb);
    return text;
}

bool StoreDefaultDevices(SettingsTree& settings, const WaveDevices& devices) {
    bool wrote = false;
    auto missing = [&settings](const char* name) {
        const auto value = settings.ReadString(name);
        return !value || value->empty();
    };
    if (missing("INCARD")) {
        const int in = devices.DefaultInput();
        if (in >= 0) {
            settings.WriteString("INCARD", devices.InputName(in));
            wrote = true;
        }
    }
    if (missing("OUTCARD")) {
        const int out = devices.DefaultOutput();
        if (out >= 0) {
            settings.WriteString("OUTCARD", devices.OutputName(out));
            wrote = true;
        }
    }
    return wrote;
}

std::string DesktopEntry(const std::string& executable, const std::string& title) {
    // Exec arguments are quoted so that folders with blanks work; %f passes a file opened with it.
    std::string quoted;
    for (char c : executable) {
        if (c == '"' || c == '\\' || c == '`' || c == '$') quoted += '\\';
        quoted += c;
    }
    return "[Desktop Entry]\nType=Application\nName=" + title + "\nExec=\"" + quoted +
           "\" %f\nTerminal=false\nCategories=AudioVideo;Audio;\n";
}

}  // namespace fim
