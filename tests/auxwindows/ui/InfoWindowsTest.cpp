#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <vector>

#include "../../mainwindow/ui/QuietFormOptions.h"
#include "audio/TimeFile.h"
#include "auxwindows/ui/TForm3.h"
#include "auxwindows/ui/TForm6.h"
#include "auxwindows/ui/TSMALLINFO.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"
#include "mainwindow/ui/TForm1.h"
#include "mainwindow/ui/TimeTraceView.h"
#include "settings/ProgramSettings.h"
#include "settings/ui/TFEATURES.h"
#include "spectrum/ui/TFFTDISPLAY.h"

namespace fim {
namespace {

class InfoWindowsTest : public ::testing::Test {
  protected:
    InfoWindowsTest() {
        meas.buffers.Allocate({}, [](const std::string&) { FAIL(); });
        auto p = std::make_unique<ScriptedPrompter>();
        prompter = p.get();
        form = std::make_unique<TForm1>(meas, std::move(p), QuietFormOptions());
    }
    ~InfoWindowsTest() override { form->close(); }

    MeasurementState meas;
    ScriptedPrompter* prompter = nullptr;
    std::unique_ptr<TForm1> form;
};

TEST_F(InfoWindowsTest, EveryWayToTheSystemInformationScreen) {
    meas.AtcMode = 0;
    meas.PeakSync = false;
    meas.AveragesTarget = 4;
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));

    // A click on the status bar.
    QTest::mouseClick(form->statusPanelLabel(3), Qt::LeftButton);
    TForm6* info = form->systemInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->isVisible());
    EXPECT_EQ(info->windowTitle(), QStringLiteral("MIV INFOSCREEN"));
    EXPECT_TRUE(info->groupText("SAMPLING").contains(QStringLiteral("ATC INCORRECT SETTING")));
    EXPECT_TRUE(info->groupText("WARNINGS").startsWith(QStringLiteral("ATC INCORRECT SETTING")));
    EXPECT_TRUE(info->groupText("SAMPLING").contains(QStringLiteral("Out: Virtual Room")));
    EXPECT_TRUE(info->groupText("MEMORY").startsWith(QStringLiteral("TOTAL: ")));
    EXPECT_TRUE(info->groupText("HIDDENFEATURES").contains(QStringLiteral("QUICKDRAW OFF")));
    info->close();

    // INFO (Ctrl+I) and the "i" button read the state again.
    meas.AtcMode = 1;
    QTest::keyClick(form.get(), Qt::Key_I, Qt::ControlModifier);
    EXPECT_TRUE(info->isVisible());
    EXPECT_EQ(form->systemInfo(), info);
    EXPECT_EQ(info->groupText("WARNINGS"), QStringLiteral("-"));
    info->close();
    form->speedButton("ShowSettingsButton")->click();
    EXPECT_TRUE(info->isVisible());
    EXPECT_EQ(form->speedButton("ShowSettingsButton")->toolTip(), QStringLiteral("Show Settings"));

    // A click on the screen opens the features dialog, then shows what it changed.
    QTimer::singleShot(0, form.get(), [this] {
        ASSERT_NE(form->featuresDialog(), nullptr);
        meas.AtcMode = 0;
        static_cast<QDialog*>(form->featuresDialog())->reject();
    });
    QTest::mouseClick(info, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_NE(info->groupText("WARNINGS"), QStringLiteral("-"));
    info->close();

    // The About box stays under HELP alone.
    EXPECT_TRUE(prompter->shown.empty());
    form->action("ABOUT1")->trigger();
    ASSERT_EQ(prompter->shown.size(), 1u);
    EXPECT_FALSE(info->isVisible());
}

TEST_F(InfoWindowsTest, FrequencyWindowInfoShowsTheAnalysisWindow) {
    QTemporaryDir dir;
    std::vector<double> ir(16383, 0.0);
    ir[700] = 0.9;
    const std::string mtf = dir.filePath("ir.mtf").toStdString();
    ASSERT_TRUE(WriteTimeFile(mtf, 48000.0, ir.data(), ir.size()));
    ASSERT_TRUE(form->loadFile(mtf));
    meas.SetTemperature(20.0);
    TimeTraceModel& m = form->view()->model();
    m.viewStart = 680;  // 480 samples after the time origin at sample 200
    m.viewEnd = 1160;
    form->FFT1Click();
    ASSERT_NE(form->frequencyWindow(), nullptr);
    QAction* info = form->frequencyWindow()->findChild<QAction*>(QStringLiteral("INFO1"));
    ASSERT_NE(info, nullptr);
    ASSERT_TRUE(info->isEnabled());
    info->trigger();
    TSMALLINFO* small = form->fftInfo();
    ASSERT_NE(small, nullptr);
    EXPECT_TRUE(small->isVisible());
    EXPECT_EQ(small->windowTitle(), QStringLiteral("FFT INFO SCRREN"));
    EXPECT_EQ(small->label("Label4")->text(), QStringLiteral("Samplerate: 48000"));
    EXPECT_EQ(small->label("Label3")->text(), QStringLiteral("LAST ACTION: FFT"));
    EXPECT_EQ(small->label("LengthLabel")->text(), QStringLiteral("Distance: 10ms 3.4m"));
    EXPECT_EQ(small->label("LeftLabel")->text(), QStringLiteral("Left:  10ms 3.4m"));
    EXPECT_EQ(small->label("RightLabel")->text(), QStringLiteral("Right: 20ms 6.9m"));

    // Shown again it reads the window anew: the left edge before the origin has no sign.
    small->close();
    m.viewStart = 104;
    info->trigger();
    EXPECT_EQ(small->label("LeftLabel")->text(), QStringLiteral("Left:  2ms 0.7m"));
}

TEST(StartUpWindowTest, BorderlessWithProductBuildAndMemory) {
    TForm3 w;
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    const QStringList lines = w.lines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("FIELD IMPULSE METERING V1.70"));
    EXPECT_FALSE(lines[1].isEmpty());
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("Memory free: ")));
    EXPECT_TRUE(lines[2].endsWith(QLatin1Char('%')));
}

}  // namespace
}  // namespace fim
