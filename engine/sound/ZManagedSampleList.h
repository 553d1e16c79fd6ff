#pragma once

#include "ZManagedList.h"
#include "ZManagedSample.h"
#include "ZSound.h"

// The cache of samples shared by name, on the common cache design. Loading reads and decodes the
// file under the cache's lock. A name ending in ".ogg" or ".wav" whose file is missing or cannot
// be loaded is tried once more with the other of the two extensions, and cached under the name
// asked for.
class ZManagedSampleList : public ZManagedList<ZManagedSample> {
public:
    typedef void (*ForEachCallback)(void* user, const char* name, long count, ZSound* sound);

    ZManagedSampleList();
    ~ZManagedSampleList() override;

    // The cached sample of the name (count + 1), or the file loaded into a new sound from
    // ZCore's factory (count 1); null on failure.
    ZSound* loadSampleInternal(const char* name, long volume, bool loop, long voices);
    ZSound* getSampleByName(const char* name);
    void unloadSampleByRef(ZSound* sound);
    void unloadSampleByName(const char* name);
    void forEach(ForEachCallback callback, void* user);
};
