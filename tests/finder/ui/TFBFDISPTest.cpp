#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QSignalSpy>
#include <QToolBar>
#include <QToolButton>
#include <functional>

#include "../../audio/LiveRig.h"
#include "audio/VirtualRoom.h"
#include "audio/ui/Peakpoin.h"
#include "finder/BandTable.h"
#include "finder/ui/TFBFDISP.h"
#include "shell/Catalog.h"

namespace fim {
namespace {

using testing::LiveRig;

bool Until(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 30000) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

QString M(int n) { return QString::fromStdString(Msg(n)); }

class TFBFDISPTest : public ::testing::Test {
  protected:
    TFBFDISPTest() {
        settings.DisplayMode = 0;  // EQ 31 BAND
        settings.Resolution = 1;
        settings.AutoRestart = 1;
    }
    VirtualRoom room{testing::HowlingRoom()};
    LiveRig rig{&room, kVirtualRoomName};
    FinderSettings settings;
    TFBFDISP window{rig.s, *rig.controller, rig.view, rig.prompter, settings};
};

TEST_F(TFBFDISPTest, ControlsOfTheWindow) {
    EXPECT_EQ(window.windowTitle(), M(254));
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window.label1()->text(), QStringLiteral("WAIT"));
    EXPECT_TRUE(window.label1()->font().bold());
    EXPECT_EQ(window.label1()->font().pixelSize(), 96);
    // The tool bar in order, with the hints of the Part.
    QStringList names, hints;
    for (QToolButton* b : window.findChild<QToolBar*>("ToolBar1")
                              ->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (b->objectName().startsWith(QStringLiteral("ToolButton"))) {
            names << b->objectName();
            hints << b->toolTip();
        }
    }
    EXPECT_EQ(names, (QStringList{"ToolButton1", "ToolButton3", "ToolButton4", "ToolButton5",
                                  "ToolButton7", "ToolButton11", "ToolButton13", "ToolButton15",
                                  "ToolButton8"}));
    EXPECT_EQ(hints, (QStringList{M(266), M(265), M(262), M(261), M(263), "SETUP", "SAMPLE",
                                  "SEARCH", "EXIT"}));
    ASSERT_TRUE(window.Start());
    EXPECT_TRUE(window.button("ToolButton4")->isChecked());
    EXPECT_TRUE(window.button("ToolButton7")->isChecked());
    EXPECT_EQ(window.statusPanel(0)->width(), 200);
    EXPECT_GE(window.statusPanel(1)->width(), 80);
    EXPECT_GE(window.statusPanel(2)->width(), 100);
    for (int i = 1; i < 3; ++i) {
        const QLabel* p = window.statusPanel(i);
        EXPECT_LE(p->fontMetrics().horizontalAdvance(p->text()), p->contentsRect().width())
            << "the threshold text fits its panel";
    }
    EXPECT_EQ(window.statusPanel(0)->text(), M(290));
    EXPECT_EQ(window.statusPanel(1)->text(), QStringLiteral("Sample: -10dB"));
    EXPECT_EQ(window.statusPanel(2)->text(), QStringLiteral("Restart: -30dB"));
    EXPECT_EQ(window.shapeColour(6), QColor(192, 192, 192));
    EXPECT_EQ(window.shapeColour(1), QColor(Qt::white));
    EXPECT_EQ(window.peakLamp(0)->objectName(), QStringLiteral("L1"));
    EXPECT_NEAR(window.peakLamp(7)->level(), -59.94, 1e-9);
    window.close();
}

TEST_F(TFBFDISPTest, FindsTheRoomsHowlShowsItInEveryModeAndSearchesAgain) {
    qRegisterMetaType<fim::FinderCapture>();
    QSignalSpy spy(&window, &TFBFDISP::captureAnalysed);
    ASSERT_TRUE(window.Start());
    ASSERT_TRUE(Until([&] { return spy.count() > 0; }));
    const auto capture = spy.at(0).at(0).value<fim::FinderCapture>();
    EXPECT_EQ(capture.reading.bin, 93);
    EXPECT_EQ(capture.captureLength, 4096);
    EXPECT_EQ(window.label1()->text(), QStringLiteral("1.00 kHz"));
    EXPECT_EQ(window.shapeColour(6), QColor(0, 255, 0));
    EXPECT_EQ(window.statusPanel(0)->text(), M(291));
    EXPECT_TRUE(Until([&] { return window.peakLamp(2)->lit(); }))
        << "the howl at −6 dB lights the −7 dB lamp";
    EXPECT_FALSE(window.peakLamp(1)->lit());

    // FREQUENCY: the plain frequency of the same bin.
    window.button("ToolButton5")->click();
    BandTable bands;
    EXPECT_EQ(window.label1()->text(),
              QString::fromStdString(bands.FrequencyLabel(4, 93 * 44100.0 / 4096)));
    EXPECT_EQ(window.shapeColour(6), QColor(0, 255, 0));
    EXPECT_EQ(settings.DisplayMode, 3);
    EXPECT_EQ(spy.count(), 1);

    // The howl stops after a second: AUTO RESTART goes back to searching.
    ASSERT_TRUE(Until([&] { return !window.model().Holding; }));
    EXPECT_EQ(window.statusPanel(0)->text(), M(290));

    window.button("ToolButton8")->click();  // EXIT
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(room.InputOpen());
    EXPECT_EQ(rig.controller->SoundMode, RunController::kModeMls);
}

TEST_F(TFBFDISPTest, SetupReleasesTheInputAroundTheDialogAndAppliesTheNewSettings) {
    ASSERT_TRUE(window.Start());
    bool opened = false;
    window.openSettings = [&] {
        opened = true;
        EXPECT_FALSE(room.InputOpen());
        settings.TriggerThreshold = -3;
        settings.Resolution = 0;
    };
    window.button("ToolButton11")->click();
    EXPECT_TRUE(opened);
    EXPECT_TRUE(room.InputOpen());
    EXPECT_EQ(window.model().CaptureLength(), 8192);
    EXPECT_EQ(window.statusPanel(1)->text(), QStringLiteral("Sample: -3dB"));
    window.close();
    EXPECT_FALSE(room.InputOpen());
}

}  // namespace
}  // namespace fim
