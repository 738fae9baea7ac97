// Microphone-correction files (*.SMC).
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "spectrum/SpectrumFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fim::MemorySource src(data, size);
    fim::MicCorrection out;
    out.sampleRate = -3;
    const auto status = fim::ParseMicCorrection(src, out);
    if (status != fim::SpectrumFileStatus::Ok) {
        FUZZ_CHECK(out.sampleRate == -3);
        return 0;
    }
    FUZZ_CHECK(size == fim::kMicFileBytes || size == fim::kMicFileBytes + 24);
    std::array<fim::SmoothRecord, fim::kSmoothRecords> records{};
    for (auto& r : records) r.Magnitude = 1.0;
    fim::ApplyMicCorrection(out, records.data());
    FUZZ_CHECK(records.back().Magnitude == 1.0);  // the end marker is never corrected
    return 0;
}
