#include <gtest/gtest.h>

#include "base/LeBlock.h"
#include "settings/SettingsRecords.h"

namespace fim {
namespace {

TEST(LeBlock, ShortStringsStayInsideTheirField) {
    LeBlock b(12);
    b.PutU8(11, 0xAA);  // sentinel right behind an 8-byte field at 3
    b.PutShortString(3, 8, "abcdefghij");
    EXPECT_EQ(b.ShortString(3, 8), "abcdefg");
    EXPECT_EQ(b.U8(11), 0xAA);
    b.PutShortString(3, 8, "abcdefö");  // "ö" is two bytes: the cut must not split it
    EXPECT_EQ(b.ShortString(3, 8), "abcdef");
    EXPECT_EQ(b.U8(10), 0);  // zero-filled behind the text
    b.PutU8(3, 200);         // a damaged length byte reads only the field
    EXPECT_EQ(b.ShortString(3, 8).size(), 7u);
    b.PutI32(9, -1);  // would straddle the end: ignored
    EXPECT_EQ(b.U8(11), 0xAA);
    EXPECT_EQ(b.I32(9), 0);
}

TEST(ColorTable, SchemesAndStoredLayout) {
    ColorTable t = ColorTable::Default();
    const std::vector<uint8_t> bytes = EncodeColorTable(t);
    ASSERT_EQ(bytes.size(), 40u);
    // Entry 1 is aqua, 0x00FFFF00 (red in the low byte), at offset 4.
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 4, bytes.begin() + 8),
              (std::vector<uint8_t>{0x00, 0xFF, 0xFF, 0x00}));
    t.entries[8] = 0x123456;
    t.ApplyScheme(ColorScheme::HarborStyle);
    EXPECT_EQ(t.entries[5], 0xFF00FFu);
    EXPECT_EQ(t.entries[8], 0x123456u);  // entries 7–9 are not part of a scheme
    t.ApplyScheme(ColorScheme::Chilly);
    EXPECT_EQ(t.entries[0], 0x0000FFu);
    EXPECT_EQ(DecodeColorTable(EncodeColorTable(t)), t);
}

TEST(AbsoluteWindowRecord, ImpossiblePairsFallBackPairByPair) {
    const AbsoluteWindow w{100, 5000, 8000, 50};
    LeBlock b(EncodeAbsoluteWindow(w));
    EXPECT_EQ(b.I32(8), 8000);  // saved end comes before saved start
    EXPECT_EQ(DecodeAbsoluteWindow(b.bytes()), w);
    b.PutI32(4, 1 << 30);  // last end far past the impulse-response buffer
    b.PutI32(12, 9000);    // saved start behind saved end
    EXPECT_EQ(DecodeAbsoluteWindow(b.bytes()), AbsoluteWindow{});
    b.PutI32(12, 50);
    EXPECT_EQ(DecodeAbsoluteWindow(b.bytes()), (AbsoluteWindow{1, 1024, 8000, 50}));
}

TEST(SmallRecords, LayoutsAndDamagedFields) {
    LeBlock clock(EncodeClockSettings(ClockSettings{46000.75, 1, 0, "/snd/alarm.wav"}));
    ASSERT_EQ(clock.size(), 272u);
    EXPECT_EQ(clock.U16(8), 1);
    EXPECT_EQ(clock.ShortString(16, 256), "/snd/alarm.wav");
    clock.PutU16(8, 7);
    clock.PutF64(0, std::numeric_limits<double>::quiet_NaN());
    const ClockSettings c = DecodeClockSettings(clock.bytes(), 45000.5);
    EXPECT_EQ(c.mode, 0);
    EXPECT_EQ(c.reference, 45000.5);
    EXPECT_EQ(c.action, 0);

    LeBlock fbf(EncodeFinderSettings(FinderSettings{}));
    ASSERT_EQ(fbf.size(), 20u);
    EXPECT_EQ(fbf.I32(0), 1);
    EXPECT_EQ(fbf.U8(12), 1);
    EXPECT_EQ(fbf.I32(16), 1);
    fbf.PutI32(0, 9);  // no such display mode
    fbf.PutI32(4, -15);
    fbf.PutU8(13, 0xCC);  // padding is ignored
    EXPECT_EQ(DecodeFinderSettings(fbf.bytes()), (FinderSettings{1, -15, 1, 1, 1}));
}

}  // namespace
}  // namespace fim
