#include "mainwindow/TracePoints.h"

namespace fim {

TimeGrid ComputeTimeGrid(double sampleRate, double pixelsPerSample, int width) {
    TimeGrid g;
    // Decades until the spacing of one 1/d-second step drops below a sixth of the width; the
    // limit stops the search when the spacing cannot fall (no width, or no samples per pixel).
    double d = 1.0;
    double s = 0.0;
    do {
        d *= 10.0;
        s = sampleRate * pixelsPerSample / d;
    } while (s > 0.0 && s >= width / 6.0 && d < 1e12);
    g.d = d;
    g.spacing = s;
    if (d < 10000.0) {
        g.label = "Teilung: " + std::to_string(static_cast<long long>(std::nearbyint(1000.0 / d))) +
                  " ms";
    } else {
        g.label =
            "Teilung: " + std::to_string(static_cast<long long>(std::nearbyint(1000000.0 / d))) +
            " us";
    }
    return g;
}

}  // namespace fim
