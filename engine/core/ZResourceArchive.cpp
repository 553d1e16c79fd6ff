#include "ZResourceArchive.h"

#include <strings.h>

#include <cstring>

#include "ZResource.h"

long ZResourceArchive::addArchive(const char* path, long flags, const char* password) {
    return ZResource::addArchive(path, flags, password);
}

bool ZResourceArchive::enumerateEntry(const char* folder, const char* entry, bool isFolder,
                                      ZResourceEnumCallback callback, void* user) {
    if (!entry || !callback) return true;
    if (!folder) folder = "";

    // A plain prefix: "data" also matches "database.txt".
    size_t prefix = strlen(folder);
    if (strncasecmp(entry, folder, prefix) != 0) return true;
    const char* rest = entry + prefix;
    while (*rest == '/') rest++;
    if (!*rest) return true;

    // Direct children only: a '/' is allowed only as the last character (a child folder).
    const char* slash = strchr(rest, '/');
    if (slash && slash[1]) return true;

    char name[260];
    size_t length = strnlen(rest, sizeof(name) - 1);
    memcpy(name, rest, length);
    name[length] = '\0';
    if (length > 0 && (name[length - 1] == '/' || name[length - 1] == '\\'))
        name[length - 1] = '\0';
    return callback(name, isFolder, user);
}
