// The 24-byte-record layout of SMOOTH calibrations (*.csm) and SMOOTH spectra (*.SMR).
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "spectrum/AsciiExport.h"
#include "spectrum/SpectrumFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fim::MemorySource src(data, size);
    fim::SmoothSpectrumFile out;
    out.sampleRate = -7;
    const auto status = fim::ParseSmoothSpectrum(src, out);
    if (status != fim::SpectrumFileStatus::Ok) {
        FUZZ_CHECK(out.sampleRate == -7);
        return 0;
    }
    FUZZ_CHECK(size == fim::kSmoothFileBytes);
    // Whatever the file holds, the text export of it is well formed.
    const std::string text = fim::BuildFrdSmooth(out.records.data(), out.lowestFrequency,
                                                 out.records[10].Magnitude, 80.0);
    for (char c : text)
        FUZZ_CHECK(c == '\r' || c == '\n' || c == ' ' || c == '-' || c == '.' ||
                   (c >= '0' && c <= '9'));
    return 0;
}
