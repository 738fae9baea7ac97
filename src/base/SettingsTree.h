#pragma once
// The per-user settings tree: one key of named values. Names are matched without regard to
// case ("Samplerate" and "SAMPLERATE" address one value). Types are the registry's: 32-bit
// integer, boolean (an integer 0/1), float (an 8-byte little-endian binary value), string and
// fixed-size binary blocks. A read of a missing value, or of a value of another type, gives
// nullopt and the caller uses its default.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fim {

// State of the settings key when it was opened: Missing on a first start (nothing stored yet),
// Unreadable when it exists but cannot be read (values then read as missing).
enum class SettingsStatus { Ok, Missing, Unreadable };

class SettingsTree {
  public:
    virtual ~SettingsTree() = default;

    virtual SettingsStatus Status() const { return SettingsStatus::Ok; }

    virtual bool HasValue(std::string_view name) const = 0;
    virtual std::optional<int32_t> ReadInteger(std::string_view name) const = 0;
    virtual std::optional<bool> ReadBool(std::string_view name) const = 0;
    virtual std::optional<double> ReadFloat(std::string_view name) const = 0;
    virtual std::optional<std::string> ReadString(std::string_view name) const = 0;
    virtual std::optional<std::vector<uint8_t>> ReadBinary(std::string_view name) const = 0;

    virtual void WriteInteger(std::string_view name, int32_t value) = 0;
    virtual void WriteBool(std::string_view name, bool value) = 0;
    virtual void WriteFloat(std::string_view name, double value) = 0;
    virtual void WriteString(std::string_view name, std::string_view value) = 0;
    virtual void WriteBinary(std::string_view name, const std::vector<uint8_t>& value) = 0;
    virtual void DeleteValue(std::string_view name) = 0;

    // Makes the written values durable (a file back end replaces its file only when complete).
    // Returns false when that failed.
    virtual bool Flush() { return true; }
    // Where the values are kept (a file's path, a registry key), for messages; empty when in
    // memory only.
    virtual std::string Location() const { return {}; }

    // A binary block of exactly `size` bytes, or nullopt when missing or of another size.
    std::optional<std::vector<uint8_t>> ReadBlock(std::string_view name, std::size_t size) const {
        auto v = ReadBinary(name);
        if (!v || v->size() != size) return std::nullopt;
        return v;
    }
};

}  // namespace fim
