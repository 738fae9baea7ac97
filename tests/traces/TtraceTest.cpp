#include <gtest/gtest.h>

#include "TraceTestData.h"
#include "core/FileTexts.h"
#include "settings/MemorySettingsTree.h"
#include "shell/Catalog.h"
#include "shell/ScriptedPrompter.h"
#include "traces/Ttrace.h"

namespace fim {
namespace {

using testing::MakeSpectrum;

double Ramp(int i) { return 1.0 + i; }
double Zero(int) { return 0.0; }

TEST(TraceSettingsBlock, ByteLayoutAndLimits) {
    const auto b = EncodeTraceSettings({"C:\\data\\hall.smr", 0x00804020, true});
    ASSERT_EQ(b.size(), 212u);
    EXPECT_EQ(b[0], 16);
    EXPECT_EQ(std::string(b.begin() + 1, b.begin() + 17), "C:\\data\\hall.smr");
    EXPECT_EQ(b[17], 0);
    EXPECT_EQ((std::vector<uint8_t>(b.begin() + 204, b.begin() + 209)),
              (std::vector<uint8_t>{0x20, 0x40, 0x80, 0x00, 1}));
    const auto back = DecodeTraceSettings(b);
    EXPECT_EQ(back.FileName, "C:\\data\\hall.smr");
    EXPECT_EQ(back.Colour, 0x00804020);
    EXPECT_TRUE(back.Loaded);
    EXPECT_EQ(TraceLabelFromPath(back.FileName), "hall");

    const std::string longest(200, 'a');
    EXPECT_EQ(DecodeTraceSettings(EncodeTraceSettings({longest, 5, true})).FileName, longest);
    // A path that does not fit is stored as not loaded: a cut path would name another file.
    EXPECT_FALSE(DecodeTraceSettings(EncodeTraceSettings({longest + "a", 5, true})).Loaded);
    auto damaged = b;
    damaged[0] = 250;
    EXPECT_FALSE(DecodeTraceSettings(damaged).Loaded);
    EXPECT_EQ(DecodeTraceSettings(damaged).Colour, 0x00804020);
}

TEST(Ttrace, SurvivesRestartThroughSettings) {
    testing::TempDir dir;
    const std::string path = dir.File("hall.smr");
    const auto s = MakeSpectrum(Ramp, Zero);
    ASSERT_TRUE(WriteTraceFile(path, 100.0, 44100.0, s));
    MemorySettingsTree tree;
    ScriptedPrompter prompter;
    {
        Ttrace t(2, &tree, &prompter, 0x00FF00);
        EXPECT_FALSE(t.ButtonsEnabled());
        EXPECT_EQ(t.GetName(), Msg(228));
        ASSERT_TRUE(t.LoadFromFile(path));
        t.SetColour(0x123456);
    }
    Ttrace again(2, &tree, &prompter, 0x00FF00);
    EXPECT_TRUE(again.Loaded);
    EXPECT_EQ(again.Colour, 0x123456u);
    EXPECT_EQ(again.GetName(), "hall");
    EXPECT_EQ(again.LowFrequencyLimit, 100.0);
    EXPECT_EQ(again.GetRecords()[17].Magnitude, s[17].Magnitude);
    EXPECT_FALSE(tree.HasValue("Trace 1"));
    EXPECT_TRUE(prompter.shown.empty());

    // The file vanished before the next start: reported, not loaded, colour kept.
    std::filesystem::remove(path);
    Ttrace third(2, &tree, &prompter, 0x00FF00);
    EXPECT_FALSE(third.Loaded);
    EXPECT_EQ(third.Colour, 0x123456u);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, FileMessage(FileText::NotLoaded));
    // Said once: the name is forgotten at once, not only when the trace is put away.
    Ttrace fourth(2, &tree, &prompter, 0x00FF00);
    EXPECT_FALSE(fourth.Loaded);
    EXPECT_EQ(fourth.Colour, 0x123456u);
    EXPECT_EQ(prompter.shown.size(), 1u);
}

TEST(Ttrace, RefusedLoadChangesNothing) {
    testing::TempDir dir;
    const std::string good = dir.File("good.smr");
    ASSERT_TRUE(WriteTraceFile(good, 100.0, 44100.0, MakeSpectrum(Ramp, Zero)));
    const std::string empty = dir.File("empty.smr");  // no record above its lowest frequency
    ASSERT_TRUE(WriteTraceFile(empty, 30000.0, 44100.0, MakeSpectrum(Ramp, Zero)));
    ScriptedPrompter prompter;
    Ttrace t(1, nullptr, &prompter, 0xFF);
    ASSERT_TRUE(t.LoadFromFile(good));
    const double ref = t.OwnReference;
    EXPECT_FALSE(t.LoadFromFile(empty));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_NE(prompter.shown[0].text.find("empty.smr"), std::string::npos);
    EXPECT_EQ(t.FileName, good);
    EXPECT_EQ(t.OwnReference, ref);
    EXPECT_EQ(t.LowFrequencyLimit, 100.0);
}

}  // namespace
}  // namespace fim
