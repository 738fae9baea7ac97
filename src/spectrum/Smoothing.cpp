#include "spectrum/Smoothing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace fim {

namespace {

template <typename Record>
SmoothingPeak Smooth(Record* records, int first, int last, int width) {
    SmoothingPeak peak;
    if (records == nullptr || last < first) return peak;
    // Half width Round(S/2 − 0.5), half to even: v for the odd widths 2·v + 1.
    const int h = static_cast<int>(std::nearbyint(std::max(width, 1) / 2.0 - 0.5));
    const int count = last - first + 1;
    if (h == 0) {
        // Width 1: the curve stays exactly as it is; only the peak is searched.
        for (int i = first; i <= last; ++i) {
            if (records[i].Magnitude > peak.magnitude) {
                peak.magnitude = records[i].Magnitude;
                peak.index = i;
            }
        }
        return peak;
    }
    // The unsmoothed magnitudes: the output overwrites the records while later outputs still
    // need the originals.
    std::vector<double> mag(count);
    for (int i = 0; i < count; ++i) mag[i] = records[first + i].Magnitude;

    // Sliding window sum; recomputed from scratch every few steps so that rounding cannot
    // accumulate across a long range (a deep notch beside a loud bin stays accurate).
    int lo = 0, hi = std::min(count - 1, h);  // window of output 0
    double sum = 0.0;
    for (int j = lo; j <= hi; ++j) sum += mag[j];
    for (int i = 0; i < count; ++i) {
        int newLo = std::max(0, i - h), newHi = std::min(count - 1, i + h);
        if (i > 0) {
            if (i % 64 == 0) {
                sum = 0.0;
                for (int j = newLo; j <= newHi; ++j) sum += mag[j];
            } else {
                if (newHi > hi) sum += mag[newHi];
                if (newLo > lo) sum -= mag[lo];
            }
        }
        lo = newLo;
        hi = newHi;
        const double mean = sum / (hi - lo + 1);
        records[first + i].Magnitude = mean;
        if (mean > peak.magnitude) {
            peak.magnitude = mean;
            peak.index = first + i;
        }
    }
    return peak;
}

}  // namespace

int SmoothingWidthFromValue(int value) { return 2 * std::clamp(value, 0, 10) + 1; }

SmoothingPeak SmoothDisplaySpectrum(SpectrumRecord* records, int first, int last, int width) {
    return Smooth(records, first, last, width);
}

SmoothingPeak SmoothDisplaySpectrum(SmoothRecord* records, int first, int last, int width) {
    return Smooth(records, first, last, width);
}

std::vector<std::string> SmoothResolutionList(double sampleRate) {
    std::vector<std::string> lines;
    for (int i = 0; i < kSmoothResolutionCount; ++i) {
        const double hz = std::nearbyint(sampleRate / SmoothResolutionLength(i) * 10.0) / 10.0;
        char text[48];
        std::snprintf(text, sizeof text, "%.1f Hz", hz);
        lines.emplace_back(text);
    }
    return lines;
}

int SmoothResolutionIndex(int length) {
    for (int i = 0; i < kSmoothResolutionCount; ++i) {
        if (SmoothResolutionLength(i) == length) return i;
    }
    return 1;
}

int SmoothResolutionLength(int index) {
    if (index < 0 || index >= kSmoothResolutionCount) return 128;
    return 64 << index;
}

}  // namespace fim
