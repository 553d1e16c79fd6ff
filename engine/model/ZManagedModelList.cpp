#include "ZManagedModelList.h"

#include <cstring>

#include "ZCore.h"

ZManagedModelList::ZManagedModelList() {}

ZManagedModelList::~ZManagedModelList() {}

ZModel* ZManagedModelList::loadModel(const char* name, const char* textureFolder) {
    char key[kNameSize];
    char path[kNameSize];
    if (!makeLoadKey(name, key) || !composeFilePath(name, path)) return nullptr;
    if (!textureFolder) textureFolder = "";

    LockScope lock(m_lock);
    if (ZManagedModel* entry = findKey(key)) {
        entry->count++;
        return entry->object;
    }
    ZModel* model = new ZModel();
    if (!model->loadModel(path, 1)) {
        delete model;
        return nullptr;
    }
    model->loadTextures(textureFolder, 1);
    ZManagedModel* entry = new ZManagedModel();
    memcpy(entry->name, key, strlen(key) + 1);
    memcpy(entry->path, path, strlen(path) + 1);
    strncpy(entry->textureFolder, textureFolder, kNameSize - 1);
    entry->count = 1;
    entry->object = model;
    addEntry(entry);
    return model;
}

void ZManagedModelList::uploadModel(ZModel* model) {
    LockScope lock(m_lock);
    ZManagedModel* entry = findObject(model);
    if (!entry || entry->uploaded) return;
    // The decoded model is all the rendering half needs: the file is not read again.
    model->loadModelFromPtr(entry->path, nullptr, 0, 2);
    model->loadTextures(entry->textureFolder, 2);
    entry->uploaded = true;
}

ZModel* ZManagedModelList::getModelByName(const char* name) {
    return getObjectByName(name);
}

void ZManagedModelList::unloadModelByRef(ZModel* model) {
    unloadObject(model);
}

void ZManagedModelList::unloadModelByName(const char* name) {
    unloadName(name);
}

void ZManagedModelList::forEach(ForEachCallback callback, void* user) {
    if (!callback) return;
    forEachEntry([callback, user](ZManagedModel* entry) {
        callback(user, entry->name, static_cast<long>(entry->count), entry->object);
    });
}
