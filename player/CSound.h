#pragma once

#include <cstdint>

#include "ZObjectListable.h"

class ZSound;

// A sound effect of the player: one sample shared by reference counts, identified by its name
// (without case) and its loop flag together.
class CSound : public ZObjectListable {
public:
    ~CSound() override;

    char name[260] = {};
    bool loop = false;
    // Both are recorded at the first play: the setting the volume follows and the caller's volume.
    int64_t settingIndex = -1;
    int64_t volume = 0;
    int64_t referenceCount = 0;
    ZSound* sound = nullptr;
};
