#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <functional>

#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"
#include "finder/FinderModel.h"
#include "finder/ui/RingOutWindow.h"
#include "finder/ui/TFBFDISP.h"
#include "mainwindow/ui/TForm1.h"
#include "settings/ProgramSettings.h"

namespace fim {
namespace {

FinderCapture Capture(double frequency, double peakDb) {
    FinderCapture c;
    c.reading.frequency = frequency;
    c.reading.valid = true;
    c.displayMode = kEq31Band;
    c.captureLength = 4096;
    c.sampleRate = 44100;
    c.peakDb = peakDb;
    c.thresholdDb = -10;
    return c;
}

QString Cell(QTableWidget* t, int row, int col) { return t->item(row, col)->text(); }

TEST(RingOutWindow, ListSortDeleteClearAndKeptAcrossARestart) {
    MemorySettingsTree tree;
    ScriptedPrompter prompter;
    {
        RingOutWindow w(tree, prompter);
        w.AddCapture(Capture(4000, -5), 100);
        w.AddCapture(Capture(250, -5), 101);
        w.AddCapture(Capture(4050, -5), 102);
        QTableWidget* t = w.table();
        ASSERT_EQ(t->rowCount(), 3);
        EXPECT_EQ(Cell(t, 0, 3), "4.00 kHz");
        EXPECT_EQ(Cell(t, 1, 3), "250.0 Hz");
        EXPECT_EQ(Cell(t, 0, 6), "2");
        w.SetOrder(RingOutOrder::Band);
        EXPECT_EQ(Cell(t, 0, 3), "250.0 Hz");
        EXPECT_EQ(Cell(t, 2, 3), "4.00 kHz");
        // Deleting the selected row by band removes that capture.
        t->selectRow(1);
        w.DeleteClick();
        ASSERT_EQ(w.log().size(), 2u);
        EXPECT_EQ(w.log().entries()[0].time, 101);
        EXPECT_EQ(Cell(t, 1, 6), "1");
    }
    {
        RingOutWindow restarted(tree, prompter);
        ASSERT_EQ(restarted.table()->rowCount(), 2);
        prompter.answers.push_back(PromptAnswer::No);
        restarted.ClearClick();
        EXPECT_EQ(restarted.log().size(), 2u) << "No keeps the list";
        prompter.answers.push_back(PromptAnswer::Yes);
        restarted.ClearClick();
        EXPECT_EQ(restarted.table()->rowCount(), 0);
    }
    RingOutWindow cleared(tree, prompter);
    EXPECT_EQ(cleared.log().size(), 0u);
}

TEST(RingOutWindow, SavesCsvAndPrintsAPdfWithoutAPrinter) {
    QTemporaryDir dir;
    MemorySettingsTree tree;
    ScriptedPrompter prompter;
    RingOutWindow w(tree, prompter);
    w.AddCapture(Capture(1000, -3), 100);
    w.AddCapture(Capture(63, -8), 101);

    const std::string csv = dir.filePath("ring.csv").toStdString();
    prompter.files = {csv, dir.filePath("ring.pdf").toStdString()};
    w.SaveCsvClick();
    QFile f(QString::fromStdString(csv));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().toStdString(), w.log().Csv(RingOutOrder::Time));
    w.PrintClick();
    QFile pdf(dir.filePath("ring.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(4) == "%PDF");

    // A folder that does not exist: a message, and nothing claims success.
    prompter.files = {dir.filePath("missing/ring.csv").toStdString()};
    w.SaveCsvClick();
    ASSERT_NE(prompter.Last(), nullptr);
    EXPECT_EQ(prompter.Last()->icon, PromptIcon::Stop);
}

// The main window's finder on a howling Virtual Room fills the list beside it.
TEST(RingOutWindow, FedByTheFinderOfTheMainWindow) {
    QStandardPaths::setTestModeEnabled(true);
    MeasurementState meas;
    meas.buffers.Allocate({}, [](const std::string&) {});
    meas.DevicesClosed = true;
    auto tree = std::make_unique<MemorySettingsTree>();
    tree->WriteInteger("VERSION", kSettingsVersion);
    TForm1Options o;
    o.settings = std::move(tree);
    o.realDevices = false;
    o.room.realTime = false;
    o.room.feedback = true;
    o.room.feedbackFrequency = 2000;
    o.room.feedbackLevel = -4;
    o.room.feedbackDelay = 0.3;
    o.room.feedbackLength = 1.0;
    TForm1 form(meas, std::make_unique<ScriptedPrompter>(), std::move(o));
    form.show();
    form.DOFBF();
    RingOutWindow* w = form.ringOutWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    QElapsedTimer t;
    t.start();
    while (w->log().size() == 0 && t.elapsed() < 30000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(w->log().size(), 1u);
    EXPECT_NEAR(w->log().entries()[0].frequency, 2000, 44100.0 / 4096);
    EXPECT_TRUE(form.settings().HasValue(RingOutLog::kSettingsName));
    form.finderWindow()->close();
    form.close();
}

}  // namespace
}  // namespace fim
