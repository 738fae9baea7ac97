#pragma once
// A "Snap" entry of the frequency window: the current analysis set-up becomes a macro's (FFT size
// or SMOOTH, smoothing, the calibration, microphone and overlay files with their flags, and the
// analysis window as times before and after the impulse peak).

#include <cstdint>
#include <string>

#include "core/SpectrumTypes.h"
#include "macros/UserMacro.h"

namespace fim {

struct SnapshotSource {
    AnalysisMode mode = AnalysisMode::Fft;
    int fftSize = 4096;
    int smoothingValue = 0;
    std::string calFile, micFile, overlayFile;
    bool useCal = false, useMic = false, useOverlay = false;
    int64_t viewStart = 1, viewEnd = 1, peakIndex = 1;
    double sampleRate = 44100.0;
};

// A flag is taken only with its file; the window is kept when the source has none (no sample
// rate or an empty view).
void AssignSnapshot(UserMacro& macro, const SnapshotSource& s);

}  // namespace fim
