#include "ZManagedSampleList.h"

#include <cstdint>
#include <cstring>

#include "ZCore.h"

namespace {

// The other of the two extensions a sample may come in, for a key ending in one of them.
const char* otherExtension(const char* key) {
    const char* dot = strrchr(key, '.');
    if (!dot) return nullptr;
    if (strcmp(dot, ".ogg") == 0) return ".wav";
    if (strcmp(dot, ".wav") == 0) return ".ogg";
    return nullptr;
}

}  // namespace

ZManagedSampleList::ZManagedSampleList() {}

ZManagedSampleList::~ZManagedSampleList() {}

ZSound* ZManagedSampleList::loadSampleInternal(const char* name, long volume, bool loop,
                                               long voices) {
    char key[kNameSize];
    char path[kNameSize];
    if (!makeLoadKey(name, key) || !composeFilePath(name, path)) return nullptr;
    short voiceCount = voices < 0 ? 0 : voices > ZSound::kMaxVoices ? ZSound::kMaxVoices : voices;

    LockScope lock(m_lock);
    if (ZManagedSample* entry = findKey(key)) {
        entry->count++;
        return entry->object;
    }
    ZSoundBase* made = ZCore::createZSound();
    ZSound* sound = dynamic_cast<ZSound*>(made);
    if (!sound) {
        delete made;
        return nullptr;
    }
    int sampleVolume = static_cast<int>(volume < INT32_MIN   ? INT32_MIN
                                        : volume > INT32_MAX ? INT32_MAX
                                                             : volume);
    bool loaded = sound->loadSample(path, sampleVolume, loop, voiceCount);
    // The path ends in the key's extension, in the name's case; its last four characters are
    // that extension.
    const char* other = otherExtension(key);
    if (!loaded && other) {
        memcpy(path + strlen(path) - 4, other, 4);
        loaded = sound->loadSample(path, sampleVolume, loop, voiceCount);
    }
    if (!loaded) {
        delete sound;
        return nullptr;
    }
    ZManagedSample* entry = new ZManagedSample();
    memcpy(entry->name, key, strlen(key) + 1);
    entry->count = 1;
    entry->object = sound;
    addEntry(entry);
    return sound;
}

ZSound* ZManagedSampleList::getSampleByName(const char* name) {
    return getObjectByName(name);
}

void ZManagedSampleList::unloadSampleByRef(ZSound* sound) {
    unloadObject(sound);
}

void ZManagedSampleList::unloadSampleByName(const char* name) {
    unloadName(name);
}

void ZManagedSampleList::forEach(ForEachCallback callback, void* user) {
    if (!callback) return;
    forEachEntry([callback, user](ZManagedSample* entry) {
        callback(user, entry->name, static_cast<long>(entry->count), entry->object);
    });
}
