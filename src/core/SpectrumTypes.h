#pragma once
// Records of a computed spectrum, shared by the spectrum engine, files, calibration and traces.

#include <cstdint>

namespace fim {

// One FFT bin: linear magnitude and phase in radians (−π … π).
struct SpectrumRecord {
    double Magnitude = 0.0;
    double Phase = 0.0;
};

// One record of a SMOOTH FFT spectrum: frequency in Hz, linear magnitude, phase in radians.
// A SMOOTH spectrum is kSmoothRecords of them in ascending frequency, the last an end marker at
// 50000 Hz.
struct SmoothRecord {
    double Frequency = 0.0;
    double Magnitude = 0.0;
    double Phase = 0.0;
};

constexpr int kSmoothRecords = 295;

// The analysis mode: linear FFT bins, or the 295 log-spaced SMOOTH FFT records. The values are
// the ones stored with recent calibrations and macros.
enum class AnalysisMode : uint8_t { Fft = 0, Smooth = 1 };

}  // namespace fim
