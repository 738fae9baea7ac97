// The countdown clock in the main window: panel, "Timer Setup", alarms and the frequency
// window's clock label.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstring>
#include <vector>

#include "QuietFormOptions.h"
#include "audio/SoundFilePlayer.h"
#include "audio/TimeFile.h"
#include "audio/WaveFile.h"
#include "audio/platform/PortAudioSoundPlayer.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"
#include "mainwindow/CountdownClock.h"
#include "mainwindow/ui/ClockPanel.h"
#include "mainwindow/ui/TForm1.h"
#include "mainwindow/ui/TSettime.h"
#include "settings/ProgramSettings.h"
#include "spectrum/ui/TFFTDISPLAY.h"

namespace fim {
namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kDay = 46362.0;

// Forwards to a real player and counts the attempts.
class CountingPlayer : public SoundFilePlayer {
  public:
    explicit CountingPlayer(std::unique_ptr<SoundFilePlayer> inner) : inner_(std::move(inner)) {}
    bool Play(const std::string& path) override {
        ++attempts;
        return inner_ ? inner_->Play(path) : false;
    }
    int attempts = 0;

  private:
    std::unique_ptr<SoundFilePlayer> inner_;
};

class ClockWindowTest : public ::testing::Test {
  protected:
    ClockWindowTest() {
        meas.buffers.Allocate({}, [](const std::string&) { FAIL(); });
        meas.MlsOrder = 12;
        meas.IgnoreFirst = false;
        meas.DevicesClosed = true;
    }

    void Open(std::unique_ptr<SoundFilePlayer> player = nullptr) {
        auto p = std::make_unique<ScriptedPrompter>();
        prompter = p.get();
        TForm1Options o = QuietFormOptions(&settings);
        o.room.realTime = false;
        o.room.seed = 11;
        o.clockSource = [this] { return now; };
        o.alarmPlayer = std::move(player);
        form = std::make_unique<TForm1>(meas, std::move(p), std::move(o));
    }

    // Opens "Timer Setup" from the clock panel and lets `edit` work the dialog once it shows.
    void Setup(const std::function<void(TSettime&)>& edit) {
        QTimer::singleShot(0, form.get(), [this, edit] {
            TSettime* d = form->countdown().dialog();
            ASSERT_NE(d, nullptr);
            ASSERT_TRUE(d->isVisible());
            edit(*d);
        });
        QTest::mouseClick(form->clockPanel(), Qt::LeftButton);
    }

    double now = kDay + 0.5;
    MeasurementState meas;
    MemorySettingsTree* settings = nullptr;
    ScriptedPrompter* prompter = nullptr;
    std::unique_ptr<TForm1> form;
};

TEST_F(ClockWindowTest, CountdownFlashesThePanelsUntilTheClick) {
    now = kDay + (10 * 3600) * kSecond;
    Open();
    EXPECT_EQ(form->clockPanel()->text(), QStringLiteral("10:00"));
    EXPECT_TRUE(form->clockPanel()->toolTip().startsWith(QStringLiteral("Referenz: ")));
    Setup([](TSettime& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Timer Setup"));
        EXPECT_EQ(d.timeField()->text(), QStringLiteral("10:00"));
        d.modeGroup()->button(1)->click();
        d.actionGroup()->button(1)->click();
        d.timeField()->setText(QStringLiteral("10:02"));
        d.accept();
    });
    EXPECT_EQ(form->clockPanel()->text(), QStringLiteral("00:02:00"));
    EXPECT_EQ(form->clockPanel()->toolTip(), QStringLiteral("Referenz: 30.12.1899 10:02:00"));
    // What OK chose is stored at once.
    const auto stored = settings->ReadBinary("Timinginfo");
    ASSERT_TRUE(stored);
    EXPECT_EQ(DecodeClockSettings(*stored, 0.0).mode, 1);

    now += 119.5 * kSecond;
    form->countdown().Tick();
    EXPECT_EQ(form->clockPanel()->text(), QStringLiteral("00:00:00"));
    const QColor yellow(Qt::yellow);
    const QColor face = QApplication::palette().color(QPalette::Button);
    EXPECT_EQ(form->clockPanel()->palette().color(QPalette::Window), yellow);
    // The panel is painted yellow, not only told so.
    EXPECT_EQ(form->clockPanel()->grab().toImage().pixelColor(4, 4), yellow);
    for (int i = 0; i < 6; ++i) {
        now += 0.7 * kSecond;
        form->countdown().Tick();
        EXPECT_EQ(form->clockPanel()->palette().color(QPalette::Window), i % 2 ? yellow : face);
    }
    EXPECT_EQ(form->clockPanel()->text(), QStringLiteral("10:02"));  // system time again

    // The click stops the flashing; Abort leaves the settings as they are.
    Setup([](TSettime& d) { d.reject(); });
    for (int i = 0; i < 3; ++i) {
        form->countdown().Tick();
        EXPECT_EQ(form->clockPanel()->palette().color(QPalette::Window), face);
    }
    EXPECT_FALSE(form->countdown().clock().Alarm());
    form->close();
}

TEST_F(ClockWindowTest, CountUpFromOkAndTheFrequencyWindowsClock) {
    Open();
    Setup([](TSettime& d) {
        d.modeGroup()->button(2)->click();
        d.accept();
    });
    EXPECT_EQ(form->clockPanel()->text(), QStringLiteral("00:00:00"));
    now += (2 * 3600 + 5) * kSecond;
    form->countdown().Tick();
    EXPECT_EQ(form->clockPanel()->text(), QStringLiteral("02:00:05"));

    // The frequency window's clock label shows the same text and hint.
    QTemporaryDir dir;
    std::vector<double> ir(4095, 0.0);
    ir[300] = 0.8;
    ir[301] = -0.3;
    const std::string mtf = dir.filePath("ir.mtf").toStdString();
    ASSERT_TRUE(WriteTimeFile(mtf, 48000.0, ir.data(), ir.size()));
    ASSERT_TRUE(form->loadFile(mtf));
    form->FFT1Click();
    ASSERT_NE(form->frequencyWindow(), nullptr);
    QLabel* label = form->frequencyWindow()->clockLabel();
    EXPECT_EQ(label->text(), QStringLiteral("02:00:05"));
    now += 24 * 3600 * kSecond;  // a day later the hours have wrapped
    form->countdown().Tick();
    EXPECT_EQ(label->text(), QStringLiteral("02:00:05"));
    EXPECT_EQ(label->toolTip(), form->clockPanel()->toolTip());
    form->close();
}

TEST_F(ClockWindowTest, MissingSoundFileTurnsPlaySoundIntoFlash) {
    QTemporaryDir dir;
    const std::string wav = dir.filePath("gong.wav").toStdString();
    const std::vector<int16_t> tone(4800, 1000);
    ASSERT_TRUE(WriteWave16(wav, 48000, 1, tone.data(), tone.size()));
    Open();
    prompter->files.push_back(wav);
    Setup([](TSettime& d) {
        d.actionGroup()->button(0)->click();  // no file yet: flash instead
        EXPECT_EQ(d.actionGroup()->checkedId(), 1);
        d.LabelClick();
        EXPECT_EQ(d.soundLabel()->text(), QStringLiteral("gong.wav"));
        d.actionGroup()->button(0)->click();
        EXPECT_EQ(d.actionGroup()->checkedId(), 0);
        d.accept();
    });
    EXPECT_EQ(form->countdown().clock().Settings().action, 0);
    EXPECT_EQ(form->countdown().clock().Settings().soundFile, wav);

    ASSERT_TRUE(QFile::remove(QString::fromStdString(wav)));
    Setup([](TSettime& d) {
        EXPECT_EQ(d.actionGroup()->checkedId(), 1);
        EXPECT_EQ(d.soundLabel()->text(), QStringLiteral("..."));
        d.accept();
    });
    EXPECT_EQ(form->countdown().clock().Settings().action, 1);
    form->close();
}

// Runs MLS ONLY in the Virtual Room; `during` runs between event-loop slices while measuring.
std::vector<double> Measure(TForm1& form, MeasurementState& meas,
                            const std::function<void()>& during) {
    form.action("MLSONLY1")->trigger();
    QElapsedTimer t;
    t.start();
    while ((meas.RunActive || t.elapsed() < 20) && t.elapsed() < 60000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (during) during();
    }
    EXPECT_TRUE(meas.ImpulseValid);
    return std::vector<double>(meas.buffers.RLPd(), meas.buffers.RLPd() + meas.MlsSize - 1);
}

TEST_F(ClockWindowTest, AnAlarmDuringAMeasurementLeavesTheRecordingAsItWas) {
    Open();
    const std::vector<double> quiet = Measure(*form, meas, {});
    form->close();
    form.reset();

    QTemporaryDir dir;
    const std::string wav = dir.filePath("alarm.wav").toStdString();
    std::vector<int16_t> tone(2 * 24000);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<int16_t>(8000 * std::sin(0.06 * i));
    ASSERT_TRUE(WriteWave16(wav, 48000, 2, tone.data(), tone.size() / 2));
    // The real player: on a machine with sound the alarm really plays beside the measurement.
    auto player = std::make_unique<CountingPlayer>(std::make_unique<PortAudioSoundPlayer>());
    CountingPlayer* counting = player.get();
    Open(std::move(player));
    ClockSettings& c = const_cast<ClockSettings&>(form->countdown().clock().Settings());
    c.mode = 1;
    c.action = 0;
    c.soundFile = wav;
    c.reference = 0.0;  // midnight: already past, the first tick alarms
    const std::vector<double> withAlarm = Measure(*form, meas, [this] {
        now += 0.7 * kSecond;
        form->countdown().Tick();
    });
    EXPECT_GE(counting->attempts, 1);
    ASSERT_EQ(withAlarm.size(), quiet.size());
    EXPECT_EQ(std::memcmp(withAlarm.data(), quiet.data(), quiet.size() * sizeof(double)), 0);
    form->close();
}

}  // namespace
}  // namespace fim
