// A seat set through the main window on the Virtual Room: seats, countdown on the clock panel,
// the mean with its band in the frequency window, and the room given back afterwards.
// With FIM_SCREENSHOT_DIR set, the finished window pair is saved there as seat-set.png.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "QuietFormOptions.h"
#include "audio/SoundFilePlayer.h"
#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"
#include "mainwindow/ui/TForm1.h"
#include "spectrum/ui/TFFTDISPLAY.h"

namespace fim {
namespace {

class SilentPlayer : public SoundFilePlayer {
  public:
    explicit SilentPlayer(std::vector<std::string>* played) : played_(played) {}
    bool Play(const std::string& path) override {
        played_->push_back(path);
        return true;
    }

  private:
    std::vector<std::string>* played_;
};

class SeatSetWindowTest : public ::testing::Test {
  protected:
    SeatSetWindowTest() {
        QStandardPaths::setTestModeEnabled(true);
        meas.buffers.Allocate({}, [](const std::string&) { FAIL(); });
        meas.DevicesClosed = true;
        auto p = std::make_unique<ScriptedPrompter>();
        prompter = p.get();
        TForm1Options o = QuietFormOptions();
        o.room.realTime = false;
        o.room.seed = 5;
        o.room.distance = 3.0;
        o.room.seatStep = 1.5;
        o.alarmPlayer = std::make_unique<SilentPlayer>(&played);
        form = std::make_unique<TForm1>(meas, std::move(p), std::move(o));
        form->resize(900, 560);
        form->show();
    }
    ~SeatSetWindowTest() override {
        form->close();
        form.reset();
    }
    void WaitUntil(const std::function<bool()>& done) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 120000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    QTemporaryDir dir;
    MeasurementState meas;
    ScriptedPrompter* prompter = nullptr;
    std::vector<std::string> played;
    std::unique_ptr<TForm1> form;
};

TEST_F(SeatSetWindowTest, FourSeatsEndWithTheMeanAndItsBandInTheFrequencyWindow) {
    const QString folder = dir.filePath(QStringLiteral("Stalls"));
    prompter->files = {folder.toStdString()};
    SeatRunPlan plan;
    plan.macro = 1;  // Speaker in Room
    plan.seats = 4;
    plan.moveSeconds = 0;
    form->SEATSET1Click(plan);
    ASSERT_TRUE(form->seatRun().Active());
    EXPECT_TRUE(form->action(QStringLiteral("STOPSEATSET1"))->isEnabled());
    WaitUntil([&] { return !form->seatRun().Active(); });
    for (const auto& box : prompter->shown) ADD_FAILURE() << box.caption << ": " << box.text;
    ASSERT_EQ(form->seatRun().Set().size(), 4u);
    EXPECT_EQ(form->seatPanel()->text(), QStringLiteral("Seat set \"Stalls\" complete: 4 seats"));
    EXPECT_FALSE(form->action(QStringLiteral("STOPSEATSET1"))->isEnabled());
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("Stalls seat *.SMR")}, QDir::Files).size(), 4);
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/Stalls mean.SMR")));
    // Three "next seat" cues and the closing one went to the player.
    ASSERT_EQ(played.size(), 4u);
    EXPECT_NE(played.front(), played.back());

    // The room is given back its own distance and seed once the set is over.
    WaitUntil([&] { return form->room().Parameters().distance == 3.0; });
    EXPECT_EQ(form->room().Parameters().seed, 5u);

    TFFTDISPLAY* f = form->frequencyWindow();
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(f->HasSeatSet());
    // The band survives repaints: every paint rebuilds it from the set.
    QImage image(800, 500, QImage::Format_RGB32);
    for (int pass = 0; pass < 2; ++pass) {
        QPainter p(&image);
        f->PaintTo(p, image.rect(), false, true, {});
    }
    ASSERT_EQ(f->bandCurves().size(), 1u);
    const BandCurve& band = f->bandCurves().front();
    ASSERT_GT(band.mean.size(), 200u);
    double widest = 0.0;
    for (std::size_t i = 0; i < band.mean.size(); ++i)
        widest = std::max(widest, band.upper[i].db - band.lower[i].db);
    EXPECT_GT(widest, 1.0);  // four seats 1.5 m apart do differ
    EXPECT_FALSE(band.flagged.points.empty());
    EXPECT_EQ(band.legend.size(), 2u);  // the set and its farthest seat are named

    if (const QByteArray shots = qgetenv("FIM_SCREENSHOT_DIR"); !shots.isEmpty()) {
        f->resize(900, 560);
        f->show();
        QApplication::processEvents();
        f->grab().save(QString::fromUtf8(shots) + QStringLiteral("/seat-set.png"));
        form->grab().save(QString::fromUtf8(shots) + QStringLiteral("/seat-set-main.png"));
    }

    f->ClearSeatSet();
    QPainter p(&image);
    f->PaintTo(p, image.rect(), false, true, {});
    EXPECT_TRUE(f->bandCurves().empty());
}

}  // namespace
}  // namespace fim
