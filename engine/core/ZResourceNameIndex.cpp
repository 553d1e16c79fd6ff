#include "ZResourceNameIndex.h"

#include <cstring>

namespace {

// ASCII only, like the hash: a locale's own case rules could make equal names hash apart.
inline unsigned char fold(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

}  // namespace

size_t ZResourceNameIndex::FoldedHash::operator()(std::string_view name) const {
    uint64_t hash = 14695981039346656037ull;
    for (char c : name) hash = (hash ^ fold(c)) * 1099511628211ull;
    return static_cast<size_t>(hash ^ (hash >> 29));
}

bool ZResourceNameIndex::FoldedEqual::operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

void ZResourceNameIndex::add(const char* name, size_t length, bool isFolder,
                             ZObjectListable* entry) {
    if (!name || !entry) return;
    Slot& slot = m_slots[std::string_view(name, length)];
    if (!slot.first) slot.first = entry;
    if (!isFolder && !slot.firstFile) slot.firstFile = entry;
}

ZObjectListable* ZResourceNameIndex::find(const char* name, bool skipFolders) const {
    if (!name) return nullptr;
    auto found = m_slots.find(std::string_view(name, strlen(name)));
    if (found == m_slots.end()) return nullptr;
    return skipFolders ? found->second.firstFile : found->second.first;
}
