// Microphone-calibration text import: any bytes, any line ends, any numbers.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "spectrum/MicCalText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    fim::MicCalData out;
    out.sensitivity = 99.0;
    const auto status = fim::ParseMicCalText(text, out);
    if (status != fim::MicCalStatus::Ok) {
        FUZZ_CHECK(out.points.empty() && out.sensitivity == 99.0);
        return 0;
    }
    FUZZ_CHECK(!out.points.empty());
    for (std::size_t i = 0; i < out.points.size(); ++i) {
        FUZZ_CHECK(out.points[i].frequency > 0 && std::isfinite(out.points[i].frequency));
        FUZZ_CHECK(std::isfinite(out.points[i].db) && std::isfinite(out.points[i].phaseDeg));
        if (i) FUZZ_CHECK(out.points[i - 1].frequency < out.points[i].frequency);
    }
    std::vector<fim::SmoothRecord> f(fim::kSmoothRecords);
    for (int i = 0; i < fim::kSmoothRecords; ++i) f[i].Frequency = 20.0 * std::pow(1.025, i);
    const fim::MicCorrection mic = fim::BuildMicCorrection(out, f.data(), 44100.0);
    for (const auto& e : mic.entries) {
        // Interpolation stays within the data's range (no extrapolation), so it stays finite.
        FUZZ_CHECK(!std::isnan(e.db) && !std::isnan(e.phase));
    }
    return 0;
}
