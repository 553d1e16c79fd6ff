#pragma once

#include "ZManagedList.h"
#include "ZManagedVideo.h"

// The cache of videos shared by name, on the common cache design. A video is opened preloaded
// and paused (its user resumes it); a name ending in ".ogv" or ".ogg" looks for its alpha video
// beside it ("_a.ogv" or "_a.ogg" in place of the extension) unless an alpha name is given, and
// plays without one when that cannot be opened. Deleting an entry deletes its video, then the
// alpha video, then the sound.
class ZManagedVideoList : public ZManagedList<ZManagedVideo> {
public:
    typedef void (*ForEachCallback)(void* user, const char* name, long count, ZVideo* video);

    ZManagedVideoList();
    ~ZManagedVideoList() override;

    // The cached video of the name (count + 1), or the file opened into a new video from ZCore's
    // factory (count 1); with withSound its sound track plays through a new sound from ZCore's
    // factory. Null on failure.
    ZVideo* loadVideoInternal(const char* name, bool loop, bool withSound, bool buildSeekIndex,
                              const char* alphaName, long format);
    ZVideo* getVideoByName(const char* name);
    void unloadVideoByRef(ZVideo* video);
    void unloadVideoByName(const char* name);
    void forEach(ForEachCallback callback, void* user);

protected:
    void destroyEntry(ZManagedVideo* entry) override;
};
