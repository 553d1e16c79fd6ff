#pragma once

#include <cstdint>

#include "ZObjectListable.h"

class ZSound;

// A sound file loaded whole on a streamer thread and started on the main thread after its delay.
// The list of these is shared with the streamer threads and touched only under the player's lock.
class CStreamedSound : public ZObjectListable {
public:
    ~CStreamedSound() override;

    // Milliseconds still to wait; -1 once started.
    double delay = 0;
    // The file's bytes until the sample is made from them (delete[]).
    unsigned char* data = nullptr;
    unsigned long size = 0;
    ZSound* sound = nullptr;
    int64_t volume = 0;
    // A channel number of the caller's choosing.
    int64_t index = 0;
    int64_t settingIndex = 0;
};
