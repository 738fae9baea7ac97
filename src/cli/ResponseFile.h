#pragma once
// Writing a command's impulse response as the SAVE TIMEFILE command does: a time file for ".mtf",
// a 16-bit mono WAVE normalised to ±32766 for ".wav"; MlsSize samples, the last one 0.

#include <string>

#include "core/MeasurementState.h"

namespace fim::cli {

// False when refused or the write failed; the reason has been printed on stderr.
bool SaveResponse(MeasurementState& state, const std::string& path);

}  // namespace fim::cli
