#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <cmath>

#include "base/Catalog.h"
#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"
#include "mainwindow/ui/TimeTraceView.h"
#include "mainwindow/ui/TimeTraceWidget.h"

namespace fim {
namespace {

class TimeTraceViewTest : public ::testing::Test {
  protected:
    TimeTraceViewTest() {
        meas.buffers.Allocate({}, [](const std::string&) { FAIL(); });
        meas.MlsSize = 4096;
        meas.FftSize = 4096;
        double* rlp = meas.buffers.RLPd();
        for (int i = 0; i < 4096; ++i) rlp[i] = 0.01 * std::sin(i * 0.2);
        rlp[499] = 0.5;
        meas.ImpulsePeakIndex = 500;
        meas.ImpulsePeakValue = 0.5;
        meas.ImpulseValid = true;
        view = std::make_unique<TimeTraceView>(meas, prompter);
        view->resize(1034, 600);
        view->show();
        view->model().measured = true;
        QCoreApplication::processEvents();
    }

    TimeTraceModel& model() { return view->model(); }
    void Drag(int from, int to) {
        QWidget* t = view->trace();
        QTest::mousePress(t, Qt::LeftButton, {}, QPoint(from, 100));
        QTest::mouseMove(t, QPoint(to, 100));
        QTest::mouseRelease(t, Qt::LeftButton, {}, QPoint(to, 100));
    }

    MeasurementState meas;
    ScriptedPrompter prompter;
    std::unique_ptr<TimeTraceView> view;
};

TEST_F(TimeTraceViewTest, DragOnTheTraceZoomsTheSameSpanInEitherDirection) {
    const int w = view->trace()->width();
    ASSERT_GT(w, 500);
    model().viewStart = 1001;
    model().viewEnd = 1001 + w;  // one sample per pixel
    Drag(100, 101);              // one pixel: only the marker moves
    EXPECT_EQ(model().viewStart, 1001);
    EXPECT_EQ(model().viewEnd, 1001 + w);
    EXPECT_EQ(model().marker1, 1101);
    EXPECT_FALSE(model().Dragging());

    Drag(400, 150);
    EXPECT_EQ(model().viewStart, 1151);
    EXPECT_EQ(model().viewEnd, 1401);
    EXPECT_EQ(model().marker1, 1401);  // set where the drag began
}

TEST_F(TimeTraceViewTest, PopupMenuCaptionsAndStateFollowTheMode) {
    const QList<QAction*> actions = view->popupMenu()->actions();
    const int captions[] = {122, 123, 120, 121, 125, 130, 131, 126, 132, 133};
    ASSERT_EQ(actions.size(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(actions[i]->text().toStdString(), Msg(captions[i])) << i;
    }
    EXPECT_TRUE(actions[2]->isChecked());   // MARKER 1 at start-up
    EXPECT_FALSE(actions[9]->isVisible());  // SHOW DIFFERENCE until the first latch

    actions[0]->trigger();  // CUT LEFT
    EXPECT_EQ(model().Mode(), MouseMode::CutLeft);
    EXPECT_EQ(model().modeCaption, Msg(122));
    EXPECT_FALSE(actions[7]->isEnabled());
    EXPECT_FALSE(actions[8]->isEnabled());

    actions[3]->trigger();  // Set marker 2
    actions[8]->trigger();  // LATCH MARKER
    EXPECT_TRUE(actions[9]->isVisible());
    EXPECT_TRUE(actions[8]->isEnabled());
}

TEST_F(TimeTraceViewTest, SpeedButtonsCarryHintsAndRunTheirCommands) {
    const QList<QToolButton*> buttons = view->findChildren<QToolButton*>();
    ASSERT_EQ(buttons.size(), 11);
    QToolButton* user1 = nullptr;
    for (QToolButton* b : buttons) {
        if (b->toolTip().toStdString() == Msg(51) + "User 1") user1 = b;
        EXPECT_FALSE(b->icon().isNull());
    }
    ASSERT_NE(user1, nullptr);
    EXPECT_TRUE(model().responseControlsEnabled);  // a response is there
    EXPECT_TRUE(user1->isEnabled());
    user1->click();
    EXPECT_EQ(model().viewStart, 500 - 18);
    EXPECT_EQ(model().viewEnd, 500 + 423);

    int features = 0;
    model().host.openFeatures = [&](FeaturesPage p) {
        EXPECT_EQ(p, FeaturesPage::UserWindow);
        ++features;
    };
    QTest::mousePress(user1, Qt::RightButton);
    EXPECT_EQ(features, 1);
}

}  // namespace
}  // namespace fim
