#pragma once

#include <atomic>
#include <cstdint>

#include "ZMp3Decoder.h"

class ZSysThread;

// The background music: one MP3 file at a time, read whole into memory and decoded with
// libmpg123 into an OpenAL stream of its own (its own voice, buffers and refill thread) on the
// device and context of ZSound. Its volume is its own: the global volumes and the suspension of
// ZSound leave it alone. Main thread only; without a sound device nothing plays.
class ZBackgroundMusic {
public:
    // Replaces the current music by the file at path, at volume 0 to 100, looping forever or
    // playing once. False (and no music) when the file cannot be read or decoded.
    static bool play(const char* path, long volume, bool loop);
    static void setVolume(long volume);
    static void stop();
    // Music is loaded and has not played to its end.
    static bool isPlaying();

    static constexpr int kBufferCount = 4;
    static constexpr unsigned long kBufferBytes = 16384;

private:
    ZBackgroundMusic() = default;
    ~ZBackgroundMusic();
    bool start(unsigned char* data, unsigned long size, long volume, bool loop);
    // Decodes the next buffer's PCM into the packet and hands it to buffer; false at the end.
    bool fill(uint32_t buffer);
    void update();
    static void threadMain(void* music, long parameter);

    unsigned char* m_lpData = nullptr;
    ZMp3Decoder m_decoder;
    unsigned char* m_lpPacket = nullptr;
    bool m_bLoop = false;
    bool m_bEnded = false;
    long m_nFormat = 0;
    uint32_t m_source = 0;
    uint32_t m_buffers[kBufferCount] = {};
    bool m_bHasSource = false;
    bool m_bHasBuffers = false;
    ZSysThread* m_lpThread = nullptr;
    std::atomic<bool> m_bQuit{false};
    std::atomic<bool> m_bFinished{false};
};
