#include "cli/SignalState.h"

#include "app/FatalMemory.h"

namespace fim::cli {

void SetUpState(MeasurementState& state, const SignalOptions& o) {
    state.buffers.Allocate({}, FatalMemoryHandler());
    state.SampleRate = static_cast<uint16_t>(o.rate);
    state.SampleBits = 16;
    state.MlsOrder = static_cast<uint8_t>(o.order);
    state.OutputLevelDb = o.levelDb;
    state.PinkMls = o.pink;
    state.RecomputeDerived();
}

}  // namespace fim::cli
