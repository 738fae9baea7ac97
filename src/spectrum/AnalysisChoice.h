#pragma once
// What a macro replay chooses for the spectrum of its run: the analysis, the smoothing, and the
// calibration, microphone-correction and overlay files with their flags. The run controller hands
// it to the frequency-response window (through RunHost) before the run starts; the window loads
// the files when it opens or refreshes after the run.

#include <cstdint>
#include <string>

#include "core/SpectrumTypes.h"

namespace fim {

struct AnalysisChoice {
    AnalysisMode mode = AnalysisMode::Fft;
    int32_t smoothingWidth = 1;  // 2 · smoothing index + 1
    bool useCalibration = false;
    bool useMicCorrection = false;
    bool useOverlay = false;
    bool overlayOption2 = false;  // the macro's second overlay option
    std::string calibrationPath;
    std::string micPath;
    std::string overlayPath;
};

}  // namespace fim
