#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

#include "audio/VirtualRoom.h"
#include "base/Catalog.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"
#include "settings/ProgramSettings.h"
#include "settings/ui/TFEATURES.h"

namespace fim {
namespace {

class TFEATURESTest : public ::testing::Test {
  protected:
    TFEATURESTest() : dialog(meas, settings, tree, room, prompter) {
        dialog.show();
        dialog.FormActivate();
    }
    template <typename T>
    T* Get(const char* name) {
        T* w = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void Click(const char* name) { Get<QPushButton>(name)->click(); }
    void TypeTemperature(const char* text) {
        Get<QSpinBox>("SpinEdit1")->findChild<QLineEdit*>()->setText(QString::fromLatin1(text));
    }

    MeasurementState meas;
    ProgramSettings settings;
    MemorySettingsTree tree;
    VirtualRoom room;
    ScriptedPrompter prompter;
    TFEATURES dialog;
};

TEST_F(TFEATURESTest, TabsCaptionsAndTheFrameCloseBeforeOk) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("MIV CONFIGURATION"));
    QStringList tabs;
    for (int i = 0; i < dialog.tabs()->count(); ++i) tabs << dialog.tabs()->tabText(i);
    EXPECT_EQ(tabs, (QStringList{"DATA", "USER WINDOW", "SOUND I/O", "FEATURES", "OTHER",
                                 "USER MACRO", "FEEDBACKFINDER", "SAMPLING"}));
    EXPECT_EQ(dialog.tabs()->currentIndex(), int(FeaturesTab::SoundIo));
    // The Virtual Room alone: both lists show it, disabled, with its parameters.
    EXPECT_EQ(Get<QComboBox>("cbsoundin")->currentText(), QString::fromLatin1(kVirtualRoomName));
    EXPECT_FALSE(Get<QComboBox>("cbsoundin")->isEnabled());
    EXPECT_TRUE(Get<QGroupBox>("VirtualRoomGroup")->isVisible());
    EXPECT_EQ(Get<QComboBox>("cbsample")->currentText(), QStringLiteral("44.100 Samples/ 16 Bits"));
    EXPECT_EQ(dialog.radioGroup("RadioGroup5")->button(3)->text(),
              QString::fromStdString(Msg(278)));

    dialog.close();
    EXPECT_TRUE(dialog.isVisible());  // refused until OK or a confirmed Cancel
    Get<QCheckBox>("CheckBox3")->click();
    prompter.answers = {PromptAnswer::Yes};
    Click("BitBtn2");
    EXPECT_EQ(prompter.Last()->text, Msg(83));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(settings.QuickDraw);
}

TEST_F(TFEATURESTest, ControlsReachTheSettingsThroughOk) {
    dialog.radioGroup("RadioGroup5")->button(3)->click();
    Get<QSpinBox>("SpinEdit13")->setValue(42);
    Get<QCheckBox>("CheckBox6")->click();
    Get<QComboBox>("ComboBox5")->setCurrentIndex(3);
    dialog.radioGroup("RadioGroup10")->button(0)->click();
    Get<QDoubleSpinBox>("RoomDistance")->setValue(7.5);
    Get<QLineEdit>("Edit4")->setText(QStringLiteral("Stage"));
    emit Get<QLineEdit>("Edit4")->textEdited(QStringLiteral("Stage"));
    // Right-click preset on user window 1's post time.
    dialog.model().RememberPresetTarget(kPresetUser1);
    dialog.postMenu()->actions().at(3)->trigger();  // 60000 µs
    EXPECT_EQ(Get<QSpinBox>("SpinEdit2")->value(), 60000);

    TypeTemperature("abc");
    Click("BitBtn1");
    EXPECT_EQ(prompter.Last()->text, Msg(85));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(meas.SyncTime, 42);  // copied before the temperature was read
    EXPECT_TRUE(settings.WarnSampleRate);

    TypeTemperature("30");
    Click("BitBtn1");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_DOUBLE_EQ(meas.Temperature, 30.0);
    EXPECT_EQ(settings.PenWidth, 8);
    EXPECT_FALSE(settings.WarnSampleRate);
    EXPECT_EQ(settings.Finder.DisplayMode, 3);
    EXPECT_EQ(settings.Finder.TriggerThreshold, -3);
    EXPECT_EQ(settings.User1.name, "Stage");
    EXPECT_EQ(settings.User1.timeAfter, 60000);
    EXPECT_EQ(tree.ReadFloat("VirtualRoom Distance"), 7.5);
    EXPECT_EQ(dialog.model().PageToShow, FeaturesTab::SoundIo);
}

TEST_F(TFEATURESTest, MacroTabSavesAndAsksWhenLeftUnsaved) {
    dialog.tabs()->setCurrentIndex(int(FeaturesTab::UserMacro));
    Get<QSpinBox>("UpDown1")->setValue(3);
    EXPECT_EQ(Get<QLineEdit>("Edit2")->text(), QStringLiteral("User 1"));
    EXPECT_FALSE(Get<QLineEdit>("Edit2")->isReadOnly());
    Get<QComboBox>("ComboBox4")->setCurrentIndex(4);  // 16 samples
    Click("SpeedButton5");                            // user window 1: 400 / 9600 µs
    EXPECT_EQ(Get<QSpinBox>("SpinEdit7")->value(), 9600);
    prompter.answers = {PromptAnswer::Yes};
    dialog.tabs()->setCurrentIndex(int(FeaturesTab::Data));
    EXPECT_EQ(prompter.Last()->text, Msg(87));
    EXPECT_EQ(dialog.tabs()->currentIndex(), int(FeaturesTab::UserMacro));
    EXPECT_EQ(settings.Macros[2].averaging, 16);
    EXPECT_EQ(settings.Macros[2].window.timeAfter, 9600);

    Get<QSpinBox>("UpDown1")->setValue(1);
    EXPECT_TRUE(Get<QLineEdit>("Edit2")->isReadOnly());
    Get<QCheckBox>("CheckBox11")->click();
    Click("BitBtn7");
    EXPECT_TRUE(settings.Macros[0].repeat);
}

}  // namespace
}  // namespace fim
