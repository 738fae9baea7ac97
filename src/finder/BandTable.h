#pragma once
// The finder's band read-out: a frequency becomes a display label ("1.25 kHz") and a signed
// deviation from the nearest nominal band centre, for four display series:
//   1 third octave ("EQ 31 BAND"), 2 two-thirds octave ("EQ 15 BAND"),
//   3 octave ("EQ 10 BAND"), 4 plain frequency ("FREQUENCY").
// The band table holds 13 values; each series overwrites only its own entries, so entry 0 keeps
// the 8 written by series 1 at construction and serves as the lower guard of series 2.
//
// Thread: UI thread only; every call may rewrite the table.

#include <array>
#include <cstdint>
#include <string>

namespace fim {

// Number of divisions by 10 that bring f down to at most 100 (0 for f ≤ 100).
uint8_t DecadeCount(long double f);

struct BandReadout {
    std::string label;
    int32_t deviation = 0;  // percent of the half band: 0 on the centre, ±100 on the edges
};

class BandTable {
  public:
    static constexpr int kEntries = 13;

    BandTable();  // series 1

    // Writes the entries of series 1, 2 or 3; any other value writes nothing.
    void SetBandSeries(uint8_t series);
    // The table value nearest to f / 10^decades in the logarithmic sense (series 1 or 2 set);
    // a value exactly between two entries goes to the upper one.
    long double NominalMantissa(uint8_t decades, double f);
    // Sets the series and returns 10^d × NominalMantissa(d, f) with d = DecadeCount(f).
    long double NominalFrequency(uint8_t series, long double f);
    // The read-out label: a number right-aligned in at least four characters, then " Hz" or
    // " kHz"; "FEHLER" for frequencies that cannot be shown, "" for an unknown series.
    std::string FrequencyLabel(uint8_t series, long double f);
    // Label and deviation. Frequencies beyond the ends of the band table (below 8 Hz for series 1
    // and 2, above 32 kHz for octaves) are read as that end value.
    BandReadout BandReading(uint8_t series, double f);

    long double Entry(int i) const { return entries_[static_cast<std::size_t>(i)]; }

  private:
    // Index of the octave band nearest to f (series 3 must be set).
    int OctaveIndex(long double f) const;

    std::array<long double, kEntries> entries_{};
};

}  // namespace fim
