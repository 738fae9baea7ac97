#pragma once
// The text export of the displayed curve ("*.FRD"): one line per point, "frequency  level phase",
// with "." as decimal separator whatever the locale (numbers are formatted with std::to_chars,
// never with the C locale functions).
//
// Fields: the frequency is rounded to 4 decimals below 100 Hz, 3 below 1000 Hz, 2 below
// 10000 Hz and 1 above, written in its shortest form and padded with "." and "0" to 7
// characters; the level is rounded to 3 decimals below 10 dB (every negative level included),
// 2 below 100, 1 below 1000, else to a whole number, padded to 5 characters; the phase is whole
// degrees, preceded by two blanks when 0 or positive and by one blank when negative. Rounding is
// Round(x · 10^d) / 10^d, half to even. Lines end in CR LF.

#include <string>

#include "core/SpectrumTypes.h"
#include "spectrum/SpectrumFiles.h"

namespace fim {

std::string FormatFrdFrequency(double hz);
std::string FormatFrdLevel(double db);
// One line without its line end.
std::string FormatFrdLine(double hz, double levelDb, double phaseRad);

// Level of a magnitude against the level reference plus the offset; −80 + offset when either is
// 0 or less (or not a number).
double FrdLevel(double magnitude, double levelReference, double offsetDb);
// The level offset: the "ASCII 1" value, plus the gain offset when "ASCII 2" is on.
inline double FrdLevelOffset(int asciiOffsetDb, bool useGain, double gainDb) {
    return asciiOffsetDb + (useGain ? gainDb : 0.0);
}

// FFT mode: k = Round(lowest / bin width) … N/2 of the display spectrum, which holds N/2 + 1
// records.
std::string BuildFrdFft(const SpectrumRecord* display, int fftSize, double sampleRate,
                        double lowestFrequency, double levelReference, double offsetDb);
// SMOOTH mode: from the first record not below the lowest frequency to the last at or below
// 20000 Hz; with `mic` the level is reduced by its dB and the phase by its phase (wrapped into
// −π … π).
std::string BuildFrdSmooth(const SmoothRecord* records, double lowestFrequency,
                           double levelReference, double offsetDb,
                           const MicCorrection* mic = nullptr);

}  // namespace fim
