#include "base/platform/QSettingsTree.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <filesystem>
#include <limits>
#include <system_error>

#include "base/LeBlock.h"
#include "base/MemorySettingsTree.h"

namespace fim {

namespace {

QString Normalised(std::string_view name) { return QString::fromStdString(SettingsKey(name)); }

QString ToQString(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::optional<int32_t> ParseInt(const QVariant& v) {
    if (v.typeId() != QMetaType::QString) return std::nullopt;
    bool ok = false;
    const qlonglong n = v.toString().trimmed().toLongLong(&ok);
    if (!ok || n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(n);
}

std::filesystem::path FsPath(const QString& p) {
    const QByteArray utf8 = p.toUtf8();
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

QSettingsTree::QSettingsTree() {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    native_ = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                          kOrganization, kApplication);
    Load(*native_, !native_->allKeys().isEmpty());
#else
    QSettings probe(QSettings::IniFormat, QSettings::UserScope, kOrganization, kApplication);
    path_ = probe.fileName();
    const bool existed = QFileInfo::exists(path_);
    Load(probe, existed);
#endif
}

QSettingsTree::QSettingsTree(const QString& path) : path_(path) {
    const bool existed = QFileInfo::exists(path);
    QSettings from(path, QSettings::IniFormat);
    Load(from, existed);
}

QSettingsTree::~QSettingsTree() = default;

void QSettingsTree::Load(QSettings& from, bool existed) {
    if (!existed) {
        status_ = SettingsStatus::Missing;
    } else if (from.status() != QSettings::NoError ||
               (!path_.isEmpty() && !QFileInfo(path_).isReadable())) {
        status_ = SettingsStatus::Unreadable;
    }
    // allKeys() is sorted, so of two spellings of one name the same one wins on every start;
    // the others are dropped with the next save.
    const QStringList all = from.allKeys();
    for (const QString& key : all) {
        const QString norm = Normalised(key.toStdString());
        if (values_.contains(norm)) continue;
        QVariant v = from.value(key);
        // An unquoted text with commas (a hand edit) reads back as a list; it is still the text.
        if (v.typeId() == QMetaType::QStringList) {
            v = QVariant(v.toStringList().join(QLatin1Char(',')));
        }
        // Anything but text and bytes is nothing this program stores: leave it out.
        if (v.typeId() != QMetaType::QString && v.typeId() != QMetaType::QByteArray) continue;
        values_.insert(norm, Entry{key, v});
    }
}

QString QSettingsTree::FileName() const { return native_ ? native_->fileName() : path_; }

const QVariant* QSettingsTree::Find(std::string_view name) const {
    const auto it = values_.constFind(Normalised(name));
    return it == values_.constEnd() ? nullptr : &it->value;
}

void QSettingsTree::Write(std::string_view name, QVariant value) {
    const QString norm = Normalised(name);
    auto it = values_.find(norm);
    if (it != values_.end()) {
        it->value = std::move(value);
    } else {
        values_.insert(norm, Entry{ToQString(name), std::move(value)});
    }
}

bool QSettingsTree::HasValue(std::string_view name) const { return Find(name) != nullptr; }

std::optional<int32_t> QSettingsTree::ReadInteger(std::string_view name) const {
    const QVariant* v = Find(name);
    return v ? ParseInt(*v) : std::nullopt;
}

std::optional<bool> QSettingsTree::ReadBool(std::string_view name) const {
    const QVariant* v = Find(name);
    if (v == nullptr || v->typeId() != QMetaType::QString) return std::nullopt;
    const QString s = v->toString().trimmed();
    if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
    if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
    const auto i = ParseInt(*v);
    if (!i) return std::nullopt;
    return *i != 0;
}

std::optional<double> QSettingsTree::ReadFloat(std::string_view name) const {
    const QVariant* v = Find(name);
    if (v == nullptr || v->typeId() != QMetaType::QByteArray) return std::nullopt;
    const QByteArray b = v->toByteArray();
    if (b.size() != 8) return std::nullopt;
    return LeBlock(std::vector<uint8_t>(b.begin(), b.end())).F64(0);
}

std::optional<std::string> QSettingsTree::ReadString(std::string_view name) const {
    const QVariant* v = Find(name);
    if (v == nullptr || v->typeId() != QMetaType::QString) return std::nullopt;
    return v->toString().toStdString();
}

std::optional<std::vector<uint8_t>> QSettingsTree::ReadBinary(std::string_view name) const {
    const QVariant* v = Find(name);
    if (v == nullptr || v->typeId() != QMetaType::QByteArray) return std::nullopt;
    const QByteArray b = v->toByteArray();
    const auto* p = reinterpret_cast<const uint8_t*>(b.constData());
    return std::vector<uint8_t>(p, p + b.size());
}

void QSettingsTree::WriteInteger(std::string_view name, int32_t value) {
    // Kept as the decimal text an INI file holds, so a value reads the same before and after a
    // restart.
    Write(name, QVariant(QString::number(value)));
}

void QSettingsTree::WriteBool(std::string_view name, bool value) {
    // The integer 0/1, as the registry stores a boolean.
    WriteInteger(name, value ? 1 : 0);
}

void QSettingsTree::WriteFloat(std::string_view name, double value) {
    LeBlock b(8);
    b.PutF64(0, value);
    Write(name, QVariant(QByteArray(reinterpret_cast<const char*>(b.bytes().data()), 8)));
}

void QSettingsTree::WriteString(std::string_view name, std::string_view value) {
    Write(name, QVariant(ToQString(value)));
}

void QSettingsTree::WriteBinary(std::string_view name, const std::vector<uint8_t>& value) {
    Write(name, QVariant(QByteArray(reinterpret_cast<const char*>(value.data()),
                                    static_cast<qsizetype>(value.size()))));
}

void QSettingsTree::DeleteValue(std::string_view name) { values_.remove(Normalised(name)); }

bool QSettingsTree::Flush() { return native_ ? FlushNative() : FlushFile(); }

bool QSettingsTree::FlushNative() {
    native_->clear();
    for (const Entry& e : std::as_const(values_)) native_->setValue(e.key, e.value);
    native_->sync();
    return native_->status() == QSettings::NoError;
}

bool QSettingsTree::FlushFile() {
    const QFileInfo info(path_);
    if (!QDir().mkpath(info.absolutePath())) return false;
    // The rename below would replace a file without write permission (only the folder's
    // permission counts for that); a read-only settings file stays as the user made it.
    std::error_code permError;
    const auto perms = std::filesystem::status(FsPath(path_), permError).permissions();
    if (!permError && std::filesystem::exists(FsPath(path_), permError) &&
        (perms & std::filesystem::perms::owner_write) == std::filesystem::perms::none) {
        return false;
    }
    // Two fresh names beside the file for this save. QSettings keeps every file it parsed or
    // wrote in a process-wide cache keyed by name and trusts it while size and time match, so
    // the check below must read a name that was never used before.
    static int saves = 0;
    ++saves;
    const QString stem =
        info.absolutePath() + QStringLiteral("/.") + info.fileName() +
        QStringLiteral(".%1.%2").arg(QCoreApplication::applicationPid()).arg(saves);
    const QString written = stem + QStringLiteral(".new");
    const QString checked = stem + QStringLiteral(".chk");
    const auto cleanUp = [&] {
        for (const QString& f : {written, checked}) {
            QFile::remove(f);
            QFile::remove(f + QStringLiteral(".lock"));
        }
    };

    bool ok = true;
    {
        QSettings out(written, QSettings::IniFormat);
        for (const Entry& e : std::as_const(values_)) out.setValue(e.key, e.value);
        out.sync();
        ok = out.status() == QSettings::NoError;
    }
    // Renaming moves no data, so the file under the new name is exactly what was written.
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(FsPath(written), FsPath(checked), ec);
        ok = !ec;
    }
    // Read it back: a write that ran out of room leaves values missing or cut.
    if (ok) {
        QSettings check(checked, QSettings::IniFormat);
        ok = check.status() == QSettings::NoError &&
             check.allKeys().size() == static_cast<qsizetype>(values_.size());
        for (auto it = values_.constBegin(); ok && it != values_.constEnd(); ++it) {
            ok = check.value(it->key) == it->value;
        }
    }
    if (ok) {
        std::filesystem::rename(FsPath(checked), FsPath(path_), ec);
        ok = !ec;
    }
    cleanUp();
    if (ok) status_ = SettingsStatus::Ok;
    return ok;
}

}  // namespace fim
