#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>

#include "settings/platform/FirstStart.h"
#include "shell/Catalog.h"
#include "shell/ScriptedPrompter.h"

namespace fim {
namespace {

QString ReadText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool InCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

TEST(FirstStart, RegistersTheProgramsTypesOnceAndReports) {
    QTemporaryDir home;
    const FileTypeRegistrar reg(home.path(), QStringLiteral("/opt/Field \"Impulse\" $Meter/fim"),
                                false);
    ScriptedPrompter prompter;
    EXPECT_TRUE(reg.Missing());
    EXPECT_TRUE(RegisterFileTypesIfMissing(reg, prompter));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, Msg(243));
    EXPECT_EQ(prompter.shown[0].caption, Msg(244));
    EXPECT_FALSE(reg.Missing());

    const QString xml =
        ReadText(home.filePath(QStringLiteral("mime/packages/field-impulse-meter.xml")));
    for (const char* ext : {"*.mtf", "*.cal", "*.csm", "*.mfr", "*.smr", "*.smc"}) {
        EXPECT_TRUE(xml.contains(QStringLiteral("pattern=\"%1\"").arg(QLatin1String(ext)))) << ext;
    }
    EXPECT_EQ(xml.count(QStringLiteral("<mime-type ")), 6);
    EXPECT_TRUE(xml.contains(QString::fromStdString(CatalogText(Language::English, 238))));
    EXPECT_TRUE(xml.contains(QStringLiteral("<comment xml:lang=\"de\">") +
                             QString::fromStdString(CatalogText(Language::German, 238))));
    // WAVE files are opened, never defined or claimed.
    EXPECT_FALSE(xml.contains(QStringLiteral("wav")));

    const QString desktop =
        ReadText(home.filePath(QStringLiteral("applications/field-impulse-meter.desktop")));
    EXPECT_TRUE(desktop.startsWith(QStringLiteral("[Desktop Entry]\n")));
    // Quoted, the quote-level escapes added, then every backslash doubled as in any string value.
    EXPECT_TRUE(desktop.contains(
        QStringLiteral("Exec=\"/opt/Field \\\\\"Impulse\\\\\" \\\\$Meter/fim\" %f\n")))
        << desktop.toStdString();
    for (const FileTypeInfo& t : kRegisteredFileTypes) {
        EXPECT_TRUE(desktop.contains(QLatin1String(t.mimeType) + u';')) << t.mimeType;
    }
    EXPECT_TRUE(desktop.contains(QStringLiteral(";audio/x-wav;\n")));
    EXPECT_TRUE(desktop.contains(QStringLiteral("\nIcon=field-impulse-meter\n")));
    EXPECT_TRUE(ReadText(reg.IconPath()).startsWith(QStringLiteral("<svg")));

    // Registered already: nothing more is written or shown.
    EXPECT_FALSE(RegisterFileTypesIfMissing(reg, prompter));
    EXPECT_EQ(prompter.shown.size(), 1u);
}

TEST(FirstStart, PlainProgramPathIsNotQuoted) {
    EXPECT_TRUE(FileTypeRegistrar({}, QStringLiteral("fim"))
                    .DesktopEntry()
                    .contains(QStringLiteral("\nExec=fim %f\n")));
    EXPECT_TRUE(FileTypeRegistrar({}, QStringLiteral("/home/ann/100%/fim"))
                    .DesktopEntry()
                    .contains(QStringLiteral("\nExec=/home/ann/100%%/fim %f\n")));
}

// The desktop's own tools accept what is written: the entry validates, and the MIME package
// compiles into globs for every extension.
TEST(FirstStart, DesktopToolsAcceptTheEntryAndThePackage) {
    const QString validate =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    const QString update = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
    if (validate.isEmpty() || update.isEmpty()) {
        if (InCi()) FAIL() << "desktop-file-utils and shared-mime-info are not installed";
        GTEST_SKIP() << "desktop-file-validate or update-mime-database is not installed";
    }
    QTemporaryDir home;
    const FileTypeRegistrar reg(home.path(), QStringLiteral("/opt/My Tools/$x/fim"), false);
    ScriptedPrompter prompter;
    ASSERT_TRUE(reg.Register(prompter));

    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(validate, {reg.DesktopEntryPath()});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(p.readAll().trimmed().toStdString(), "");

    p.start(update, {home.filePath(QStringLiteral("mime"))});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAll().toStdString();
    const QString globs = ReadText(home.filePath(QStringLiteral("mime/globs2")));
    for (const FileTypeInfo& t : kRegisteredFileTypes) {
        const QString line = QStringLiteral("%1:*.%2").arg(
            QLatin1String(t.mimeType), QString::fromLatin1(t.extension).toLower());
        EXPECT_TRUE(globs.contains(line)) << line.toStdString();
    }
}

TEST(FirstStart, UnwritableFolderShowsTheFailureAndStaysMissing) {
    QTemporaryDir home;
    // A file where the data folder should be: nothing can be created below it.
    QFile blocker(home.filePath(QStringLiteral("share")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const FileTypeRegistrar reg(home.filePath(QStringLiteral("share")),
                                QStringLiteral("/usr/bin/fim"), false);
    ScriptedPrompter prompter;
    EXPECT_TRUE(RegisterFileTypesIfMissing(reg, prompter));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, Msg(4));
    EXPECT_EQ(prompter.shown[0].icon, PromptIcon::Stop);
    EXPECT_TRUE(reg.Missing());
}

TEST(FirstStart, InstalledWhereTheShareFolderBesideBinHoldsTheEntry) {
    QTemporaryDir prefix;
    QDir root(prefix.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("bin")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("build/src")));
    EXPECT_FALSE(IsInstalledProgram(root.filePath(QStringLiteral("bin"))));
    ASSERT_TRUE(root.mkpath(QStringLiteral("share/applications")));
    QFile entry(root.filePath(QStringLiteral("share/applications/field-impulse-meter.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.close();
    EXPECT_TRUE(IsInstalledProgram(root.filePath(QStringLiteral("bin"))));
    EXPECT_FALSE(IsInstalledProgram(root.filePath(QStringLiteral("build/src"))));
}

}  // namespace
}  // namespace fim
