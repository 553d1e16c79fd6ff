#pragma once

#include <atomic>
#include <cstdint>

#include "ZSoundBase.h"
#include "ZSoundGrowableArray.h"
#include "ZSoundMemorySource.h"

struct OggVorbis_File;

// The engine's sound on OpenAL: a sample (a whole file decoded into one buffer, played on up to
// 16 voices) or a stream (Ogg Vorbis data in memory, or PCM from a read callback, produced
// packet by packet into two queued buffers on one voice and refilled by the one stream thread).
// Two global volumes, for streams and for samples, scale every gain.
//
// Every sound sits in one of two lists: the playing streams, which the stream thread walks every
// 20 ms under the stream lock, and all other sounds. Public operations are for the main thread;
// a custom stream's read callback runs on the stream thread, under the stream lock.
//
// Without a sound device (logged once) samples load silently and report success, streams fail
// to load, and nothing plays.
class ZSound : public ZSoundBase {
public:
    static constexpr int kMaxVoices = 16;
    static constexpr int64_t kDefaultPacketSize = 32768;
    // The OpenAL name of a voice or buffer that does not exist.
    static constexpr uint32_t kNoName = 0xFFFFFFFFu;

    ZSound();
    ~ZSound() override;
    ZSound(const ZSound&) = delete;
    ZSound& operator=(const ZSound&) = delete;

    // A whole file as a sample: 0 to 16 voices, volume 0 to 100.
    bool loadSample(const char* name, int volume, bool loop, short voices) override;
    void playStream(bool loop) override;
    void stopStream() override;
    // channels 1 or 2, bits 8 or 16; packetBytes of PCM per packet (whole frames are used).
    bool initStream(long channels, long bits, long rate, ZSoundStreamStartCallback start,
                    ZSoundStreamReadCallback read, void* user, long packetBytes) override;
    void pause(bool pause) override;
    void haltStream() override;

    // An Ogg Vorbis file as a stream, read whole into memory.
    bool loadStream(const char* name);
    // The same from memory: the data is copied.
    bool loadStreamFromPtr(const char* data, unsigned long size);
    // The same on data that the caller keeps alive as long as the stream.
    bool loadStreamFromPtrInternal(const char* data, unsigned long size);
    // format: 0 WAV, 1 Ogg Vorbis, 2 CAF or AIFF (see detectFormat).
    bool loadSampleFromPtr(const char* data, unsigned long size, long format, int volume, bool loop,
                           short voices);
    // 0 ".wav", 1 ".ogg", 2 ".caf", ".aif" or ".aiff" (the last extension, any case); -1 else.
    static long detectFormat(const char* name);

    void setVolume(long volume);
    void setPitch(float pitch);
    // Plays on the first voice that is not playing, else restarts voice 0. overrideLoop takes
    // loop instead of the loop flag given at load.
    void playSample(bool overrideLoop, bool loop);
    void stopSample();
    bool isPlaying();
    // Seconds of PCM produced since the stream (re)started.
    double getStreamTime();
    // Whether a looping stream wrapped since the last call.
    bool hasStreamLooped();
    static float volumeToGain(long volume);

    // Global volumes of streams and samples (not clamped; the gain rule clamps).
    static void setGlobalVolumes(int streamVolume, int sampleVolume);
    // Pause everything that plays when the application loses focus, and undo exactly that.
    static void suspend();
    static void resume();
    // Ends the stream thread, stops the background music, frees every sound (the objects stay)
    // and closes OpenAL.
    static void cleanup();
    static void initializeSound();
    static void cleanupSound();
    // Opens OpenAL when needed; whether there is a device to play on.
    static bool isSoundDeviceAvailable();
    // Samples refuse to play while disabled.
    static void disableSounds(bool disable);

    // The decoders on the sound's memory source.
    bool openWav(const char* data, unsigned long size);
    bool readWav(ZSoundGrowableArray& pcm);
    void closeWav();
    bool openOgg(const char* data, unsigned long size);
    bool readOgg(ZSoundGrowableArray& pcm);
    void closeOgg();
    // A whole Ogg Vorbis file in memory decoded as the sample path decodes it, without a sound
    // object or a device.
    static bool decodeOgg(const unsigned char* data, uint64_t size, long& format, long& rate,
                          ZSoundGrowableArray& pcm);

    // State, for the engine's callers and tests.
    bool isLoaded() const { return m_bLoaded.load(); }
    bool isStream() const { return m_bIsStream.load(); }
    bool isStreamPlaying() const { return m_bStreamPlaying.load(); }
    bool isPaused() const { return m_bPaused.load(); }
    long getVoiceCount() const { return static_cast<long>(m_nVoiceCount); }
    uint32_t getVoiceName(long voice) const;
    uint32_t getBufferName(long buffer) const;
    long getFormat() const { return m_nFormat; }
    long getRate() const { return static_cast<long>(m_nRate); }
    long getVolume() const { return static_cast<long>(m_nVolume.load()); }
    int64_t getPacketSize() const { return m_nPacketSize; }
    // The gain that the gain rule gives this sound now.
    float currentGain() const;
    // Number of streams in the playing list.
    static long getPlayingStreamCount();
    // Number of sound objects alive, in either list.
    static long getSoundCount();

private:
    static void openOpenAL();
    static void streamThreadMain(void* user, long parameter);
    static void startStreamThread();

    void freeSound();
    bool setupStream();
    bool streamPacket(uint32_t buffer);
    void updateStream();
    void applyGain();
    void pauseVoices(bool pause);
    void rewindOgg();
    bool openOggFile();
    void closeOggFile();
    long frameBytes() const;

    int64_t m_nPacketSize = kDefaultPacketSize;
    OggVorbis_File* m_lpOggFile = nullptr;
    bool m_bOggOpen = false;
    long m_nFormat = 0;
    int64_t m_nRate = 0;
    uint32_t m_buffers[2];
    uint32_t m_voices[kMaxVoices];
    bool m_voicePaused[kMaxVoices];
    std::atomic<bool> m_bLoaded{false};
    std::atomic<bool> m_bPaused{false};
    bool m_bSuspendPaused = false;
    bool m_bDefaultLoop = false;
    bool m_bCurrentLoop = false;
    std::atomic<int64_t> m_nVolume{100};
    float m_fPitch = 1.0f;
    bool m_bPitchSet = false;
    int64_t m_nVoiceCount = 0;
    std::atomic<bool> m_bIsStream{false};
    std::atomic<bool> m_bStreamPlaying{false};
    std::atomic<bool> m_bStreamLoop{false};
    // A non-looping stream has produced its last packet and stops once it has played.
    std::atomic<bool> m_bStreamEnded{false};
    std::atomic<bool> m_bLooped{false};
    std::atomic<double> m_fStreamTime{0.0};
    ZSoundMemorySource m_memory;
    unsigned char* m_lpOwnedData = nullptr;
    unsigned char* m_lpPacket = nullptr;
    ZSoundStreamStartCallback m_lpStart = nullptr;
    ZSoundStreamReadCallback m_lpRead = nullptr;
    void* m_lpUser = nullptr;
};

// Registers newZSound as ZCore's sound factory.
void ZSound_register();
ZSoundBase* newZSound();
