#include <gtest/gtest.h>

#include "base/LeBlock.h"
#include "macros/UserMacro.h"
#include "settings/SettingsRecords.h"

namespace fim {
namespace {

UserMacro Sample() {
    UserMacro m;
    m.name = "Front fill";
    m.calFile = "/data/cal/mic1.csm";
    m.overlayFile = "/data/ref.smr";
    m.useOverlay = true;
    m.pinkMls = true;
    m.mlsOrder = 16;
    m.fftCode = UserMacro::kSmoothFftCode;
    m.atc = false;
    m.repeat = true;
    m.window = TimeWindow{"W", 1500, 25000, 66, 1103};
    m.averaging = 16;
    m.smoothing = 4;
    m.reserved804 = {1, 2};
    m.reserved868[479] = 0x5A;  // a later version's byte at the very end of the record
    return m;
}

TEST(UserMacroRecord, FieldsAtTheirOffsetsAndByteExactRoundTrip) {
    UserMacroBlock block = FactoryUserMacros();
    block[11] = Sample();
    const std::vector<uint8_t> bytes = EncodeUserMacroBlock(block);
    ASSERT_EQ(bytes.size(), 16176u);
    const LeBlock r(bytes);
    const std::size_t at = 11 * 1348;  // macro 12
    EXPECT_EQ(r.ShortString(at + 0, 31), "Front fill");
    EXPECT_EQ(r.ShortString(at + 31, 256), "/data/cal/mic1.csm");
    EXPECT_EQ(r.ShortString(at + 543, 256), "/data/ref.smr");
    EXPECT_EQ(r.U8(at + 801), 1);  // use overlay
    EXPECT_EQ(r.U8(at + 803), 1);  // pink
    EXPECT_EQ(r.U8(at + 804), 1);  // reserved bytes kept
    EXPECT_EQ(r.U8(at + 806), 16);
    EXPECT_EQ(r.U8(at + 807), 100);
    EXPECT_EQ(r.U8(at + 808), 0);
    EXPECT_EQ(r.U8(at + 809), 1);
    EXPECT_EQ(r.I32(at + 812 + 36), 25000);  // window: time after the peak
    EXPECT_EQ(r.I32(at + 860), 16);
    EXPECT_EQ(r.I32(at + 864), 4);
    EXPECT_EQ(r.U8(at + 1347), 0x5A);

    const auto back = DecodeUserMacroBlock(bytes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, block);
    EXPECT_EQ(EncodeUserMacroBlock(*back), bytes);
    EXPECT_FALSE(DecodeUserMacroBlock(std::vector<uint8_t>(bytes.begin(), bytes.end() - 1)));
}

TEST(UserMacroDefaults, FactorySetUps) {
    const UserMacroBlock f = FactoryUserMacros();
    EXPECT_EQ(f[0].name, "Speaker in Room");
    EXPECT_TRUE(f[0].UsesSmoothFft());
    EXPECT_EQ(f[0].window.timeAfter, 60000);
    EXPECT_EQ(f[1].name, "Direct Electric");
    EXPECT_EQ(f[1].FftSize(), 16384);
    EXPECT_EQ(f[1].mlsOrder, 13);
    EXPECT_TRUE(f[1].repeat);
    EXPECT_EQ(f[5].name, "User 4");
    EXPECT_EQ(f[5].averaging, 4);
    // Macros 7–12 keep the plain defaults: User 5 … User 10, 400 / 10000 µs.
    EXPECT_EQ(f[11].name, "User 10");
    EXPECT_EQ(f[11].FftSize(), 16384);
    EXPECT_EQ(f[11].window.timeAfter, 10000);
}

// An older block of six records of `size` bytes: name, order, FFT code, ATC, REPEAT, window,
// averaging and (92-byte records only) smoothing.
std::vector<uint8_t> OldBlock(std::size_t size) {
    LeBlock b(size * 6);
    for (std::size_t i = 0; i < 6; ++i) {
        const std::size_t at = i * size;
        b.PutShortString(at, 31, "Old " + std::to_string(i + 1));
        b.PutU8(at + 31, static_cast<uint8_t>(12 + i));
        b.PutU8(at + 32, i == 0 ? 4 : 1);
        b.PutU8(at + 33, i % 2 == 0 ? 1 : 0);
        b.PutU8(at + 34, 1);
        std::vector<uint8_t> window = EncodeTimeWindow(TimeWindow{"old", 500, 7000, 22, 309});
        for (std::size_t k = 0; k < window.size(); ++k) b.PutU8(at + 36 + k, window[k]);
        b.PutI32(at + 84, 32);
        if (size == 92) b.PutI32(at + 88, 3);
    }
    return b.bytes();
}

TEST(UserMacroConversion, OlderLayoutsAndVersionRanges) {
    UserMacroBlock block = FactoryUserMacros();
    const std::vector<uint8_t> old88 = OldBlock(88);
    ConvertUserMacros(block, 150, &old88);
    EXPECT_EQ(block[0].name, "Old 1");
    EXPECT_EQ(block[0].fftCode, 100);  // code 4 meant the smoothed FFT in this layout
    EXPECT_EQ(block[3].mlsOrder, 15);
    EXPECT_FALSE(block[3].atc);
    EXPECT_EQ(block[5].window, (TimeWindow{"old", 500, 7000, 22, 309}));
    EXPECT_EQ(block[4].averaging, 32);
    EXPECT_EQ(block[4].smoothing, 0);
    EXPECT_EQ(block[6].name, "User 5");

    const std::vector<uint8_t> old92 = OldBlock(92);
    ConvertUserMacros(block, 153, &old92);
    EXPECT_EQ(block[0].fftCode, 4);  // in the 92-byte layout only codes from 5 on are smoothed
    EXPECT_EQ(block[4].smoothing, 3);

    ConvertUserMacros(block, 152, &old92);  // wrong size for that version: defaults stay
    EXPECT_EQ(block[0].name, "User -1");
    EXPECT_EQ(block[2], DefaultUserMacro(3));

    block[3] = Sample();
    const UserMacroBlock before = block;
    ConvertUserMacros(block, 160, &old88);  // 1.60 already stored this layout
    EXPECT_EQ(block, before);
}

}  // namespace
}  // namespace fim
