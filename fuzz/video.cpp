// Opens the input as an Ogg video from memory without a window (frames convert on the CPU), with
// a sound that only pulls the sound track's packets, and plays its first frames on a clock that
// jumps ahead, with a seek on the way: header parsing, the seek index, the decode thread, the
// frame conversion and the audio read callback.
#include <cstddef>
#include <cstdint>

#include "ZSoundBase.h"
#include "ZVideo.h"

namespace {

// A sound stream without a device: the caller pulls its packets.
class PullSound : public ZSoundBase {
public:
    bool loadSample(const char*, int, bool, short) override { return false; }
    void playStream(bool) override {}
    void stopStream() override {}
    bool initStream(long channels, long bits, long rate, ZSoundStreamStartCallback,
                    ZSoundStreamReadCallback read, void* user, long packetBytes) override {
        if (channels < 1 || channels > 2 || bits != 16 || rate < 1 || packetBytes <= 0)
            __builtin_trap();
        m_read = read;
        m_user = user;
        return true;
    }
    void pause(bool) override {}
    void haltStream() override { m_read = nullptr; }

    void pull() {
        if (!m_read) return;
        unsigned long written = m_read(m_user, m_packet, sizeof(m_packet));
        if (written > sizeof(m_packet)) __builtin_trap();
    }

private:
    ZSoundStreamReadCallback m_read = nullptr;
    void* m_user = nullptr;
    unsigned char m_packet[8192];
};

struct Clock {
    int64_t now = 0;
    static int64_t read(void* user) { return static_cast<Clock*>(user)->now; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PullSound sound;
    Clock clock;
    ZVideo video;
    video.setClockSource(Clock::read, &clock);
    if (!video.openVideoFromPointer(data, size, 0, nullptr, &sound, false, true)) return 0;
    for (int step = 0; step < 10 && !video.isEndReached(); step++) {
        clock.now += 150;
        video.readFrame();
        sound.pull();
        if (video.getShownPixels() && (video.getFrameWidth() < 1 || video.getFrameHeight() < 1))
            __builtin_trap();
        if (step == 4) video.seekToFrame(1);
    }
    video.closeVideo();
    return 0;
}
