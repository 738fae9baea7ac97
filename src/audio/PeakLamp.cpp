#include "audio/PeakLamp.h"

#include <cmath>

namespace fim {

void PeakLamp::SetLevel(double db) {
    const double t = std::nearbyint(std::pow(10.0, db / 20.0) * referenz_);
    // Rounded at 64 bits; kept in 32 bits as the stored threshold is.
    const auto wide = std::isfinite(t) && std::fabs(t) < 9.2e18 ? static_cast<int64_t>(t) : 0;
    threshold_ = static_cast<int32_t>(wide);
}

double PeakLamp::Level() const {
    if (threshold_ < 2) return -100.0;
    const double db = 20.0 * std::log10(static_cast<double>(threshold_) / referenz_);
    return std::nearbyint(100.0 * db) / 100.0;
}

void SetUpLampBar(LampBar& bar, int32_t fullScale) {
    for (std::size_t i = 0; i < bar.size(); ++i) {
        PeakLamp& l = bar[i];
        l.SetReferenz(fullScale);
        l.SetLevel(kLampLevels[i]);
        l.Pon = i == 0 ? kLampRed : i < 3 ? kLampAmber : kLampGreen;
        l.Poff = kLampPurple;
    }
}

}  // namespace fim
