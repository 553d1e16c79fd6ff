#include "ZManagedShaderList.h"

#include <cstring>

#include "ZCore.h"

ZManagedShaderList::ZManagedShaderList() {}

ZManagedShaderList::~ZManagedShaderList() {}

bool ZManagedShaderList::composeShaderName(const char* name, char* out) {
    if (!name) name = "";
    size_t length = strlen(name);
    if (length >= static_cast<size_t>(kNameSize)) return false;
    const char* prefix = nullptr;
    switch (ZCore::getRenderer()) {
        case eRendererOpenGL:
            prefix = "gl_";
            break;
        case eRendererDirectX9:
            prefix = "d3d9_";
            break;
        default:
            break;
    }
    if (!prefix) {
        memcpy(out, name, length + 1);
        return true;
    }
    const char* file = strrchr(name, '/');
    if (!file) file = strrchr(name, '\\');
    size_t folder = file ? static_cast<size_t>(file + 1 - name) : 0;
    size_t extra = strlen(prefix);
    if (length + extra >= static_cast<size_t>(kNameSize)) return false;
    memcpy(out, name, folder);
    memcpy(out + folder, prefix, extra);
    memcpy(out + folder + extra, name + folder, length - folder + 1);
    return true;
}

ZPixelShader* ZManagedShaderList::loadShader(const char* name) {
    char specific[kNameSize];
    if (!composeShaderName(name, specific)) {
        ZCore::logMessage("Resource: shader name longer than %ld characters, not loaded: %s, ERROR",
                          kNameSize - 1, name ? name : "");
        return nullptr;
    }
    char path[kNameSize];
    char key[kNameSize];
    if (!composeFilePath(specific, path) || !makeKey(specific, key)) return nullptr;
    LockScope lock(m_lock);
    if (ZManagedShader* entry = findKey(key)) {
        entry->count++;
        return entry->object;
    }
    ZPixelShader* shader = ZCore::createZPixelShader();
    if (!shader) {
        ZCore::logMessage("Resource: no renderer to load shader %s with, ERROR", path);
        return nullptr;
    }
    if (!shader->loadPixelShader(path)) {
        delete shader;
        return nullptr;
    }
    ZManagedShader* entry = new ZManagedShader();
    memcpy(entry->name, key, strlen(key) + 1);
    entry->count = 1;
    entry->object = shader;
    addEntry(entry);
    return shader;
}

ZPixelShader* ZManagedShaderList::getShaderByName(const char* name) {
    char specific[kNameSize];
    return composeShaderName(name, specific) ? getObjectByName(specific) : nullptr;
}

void ZManagedShaderList::unloadShaderByRef(ZPixelShader* shader) {
    unloadObject(shader);
}

void ZManagedShaderList::unloadShaderByName(const char* name) {
    char specific[kNameSize];
    if (!composeShaderName(name, specific)) return;
    unloadName(specific);
}

void ZManagedShaderList::forEach(ForEachCallback callback, void* user) {
    if (!callback) return;
    forEachEntry([callback, user](ZManagedShader* entry) {
        callback(user, entry->name, static_cast<long>(entry->count), entry->object);
    });
}
