#include "ZManagedBitmapFontList.h"

#include <cstring>

#include "ZCore.h"

ZManagedBitmapFontList::ZManagedBitmapFontList() {}

ZManagedBitmapFontList::~ZManagedBitmapFontList() {}

ZText* ZManagedBitmapFontList::loadFont(const char* tableName, const char* pictureName,
                                        long compatibilityLevel, ZManagedBitmapFontFactory factory,
                                        bool trueColor, bool mipmaps) {
    char key[kNameSize];
    char tablePath[kNameSize];
    char picturePath[kNameSize];
    if (!makeLoadKey(tableName, key) || !composeFilePath(tableName, tablePath)) return nullptr;
    if (pictureName && !composeFilePath(pictureName, picturePath)) return nullptr;
    LockScope lock(m_lock);
    if (ZManagedBitmapFont* entry = findKey(key)) {
        entry->count++;
        return entry->object;
    }
    ZText* face = factory ? factory() : new ZText();
    if (!face) {
        ZCore::logMessage("Resource: no face made for the font %s, ERROR", tablePath);
        return nullptr;
    }
    if (!face->loadFontTableAndBitmap(tablePath, pictureName ? picturePath : nullptr, trueColor,
                                      mipmaps)) {
        delete face;
        return nullptr;
    }
    if (compatibilityLevel != 0) face->setCompatibilityLevel(compatibilityLevel);
    ZManagedBitmapFont* entry = new ZManagedBitmapFont();
    memcpy(entry->name, key, strlen(key) + 1);
    entry->count = 1;
    entry->object = face;
    addEntry(entry);
    return face;
}

ZText* ZManagedBitmapFontList::getFontByName(const char* tableName) {
    return getObjectByName(tableName);
}

void ZManagedBitmapFontList::unloadFontByRef(ZText* face) {
    unloadObject(face);
}

void ZManagedBitmapFontList::unloadFontByName(const char* tableName) {
    unloadName(tableName);
}

void ZManagedBitmapFontList::forEach(ForEachCallback callback, void* user) {
    if (!callback) return;
    forEachEntry([callback, user](ZManagedBitmapFont* entry) {
        callback(user, entry->name, static_cast<long>(entry->count), entry->object);
    });
}
