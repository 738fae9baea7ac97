#include "acoustics/RoomAcousticsModel.h"

#include <algorithm>

#include "core/AtomicFile.h"

namespace fim {

void RoomAcousticsModel::Analyse(const double* response, std::size_t count, double sampleRate) {
    result_ = AnalyseRoom(response, count, sampleRate, options);
    if (selected >= RowCount()) selected = -1;
}

const BandAcoustics* RoomAcousticsModel::Row(int row) const {
    if (row < 0 || row >= RowCount()) return nullptr;
    const auto r = static_cast<std::size_t>(row);
    return r < result_.bands.size() ? &result_.bands[r] : &result_.broadband;
}

std::vector<std::vector<std::string>> RoomAcousticsModel::Cells() const {
    std::vector<std::vector<std::string>> rows;
    const std::string text = ClipboardText();
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::vector<std::string> fields;
        std::size_t f = start;
        while (true) {
            const std::size_t tab = text.find('\t', f);
            if (tab == std::string::npos || tab > end) {
                fields.push_back(text.substr(f, end - f));
                break;
            }
            fields.push_back(text.substr(f, tab - f));
            f = tab + 1;
        }
        rows.push_back(std::move(fields));
        start = end + 1;
    }
    return rows;
}

std::string RoomAcousticsModel::SaveCsv(const std::string& path) const {
    AtomicFile file;
    if (!file.Open(path) || !file.Write(CsvText()) || !file.Commit()) {
        return file.Error().empty() ? "cannot write the file" : file.Error();
    }
    return {};
}

double RoomAcousticsModel::PlotSeconds() const {
    double longest = 0.1;
    for (int row = 0; row < RowCount(); ++row) {
        const BandAcoustics& b = *Row(row);
        longest = std::max(longest, b.curveStep * static_cast<double>(b.curve.size()));
    }
    return longest;
}

double DecayPlotMapper::Y(double db) const {
    const double clamped = std::clamp(db, floorDb, 0.0);
    return top + height * clamped / floorDb;
}

}  // namespace fim
