#include "settings/UserMacro.h"

#include <gtest/gtest.h>

#include "settings/LeBlock.h"
#include "settings/SettingsRecords.h"

namespace fim {
namespace {

UserMacro Sample() {
    UserMacro m;
    m.name = "Front fill";
    m.calFile = "/data/cal/mic1.csm";
    m.micFile = "/data/mic.smc";
    m.overlayFile = "/data/ref.smr";
    m.useCal = true;
    m.useOverlay = true;
    m.pinkMls = true;
    m.mlsOrder = 16;
    m.fftCode = UserMacro::kSmoothFftCode;
    m.atc = false;
    m.repeat = true;
    m.window = TimeWindow{"W", 1500, 25000, 66, 1103};
    m.averaging = 16;
    m.smoothing = 4;
    m.reserved868[479] = 0x5A;  // a later version's byte at the very end of the record
    return m;
}

TEST(UserMacroRecord, FieldsSitAtTheirOffsets) {
    const std::vector<uint8_t> b = EncodeUserMacro(Sample());
    ASSERT_EQ(b.size(), 1348u);
    const LeBlock r(b);
    EXPECT_EQ(r.ShortString(0, 31), "Front fill");
    EXPECT_EQ(r.ShortString(31, 256), "/data/cal/mic1.csm");
    EXPECT_EQ(r.ShortString(287, 256), "/data/mic.smc");
    EXPECT_EQ(r.ShortString(543, 256), "/data/ref.smr");
    EXPECT_EQ(r.U8(799), 1);
    EXPECT_EQ(r.U8(800), 0);
    EXPECT_EQ(r.U8(801), 1);
    EXPECT_EQ(r.U8(802), 0);
    EXPECT_EQ(r.U8(803), 1);
    EXPECT_EQ(r.U8(806), 16);
    EXPECT_EQ(r.U8(807), 100);
    EXPECT_EQ(r.U8(808), 0);
    EXPECT_EQ(r.U8(809), 1);
    EXPECT_EQ(r.ShortString(812, 32), "W");
    EXPECT_EQ(r.I32(812 + 32), 1500);
    EXPECT_EQ(r.I32(812 + 36), 25000);
    EXPECT_EQ(r.I32(860), 16);
    EXPECT_EQ(r.I32(864), 4);
    EXPECT_EQ(r.U8(1347), 0x5A);
}

TEST(UserMacroRecord, BlockRoundTripIsByteExact) {
    UserMacroBlock block = FactoryUserMacros();
    block[11] = Sample();
    block[4].reserved804 = {1, 2};
    block[4].reserved810 = {3, 4};
    const std::vector<uint8_t> bytes = EncodeUserMacroBlock(block);
    ASSERT_EQ(bytes.size(), 16176u);
    // Macro 12 starts at 11 · 1348.
    EXPECT_EQ(LeBlock(bytes).ShortString(11 * 1348, 31), "Front fill");
    const auto back = DecodeUserMacroBlock(bytes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, block);
    EXPECT_EQ(EncodeUserMacroBlock(*back), bytes);

    std::vector<uint8_t> shorter(bytes.begin(), bytes.end() - 1);
    EXPECT_FALSE(DecodeUserMacroBlock(shorter).has_value());
}

TEST(UserMacroDefaults, FactorySetUps) {
    const UserMacroBlock f = FactoryUserMacros();
    EXPECT_EQ(f[0].name, "Speaker in Room");
    EXPECT_EQ(f[0].fftCode, 100);
    EXPECT_TRUE(f[0].UsesSmoothFft());
    EXPECT_EQ(f[0].mlsOrder, 15);
    EXPECT_EQ(f[0].averaging, 8);
    EXPECT_EQ(f[0].window.timeBefore, 600);
    EXPECT_EQ(f[0].window.timeAfter, 60000);
    EXPECT_EQ(f[0].smoothing, 1);
    EXPECT_FALSE(f[0].repeat);
    EXPECT_EQ(f[1].name, "Direct Electric");
    EXPECT_EQ(f[1].FftSize(), 16384);
    EXPECT_EQ(f[1].mlsOrder, 13);
    EXPECT_TRUE(f[1].repeat);
    EXPECT_EQ(f[1].window.timeAfter, 30000);
    EXPECT_EQ(f[2].name, "User 1");
    EXPECT_EQ(f[2].FftSize(), 8192);
    EXPECT_EQ(f[5].name, "User 4");
    EXPECT_EQ(f[5].averaging, 4);
    // Macros 7–12 keep the plain defaults: User 5 … User 10.
    EXPECT_EQ(f[6].name, "User 5");
    EXPECT_EQ(f[11].name, "User 10");
    EXPECT_EQ(f[11].mlsOrder, 15);
    EXPECT_EQ(f[11].FftSize(), 16384);
    EXPECT_EQ(f[11].window.timeBefore, 400);
    EXPECT_EQ(f[11].window.timeAfter, 10000);
    for (const UserMacro& m : f) {
        EXPECT_TRUE(m.atc);
        EXPECT_FALSE(m.useCal || m.useMic || m.useOverlay || m.pinkMls);
    }
}

// An older block of six records of `size` bytes, as earlier versions stored it.
std::vector<uint8_t> OldBlock(std::size_t size, uint8_t code) {
    LeBlock b(size * 6);
    for (std::size_t i = 0; i < 6; ++i) {
        const std::size_t at = i * size;
        b.PutShortString(at, 31, "Old " + std::to_string(i + 1));
        b.PutU8(at + 31, static_cast<uint8_t>(12 + i));
        b.PutU8(at + 32, i == 0 ? code : 1);
        b.PutU8(at + 33, i % 2 == 0 ? 1 : 0);
        b.PutU8(at + 34, 1);
        std::vector<uint8_t> w = EncodeTimeWindow(TimeWindow{"old", 500, 7000, 22, 309});
        for (std::size_t k = 0; k < w.size(); ++k) b.PutU8(at + 36 + k, w[k]);
        b.PutI32(at + 84, 32);
        if (size == 92) b.PutI32(at + 88, 3);
    }
    return b.bytes();
}

TEST(UserMacroConversion, OlderLayoutsFillTheFirstSix) {
    UserMacroBlock block = FactoryUserMacros();
    const std::vector<uint8_t> old88 = OldBlock(88, 4);
    ConvertUserMacros(block, 150, &old88);
    EXPECT_EQ(block[0].name, "Old 1");
    EXPECT_EQ(block[0].fftCode, 100);  // code 4 meant the smoothed FFT in this layout
    EXPECT_EQ(block[1].fftCode, 1);
    EXPECT_EQ(block[3].mlsOrder, 15);
    EXPECT_TRUE(block[2].atc);
    EXPECT_FALSE(block[3].atc);
    EXPECT_TRUE(block[5].repeat);
    EXPECT_EQ(block[5].window, (TimeWindow{"old", 500, 7000, 22, 309}));
    EXPECT_EQ(block[4].averaging, 32);
    EXPECT_EQ(block[4].smoothing, 0);  // not in the 88-byte layout
    EXPECT_EQ(block[6].name, "User 5");

    const std::vector<uint8_t> old92 = OldBlock(92, 4);
    ConvertUserMacros(block, 153, &old92);
    EXPECT_EQ(block[0].fftCode, 4);  // in the 92-byte layout only codes from 5 on are smoothed
    EXPECT_EQ(block[4].smoothing, 3);

    // The 92-byte block handed to a version that stored 88-byte records: wrong size, so the
    // plain defaults stay.
    ConvertUserMacros(block, 152, &old92);
    EXPECT_EQ(block[0].name, "User -1");
    EXPECT_EQ(block[2].name, "User 1");
    EXPECT_EQ(block[2].fftCode, 3);
}

TEST(UserMacroConversion, VersionsFromOneSixtyKeepTheBlock) {
    UserMacroBlock block = FactoryUserMacros();
    block[3] = Sample();
    const UserMacroBlock before = block;
    ConvertUserMacros(block, 160, nullptr);
    EXPECT_EQ(block, before);
    ConvertUserMacros(block, 155, nullptr);  // between the layouts: plain defaults only
    EXPECT_EQ(block[3], DefaultUserMacro(4));
    EXPECT_EQ(block[0].name, "User -1");
}

TEST(UserMacroSanitize, OutOfRangeFieldsGetDefaults) {
    UserMacro m = Sample();
    EXPECT_FALSE(SanitizeUserMacro(m));
    m.mlsOrder = 40;
    m.fftCode = 77;
    m.averaging = 3;
    m.smoothing = -2;
    EXPECT_TRUE(SanitizeUserMacro(m));
    EXPECT_EQ(m.mlsOrder, 15);
    EXPECT_EQ(m.fftCode, 3);
    EXPECT_EQ(m.averaging, 1);
    EXPECT_EQ(m.smoothing, 0);
    m.fftCode = 5;  // kept: its replay shows its own message
    EXPECT_FALSE(SanitizeUserMacro(m));
}

}  // namespace
}  // namespace fim
