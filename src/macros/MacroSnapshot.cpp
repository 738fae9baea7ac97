#include "macros/MacroSnapshot.h"

#include <algorithm>
#include <cmath>

namespace fim {

namespace {
int RoundInt(double v) { return static_cast<int>(std::nearbyint(v)); }
}  // namespace

void AssignSnapshot(UserMacro& m, const SnapshotSource& s) {
    if (s.mode == AnalysisMode::Smooth) {
        m.fftCode = UserMacro::kSmoothFftCode;
    } else {
        uint8_t code = 0;
        while (code < 4 && (2048 << code) < s.fftSize) ++code;
        m.fftCode = code;
    }
    m.smoothing = std::clamp(s.smoothingValue, 0, 10);
    m.calFile = s.calFile;
    m.micFile = s.micFile;
    m.overlayFile = s.overlayFile;
    m.useCal = s.useCal && !s.calFile.empty();
    m.useMic = s.useMic && !s.micFile.empty();
    m.useOverlay = s.useOverlay && !s.overlayFile.empty();
    if (s.sampleRate > 0.0 && s.viewEnd > s.viewStart) {
        const double usPerSample = 1e6 / s.sampleRate;
        const int64_t before = std::max<int64_t>(0, s.peakIndex - s.viewStart);
        const int64_t after = std::max<int64_t>(1, s.viewEnd - s.peakIndex);
        m.window.name = "Snap";
        m.window.timeBefore = RoundInt(static_cast<double>(before) * usPerSample);
        m.window.timeAfter = RoundInt(static_cast<double>(after) * usPerSample);
        m.window.samplesBefore = static_cast<int32_t>(before);
        m.window.samplesAfter = static_cast<int32_t>(after);
    }
}

}  // namespace fim
