#pragma once
// The noise of an averaged response, estimated from the spread between its periods.
//
// After n ≥ 2 periods the last period's difference from the mean of the n − 1 before it has the
// variance σ²·n/(n − 1), σ² being one period's noise; the average of n periods carries σ²/n.
// Scaling that difference by √(n − 1)/n gives one realisation of the averaged response's noise,
// with the noise's spectrum, at the cost of one pass over the period and no second look at the
// earlier ones.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace fim {

class NoiseTracker {
  public:
    // Run set-up (not on the audio path): room for periods of `length` values; forgets the last
    // run.
    void Prepare(std::size_t length);
    void Reset() {
        periods_ = 0;
        ready_ = false;
    }

    // One period of `length` values joins `sumBefore`, the sum of the `countBefore` periods
    // before it (unchanged here). Periods longer than prepared are not tracked.
    void Add(const double* period, const double* sumBefore, int countBefore, std::size_t length);
    // The same for recorded samples (the run averages samples and recovers the mean at its end).
    // `stride` elements apart.
    void Add(const int32_t* period, const double* sumBefore, int countBefore, std::size_t length,
             std::size_t stride = 1);
    // Turns a difference of recorded samples into one of responses (by the recovery of an MLS of
    // `order`), so Noise() lies beside the averaged response. Uses the buffers of Prepare.
    void ToResponse(int order);
    // Whether the difference was taken of recorded samples rather than of responses.
    bool SampleDomain() const { return sampleDomain_; }
    // The run's averaged response is complete: the estimate (in the response's domain, recovered
    // by an MLS of `order` when needed) is kept beside it until the next Prepare or Reset, while
    // a following run's periods are added. Uses the buffers of Prepare.
    void Finish(int order);
    // A finished estimate of two or more periods belongs to the response in the buffers.
    bool Ready() const { return ready_; }
    // The finished estimate (one value per response sample), or empty when not Ready().
    std::span<const double> Estimate() const {
        return ready_ ? std::span<const double>(estimate_.data(), estimateLength_)
                      : std::span<const double>();
    }
    // The periods averaged into the response the estimate belongs to.
    int EstimatePeriods() const { return ready_ ? estimatePeriods_ : 0; }

    // Periods seen in the last Add (0 before the second period: no estimate).
    int Periods() const { return periods_; }
    // The averaged response's noise realisation (`length` values of the last Add), scaled;
    // empty with fewer than two periods. In the domain of the values passed to Add.
    std::vector<double> Noise() const;
    // The same into `out` (no allocation); false when there is no estimate.
    bool Noise(double* out, std::size_t length) const;

  private:
    std::vector<double> difference_, recovered_, estimate_;
    std::size_t length_ = 0;
    std::size_t estimateLength_ = 0;
    int periods_ = 0;
    int estimatePeriods_ = 0;
    bool sampleDomain_ = false;
    bool ready_ = false;
};

// Octave bands 31.5 Hz … 16 kHz (nominal centres; edges at centre·2^(±1/2)).
inline constexpr std::array<double, 10> kOctaveCentres = {31.5, 63,   125,  250,  500,
                                                          1000, 2000, 4000, 8000, 16000};

struct BandSnr {
    double centre = 0.0;
    double snrDb = 0.0;
    bool valid = false;  // the band holds at least one frequency bin of the window
};

// Where the signal span of an SNR estimate starts (0-based): 1 ms before the response's peak
// (`peakIndex` 1-based, at least 1), and how long it is at most.
std::size_t SnrSignalStart(int32_t peakIndex, double sampleRate);
inline constexpr std::size_t kSnrSignalSamples = 16384;

// Power spectra of `count` samples of the response and of the noise from `start` on
// (rectangular window, zero-padded to a power of two), summed per octave band, give the
// signal-to-noise ratio per band in dB. A band without noise power reads 200 dB.
std::vector<BandSnr> OctaveSnr(const double* response, const double* noise, std::size_t start,
                               std::size_t count, double sampleRate);

// The noise of a single response (a time file holds no spread between periods), taken from its
// late tail: the last `count` samples, where a room has decayed into the measurement's noise.
// The signal is the `count` samples from `start` on. No estimate (a reason instead) when the
// tail would overlap the signal, when the tail is silent, or when it still decays (its first
// half carries more than twice the energy of its second half: the room is still ringing).
struct TailSnr {
    std::vector<BandSnr> bands;
    std::size_t noiseStart = 0;  // 0-based first sample of the tail
    std::string reason;          // empty when `bands` holds the estimate
};
TailSnr TailNoiseSnr(const double* response, std::size_t length, std::size_t start,
                     std::size_t count, double sampleRate);

// Power per frequency bin (|X|², bins 0 … size/2 of the zero-padded transform) of `count` values.
std::vector<double> PowerSpectrum(const double* x, std::size_t count, std::size_t& size);

}  // namespace fim
