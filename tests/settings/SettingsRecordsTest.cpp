#include "settings/SettingsRecords.h"

#include <gtest/gtest.h>

#include "settings/LeBlock.h"

namespace fim {
namespace {

TEST(LeBlock, FieldsAreLittleEndianAndAccessPastTheEndIsHarmless) {
    LeBlock b(8);
    b.PutI32(0, -2);
    b.PutU16(4, 0x1234);
    EXPECT_EQ(b.bytes(), (std::vector<uint8_t>{0xFE, 0xFF, 0xFF, 0xFF, 0x34, 0x12, 0, 0}));
    EXPECT_EQ(b.I32(0), -2);
    b.PutI32(6, 0x7F7F7F7F);  // would straddle the end: ignored
    EXPECT_EQ(b.U8(6), 0);
    EXPECT_EQ(b.I32(6), 0);
    EXPECT_EQ(b.U8(100), 0);
    b.PutF64(0, 20.0);
    EXPECT_EQ(b.bytes()[7], 0x40);
    EXPECT_EQ(b.bytes()[6], 0x34);
    EXPECT_EQ(b.F64(0), 20.0);
}

TEST(LeBlock, ShortStringsAreCutToTheirFieldAndZeroFilled) {
    LeBlock b(12);
    b.PutU8(11, 0xAA);  // sentinel right behind an 8-byte field at 3
    b.PutShortString(3, 8, "abcdefghij");
    EXPECT_EQ(b.U8(3), 7);
    EXPECT_EQ(b.ShortString(3, 8), "abcdefg");
    EXPECT_EQ(b.U8(11), 0xAA);
    b.PutShortString(3, 8, "x");
    EXPECT_EQ(b.ShortString(3, 8), "x");
    for (std::size_t i = 5; i < 11; ++i) EXPECT_EQ(b.U8(i), 0) << i;
    // A cut never splits a UTF-8 character: "ö" is two bytes and does not fit after "abcdef".
    b.PutShortString(3, 8, "abcdefö");
    EXPECT_EQ(b.ShortString(3, 8), "abcdef");
    // A damaged length byte larger than the field reads only the field.
    b.PutU8(3, 200);
    EXPECT_EQ(b.ShortString(3, 8).size(), 7u);
}

TEST(ColorTable, SchemesFillEntriesZeroToSixAndKeepTheRest) {
    ColorTable t = ColorTable::Default();
    EXPECT_EQ(t.entries[0], 0x000000u);
    EXPECT_EQ(t.entries[1], 0xFFFF00u);  // aqua: blue and green full, red 0
    EXPECT_EQ(t.entries[3], 0x0000FFu);  // red in the low byte
    EXPECT_EQ(t.entries[5], 0x800000u);
    t.entries[8] = 0x123456;
    t.ApplyScheme(ColorScheme::HarborStyle);
    EXPECT_EQ(t.entries[0], 0xFFFF00u);
    EXPECT_EQ(t.entries[5], 0xFF00FFu);
    EXPECT_EQ(t.entries[6], 0x008000u);
    EXPECT_EQ(t.entries[8], 0x123456u);
    t.ApplyScheme(ColorScheme::Chilly);
    EXPECT_EQ(t.entries[0], 0x0000FFu);
    EXPECT_EQ(t.entries[4], 0xFF0000u);

    const std::vector<uint8_t> bytes = EncodeColorTable(ColorTable::Default());
    ASSERT_EQ(bytes.size(), 40u);
    // Entry 1 (aqua 0x00FFFF00) at offset 4, little-endian.
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 4, bytes.begin() + 8),
              (std::vector<uint8_t>{0x00, 0xFF, 0xFF, 0x00}));
    EXPECT_EQ(DecodeColorTable(bytes), ColorTable::Default());
}

TEST(TimeWindowRecord, LayoutByHand) {
    const TimeWindow w = DefaultUserWindow2();
    EXPECT_EQ(w.samplesBefore, 35);  // 800 µs at 44100 Hz = 35.28
    EXPECT_EQ(w.samplesAfter, 847);  // 19200 µs = 846.72
    const std::vector<uint8_t> b = EncodeTimeWindow(w);
    ASSERT_EQ(b.size(), 48u);
    EXPECT_EQ(b[0], 6);
    EXPECT_EQ(std::string(b.begin() + 1, b.begin() + 7), "User 2");
    for (int i = 7; i < 32; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(b[32], 0x20);  // 800 = 0x0320
    EXPECT_EQ(b[33], 0x03);
    EXPECT_EQ(b[36], 0x00);  // 19200 = 0x4B00
    EXPECT_EQ(b[37], 0x4B);
    EXPECT_EQ(b[40], 35);
    EXPECT_EQ(DecodeTimeWindow(b), w);
}

TEST(AbsoluteWindowRecord, ImpossiblePairsFallBackPairByPair) {
    AbsoluteWindow w{100, 5000, 8000, 50};
    std::vector<uint8_t> b = EncodeAbsoluteWindow(w);
    EXPECT_EQ(b[0], 100);
    EXPECT_EQ(b[8], 0x40);  // 8000 = 0x1F40: saved end comes before saved start
    EXPECT_EQ(b[12], 50);
    EXPECT_EQ(DecodeAbsoluteWindow(b), w);

    LeBlock damaged(b);
    damaged.PutI32(4, 1 << 30);  // last end far past the buffer
    const AbsoluteWindow d = DecodeAbsoluteWindow(damaged.bytes());
    EXPECT_EQ(d.lastStart, 1);
    EXPECT_EQ(d.lastEnd, 1024);
    EXPECT_EQ(d.savedEnd, 8000);  // the other pair is intact and kept
    EXPECT_EQ(d.savedStart, 50);

    damaged.PutI32(12, 9000);  // saved start behind saved end
    EXPECT_EQ(DecodeAbsoluteWindow(damaged.bytes()).savedStart, 1);
}

TEST(ClockRecord, LayoutAndDamagedFields) {
    ClockSettings c;
    c.reference = 46000.75;
    c.mode = 1;
    c.action = 0;
    c.soundFile = "/home/fim/alarm.wav";
    const std::vector<uint8_t> b = EncodeClockSettings(c);
    ASSERT_EQ(b.size(), 272u);
    EXPECT_EQ(b[8], 1);
    EXPECT_EQ(b[16], c.soundFile.size());
    EXPECT_EQ(DecodeClockSettings(b, 1.0), c);

    LeBlock damaged(b);
    damaged.PutU16(8, 7);
    damaged.PutI32(12, -1);
    damaged.PutF64(0, std::numeric_limits<double>::quiet_NaN());
    const ClockSettings d = DecodeClockSettings(damaged.bytes(), 45000.5);
    EXPECT_EQ(d.mode, 0);
    EXPECT_EQ(d.action, 1);
    EXPECT_EQ(d.reference, 45000.5);
    EXPECT_EQ(d.soundFile, c.soundFile);
}

TEST(FinderAndTflRecords, DefaultsLayoutAndRanges) {
    const std::vector<uint8_t> fbf = EncodeFinderSettings(FinderSettings{});
    ASSERT_EQ(fbf.size(), 20u);
    EXPECT_EQ(LeBlock(fbf).I32(0), 1);
    EXPECT_EQ(LeBlock(fbf).I32(8), 1);
    EXPECT_EQ(fbf[12], 1);
    EXPECT_EQ(fbf[13], 0);  // padding written as zero
    EXPECT_EQ(LeBlock(fbf).I32(16), 1);

    LeBlock damaged(fbf);
    damaged.PutI32(0, 9);    // no such display mode
    damaged.PutI32(4, -15);  // a valid threshold is kept
    damaged.PutI32(8, -1);
    damaged.PutU8(13, 0xCC);  // padding is ignored
    const FinderSettings f = DecodeFinderSettings(damaged.bytes());
    EXPECT_EQ(f.DisplayMode, 1);
    EXPECT_EQ(f.TriggerThreshold, -15);
    EXPECT_EQ(f.Resolution, 1);

    const std::vector<uint8_t> tfl = EncodeTflSettings(TflSettings{});
    ASSERT_EQ(tfl.size(), 16u);
    EXPECT_EQ(LeBlock(tfl).I32(4), 0);
    EXPECT_EQ(LeBlock(tfl).I32(8), 100);
    EXPECT_EQ(LeBlock(tfl).I32(12), 128);
    LeBlock badTfl(tfl);
    badTfl.PutI32(12, 100000);
    EXPECT_EQ(DecodeTflSettings(badTfl.bytes()).BlockLength, 128);
}

}  // namespace
}  // namespace fim
