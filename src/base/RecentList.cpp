#include "base/RecentList.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fim {

bool RecentList::Add(const std::string& path, int tag) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.path == path; });
    if (it != entries_.end()) {
        if (policy_ == Policy::KeepExisting) return false;
        if (it == entries_.begin() && it->tag == tag) return false;
        entries_.erase(it);
    }
    entries_.insert(entries_.begin(), Entry{path, tag});
    if (entries_.size() > capacity_) entries_.resize(capacity_);
    return true;
}

std::vector<std::string> RecentList::Slots(const std::string& empty) const {
    std::vector<std::string> slots(capacity_, empty);
    for (std::size_t i = 0; i < entries_.size(); ++i) slots[i] = entries_[i].path;
    return slots;
}

void RecentList::LoadStarList(const SettingsTree& tree, const std::string& prefix,
                              bool firstMustExist) {
    entries_.clear();
    for (std::size_t i = 1; i <= capacity_; ++i) {
        const auto value = tree.ReadString(prefix + std::to_string(i));
        if (!value || *value == "**") break;
        entries_.push_back(Entry{*value, 0});
    }
    if (firstMustExist && !entries_.empty()) {
        std::error_code ec;
        if (!std::filesystem::exists(entries_.front().path, ec)) entries_.clear();
    }
}

void RecentList::SaveStarList(SettingsTree& tree, const std::string& prefix) const {
    const auto slots = Slots("**");
    for (std::size_t i = 0; i < slots.size(); ++i) {
        tree.WriteString(prefix + std::to_string(i + 1), slots[i]);
    }
}

void RecentList::LoadMenuList(const SettingsTree& tree, const std::string& prefix) {
    entries_.clear();
    for (std::size_t i = 1; i <= capacity_; ++i) {
        const auto value = tree.ReadString(prefix + std::to_string(i));
        if (value && value->size() > 1) entries_.push_back(Entry{*value, 0});
    }
}

void RecentList::SaveMenuList(SettingsTree& tree, const std::string& prefix) const {
    const auto slots = Slots("");
    for (std::size_t i = 0; i < slots.size(); ++i) {
        tree.WriteString(prefix + std::to_string(i + 1), slots[i]);
    }
}

}  // namespace fim
