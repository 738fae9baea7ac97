#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "audio/WaveDevices.h"
#include "base/Catalog.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"
#include "settings/FeaturesModel.h"
#include "settings/ProgramSettings.h"

namespace fim {
namespace {

// Named devices that take a given set of (rate, bits) stereo formats.
class FormatDevices : public WaveDevices {
  public:
    using Formats = std::set<std::pair<uint32_t, int>>;
    FormatDevices(std::vector<std::string> in, std::vector<std::string> out, Formats inFormats,
                  Formats outFormats)
        : in_(std::move(in)),
          out_(std::move(out)),
          inF_(std::move(inFormats)),
          outF_(std::move(outFormats)) {}
    int InputCount() const override { return int(in_.size()); }
    std::string InputName(int i) const override { return in_.at(std::size_t(i)); }
    int OutputCount() const override { return int(out_.size()); }
    std::string OutputName(int i) const override { return out_.at(std::size_t(i)); }
    bool InputSupports(int, const DeviceFormat& f) const override { return Takes(inF_, f); }
    bool OutputSupports(int, const DeviceFormat& f) const override { return Takes(outF_, f); }
    int OpenInput(int, const DeviceFormat&, WaveCallback*) override { return 0; }
    int AddInputBuffer(WaveHeader&) override { return 0; }
    int StartInput() override { return 0; }
    int StopInput() override { return 0; }
    int ResetInput() override { return 0; }
    int CloseInput() override { return 0; }
    int OpenOutput(int, const DeviceFormat&, WaveCallback*) override { return 0; }
    int WriteOutput(WaveHeader&) override { return 0; }
    int PauseOutput() override { return 0; }
    int RestartOutput() override { return 0; }
    int ResetOutput() override { return 0; }
    int CloseOutput() override { return 0; }
    bool InputOpen() const override { return false; }
    bool OutputOpen() const override { return false; }

  private:
    static bool Takes(const Formats& s, const DeviceFormat& f) {
        // The query must describe stereo PCM with the block alignment of its width.
        const int bytes = f.bitsPerSample == 16 ? 2 : 4;
        return f.formatTag == 1 && f.channels == 2 && f.blockAlign == 2 * bytes &&
               f.avgBytesPerSec == f.blockAlign * f.samplesPerSec &&
               s.count({f.samplesPerSec, int(f.bitsPerSample)}) > 0;
    }
    std::vector<std::string> in_, out_;
    Formats inF_, outF_;
};

const FormatDevices::Formats kCommon = {{44100, 16}, {48000, 16}, {44100, 24}, {48000, 24}};

class FeaturesModelTest : public ::testing::Test {
  protected:
    explicit FeaturesModelTest(FormatDevices d = FormatDevices({"Card A", "Card B"}, {"Out A"},
                                                               kCommon, kCommon))
        : devices(std::move(d)), model(meas, settings, tree, devices, prompter) {
        tree.WriteString("INCARD", "Card B");
        tree.WriteString("OUTCARD", "Out A");
        model.host.changeMlsOrder = [this](int order) {
            mlsOrders.push_back(order);
            meas.MlsOrder = uint8_t(order);
            return true;
        };
        model.host.invalidateData = [this] { ++invalidated; };
        model.host.reopenDevices = [this] { ++reopened; };
        model.host.showTab = [this](FeaturesTab t) { tabs.push_back(t); };
        model.host.fatalExit = [this](const std::string& text) { fatal = text; };
        model.host.roomChanged = [this](const RoomParameters& p) { rooms.push_back(p); };
    }

    // Opens the dialog as the window does.
    void Open() {
        model.Show();
        ASSERT_TRUE(model.Activate());
    }
    int Select(uint16_t rate, int32_t bits) {
        for (std::size_t i = 0; i < model.RateTable.size(); ++i) {
            if (model.RateTable[i] == RateEntry{rate, bits}) return model.v.sample = int(i);
        }
        ADD_FAILURE() << rate << "/" << bits << " not listed";
        return -1;
    }

    MeasurementState meas;
    ProgramSettings settings;
    MemorySettingsTree tree;
    ScriptedPrompter prompter;
    FormatDevices devices;
    FeaturesModel model;
    std::vector<int> mlsOrders;
    std::vector<FeaturesTab> tabs;
    std::vector<RoomParameters> rooms;
    int invalidated = 0, reopened = 0;
    std::string fatal;
};

TEST(FeaturesFormats, UsableFormatsAreTheDevicesCommonOnesInListOrder) {
    FormatDevices d({"In"}, {"Out"}, {{48000, 24}, {44100, 16}, {48000, 16}, {8000, 16}},
                    {{8000, 16}, {48000, 24}, {44100, 16}, {96000, 16}});
    const std::vector<RateEntry> want = {{8000, 16}, {44100, 16}, {48000, 24}};
    EXPECT_EQ(UsableFormats(d, 0, 0), want);
    EXPECT_EQ(RateText(8000, 16), " 8.000 Samples/ 16 Bits");
    EXPECT_EQ(RateText(44100, 16), "44.100 Samples/ 16 Bits");
    EXPECT_EQ(RateText(11025, 24), "11.025 Samples/ 24 Bits");
}

TEST_F(FeaturesModelTest, DeviceListsSelectTheCurrentDevicesAndTheFormatInUse) {
    meas.SampleRate = 48000;
    meas.SampleBits = 24;
    Open();
    EXPECT_EQ(model.inputNames, (std::vector<std::string>{"Card A", "Card B"}));
    EXPECT_EQ(model.v.input, 1);
    EXPECT_TRUE(model.inputEnabled);
    EXPECT_FALSE(model.outputEnabled);  // a single device is shown, disabled
    ASSERT_EQ(model.rateTexts.size(), 4u);
    EXPECT_EQ(model.rateTexts[model.v.sample], "48.000 Samples/ 24 Bits");
    // An unknown stored name selects the first device.
    tree.WriteString("INCARD", "Gone");
    Open();
    EXPECT_EQ(model.v.input, 0);
}

TEST_F(FeaturesModelTest, FormatNotUsablePreselectsACommonOneWithoutChangingTheSettings) {
    meas.SampleRate = 22050;
    Open();
    EXPECT_EQ(model.RateTable.at(model.v.sample), (RateEntry{44100, 16}));
    EXPECT_EQ(meas.SampleRate, 22050);
}

TEST(FeaturesDevices, OnlyOneFormatAndNoCommonOne) {
    MeasurementState meas;
    meas.SampleRate = 8000;
    ProgramSettings settings;
    MemorySettingsTree tree;
    ScriptedPrompter prompter;
    FormatDevices only({"In"}, {"Out"}, {{44100, 16}}, {{44100, 16}, {48000, 16}});
    FeaturesModel a(meas, settings, tree, only, prompter);
    ASSERT_TRUE(a.Activate());
    EXPECT_EQ(a.rateTexts, std::vector<std::string>{"44.100 Samples/ 16 Bits"});
    EXPECT_EQ(a.v.sample, 0);
    FormatDevices none({"In"}, {"Out"}, {{32000, 16}}, {{48000, 24}});
    FeaturesModel b(meas, settings, tree, none, prompter);
    ASSERT_TRUE(b.Activate());
    EXPECT_TRUE(b.RateTable.empty());
    EXPECT_EQ(b.v.sample, -1);
    // OK without a format keeps the format in use and says so.
    EXPECT_TRUE(b.Ok());
    EXPECT_EQ(meas.SampleRate, 8000);
    EXPECT_EQ(prompter.Last()->text, Msg(273));
}

TEST(FeaturesDevices, NoInputDeviceTakesTheFatalPath) {
    MeasurementState meas;
    ProgramSettings settings;
    MemorySettingsTree tree;
    ScriptedPrompter prompter;
    FormatDevices d({}, {"Out"}, kCommon, kCommon);
    FeaturesModel m(meas, settings, tree, d, prompter);
    std::string exitText;
    m.host.fatalExit = [&](const std::string& t) { exitText = t; };
    EXPECT_FALSE(m.Activate());
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, Msg(89));
    EXPECT_EQ(prompter.shown[0].text, Msg(88));
    EXPECT_EQ(exitText, Msg(236));
}

TEST_F(FeaturesModelTest, IllegalTemperatureAbandonsOkAfterTheFirstStep) {
    Open();
    model.v.syncTime = 55;
    model.v.asciiOffset = -20;
    model.v.traceIndex = 3;
    model.v.mlsIndex = 4;  // order 16
    model.v.warnMls = false;
    Select(48000, 16);
    for (const char* bad : {"abc", "", "60", "2.5"}) {  // 60 °C lies above the field's range
        model.v.temperature = bad;
        prompter.shown.clear();
        EXPECT_FALSE(model.Ok()) << bad;
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.shown[0].text, Msg(85));
    }
    // Step 1 went through; the MLS size, the switches and the sound format did not change.
    EXPECT_EQ(meas.SyncTime, 55);
    EXPECT_EQ(settings.AsciiOffset, -20);
    EXPECT_EQ(settings.PenWidth, 8);
    EXPECT_TRUE(model.MayClose);
    EXPECT_TRUE(mlsOrders.empty());
    EXPECT_TRUE(settings.WarnMlsChange);
    EXPECT_EQ(meas.SampleRate, 44100);
    EXPECT_DOUBLE_EQ(meas.Temperature, 20.0);

    model.v.temperature = "25";
    prompter.answers = {PromptAnswer::Yes};  // the sample-rate question
    EXPECT_TRUE(model.Ok());
    EXPECT_EQ(mlsOrders, std::vector<int>{16});
    EXPECT_FALSE(settings.WarnMlsChange);
    EXPECT_DOUBLE_EQ(meas.Temperature, 25.0);
    EXPECT_DOUBLE_EQ(meas.SoundSpeed, 0.6 * 25 + 331.3);
    EXPECT_EQ(meas.SampleRate, 48000);
}

TEST_F(FeaturesModelTest, SampleRateQuestion) {
    Open();
    Select(48000, 16);
    prompter.answers = {PromptAnswer::No};
    EXPECT_TRUE(model.Ok());
    EXPECT_EQ(prompter.Last()->text, Msg(86));
    EXPECT_EQ(prompter.Last()->caption, Msg(44));
    EXPECT_EQ(meas.SampleRate, 44100);  // No keeps the old rate and touches nothing else
    EXPECT_EQ(invalidated + reopened, 0);

    Open();
    Select(48000, 16);
    prompter.answers = {PromptAnswer::Yes};
    EXPECT_TRUE(model.Ok());
    EXPECT_EQ(meas.SampleRate, 48000);
    EXPECT_EQ(invalidated, 1);
    EXPECT_EQ(reopened, 1);

    // With the warning off nothing is asked.
    settings.WarnSampleRate = false;
    Open();
    Select(44100, 16);
    prompter.shown.clear();
    EXPECT_TRUE(model.Ok());
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(meas.SampleRate, 44100);
}

TEST_F(FeaturesModelTest, WideSamplesAreWarnedAndAWidthChangeReopensTheDevices) {
    Open();
    Select(44100, 24);
    prompter.answers = {PromptAnswer::Cancel};
    EXPECT_TRUE(model.Ok());
    EXPECT_EQ(prompter.Last()->caption, Msg(328));
    EXPECT_EQ(meas.SampleBits, 16);
    EXPECT_EQ(reopened, 0);
    Open();
    Select(44100, 24);
    prompter.answers = {PromptAnswer::Ok};
    EXPECT_TRUE(model.Ok());
    EXPECT_EQ(meas.SampleBits, 24);
    // The same rate with another width does not fit the open devices or the recorded data.
    EXPECT_EQ(reopened, 1);
    EXPECT_EQ(invalidated, 1);
    // No to a rate change restores the whole format in use.
    Open();
    Select(48000, 16);
    prompter.answers = {PromptAnswer::No};
    EXPECT_TRUE(model.Ok());
    EXPECT_EQ(meas.SampleRate, 44100);
    EXPECT_EQ(meas.SampleBits, 24);
}

TEST_F(FeaturesModelTest, ChangedDeviceIsStoredAndReopened) {
    Open();
    model.v.input = 0;
    model.DeviceChanged();
    EXPECT_FALSE(model.Pristine);
    EXPECT_TRUE(model.Ok());
    EXPECT_EQ(tree.ReadString("INCARD"), "Card A");
    EXPECT_EQ(tree.ReadString("OUTCARD"), "Out A");
    EXPECT_EQ(settings.InputDevice, "Card A");
    EXPECT_EQ(reopened, 1);
    EXPECT_EQ(invalidated, 1);
}

TEST_F(FeaturesModelTest, TemperatureUnits) {
    meas.SetTemperature(21.0);
    settings.Metric = false;
    Open();
    EXPECT_EQ(model.TemperatureUnit(), "°F");
    EXPECT_EQ(model.v.temperature, "70");  // 69.8 °F
    EXPECT_EQ(model.TemperatureRange().low, 32);
    // An untouched field keeps the exact temperature instead of the rounded °F value.
    EXPECT_TRUE(model.Ok());
    EXPECT_DOUBLE_EQ(meas.Temperature, 21.0);

    Open();
    model.v.temperature = "50";
    EXPECT_TRUE(model.Ok());
    EXPECT_DOUBLE_EQ(meas.Temperature, 10.0);

    // A value typed before switching units is carried into the new unit.
    Open();
    model.v.temperature = "86";
    model.UnitsChanged(0);
    EXPECT_EQ(model.TemperatureUnit(), "°C");
    EXPECT_EQ(model.v.temperature, "30");
    EXPECT_TRUE(model.Ok());
    EXPECT_TRUE(settings.Metric);
    EXPECT_DOUBLE_EQ(meas.Temperature, 30.0);
}

TEST_F(FeaturesModelTest, StoredValuesShowAsTheControlsOfferThem) {
    settings.PenWidth = 8;
    settings.OverlayPenWidth = 3;  // log2 3 = 1.58 → "3: Thick"
    settings.Finder.TriggerThreshold = 2;
    meas.OutputLevelDb = -7;
    meas.FftSize = 65536;
    meas.MlsOrder = 18;
    Open();
    EXPECT_EQ(model.v.traceIndex, 3);
    EXPECT_EQ(model.v.overlayIndex, 2);
    EXPECT_EQ(model.v.thresholdIndex, 4);
    EXPECT_EQ(model.v.levelIndex, 1);
    EXPECT_EQ(model.v.fftIndex, 4);
    EXPECT_EQ(model.v.mlsIndex, 6);
    model.v.overlayIndex = 0;
    model.v.levelIndex = 3;
    EXPECT_TRUE(model.Ok());
    EXPECT_EQ(settings.PenWidth, 8);
    EXPECT_EQ(settings.OverlayPenWidth, 1);
    EXPECT_EQ(settings.Finder.TriggerThreshold, -20);
    EXPECT_EQ(meas.OutputLevelDb, -10);
    EXPECT_EQ(meas.FftSize, 32768);
    EXPECT_TRUE(mlsOrders.empty());
}

TEST_F(FeaturesModelTest, ContinuousAveragingChangesOnlyWithOk) {
    Open();
    EXPECT_FALSE(model.v.continuous);
    model.v.continuous = true;
    model.Edited();
    prompter.answers = {PromptAnswer::Yes};
    EXPECT_TRUE(model.Cancel());
    EXPECT_FALSE(meas.ContinuousAveraging);
    Open();
    EXPECT_FALSE(model.v.continuous);
    model.v.continuous = true;
    EXPECT_TRUE(model.Ok());
    EXPECT_TRUE(meas.ContinuousAveraging);
    Open();
    EXPECT_TRUE(model.v.continuous);
}

TEST_F(FeaturesModelTest, PresetsSetTheFieldLastRightClicked) {
    Open();
    model.RememberPresetTarget(kPresetUser2);
    model.ApplyPreset(40000, true);
    EXPECT_EQ(model.v.post2, 40000);
    EXPECT_FALSE(model.Pristine);
    EXPECT_FALSE(model.macroUnsaved);
    model.RememberPresetTarget(kPresetMacro);
    model.ApplyPreset(1000, false);
    EXPECT_EQ(model.v.macro.pre, 1000);
    EXPECT_TRUE(model.macroUnsaved);
    EXPECT_EQ(model.v.pre2, 800);
    EXPECT_TRUE(model.SaveMacro());
    model.v.name2 = "Long hall";
    EXPECT_TRUE(model.Ok());
    EXPECT_EQ(settings.User2.name, "Long hall");
    EXPECT_EQ(settings.User2.timeAfter, 40000);
    EXPECT_EQ(settings.User2.samplesAfter, 1764);  // 40 ms at 44100 Hz
}

TEST_F(FeaturesModelTest, CancelAsksOnlyAfterAnEditAndChangesNothing) {
    Open();
    EXPECT_FALSE(model.CanClose());
    EXPECT_TRUE(model.Cancel());  // untouched: closes at once
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_TRUE(model.CanClose());

    Open();
    model.v.quickDraw = true;
    model.Edited();
    prompter.answers = {PromptAnswer::No};
    EXPECT_FALSE(model.Cancel());
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, Msg(83));
    EXPECT_EQ(prompter.shown[0].caption, Msg(84));
    prompter.answers = {PromptAnswer::Yes};
    EXPECT_TRUE(model.Cancel());
    EXPECT_FALSE(settings.QuickDraw);
}

TEST_F(FeaturesModelTest, MacroSaveStoresTheRecordOnlyWhenItsWindowFits) {
    Open();
    model.SelectMacro(3);
    EXPECT_TRUE(model.MacroNameEditable());
    MacroFields& f = model.v.macro;
    f.name = std::string(40, 'x');
    f.mlsIndex = 2;
    f.avgIndex = 3;
    f.fftIndex = 5;
    f.smoothing = 2;
    f.pre = 600;
    f.post = 19400;
    f.pink = true;
    model.MacroEdited();
    EXPECT_TRUE(model.SaveMacro());
    const UserMacro& m = settings.Macros[2];
    EXPECT_EQ(m.name, std::string(30, 'x'));
    EXPECT_EQ(m.mlsOrder, 14);
    EXPECT_EQ(m.averaging, 8);
    EXPECT_EQ(m.fftCode, UserMacro::kSmoothFftCode);
    EXPECT_EQ(m.smoothing, 2);
    EXPECT_TRUE(m.pinkMls);
    EXPECT_EQ(m.window.samplesBefore, 26);
    EXPECT_EQ(m.window.samplesAfter, 856);
    EXPECT_FALSE(model.macroUnsaved);

    // 100 ms does not fit a 2048-point FFT: the record stays as it was.
    f.fftIndex = 0;
    f.post = 100000;
    model.MacroEdited();
    EXPECT_FALSE(model.SaveMacro());
    EXPECT_EQ(prompter.Last()->text, "Window too large for FFT size");
    EXPECT_EQ(settings.Macros[2].fftCode, UserMacro::kSmoothFftCode);
    EXPECT_TRUE(model.macroUnsaved);

    // Macros 1 and 2 keep their names.
    model.v.macro = MacroToFields(settings.Macros[2]);
    model.macroUnsaved = false;
    model.SelectMacro(1);
    EXPECT_FALSE(model.MacroNameEditable());
    model.v.macro.name = "Renamed";
    model.MacroEdited();
    EXPECT_TRUE(model.SaveMacro());
    EXPECT_EQ(settings.Macros[0].name, "Speaker in Room");
}

TEST_F(FeaturesModelTest, UnsavedMacroIsAskedAboutBeforeItIsLeft) {
    Open();
    model.SelectMacro(4);
    model.CopyUserWindow(2);
    EXPECT_EQ(model.v.macro.pre, 800);
    EXPECT_EQ(model.v.macro.post, 19200);
    EXPECT_TRUE(model.macroUnsaved);
    prompter.answers = {PromptAnswer::Yes};
    model.SelectMacro(5);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, Msg(87));
    EXPECT_EQ(prompter.shown[0].caption, settings.Macros[3].name);
    EXPECT_EQ(tabs, std::vector<FeaturesTab>{FeaturesTab::UserMacro});
    EXPECT_EQ(settings.Macros[3].window.timeAfter, 19200);
    EXPECT_EQ(model.v.macroNumber, 5);
    EXPECT_EQ(model.v.macro, MacroToFields(settings.Macros[4]));

    // No discards the edit; OK asks as well.
    const UserMacro before = settings.Macros[4];
    model.v.macro.repeat = !model.v.macro.repeat;
    model.MacroEdited();
    prompter.answers = {PromptAnswer::No};
    EXPECT_TRUE(model.Ok());
    EXPECT_EQ(prompter.shown[1].text, Msg(87));
    EXPECT_EQ(settings.Macros[4], before);

    // Yes to a macro whose window the check refuses keeps the dialog open with the edits.
    Open();
    model.v.macro.fftIndex = 0;
    model.v.macro.post = 100000;
    model.MacroEdited();
    prompter.answers = {PromptAnswer::Yes};
    EXPECT_FALSE(model.Ok());
    EXPECT_EQ(prompter.Last()->text, "Window too large for FFT size");
    EXPECT_EQ(model.v.macro.post, 100000);
    EXPECT_TRUE(model.macroUnsaved);
    model.SelectMacro(6);
    EXPECT_EQ(model.v.macroNumber, 5);
    EXPECT_EQ(settings.Macros[4], before);
}

TEST_F(FeaturesModelTest, VirtualRoomParametersAreStoredWhenChanged) {
    model.currentRoom.distance = 5.0;
    Open();
    EXPECT_DOUBLE_EQ(model.v.room.distance, 5.0);
    EXPECT_TRUE(model.Ok());
    EXPECT_TRUE(rooms.empty());
    EXPECT_FALSE(tree.HasValue("VirtualRoom Distance"));

    Open();
    model.v.room.distance = 12.5;
    model.v.room.seed = 77;
    EXPECT_TRUE(model.Ok());
    ASSERT_EQ(rooms.size(), 1u);
    EXPECT_DOUBLE_EQ(rooms[0].distance, 12.5);
    RoomParameters loaded;
    loaded.Load(tree);
    EXPECT_DOUBLE_EQ(loaded.distance, 12.5);
    EXPECT_EQ(loaded.seed, 77u);
    EXPECT_EQ(reopened, 1);

    // The feedback tone alone is a change too.
    Open();
    model.v.room.feedback = true;
    model.v.room.feedbackLevel = -12;
    EXPECT_TRUE(model.Ok());
    ASSERT_EQ(rooms.size(), 2u);
    EXPECT_TRUE(rooms[1].feedback);
    loaded.Load(tree);
    EXPECT_TRUE(loaded.feedback);
    EXPECT_DOUBLE_EQ(loaded.feedbackLevel, -12);
}

}  // namespace
}  // namespace fim
