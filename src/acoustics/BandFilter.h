#pragma once
// Octave and third-octave band filters for the room-acoustic analysis, and the A-weighting.
//
// A band filter is a sixth-order Butterworth band-pass (three biquad sections, bilinear transform
// with prewarped edges) that is run forward and then backward over the signal: no phase shift, so
// no energy moves in time, and a magnitude response that is the square of one pass. The design
// bandwidth is widened so that this squared response, not the single pass, is 3 dB down at the
// nominal band edges and so lies inside the class 1 tolerance of the band-filter standard.
//
// Bands follow the base-ten series: mid-band frequency 1000 · 10^(0.3·x/b) Hz for octave (b = 1)
// and third-octave (b = 3) bands, edges a factor 10^(±0.15/b) from it.

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace fim {

enum class BandSet { Octave, Third };

struct BandSpec {
    double nominal = 0;  // nominal mid-band frequency, Hz (63, 125, … 1000, 1250, …)
    double centre = 0;   // exact mid-band frequency, Hz
    double lower = 0;    // nominal band edges, Hz
    double upper = 0;
    std::string label;  // "63", "1k", "1.25k", …
};

// The bands of a set: octaves 63 Hz … 8 kHz, third octaves 50 Hz … 10 kHz, without those whose
// upper edge lies above 0.45 × the sample rate.
std::vector<BandSpec> Bands(BandSet set, double sampleRate);

// One recursive section y = (b0 + b1·z⁻¹ + b2·z⁻²)/(1 + a1·z⁻¹ + a2·z⁻²) x.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
};

class BandFilter {
  public:
    BandFilter(const BandSpec& band, double sampleRate);

    // The signal x[0 … count−1] filtered forward and then backward: `count` values. The forward
    // pass runs on past the signal's end until its ringing has died away, so the backward pass
    // starts from silence and the result over the signal's span is the exact zero-phase one.
    std::vector<double> ZeroPhase(const double* x, std::size_t count) const;
    // Samples after which a pass's response to an impulse has fallen below 1e-8 of its start.
    std::size_t RingLength() const { return ring_; }
    // Magnitude of the forward-backward pair (the square of one pass) at `frequency` Hz.
    double SquaredResponse(double frequency) const;
    const std::array<Biquad, 3>& Sections() const { return sections_; }

  private:
    double sampleRate_;
    std::array<Biquad, 3> sections_;
    std::size_t ring_ = 0;
};

// The A-weighting as a recursive filter (six first-order sections), 0 dB at 1 kHz. One pass,
// forward: the weighting's phase turns only below 100 Hz, where it attenuates strongly.
class AWeighting {
  public:
    explicit AWeighting(double sampleRate);
    void Apply(std::vector<double>& x) const;
    double Response(double frequency) const;

  private:
    struct FirstOrder {
        double b0, b1, a1;
    };
    double sampleRate_;
    std::array<FirstOrder, 6> sections_;
    double gain_ = 1;
};

}  // namespace fim
