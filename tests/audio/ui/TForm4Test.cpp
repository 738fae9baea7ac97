#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <functional>

#include "../LiveRig.h"
#include "audio/VirtualRoom.h"
#include "audio/ui/Peakpoin.h"
#include "audio/ui/TForm4.h"
#include "shell/Catalog.h"

namespace fim {
namespace {

using testing::LiveRig;

RoomParameters FastRoom(double gainDb = 0) {
    RoomParameters p;
    p.realTime = false;
    p.gainDb = gainDb;
    return p;
}

// Runs the event loop until `done` or a generous limit.
bool Until(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 30000) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

TEST(Peakpoin, PublishedPropertiesFollowTheLampArithmetic) {
    Peakpoin p;
    p.setProperty("referenz", 32767);
    p.setProperty("level", -40.0);
    EXPECT_DOUBLE_EQ(p.property("level").toDouble(), -39.99);
    p.setProperty("Pon", QColor(Qt::red));
    p.setProperty("Poff", QColor(128, 0, 128));
    EXPECT_EQ(p.lamp().Pon, kLampRed);
    EXPECT_EQ(p.lamp().Poff, kLampPurple);
    p.setValue(328);
    EXPECT_EQ(p.brushColour(), QColor(128, 0, 128));
    p.setValue(-32768);
    EXPECT_EQ(p.brushColour(), QColor(Qt::red));
    p.setProperty("level", -100.0);
    EXPECT_DOUBLE_EQ(p.property("level").toDouble(), -100.0);
}

class TForm4Test : public ::testing::Test {
  protected:
    explicit TForm4Test(double gainDb = 0) : room(FastRoom(gainDb)) {}
    VirtualRoom room;
    LiveRig rig{&room, kVirtualRoomName};
    TForm4 window{rig.s, *rig.controller, rig.view, rig.prompter};
};

TEST_F(TForm4Test, LayoutOfTheBarsAndButtons) {
    ASSERT_TRUE(window.Start());
    EXPECT_EQ(window.windowTitle(), QString::fromStdString(Msg(68)));
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    const double levels[] = {-2, -4, -7, -10, -20, -30, -40, -60};
    const double readBack[] = {-2, -4, -7, -10, -20, -30, -39.99, -59.94};
    const char* atcNames[] = {"Peakpoin13", "Peakpoin14", "Peakpoin15", "Peakpoin16",
                              "Peakpoin17", "Peakpoin18", "Peakpoin1",  "Peakpoin2"};
    const char* inNames[] = {"Peakpoin7",  "Peakpoin8",  "Peakpoin9", "Peakpoin10",
                             "Peakpoin11", "Peakpoin12", "Peakpoin3", "Peakpoin4"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(window.atcLamp(i)->objectName(), atcNames[i]);
        EXPECT_EQ(window.inLamp(i)->objectName(), inNames[i]);
        EXPECT_NEAR(window.atcLamp(i)->level(), readBack[i], 1e-9) << levels[i];
        EXPECT_EQ(window.inLamp(i)->referenz(), rig.s.FullScale);
        const QColor on = i == 0 ? QColor(Qt::red) : i < 3 ? QColor(Qt::yellow) : QColor(0, 255, 0);
        EXPECT_EQ(window.inLamp(i)->pon(), on) << i;
        EXPECT_EQ(window.inLamp(i)->poff(), QColor(128, 0, 128));
    }
    EXPECT_EQ(window.findChild<QLabel*>("Panel1")->text(), QStringLiteral("In: Virtual "));
    EXPECT_EQ(window.findChild<QLabel*>("Panel5")->text(), QStringLiteral("Out: Virtual "));
    EXPECT_EQ(window.findChild<QPushButton*>("Button2")->text(), QString::fromStdString(Msg(293)));
    EXPECT_EQ(window.findChild<QPushButton*>("Button1")->text(), QStringLiteral("Win - Mixer"));
    EXPECT_EQ(window.findChild<QPushButton*>("BitBtn1")->text(), QStringLiteral("OK"));
    window.close();
}

TEST_F(TForm4Test, LampsLightAsTheRoomsGainSaysAndQuietPausesTheNoise) {
    ASSERT_TRUE(window.Start());
    ASSERT_TRUE(Until([&] { return window.atcLamp(7)->lit(); }));
    EXPECT_TRUE(window.atcLamp(2)->lit());   // −6 dB noise lights −7 dB …
    EXPECT_FALSE(window.atcLamp(1)->lit());  // … but not −4 dB
    EXPECT_FALSE(window.atcLamp(0)->lit());
    EXPECT_TRUE(window.inLamp(7)->lit());
    auto* button2 = window.findChild<QPushButton*>("Button2");
    button2->click();
    EXPECT_EQ(button2->text(), QString::fromStdString(Msg(294)));
    button2->click();
    EXPECT_EQ(button2->text(), QString::fromStdString(Msg(293)));
    const auto seen = window.model().buffersSeen;
    ASSERT_TRUE(Until([&] { return window.model().buffersSeen > seen + 4; }))
        << "the noise and the recording go on after Noise";
    window.findChild<QPushButton*>("BitBtn1")->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(room.InputOpen() || room.OutputOpen());
    EXPECT_EQ(rig.controller->SoundMode, RunController::kModeMls);
}

class TForm4LoudTest : public TForm4Test {
  protected:
    TForm4LoudTest() : TForm4Test(6.0) {}
};

TEST_F(TForm4LoudTest, RaisingTheGainLightsTheRedLamps) {
    ASSERT_TRUE(window.Start());
    ASSERT_TRUE(Until([&] { return window.atcLamp(0)->lit(); }));
    EXPECT_EQ(window.atcLamp(0)->brushColour(), QColor(Qt::red));
    window.close();
}

TEST_F(TForm4Test, MixerTriesTheDesktopsMixersAndSaysWhenNoneStarts) {
    QStringList tried;
    window.startProgram = [&](const QString& program, const QStringList&) {
        tried << program;
        return false;
    };
    window.Button1Click();
    ASSERT_FALSE(tried.isEmpty());
    EXPECT_EQ(tried.first(), QStringLiteral("pavucontrol"));
    ASSERT_NE(rig.prompter.Last(), nullptr);
    EXPECT_EQ(rig.prompter.Last()->caption, "Win - Mixer");
    const std::size_t boxes = rig.prompter.shown.size();
    window.startProgram = [&](const QString& program, const QStringList&) {
        return program == QStringLiteral("pavucontrol");
    };
    window.Button1Click();
    EXPECT_EQ(rig.prompter.shown.size(), boxes);
}

TEST_F(TForm4Test, ClosingMidStreamLeavesTheDevicesClosedAndMeasuringWorks) {
    bool settingsOpened = false;
    window.openSettings = [&] {
        settingsOpened = true;
        EXPECT_FALSE(room.InputOpen() || room.OutputOpen()) << "released around the dialog";
    };
    ASSERT_TRUE(window.Start());
    ASSERT_TRUE(Until([&] { return window.model().buffersSeen > 3; }));
    window.SetupClick();
    EXPECT_TRUE(settingsOpened);
    EXPECT_TRUE(room.InputOpen() && room.OutputOpen()) << "taken again after the dialog";
    window.close();
    EXPECT_FALSE(room.InputOpen() || room.OutputOpen());
    rig.s.MlsOrder = 12;
    rig.s.IgnoreFirst = false;
    rig.controller->NORMALClick();
    ASSERT_TRUE(Until([&] {
        rig.controller->DispatchDeviceEvents();
        return !rig.s.RunActive;
    }));
    EXPECT_EQ(rig.view.completions, 1);
}

}  // namespace
}  // namespace fim
