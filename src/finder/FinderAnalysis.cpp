// src/finder/: the feedback finder's arithmetic: the capture's spectrum and peak, the band tables
// and their read-outs, and the lamps.

#include "finder/FinderAnalysis.h"

#include <cmath>

#include "core/FftEngine.h"
#include "finder/WindowTable.h"

namespace fim {

DeviationLamps DeviationLampsFor(int32_t displayMode, int32_t deviation) {
    DeviationLamps l;
    l.colours.fill(kLampWhite);
    l.colours[5] = kLampSilver;
    if (displayMode == kFrequency) {
        l.colours[5] = kLampLime;
        l.lit = 6;
        return l;
    }
    const int k = static_cast<int>(std::nearbyint(deviation / 20.0)) + 5;
    if (k < 0 || k > 10) return l;
    l.colours[static_cast<std::size_t>(k)] = (k == 0 || k == 10) ? kLampYellow : kLampLime;
    l.lit = k + 1;
    return l;
}

FinderReading AnalyseCapture(std::span<const int32_t> capture, double sampleRate,
                             int32_t displayMode, const WindowTable& window, BandTable& bands,
                             FftEngine& engine, std::span<double> fftInput) {
    FinderReading r;
    const int n = static_cast<int>(capture.size());
    if (window.Length() != capture.size() || fftInput.size() < capture.size() ||
        !FftEngine::IsTableSize(n)) {
        return r;
    }
    window.ApplyWindow(capture, fftInput);
    r.bin = engine.FftPeakBin(fftInput.data(), n);
    if (r.bin <= 3) return r;
    r.valid = true;
    r.frequency = r.bin * sampleRate / n;
    r.band = bands.BandReading(static_cast<uint8_t>(displayMode + 1), r.frequency);
    r.lamps = DeviationLampsFor(displayMode, r.band.deviation);
    return r;
}

int FinderCaptureLength(int32_t resolution) {
    switch (resolution) {
        case 0:
            return 8192;
        case 1:
            return 4096;
        case 2:
            return 2048;
        default:
            return 0;
    }
}

}  // namespace fim
