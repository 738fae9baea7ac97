#pragma once
// The signal-to-noise ratio per octave band as `measure` and `spectrum` print it.

#include <cstddef>
#include <vector>

#include "cli/Json.h"
#include "core/NoiseFloor.h"

namespace fim::cli {

// Adds snr_source, the signal span snr_start/snr_end (1-based) and snr_octaves (the valid bands).
void AddSnrBands(JsonObject& json, const char* source, const std::vector<BandSnr>& bands,
                 std::size_t start, std::size_t count);

}  // namespace fim::cli
