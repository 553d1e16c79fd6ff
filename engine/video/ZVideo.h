#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>

#include "ZResource.h"
#include "ZSysLock.h"
#include "ZVideoAudioSlot.h"
#include "ZVideoBase.h"
#include "ZVideoClock.h"
#include "ZVideoFrameConverter.h"
#include "ZVideoFrameSlot.h"

class ZPixelShader;
class ZSysThread;
struct ZVideoCodecState;

// Milliseconds of the time a video plays by (ZMiscTools::getMilliseconds unless set).
typedef int64_t (*ZVideoClockSource)(void* user);

// An Ogg file with a Theora picture, a Vorbis sound track, or both. Each open video has a decode
// thread that fills eight frame slots and eight audio packets; readFrame, on the main thread,
// starts the sound once two packets wait, shows the front frame when the clock reaches it and
// uploads it into the video's graphic. The sound track plays through a sound stream that pulls
// the packets (getAudioStreamPacket, on the stream thread) and whose position then drives the
// clock. A second video may be this one's alpha channel: its picture, read as grey levels
// through a 256-entry table, becomes the alpha of this one's frames.
//
// The decode thread owns the codec state: rewinds and seeks asked for on the main thread are
// carried out by it, and frames decoded before one are thrown away.
class ZVideo : public ZVideoBase {
public:
    static constexpr int kSlots = 8;
    static constexpr long kBlockSize = 4096;
    // Largest picture side and area that a video may have.
    static constexpr long kMaxSide = 4096;
    static constexpr long kMaxArea = 4096L * 2304L;

    ZVideo();
    ~ZVideo() override;
    ZVideo(const ZVideo&) = delete;
    ZVideo& operator=(const ZVideo&) = delete;

    bool openVideo(const char* name, bool preload, ZVideo* alpha, ZSoundBase* sound, bool loop,
                   bool buildSeekIndex, long format) override;
    float getFrameWidth() override;
    float getFrameHeight() override;
    ZGraphic* getZGraphic() override { return m_lpGraphic; }
    void readFrame() override;
    bool isEndReached() override { return m_bEnded.load(); }
    bool isVideoAvailable() override { return m_bFrameShown; }
    void rewind() override;
    void pauseTime() override;
    void resumeTime() override;
    bool isVideoPaused() override;
    double getTime() override;
    double getTotalTime() override { return m_fTotalTime < 0 ? 0 : m_fTotalTime; }
    void seekToTime(double seconds) override;
    uint64_t getFrame() override { return m_nCurrentFrame; }
    uint64_t getTotalFrames() override { return m_nTotalFrames; }
    void seekToFrame(unsigned long frame) override;
    ZSoundBase* getSoundStream() override { return m_lpSound; }

    // The data is copied; the name is "buffer". Format 0 only.
    bool openVideoFromPointer(const unsigned char* data, unsigned long size, long format,
                              ZVideo* alpha, ZSoundBase* sound, bool loop, bool buildSeekIndex);
    void closeVideo();
    // 0 for ".ogv" or ".ogg" (any case), -1 otherwise.
    static long detectFormat(const char* name);
    // Alpha of a grey level g: (g - 128) * scale + 128 + offset.
    void setAlphaMapping(float scale, float offset);
    int64_t getDecodedFrames() const { return m_nDecodedFrames.load(); }
    int64_t getDroppedFrames() const { return m_nDroppedFrames.load(); }

    static void enablePixelShader(bool enable);
    static ZPixelShader* getPixelShader();
    // Closes every video.
    static void cleanup();
    // The sound stream's read callback: fills buffer with up to bytes of the sound track.
    static unsigned long getAudioStreamPacket(void* user, unsigned char* buffer,
                                              unsigned long bytes);

    // The time source of this video's clock, for tools and tests that drive a video at their own
    // pace; null goes back to the monotonic clock.
    void setClockSource(ZVideoClockSource source, void* user);

    // State, for the engine's callers and tests.
    bool isOpened() const { return m_bOpened; }
    bool hasPicture() const { return m_nTheoraHeaders > 0; }
    bool hasSound() const { return m_nVorbisHeaders > 0; }
    bool isAlpha() const { return m_bIsAlpha; }
    ZVideo* getAlphaVideo() const { return m_lpAlphaVideo; }
    const char* getName() const { return m_szName; }
    // Values of 16 bits per audio packet.
    int64_t getAudioPacketSize() const { return m_nAudioPacketSize; }
    long getPostProcessingLevel() const { return m_nPostProcessingLevel.load(); }
    // The frame's pixels as the last readFrame left them (width x height words, bytes R, G, B,
    // A, or U, V, Y, A through the pixel shader); null before a frame was shown.
    const uint32_t* getShownPixels() const { return m_bFrameShown ? m_lpShownPixels : nullptr; }
    const std::map<double, unsigned long>& getTimeIndex() const { return m_timeIndex; }
    const std::map<unsigned long, unsigned long>& getFrameIndex() const { return m_frameIndex; }
    const uint32_t* getAlphaTable() const { return m_lpAlphaTable; }
    // An audio packet's size in 16-bit values for a track of channels and rate beside a
    // picture of fpsNumerator / fpsDenominator frames a second (no picture: fpsNumerator 0).
    static int64_t audioPacketSize(long channels, long rate, uint32_t fpsNumerator,
                                   uint32_t fpsDenominator);

private:
    static void decodeThreadMain(void* user, long parameter);

    bool openStreams(bool buildSeekIndex, bool fromMemory);
    bool readHeaders(bool withSound);
    void buildSeekIndex();
    void allocateSlots();
    void dropSoundTrack();
    void freeCodecState();
    void resetSlotLists();
    void buildAlphaTable();
    int64_t nowMilliseconds();
    double internalTime();
    double loopLength();
    long readData();
    void queuePage();
    // Queues every complete page the sync state holds; whether there was one.
    bool queuePages();
    bool decodeFrame(int frameSlot, int audioSlot);
    bool handleRequests(int64_t& generation, int64_t& audioFilled);
    void restartStreams(int64_t offset);
    void rewindStreams();
    void writeFrame(int slot);
    bool appendFrame(int slot, double time, uint64_t frame, int64_t generation);
    void appendAudio(int slot, int64_t bytes, int64_t generation);
    bool takeDueFrame(double now, bool seekShown, int& slot);
    void showFrame(int slot);
    void resetAfterJump();

    ZSysThread* m_lpDecodeThread = nullptr;
    ZSysLock m_queueLock;
    std::atomic<bool> m_bQuit{false};
    std::atomic<double> m_fNow{0};
    uint64_t m_nCurrentFrame = 0;
    ZSoundBase* m_lpSound = nullptr;
    bool m_bSoundStarted = false;
    ZResource m_file;
    bool m_bFileOpen = false;
    unsigned char* m_lpData = nullptr;
    uint64_t m_nDataSize = 0;
    uint64_t m_nDataPosition = 0;
    // Byte offset of the next block read (the file's or the data's).
    uint64_t m_nReadOffset = 0;
    ZVideo* m_lpAlphaVideo = nullptr;
    bool m_bIsAlpha = false;
    std::atomic<bool> m_bLoop{false};
    bool m_bOpened = false;
    bool m_bVideoNeedsData = true;
    bool m_bAudioNeedsData = true;
    std::atomic<bool> m_bEndOfData{false};
    // -1 none; -2 a seek was carried out and the next frame shows at once; else the offset to
    // seek to.
    int64_t m_nSeekTarget = -1;
    bool m_bRewindRequested = false;
    // Raised by every rewind and seek: frames and packets of an older one are not shown.
    int64_t m_nGeneration = 0;
    std::atomic<bool> m_bEnded{false};
    bool m_bFrameShown = false;
    ZGraphic* m_lpGraphic = nullptr;
    ZVideoClock m_clock;
    ZVideoClockSource m_lpClockSource = nullptr;
    void* m_lpClockUser = nullptr;
    ZVideoCodecState* m_lpCodec = nullptr;
    int64_t m_nTheoraHeaders = 0;
    int64_t m_nVorbisHeaders = 0;
    int m_nGranuleShift = 0;
    int m_nMaxPostProcessingLevel = 0;
    std::atomic<long> m_nPostProcessingLevel{0};
    int m_nPendingPostProcessingChange = 0;
    std::atomic<int64_t> m_nShownEpoch{0};
    int64_t m_nCurrentEpoch = 0;
    std::atomic<double> m_fLargestFrameTime{0};
    // The decoder has wrapped once: the largest frame time is the video's length.
    std::atomic<bool> m_bDecodedThrough{false};
    int64_t m_nAudioBytesProduced = 0;
    double m_fTotalTime = -1;
    uint64_t m_nTotalFrames = 0;
    std::deque<int> m_readyFrames, m_freeFrames;
    std::map<double, unsigned long> m_timeIndex;
    std::map<unsigned long, unsigned long> m_frameIndex;
    float m_fAlphaScale = 1.0f;
    float m_fAlphaOffset = 0.0f;
    uint32_t* m_lpAlphaTable = nullptr;
    ZVideoFrameSlot m_frames[kSlots];
    // Frame width and height of the picture; the pixel buffers' rows are width pixels.
    long m_nFrameWidth = 0;
    long m_nFrameHeight = 0;
    double m_fFramesPerSecond = 0;
    uint32_t* m_lpShownPixels = nullptr;
    std::atomic<int64_t> m_nDecodedFrames{0};
    std::atomic<int64_t> m_nDroppedFrames{0};
    std::deque<int> m_readyAudio, m_freeAudio;
    int64_t m_nAudioPacketSize = 0;
    ZVideoAudioSlot m_audio[kSlots];
    long m_nChannels = 0;
    long m_nRate = 0;
    std::atomic<double> m_fAudioOffset{0};
    std::atomic<bool> m_bTimeValid{false};
    double m_fSeekOffset = 0;
    // Frames are stored as U, V, Y, A for the pixel shader (decided at open).
    bool m_bShaderFormat = false;
    ZVideoFrameConverter m_converter;
    // The decode thread's copy of the alpha table.
    uint32_t m_decoderAlphaTable[256];
    char m_szName[260];
};

// Registers newZVideo as ZCore's video factory.
void ZVideo_register();
ZVideoBase* newZVideo();
