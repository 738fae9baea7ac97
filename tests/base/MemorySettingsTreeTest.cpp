#include <gtest/gtest.h>

#include "base/MemorySettingsTree.h"

namespace fim {
namespace {

TEST(MemorySettingsTree, NamesMatchWithoutRegardToCase) {
    MemorySettingsTree tree;
    tree.WriteInteger("SAMPLERATE", 48000);
    EXPECT_EQ(tree.ReadInteger("Samplerate"), 48000);
    tree.WriteInteger("Höhe", 335);
    EXPECT_EQ(tree.ReadInteger("HÖHE"), 335);
    tree.WriteInteger("samplerate", 44100);  // same value, not a second one
    EXPECT_EQ(tree.Count(), 2u);
    EXPECT_EQ(tree.ReadInteger("SampleRate"), 44100);
}

TEST(MemorySettingsTree, WrongTypeOrSizeReadsAsMissing) {
    MemorySettingsTree tree;
    tree.WriteString("BITS", "sixteen");
    EXPECT_FALSE(tree.ReadInteger("BITS").has_value());
    tree.WriteBinary("ABSWIN", std::vector<uint8_t>(15, 0));
    EXPECT_FALSE(tree.ReadBlock("ABSWIN", 16).has_value());
    EXPECT_TRUE(tree.ReadBlock("ABSWIN", 15).has_value());
    // A float is an 8-byte little-endian binary value.
    tree.WriteBinary("Temperatur", {0, 0, 0, 0, 0, 0, 0x34, 0x40});
    EXPECT_EQ(tree.ReadFloat("TEMPERATUR"), 20.0);
}

}  // namespace
}  // namespace fim
