#pragma once
// The ring-out log beside the feedback finder: every capture of the session with its graphic-EQ
// band, deviation from the band centre and level over the trigger threshold, and for every band a
// suggested cut (a graphic-EQ step and a parametric notch) from how far and how often it rang.
// The log is kept in the settings tree until it is cleared, and exported as CSV.
//
// Thread: UI thread only.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fim {

struct FinderCapture;
class SettingsTree;

// One capture as logged. The band is derived from the frequency and the series, so only what the
// finder measured is stored.
struct RingOutEntry {
    int64_t time = 0;            // seconds since 1970 (UTC)
    double frequency = 0.0;      // Hz, the strongest line
    int32_t series = 1;          // graphic-EQ series: 1 31 band, 2 15 band, 3 10 band
    double overThreshold = 0.0;  // capture peak above the trigger threshold, dB
    int32_t captureLength = 0;   // N samples
    uint32_t sampleRate = 0;     // samples/s
};

// A row of the list: the entry and what is derived from it and from its band.
struct RingOutRow {
    RingOutEntry entry;
    std::size_t index = 0;      // position in the log (for DeleteRow)
    std::string band;           // the band's label, e.g. "1.00 kHz"
    int32_t deviation = 0;      // percent of the half band, as the finder's lamps
    int count = 0;              // how many captures of the log fell in this band
    double eqCut = 0.0;         // suggested graphic-EQ cut, dB (positive number, 1.5 dB steps)
    double notchFrequency = 0;  // suggested notch: mean frequency of the band's captures, Hz
    double notchQ = 0.0;
    double notchDepth = 0.0;  // dB
};

enum class RingOutOrder { Time, Band };

class RingOutLog {
  public:
    static constexpr double kStep = 1.5;     // dB, the graphic-EQ step
    static constexpr double kMaxCut = 12.0;  // dB

    // Logs a capture taken in the finder's display mode (FREQUENCY mode logs third-octave bands).
    void Add(const FinderCapture& capture, int64_t time);
    void Add(const RingOutEntry& entry) { entries_.push_back(entry); }
    // Removes the entry at `index` of the log; false when there is none.
    bool Delete(std::size_t index);
    void Clear() { entries_.clear(); }
    std::size_t size() const { return entries_.size(); }
    const std::vector<RingOutEntry>& entries() const { return entries_; }

    // The rows in the order asked for: by time (log order), or by band from low to high with the
    // band's captures in time order.
    std::vector<RingOutRow> Rows(RingOutOrder order) const;

    // A header line, then one line of texts per row, as the list and the CSV show them (cuts
    // as negative gains).
    std::vector<std::vector<std::string>> Cells(RingOutOrder order) const;
    // The CSV text (RFC 4180: CRLF line ends, fields with a comma, quote or line break quoted,
    // quotes doubled), a header line first. Times are local "YYYY-MM-DD hh:mm:ss".
    std::string Csv(RingOutOrder order) const;

    // The stored form: "RING" version 1, the count, then 36 bytes per entry, little-endian.
    std::vector<uint8_t> Encode() const;
    // Nullopt for a block of another tag, version or size.
    static std::optional<RingOutLog> Decode(const std::vector<uint8_t>& block);

    // Reads the log stored under kSettingsName (an unreadable block leaves the log empty) and
    // writes it back; an empty log deletes the value.
    void Load(const SettingsTree& tree);
    void Store(SettingsTree& tree) const;
    static constexpr const char* kSettingsName = "RingOutLog";

  private:
    std::vector<RingOutEntry> entries_;
};

// The graphic-EQ cut for a band that rang `count` times, at most `maxOver` dB above the
// threshold: 3 dB for the first ring, 1.5 dB more for each ring after it, plus half the level over
// the threshold; rounded to 1.5 dB steps and limited to 12 dB.
double SuggestedCut(int count, double maxOver);
// The notch's Q: the band from lowest to highest captured frequency widened by two bins of the
// finder's resolution (the reading is only as sharp as its bins); Q = f / width, within 1 … 60.
double SuggestedQ(double frequency, double lowest, double highest, double binWidth);

// Local "YYYY-MM-DD hh:mm:ss".
std::string FormatLocalTime(int64_t time);
// One CSV field: as it is, or quoted (quotes doubled) when it holds a comma, quote or line break.
std::string CsvQuote(const std::string& s);

}  // namespace fim
