#pragma once

#include "ZObjectHashableLong.h"

typedef void (*ZSoundStreamStartCallback)(void* user);
// Writes up to bytes bytes of PCM into buffer and returns how many it wrote (0: no more).
typedef unsigned long (*ZSoundStreamReadCallback)(void* user, unsigned char* buffer,
                                                  unsigned long bytes);

// The engine's abstract sound: a sample played on voices, or a stream refilled by the stream
// thread. Made through ZCore::createZSound; listable, so that every sound sits in one list.
class ZSoundBase : public ZObjectHashableLong {
public:
    ~ZSoundBase() override = default;

    virtual bool loadSample(const char* name, int volume, bool loop, short voices) = 0;
    virtual void playStream(bool loop) = 0;
    // Stops and rewinds a stream; nothing while sound is suspended.
    virtual void stopStream() = 0;
    // A stream fed by read (on the stream thread), which start (when given) restarts.
    virtual bool initStream(long channels, long bits, long rate, ZSoundStreamStartCallback start,
                            ZSoundStreamReadCallback read, void* user, long packetBytes) = 0;
    virtual void pause(bool pause) = 0;
    // Stops and rewinds a stream even while sound is suspended: for owners that are about to
    // free what it plays or reads from (a closing video).
    virtual void haltStream() = 0;
};
