#include <gtest/gtest.h>

#include <set>

#include "base/Catalog.h"
#include "base/LeBlock.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "settings/ProgramSettings.h"

namespace fim {
namespace {

// One start of the program over `tree`: the files named in `existing` are the only ones that
// exist.
struct Start {
    ProgramSettings settings;
    MeasurementState state;
    SettingsLoadReport report;
    ScriptedPrompter prompter;

    Start(SettingsTree& tree, std::set<std::string> existing = {}) {
        SettingsEnvironment env;
        env.prompter = &prompter;
        env.fileExists = [existing](const std::string& f) { return existing.count(f) > 0; };
        env.currentDir = "/home/engineer";
        env.now = 46000.5;
        report = LoadProgramSettings(tree, settings, state, env);
    }
};

TEST(ProgramSettingsLoad, FirstStartGivesTheDefaultsAndStoresVersionWithMacros) {
    MemorySettingsTree tree;
    Start s(tree);
    EXPECT_TRUE(s.report.firstStart);
    EXPECT_TRUE(s.report.openHelpTopic);  // no MLSVOL yet
    EXPECT_EQ(s.state.SampleRate, 44100);
    EXPECT_EQ(s.state.FftSize, 4096);
    EXPECT_EQ(s.state.MlsOrder, 12);
    EXPECT_EQ(s.state.SampleBits, 16);
    EXPECT_DOUBLE_EQ(s.state.SoundSpeed, 343.3);
    EXPECT_EQ(s.state.AveragesTarget, 1);
    EXPECT_EQ(s.state.OutputLevelDb, -6);
    EXPECT_EQ(s.settings.AbsWin, (AbsoluteWindow{1, 1024, 1024, 1}));
    EXPECT_EQ(s.settings.Geometry, (WindowGeometry{466, 335, 100, 100}));
    ProgramSettings expected;  // every other value is its declared default
    expected.DataFolder = "/home/engineer";
    expected.Clock.reference = 46000.5;
    expected.Version = kSettingsVersion;
    EXPECT_EQ(s.settings, expected);

    ASSERT_EQ(s.prompter.shown.size(), 1u);
    EXPECT_EQ(s.prompter.shown[0].caption, Msg(7));
    EXPECT_EQ(s.prompter.shown[0].text, Msg(5) + "0" + Msg(6) + "171");
    // The factory macros went out with the version, so the next start reads them back.
    EXPECT_EQ(tree.ReadInteger("Version"), 17100);
    Start again(tree);
    EXPECT_TRUE(again.prompter.shown.empty());
    EXPECT_FALSE(again.report.firstStart);
    EXPECT_EQ(again.settings.Macros, FactoryUserMacros());
}

TEST(ProgramSettingsLoad, RangeRules) {
    MemorySettingsTree tree;
    tree.WriteInteger("VERSION", 17100);
    tree.WriteInteger("MLSVOL", 3);
    tree.WriteInteger("ATC", 5);
    tree.WriteInteger("Mittelung", 3);
    Start a(tree);
    EXPECT_EQ(a.state.OutputLevelDb, -6);
    EXPECT_FALSE(a.report.openHelpTopic);
    EXPECT_EQ(a.state.AtcMode, 1);
    EXPECT_EQ(a.state.AveragesTarget, 1);

    tree.WriteInteger("MLSVOL", -20);
    tree.WriteInteger("ATC", -1);  // below 1 means off and stays
    tree.WriteInteger("Mittelung", 64);
    Start b(tree);
    EXPECT_EQ(b.state.OutputLevelDb, -20);
    EXPECT_EQ(b.state.AtcMode, -1);
    EXPECT_EQ(b.state.AveragesTarget, 64);

    tree.WriteBool("Averages Reset", true);  // auto-reset restores No Averaging
    EXPECT_EQ(Start(tree).state.AveragesTarget, 1);
}

TEST(ProgramSettingsLoad, VersionCheckConvertsOlderMacroBlocks) {
    MemorySettingsTree tree;
    tree.WriteInteger("VERSION", 16000);
    UserMacroBlock custom = FactoryUserMacros();
    custom[7].name = "Delay tower";
    tree.WriteBinary("Nusermakro1", EncodeUserMacroBlock(custom));
    Start v160(tree);
    ASSERT_EQ(v160.prompter.shown.size(), 1u);
    EXPECT_EQ(v160.prompter.shown[0].text, Msg(5) + "160" + Msg(6) + "171");
    EXPECT_EQ(v160.settings.Macros[7].name, "Delay tower");
    EXPECT_TRUE(Start(tree).prompter.shown.empty());  // 17100 stored now

    tree.WriteInteger("VERSION", 15000);
    LeBlock old(6 * 88);
    old.PutShortString(0, 31, "Main PA");
    old.PutU8(31, 14);
    old.PutI32(84, 4);
    tree.WriteBinary("Nusermakro1", old.bytes());
    Start v150(tree);
    EXPECT_EQ(v150.prompter.shown.at(0).text, Msg(5) + "150" + Msg(6) + "171");
    EXPECT_EQ(v150.settings.Macros[0].name, "Main PA");
    EXPECT_EQ(v150.settings.Macros[0].mlsOrder, 14);
    EXPECT_EQ(v150.settings.Macros[0].averaging, 4);
    // The converted block replaced the old one together with the version.
    Start next(tree);
    EXPECT_TRUE(next.prompter.shown.empty());
    EXPECT_EQ(next.settings.Macros[0].name, "Main PA");
}

TEST(ProgramSettingsLoad, RecentListsDependOnTheirFirstFile) {
    MemorySettingsTree tree;
    tree.WriteInteger("VERSION", 17100);
    tree.WriteString("Calfile1", "/cal/a.cal");
    tree.WriteString("Calfile2", "/cal/gone.cal");
    tree.WriteString("Calfile3", "**");
    tree.WriteString("Calfile4", "/cal/after-end.cal");
    tree.WriteString("Overfile1", "/ov/x.smr");
    Start a(tree, {"/cal/a.cal"});
    EXPECT_EQ(a.settings.CalFiles, (std::vector<std::string>{"/cal/a.cal", "/cal/gone.cal"}));
    EXPECT_TRUE(a.settings.OverlayFiles.empty());
    Start b(tree, {"/cal/gone.cal", "/ov/x.smr"});
    EXPECT_TRUE(b.settings.CalFiles.empty());
    EXPECT_EQ(b.settings.OverlayFiles, (std::vector<std::string>{"/ov/x.smr"}));
    tree.WriteInteger("Calfile2", 7);  // a value of the wrong type empties the list
    EXPECT_TRUE(Start(tree, {"/cal/a.cal"}).settings.CalFiles.empty());
}

TEST(ProgramSettingsLoad, GarbageGivesDefaultsForTheAffectedValuesOnly) {
    MemorySettingsTree tree;
    tree.WriteInteger("VERSION", 17100);
    tree.WriteString("Samplerate", "fast");
    tree.WriteInteger("MLS Traps", 40);
    tree.WriteInteger("FFT SIZE", 5000);
    tree.WriteBinary("Temperatur", {0, 0, 0, 0, 0, 0, 0xF8, 0x7F});  // NaN
    tree.WriteBinary("ABSWIN", std::vector<uint8_t>(15, 0xFF));      // truncated
    tree.WriteBinary("Display Color", std::vector<uint8_t>(41, 0x11));
    tree.WriteInteger("Breite", -5);
    tree.WriteInteger("Höhe", 600);  // intact values next to the garbage are kept
    LeBlock macros(EncodeUserMacroBlock(FactoryUserMacros()));
    macros.PutU8(2 * 1348 + 806, 30);  // an MLS order the buffers cannot hold
    tree.WriteBinary("Nusermakro1", macros.bytes());
    Start s(tree);
    EXPECT_EQ(s.state.SampleRate, 44100);
    EXPECT_EQ(s.state.MlsOrder, 12);
    EXPECT_EQ(s.state.FftSize, 4096);
    EXPECT_EQ(s.state.Temperature, 20.0);
    EXPECT_EQ(s.settings.AbsWin, AbsoluteWindow{});
    EXPECT_EQ(s.settings.Colors, ColorTable::Default());
    EXPECT_EQ(s.settings.Geometry, (WindowGeometry{466, 600, 100, 100}));
    UserMacroBlock repaired = FactoryUserMacros();
    repaired[2].mlsOrder = 15;  // the plain default; the other macros are kept as stored
    EXPECT_EQ(s.settings.Macros, repaired);
}

TEST(ProgramSettingsLoad, UnreadableKeyShowsMessageFour) {
    MemorySettingsTree tree;
    tree.status = SettingsStatus::Unreadable;
    Start s(tree);
    EXPECT_TRUE(s.report.accessFailed);
    ASSERT_FALSE(s.prompter.shown.empty());
    EXPECT_EQ(s.prompter.shown[0].text, Msg(4));
    EXPECT_EQ(s.prompter.shown[0].icon, PromptIcon::Stop);
}

TEST(ProgramSettingsSave, WritesEveryValueOnceAndFillsEmptySlots) {
    MemorySettingsTree tree;
    ProgramSettings s;
    s.CalFiles = {"/c/1.cal"};
    MeasurementState m;
    m.SampleRate = 32000;
    ASSERT_TRUE(SaveProgramSettings(tree, s, m, 7, 900));
    EXPECT_EQ(tree.ReadString("CALFILE1"), "/c/1.cal");
    EXPECT_EQ(tree.ReadString("Overfile8"), "**");
    EXPECT_EQ(tree.ReadInteger("Samplerate"), 32000);  // written as "SAMPLERATE"
    EXPECT_EQ(LeBlock(*tree.ReadBinary("ABSWIN")).I32(4), 900);
    // 16 list slots, 8 blocks, 21 booleans, 2 floats, 20 integers, 6 strings; no VERSION, and
    // no device names while none is chosen.
    EXPECT_EQ(tree.Count(), 73u);
    // Exports are stamped and drift is only reported unless the user chooses otherwise.
    EXPECT_EQ(tree.ReadBool("STAMP EXPORTS"), true);
    EXPECT_EQ(tree.ReadBool("DRIFT CORRECTION"), false);
    EXPECT_EQ(tree.ReadFloat("DRIFT WARNING"), 5.0);
    EXPECT_FALSE(tree.HasValue("VERSION"));
    EXPECT_FALSE(tree.HasValue("INCARD"));

    // Continuous averaging is off unless stored on, and survives a restart.
    EXPECT_EQ(tree.ReadBool("Continuous"), false);
    tree.WriteInteger("VERSION", kSettingsVersion);
    m.ContinuousAveraging = true;
    ASSERT_TRUE(SaveProgramSettings(tree, s, m, 7, 900));
    EXPECT_TRUE(Start(tree).state.ContinuousAveraging);
    tree.Clear();
    EXPECT_FALSE(Start(tree).state.ContinuousAveraging);
}

TEST(ProgramSettingsSave, MicCorrectionAndDevicesSurviveARestart) {
    MemorySettingsTree tree;
    tree.WriteInteger("VERSION", kSettingsVersion);
    Start first(tree);
    EXPECT_EQ(first.settings.MicCalData, "");
    // While the program runs, other windows store a correction file and a device choice.
    tree.WriteString("MIC CAL DATA", "/mic/k.smc");
    WriteDeviceNames(tree, "USB In", "USB Out");
    TakeSharedValues(tree, first.settings);
    tree.Clear();  // the save alone must carry them
    ASSERT_TRUE(SaveProgramSettings(tree, first.settings, first.state, 1, 1024));

    Start second(tree);
    EXPECT_EQ(second.settings.MicCalData, "/mic/k.smc");
    EXPECT_EQ(second.settings.InputDevice, "USB In");
    EXPECT_EQ(second.settings.OutputDevice, "USB Out");
    EXPECT_EQ(second.settings, first.settings);
}

TEST(ProgramSettingsSave, AWindowStartingAfterThePeakSurvivesARestart) {
    MemorySettingsTree tree;
    tree.WriteInteger("VERSION", kSettingsVersion);
    Start first(tree);
    first.settings.User1.timeBefore = -1000;  // a reflection 1 ms after the direct sound
    first.settings.User1.timeAfter = 9600;
    first.settings.Macros[3].window.timeBefore = -500;
    first.settings.User2.timeBefore = -5000;  // no samples at all: not a window
    first.settings.User2.timeAfter = 5000;
    ASSERT_TRUE(SaveProgramSettings(tree, first.settings, first.state, 1, 1024));

    Start second(tree);
    EXPECT_EQ(second.settings.User1.timeBefore, -1000);
    EXPECT_EQ(second.settings.User1.timeAfter, 9600);
    EXPECT_EQ(second.settings.Macros[3].window.timeBefore, -500);
    EXPECT_EQ(second.settings.User2, ProgramSettings().User2);
}

}  // namespace
}  // namespace fim
