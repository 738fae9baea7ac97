#include "core/SampleFormat.h"

#include <cstring>

namespace fim {

int BytesPerSample(int bits) {
    switch (bits) {
        case 8:
            return 1;
        case 16:
            return 2;
        case 20:
        case 24:
            return 4;
        default:
            return 0;
    }
}

bool ConvertRecording(const void* source, int32_t* destination, int bits, std::size_t count) {
    const auto* src = static_cast<const unsigned char*>(source);
    switch (BytesPerSample(bits)) {
        case 1:
            for (std::size_t i = 0; i < count; ++i) destination[i] = 127 - int32_t{src[i]};
            return true;
        case 2:
            for (std::size_t i = 0; i < count; ++i) {
                const auto u = static_cast<uint16_t>(src[2 * i] | (src[2 * i + 1] << 8));
                destination[i] = static_cast<int16_t>(u);
            }
            return true;
        case 4:
            std::memcpy(destination, source, count * sizeof(int32_t));
            return true;
        default:
            return false;
    }
}

void RepeatStreamPeriod(int32_t* recording, std::size_t n) {
    const std::size_t l = n - 1;
    int32_t* r = recording;
    std::memcpy(r, r + 2 * (n + l - 1), 2 * sizeof(int32_t));
    std::memcpy(r + 2, r + 2 * n, 2 * l * sizeof(int32_t));
    std::memcpy(r + 2 * (2 * n - 1), r + 2 * n, 2 * sizeof(int32_t));
}

}  // namespace fim
