#include "settings/platform/FirstStart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QXmlStreamWriter>

#include "base/Catalog.h"
#include "base/Prompter.h"

// The resource initialiser is declared at global scope, so it is called from there.
static void InitAppResources() { Q_INIT_RESOURCE(app); }

namespace fim {

// None of the formats carries a signature: the time file is bare doubles, and the version field of
// the calibration and spectrum layouts is the same in two types each. They are known by extension.
const FileTypeInfo kRegisteredFileTypes[6] = {
    {"MTF", "application/x-fim-impulse-response", 238},
    {"CAL", "application/x-fim-fft-calibration", 239},
    {"CSM", "application/x-fim-smooth-calibration", 240},
    {"MFR", "application/x-fim-fft-response", 241},
    {"SMR", "application/x-fim-smooth-response", 242},
    {"SMC", "application/x-fim-mic-correction", 202},
};

const char* const kOpenedForeignTypes[1] = {"audio/x-wav"};

namespace {

QString FromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

QString EnglishText(int message) { return FromUtf8(CatalogText(Language::English, message)); }
QString GermanText(int message) { return FromUtf8(CatalogText(Language::German, message)); }

// The program path as the Exec key's first argument. A path with a reserved character is quoted,
// `"`, `` ` ``, `$` and `\` escaped inside the quotes; then, as for every string value, each
// backslash is written twice. A literal `%` is doubled in either case.
QString ExecArgument(const QString& path) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = path.isEmpty();
    for (const QChar c : path) quote = quote || reserved.contains(c);
    QString arg;
    for (const QChar c : path) {
        if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\')) arg += u'\\';
        if (c == u'%') arg += u'%';
        arg += c;
    }
    if (quote) arg = u'"' + arg + u'"';
    arg.replace(u'\\', QStringLiteral("\\\\"));
    return arg;
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
    QString env = qEnvironmentVariable("XDG_DATA_HOME");
    if (!env.isEmpty() && QDir::isAbsolutePath(env)) return env;
    return QDir::homePath() + QStringLiteral("/.local/share");
}

bool IsInstalledProgram(const QString& programDir) {
    return QFileInfo::exists(programDir + QStringLiteral("/../share/applications/") +
                             QLatin1String(kDesktopId) + QStringLiteral(".desktop"));
}

FileTypeRegistrar::FileTypeRegistrar(QString dataHome, QString program, bool refreshCaches)
    : dataHome_(std::move(dataHome)), program_(std::move(program)), refreshCaches_(refreshCaches) {}

FileTypeRegistrar::FileTypeRegistrar()
    : FileTypeRegistrar(UserDataHome(), QCoreApplication::applicationFilePath()) {}

QString FileTypeRegistrar::MimePackagePath() const {
    return dataHome_ + QStringLiteral("/mime/packages/") + QLatin1String(kDesktopId) +
           QStringLiteral(".xml");
}

QString FileTypeRegistrar::DesktopEntryPath() const {
    return dataHome_ + QStringLiteral("/applications/") + QLatin1String(kDesktopId) +
           QStringLiteral(".desktop");
}

QString FileTypeRegistrar::IconPath() const {
    return dataHome_ + QStringLiteral("/icons/hicolor/scalable/apps/") + QLatin1String(kDesktopId) +
           QStringLiteral(".svg");
}

QByteArray FileTypeRegistrar::Icon() {
    InitAppResources();
    QFile f(QStringLiteral(":/app/") + QLatin1String(kDesktopId) + QStringLiteral(".svg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
        w.writeTextElement(QStringLiteral("comment"), EnglishText(t.message));
        w.writeStartElement(QStringLiteral("comment"));
        w.writeAttribute(QStringLiteral("xml:lang"), QStringLiteral("de"));
        w.writeCharacters(GermanText(t.message));
        w.writeEndElement();
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
    for (const char* t : kOpenedForeignTypes) types << QLatin1String(t);
    QString e;
    e += QStringLiteral("[Desktop Entry]\n");
    e += QStringLiteral("Type=Application\n");
    e += QStringLiteral("Name=Field Impulse Meter\n");
    e += QStringLiteral("Comment=") + EnglishText(0) + u'\n';
    e += QStringLiteral("Comment[de]=") + GermanText(0) + u'\n';
    // The program opens one file named on its command line.
    e += QStringLiteral("Exec=") + ExecArgument(program_) + QStringLiteral(" %f\n");
    e += QStringLiteral("Icon=") + QLatin1String(kDesktopId) + u'\n';
    e += QStringLiteral("Terminal=false\n");
    e += QStringLiteral("Categories=AudioVideo;Audio;\n");
    e += QStringLiteral("Keywords=MLS;impulse response;frequency response;loudspeaker;PA;\n");
    e += QStringLiteral("MimeType=") + types.join(u';') + QStringLiteral(";\n");
    return e;
}

bool FileTypeRegistrar::Register(Prompter& prompter) const {
    const bool ok = WriteWhole(MimePackagePath(), MimePackage().toUtf8()) &&
                    WriteWhole(DesktopEntryPath(), DesktopEntry().toUtf8()) &&
                    WriteWhole(IconPath(), Icon());
    if (!ok) {
        prompter.Ask(Msg(244), Msg(4), PromptButtons::Ok, PromptIcon::Stop);
        return false;
    }
    if (refreshCaches_) {
        RefreshCache("update-mime-database", dataHome_ + QStringLiteral("/mime"));
        RefreshCache("update-desktop-database", dataHome_ + QStringLiteral("/applications"));
    }
    prompter.Ask(Msg(244), Msg(243), PromptButtons::Ok, PromptIcon::Information);
    return true;
}

bool RegisterFileTypesIfMissing(const FileTypeRegistrar& registrar, Prompter& prompter) {
    if (!registrar.Missing()) return false;
    registrar.Register(prompter);
    return true;
}

}  // namespace fim
