#include <gtest/gtest.h>

#include "base/ColourValue.h"

namespace fim {
namespace {

TEST(ColourValue, RedSitsInTheLowByteAndTheTopByteIsDropped) {
    const ColourParts c = SplitColour(0xAB123456);
    EXPECT_EQ(c.red, 0x56);
    EXPECT_EQ(c.green, 0x34);
    EXPECT_EQ(c.blue, 0x12);
    EXPECT_EQ(JoinColour(c.red, c.green, c.blue), 0x00123456u);
    EXPECT_EQ(JoinColour(255, 0, 0), 0x0000FFu);
    EXPECT_EQ(JoinColour(0, 0, 255), 0xFF0000u);
}

TEST(ColourValue, OutOfRangeComponentsCannotSpillIntoTheirNeighbours) {
    EXPECT_EQ(JoinColour(0x1FF, 0, 0), 0x0000FFu);
    EXPECT_EQ(JoinColour(0, -1, 0), 0x00FF00u);
}

}  // namespace
}  // namespace fim
