#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TraceTestData.h"
#include "settings/MemorySettingsTree.h"
#include "shell/Catalog.h"
#include "shell/ScriptedPrompter.h"
#include "traces/Ttrace.h"

namespace fim {
namespace {

using testing::MakeSpectrum;

double Ramp(int i) { return 1.0 + i; }
double Flat(int) { return 2.0; }
double Zero(int) { return 0.0; }

void WriteTrace(const std::string& path, double lowest, const SmoothSpectrum& s) {
    ASSERT_TRUE(WriteFileAtomically(path, EncodeTraceFile(lowest, 44100.0, s)));
}

TEST(TraceSettingsBlock, ByteLayout) {
    TraceSettingsBlock block{"C:\\data\\hall.smr", static_cast<int32_t>(0x00804020), true};
    const auto b = EncodeTraceSettings(block);
    ASSERT_EQ(b.size(), 212u);
    EXPECT_EQ(b[0], 16);
    EXPECT_EQ(std::string(b.begin() + 1, b.begin() + 17), "C:\\data\\hall.smr");
    EXPECT_EQ(b[17], 0);
    EXPECT_EQ(b[204], 0x20);
    EXPECT_EQ(b[205], 0x40);
    EXPECT_EQ(b[206], 0x80);
    EXPECT_EQ(b[207], 0x00);
    EXPECT_EQ(b[208], 1);

    const auto back = DecodeTraceSettings(b);
    EXPECT_EQ(back.FileName, block.FileName);
    EXPECT_EQ(back.Colour, block.Colour);
    EXPECT_TRUE(back.Loaded);

    // Not loaded: the name is ignored on reading whatever the field holds.
    auto notLoaded = b;
    notLoaded[208] = 0;
    EXPECT_FALSE(DecodeTraceSettings(notLoaded).Loaded);
    EXPECT_EQ(DecodeTraceSettings(notLoaded).FileName, "");
    // Negative colours survive as signed values.
    const auto neg = DecodeTraceSettings(EncodeTraceSettings({"", -2, false}));
    EXPECT_EQ(neg.Colour, -2);
}

TEST(TraceSettingsBlock, NameLimits) {
    const std::string longest(200, 'a');
    const auto b = EncodeTraceSettings({longest, 5, true});
    EXPECT_EQ(b[0], 200);
    EXPECT_EQ(DecodeTraceSettings(b).FileName, longest);

    // A path that does not fit is not stored as loaded: a cut path would name another file.
    const auto tooLong = EncodeTraceSettings({std::string(201, 'a'), 5, true});
    EXPECT_EQ(tooLong[208], 0);
    EXPECT_FALSE(DecodeTraceSettings(tooLong).Loaded);

    // A damaged length byte: nothing loaded, colour kept.
    auto damaged = b;
    damaged[0] = 250;
    const auto d = DecodeTraceSettings(damaged);
    EXPECT_FALSE(d.Loaded);
    EXPECT_EQ(d.Colour, 5);
    // A block of another size reads as defaults.
    EXPECT_FALSE(DecodeTraceSettings(std::vector<uint8_t>(211, 1)).Loaded);
}

TEST(TraceLabel, FileNameWithoutFolderAndExtension) {
    EXPECT_EQ(TraceLabelFromPath("C:\\data\\hall.smr"), "hall");
    EXPECT_EQ(TraceLabelFromPath("/home/pa/front left.SMR"), "front left");
    EXPECT_EQ(TraceLabelFromPath("abc"), "");
}

TEST(Ttrace, SurvivesRestartThroughSettings) {
    testing::TempDir dir;
    const std::string path = dir.File("hall.smr");
    const auto s = MakeSpectrum(Ramp, Zero);
    WriteTrace(path, 100.0, s);
    MemorySettingsTree tree;
    ScriptedPrompter prompter;
    {
        Ttrace t(2, &tree, &prompter, 0x00FF00);
        EXPECT_FALSE(t.Loaded);
        EXPECT_FALSE(t.ButtonsEnabled());
        EXPECT_EQ(t.GetName(), Msg(228));
        EXPECT_EQ(t.LowFrequencyLimit, 50.0);
        ASSERT_TRUE(t.LoadFromFile(path));
        t.SetColour(0x123456);
        EXPECT_EQ(t.GetName(), "hall");
        EXPECT_TRUE(t.ButtonsEnabled());
    }
    ASSERT_TRUE(tree.ReadBlock("TRACE 2", 212).has_value());
    EXPECT_FALSE(tree.HasValue("Trace 1"));

    Ttrace again(2, &tree, &prompter, 0x00FF00);
    EXPECT_TRUE(again.Loaded);
    EXPECT_EQ(again.Colour, 0x123456u);
    EXPECT_EQ(again.FileName, path);
    EXPECT_EQ(again.LowFrequencyLimit, 100.0);
    ASSERT_EQ(again.GetRecords().size(), 295u);
    EXPECT_EQ(again.GetRecords()[17].Magnitude, s[17].Magnitude);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST(Ttrace, RefusedLoadChangesNothing) {
    testing::TempDir dir;
    const std::string good = dir.File("good.smr");
    WriteTrace(good, 100.0, MakeSpectrum(Ramp, Zero));
    // Every record below the lowest valid frequency: no level reference, refused.
    const std::string empty = dir.File("empty.smr");
    WriteTrace(empty, 30000.0, MakeSpectrum(Flat, Zero));

    ScriptedPrompter prompter;
    Ttrace t(1, nullptr, &prompter, 0xFF);
    ASSERT_TRUE(t.LoadFromFile(good));
    const double ref = t.OwnReference;

    EXPECT_FALSE(t.LoadFromFile(empty));
    EXPECT_FALSE(t.LoadFromFile(dir.File("missing.smr")));
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_NE(prompter.shown[0].text.find("empty.smr"), std::string::npos);
    EXPECT_EQ(t.FileName, good);
    EXPECT_EQ(t.OwnReference, ref);
    EXPECT_EQ(t.LowFrequencyLimit, 100.0);
    EXPECT_EQ(t.GetRecords()[0].Magnitude, 1.0);
}

TEST(Ttrace, StoredTraceWhoseFileVanishedStartsUnloaded) {
    MemorySettingsTree tree;
    tree.WriteBinary("Trace 3", EncodeTraceSettings({"/nowhere/x.smr", 0x0000FF, true}));
    ScriptedPrompter prompter;
    Ttrace t(3, &tree, &prompter, 0x00FFFF);
    EXPECT_FALSE(t.Loaded);
    EXPECT_EQ(t.Colour, 0x0000FFu);
    EXPECT_EQ(prompter.shown.size(), 1u);
}

TEST(Ttrace, ReferencesForDrawingAndAverage) {
    testing::TempDir dir;
    const std::string path = dir.File("t.smr");
    WriteTrace(path, 100.0, MakeSpectrum(Flat, Zero));
    Ttrace t(1, nullptr, nullptr, 0);
    EXPECT_EQ(t.GetAverageReference(), 0.0);
    t.ShowDown = true;
    EXPECT_FALSE(t.PrepareDraw(3.0));  // nothing loaded
    ASSERT_TRUE(t.LoadFromFile(path));
    EXPECT_EQ(t.OwnReference, 2.0);
    EXPECT_EQ(t.GetAverageReference(), 0.0);
    t.AverageDown = true;
    EXPECT_EQ(t.GetAverageReference(), 2.0);
    ASSERT_TRUE(t.PrepareDraw(3.0));
    EXPECT_EQ(t.DisplayReference, 3.0);
    t.CentreDown = true;
    ASSERT_TRUE(t.PrepareDraw(3.0));
    EXPECT_EQ(t.DisplayReference, 2.0);
    t.SetCentred(false, 7.0);
    EXPECT_EQ(t.DisplayReference, 7.0);
    t.SetCentred(true, 7.0);
    EXPECT_EQ(t.DisplayReference, 2.0);
}

}  // namespace
}  // namespace fim
