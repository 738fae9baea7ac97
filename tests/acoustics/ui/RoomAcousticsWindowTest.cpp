#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "../../mainwindow/ui/QuietFormOptions.h"
#include "acoustics/ui/RoomAcousticsWindow.h"
#include "audio/TimeFile.h"
#include "core/MeasurementState.h"
#include "mainwindow/ui/TForm1.h"
#include "shell/ScriptedPrompter.h"

namespace fim {
namespace {

constexpr double kRate = 48000;

// Noise decaying by 60 dB in `t60` s from sample 200, over a floor 70 dB down; with `period`
// set, the decay is wrapped round into that many samples as a too short MLS period leaves it.
std::vector<double> Decay(double t60, std::size_t samples, std::size_t period = 0) {
    std::mt19937 rng(8);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::vector<double> ir(period ? period : samples, 0.0);
    for (std::size_t k = 0; k < samples; ++k) {
        double v = 3e-4 * gauss(rng);
        if (k >= 200) v += gauss(rng) * std::exp(-6.9078 * double(k - 200) / (t60 * kRate));
        ir[k % ir.size()] += v;
    }
    return ir;
}

std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

class RoomAcousticsWindowTest : public ::testing::Test {
  protected:
    RoomAcousticsWindow& Open(const std::vector<double>& ir) {
        response = ir;
        window = std::make_unique<RoomAcousticsWindow>(
            [this](AcousticsInput& in) {
                if (response.empty()) return false;
                in.response = response;
                in.sampleRate = kRate;
                return true;
            },
            prompter);
        return *window;
    }
    QString Cell(int row, int col) const { return window->table()->item(row, col)->text(); }

    std::vector<double> response;
    ScriptedPrompter prompter;
    std::unique_ptr<RoomAcousticsWindow> window;
    QTemporaryDir dir;
};

TEST_F(RoomAcousticsWindowTest, TableShowsTheAnalysisAndFollowsTheChoices) {
    RoomAcousticsWindow& w = Open(Decay(0.5, 48000));
    const RoomAcousticsModel& m = w.model();
    ASSERT_EQ(w.table()->rowCount(), 9);
    ASSERT_EQ(w.table()->columnCount(), 12);
    const auto cells = m.Cells();
    for (int row = 0; row < 9; ++row) {
        for (int col = 0; col < 12; ++col) {
            const std::string& text =
                cells[static_cast<std::size_t>(row) + 1][static_cast<std::size_t>(col)];
            EXPECT_EQ(Cell(row, col), text == kNotEnoughDynamicRange
                                          ? QStringLiteral("\u2013")
                                          : QString::fromStdString(text));
        }
    }
    EXPECT_EQ(Cell(4, 0), QStringLiteral("1k"));
    EXPECT_NEAR(Cell(4, 5).toDouble(), 0.5, 0.03);  // T30
    EXPECT_EQ(Cell(8, 0), QStringLiteral("Z"));
    EXPECT_FALSE(w.note()->isVisibleTo(&w));

    w.bandsBox()->setCurrentIndex(1);
    EXPECT_EQ(w.table()->rowCount(), 25);
    w.weightingBox()->setCurrentIndex(1);
    EXPECT_EQ(Cell(24, 0), QStringLiteral("A"));

    // Choosing a row brings its curve and fit ranges to the front.
    w.plot()->resize(600, 300);
    w.table()->selectRow(13);
    EXPECT_EQ(m.selected, 13);
    const QImage oneK = w.plot()->grab().toImage();
    w.table()->selectRow(3);
    EXPECT_NE(w.plot()->grab().toImage(), oneK);
    EXPECT_EQ(m.Row(13)->band.label, "1k");
}

TEST_F(RoomAcousticsWindowTest, CopySaveAndPrint) {
    RoomAcousticsWindow& w = Open(Decay(0.5, 48000));
    w.CopyClick();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), w.model().ClipboardText());

    const std::string csv = dir.filePath("values.csv").toStdString();
    {
        std::ofstream old(csv);
        old << "old";
    }
    prompter.files = {"", csv};
    w.SaveCsvClick();  // cancelled: the old file stays
    EXPECT_EQ(Slurp(csv), "old");
    w.SaveCsvClick();
    EXPECT_EQ(Slurp(csv), w.model().CsvText());
    EXPECT_EQ(prompter.fileRequests.back().defaultExtension, "csv");
    EXPECT_TRUE(prompter.shown.empty());

    // A folder that is not there: the user is told, nothing is written.
    const std::string bad = dir.filePath("none/values.csv").toStdString();
    prompter.files = {bad};
    w.SaveCsvClick();
    ASSERT_NE(prompter.Last(), nullptr);
    EXPECT_EQ(prompter.Last()->icon, PromptIcon::Stop);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(bad)));

    // This machine has no printer: the page goes into a PDF.
    const std::string pdf = dir.filePath("values.pdf").toStdString();
    prompter.files = {pdf};
    w.PrintClick();
    EXPECT_EQ(Slurp(pdf).substr(0, 5), "%PDF-");
}

TEST_F(RoomAcousticsWindowTest, PeriodShorterThanTheDecayIsFlagged) {
    RoomAcousticsWindow& w = Open(Decay(1.0, 96000, 16383));
    EXPECT_TRUE(w.note()->isVisibleTo(&w));
    EXPECT_EQ(w.note()->text(), QString::fromLatin1(kLongerThanResponse));
    response[500] = std::nan("");  // a damaged response: no values, a note why
    w.FormActivate();
    EXPECT_EQ(w.table()->rowCount(), 0);
    EXPECT_EQ(w.note()->text(), QString::fromLatin1(kNonFiniteResponse));
    response.clear();  // the response is gone: an empty table, no note
    w.FormActivate();
    EXPECT_EQ(w.table()->rowCount(), 0);
    EXPECT_FALSE(w.note()->isVisibleTo(&w));
    w.CopyClick();
    w.SaveCsvClick();
    EXPECT_TRUE(prompter.fileRequests.empty());
}

TEST(RoomAcousticsMenu, MainWindowOpensItOnItsOwnKeyOnceThereIsAResponse) {
    MeasurementState meas;
    meas.buffers.Allocate({}, [](const std::string&) { FAIL(); });
    TForm1 form(meas, std::make_unique<ScriptedPrompter>(), QuietFormOptions());
    QAction* item = form.action("ROOMACOUSTICS1");
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->isEnabled());
    // No other command of the program answers the same key.
    form.FFT1Click();
    for (QWidget* top : QApplication::topLevelWidgets()) {
        for (QAction* a : top->findChildren<QAction*>()) {
            if (a != item) {
                EXPECT_NE(a->shortcut(), item->shortcut()) << a->objectName().toStdString();
            }
        }
    }

    QTemporaryDir dir;
    const std::vector<double> ir = Decay(0.3, 16384);
    const std::string mtf = dir.filePath("room.mtf").toStdString();
    ASSERT_TRUE(WriteTimeFile(mtf, kRate, ir.data(), ir.size()));
    ASSERT_TRUE(form.loadFile(mtf));
    EXPECT_TRUE(item->isEnabled());
    item->trigger();
    RoomAcousticsWindow* w = form.roomAcousticsWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Room Acoustics"));
    ASSERT_EQ(w->model().RowCount(), 9);
    const AcousticsResult expected = AnalyseRoom(ir.data(), ir.size() - 1, kRate);
    EXPECT_EQ(w->model().ClipboardText(), AcousticsTable(expected, '\t'));
    item->trigger();
    EXPECT_EQ(form.roomAcousticsWindow(), w);
    w->close();
    form.close();
}

}  // namespace
}  // namespace fim
