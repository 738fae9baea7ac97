#pragma once
// The settings tree kept by QSettings: organisation "Brevik Audio", application "Field Impulse
// Meter" (an INI file under the user's configuration folder on Linux, the registry key on
// Windows). Value names are matched without regard to case whatever the back end: an existing
// value is found under any spelling and rewritten under the spelling it already has.
//
// Types: integers and booleans are stored as numbers, floats as 8-byte little-endian binary
// values, strings as text and binary blocks as byte arrays. A read of a value that does not
// hold the requested type gives nullopt, so the caller uses its default.
//
// The values are read once when the tree is created and kept in memory; Flush writes them all
// to a new file beside the old one, reads that back to check it is complete, and only then
// renames it over the old file. (QSettings' own save replaces the file even when writing ran
// out of room halfway and reports success, so it is not used on the real file.)
//
// Thread: UI thread only.

#include <QHash>
#include <QString>
#include <QVariant>
#include <memory>

#include "settings/SettingsTree.h"

class QSettings;

namespace fim {

class QSettingsTree : public SettingsTree {
  public:
    static constexpr const char* kOrganization = "Brevik Audio";
    static constexpr const char* kApplication = "Field Impulse Meter";

    // The user's settings (native format on Windows and macOS, INI elsewhere).
    QSettingsTree();
    // An INI file at `path` (tests, and fimtool runs that keep their own settings).
    explicit QSettingsTree(const QString& path);
    ~QSettingsTree() override;

    SettingsStatus Status() const override { return status_; }
    bool HasValue(std::string_view name) const override;
    std::optional<int32_t> ReadInteger(std::string_view name) const override;
    std::optional<bool> ReadBool(std::string_view name) const override;
    std::optional<double> ReadFloat(std::string_view name) const override;
    std::optional<std::string> ReadString(std::string_view name) const override;
    std::optional<std::vector<uint8_t>> ReadBinary(std::string_view name) const override;

    void WriteInteger(std::string_view name, int32_t value) override;
    void WriteBool(std::string_view name, bool value) override;
    void WriteFloat(std::string_view name, double value) override;
    void WriteString(std::string_view name, std::string_view value) override;
    void WriteBinary(std::string_view name, const std::vector<uint8_t>& value) override;
    void DeleteValue(std::string_view name) override;

    // Writes the file through a temporary file that replaces the old one only when complete.
    // False when the file could not be written (the old file is then unchanged); a file the
    // user made read-only is left alone too.
    bool Flush() override;
    std::string Location() const override { return FileName().toStdString(); }

    QString FileName() const;

  private:
    struct Entry {
        QString key;     // the spelling stored in the file
        QVariant value;  // QString (text and numbers) or QByteArray (binary)
    };

    void Load(QSettings& from, bool existed);
    const QVariant* Find(std::string_view name) const;
    // Stores under the spelling the value already has, else under `name` as given.
    void Write(std::string_view name, QVariant value);
    bool FlushFile();
    bool FlushNative();

    QString path_;                       // the INI file; empty for the native store
    std::unique_ptr<QSettings> native_;  // the native store (registry) when not an INI file
    QHash<QString, Entry> values_;       // by normalised name
    SettingsStatus status_ = SettingsStatus::Ok;
};

}  // namespace fim
