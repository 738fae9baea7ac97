#pragma once
// The excitation signal: the maximum-length sequence (MLS) of an order, the fixed pink-weighting
// filter, and the two-period stereo output signal laid into the shared buffer OLP.
//
// Thread: UI thread (the signal is built while the run controller sets up the devices).

#include <array>
#include <cstdint>
#include <functional>

namespace fim {

class Prompter;
struct MeasurementState;

constexpr int kMinMlsOrder = 2;
constexpr int kMaxMlsOrder = 24;
// The largest order whose two periods and impulse response fit the shared buffers.
constexpr int kMaxBufferedMlsOrder = 18;

// Feedback taps of an order: 1-based register positions, the last one always the order itself.
struct MlsTapRecord {
    uint16_t count = 0;  // 2 or 4; 0 for an order without taps
    std::array<uint16_t, 4> taps{};
};

MlsTapRecord MlsTaps(int order);

// Writes the 2^order − 1 values of the sequence (+1 or −1) to `destination`, starting from the
// all-ones register. An order above 24 or below 2 shows a stop box ("MLS zu lang" / "MLS zu
// kurz", caption "MLS Unit"), writes nothing and returns false.
bool GenerateMls(int order, int8_t* destination, Prompter& prompter);

// One second-order section: coefficients b0, b1, b2, c1 = −a1/a0, c2 = −a2/a0, and its history.
struct PinkSection {
    double b0 = 1, b1 = 0, b2 = 0, c1 = 0, c2 = 0;
    double x0 = 0, x1 = 0, x2 = 0, y0 = 0, y1 = 0, y2 = 0;
};

// The design table of the pink-weighting cascade.
struct PinkSectionSpec {
    int type;  // 3 = peaking, 2 = high shelf
    double frequency;
    double gainDb;
    double q;
};
extern const std::array<PinkSectionSpec, 13> kPinkSectionSpecs;

// Thirteen cascaded sections that tilt white noise by about −3 dB per octave across the audio
// band. Designed and run in extended precision; coefficients and history are held as doubles.
class PinkFilter {
  public:
    // Designs all sections for `sampleRate` (bilinear transform with prewarping) and clears their
    // histories. Sections above half the sample rate are used as designed.
    void DesignPinkFilter(double sampleRate);
    // Runs one sample through all sections in order and returns the last section's output.
    double PinkFilterSample(double x);

    std::array<PinkSection, 13> sections;
};

// Colour of the main window's status indicator while the pink signal is prepared (0x00BBGGRR).
constexpr uint32_t kPinkPreparingColour = 0xFF00FF;
// Called with true before the pink signal is prepared (colour the indicator
// kPinkPreparingColour) and with false afterwards (restore the button-face colour).
using PinkIndicator = std::function<void(bool preparing)>;

// Lays two periods of the MLS of `MlsOrder` into OLP as interleaved stereo frames of
// BytesPerSample(SampleBits) bytes (2 or 4), both channels equal: L values twice, then two silent
// frames, 2·N frames in all. Plain MLS samples are ±OutputAmplitude; the pink MLS is filtered
// (the second period is the filter's steady state) and scaled so its largest sample is
// OutputAmplitude. Uses ILP1 as scratch for the ±1 values. Returns false, leaving OLP as it was,
// for an order the buffers cannot hold, an unsupported sample width, or when the pink scratch
// memory cannot be had.
bool BuildOutputSignal(MeasurementState& state, const PinkIndicator& indicator = {});

}  // namespace fim
