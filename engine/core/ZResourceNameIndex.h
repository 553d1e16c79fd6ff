#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "ZObjectListable.h"

// The entries of a mounted archive by name, so that a lookup costs the same however many entries
// the archive holds. Names match without regard to ASCII case and over their whole length. For
// each name the index keeps the first entry added and the first that is not a folder, so the
// archive's own order decides between duplicates.
class ZResourceNameIndex {
public:
    ZResourceNameIndex() = default;
    ZResourceNameIndex(const ZResourceNameIndex&) = delete;
    ZResourceNameIndex& operator=(const ZResourceNameIndex&) = delete;

    void clear() { m_slots.clear(); }
    void reserve(size_t count) { m_slots.reserve(count); }

    // The name is not copied: it must stay in place (inside the entry) while it is indexed.
    void add(const char* name, size_t length, bool isFolder, ZObjectListable* entry);
    // Null when no entry has the name (or, with skipFolders, no entry but folders).
    ZObjectListable* find(const char* name, bool skipFolders) const;

private:
    struct Slot {
        ZObjectListable* first = nullptr;
        ZObjectListable* firstFile = nullptr;
    };
    struct FoldedHash {
        size_t operator()(std::string_view name) const;
    };
    struct FoldedEqual {
        bool operator()(std::string_view a, std::string_view b) const;
    };

    std::unordered_map<std::string_view, Slot, FoldedHash, FoldedEqual> m_slots;
};
