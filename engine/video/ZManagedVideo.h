#pragma once

#include "ZManagedEntry.h"
#include "ZSound.h"
#include "ZVideo.h"

// An entry of the video cache: an open video under its lower-cased name, with the alpha video
// and the sound stream made for it (all owned by the entry's cache).
class ZManagedVideo : public ZManagedEntry<ZVideo> {
public:
    ZVideo* alpha = nullptr;
    ZSound* sound = nullptr;
};
