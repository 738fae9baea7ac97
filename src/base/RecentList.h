#pragma once
// Most-recently-used file lists: the four recent time files of the DATA menu, the eight recent
// calibrations (each remembering its analysis mode) and the eight recent overlays.

#include <cstddef>
#include <string>
#include <vector>

#include "base/SettingsTree.h"

namespace fim {

class RecentList {
  public:
    enum class Policy {
        // A name already listed leaves the list as it is (the DATA menu's time files).
        KeepExisting,
        // A name already listed moves to the top (calibrations, overlays).
        MoveToTop,
    };
    struct Entry {
        std::string path;
        int tag = 0;  // e.g. the analysis mode a calibration belongs to
    };

    RecentList(std::size_t capacity, Policy policy) : capacity_(capacity), policy_(policy) {}

    // Puts `path` first (newest); the oldest entry drops off a full list. Returns true when the
    // list changed.
    bool Add(const std::string& path, int tag = 0);
    void Clear() { entries_.clear(); }
    const std::vector<Entry>& Entries() const { return entries_; }
    std::size_t Capacity() const { return capacity_; }

    // Slot texts for a menu of Capacity() items: the entries, then `empty` for unused slots.
    std::vector<std::string> Slots(const std::string& empty) const;

    // The "Calfile"/"Overfile" values: `prefix`1 … `prefix`<capacity>, "**" marking an empty
    // slot. Reading stops at the first "**" (or missing value); when `firstMustExist` is set and
    // the first file no longer exists the list stays empty.
    void LoadStarList(const SettingsTree& tree, const std::string& prefix, bool firstMustExist);
    void SaveStarList(SettingsTree& tree, const std::string& prefix) const;

    // The DATA menu's "FILE1" … "FILE4": a slot is used when its text is longer than one
    // character (the menu shows exactly those).
    void LoadMenuList(const SettingsTree& tree, const std::string& prefix);
    void SaveMenuList(SettingsTree& tree, const std::string& prefix) const;

  private:
    std::size_t capacity_;
    Policy policy_;
    std::vector<Entry> entries_;
};

}  // namespace fim
