#pragma once
// The FFT engine's kernels: the radix-4 complex transform, the real forward transform and the
// vectorised magnitude and phase, each with a two-lane path and an AVX2 path chosen at run time
// that do the same arithmetic. Used by FftEngine only; they work on its tables.

#include "core/FftEngine.h"
#include "core/SpectrumTypes.h"

namespace fim::fft {

// The exponent l of the smallest 2^l ≥ n.
inline int Log2Of(int n) {
    int l = 0;
    while ((1 << l) < n) ++l;
    return l;
}

// The forward transform of n real samples into re[0 … n/2], im[0 … n/2].
void RealForward(const double* in, double* re, double* im, int n, const FftTables& tables);
// The complex transform of n points in place, in the split arrays.
void Complex(double* re, double* im, int n, bool inverse, const FftTables& tables);
// Magnitude and phase of bins 0 … count − 1; `conjugate` takes the bins as conjugated.
void MagnitudePhases(const double* re, const double* im, SpectrumRecord* out, int count,
                     bool conjugate);
SpectrumRecord MagnitudePhaseOf(double re, double im);
// Allows or forbids the four-lane path; true when it is in use afterwards.
bool AllowWideVectors(bool allowed);

}  // namespace fim::fft
