#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <vector>

#include "app/ui/QtTranslations.h"
#include "audio/ImpulseFiles.h"
#include "audio/TimeFile.h"
#include "audio/VirtualRoom.h"
#include "base/Catalog.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "base/platform/QSettingsTree.h"
#include "base/ui/QtPrompter.h"
#include "core/MeasurementState.h"
#include "macros/ui/TFileeingabe.h"
#include "macros/ui/TMakroinfo.h"
#include "mainwindow/MainShell.h"
#include "mainwindow/ui/PeakQuestionDialog.h"
#include "mainwindow/ui/TForm1.h"
#include "mainwindow/ui/TimeTraceView.h"
#include "settings/FeaturesModel.h"
#include "settings/ProgramSettings.h"
#include "settings/platform/FirstStart.h"
#include "settings/ui/TFEATURES.h"

namespace fim {
namespace {

// Hands the window a tree that outlives it, so a second window (the restart) reads what the
// first one saved.
class SharedTree : public SettingsTree {
  public:
    explicit SharedTree(MemorySettingsTree& t) : t_(t) {}
    bool HasValue(std::string_view n) const override { return t_.HasValue(n); }
    std::optional<int32_t> ReadInteger(std::string_view n) const override {
        return t_.ReadInteger(n);
    }
    std::optional<bool> ReadBool(std::string_view n) const override { return t_.ReadBool(n); }
    std::optional<double> ReadFloat(std::string_view n) const override { return t_.ReadFloat(n); }
    std::optional<std::string> ReadString(std::string_view n) const override {
        return t_.ReadString(n);
    }
    std::optional<std::vector<uint8_t>> ReadBinary(std::string_view n) const override {
        return t_.ReadBinary(n);
    }
    void WriteInteger(std::string_view n, int32_t v) override { t_.WriteInteger(n, v); }
    void WriteBool(std::string_view n, bool v) override { t_.WriteBool(n, v); }
    void WriteFloat(std::string_view n, double v) override { t_.WriteFloat(n, v); }
    void WriteString(std::string_view n, std::string_view v) override { t_.WriteString(n, v); }
    void WriteBinary(std::string_view n, const std::vector<uint8_t>& v) override {
        t_.WriteBinary(n, v);
    }
    void DeleteValue(std::string_view n) override { t_.DeleteValue(n); }
    bool Flush() override { return !failFlush; }
    std::string Location() const override { return "/home/engineer/.config/fim.ini"; }
    static inline bool failFlush = false;  // a full disk or a read-only folder

  private:
    MemorySettingsTree& t_;
};

// The main window with the frequency-response window's part recorded instead of carried out.
class RecordingForm : public TForm1 {
  public:
    using TForm1::TForm1;
    // The kind of each run whose spectrum was asked for.
    void ShowFrequencyResponse(std::optional<AnalysisMode>,
                               std::optional<AnalysisWindow>) override {
        shown.push_back(controller().RunKind);
    }
    void SetStatusPanel(int panel, const std::string& text) override {
        if (panel == 1) counter.push_back(text);
        TForm1::SetStatusPanel(panel, text);
    }
    std::vector<int> shown;
    std::vector<std::string> counter;  // status panel 1, in order
};

class TForm1Test : public ::testing::Test {
  protected:
    TForm1Test() {
        QStandardPaths::setTestModeEnabled(true);
        meas.buffers.Allocate({}, [](const std::string&) { FAIL(); });
        meas.MlsOrder = 12;
        meas.IgnoreFirst = false;
        meas.QualityCheck = true;
        meas.DevicesClosed = true;
        tree.WriteInteger("VERSION", kSettingsVersion);
        tree.WriteInteger("MLSVOL", 0);  // not a first start: no shortcut questions
    }

    void Open(QStringList arguments = {}) {
        auto p = std::make_unique<ScriptedPrompter>();
        prompter = p.get();
        TForm1Options o;
        if (iniPath.isEmpty()) {
            o.settings = std::make_unique<SharedTree>(tree);
        } else {
            o.settings = std::make_unique<QSettingsTree>(iniPath);
        }
        o.realDevices = false;
        o.room.realTime = false;
        o.room.seed = 5;
        o.arguments = std::move(arguments);
        o.fileTypes = fileTypes;
        if (recording) {
            form = std::make_unique<RecordingForm>(meas, std::move(p), std::move(o));
        } else {
            form = std::make_unique<TForm1>(meas, std::move(p), std::move(o));
        }
    }

    void Close() {
        form->close();
        form.reset();
    }

    // Runs the event loop until the run is over.
    void WaitForRun() {
        QElapsedTimer t;
        t.start();
        while ((meas.RunActive || t.elapsed() < 20) && t.elapsed() < 60000) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
    }

    std::string WriteResponse(const char* name, int n, int peak) {
        std::vector<double> r(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) r[i] = 0.001 * std::sin(i * 0.5);
        r[peak - 1] = -0.75;
        const std::string path = dir.filePath(name).toStdString();
        EXPECT_TRUE(WriteTimeFile(path, 48000.0, r.data(), r.size()));
        return path;
    }

    QString Panel(int i) const { return form->statusPanelLabel(i)->text(); }

    QTemporaryDir dir;
    QString iniPath;         // set: the window keeps its settings in this file
    bool recording = false;  // open a RecordingForm
    std::shared_ptr<const FileTypeRegistrar> fileTypes;  // set: registers missing file types
    MeasurementState meas;
    MemorySettingsTree tree;
    ScriptedPrompter* prompter = nullptr;
    std::unique_ptr<TForm1> form;
};

TEST(MainShellTest, AveragingAndFftWindowRules) {
    EXPECT_EQ(AveragingIndex(1), 0);
    EXPECT_EQ(AveragingIndex(128), 7);
    EXPECT_EQ(AveragingIndex(3), -1);
    EXPECT_EQ(AveragingIndex(0), -1);
    // The window may be exactly as wide as the FFT, not one sample more.
    EXPECT_TRUE(WindowFitsFft(1, 4097, 4096));
    EXPECT_FALSE(WindowFitsFft(1, 5001, 4096));
    EXPECT_FALSE(WindowFitsFft(1, 4098, 4096));
    EXPECT_EQ(SpectrumPeakText(999.5, -3.04), "Peak 1000 Hz -3.0 dB");
    EXPECT_EQ(SpectrumPeakText(1000.5, 2.06), "Peak 1000 Hz 2.1 dB");
}

TEST(MainShellTest, DefaultDevicesOnlyFillMissingNames) {
    VirtualRoom room;
    MemorySettingsTree t;
    EXPECT_TRUE(StoreDefaultDevices(t, room));
    EXPECT_EQ(t.ReadString("INCARD"), kVirtualRoomName);
    EXPECT_EQ(t.ReadString("OUTCARD"), kVirtualRoomName);
    t.WriteString("INCARD", "USB Audio");
    t.WriteString("OUTCARD", "");
    EXPECT_TRUE(StoreDefaultDevices(t, room));
    EXPECT_EQ(t.ReadString("INCARD"), "USB Audio");  // a stored choice stays
    EXPECT_EQ(t.ReadString("OUTCARD"), kVirtualRoomName);
    EXPECT_FALSE(StoreDefaultDevices(t, room));
}

TEST(MainShellTest, DesktopEntryQuotesTheProgramPath) {
    const std::string e = DesktopEntry("/opt/my \"fim\"/fim", "MIV V1.70");
    EXPECT_NE(e.find("Exec=\"/opt/my \\\"fim\\\"/fim\" %f\n"), std::string::npos);
    EXPECT_NE(e.find("Name=MIV V1.70\n"), std::string::npos);
    EXPECT_EQ(e.rfind("[Desktop Entry]\n", 0), 0u);
}

TEST_F(TForm1Test, LayoutMenusAndCaptions) {
    Open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("MIV V1.70"));
    // The clock shows the time of day from the start.
    EXPECT_EQ(form->clockPanel()->text().size(), 5);
    EXPECT_EQ(form->clockPanel()->text()[2], QLatin1Char(':'));
    const int widths[7] = {150, 60, 90, 90, 100, 150, 150};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(form->statusPanelLabel(i)->width(), widths[i]) << i;

    // Top-level menus in order, with catalog captions.
    QStringList menus;
    for (QAction* a : form->menuBar()->actions()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{"DATA", "PROCESS", "WINDOW", "AVERAGING", "RUN", "SETUP", "AGAIN",
                                  "FFT &WINDOW", "HELP"}));
    EXPECT_FALSE(form->action("AGAIN1")->isVisible());
    EXPECT_EQ(form->action("LOADTIMEFILE1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    EXPECT_EQ(form->action("SAVETIMEFILE1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(form->action("EXIT1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
    EXPECT_EQ(form->action("FFT1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    EXPECT_EQ(form->action("INFO1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_I));
    EXPECT_EQ(form->action("MACRO1")->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(form->action("MACRO6")->shortcut(), QKeySequence(Qt::Key_F10));
    EXPECT_FALSE(form->action("RTA1")->isVisible());
    EXPECT_TRUE(form->action("TIMELEVEL1")->isVisible());
    EXPECT_FALSE(form->action("TIMELEVEL1")->isEnabled());
    EXPECT_TRUE(form->action("FEATURES1")->isEnabled());
    // Nothing measured yet: no spectrum of nothing.
    EXPECT_FALSE(form->action("FFT1")->isEnabled());
    EXPECT_FALSE(form->speedButton("FFTButton")->isEnabled());
    EXPECT_EQ(form->speedButton("MLSOnlyButton")->toolTip(), QString::fromStdString(Msg(65)));
    EXPECT_EQ(form->levelIndicator()->toolTip(), QString::fromStdString(Msg(234)));
    // Start-up: one pass, the stored devices default to the Virtual Room.
    EXPECT_EQ(Panel(1), QStringLiteral("1/1"));
    EXPECT_EQ(tree.ReadString("INCARD"), kVirtualRoomName);
}

TEST_F(TForm1Test, GermanCaptions) {
    SelectLanguage(true);
    Open();
    SelectLanguage(false);
    EXPECT_EQ(form->action("DATA1")->text(), QString::fromUtf8("DATEN"));
    EXPECT_EQ(form->action("AGAIN1")->text(), QString::fromUtf8("NOCHMAL"));
    EXPECT_EQ(form->action("HELP1")->text(), QString::fromUtf8("HILFE"));
}

TEST_F(TForm1Test, AveragingItemsSetCountPanelAndHint) {
    Open();
    form->action("AVERAGE16")->trigger();
    EXPECT_EQ(meas.AveragesTarget, 16);
    EXPECT_EQ(meas.AveragesDone, 0);
    EXPECT_TRUE(form->action("AVERAGE16")->isChecked());
    EXPECT_FALSE(form->action("AVERAGE1")->isChecked());
    EXPECT_EQ(Panel(1), QStringLiteral("1/16"));
    EXPECT_EQ(form->action("AVERAGING1")->toolTip(), QStringLiteral("AVERAGING: 16"));
}

TEST_F(TForm1Test, MeasureInTheVirtualRoomThenRestart) {
    iniPath = dir.filePath(QStringLiteral("fim.ini"));
    {
        QSettingsTree seed(iniPath);
        seed.WriteInteger("VERSION", kSettingsVersion);
        seed.WriteInteger("MLSVOL", 0);
        seed.WriteInteger("Mittelung", 2);
        seed.WriteInteger("MLS Traps", 13);
        ASSERT_TRUE(seed.Flush());
    }
    Open();
    EXPECT_EQ(meas.MlsOrder, 13);  // applied at start-up without the size question
    EXPECT_TRUE(prompter->shown.empty());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));

    form->action("MLSONLY1")->trigger();
    EXPECT_TRUE(form->action("AGAIN1")->isVisible());
    WaitForRun();
    ASSERT_FALSE(meas.RunActive);
    ASSERT_TRUE(meas.ImpulseValid) << (prompter->Last() ? prompter->Last()->text : "");
    EXPECT_TRUE(prompter->shown.empty());
    EXPECT_TRUE(form->measured());
    EXPECT_EQ(Panel(5), QString::fromStdString(Msg(65)));
    EXPECT_EQ(Panel(1), QStringLiteral("DONE"));
    EXPECT_EQ(form->action("AGAIN1")->text(), QString::fromStdString(Msg(185)));
    EXPECT_TRUE(form->action("RUN1")->isEnabled());
    EXPECT_TRUE(form->action("FFT1")->isEnabled());
    EXPECT_EQ(form->levelGlyph(), LevelGlyph::Ok);
    // The peak is where the room puts it: time alignment on the reference cable (found at
    // latency − 4, data from 210 frames before it) leaves the direct sound at d + 215.
    ASSERT_EQ(meas.AtcMode, 1);
    RoomParameters p;
    const double expected = p.DirectDelaySamples(meas.SampleRate) + 215;
    EXPECT_NEAR(meas.ImpulsePeakIndex, expected, 2.0);
    // The marker read-out shows a position in the status bar.
    EXPECT_FALSE(Panel(2).isEmpty());

    // The FFT of the default window shows the spectrum's peak.
    form->action("FFT1")->trigger();
    EXPECT_TRUE(Panel(6).startsWith(QStringLiteral("Peak "))) << Panel(6).toStdString();

    form->action("AVERAGE4")->trigger();
    Close();
    {
        QSettingsTree saved(iniPath);
        EXPECT_EQ(saved.ReadInteger("Mittelung"), 4);
        EXPECT_EQ(saved.ReadInteger("MLS Traps"), 13);
        EXPECT_EQ(saved.ReadString("OUTCARD"), kVirtualRoomName);
    }

    Open();
    EXPECT_EQ(meas.AveragesTarget, 4);
    EXPECT_TRUE(form->action("AVERAGE4")->isChecked());
    EXPECT_EQ(Panel(1), QStringLiteral("1/4"));
}

TEST_F(TForm1Test, FftRefusesAWindowWiderThanTheFftSize) {
    const std::string path = WriteResponse("wide.mtf", 16384, 300);
    Open({QStringLiteral("fim"), QString::fromStdString(path)});
    ASSERT_TRUE(form->measured());
    meas.FftSize = 4096;
    form->view()->model().viewStart = 1;
    form->view()->model().viewEnd = 5001;
    form->FFT1Click();
    ASSERT_NE(prompter->Last(), nullptr);
    EXPECT_EQ(prompter->Last()->text, Msg(10));
    EXPECT_EQ(prompter->Last()->caption, Msg(11));
    EXPECT_TRUE(Panel(6).isEmpty());
}

TEST_F(TForm1Test, CommandLineAndRecentFiles) {
    const std::string a = WriteResponse("a.mtf", 4096, 100);
    const std::string b = WriteResponse("b.MTF", 4096, 900);

    // Two arguments: nothing loads.
    Open({QStringLiteral("fim"), QString::fromStdString(a), QString::fromStdString(b)});
    EXPECT_FALSE(form->measured());
    EXPECT_FALSE(form->action("FILE1")->isVisible());
    Close();

    Open({QStringLiteral("fim"), QString::fromStdString(a)});
    EXPECT_TRUE(form->measured());
    EXPECT_EQ(meas.ImpulsePeakIndex, 100);
    EXPECT_EQ(form->action("FILE1")->text(), QString::fromStdString(a));
    EXPECT_TRUE(form->action("FILE1")->isVisible());

    // Load another through the dialog, then go back through the recent item.
    prompter->files.push_back(b);
    form->action("LOADTIMEFILE1")->trigger();
    EXPECT_EQ(meas.ImpulsePeakIndex, 900);
    EXPECT_TRUE(form->action("FILE2")->isVisible());
    QAction* itemForA = form->action("FILE1")->text() == QString::fromStdString(a)
                            ? form->action("FILE1")
                            : form->action("FILE2");
    itemForA->trigger();
    EXPECT_EQ(meas.ImpulsePeakIndex, 100);
    Close();
    EXPECT_EQ(tree.ReadString("FILE1").value_or(""), b);  // newest first
    EXPECT_EQ(tree.ReadString("FILE2").value_or(""), a);

    // A file that is not a time file changes nothing and says so.
    const QString bad = dir.filePath(QStringLiteral("bad.mtf"));
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a time file");
    }
    Open({QStringLiteral("fim"), QString::fromStdString(a)});
    ASSERT_EQ(meas.ImpulsePeakIndex, 100);
    EXPECT_FALSE(form->loadFile(bad.toStdString()));
    EXPECT_EQ(meas.ImpulsePeakIndex, 100);
    EXPECT_FALSE(prompter->shown.empty());
}

TEST_F(TForm1Test, FirstStartAsksForShortcutsOnce) {
    iniPath = dir.filePath(QStringLiteral("new.ini"));  // no settings yet
    Open();
    prompter->answers = {PromptAnswer::No, PromptAnswer::No};
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QApplication::processEvents();
    // Any settings notice comes first; the two shortcut questions close the start.
    ASSERT_GE(prompter->shown.size(), 2u);
    const std::size_t n = prompter->shown.size();
    EXPECT_EQ(prompter->shown[n - 2].text, Msg(297));
    EXPECT_EQ(prompter->shown[n - 1].text, Msg(298));
    Close();
    Open();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QApplication::processEvents();
    for (const auto& shown : prompter->shown) {
        EXPECT_NE(shown.text, Msg(297));
        EXPECT_NE(shown.text, Msg(298));
    }
}

TEST_F(TForm1Test, MissingFileTypesAreRegisteredOnceAndOfferTheShortcuts) {
    // Stored settings, but the file types are not registered yet (a program not installed).
    const QString dataHome = dir.filePath(QStringLiteral("share"));
    fileTypes =
        std::make_shared<FileTypeRegistrar>(dataHome, QStringLiteral("/opt/fim/fim"), false);
    Open();
    prompter->answers = {PromptAnswer::Ok, PromptAnswer::No, PromptAnswer::No};
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QApplication::processEvents();
    ASSERT_EQ(prompter->shown.size(), 3u);
    EXPECT_EQ(prompter->shown[0].text, Msg(243));
    EXPECT_EQ(prompter->shown[0].caption, Msg(244));
    EXPECT_EQ(prompter->shown[1].text, Msg(297));
    EXPECT_EQ(prompter->shown[2].text, Msg(298));
    EXPECT_FALSE(fileTypes->Missing());
    Close();

    // Registered: the next start says nothing.
    Open();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QApplication::processEvents();
    EXPECT_TRUE(prompter->shown.empty());
}

TEST_F(TForm1Test, MacroCaptionsSummaryAndKeys) {
    tree.WriteBool("PMLS", true);  // the user measures pink; the factory macros do not
    recording = true;
    Open();
    // No stored macros: the factory set, whose user macros are User 1 … User 10. A name saved
    // in the features dialog shows at once, as text (no mnemonic).
    EXPECT_EQ(form->action("MACRO3")->text(), QStringLiteral("Macro: User 1"));
    FeaturesModel& features = form->featuresDialog()->model();
    features.SelectMacro(12);
    features.v.macro.name = "R&D";
    ASSERT_TRUE(features.SaveMacro());
    EXPECT_EQ(form->action("MACRO12")->text(), QStringLiteral("Macro: R&&D"));
    EXPECT_EQ(form->speedButton("M10Button")->toolTip(), QStringLiteral("Use Macro: R&D"));

    // The summary shows while the right button is held; a closed one is discarded.
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QToolButton* room = form->speedButton("RoomButton");
    QTest::mousePress(room, Qt::RightButton);
    QPointer<TMakroinfo> info = form->macroInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->windowTitle(), QStringLiteral("Speaker in Room"));
    EXPECT_TRUE(info->text().startsWith(QStringLiteral("MLS SIZE: 32768\nSMOOTH FFT\n")));
    QTest::mouseRelease(room, Qt::RightButton);
    QApplication::processEvents();
    EXPECT_FALSE(info);

    // F5: Speaker in Room, plain, after which MLS ONLY's pink choice is back.
    form->action("MLSONLY1")->trigger();
    EXPECT_TRUE(meas.PinkMls);
    WaitForRun();
    QTest::keyClick(form.get(), Qt::Key_F5);
    EXPECT_FALSE(meas.PinkMls);
    WaitForRun();
    auto* f = static_cast<RecordingForm*>(form.get());
    EXPECT_EQ(f->shown, std::vector<int>{11});
    EXPECT_EQ(Panel(5), QStringLiteral("Speaker in Room"));
    EXPECT_TRUE(form->action("AVERAGE8")->isChecked());
    EXPECT_TRUE(meas.PinkMls);

    // F6: Direct Electric repeats until stopped; a close meanwhile stores the user's choice.
    QTest::keyClick(form.get(), Qt::Key_F6);
    QElapsedTimer t;
    t.start();
    while (f->shown.size() < 3 && t.elapsed() < 60000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(f->shown.back(), 12);
    ASSERT_TRUE(meas.RunActive);
    Close();
    EXPECT_EQ(tree.ReadBool("PMLS"), true);
}

TEST_F(TForm1Test, ContinuousSpeakerInRoomCountsEachPeriodOnce) {
    tree.WriteBool("Continuous", true);
    recording = true;
    Open();
    EXPECT_TRUE(meas.ContinuousAveraging);  // taken from the settings at start
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QTest::keyClick(form.get(), Qt::Key_F5);
    WaitForRun();
    auto* f = static_cast<RecordingForm*>(form.get());
    EXPECT_EQ(f->shown, std::vector<int>{11});
    EXPECT_TRUE(form->controller().ContinuousRun());
    // Eight averages from nine periods of one stream (the first fills the room); the counter
    // moves on with each averaged period.
    EXPECT_EQ(form->controller().Feeder().PeriodsTaken(), 9);
    const auto from = std::find(f->counter.rbegin(), f->counter.rend(), "1/8").base();
    const std::vector<std::string> after(from, f->counter.end());
    const std::vector<std::string> want = {"2/8", "3/8", "4/8", "5/8", "6/8", "7/8", "8/8", "DONE"};
    EXPECT_EQ(after, want);
}

TEST(PeakQuestionDialogTest, ButtonsDecideThePeriod) {
    int helps = 0;
    PeakQuestionDialog d([&helps] { ++helps; });
    EXPECT_EQ(d.windowTitle(), QString::fromStdString(Msg(323)));
    EXPECT_EQ(d.button(1)->text(), QString::fromStdString(Msg(326)));
    EXPECT_EQ(d.button(2)->text(), QString::fromStdString(Msg(327)));
    EXPECT_EQ(d.button(3)->text(), QString::fromStdString(Msg(50)));

    // HELP keeps the question open; Correct answers it.
    QTimer::singleShot(0, &d, [&d] {
        d.button(3)->click();
        d.button(1)->click();
    });
    EXPECT_EQ(d.AskPeakMismatch(500, 507), PeakQuestion::Answer::Correct);
    EXPECT_EQ(helps, 1);
    EXPECT_TRUE(d.text()->text().endsWith(QStringLiteral("7")));

    QTimer::singleShot(0, &d, [&d] { d.button(2)->click(); });
    EXPECT_EQ(d.AskPeakMismatch(500, 490), PeakQuestion::Answer::Discard);
    EXPECT_EQ(d.pressed(), 2);

    // Closed without a choice: the period is dropped.
    QTimer::singleShot(0, &d, [&d] { d.reject(); });
    EXPECT_EQ(d.AskPeakMismatch(500, 510), PeakQuestion::Answer::Discard);
}

TEST_F(TForm1Test, AStoredDeviceThatIsGoneOpensTheSoundPage) {
    tree.WriteString("OUTCARD", "Unplugged card");
    Open();
    int tab = -1;
    QTimer::singleShot(0, form.get(), [&] {
        TFEATURES* d = form->featuresDialog();
        tab = d->tabs()->currentIndex();
        d->findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    });
    QApplication::processEvents();
    EXPECT_EQ(tab, int(FeaturesTab::SoundIo));
    EXPECT_EQ(tree.ReadString("OUTCARD"), kVirtualRoomName);  // the one device there is
}

TEST_F(TForm1Test, FeaturesOpensOnTheCallersTabAndChangesTheMlsSize) {
    Open();
    // The letter keys name the tab; an untouched dialog closes with Cancel at once.
    std::vector<int> shown;
    auto cancelWhenShown = [&] {
        QTimer::singleShot(0, form.get(), [&] {
            TFEATURES* d = form->featuresDialog();
            shown.push_back(d->tabs()->currentIndex());
            d->findChild<QPushButton*>(QStringLiteral("BitBtn2"))->click();
        });
    };
    for (Qt::Key key : {Qt::Key_D, Qt::Key_W, Qt::Key_S, Qt::Key_M}) {
        cancelWhenShown();
        QTest::keyClick(form.get(), key);
    }
    EXPECT_EQ(shown, (std::vector<int>{int(FeaturesTab::Data), int(FeaturesTab::UserWindow),
                                       int(FeaturesTab::SoundIo), int(FeaturesTab::UserMacro)}));

    // A run in progress stops before the dialog shows.
    form->action("MLSONLY1")->trigger();
    ASSERT_TRUE(meas.RunActive);
    bool runningWhileShown = true;
    QTimer::singleShot(0, form.get(), [&] {
        runningWhileShown = meas.RunActive;
        form->featuresDialog()->findChild<QPushButton*>(QStringLiteral("BitBtn2"))->click();
    });
    QTest::keyClick(form.get(), Qt::Key_M);
    EXPECT_FALSE(runningWhileShown);

    // FEATURES opens on the tab last closed; a new MLS size goes through the main window's
    // question and lasts over a restart.
    QTimer::singleShot(0, form.get(), [&] {
        TFEATURES* d = form->featuresDialog();
        shown.push_back(d->tabs()->currentIndex());
        d->radioGroup(QStringLiteral("RadioGroup1"))->button(2)->click();
        d->findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    });
    prompter->answers = {PromptAnswer::Yes};
    form->action("FEATURES1")->trigger();
    EXPECT_EQ(shown.back(), int(FeaturesTab::UserMacro));
    EXPECT_EQ(prompter->Last()->text, Msg(12));
    EXPECT_EQ(meas.MlsOrder, 14);
    Close();
    meas.MlsOrder = 12;
    Open();
    EXPECT_EQ(meas.MlsOrder, 14);
}

TEST_F(TForm1Test, ALoadedFileOfAnotherRateIsMeasuredAtThatRateAndOrder) {
    Open();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->action("MLSONLY1")->trigger();
    WaitForRun();
    ASSERT_TRUE(meas.ImpulseValid);
    ASSERT_EQ(meas.SampleRate, 44100);

    // An 8192-sample response at 48000 Hz through the dialog: its name goes to panel 5.
    prompter->files.push_back(WriteResponse("hall.mtf", 8192, 700));
    form->action("LOADTIMEFILE1")->trigger();
    ASSERT_EQ(meas.MlsSize, 8192);
    EXPECT_EQ(Panel(5), QStringLiteral("hall.mtf"));
    EXPECT_EQ(prompter->fileRequests.back().title, Msg(206));

    form->action("MLSONLY1")->trigger();
    WaitForRun();
    ASSERT_TRUE(meas.ImpulseValid);
    EXPECT_TRUE(prompter->shown.empty()) << prompter->Last()->text;
    EXPECT_EQ(meas.SampleRate, 48000);
    EXPECT_EQ(meas.MlsSize, 4096);
    EXPECT_EQ(form->controller().InFormat.samplesPerSec, 48000u);
    RoomParameters p;
    EXPECT_NEAR(meas.ImpulsePeakIndex, p.DirectDelaySamples(48000) + 215, 2.0);
}

TEST_F(TForm1Test, ARunClampsTheWindowToTheFftSize) {
    tree.WriteInteger("MLS Traps", 15);
    tree.WriteInteger("FFT SIZE", 32768);
    Open();
    form->action("MLSONLY1")->trigger();
    WaitForRun();
    ASSERT_TRUE(meas.ImpulseValid);
    TimeTraceModel& m = form->view()->model();
    m.Full();
    ASSERT_EQ(m.viewEnd, 32767);

    // The FFT size becomes 4096 in the features dialog, which releases the devices; the next
    // run sets them up and cuts the window to the new size, so FFT works.
    meas.FftSize = 4096;
    form->controller().MIR1Click();
    form->action("MLSONLY1")->trigger();
    WaitForRun();
    ASSERT_TRUE(meas.ImpulseValid);
    EXPECT_EQ(m.viewStart, 1);
    EXPECT_EQ(m.viewEnd, 4097);
    form->FFT1Click();
    EXPECT_TRUE(prompter->shown.empty()) << prompter->Last()->text;
}

TEST_F(TForm1Test, RunStateReachesTheWindow) {
    Open();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    // REPEAT reaches the trace, so QUICKDRAW can leave out repaints while repeating.
    form->action("REPEAT1")->trigger();
    EXPECT_TRUE(form->view()->model().repeatChecked);
    form->action("REPEAT1")->trigger();
    EXPECT_FALSE(form->view()->model().repeatChecked);

    // "Sampling in action" stays in panel 0 through repaints until the run ends.
    const QString mode = Panel(0);
    form->action("MLSONLY1")->trigger();
    ASSERT_TRUE(meas.RunActive);
    EXPECT_EQ(Panel(0), QString::fromStdString(Msg(147)));
    form->view()->refresh();
    form->view()->repaint();
    EXPECT_EQ(Panel(0), QString::fromStdString(Msg(147)));
    form->controller().StopRun();
    EXPECT_EQ(Panel(0), mode);

    // The "please wait" box and the colour of the status bar while the pink signal is made.
    form->ShowPleaseWait(true);
    ASSERT_NE(form->pleaseWaitBox(), nullptr);
    EXPECT_TRUE(form->pleaseWaitBox()->isVisible());
    EXPECT_EQ(form->pleaseWaitBox()->text(), QString::fromStdString(Msg(287)));
    form->ShowPleaseWait(false);
    EXPECT_FALSE(form->pleaseWaitBox()->isVisible());
    form->SetPinkIndicator(true);
    EXPECT_EQ(form->statusBar()->palette().color(QPalette::Window), QColor(0xFF, 0x00, 0xFF));
    form->SetPinkIndicator(false);
    EXPECT_NE(form->statusBar()->palette().color(QPalette::Window), QColor(0xFF, 0x00, 0xFF));
}

// A real settings file the user made read-only, and a read-only settings folder: the window
// starts with what is stored, says once at close that it cannot save, and the file stays as it
// was. (The folder case needs a user whose permissions count: root may write anywhere.)
TEST_F(TForm1Test, ReadOnlySettingsFileOrFolderStartsWithTheStoredValuesAndSaysOnce) {
    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "read-only folder" : "read-only file");
        if (folder && ::geteuid() == 0) continue;
        QTemporaryDir home;
        const QString ini = home.filePath(QStringLiteral("settings/fim.ini"));
        ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("settings"))));
        {
            QSettingsTree stored(ini);
            stored.WriteInteger("VERSION", kSettingsVersion);
            stored.WriteInteger("MLSVOL", -12);
            stored.WriteFloat("Temperatur", 31.5);
            ASSERT_TRUE(stored.Flush());
        }
        QFile file(ini);
        const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
        const QString locked = folder ? home.filePath(QStringLiteral("settings")) : ini;
        ASSERT_TRUE(QFile::setPermissions(locked, readOnly));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        iniPath = ini;
        Open();
        EXPECT_EQ(meas.Temperature, 31.5);
        EXPECT_EQ(meas.OutputLevelDb, -12);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QApplication::processEvents();
        EXPECT_TRUE(prompter->shown.empty());
        form->close();
        ASSERT_EQ(prompter->shown.size(), 1u);
        EXPECT_EQ(prompter->shown[0].caption, Msg(39));
        form.reset();
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), before);
        file.close();
        QFile::setPermissions(locked, readOnly | QFileDevice::WriteOwner);
        iniPath.clear();
    }
}

TEST_F(TForm1Test, SettingsThatCannotBeSavedAreReportedOnceWithTheirPlace) {
    Open();
    SharedTree::failFlush = true;
    form->close();
    SharedTree::failFlush = false;
    ASSERT_EQ(prompter->shown.size(), 1u);
    EXPECT_EQ(prompter->shown[0].caption, Msg(39));
    EXPECT_NE(prompter->shown[0].text.find("/home/engineer/.config/fim.ini"), std::string::npos);
    form.reset();
}

// The button text without its mnemonic marker.
std::string Plain(const QString& text) {
    return QString(text).remove(QLatin1Char('&')).toStdString();
}

TEST_F(TForm1Test, GermanReachesQtsOwnButtonsAndDialogs) {
    SelectLanguage(true);
    ASSERT_TRUE(InstallQtTranslations(true)) << "qt6-translations-l10n is not installed";
    Open();
    auto box = QtPrompter::MakeBox(Msg(13), Msg(12), PromptButtons::YesNo, PromptIcon::Question,
                                   form.get());
    EXPECT_EQ(Plain(box->button(QMessageBox::Yes)->text()), "Ja");
    EXPECT_EQ(Plain(box->button(QMessageBox::No)->text()), "Nein");
    QFileDialog files(form.get(), QString::fromStdString(Msg(206)));
    files.setOption(QFileDialog::DontUseNativeDialog);
    auto* buttons = files.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(Plain(buttons->button(QDialogButtonBox::Cancel)->text()), "Abbrechen");
    // The features and file-set dialogs' buttons, and the Virtual Room's own labels.
    TFEATURES* features = form->featuresDialog();
    EXPECT_EQ(Plain(features->findChild<QPushButton*>("BitBtn2")->text()), "Abbrechen");
    auto* distance = features->findChild<QWidget*>("RoomDistance");
    ASSERT_NE(distance, nullptr);
    auto* rows = qobject_cast<QFormLayout*>(distance->parentWidget()->layout());
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(qobject_cast<QLabel*>(rows->labelForField(distance))->text(),
              QStringLiteral("Abstand"));
    UserMacro macro;
    TFileeingabe fileSet(macro, *prompter, form.get());
    EXPECT_EQ(Plain(fileSet.findChild<QPushButton*>("BitBtn2")->text()), "Abbrechen");
    InstallQtTranslations(false);
    SelectLanguage(false);
    auto english =
        QtPrompter::MakeBox("c", "t", PromptButtons::YesNo, PromptIcon::Question, nullptr);
    EXPECT_EQ(Plain(english->button(QMessageBox::Yes)->text()), "Yes");
}

}  // namespace
}  // namespace fim
