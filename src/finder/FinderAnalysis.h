#pragma once
// The feedback finder's analysis of a full capture: taper, strongest spectral line, band
// read-out and the row of eleven deviation lamps.
//
// Thread: UI thread only (uses the shared window table and band table and the caller's engine).

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "finder/BandTable.h"

namespace fim {

class FftEngine;
class WindowTable;

// Display modes of the finder; the read-out series is the mode + 1.
enum FinderDisplayMode : int32_t { kEq31Band = 0, kEq15Band = 1, kEq10Band = 2, kFrequency = 3 };

// Colours 0x00BBGGRR of the deviation lamps.
constexpr uint32_t kLampWhite = 0xFFFFFF;
constexpr uint32_t kLampSilver = 0xC0C0C0;
constexpr uint32_t kLampLime = 0x00FF00;
constexpr uint32_t kLampYellow = 0x00FFFF;

struct DeviationLamps {
    std::array<uint32_t, 11> colours{};  // Shape1 … Shape11
    int lit = 0;                         // 1 … 11, or 0 when no lamp is lit
};

// All lamps white and the middle one silver; then in FREQUENCY mode the middle lamp lime, in
// the band modes lamp Round(deviation / 20) + 6 (outer lamps yellow, inner ones lime).
DeviationLamps DeviationLampsFor(int32_t displayMode, int32_t deviation);

struct FinderReading {
    int32_t bin = 0;         // strongest bin (1 for a silent capture)
    bool valid = false;      // bin > 3: a reading exists; otherwise nothing is shown
    double frequency = 0.0;  // bin × sample rate / N
    BandReadout band;        // label and deviation
    DeviationLamps lamps;
};

// Analyses N = capture.size() samples (2048, 4096 or 8192) with the window table as the finder
// prepared it (MakeWindow(N, N, 4)); `fftInput` receives the tapered capture (N doubles).
// Returns a reading with valid = false and bin 0 when the table length or the buffer sizes do
// not match N.
FinderReading AnalyseCapture(std::span<const int32_t> capture, double sampleRate,
                             int32_t displayMode, const WindowTable& window, BandTable& bands,
                             FftEngine& engine, std::span<double> fftInput);

// Capture length of a resolution setting: 0 → 8192, 1 → 4096, 2 → 2048; 0 for other values.
int FinderCaptureLength(int32_t resolution);

}  // namespace fim
