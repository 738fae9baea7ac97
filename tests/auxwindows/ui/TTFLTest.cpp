#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <vector>

#include "../../mainwindow/ui/QuietFormOptions.h"
#include "audio/TimeFile.h"
#include "auxwindows/ui/TTFL.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"
#include "mainwindow/ui/TForm1.h"
#include "mainwindow/ui/TimeTraceView.h"
#include "settings/ProgramSettings.h"

namespace fim {
namespace {

std::vector<double> DecayingResponse(std::size_t n, std::size_t onset) {
    std::vector<double> ir(n, 0.0);
    for (std::size_t i = onset; i < n; ++i) {
        ir[i] = 1000.0 * std::exp(-static_cast<double>(i - onset) / 900.0) *
                std::sin(0.37 * i + 0.002 * i * i / n);
    }
    return ir;
}

TEST(TTFLTest, WindowShowsTheSamePixelsAsFimtool) {
    QTemporaryDir dir;
    const std::vector<double> ir = DecayingResponse(16383, 400);
    const std::string mtf = dir.filePath("ir.mtf").toStdString();
    ASSERT_TRUE(WriteTimeFile(mtf, 48000.0, ir.data(), ir.size()));
    const QString png = dir.filePath("tld.png");
    QProcess tool;
    tool.start(FIMTOOL_PATH,
               {"tld", "--in", QString::fromStdString(mtf), "--start", "351", "--png", png});
    ASSERT_TRUE(tool.waitForFinished(60000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QImage fromTool = QImage(png).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(fromTool.size(), QSize(517, 247));

    TTFL w([&ir](TflInput& in) {
        in.impulse = ir;
        in.start = 351;
        return true;
    });
    w.paintBox()->resize(517, 247);
    w.DrawLevels();
    EXPECT_GT(w.levels().Max, 0.0);
    EXPECT_EQ(w.bitmap(), fromTool);
    // Painting copies the image unchanged.
    EXPECT_EQ(w.paintBox()->grab().toImage().convertToFormat(QImage::Format_RGB32), fromTool);
}

TEST(TTFLTest, NoResponseShowsLevelZeroAndActivationRecomputes) {
    std::vector<double> ir;
    int64_t start = 1;
    bool available = false;
    TTFL w([&](TflInput& in) {
        in.impulse = ir;
        in.start = start;
        return available;
    });
    w.paintBox()->resize(517, 247);
    w.DrawLevels();
    const QColor zero = QColor::fromRgb(w.bitmap().pixel(0, 0));
    for (const QPoint p : {QPoint(0, 0), QPoint(258, 120), QPoint(516, 246)}) {
        EXPECT_EQ(QColor::fromRgb(w.bitmap().pixel(p)), zero);
    }

    ir = DecayingResponse(20000, 100);
    available = true;
    w.FormActivate();
    const QImage early = w.bitmap();
    EXPECT_NE(QColor::fromRgb(early.pixel(30, 200)), zero);
    start = 8000;  // the window's start moved into the tail
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&w, &activate);
    EXPECT_NE(w.bitmap(), early);
}

TEST(TTFLTest, MainWindowMenuItemOpensTheDiagramOnceThereIsAResponse) {
    MeasurementState meas;
    meas.buffers.Allocate({}, [](const std::string&) { FAIL(); });
    TForm1 form(meas, std::make_unique<ScriptedPrompter>(), QuietFormOptions());
    QAction* item = form.action("TIMELEVEL1");
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isVisible());
    EXPECT_FALSE(item->isEnabled());

    QTemporaryDir dir;
    const std::vector<double> ir = DecayingResponse(16383, 300);
    const std::string mtf = dir.filePath("room.mtf").toStdString();
    ASSERT_TRUE(WriteTimeFile(mtf, 48000.0, ir.data(), ir.size()));
    ASSERT_TRUE(form.loadFile(mtf));
    EXPECT_TRUE(item->isEnabled());
    form.view()->model().viewStart = 251;
    item->trigger();
    TTFL* w = form.timeLevelWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Time Level Diagram"));

    // The diagram is the one of the main window's response from its analysis window's start.
    WindowTable table;
    FftEngine engine;
    LevelMatrix expected;
    ASSERT_TRUE(ComputeLevels(
        TflSettings{},
        std::span<const double>(ir.data(), static_cast<std::size_t>(meas.MlsSize - 1)), 251, table,
        engine, expected));
    EXPECT_EQ(w->levels().Values, expected.Values);
    item->trigger();  // a second time brings the same window forward
    EXPECT_EQ(form.timeLevelWindow(), w);
    w->close();
    EXPECT_FALSE(w->isVisible());
    form.close();
}

}  // namespace
}  // namespace fim
