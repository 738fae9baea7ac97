#pragma once
// A settings tree held in memory: for tests and for fimtool runs that must not touch the user's
// settings.

#include <map>
#include <optional>
#include <variant>

#include "base/SettingsTree.h"

namespace fim {

class MemorySettingsTree : public SettingsTree {
  public:
    using Value = std::variant<int32_t, bool, double, std::string, std::vector<uint8_t>>;

    // Missing while the tree holds no value (a first start), unless a test set `status`.
    SettingsStatus Status() const override;
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

    // Raw access for tests (for example to plant a value of the wrong type).
    void Set(std::string_view name, Value value);
    std::size_t Count() const { return values_.size(); }
    void Clear() { values_.clear(); }
    // Names in upper case, in sorted order, each with its value.
    const std::map<std::string, Value>& Values() const { return values_; }
    std::optional<SettingsStatus> status;

  private:
    const Value* Find(std::string_view name) const;
    std::map<std::string, Value> values_;  // keyed by the upper-cased name
};

// Upper-cases ASCII letters and the Latin-1 letters of UTF-8 text ("Höhe" → "HÖHE"), the key
// by which setting names are compared.
std::string SettingsKey(std::string_view name);

}  // namespace fim
