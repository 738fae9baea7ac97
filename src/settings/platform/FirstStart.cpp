#include "settings/platform/FirstStart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QXmlStreamWriter>

#include "base/Catalog.h"
#include "base/Prompter.h"

namespace fim {

const FileTypeInfo kRegisteredFileTypes[5] = {
    {"MTF", "application/x-fim-impulse-response", 238},
    {"CAL", "application/x-fim-fft-calibration", 239},
    {"CSM", "application/x-fim-smooth-calibration", 240},
    {"MFR", "application/x-fim-fft-response", 241},
    {"SMR", "application/x-fim-smooth-response", 242},
};

namespace {

const char* const kPackageName = "field-impulse-meter.xml";
const char* const kDesktopName = "field-impulse-meter.desktop";

QString FromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// Quotes a program path for the Exec key of a desktop entry: inside double quotes, `"`, `` ` ``,
// `$` and `\` are escaped with a backslash; a literal `%` is doubled.
QString QuoteExec(const QString& path) {
    QString out = QStringLiteral("\"");
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') out += u'\\';
        if (c == u'%') out += u'%';
        out += c;
    }
    out += u'"';
    return out;
}

bool WriteWhole(const QString& path, const QByteArray& data) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// Starts a cache refresh tool when it is installed; the program does not wait for it.
void RefreshCache(const char* tool, const QString& folder) {
    const QString exe = QStandardPaths::findExecutable(QString::fromLatin1(tool));
    if (exe.isEmpty()) return;
    QProcess::startDetached(exe, {folder});
}

}  // namespace

QString UserDataHome() {
    const QString env = qEnvironmentVariable("XDG_DATA_HOME");
    if (!env.isEmpty() && QDir::isAbsolutePath(env)) return env;
    return QDir::homePath() + QStringLiteral("/.local/share");
}

FileTypeRegistrar::FileTypeRegistrar(QString dataHome, QString program)
    : dataHome_(std::move(dataHome)), program_(std::move(program)) {}

FileTypeRegistrar::FileTypeRegistrar()
    : FileTypeRegistrar(UserDataHome(), QCoreApplication::applicationFilePath()) {}

QString FileTypeRegistrar::MimePackagePath() const {
    return dataHome_ + QStringLiteral("/mime/packages/") + QLatin1String(kPackageName);
}

QString FileTypeRegistrar::DesktopEntryPath() const {
    return dataHome_ + QStringLiteral("/applications/") + QLatin1String(kDesktopName);
}

bool FileTypeRegistrar::Missing() const {
    return !QFileInfo::exists(MimePackagePath()) || !QFileInfo::exists(DesktopEntryPath());
}

QString FileTypeRegistrar::MimePackage() const {
    QString xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("mime-info"));
    w.writeDefaultNamespace(
        QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info"));
    for (const FileTypeInfo& t : kRegisteredFileTypes) {
        w.writeStartElement(QStringLiteral("mime-type"));
        w.writeAttribute(QStringLiteral("type"), QLatin1String(t.mimeType));
        w.writeTextElement(QStringLiteral("comment"), FromUtf8(Msg(t.message)));
        // Globs match without regard to case unless marked otherwise.
        w.writeEmptyElement(QStringLiteral("glob"));
        w.writeAttribute(QStringLiteral("pattern"),
                         QStringLiteral("*.") + QString::fromLatin1(t.extension).toLower());
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}

QString FileTypeRegistrar::DesktopEntry() const {
    QStringList types;
    for (const FileTypeInfo& t : kRegisteredFileTypes) types << QLatin1String(t.mimeType);
    QString e;
    e += QStringLiteral("[Desktop Entry]\n");
    e += QStringLiteral("Type=Application\n");
    e += QStringLiteral("Name=Field Impulse Meter\n");
    e += QStringLiteral("Comment=") + FromUtf8(Msg(0)) + u'\n';
    e += QStringLiteral("Exec=") + QuoteExec(program_) + QStringLiteral(" %f\n");
    e += QStringLiteral("Terminal=false\n");
    e += QStringLiteral("Categories=AudioVideo;Audio;\n");
    e += QStringLiteral("MimeType=") + types.join(u';') + QStringLiteral(";\n");
    return e;
}

bool FileTypeRegistrar::Register(Prompter& prompter) const {
    const bool ok = WriteWhole(MimePackagePath(), MimePackage().toUtf8()) &&
                    WriteWhole(DesktopEntryPath(), DesktopEntry().toUtf8());
    if (!ok) {
        prompter.Ask(Msg(244), Msg(4), PromptButtons::Ok, PromptIcon::Stop);
        return false;
    }
    RefreshCache("update-mime-database", dataHome_ + QStringLiteral("/mime"));
    RefreshCache("update-desktop-database", dataHome_ + QStringLiteral("/applications"));
    prompter.Ask(Msg(244), Msg(243), PromptButtons::Ok, PromptIcon::Information);
    return true;
}

bool RegisterFileTypesIfMissing(const FileTypeRegistrar& registrar, Prompter& prompter) {
    if (!registrar.Missing()) return false;
    registrar.Register(prompter);
    return true;
}

}  // namespace fim
