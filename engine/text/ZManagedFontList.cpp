#include "ZManagedFontList.h"

#include <cstring>

#include "ZCore.h"

ZManagedFontList::ZManagedFontList() {}

ZManagedFontList::~ZManagedFontList() {}

ZManagedFont* ZManagedFontList::find(const char* key, long pixelHeight, long extraKey) const {
    return findKey(key, [pixelHeight, extraKey](const ZManagedFont* entry) {
        return entry->pixelHeight == pixelHeight && entry->extraKey == extraKey;
    });
}

ZTrueText* ZManagedFontList::loadFont(const char* name, long pixelHeight, bool deferredRendering,
                                      long extraKey, bool kerningPairs, long compatibilityLevel,
                                      bool trueColor, bool mipmaps) {
    char key[kNameSize];
    char path[kNameSize];
    if (!makeLoadKey(name, key) || !composeFilePath(name, path)) return nullptr;
    LockScope lock(m_lock);
    if (ZManagedFont* entry = find(key, pixelHeight, extraKey)) {
        entry->count++;
        return entry->object;
    }
    ZTrueText* face = new ZTrueText();
    if (!face->loadFontFile(path, kerningPairs, trueColor, mipmaps)) {
        ZCore::logMessage("Resource: the font %s could not be opened, ERROR", path);
        delete face;
        return nullptr;
    }
    if (compatibilityLevel != 0) face->setCompatibilityLevel(compatibilityLevel);
    if (deferredRendering) face->setDeferredRendering(true);
    face->setHeightPix(pixelHeight);
    ZManagedFont* entry = new ZManagedFont();
    memcpy(entry->name, key, strlen(key) + 1);
    entry->count = 1;
    entry->object = face;
    entry->pixelHeight = pixelHeight;
    entry->extraKey = extraKey;
    addEntry(entry);
    return face;
}

ZTrueText* ZManagedFontList::getFontByName(const char* name, long pixelHeight, long extraKey) {
    char key[kNameSize];
    if (!makeKey(name, key)) return nullptr;
    LockScope lock(m_lock);
    ZManagedFont* entry = find(key, pixelHeight, extraKey);
    return entry ? entry->object : nullptr;
}

void ZManagedFontList::unloadFontByRef(ZTrueText* face) {
    unloadObject(face);
}

void ZManagedFontList::unloadFontByName(const char* name, long pixelHeight, long extraKey) {
    char key[kNameSize];
    if (!makeKey(name, key)) return;
    m_lock.acquire();
    ZManagedFont* entry = find(key, pixelHeight, extraKey);
    ZManagedFont* gone = entry ? dropReference(entry) : nullptr;
    m_lock.release();
    if (gone) releaseEntry(gone);
}

void ZManagedFontList::forEach(ForEachCallback callback, void* user) {
    if (!callback) return;
    forEachEntry([callback, user](ZManagedFont* entry) {
        callback(user, entry->name, static_cast<long>(entry->count), entry->object,
                 static_cast<long>(entry->pixelHeight));
    });
}
