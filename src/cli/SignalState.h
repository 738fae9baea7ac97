#pragma once
// The measurement state fimtool's signal commands (mls, measure, recover) start from: the shared
// buffers, 16-bit samples, and the rate, order, level and pink choice of the command line.

#include "core/MeasurementState.h"

namespace fim::cli {

struct SignalOptions {
    int rate = 44100;
    int order = 12;
    int levelDb = -6;
    bool pink = false;
};

// Allocates the buffers (a failure ends the process with the memory error) and sets the state
// up for `o`, derived values included.
void SetUpState(MeasurementState& state, const SignalOptions& o);

}  // namespace fim::cli
