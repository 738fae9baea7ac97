#pragma once
// Smoothing of a display spectrum: a centred moving average of the linear magnitudes over
// S = 2·v + 1 neighbouring records (v = 0 … 10), phases untouched, and the peak of the smoothed
// curve. In FFT mode the records are equally spaced bins (constant width in Hz), in SMOOTH mode
// they are log-spaced (constant width in octaves).

#include <string>
#include <vector>

#include "core/SpectrumTypes.h"

namespace fim {

struct SmoothingPeak {
    int index = -1;  // record with the largest smoothed magnitude; −1 when none is above 0
    double magnitude = 0.0;  // its smoothed magnitude
};

// Smoothing width S from the value v shown to the user: 2·v + 1, v clamped to 0 … 10.
int SmoothingWidthFromValue(int value);

// Smooths the magnitudes of records first … last (inclusive) in place with width S = `width` (a
// width below 1 counts as 1). Near both ends of the range the window shrinks symmetrically, so
// record i averages records max(first, i − h) … min(last, i + h) with h = Round(S/2 − 0.5);
// nothing outside the range is read or written. Returns the peak over the whole range.
SmoothingPeak SmoothDisplaySpectrum(SpectrumRecord* records, int first, int last, int width);
SmoothingPeak SmoothDisplaySpectrum(SmoothRecord* records, int first, int last, int width);

// The analysis lengths the smoothing editor offers: 64, 128, … 32768 samples.
constexpr int kSmoothResolutionCount = 10;
// The editor's ten lines, "<sample rate / length, one decimal> Hz", 64 samples first.
std::vector<std::string> SmoothResolutionList(double sampleRate);
// The line an entry's length selects: 64 → 0 … 32768 → 9; any other length → 1.
int SmoothResolutionIndex(int length);
// The length of line `index` (0 … 9); other indices give 128, the length of line 1.
int SmoothResolutionLength(int index);

}  // namespace fim
