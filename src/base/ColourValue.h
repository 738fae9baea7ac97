#pragma once
// Colours as settings, colour sets and trace files store them: 0x00BBGGRR, red in the low byte.
// The top byte is not part of a colour.

#include <cstdint>

namespace fim {

struct ColourParts {
    int red = 0;
    int green = 0;
    int blue = 0;
};

constexpr ColourParts SplitColour(uint32_t value) {
    return {static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
            static_cast<int>((value >> 16) & 0xFF)};
}

// Components outside 0 … 255 keep their low eight bits, as a byte store would.
constexpr uint32_t JoinColour(int red, int green, int blue) {
    return (static_cast<uint32_t>(red) & 0xFF) | ((static_cast<uint32_t>(green) & 0xFF) << 8) |
           ((static_cast<uint32_t>(blue) & 0xFF) << 16);
}

}  // namespace fim
