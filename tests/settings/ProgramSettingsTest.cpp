#include "settings/ProgramSettings.h"

#include <gtest/gtest.h>

#include <set>

#include "settings/LeBlock.h"
#include "settings/MemorySettingsTree.h"
#include "shell/Catalog.h"
#include "shell/ScriptedPrompter.h"

namespace fim {
namespace {

struct Loaded {
    ProgramSettings settings;
    MeasurementState state;
    SettingsLoadReport report;
    ScriptedPrompter prompter;
};

// Loads `tree` with a scripted prompter; the files named in `existing` are the only ones that
// exist.
void Load(SettingsTree& tree, Loaded& out, std::set<std::string> existing = {}) {
    SettingsEnvironment env;
    env.prompter = &out.prompter;
    env.fileExists = [existing](const std::string& f) { return existing.count(f) > 0; };
    env.currentDir = "/home/engineer";
    env.now = 46000.5;
    out.report = LoadProgramSettings(tree, out.settings, out.state, env);
}

TEST(ProgramSettingsLoad, EmptyTreeGivesEveryDefault) {
    MemorySettingsTree tree;
    Loaded l;
    Load(tree, l);
    const MeasurementState& m = l.state;
    const ProgramSettings& s = l.settings;
    EXPECT_TRUE(l.report.firstStart);
    EXPECT_TRUE(l.report.openHelpTopic);
    EXPECT_EQ(m.SampleRate, 44100);
    EXPECT_EQ(m.FftSize, 4096);
    EXPECT_EQ(m.MlsOrder, 12);
    EXPECT_EQ(m.SampleBits, 16);
    EXPECT_EQ(m.Temperature, 20.0);
    EXPECT_DOUBLE_EQ(m.SoundSpeed, 343.3);
    EXPECT_EQ(m.OutputLevelDb, -6);
    EXPECT_EQ(m.AtcMode, 1);
    EXPECT_TRUE(m.PeakSync);
    EXPECT_EQ(m.SyncMode, 0);
    EXPECT_EQ(m.SyncTime, 20);
    EXPECT_TRUE(m.IgnoreFirst);
    EXPECT_TRUE(m.QualityCheck);
    EXPECT_FALSE(m.ShowIntermediate);
    EXPECT_FALSE(m.PinkMls);
    EXPECT_FALSE(m.AutoReset);
    EXPECT_EQ(m.AveragesTarget, 1);
    EXPECT_TRUE(s.Metric);
    EXPECT_EQ(s.AbsWin, AbsoluteWindow{});
    EXPECT_EQ(s.AbsWin.lastStart, 1);
    EXPECT_EQ(s.AbsWin.lastEnd, 1024);
    EXPECT_EQ(s.Colors, ColorTable::Default());
    EXPECT_EQ(s.Geometry, (WindowGeometry{466, 335, 100, 100}));
    EXPECT_EQ(s.Smoothing, 1);
    EXPECT_EQ(s.PenWidth, 2);
    EXPECT_EQ(s.OverlayPenWidth, 1);
    EXPECT_EQ(s.AsciiOffset, 80);
    EXPECT_EQ(s.Lme, 3);
    EXPECT_EQ(s.FileMode, 2);
    EXPECT_TRUE(s.OverwritePrompt);
    EXPECT_TRUE(s.WarnMlsChange && s.WarnSampleRate && s.WarnAveraging && s.WarnCal);
    EXPECT_FALSE(s.QuickDraw || s.QuickDelay || s.AutoScale || s.AutoMinimize);
    EXPECT_EQ(s.DataFolder, "/home/engineer");
    EXPECT_TRUE(s.CalFiles.empty());
    EXPECT_TRUE(s.OverlayFiles.empty());
    EXPECT_EQ(s.User1.name, "User 1");
    EXPECT_EQ(s.User1.timeBefore, 400);
    EXPECT_EQ(s.User1.timeAfter, 9600);
    EXPECT_EQ(s.User2.timeAfter, 19200);
    EXPECT_EQ(s.Clock.reference, 46000.5);
    EXPECT_EQ(s.Clock.action, 1);
    EXPECT_EQ(s.Finder.DisplayMode, 1);
    EXPECT_EQ(s.Tfl.BlockLength, 128);
    EXPECT_EQ(s.Macros, FactoryUserMacros());
    EXPECT_EQ(s.InputDevice, "");
}

TEST(ProgramSettingsLoad, FirstStartShowsTheUpdateFromZeroAndStoresTheVersion) {
    MemorySettingsTree tree;
    Loaded l;
    Load(tree, l);
    ASSERT_EQ(l.prompter.shown.size(), 1u);
    EXPECT_EQ(l.prompter.shown[0].caption, Msg(7));
    EXPECT_EQ(l.prompter.shown[0].text, Msg(5) + "0" + Msg(6) + "171");
    EXPECT_EQ(l.prompter.shown[0].icon, PromptIcon::Information);
    EXPECT_TRUE(l.report.versionUpdated);
    EXPECT_EQ(tree.ReadInteger("Version"), 17100);
    // The factory macros are stored with the version, so the next start reads them back.
    const auto stored = tree.ReadBlock("Nusermakro1", kUserMacroBlockBytes);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(DecodeUserMacroBlock(*stored), FactoryUserMacros());

    Loaded again;
    Load(tree, again);
    EXPECT_TRUE(again.prompter.shown.empty());
    EXPECT_FALSE(again.report.firstStart);
    EXPECT_EQ(again.settings.Macros, FactoryUserMacros());
}

TEST(ProgramSettingsLoad, RangeRules) {
    MemorySettingsTree tree;
    tree.WriteInteger("MLSVOL", 3);
    tree.WriteInteger("ATC", 5);
    tree.WriteInteger("Mittelung", 3);
    tree.WriteInteger("VERSION", 17100);
    Loaded l;
    Load(tree, l);
    EXPECT_EQ(l.state.OutputLevelDb, -6);
    EXPECT_FALSE(l.report.openHelpTopic);  // MLSVOL exists
    EXPECT_EQ(l.state.AtcMode, 1);
    EXPECT_EQ(l.state.AveragesTarget, 1);

    tree.WriteInteger("MLSVOL", -20);
    tree.WriteInteger("ATC", -1);  // below 1 means off and stays
    tree.WriteInteger("Mittelung", 64);
    Loaded l2;
    Load(tree, l2);
    EXPECT_EQ(l2.state.OutputLevelDb, -20);
    EXPECT_EQ(l2.state.AtcMode, -1);
    EXPECT_EQ(l2.state.AveragesTarget, 64);

    tree.WriteBool("Averages Reset", true);
    Loaded l3;
    Load(tree, l3);
    EXPECT_EQ(l3.state.AveragesTarget, 1);
    EXPECT_TRUE(l3.state.AutoReset);

    EXPECT_EQ(RestoredAveraging(128, false), 128);
    EXPECT_EQ(RestoredAveraging(256, false), 1);
    EXPECT_EQ(RestoredAveraging(0, false), 1);
}

TEST(ProgramSettingsLoad, VersionCheck) {
    MemorySettingsTree tree;
    tree.WriteInteger("VERSION", 16000);
    UserMacroBlock custom = FactoryUserMacros();
    custom[7].name = "Delay tower";
    tree.WriteBinary("Nusermakro1", EncodeUserMacroBlock(custom));
    Loaded l;
    Load(tree, l);
    ASSERT_EQ(l.prompter.shown.size(), 1u);
    EXPECT_EQ(l.prompter.shown[0].text, Msg(5) + "160" + Msg(6) + "171");
    EXPECT_EQ(l.report.storedVersion, 16000);
    EXPECT_EQ(l.settings.Version, 17100);
    EXPECT_EQ(l.settings.Macros[7].name, "Delay tower");  // 1.60 already had this layout
    EXPECT_EQ(tree.ReadInteger("VERSION"), 17100);

    tree.WriteInteger("VERSION", 17100);
    Loaded current;
    Load(tree, current);
    EXPECT_TRUE(current.prompter.shown.empty());
    EXPECT_FALSE(current.report.versionUpdated);
}

TEST(ProgramSettingsLoad, OlderVersionConvertsTheOldMacroBlock) {
    MemorySettingsTree tree;
    tree.WriteInteger("VERSION", 15000);
    LeBlock old(6 * 88);
    old.PutShortString(0, 31, "Main PA");
    old.PutU8(31, 14);
    old.PutU8(32, 2);
    old.PutU8(33, 1);
    old.PutI32(84, 4);
    tree.WriteBinary("Nusermakro1", old.bytes());
    Loaded l;
    Load(tree, l);
    EXPECT_EQ(l.prompter.shown.at(0).text, Msg(5) + "150" + Msg(6) + "171");
    EXPECT_EQ(l.settings.Macros[0].name, "Main PA");
    EXPECT_EQ(l.settings.Macros[0].mlsOrder, 14);
    EXPECT_EQ(l.settings.Macros[0].FftSize(), 8192);
    EXPECT_EQ(l.settings.Macros[0].averaging, 4);
    EXPECT_EQ(l.settings.Macros[6].name, "User 5");
    // The converted block replaced the old one together with the version.
    Loaded next;
    Load(tree, next);
    EXPECT_TRUE(next.prompter.shown.empty());
    EXPECT_EQ(next.settings.Macros[0].name, "Main PA");
}

TEST(ProgramSettingsLoad, CalibrationListDependsOnTheFirstFile) {
    MemorySettingsTree tree;
    tree.WriteInteger("VERSION", 17100);
    tree.WriteString("Calfile1", "/cal/a.cal");
    tree.WriteString("Calfile2", "/cal/gone.cal");
    tree.WriteString("Calfile3", "**");
    tree.WriteString("Calfile4", "/cal/after-end.cal");
    tree.WriteString("Overfile1", "/ov/x.smr");
    Loaded l;
    Load(tree, l, {"/cal/a.cal"});
    // A deleted file in a later slot stays; reading stops at the first "**".
    EXPECT_EQ(l.settings.CalFiles, (std::vector<std::string>{"/cal/a.cal", "/cal/gone.cal"}));
    EXPECT_TRUE(l.settings.OverlayFiles.empty());  // its first file is gone

    Loaded l2;
    Load(tree, l2, {"/cal/gone.cal", "/ov/x.smr"});
    EXPECT_TRUE(l2.settings.CalFiles.empty());
    EXPECT_EQ(l2.settings.OverlayFiles, (std::vector<std::string>{"/ov/x.smr"}));

    tree.WriteInteger("Calfile2", 7);  // a value of the wrong type empties the list
    Loaded l3;
    Load(tree, l3, {"/cal/a.cal"});
    EXPECT_TRUE(l3.settings.CalFiles.empty());
}

TEST(ProgramSettingsLoad, GarbageGivesDefaultsForTheAffectedValues) {
    MemorySettingsTree tree;
    tree.WriteInteger("VERSION", 17100);
    tree.WriteString("Samplerate", "fast");
    tree.WriteInteger("MLS Traps", 40);
    tree.WriteInteger("FFT SIZE", 5000);
    tree.WriteInteger("BITS", 13);
    tree.WriteBinary("Temperatur", {0, 0, 0, 0, 0, 0, 0xF8, 0x7F});  // NaN
    tree.WriteBinary("ABSWIN", std::vector<uint8_t>(15, 0xFF));       // truncated block
    tree.WriteBinary("Display Color", std::vector<uint8_t>(41, 0x11));
    tree.WriteBinary("Nusermakro1", std::vector<uint8_t>(100, 0xEE));
    tree.WriteInteger("Breite", -5);
    tree.WriteInteger("Synctime", 100000);
    tree.WriteInteger("Höhe", 600);  // intact values next to the garbage are kept
    std::vector<uint8_t> macros = EncodeUserMacroBlock(FactoryUserMacros());
    Loaded l;
    Load(tree, l);
    EXPECT_EQ(l.state.SampleRate, 44100);
    EXPECT_EQ(l.state.MlsOrder, 12);
    EXPECT_EQ(l.state.FftSize, 4096);
    EXPECT_EQ(l.state.SampleBits, 16);
    EXPECT_EQ(l.state.Temperature, 20.0);
    EXPECT_EQ(l.state.SyncTime, 20);
    EXPECT_EQ(l.settings.AbsWin, AbsoluteWindow{});
    EXPECT_EQ(l.settings.Colors, ColorTable::Default());
    EXPECT_EQ(l.settings.Macros, FactoryUserMacros());
    EXPECT_EQ(l.settings.Geometry.Width, 466);
    EXPECT_EQ(l.settings.Geometry.Height, 600);

    // A stored macro with an order the buffers cannot hold is repaired, the others kept.
    LeBlock bad(macros);
    bad.PutU8(2 * 1348 + 806, 30);
    tree.WriteBinary("Nusermakro1", bad.bytes());
    Loaded l2;
    Load(tree, l2);
    EXPECT_EQ(l2.settings.Macros[2].mlsOrder, 15);
    EXPECT_EQ(l2.settings.Macros[0].name, "Speaker in Room");
}

TEST(ProgramSettingsLoad, UnreadableKeyShowsMessageFourAndUsesDefaults) {
    MemorySettingsTree tree;
    tree.status = SettingsStatus::Unreadable;
    Loaded l;
    Load(tree, l);
    EXPECT_TRUE(l.report.accessFailed);
    ASSERT_GE(l.prompter.shown.size(), 1u);
    EXPECT_EQ(l.prompter.shown[0].text, Msg(4));
    EXPECT_EQ(l.prompter.shown[0].icon, PromptIcon::Stop);
    EXPECT_EQ(l.state.SampleRate, 44100);
}

TEST(ProgramSettingsSave, SaveThenLoadGivesTheSameSettings) {
    ProgramSettings s;
    MeasurementState m;
    s.Smoothing = 9;
    s.PenWidth = 4;
    s.OverlayPenWidth = 8;
    s.AsciiOffset = 95;
    s.Finder.DisplayMode = 3;
    s.Finder.TriggerThreshold = -15;
    s.CalFiles = {"/c/1.cal", "/c/2.cal"};
    s.OverlayFiles = {"/o/1.smr"};
    s.Clock.reference = 46100.25;
    s.Clock.mode = 2;
    s.User1 = TimeWindow{"Short", 300, 5000, 13, 221};
    s.Macros[9].name = "Sub array";
    s.Macros[9].averaging = 32;
    s.Lme = 7;
    s.AsciiUseGain = true;
    s.OverwritePrompt = false;
    s.AutoMinimize = true;
    s.QuickDelay = true;
    s.DataFolder = "/data";
    s.RecentFiles = {"/d/a.mtf", "", "/d/c.mtf", "x"};
    s.FileMode = 1;
    s.AutoScale = true;
    s.WarnCal = false;
    s.Metric = false;
    s.FftWindow = 2;
    s.AbsWin.savedStart = 300;
    s.AbsWin.savedEnd = 900;
    s.QuickDraw = true;
    s.Colors.ApplyScheme(ColorScheme::Chilly);
    s.Geometry = {900, 600, 20, 30};
    m.SampleRate = 48000;
    m.SampleBits = 24;
    m.MlsOrder = 16;
    m.FftSize = 32768;
    m.OutputLevelDb = -10;
    m.PinkMls = true;
    m.AveragesTarget = 16;
    m.AtcMode = 0;
    m.PeakSync = false;
    m.SyncMode = 1;
    m.SyncTime = 7;
    m.IgnoreFirst = false;
    m.QualityCheck = false;
    m.ShowIntermediate = true;
    m.SetTemperature(27.5);

    MemorySettingsTree tree;
    tree.WriteInteger("VERSION", kSettingsVersion);
    ASSERT_TRUE(SaveProgramSettings(tree, s, m, 120, 4000));
    // The calibration part stores the microphone file itself, under another spelling.
    tree.WriteString("MIC CAL DATA", "/m/mic.smc");
    s.MicCalData = "/m/mic.smc";
    Loaded l;
    Load(tree, l, {"/c/1.cal", "/o/1.smr"});
    s.AbsWin.lastStart = 120;  // the view given to the save
    s.AbsWin.lastEnd = 4000;
    s.Version = kSettingsVersion;
    s.Clock.reference = 46100.25;
    ProgramSettings& r = l.settings;
    EXPECT_EQ(r.Smoothing, s.Smoothing);
    EXPECT_EQ(r.PenWidth, s.PenWidth);
    EXPECT_EQ(r.OverlayPenWidth, s.OverlayPenWidth);
    EXPECT_EQ(r.AsciiOffset, s.AsciiOffset);
    EXPECT_EQ(r.Finder, s.Finder);
    EXPECT_EQ(r.CalFiles, s.CalFiles);
    EXPECT_EQ(r.OverlayFiles, s.OverlayFiles);
    EXPECT_EQ(r.Clock, s.Clock);
    EXPECT_EQ(r.User1, s.User1);
    EXPECT_EQ(r.User2, s.User2);
    EXPECT_EQ(r.Macros, s.Macros);
    EXPECT_EQ(r.Lme, s.Lme);
    EXPECT_EQ(r.AsciiUseGain, s.AsciiUseGain);
    EXPECT_EQ(r.OverwritePrompt, s.OverwritePrompt);
    EXPECT_EQ(r.AutoMinimize, s.AutoMinimize);
    EXPECT_EQ(r.QuickDelay, s.QuickDelay);
    EXPECT_EQ(r.MicCalData, s.MicCalData);
    EXPECT_EQ(r.DataFolder, s.DataFolder);
    EXPECT_EQ(r.RecentFiles, s.RecentFiles);
    EXPECT_EQ(RecentFileVisible(r), (std::array<bool, 4>{true, false, true, false}));
    EXPECT_EQ(r.FileMode, s.FileMode);
    EXPECT_EQ(r.AutoScale, s.AutoScale);
    EXPECT_EQ(r.WarnCal, s.WarnCal);
    EXPECT_EQ(r.Metric, s.Metric);
    EXPECT_EQ(r.FftWindow, s.FftWindow);
    EXPECT_EQ(r.AbsWin, s.AbsWin);
    EXPECT_EQ(r.QuickDraw, s.QuickDraw);
    EXPECT_EQ(r.Colors, s.Colors);
    EXPECT_EQ(r.Geometry, s.Geometry);

    const MeasurementState& q = l.state;
    EXPECT_EQ(q.SampleRate, 48000);
    EXPECT_EQ(q.SampleBits, 24);
    EXPECT_EQ(q.MlsOrder, 16);
    EXPECT_EQ(q.FftSize, 32768);
    EXPECT_EQ(q.OutputLevelDb, -10);
    EXPECT_TRUE(q.PinkMls);
    EXPECT_EQ(q.AveragesTarget, 16);
    EXPECT_EQ(q.AtcMode, 0);
    EXPECT_FALSE(q.PeakSync);
    EXPECT_EQ(q.SyncMode, 1);
    EXPECT_EQ(q.SyncTime, 7);
    EXPECT_FALSE(q.IgnoreFirst);
    EXPECT_FALSE(q.QualityCheck);
    EXPECT_TRUE(q.ShowIntermediate);
    EXPECT_EQ(q.Temperature, 27.5);
    EXPECT_DOUBLE_EQ(q.SoundSpeed, 331.3 + 0.6 * 27.5);
}

TEST(ProgramSettingsSave, WritesEveryValueUnderOneNameAndFillsEmptySlots) {
    MemorySettingsTree tree;
    ProgramSettings s;
    s.CalFiles = {"/c/1.cal"};
    MeasurementState m;
    m.SampleRate = 32000;
    ASSERT_TRUE(SaveProgramSettings(tree, s, m, 1, 1024));
    EXPECT_EQ(tree.ReadString("CALFILE1"), "/c/1.cal");
    EXPECT_EQ(tree.ReadString("calfile2"), "**");
    EXPECT_EQ(tree.ReadString("Overfile8"), "**");
    EXPECT_TRUE(tree.HasValue("TFL"));
    EXPECT_TRUE(tree.HasValue("REPEAT"));
    // Read as "Samplerate", written as "SAMPLERATE": one value.
    EXPECT_EQ(tree.ReadInteger("Samplerate"), 32000);
    // 16 list slots, 8 blocks, 8 + 10 booleans, 1 float, 16 + 3 + 1 integers, 5 strings.
    EXPECT_EQ(tree.Count(), 16u + 8u + 18u + 1u + 20u + 5u);
    EXPECT_FALSE(tree.HasValue("VERSION"));  // only the version check writes it
}

TEST(ProgramSettingsGeometry, MaximisedWhenTheWindowCoversTheScreen) {
    EXPECT_TRUE(ShouldMaximise({1920, 1050, 0, 0}, 1920, 1080));
    EXPECT_FALSE(ShouldMaximise({1920, 1049, 0, 0}, 1920, 1080));
    EXPECT_FALSE(ShouldMaximise({466, 335, 100, 100}, 1920, 1080));
}

}  // namespace
}  // namespace fim
