#include <gtest/gtest.h>

#include <filesystem>

#include "../audio/FileTestUtil.h"
#include "base/AtomicFile.h"

namespace fim {
namespace {

TEST(AtomicFileTest, ReplacesOnlyOnCommit) {
    test::TempDir dir;
    const std::string path = dir.File("data.bin");
    ASSERT_TRUE(WriteFileAtomically(path, "old content"));
    {
        AtomicFile f;
        ASSERT_TRUE(f.Open(path));
        ASSERT_TRUE(f.Write("new"));
        // Before the commit the old file is still whole and a temporary file sits beside it.
        EXPECT_EQ(test::ReadBytes(path),
                  test::Bytes({'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't'}));
        EXPECT_EQ(dir.EntryCount(), 2u);
        ASSERT_TRUE(f.Commit());
    }
    EXPECT_EQ(test::ReadBytes(path), test::Bytes({'n', 'e', 'w'}));
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(AtomicFileTest, AbandonedOrFailedWriteLeavesTheOldFileAndNoLeftovers) {
    test::TempDir dir;
    const std::string path = dir.File("keep.bin");
    ASSERT_TRUE(WriteFileAtomically(path, "precious"));
    {
        AtomicFile f;
        ASSERT_TRUE(f.Open(path));
        f.Write("half a fi");
        // Destroyed without Commit: a writer that gave up midway.
    }
    {
        AtomicFile f;
        ASSERT_TRUE(f.Open(path));
        f.Write("x");
        f.Abandon();
        EXPECT_FALSE(f.Commit());
    }
    // The target is a folder now: the rename fails, the folder and its content stay.
    const std::string folder = dir.File("sub");
    std::filesystem::create_directory(folder);
    WriteFileAtomically(folder + "/inner", "in");
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(folder, "replacement", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(test::ReadBytes(folder + "/inner"), test::Bytes({'i', 'n'}));

    EXPECT_EQ(test::ReadBytes(path), test::Bytes({'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
    EXPECT_EQ(dir.EntryCount(), 2u) << "temporary files were left behind";
}

TEST(AtomicFileTest, LittleEndianFieldsWhateverTheHost) {
    test::TempDir dir;
    const std::string path = dir.File("le.bin");
    AtomicFile f;
    ASSERT_TRUE(f.Open(path));
    f.WriteU16(0x1234);
    f.WriteU32(0xA1B2C3D4u);
    f.WriteI16(-2);
    f.WriteF64(-1.5);  // 0xBFF8000000000000
    ASSERT_TRUE(f.Commit());
    const test::Bytes expect = {0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 0xFE, 0xFF,
                                0,    0,    0,    0,    0,    0,    0xF8, 0xBF};
    const test::Bytes got = test::ReadBytes(path);
    EXPECT_EQ(got, expect);
    EXPECT_EQ(LoadF64(got.data() + 8), -1.5);
    EXPECT_EQ(LoadU32(got.data() + 2), 0xA1B2C3D4u);
}

}  // namespace
}  // namespace fim
