#include "ZResourceArchiveZipEntry.h"

#include <cstring>

ZResourceArchiveZipEntry::ZResourceArchiveZipEntry(const char* entryName, uint64_t length)
    : name(new char[length + 1]), nameLength(length) {
    memcpy(name, entryName, length);
    name[length] = '\0';
    isFolder = length > 0 && name[length - 1] == '/';
}

ZResourceArchiveZipEntry::~ZResourceArchiveZipEntry() {
    delete[] name;
    delete[] contents;
}
