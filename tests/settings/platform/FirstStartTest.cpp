#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "base/Catalog.h"
#include "base/ScriptedPrompter.h"
#include "settings/platform/FirstStart.h"

namespace fim {
namespace {

QString ReadText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST(FirstStart, RegistersTheFiveTypesOnceAndReports) {
    QTemporaryDir home;
    const FileTypeRegistrar reg(home.path(), QStringLiteral("/opt/Field \"Impulse\" $Meter/fim"));
    ScriptedPrompter prompter;
    EXPECT_TRUE(reg.Missing());
    EXPECT_TRUE(RegisterFileTypesIfMissing(reg, prompter));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, Msg(243));
    EXPECT_EQ(prompter.shown[0].caption, Msg(244));
    EXPECT_FALSE(reg.Missing());

    const QString xml =
        ReadText(home.filePath(QStringLiteral("mime/packages/field-impulse-meter.xml")));
    for (const char* ext : {"*.mtf", "*.cal", "*.csm", "*.mfr", "*.smr"}) {
        EXPECT_TRUE(xml.contains(QStringLiteral("pattern=\"%1\"").arg(QLatin1String(ext)))) << ext;
    }
    EXPECT_EQ(xml.count(QStringLiteral("<mime-type ")), 5);
    EXPECT_TRUE(xml.contains(QString::fromStdString(Msg(238))));

    const QString desktop =
        ReadText(home.filePath(QStringLiteral("applications/field-impulse-meter.desktop")));
    EXPECT_TRUE(desktop.startsWith(QStringLiteral("[Desktop Entry]\n")));
    // The path is quoted with its special characters escaped, followed by the file argument.
    EXPECT_TRUE(
        desktop.contains(QStringLiteral("Exec=\"/opt/Field \\\"Impulse\\\" \\$Meter/fim\" %f\n")));
    for (const FileTypeInfo& t : kRegisteredFileTypes) {
        EXPECT_TRUE(desktop.contains(QLatin1String(t.mimeType) + u';')) << t.mimeType;
    }

    // Registered already: nothing more is written or shown.
    EXPECT_FALSE(RegisterFileTypesIfMissing(reg, prompter));
    EXPECT_EQ(prompter.shown.size(), 1u);
}

TEST(FirstStart, UnwritableFolderShowsTheFailureAndStaysMissing) {
    QTemporaryDir home;
    // A file where the data folder should be: nothing can be created below it.
    QFile blocker(home.filePath(QStringLiteral("share")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const FileTypeRegistrar reg(home.filePath(QStringLiteral("share")),
                                QStringLiteral("/usr/bin/fim"));
    ScriptedPrompter prompter;
    EXPECT_TRUE(RegisterFileTypesIfMissing(reg, prompter));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, Msg(4));
    EXPECT_EQ(prompter.shown[0].icon, PromptIcon::Stop);
    EXPECT_TRUE(reg.Missing());
}

}  // namespace
}  // namespace fim
