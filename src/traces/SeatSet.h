#pragma once
// A seat set: the SMOOTH spectra of one loudspeaker measured at several seats, and what the set
// says about the coverage: per record the equal-weight mean level in dB of the seats, the spread
// (standard deviation in dB) around it, and the seat that lies farthest from the mean. Every seat
// weighs the same, whatever the order it was measured in.
//
// Thread: UI thread only.

#include <array>
#include <string>
#include <vector>

#include "core/SpectrumTypes.h"
#include "spectrum/FrequencyDisplay.h"

namespace fim {

struct SeatSpectrum {
    double lowestFrequency = 0.0;
    double sampleRate = 0.0;
    std::array<SmoothRecord, kSmoothRecords> records{};
};

struct SeatStatistics {
    std::array<double, kSmoothRecords> meanDb{};    // per record; NaN where no seat has a level
    std::array<double, kSmoothRecords> spreadDb{};  // population standard deviation, dB
    // The mean as SMOOTH records (frequencies of the first seat, magnitude 10^(mean/20), phase 0).
    std::array<SmoothRecord, kSmoothRecords> mean{};
    int farthest = -1;  // seat with the largest RMS distance in dB from the mean; -1 below 2 seats
    std::vector<double> distanceDb;  // that RMS distance for every seat
};

class SeatSet {
  public:
    static constexpr int kMinSeats = 2;
    static constexpr int kMaxSeats = 16;

    // False (nothing added) when the set is full or the seat's records do not lie on the
    // frequencies of the first seat.
    bool Add(const SeatSpectrum& seat);
    std::size_t size() const { return seats_.size(); }
    const std::vector<SeatSpectrum>& seats() const { return seats_; }

    // Records where a seat has no positive magnitude are left out of that record's mean.
    SeatStatistics Compute() const;

    // Saves every seat as "<folder>/<name> seat NN.SMR", the mean as "<folder>/<name> mean.SMR"
    // and a text summary "<folder>/<name>.txt". Returns an error text, empty on success.
    std::string Save(const std::string& folder, const std::string& name) const;
    // The text summary: seats, the farthest seat, and mean ± spread at the octave centres.
    std::string Summary(const std::string& name) const;

  private:
    std::vector<SeatSpectrum> seats_;
};

// The set's mean with its ± spread band and its farthest seat as curves for the frequency plot:
// levels 20·log10(magnitude / reference) + gain dB over `lower` … `upper` Hz (and not below the
// first seat's lowest valid frequency), named in the legend ("Stalls: mean ± spread of 4
// seats", "farthest: seat 3, 2.41 dB"). Records where no seat has a level are left out. An
// empty set, or a reference that is not positive and finite, gives no points.
BandCurve SeatSetCurve(const SeatSet& set, const SeatStatistics& stats, const std::string& name,
                       double reference, double lower, double upper, double gain, uint32_t colour,
                       uint32_t flaggedColour, int penWidth);

}  // namespace fim
