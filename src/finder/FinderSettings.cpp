#include "finder/FinderSettings.h"

namespace fim {

namespace {

void PutI32(std::vector<uint8_t>& b, std::size_t at, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t I32(const std::vector<uint8_t>& b, std::size_t at) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) {
        if (at + i < b.size()) u |= uint32_t{b[at + i]} << (8 * i);
    }
    return static_cast<int32_t>(u);
}

}  // namespace

int32_t FinderThresholdDb(int32_t stored) {
    switch (stored) {
        case -3:
        case -6:
        case -10:
        case -15:
        case -20:
            return stored;
        default:
            return -20;
    }
}

std::vector<uint8_t> EncodeFinderSettings(const FinderSettings& f) {
    std::vector<uint8_t> b(FinderSettings::kBytes, 0);
    PutI32(b, 0, f.DisplayMode);
    PutI32(b, 4, f.TriggerThreshold);
    PutI32(b, 8, f.Resolution);
    b[12] = f.AutoRestart;
    PutI32(b, 16, f.RestartStep);
    return b;
}

FinderSettings DecodeFinderSettings(const std::vector<uint8_t>& block) {
    FinderSettings f;
    const int32_t mode = I32(block, 0);
    if (mode >= 0 && mode <= 3) f.DisplayMode = mode;
    f.TriggerThreshold = FinderThresholdDb(I32(block, 4));
    const int32_t resolution = I32(block, 8);
    if (resolution >= 0 && resolution <= 2) f.Resolution = resolution;
    f.AutoRestart = block.size() > 12 && block[12] != 0 ? 1 : 0;
    const int32_t step = I32(block, 16);
    if (step == 0 || step == 1) f.RestartStep = step;
    return f;
}

}  // namespace fim
