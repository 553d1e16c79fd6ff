#pragma once

#include <cstdint>

#include "ZObjectListable.h"

class ZSound;

// An ambient sound of the player: a looping sample shared by reference counts; one of them plays
// at a time.
class CAmbientSound : public ZObjectListable {
public:
    ~CAmbientSound() override;

    char name[260] = {};
    int64_t settingIndex = -1;
    int64_t referenceCount = 0;
    ZSound* sound = nullptr;
};
