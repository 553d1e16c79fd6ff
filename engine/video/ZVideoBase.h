#pragma once

#include <cstdint>

#include "ZObjectListable.h"

class ZGraphic;
class ZSoundBase;
class ZVideo;

// The engine's abstract video: an Ogg file whose picture plays into a graphic, with its sound
// track on a sound stream. Made through ZCore::createZVideo.
class ZVideoBase : public ZObjectListable {
public:
    ~ZVideoBase() override = default;

    // format -1 takes it from the name (".ogv" or ".ogg"); 0 is Ogg. alpha (not owned) becomes
    // this video's alpha channel; sound (not owned) plays the sound track.
    virtual bool openVideo(const char* name, bool preload, ZVideo* alpha, ZSoundBase* sound,
                           bool loop, bool buildSeekIndex, long format) = 0;
    virtual float getFrameWidth() = 0;
    virtual float getFrameHeight() = 0;
    virtual ZGraphic* getZGraphic() = 0;
    // The main thread's step, once per frame: shows the frame that is due.
    virtual void readFrame() = 0;
    virtual bool isEndReached() = 0;
    virtual bool isVideoAvailable() = 0;
    virtual void rewind() = 0;
    virtual void pauseTime() = 0;
    virtual void resumeTime() = 0;
    virtual bool isVideoPaused() = 0;
    // Seconds.
    virtual double getTime() = 0;
    virtual double getTotalTime() = 0;
    virtual void seekToTime(double seconds) = 0;
    virtual uint64_t getFrame() = 0;
    virtual uint64_t getTotalFrames() = 0;
    virtual void seekToFrame(unsigned long frame) = 0;
    virtual ZSoundBase* getSoundStream() = 0;
};
