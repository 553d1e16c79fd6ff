#include "ZManagedVideoList.h"

#include <cstring>

#include "ZCore.h"

namespace {

// The video a factory made, or null (deleting anything else it made).
template <class Made, class Base>
Made* madeAs(Base* made) {
    Made* object = dynamic_cast<Made*>(made);
    if (!object) delete made;
    return object;
}

}  // namespace

ZManagedVideoList::ZManagedVideoList() {}

ZManagedVideoList::~ZManagedVideoList() {}

ZVideo* ZManagedVideoList::loadVideoInternal(const char* name, bool loop, bool withSound,
                                             bool buildSeekIndex, const char* alphaName,
                                             long format) {
    char key[kNameSize];
    char path[kNameSize];
    if (!makeLoadKey(name, key) || !composeFilePath(name, path)) return nullptr;

    LockScope lock(m_lock);
    if (ZManagedVideo* entry = findKey(key)) {
        entry->count++;
        return entry->object;
    }
    ZSound* sound = withSound ? madeAs<ZSound>(ZCore::createZSound()) : nullptr;

    ZVideo* alpha = nullptr;
    const char* dot = strrchr(key, '.');
    if (dot && (strcmp(dot, ".ogv") == 0 || strcmp(dot, ".ogg") == 0)) {
        char alphaPath[kNameSize];
        bool havePath = false;
        if (alphaName) {
            havePath = composeFilePath(alphaName, alphaPath);
        } else {
            // The path ends in the key's extension, in the name's case.
            size_t stem = strlen(path) - 4;
            if (stem + 6 < static_cast<size_t>(kNameSize)) {
                memcpy(alphaPath, path, stem);
                strcpy(alphaPath + stem, strcmp(dot, ".ogv") == 0 ? "_a.ogv" : "_a.ogg");
                havePath = true;
            }
        }
        if (havePath) {
            alpha = madeAs<ZVideo>(ZCore::createZVideo());
            if (alpha && !alpha->openVideo(alphaPath, true, nullptr, nullptr, loop, buildSeekIndex,
                                           format)) {
                delete alpha;
                alpha = nullptr;
            }
        }
    }

    ZVideo* video = madeAs<ZVideo>(ZCore::createZVideo());
    if (!video) {
        delete alpha;
        delete sound;
        return nullptr;
    }
    if (!video->openVideo(path, true, alpha, sound, loop, buildSeekIndex, format)) {
        delete video;
        delete alpha;
        delete sound;
        return nullptr;
    }
    // Cached videos start paused: the user resumes them.
    video->pauseTime();
    ZManagedVideo* entry = new ZManagedVideo();
    memcpy(entry->name, key, strlen(key) + 1);
    entry->count = 1;
    entry->object = video;
    entry->alpha = alpha;
    entry->sound = sound;
    addEntry(entry);
    return video;
}

ZVideo* ZManagedVideoList::getVideoByName(const char* name) {
    return getObjectByName(name);
}

void ZManagedVideoList::unloadVideoByRef(ZVideo* video) {
    unloadObject(video);
}

void ZManagedVideoList::unloadVideoByName(const char* name) {
    unloadName(name);
}

void ZManagedVideoList::forEach(ForEachCallback callback, void* user) {
    if (!callback) return;
    forEachEntry([callback, user](ZManagedVideo* entry) {
        callback(user, entry->name, static_cast<long>(entry->count), entry->object);
    });
}

void ZManagedVideoList::destroyEntry(ZManagedVideo* entry) {
    // The video first: closing it stops its sound and its decode thread.
    delete entry->object;
    entry->object = nullptr;
    delete entry->alpha;
    entry->alpha = nullptr;
    delete entry->sound;
    entry->sound = nullptr;
    delete entry;
}
