#pragma once
// The main window's own small rules, kept free of Qt so tests drive them directly: the averaging
// entries, the FFT window check, the status text of a computed spectrum, the default devices and
// the desktop entries the first start offers to create.

#include <array>
#include <string>

namespace fim {

class SettingsTree;
class WaveDevices;

// The AVERAGING menu's counts in menu order: "No Averaging" (1), then 2 … 128 samples.
constexpr std::array<int, 8> kAveragingCounts = {1, 2, 4, 8, 16, 32, 64, 128};

// Menu index of an averaging count; -1 when the count is not one of the menu's.
int AveragingIndex(int count);

// Whether the analysis window viewStart … viewEnd fits the FFT size (the FFT command refuses a
// wider one with message 10).
bool WindowFitsFft(int viewStart, int viewEnd, int fftSize);

// Status-bar text for the peak of a computed spectrum: "Peak 1000 Hz -3.5 dB" (frequency rounded
// to whole hertz, level to one decimal).
std::string SpectrumPeakText(double frequency, double levelDb);

// When no input or output device name is stored ("INCARD"/"OUTCARD" missing or empty), stores
// the devices' defaults (a real card before the Virtual Room). Returns true when it wrote one.
bool StoreDefaultDevices(SettingsTree& settings, const WaveDevices& devices);

// A freedesktop launcher for the program at `executable` (absolute path).
std::string DesktopEntry(const std::string& executable, const std::string& title);

}  // namespace fim
