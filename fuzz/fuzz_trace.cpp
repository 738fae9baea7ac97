// Stored traces.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzCheck.h"
#include "traces/TraceFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto trace = fim::ParseTraceFile(std::span<const uint8_t>(data, size));
    if (trace) {
        FUZZ_CHECK(size == fim::kTraceFileBytes);
        FUZZ_CHECK(std::isfinite(trace->OwnReference));
        // What is read back is what an encoder writes.
        const auto again =
            fim::EncodeTraceFile(trace->LowFrequencyLimit, trace->SampleRate, trace->Records);
        FUZZ_CHECK(again.size() == size);
    }
    return 0;
}
