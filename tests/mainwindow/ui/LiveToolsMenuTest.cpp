// The main window's ways into the level setup monitor and the feedback finder: menus, keys, the
// frequency window's key, and the devices afterwards.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTest>
#include <functional>

#include "audio/ui/TForm4.h"
#include "core/MeasurementState.h"
#include "finder/ui/TFBFDISP.h"
#include "mainwindow/ui/TForm1.h"
#include "mainwindow/ui/TimeTraceView.h"
#include "settings/MemorySettingsTree.h"
#include "settings/ProgramSettings.h"
#include "shell/ScriptedPrompter.h"
#include "spectrum/ui/TFFTDISPLAY.h"

namespace fim {
namespace {

bool Until(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 60000) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

class LiveToolsMenuTest : public ::testing::Test {
  protected:
    LiveToolsMenuTest() {
        QStandardPaths::setTestModeEnabled(true);
        meas.buffers.Allocate({}, [](const std::string&) {});
        meas.MlsOrder = 12;
        meas.IgnoreFirst = false;
        meas.DevicesClosed = true;
        auto tree = std::make_unique<MemorySettingsTree>();
        tree->WriteInteger("VERSION", kSettingsVersion);
        tree->WriteInteger("MLSVOL", 0);
        TForm1Options o;
        o.settings = std::move(tree);
        o.realDevices = false;
        o.room.realTime = false;
        form = std::make_unique<TForm1>(meas, std::make_unique<ScriptedPrompter>(), std::move(o));
        form->show();
    }
    ~LiveToolsMenuTest() override {
        form->close();
        form.reset();
    }
    bool DevicesOpen() {
        return form->controller().Devices().InputOpen() ||
               form->controller().Devices().OutputOpen();
    }
    bool Measure() {
        form->action("MLSONLY1")->trigger();
        return Until([&] { return !meas.RunActive; }) && meas.ImpulseValid;
    }

    MeasurementState meas;
    std::unique_ptr<TForm1> form;
};

TEST_F(LiveToolsMenuTest, LevelSetupFromTheMenuAndTheKey) {
    QAction* level = form->action("LEVELSETUP1");
    ASSERT_TRUE(level->isEnabled());
    level->trigger();
    TForm4* w = form->levelSetupWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->pos(), form->geometry().topLeft());
    EXPECT_FALSE(form->action("RUN1")->isEnabled());
    EXPECT_FALSE(form->action("SETUP1")->isEnabled());
    EXPECT_EQ(form->controller().SoundMode, RunController::kModeLevelSetup);
    // The finder key does nothing while the run menu is off.
    QTest::keyClick(form->view(), Qt::Key_F);
    EXPECT_EQ(form->finderWindow(), nullptr);
    w->close();
    EXPECT_FALSE(DevicesOpen());
    EXPECT_TRUE(form->action("RUN1")->isEnabled());
    EXPECT_TRUE(form->action("SETUP1")->isEnabled());
    EXPECT_TRUE(Measure()) << "measures at once after the monitor";

    QTest::keyClick(form->view(), Qt::Key_L);
    EXPECT_TRUE(w->isVisible()) << "key L opens the same window again";
    EXPECT_EQ(form->levelSetupWindow(), w);
    form->close();  // the main window closing takes the monitor with it
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(DevicesOpen());
}

TEST_F(LiveToolsMenuTest, FinderFromTheMenuTheKeyAndTheFrequencyWindow) {
    ASSERT_TRUE(Measure());
    QAction* finder = form->action("FEEDBACKFINDER1");
    ASSERT_TRUE(finder->isEnabled());
    finder->trigger();
    TFBFDISP* w = form->finderWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(form->controller().SoundMode, RunController::kModeFinder);
    EXPECT_TRUE(form->controller().Devices().InputOpen());
    EXPECT_FALSE(form->controller().Devices().OutputOpen());
    w->STOP1Click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(DevicesOpen());
    EXPECT_TRUE(meas.ImpulseValid) << "the measured response stays";

    QTest::keyClick(form->view(), Qt::Key_F);
    EXPECT_TRUE(w->isVisible());
    w->close();

    form->FFT1Click();
    TFFTDISPLAY* fft = form->frequencyWindow();
    ASSERT_NE(fft, nullptr);
    // One live tool at a time: the frequency window's key F ends a running level setup.
    form->LEVELSETUP1Click();
    ASSERT_TRUE(form->levelSetupWindow()->isVisible());
    QTest::keyClick(fft->plot(), Qt::Key_F);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(form->levelSetupWindow()->isVisible());
    EXPECT_EQ(form->controller().SoundMode, RunController::kModeFinder);
    w->close();
    EXPECT_FALSE(DevicesOpen());
    EXPECT_TRUE(Measure());
}

}  // namespace
}  // namespace fim
