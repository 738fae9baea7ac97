#include "cli/SnrJson.h"

namespace fim::cli {

void AddSnrBands(JsonObject& json, const char* source, const std::vector<BandSnr>& bands,
                 std::size_t start, std::size_t count) {
    std::vector<JsonObject> valid;
    for (const BandSnr& b : bands) {
        if (!b.valid) continue;
        JsonObject band;
        band.Add("centre_hz", b.centre);
        band.Add("snr_db", b.snrDb);
        valid.push_back(band);
    }
    json.Add("snr_source", source);
    json.Add("snr_start", static_cast<int>(start + 1));
    json.Add("snr_end", static_cast<int>(start + count));
    json.Add("snr_octaves", valid);
}

}  // namespace fim::cli
