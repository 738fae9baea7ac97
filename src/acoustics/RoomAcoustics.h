#pragma once
// Room-acoustic figures from a measured impulse response, per octave or third-octave band and
// broadband: the decay curve (backward integration of the band's energy), early decay time and
// reverberation times from line fits on it, clarity, definition and centre time.
//
// Each band's response is the zero-phase band filter's output (BandFilter). Times count from the
// onset of the unfiltered response: where its square first rises to within 20 dB of its peak. The
// end of the response is noise:
// where the decay meets it (the cross point) is found iteratively on a smoothed envelope (after
// Lundeby et al.); the backward integration starts there and adds the energy that the decay,
// continued at its late slope, would have had beyond it. A figure whose evaluation range does not
// lie 10 dB above the noise is not given. The noise's mean power is taken off the energy before
// it is integrated.

#include <cstddef>
#include <string>
#include <vector>

#include "acoustics/BandFilter.h"

namespace fim {

// A least-squares line through part of a decay curve.
struct DecayFit {
    bool valid = false;       // false: not enough dynamic range for this range
    double seconds = 0;       // the time the line takes to fall 60 dB, s
    double correlation = 0;   // −r of the fit: 1 for a straight decay
    double from = 0, to = 0;  // the fitted range, s after the onset
    double intercept = 0;     // the line: level (dB) = intercept + slope · t
    double slope = 0;         // dB per s (negative)
};

struct BandAcoustics {
    BandSpec band;  // broadband: centre 0, label "A" or "Z"
    DecayFit edt;   // 0 … −10 dB
    DecayFit t20;   // −5 … −25 dB
    DecayFit t30;   // −5 … −35 dB
    bool clarityValid = false;
    double c50 = 0, c80 = 0;  // dB
    double d50 = 0;           // early (50 ms) share of the energy, 0 … 1
    double ts = 0;            // centre time, s
    double onset = 0;         // s from the response's first sample
    double crossPoint = 0;    // s after the onset where the decay meets the noise
    double dynamicRange = 0;  // dB by which the decay curve falls before the cross point
    double noiseDb = 0;       // the noise's power relative to the peak of the band's energy
    // The decay takes longer than the response lasts after its onset: a measurement with a
    // period shorter than the room's decay, whose tail wrapped round.
    bool longerThanResponse = false;
    // The decay curve, dB relative to its start, one value every `curveStep` s from the onset
    // to the cross point (the last value of each step, so the curve is never smoothed upwards).
    std::vector<float> curve;
    double curveStep = 0;
};

enum class Weighting { Z, A };  // broadband: unweighted (Z) or A-weighted

struct AcousticsOptions {
    BandSet bands = BandSet::Octave;
    Weighting broadband = Weighting::Z;
    std::size_t curvePoints = 1000;  // at most this many values per decay curve
};

struct AcousticsResult {
    double sampleRate = 0;
    std::size_t samples = 0;
    std::vector<BandAcoustics> bands;
    BandAcoustics broadband;
    // True when any band's decay is longer than the response.
    bool longerThanResponse = false;
    // The response holds infinite or not-a-number samples: nothing was analysed.
    bool nonFinite = false;
};

// Analyses `count` samples of an impulse response recorded at `sampleRate`.
AcousticsResult AnalyseRoom(const double* response, std::size_t count, double sampleRate,
                            const AcousticsOptions& options = {});

// The onset of a response: its first sample whose square lies within 20 dB of the largest
// square (`count` when the response is silent).
std::size_t FindOnset(const double* response, std::size_t count);

// The analysis of one band's (already filtered) response from sample `onset` on: cross point,
// decay curve, fits and clarity. `band` is copied into the result.
BandAcoustics AnalyseDecay(const std::vector<double>& filtered, double sampleRate,
                           const BandSpec& band, std::size_t onset, std::size_t curvePoints);

// What stands instead of a figure whose evaluation range lies too close to the noise.
inline constexpr const char* kNotEnoughDynamicRange = "not enough dynamic range";
// The note on a result whose decay outlasts the response.
inline constexpr const char* kLongerThanResponse =
    "The decay lasts longer than the response: measure again with a longer MLS.";

// The note on a response that cannot be analysed.
inline constexpr const char* kNonFiniteResponse =
    "The response holds samples that are not finite numbers: nothing to analyse.";

// The values as text: a header line and one line per band, then the broadband line; fields
// separated by `separator` ("\t" for the clipboard, "," for CSV); numbers with a decimal point
// whatever the locale. Missing values are written as kNotEnoughDynamicRange.
std::string AcousticsTable(const AcousticsResult& r, char separator);

}  // namespace fim
