#include "base/MemorySettingsTree.h"

#include "base/LeBlock.h"

namespace fim {

std::string SettingsKey(std::string_view name) {
    std::string key;
    key.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c >= 'a' && c <= 'z') {
            key.push_back(static_cast<char>(c - 'a' + 'A'));
        } else if (c == 0xC3 && i + 1 < name.size()) {
            // Latin-1 lower-case letters U+00E0 … U+00FE (except U+00F7) map to U+00C0 … U+00DE.
            auto d = static_cast<unsigned char>(name[i + 1]);
            if (d >= 0xA0 && d <= 0xBE && d != 0xB7) d = static_cast<unsigned char>(d - 0x20);
            key.push_back(static_cast<char>(c));
            key.push_back(static_cast<char>(d));
            ++i;
        } else {
            key.push_back(static_cast<char>(c));
        }
    }
    return key;
}

const MemorySettingsTree::Value* MemorySettingsTree::Find(std::string_view name) const {
    auto it = values_.find(SettingsKey(name));
    return it == values_.end() ? nullptr : &it->second;
}

SettingsStatus MemorySettingsTree::Status() const {
    if (status) return *status;
    return values_.empty() ? SettingsStatus::Missing : SettingsStatus::Ok;
}

bool MemorySettingsTree::HasValue(std::string_view name) const { return Find(name) != nullptr; }

std::optional<int32_t> MemorySettingsTree::ReadInteger(std::string_view name) const {
    const Value* v = Find(name);
    if (v == nullptr) return std::nullopt;
    if (auto* i = std::get_if<int32_t>(v)) return *i;
    if (auto* b = std::get_if<bool>(v)) return *b ? 1 : 0;
    return std::nullopt;
}

std::optional<bool> MemorySettingsTree::ReadBool(std::string_view name) const {
    const Value* v = Find(name);
    if (v == nullptr) return std::nullopt;
    if (auto* b = std::get_if<bool>(v)) return *b;
    if (auto* i = std::get_if<int32_t>(v)) return *i != 0;
    return std::nullopt;
}

std::optional<double> MemorySettingsTree::ReadFloat(std::string_view name) const {
    const Value* v = Find(name);
    if (v == nullptr) return std::nullopt;
    if (auto* d = std::get_if<double>(v)) return *d;
    // A float is stored as an 8-byte binary value.
    if (auto* b = std::get_if<std::vector<uint8_t>>(v); b != nullptr && b->size() == 8) {
        return LeBlock(*b).F64(0);
    }
    return std::nullopt;
}

std::optional<std::string> MemorySettingsTree::ReadString(std::string_view name) const {
    const Value* v = Find(name);
    if (v == nullptr) return std::nullopt;
    if (auto* s = std::get_if<std::string>(v)) return *s;
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> MemorySettingsTree::ReadBinary(std::string_view name) const {
    const Value* v = Find(name);
    if (v == nullptr) return std::nullopt;
    if (auto* b = std::get_if<std::vector<uint8_t>>(v)) return *b;
    return std::nullopt;
}

void MemorySettingsTree::WriteInteger(std::string_view name, int32_t value) { Set(name, value); }
void MemorySettingsTree::WriteBool(std::string_view name, bool value) { Set(name, value); }
void MemorySettingsTree::WriteFloat(std::string_view name, double value) { Set(name, value); }
void MemorySettingsTree::WriteString(std::string_view name, std::string_view value) {
    Set(name, std::string(value));
}
void MemorySettingsTree::WriteBinary(std::string_view name, const std::vector<uint8_t>& value) {
    Set(name, value);
}
void MemorySettingsTree::DeleteValue(std::string_view name) { values_.erase(SettingsKey(name)); }

void MemorySettingsTree::Set(std::string_view name, Value value) {
    values_[SettingsKey(name)] = std::move(value);
}

}  // namespace fim
