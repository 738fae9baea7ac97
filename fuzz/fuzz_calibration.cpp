// The 16-byte-record layout of FFT calibrations (*.cal) and FFT spectra (*.MFR).
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "spectrum/SpectrumFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fim::MemorySource src(data, size);
    fim::FftSpectrumFile out;
    out.fftSize = -1;
    const auto status = fim::ParseFftSpectrum(src, out);
    if (status == fim::SpectrumFileStatus::Ok) {
        FUZZ_CHECK(out.fftSize >= 128 && out.fftSize <= 65536);
        FUZZ_CHECK((out.fftSize & (out.fftSize - 1)) == 0);
        FUZZ_CHECK(out.bins.size() == static_cast<std::size_t>(out.fftSize / 2));
        FUZZ_CHECK(size == 32 + 16 * out.bins.size());
        FUZZ_CHECK(std::isfinite(out.sampleRate) && out.sampleRate > 0);
        for (const auto& b : out.bins)
            FUZZ_CHECK(std::isfinite(b.Magnitude) && std::isfinite(b.Phase));
    } else {
        FUZZ_CHECK(out.fftSize == -1 && out.bins.empty());
    }
    return 0;
}
