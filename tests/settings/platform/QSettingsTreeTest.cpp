#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QByteArray>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "settings/ProgramSettings.h"
#include "settings/platform/QSettingsTree.h"
#include "shell/ScriptedPrompter.h"

namespace fim {
namespace {

// Saves settings to a file in a temporary folder and reloads them through a new tree, as a
// restart of the program would.
class RestartFixture : public ::testing::Test {
  protected:
    QString Path() const { return dir.filePath(QStringLiteral("fim.ini")); }

    SettingsLoadReport Reload(ProgramSettings& s, MeasurementState& m) {
        QSettingsTree tree(Path());
        SettingsEnvironment env;
        env.prompter = &prompter;
        env.fileExists = [](const std::string&) { return true; };
        env.currentDir = "/work";
        env.now = 46000.0;
        return LoadProgramSettings(tree, s, m, env);
    }

    void WriteFile(const QByteArray& text) {
        QFile f(Path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    QByteArray ReadFile() const {
        QFile f(Path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    ScriptedPrompter prompter;
};

TEST_F(RestartFixture, SavedSettingsComeBackAfterARestart) {
    ProgramSettings s;
    MeasurementState m;
    EXPECT_TRUE(Reload(s, m).firstStart);
    s.Finder.TriggerThreshold = -15;
    s.CalFiles = {"/cal/one.cal"};
    s.OverlayFiles = {"/o/1.smr", "/o/2.smr"};
    s.Clock = ClockSettings{46100.25, 2, 0, "/snd/gong.wav"};
    s.User2 = TimeWindow{"Höhe 2", 700, 25000, 31, 1103};
    s.Macros[4].name = "Balcony";
    s.Macros[4].calFile = "/cal/balcony.csm";
    s.DataFolder = "/data/a,b";  // a comma must not turn the text into a list
    s.RecentFiles = {"/data/gig 1.mtf", "", "x", "\"quoted\" name"};
    s.Metric = false;
    s.AbsWin = AbsoluteWindow{33, 2048, 900, 300};
    s.Colors.ApplyScheme(ColorScheme::HarborStyle);
    s.Geometry = {1000, 700, 5, 6};
    m.SampleRate = 48000;
    m.MlsOrder = 17;
    m.FftSize = 32768;
    m.AveragesTarget = 8;
    m.SyncMode = 2;
    m.SetTemperature(-3.25);
    {
        QSettingsTree tree(Path());
        ASSERT_TRUE(SaveProgramSettings(tree, s, m, 33, 2048));
    }

    ProgramSettings r;
    MeasurementState q;
    const auto report = Reload(r, q);
    EXPECT_FALSE(report.firstStart);
    EXPECT_FALSE(report.versionUpdated);
    EXPECT_EQ(r, s);
    EXPECT_EQ(q.SampleRate, 48000);
    EXPECT_EQ(q.MlsOrder, 17);
    EXPECT_EQ(q.FftSize, 32768);
    EXPECT_EQ(q.AveragesTarget, 8);
    EXPECT_EQ(q.SyncMode, 2);
    EXPECT_EQ(q.Temperature, -3.25);
}

TEST_F(RestartFixture, OneValuePerNameAndTypesKeptApart) {
    WriteFile("[General]\nSamplerate=32000\nsamplerate=22050\n");
    {
        QSettingsTree tree(Path());
        EXPECT_EQ(tree.Status(), SettingsStatus::Ok);
        tree.WriteInteger("SAMPLERATE", 48000);
        tree.WriteFloat("Temperatur", 20.0);
        tree.WriteBool("ISO", false);
        tree.WriteString("Files", "12");
        ASSERT_TRUE(tree.Flush());
    }
    QSettings raw(Path(), QSettings::IniFormat);
    EXPECT_EQ(raw.allKeys().filter(QStringLiteral("amplerate"), Qt::CaseInsensitive),
              QStringList{QStringLiteral("Samplerate")});
    QSettingsTree tree(Path());
    EXPECT_EQ(tree.ReadInteger("samplerate"), 48000);
    EXPECT_EQ(tree.ReadFloat("TEMPERATUR"), 20.0);
    EXPECT_EQ(tree.ReadBinary("Temperatur")->size(), 8u);  // a float is an 8-byte binary value
    EXPECT_EQ(tree.ReadBool("iso"), false);
    EXPECT_FALSE(tree.ReadFloat("ISO").has_value());
    EXPECT_FALSE(tree.ReadInteger("Temperatur").has_value());
    EXPECT_EQ(tree.ReadString("Files"), "12");
    tree.DeleteValue("SAMPLERATE");
    EXPECT_FALSE(tree.HasValue("Samplerate"));
}

TEST_F(RestartFixture, GarbageFileGivesDefaultsWithoutACrash) {
    WriteFile(
        "[General]\n"
        "SAMPLERATE=99999999999999999999\n"
        "MLS%20Traps=@ByteArray(\\x1\\x2)\n"
        "FFT%20SIZE=-7\n"
        "Temperatur=@ByteArray(abc)\n"
        "ABSWIN=@ByteArray(\\0\\0\\0\n"
        "Nusermakro1=@ByteArray(short)\n"
        "Display%20Color=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\xffgarbage)\n"
        "USER1=@Variant(\\0\\0\\0\\x1c\\xff\\xff\\xff\\xff)\n"
        "Timinginfo=,,,\n"
        "\x01\x02\xff\xfe=\xff\xfe\n"
        "[broken\n"
        "Mittelung=lots\n"
        "VERSION=17100\n"
        "ISO=0\n");
    ProgramSettings s;
    MeasurementState m;
    Reload(s, m);
    EXPECT_EQ(m.SampleRate, 44100);
    EXPECT_EQ(m.MlsOrder, 12);
    EXPECT_EQ(m.Temperature, 20.0);
    EXPECT_EQ(s.AbsWin, AbsoluteWindow{});
    EXPECT_EQ(s.Colors, ColorTable::Default());
    EXPECT_EQ(s.User1, DefaultUserWindow1());

    // A damaged file can still be saved over, and then reads back whole.
    {
        QSettingsTree tree(Path());
        m.SampleRate = 48000;
        EXPECT_TRUE(SaveProgramSettings(tree, s, m, 1, 1024));
    }
    ProgramSettings r;
    MeasurementState q;
    Reload(r, q);
    EXPECT_EQ(q.SampleRate, 48000);
}

TEST_F(RestartFixture, FailedSaveIsReportedAndLeavesTheOldFile) {
    {
        QSettingsTree tree(Path());
        tree.WriteInteger("BITS", 16);
        ASSERT_TRUE(tree.Flush());
    }
    const QByteArray before = ReadFile();
    ASSERT_FALSE(before.isEmpty());

    // Limit the size of files this process may write, so the save runs out of room halfway.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool saved = true;
    {
        QSettingsTree tree(Path());
        ProgramSettings s;  // the macro block alone is larger than the limit
        MeasurementState m;
        saved = SaveProgramSettings(tree, s, m, 1, 1024);
    }
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFile(), before);
    // No temporary file is left beside it.
    QDir folder(dir.path());
    for (const QString& name : folder.entryList(QDir::Files)) {
        EXPECT_TRUE(name == QStringLiteral("fim.ini") || name.endsWith(QStringLiteral(".lock")))
            << name.toStdString();
    }
}

TEST_F(RestartFixture, AReadOnlySettingsFileIsLeftAsItIs) {
    {
        QSettingsTree tree(Path());
        tree.WriteInteger("BITS", 16);
        ASSERT_TRUE(tree.Flush());
    }
    const QByteArray before = ReadFile();
    ASSERT_TRUE(QFile::setPermissions(Path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    QSettingsTree tree(Path());
    tree.WriteInteger("BITS", 24);
    EXPECT_FALSE(tree.Flush());
    EXPECT_EQ(ReadFile(), before);
    EXPECT_EQ(tree.Location(), Path().toStdString());
    QFile::setPermissions(Path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

}  // namespace
}  // namespace fim
