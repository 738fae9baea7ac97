#pragma once
// The state of the room acoustics window: the chosen bands and broadband weighting, the result
// of the last analysis, the band whose decay is shown in front, and the texts the window copies,
// saves and prints. Qt-free so tests drive it directly.

#include <cstddef>
#include <string>
#include <vector>

#include "acoustics/RoomAcoustics.h"

namespace fim {

class RoomAcousticsModel {
  public:
    AcousticsOptions options;

    // Analyses `count` samples of a response; with none (count 0) the result is empty.
    void Analyse(const double* response, std::size_t count, double sampleRate);
    bool HasResult() const { return result_.samples > 0; }
    const AcousticsResult& Result() const { return result_; }

    // Rows of the table: one per band, then the broadband one.
    int RowCount() const { return static_cast<int>(result_.bands.size()) + (HasResult() ? 1 : 0); }
    const BandAcoustics* Row(int row) const;
    // The row whose decay is drawn in front with its fit ranges (-1: none).
    int selected = -1;

    // The table as text lines split into fields: a header row, then one row per table row.
    std::vector<std::vector<std::string>> Cells() const;
    std::string ClipboardText() const { return AcousticsTable(result_, '\t'); }
    std::string CsvText() const { return AcousticsTable(result_, ','); }
    // Writes the CSV text, replacing `path` only when complete; an error text, or "" when saved.
    std::string SaveCsv(const std::string& path) const;

    // The time span the decay plot covers, s (the longest curve, at least 0.1 s), and the
    // lowest level it shows, dB.
    double PlotSeconds() const;
    static constexpr double kPlotFloorDb = -80.0;

  private:
    AcousticsResult result_;
};

// Maps time (s from the onset) and level (dB) into a plot rectangle.
struct DecayPlotMapper {
    double left = 0, top = 0, width = 1, height = 1;
    double seconds = 1;
    double floorDb = RoomAcousticsModel::kPlotFloorDb;
    double X(double t) const { return left + width * t / seconds; }
    // 0 dB at the top, floorDb at the bottom; levels beyond are clamped to the rectangle.
    double Y(double db) const;
};

}  // namespace fim
