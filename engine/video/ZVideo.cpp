#include "ZVideo.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "ZCore.h"
#include "ZGraphic.h"
#include "ZList.h"
#include "ZMiscTools.h"
#include "ZPixelShader.h"
#include "ZSoundBase.h"
#include "ZSysThread.h"
#include "ZVideoCodecState.h"

namespace {

// Process-wide video state: plain pointers, so that nothing here is destroyed at exit before a
// video that outlives it.
ZPixelShader* g_lpYUVShader = nullptr;
bool g_bShaderMessageLogged = false;
bool g_bEnablePixelShader = false;

ZList<ZVideo>& videoList() {
    static ZList<ZVideo>* list = new ZList<ZVideo>();
    return *list;
}

// The fragment program of the YUV pixel format: texels hold U, V, Y, A.
const char kYUVProgram[] =
    "!!ARBfp1.0\n"
    "TEMP yuv, rgb;\n"
    "TEX yuv, fragment.texcoord[0], texture[0], 2D;\n"
    "SUB yuv.z, yuv.z, 0.0625;\n"
    "MUL yuv.z, yuv.z, 1.1643;\n"
    "SUB yuv.xy, yuv, 0.5;\n"
    "MAD rgb.x, yuv.y, 1.5958, yuv.z;\n"
    "MAD rgb.y, yuv.x, -0.39173001, yuv.z;\n"
    "MAD rgb.y, yuv.y, -0.81290001, rgb.y;\n"
    "MAD rgb.z, yuv.x, 2.017, yuv.z;\n"
    "MOV rgb.w, yuv.w;\n"
    "MUL result.color, rgb, fragment.color;\n"
    "END\n";

class Lock {
public:
    explicit Lock(ZSysLock& lock) : m_lock(lock) { m_lock.acquire(); }
    ~Lock() { m_lock.release(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    ZSysLock& m_lock;
};

bool usesPixelShader() {
    return g_lpYUVShader && g_bEnablePixelShader;
}

int16_t toSample(float value) {
    float scaled = value * 32767.0f + 0.5f;
    if (!(scaled > -32768.0f)) return -32768;
    if (scaled > 32767.0f) return 32767;
    return static_cast<int16_t>(static_cast<int32_t>(scaled));
}

}  // namespace

// ---- Life of a video ----

ZVideo::ZVideo() {
    m_szName[0] = 0;
    m_lpCodec = new ZVideoCodecState();
    bool first = videoList().count == 0;
    videoList().addToTail(this);
    if (!g_lpYUVShader && first && ZCore::getRenderer() == eRendererOpenGL) {
        g_lpYUVShader = ZCore::createZPixelShader();
        if (g_lpYUVShader &&
            !g_lpYUVShader->loadPixelShaderFromPtr(kYUVProgram, sizeof(kYUVProgram) - 1)) {
            delete g_lpYUVShader;
            g_lpYUVShader = nullptr;
        }
        if (g_lpYUVShader && !g_bShaderMessageLogged) {
            ZCore::logMessage("ZVideo: YUV to RGB pixel shader is supported");
            g_bShaderMessageLogged = true;
        }
    }
}

ZVideo::~ZVideo() {
    closeVideo();
    videoList().remove(this);
    delete m_lpCodec;
    if (videoList().count == 0) {
        delete g_lpYUVShader;
        g_lpYUVShader = nullptr;
    }
}

long ZVideo::detectFormat(const char* name) {
    const char* dot = name ? strrchr(name, '.') : nullptr;
    if (!dot) return -1;
    return strcasecmp(dot, ".ogv") == 0 || strcasecmp(dot, ".ogg") == 0 ? 0 : -1;
}

void ZVideo::enablePixelShader(bool enable) {
    g_bEnablePixelShader = enable;
}

ZPixelShader* ZVideo::getPixelShader() {
    return g_lpYUVShader;
}

void ZVideo::cleanup() {
    for (ZVideo* video : videoList()) video->closeVideo();
}

void ZVideo::setClockSource(ZVideoClockSource source, void* user) {
    Lock lock(m_queueLock);
    m_lpClockSource = source;
    m_lpClockUser = user;
}

int64_t ZVideo::audioPacketSize(long channels, long rate, uint32_t fpsNumerator,
                                uint32_t fpsDenominator) {
    if (channels < 1) return 0;
    if (fpsNumerator == 0) return 16384;
    // In double: a rate below one frame a second must not make a quotient of 0 to divide by.
    double fps = fpsDenominator ? static_cast<double>(fpsNumerator) / fpsDenominator : 0;
    if (!(fps >= 1.0)) fps = 1.0;
    double values = std::floor(static_cast<double>(channels) * 4.0 * rate / std::floor(fps));
    // A packet stays within what a sound stream's packet can say in bytes.
    values = std::min(values, 1048576.0);
    int64_t size = std::max<int64_t>(512, static_cast<int64_t>(values));
    return size - size % channels;
}

void ZVideo::setAlphaMapping(float scale, float offset) {
    // The decode thread copies the table under the lock.
    Lock lock(m_queueLock);
    m_fAlphaScale = scale;
    m_fAlphaOffset = offset;
    if (m_lpAlphaTable) buildAlphaTable();
}

void ZVideo::buildAlphaTable() {
    for (int i = 0; i < 256; i++) {
        float a = (static_cast<float>(i) - 128.0f) * m_fAlphaScale + 128.0f + m_fAlphaOffset;
        long value = std::isnan(a) ? 0 : a < 0 ? 0 : a > 255 ? 255 : static_cast<long>(a);
        m_lpAlphaTable[i] = static_cast<uint32_t>(value) << 24;
    }
}

// ---- Opening ----

bool ZVideo::openVideo(const char* name, bool preload, ZVideo* alpha, ZSoundBase* sound, bool loop,
                       bool buildSeekIndex, long format) {
    closeVideo();
    if (format == -1) format = detectFormat(name);
    if (format != 0 || !name) return false;
    if (alpha == this) alpha = nullptr;

    snprintf(m_szName, sizeof(m_szName), "%s", name);
    if (m_file.open(name, ZResourceModeRead) != 0) return false;
    m_bFileOpen = true;
    if (preload) {
        int size = 0;
        if (m_file.seek(ZResourceWhenceEnd, 0) != 0 || m_file.tell(size) != 0 || size < 0) {
            m_file.close();
            m_bFileOpen = false;
            return false;
        }
        m_file.seek(ZResourceWhenceSet, 0);
        m_lpData = new (std::nothrow) unsigned char[size ? size : 1];
        bool read = m_lpData && (size == 0 || m_file.read(m_lpData, size) == 0);
        m_file.close();
        m_bFileOpen = false;
        if (!read) {
            ZCore::logMessage("ZVideo: %s: couldn't read the file, ERROR", m_szName);
            closeVideo();
            return false;
        }
        m_nDataSize = static_cast<uint64_t>(size);
    }
    m_lpAlphaVideo = alpha;
    m_bLoop = loop;
    m_lpSound = sound;
    return openStreams(buildSeekIndex, false);
}

bool ZVideo::openVideoFromPointer(const unsigned char* data, unsigned long size, long format,
                                  ZVideo* alpha, ZSoundBase* sound, bool loop,
                                  bool buildSeekIndex) {
    closeVideo();
    if (format != 0 || (!data && size)) return false;
    if (alpha == this) alpha = nullptr;
    m_lpData = new (std::nothrow) unsigned char[size ? size : 1];
    if (!m_lpData) return false;
    if (size) memcpy(m_lpData, data, size);
    m_nDataSize = size;
    snprintf(m_szName, sizeof(m_szName), "buffer");
    m_lpAlphaVideo = alpha;
    m_bLoop = loop;
    m_lpSound = sound;
    return openStreams(buildSeekIndex, true);
}

bool ZVideo::openStreams(bool indexWanted, bool fromMemory) {
    ZVideo* alpha = m_lpAlphaVideo;
    m_lpAlphaVideo = nullptr;
    ZSoundBase* sound = m_lpSound;
    m_lpSound = nullptr;
    bool loop = m_bLoop;

    m_bVideoNeedsData = m_bAudioNeedsData = true;
    m_bEndOfData = false;
    m_clock.reset();
    ZVideoCodecState& c = *m_lpCodec;
    if (!readHeaders(sound != nullptr)) {
        closeVideo();
        return false;
    }
    resetSlotLists();
    m_timeIndex.clear();
    m_frameIndex.clear();
    m_nDecodedFrames = m_nDroppedFrames = 0;
    m_nAudioBytesProduced = 0;
    m_fLargestFrameTime = 0;

    if (m_nTheoraHeaders) {
        theora_info& ti = c.theoraInfo;
        long width = static_cast<long>(ti.frame_width), height = static_cast<long>(ti.frame_height);
        // The decoder allocates the encoded frame and this video eight of the shown one: sizes
        // from the file are capped first.
        if (ti.width > static_cast<uint32_t>(kMaxSide) + 16 ||
            ti.height > static_cast<uint32_t>(kMaxSide) + 16 || width < 1 || height < 1 ||
            width > kMaxSide || height > kMaxSide || width * height > kMaxArea ||
            ti.fps_numerator == 0 || ti.fps_denominator == 0) {
            ZCore::logMessage(
                "ZVideo: %s: picture of %ldx%ld (frame %ux%u at %u/%u fps) not "
                "supported, ERROR",
                m_szName, width, height, ti.width, ti.height, ti.fps_numerator, ti.fps_denominator);
            closeVideo();
            return false;
        }
        if (theora_decode_init(&c.theora, &ti) != 0) {
            ZCore::logMessage("ZVideo: %s: error parsing Theora stream headers; corrupt stream?",
                              m_szName);
            closeVideo();
            return false;
        }
        c.theoraReady = true;
        if (ti.pixelformat != OC_PF_420 && ti.pixelformat != OC_PF_422 &&
            ti.pixelformat != OC_PF_444)
            ZCore::logMessage("ZVideo: %s: chroma sampling unknown, WARNING", m_szName);
        if (ti.colorspace >= OC_CS_NSPACES)
            ZCore::logMessage("ZVideo: %s: encoder specified unknown colorspace (%d), WARNING",
                              m_szName, static_cast<int>(ti.colorspace));
        if (fromMemory && (ti.width != ti.frame_width || ti.height != ti.frame_height))
            ZCore::logMessage("ZVideo: %s: frame content is %dx%d with offset (%d,%d).", m_szName,
                              static_cast<int>(ti.frame_width), static_cast<int>(ti.frame_height),
                              static_cast<int>(ti.offset_x), static_cast<int>(ti.offset_y));
        m_nFrameWidth = width;
        m_nFrameHeight = height;
        m_fFramesPerSecond = static_cast<double>(ti.fps_numerator) / ti.fps_denominator;
        int maximum = 0;
        theora_control(&c.theora, TH_DECCTL_GET_PPLEVEL_MAX, &maximum, sizeof(maximum));
        m_nMaxPostProcessingLevel = maximum;
        int level = maximum;
        theora_control(&c.theora, TH_DECCTL_SET_PPLEVEL, &level, sizeof(level));
        m_nPostProcessingLevel = level;
        m_nPendingPostProcessingChange = 0;
    } else {
        c.clearTheora();
        ZCore::logMessage("ZVideo: %s: no video stream found, WARNING", m_szName);
    }

    if (m_nVorbisHeaders) {
        vorbis_info& vi = c.vorbisInfo;
        if (vi.channels < 1 || vi.channels > 2 || vi.rate < 1 ||
            vorbis_synthesis_init(&c.vorbisDsp, &vi) != 0) {
            // A track the sound stream cannot play: the picture plays alone.
            dropSoundTrack();
        } else {
            vorbis_block_init(&c.vorbisDsp, &c.vorbisBlock);
            c.vorbisReady = true;
            m_nChannels = vi.channels;
            m_nRate = vi.rate;
        }
    } else {
        dropSoundTrack();
    }

    if (indexWanted) buildSeekIndex();
    if (!m_nTheoraHeaders && !m_nVorbisHeaders) return true;

    m_bLoop = loop;
    m_bOpened = true;
    m_lpSound = sound;
    m_bSoundStarted = false;

    if (m_nTheoraHeaders) {
        allocateSlots();
        m_lpGraphic = ZCore::createZGraphic();
        if (m_lpGraphic) {
            m_lpGraphic->setTextureQuality(true);
            if (usesPixelShader()) m_lpGraphic->setTextureWrapUsage(true);
        }
    }
    if (m_nVorbisHeaders) {
        m_nAudioPacketSize = m_nTheoraHeaders
                                 ? audioPacketSize(m_nChannels, m_nRate, c.theoraInfo.fps_numerator,
                                                   c.theoraInfo.fps_denominator)
                                 : audioPacketSize(m_nChannels, m_nRate, 0, 1);
        for (ZVideoAudioSlot& slot : m_audio)
            slot.samples = new int16_t[static_cast<size_t>(m_nAudioPacketSize)];
    }

    // The alpha video: the same picture size as this one, or none (its frames are merged pixel
    // for pixel).
    if (alpha && m_nTheoraHeaders) {
        if (alpha->m_nFrameWidth == m_nFrameWidth && alpha->m_nFrameHeight == m_nFrameHeight &&
            alpha->m_bOpened && alpha->m_nTheoraHeaders) {
            {
                Lock alphaLock(alpha->m_queueLock);
                if (!alpha->m_lpAlphaTable) alpha->m_lpAlphaTable = new uint32_t[256];
                alpha->buildAlphaTable();
                alpha->m_bIsAlpha = true;
                alpha->m_bLoop = loop;
            }
            // Its decode thread has run since it was opened: what it made as colours goes.
            alpha->rewind();
            m_lpAlphaVideo = alpha;
        } else {
            ZCore::logMessage(
                "ZVideo: %s: alpha video %s is %ldx%ld, not %ldx%ld; playing "
                "without it, WARNING",
                m_szName, alpha->m_szName, alpha->m_nFrameWidth, alpha->m_nFrameHeight,
                m_nFrameWidth, m_nFrameHeight);
        }
    }

    m_bTimeValid = !(m_nTheoraHeaders && m_nVorbisHeaders);
    m_fAudioOffset = 0;
    m_fSeekOffset = 0;
    m_nSeekTarget = -1;
    m_fNow = getTime();
    m_nCurrentFrame = 0;

    if (m_nVorbisHeaders && m_lpSound &&
        !m_lpSound->initStream(m_nChannels, 16, m_nRate, nullptr, getAudioStreamPacket, this,
                               static_cast<long>(m_nAudioPacketSize * 2))) {
        ZCore::logMessage("ZVideo: %s: the sound track cannot play, WARNING", m_szName);
        dropSoundTrack();
    }
    if (!m_nTheoraHeaders && !m_nVorbisHeaders) {
        // A sound-only file opened without a sound: nothing to play.
        m_bOpened = false;
        return true;
    }

    m_bQuit = false;
    m_lpDecodeThread = new ZSysThread(decodeThreadMain, this, 0, 0);
    return true;
}

bool ZVideo::readHeaders(bool withSound) {
    ZVideoCodecState& c = *m_lpCodec;
    ogg_sync_init(&c.sync);
    c.syncReady = true;
    theora_info_init(&c.theoraInfo);
    theora_comment_init(&c.theoraComment);
    c.theoraHeadersReady = true;
    vorbis_info_init(&c.vorbisInfo);
    vorbis_comment_init(&c.vorbisComment);
    c.vorbisHeadersReady = true;
    m_nTheoraHeaders = m_nVorbisHeaders = 0;
    m_nGranuleShift = 0;
    m_nDataPosition = 0;
    m_nReadOffset = 0;

    // The pages that begin streams come first; the first other page ends them.
    bool beginnings = true, exhausted = false;
    while (beginnings) {
        if (readData() == 0) {
            exhausted = true;
            break;
        }
        while (ogg_sync_pageout(&c.sync, &c.page) > 0) {
            if (!ogg_page_bos(&c.page)) {
                queuePage();
                beginnings = false;
                break;
            }
            ogg_stream_state probe;
            ogg_stream_init(&probe, ogg_page_serialno(&c.page));
            ogg_stream_pagein(&probe, &c.page);
            ogg_packet packet;
            bool kept = false;
            if (ogg_stream_packetout(&probe, &packet) == 1) {
                if (!m_nTheoraHeaders &&
                    theora_decode_header(&c.theoraInfo, &c.theoraComment, &packet) >= 0) {
                    memcpy(&c.theoraStream, &probe, sizeof(probe));
                    c.theoraStreamReady = true;
                    // The identification header's key-frame granule shift (5 bits after the
                    // 6-bit quality at byte 40), which the legacy interface does not report.
                    if (packet.bytes >= 42)
                        m_nGranuleShift = ((packet.packet[40] << 8 | packet.packet[41]) >> 5) & 31;
                    m_nTheoraHeaders = 1;
                    kept = true;
                } else if (withSound && !m_nVorbisHeaders &&
                           vorbis_synthesis_headerin(&c.vorbisInfo, &c.vorbisComment, &packet) >=
                               0) {
                    memcpy(&c.vorbisStream, &probe, sizeof(probe));
                    c.vorbisStreamReady = true;
                    m_nVorbisHeaders = 1;
                    kept = true;
                }
            }
            if (!kept) ogg_stream_clear(&probe);
        }
    }

    while ((m_nTheoraHeaders && m_nTheoraHeaders < 3) ||
           (m_nVorbisHeaders && m_nVorbisHeaders < 3)) {
        int result;
        while (m_nTheoraHeaders && m_nTheoraHeaders < 3 &&
               (result = ogg_stream_packetout(&c.theoraStream, &c.packet)) != 0) {
            if (result < 0 ||
                theora_decode_header(&c.theoraInfo, &c.theoraComment, &c.packet) != 0) {
                ZCore::logMessage(
                    "ZVideo: %s: error parsing Theora stream headers; corrupt stream?", m_szName);
                return false;
            }
            m_nTheoraHeaders++;
        }
        while (m_nVorbisHeaders && m_nVorbisHeaders < 3 &&
               (result = ogg_stream_packetout(&c.vorbisStream, &c.packet)) != 0) {
            if (result < 0 ||
                vorbis_synthesis_headerin(&c.vorbisInfo, &c.vorbisComment, &c.packet) != 0) {
                ZCore::logMessage(
                    "ZVideo: %s: error parsing Vorbis stream headers; corrupt stream?", m_szName);
                return false;
            }
            m_nVorbisHeaders++;
        }
        if ((!m_nTheoraHeaders || m_nTheoraHeaders >= 3) &&
            (!m_nVorbisHeaders || m_nVorbisHeaders >= 3))
            break;
        if (ogg_sync_pageout(&c.sync, &c.page) > 0) {
            queuePage();
        } else if (readData() == 0) {
            ZCore::logMessage("ZVideo: %s: end of file while searching for codec headers, ERROR",
                              m_szName);
            return false;
        }
    }
    if (exhausted && !m_nTheoraHeaders && !m_nVorbisHeaders) {
        ZCore::logMessage("ZVideo: %s: end of file while searching for codec headers, ERROR",
                          m_szName);
        return false;
    }
    return true;
}

void ZVideo::buildSeekIndex() {
    ZVideoCodecState& c = *m_lpCodec;
    if (!m_nTheoraHeaders) return;
    int serial = c.theoraStream.serialno;
    int shift = m_nGranuleShift;
    ogg_int64_t keyMask = shift > 0 && shift < 63 ? (static_cast<ogg_int64_t>(1) << shift) - 1 : 0;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    uint64_t savedPosition = m_nDataPosition, savedOffset = m_nReadOffset;
    if (m_lpData) {
        m_nDataPosition = 0;
    } else if (m_bFileOpen) {
        m_file.seek(ZResourceWhenceSet, 0);
    }
    // Offsets of the pages as they come out of the sync state: a seek lands on the page that
    // carries a key frame, or on the one before it when the key frame's packet begins there.
    uint64_t pageStart = 0, previousStart = 0;
    double largestTime = -1;
    int64_t largestFrame = -1;
    for (;;) {
        char* buffer = ogg_sync_buffer(&sync, kBlockSize);
        long bytes = 0;
        if (m_lpData) {
            uint64_t left = m_nDataSize - m_nDataPosition;
            bytes = static_cast<long>(std::min<uint64_t>(left, kBlockSize));
            memcpy(buffer, m_lpData + m_nDataPosition, static_cast<size_t>(bytes));
            m_nDataPosition += static_cast<uint64_t>(bytes);
        } else if (m_bFileOpen) {
            bytes = static_cast<long>(m_file.readAndCount(buffer, kBlockSize));
        }
        if (bytes <= 0) break;
        ogg_sync_wrote(&sync, bytes);
        ogg_page page;
        long skipped;
        while ((skipped = ogg_sync_pageseek(&sync, &page)) != 0) {
            if (skipped < 0) {
                pageStart += static_cast<uint64_t>(-skipped);
                continue;
            }
            uint64_t start = pageStart;
            pageStart += static_cast<uint64_t>(skipped);
            if (ogg_page_serialno(&page) != serial) continue;
            ogg_int64_t granule = ogg_page_granulepos(&page);
            uint64_t landing = ogg_page_continued(&page) ? previousStart : start;
            previousStart = start;
            if (granule < 0) continue;
            double time = theora_granule_time(&c.theora, granule);
            int64_t frame = theora_granule_frame(&c.theora, granule);
            if (frame < 0 || std::isnan(time)) continue;
            if (time > largestTime) largestTime = time;
            if (frame > largestFrame) largestFrame = frame;
            // Only a key frame decodes on its own: the index takes those pages alone.
            if ((granule & keyMask) != 0) continue;
            m_timeIndex.emplace(time, static_cast<unsigned long>(landing));
            m_frameIndex.emplace(static_cast<unsigned long>(frame),
                                 static_cast<unsigned long>(landing));
        }
    }
    ogg_sync_clear(&sync);
    m_fTotalTime = largestTime;
    m_nTotalFrames = largestFrame >= 0 ? static_cast<uint64_t>(largestFrame) + 1 : 0;
    // Back to where the header search left the data, with the sync state as it was.
    m_nDataPosition = savedPosition;
    m_nReadOffset = savedOffset;
    if (!m_lpData && m_bFileOpen) m_file.seek(ZResourceWhenceSet, static_cast<int>(savedOffset));
}

// The picture plays alone: the sound track's decoder, stream and packets go.
void ZVideo::dropSoundTrack() {
    m_lpCodec->clearVorbis();
    m_nVorbisHeaders = 0;
    for (ZVideoAudioSlot& slot : m_audio) {
        delete[] slot.samples;
        slot.samples = nullptr;
    }
    m_lpSound = nullptr;
    m_bTimeValid = true;
}

void ZVideo::allocateSlots() {
    size_t pixels = static_cast<size_t>(m_nFrameWidth) * static_cast<size_t>(m_nFrameHeight);
    for (ZVideoFrameSlot& slot : m_frames) slot.pixels = new uint32_t[pixels]();
    m_lpShownPixels = new uint32_t[pixels]();
    m_bShaderFormat = usesPixelShader();
}

void ZVideo::resetSlotLists() {
    m_readyFrames.clear();
    m_freeFrames.clear();
    m_readyAudio.clear();
    m_freeAudio.clear();
    for (int i = 0; i < kSlots; i++) {
        m_freeFrames.push_back(i);
        m_freeAudio.push_back(i);
        m_frames[i].time = 0;
        m_frames[i].epoch = 0;
        m_frames[i].frame = 0;
        m_audio[i].bytes = m_audio[i].bytesLeft = 0;
        m_audio[i].firstSample = m_audio[i].epoch = 0;
    }
}

void ZVideo::freeCodecState() {
    m_lpCodec->clearVorbis();
    m_lpCodec->clearTheora();
    if (m_lpCodec->syncReady) ogg_sync_clear(&m_lpCodec->sync);
    *m_lpCodec = ZVideoCodecState();
}

void ZVideo::closeVideo() {
    if (m_lpDecodeThread) {
        m_bQuit = true;
        delete m_lpDecodeThread;
        m_lpDecodeThread = nullptr;
        m_bQuit = false;
    }
    // The stream reads from this video's packets: it stops before they go.
    if (m_lpSound) m_lpSound->haltStream();
    m_lpSound = nullptr;
    Lock lock(m_queueLock);
    delete[] m_lpAlphaTable;
    m_lpAlphaTable = nullptr;
    for (ZVideoAudioSlot& slot : m_audio) {
        delete[] slot.samples;
        slot.samples = nullptr;
    }
    delete m_lpGraphic;
    m_lpGraphic = nullptr;
    for (ZVideoFrameSlot& slot : m_frames) {
        delete[] slot.pixels;
        slot.pixels = nullptr;
    }
    delete[] m_lpShownPixels;
    m_lpShownPixels = nullptr;
    freeCodecState();
    m_timeIndex.clear();
    m_frameIndex.clear();
    if (m_bFileOpen) m_file.close();
    m_bFileOpen = false;
    delete[] m_lpData;
    m_lpData = nullptr;
    m_nDataSize = m_nDataPosition = m_nReadOffset = 0;

    m_nCurrentFrame = 0;
    m_bSoundStarted = false;
    m_lpAlphaVideo = nullptr;
    m_bIsAlpha = m_bOpened = false;
    m_bLoop = false;
    m_bVideoNeedsData = m_bAudioNeedsData = true;
    m_bEndOfData = false;
    m_nSeekTarget = -1;
    m_bRewindRequested = false;
    m_bEnded = false;
    m_bFrameShown = false;
    m_clock.reset();
    m_nTheoraHeaders = m_nVorbisHeaders = 0;
    m_nMaxPostProcessingLevel = 0;
    m_nPostProcessingLevel = 0;
    m_nPendingPostProcessingChange = 0;
    m_nShownEpoch = 0;
    m_nCurrentEpoch = 0;
    m_fLargestFrameTime = 0;
    m_bDecodedThrough = false;
    m_nAudioBytesProduced = 0;
    m_fTotalTime = -1;
    m_nTotalFrames = 0;
    m_readyFrames.clear();
    m_freeFrames.clear();
    m_readyAudio.clear();
    m_freeAudio.clear();
    m_nFrameWidth = m_nFrameHeight = 0;
    m_fFramesPerSecond = 0;
    m_nDecodedFrames = m_nDroppedFrames = 0;
    m_nAudioPacketSize = 0;
    m_nChannels = m_nRate = 0;
    m_fAudioOffset = 0;
    m_bTimeValid = false;
    m_fSeekOffset = 0;
    m_fNow = 0;
}

float ZVideo::getFrameWidth() {
    return m_bOpened ? static_cast<float>(m_nFrameWidth) : 0.0f;
}

float ZVideo::getFrameHeight() {
    return m_bOpened ? static_cast<float>(m_nFrameHeight) : 0.0f;
}

// ---- Reading and demultiplexing (decode thread, or the opening thread before it runs) ----

long ZVideo::readData() {
    ZVideoCodecState& c = *m_lpCodec;
    char* buffer = ogg_sync_buffer(&c.sync, kBlockSize);
    if (!buffer) return 0;
    long bytes = 0;
    if (m_lpData) {
        uint64_t left = m_nDataSize - m_nDataPosition;
        bytes = static_cast<long>(std::min<uint64_t>(left, kBlockSize));
        memcpy(buffer, m_lpData + m_nDataPosition, static_cast<size_t>(bytes));
        m_nDataPosition += static_cast<uint64_t>(bytes);
    } else if (m_bFileOpen) {
        // The last block of a file is short: what it holds still counts.
        bytes = static_cast<long>(m_file.readAndCount(buffer, kBlockSize));
    }
    if (bytes > 0) {
        ogg_sync_wrote(&c.sync, bytes);
        m_nReadOffset += static_cast<uint64_t>(bytes);
    }
    return bytes;
}

void ZVideo::queuePage() {
    ZVideoCodecState& c = *m_lpCodec;
    if (c.theoraStreamReady && ogg_stream_pagein(&c.theoraStream, &c.page) == 0)
        m_bVideoNeedsData = false;
    if (c.vorbisStreamReady && ogg_stream_pagein(&c.vorbisStream, &c.page) == 0)
        m_bAudioNeedsData = false;
}

bool ZVideo::queuePages() {
    bool queued = false;
    int result;
    while ((result = ogg_sync_pageout(&m_lpCodec->sync, &m_lpCodec->page)) != 0) {
        if (result < 0) continue;
        queuePage();
        queued = true;
    }
    return queued;
}

// Under the lock: the demultiplexer and both decoders start over at offset, with nothing
// buffered.
void ZVideo::restartStreams(int64_t offset) {
    ZVideoCodecState& c = *m_lpCodec;
    if (m_lpData) {
        m_nDataPosition = std::min<uint64_t>(static_cast<uint64_t>(offset), m_nDataSize);
    } else if (m_bFileOpen) {
        m_file.seek(ZResourceWhenceSet, static_cast<int>(offset));
    }
    m_nReadOffset = static_cast<uint64_t>(offset);
    ogg_sync_reset(&c.sync);
    if (c.theoraStreamReady) ogg_stream_reset(&c.theoraStream);
    if (c.vorbisStreamReady) ogg_stream_reset(&c.vorbisStream);
    if (c.vorbisReady) vorbis_synthesis_restart(&c.vorbisDsp);
    m_bVideoNeedsData = m_bAudioNeedsData = true;
}

// Under the lock: back to the start of the file.
void ZVideo::rewindStreams() {
    ZVideoCodecState& c = *m_lpCodec;
    restartStreams(0);
    if (c.theoraReady) {
        ogg_int64_t granule = 0;
        theora_control(&c.theora, TH_DECCTL_SET_GRANPOS, &granule, sizeof(granule));
    }
    c.granule = 0;
    m_bEndOfData = false;
    m_nSeekTarget = -1;
    m_bEnded = false;
    m_nAudioBytesProduced = 0;
}

// Carries out a rewind or seek that the main thread asked for; true when one was. generation
// becomes the one in force and a part-filled audio packet is emptied.
bool ZVideo::handleRequests(int64_t& generation, int64_t& audioFilled) {
    Lock lock(m_queueLock);
    bool handled = false;
    if (m_bRewindRequested) {
        m_bRewindRequested = false;
        rewindStreams();
        m_nCurrentEpoch = 0;
        handled = true;
    } else if (m_nSeekTarget >= 0) {
        ZVideoCodecState& c = *m_lpCodec;
        restartStreams(m_nSeekTarget);
        m_nSeekTarget = -2;
        m_nCurrentEpoch = 0;
        m_bEndOfData = false;
        m_nAudioBytesProduced = 0;
        // Up to the first page start.
        ogg_page page;
        for (;;) {
            long skipped = ogg_sync_pageseek(&c.sync, &page);
            if (skipped > 0) {
                m_lpCodec->page = page;
                queuePage();
                break;
            }
            if (skipped == 0 && readData() == 0) break;
        }
        handled = true;
    }
    if (handled || generation != m_nGeneration) {
        generation = m_nGeneration;
        audioFilled = 0;
    }
    return handled;
}

void ZVideo::writeFrame(int slot) {
    ZVideoCodecState& c = *m_lpCodec;
    yuv_buffer yuv;
    if (theora_decode_YUVout(&c.theora, &yuv) != 0) return;
    ZVideoPicture picture;
    picture.y = yuv.y;
    picture.u = yuv.u;
    picture.v = yuv.v;
    picture.yWidth = yuv.y_width;
    picture.yHeight = yuv.y_height;
    picture.yStride = yuv.y_stride;
    picture.uvWidth = yuv.uv_width;
    picture.uvHeight = yuv.uv_height;
    picture.uvStride = yuv.uv_stride;
    picture.offsetX = static_cast<long>(c.theoraInfo.offset_x);
    picture.offsetY = static_cast<long>(c.theoraInfo.offset_y);
    picture.width = m_nFrameWidth;
    picture.height = m_nFrameHeight;
    uint32_t* out = m_frames[slot].pixels;
    bool isAlpha;
    {
        Lock lock(m_queueLock);
        isAlpha = m_bIsAlpha && m_lpAlphaTable;
        if (isAlpha) memcpy(m_decoderAlphaTable, m_lpAlphaTable, sizeof(m_decoderAlphaTable));
    }
    bool converted;
    if (isAlpha) {
        converted = m_converter.toAlpha(picture, out, m_nFrameWidth, m_decoderAlphaTable);
    } else {
        unsigned char alpha = m_lpAlphaVideo ? 0 : 255;
        converted = m_bShaderFormat ? m_converter.toUVYA(picture, out, m_nFrameWidth, alpha)
                                    : m_converter.toRGBA(picture, out, m_nFrameWidth, alpha);
    }
    if (!converted)
        memset(out, 0, static_cast<size_t>(m_nFrameWidth * m_nFrameHeight) * sizeof(uint32_t));
}

bool ZVideo::appendFrame(int slot, double time, uint64_t frame, int64_t generation) {
    Lock lock(m_queueLock);
    if (generation != m_nGeneration) {
        m_freeFrames.push_back(slot);
        return false;
    }
    m_frames[slot].time = time;
    m_frames[slot].epoch = m_nCurrentEpoch;
    m_frames[slot].frame = frame;
    m_readyFrames.push_back(slot);
    return true;
}

void ZVideo::appendAudio(int slot, int64_t bytes, int64_t generation) {
    Lock lock(m_queueLock);
    if (generation != m_nGeneration) {
        m_freeAudio.push_back(slot);
        return;
    }
    ZVideoAudioSlot& audio = m_audio[slot];
    audio.bytes = audio.bytesLeft = bytes;
    audio.firstSample = m_lpCodec->granule - bytes / (m_nChannels * 2);
    audio.epoch = m_nCurrentEpoch;
    m_readyAudio.push_back(slot);
    m_nAudioBytesProduced += bytes;
}

void ZVideo::decodeThreadMain(void* user, long) {
    ZVideo* video = static_cast<ZVideo*>(user);
    while (!video->m_bQuit) {
        int frameSlot = -1, audioSlot = -1;
        {
            Lock lock(video->m_queueLock);
            if (video->m_lpCodec->theoraReady && !video->m_freeFrames.empty()) {
                frameSlot = video->m_freeFrames.front();
                video->m_freeFrames.pop_front();
            }
            if (video->m_lpCodec->vorbisReady && !video->m_freeAudio.empty()) {
                audioSlot = video->m_freeAudio.front();
                video->m_freeAudio.pop_front();
            }
        }
        bool progressed = false;
        if (frameSlot >= 0 || audioSlot >= 0) progressed = video->decodeFrame(frameSlot, audioSlot);
        // Polls while the queues are full or the data has run out.
        if (!progressed) ZSysThread::sleep(1);
    }
}

bool ZVideo::decodeFrame(int frameSlot, int audioSlot) {
    ZVideoCodecState& c = *m_lpCodec;
    int64_t generation = -1;
    int64_t audioFilled = 0;
    const int64_t audioBytes = m_nAudioPacketSize * 2;
    bool filled = false;
    while (!m_bQuit) {
        handleRequests(generation, audioFilled);

        while (audioSlot >= 0 && c.vorbisReady) {
            float** pcm = nullptr;
            int available = vorbis_synthesis_pcmout(&c.vorbisDsp, &pcm);
            if (available > 0) {
                int64_t fit = (audioBytes - audioFilled) / (m_nChannels * 2);
                int used = static_cast<int>(std::min<int64_t>(available, fit));
                int16_t* out = m_audio[audioSlot].samples + audioFilled / 2;
                for (int i = 0; i < used; i++)
                    for (long ch = 0; ch < m_nChannels; ch++) *out++ = toSample(pcm[ch][i]);
                vorbis_synthesis_read(&c.vorbisDsp, used);
                if (c.vorbisDsp.granulepos < 0)
                    c.granule += used;
                else
                    c.granule = c.vorbisDsp.granulepos - (available - used);
                audioFilled += static_cast<int64_t>(used) * m_nChannels * 2;
                if (audioFilled >= audioBytes) {
                    appendAudio(audioSlot, audioFilled, generation);
                    audioSlot = -1;
                    audioFilled = 0;
                    filled = true;
                }
            } else if (ogg_stream_packetout(&c.vorbisStream, &c.packet) > 0) {
                if (vorbis_synthesis(&c.vorbisBlock, &c.packet) == 0)
                    vorbis_synthesis_blockin(&c.vorbisDsp, &c.vorbisBlock);
            } else {
                m_bAudioNeedsData = true;
                break;
            }
        }

        while (frameSlot >= 0 && c.theoraReady) {
            if (ogg_stream_packetout(&c.theoraStream, &c.packet) <= 0) {
                m_bVideoNeedsData = true;
                break;
            }
            if (m_nPendingPostProcessingChange) {
                int level = static_cast<int>(m_nPostProcessingLevel.load()) +
                            m_nPendingPostProcessingChange;
                theora_control(&c.theora, TH_DECCTL_SET_PPLEVEL, &level, sizeof(level));
                m_nPostProcessingLevel = level;
                m_nPendingPostProcessingChange = 0;
            }
            if (c.packet.granulepos >= 0) {
                ogg_int64_t granule = c.packet.granulepos;
                theora_control(&c.theora, TH_DECCTL_SET_GRANPOS, &granule, sizeof(granule));
            }
            if (theora_decode_packetin(&c.theora, &c.packet) != 0) continue;
            double t = theora_granule_time(&c.theora, c.theora.granulepos);
            m_nDecodedFrames++;
            if (t > m_fLargestFrameTime.load()) m_fLargestFrameTime = t;
            if (t >= m_fNow.load() || m_nCurrentEpoch != m_nShownEpoch.load()) {
                writeFrame(frameSlot);
                uint64_t frame =
                    static_cast<uint64_t>(theora_granule_frame(&c.theora, c.theora.granulepos));
                // The granule's time is the frame's end: it is shown one frame earlier.
                appendFrame(frameSlot, t - 1.0 / m_fFramesPerSecond, frame, generation);
                frameSlot = -1;
                filled = true;
            } else {
                m_nDroppedFrames++;
                if (m_nPostProcessingLevel.load() > 0) m_nPendingPostProcessingChange = -1;
            }
        }

        if (frameSlot < 0 && audioSlot < 0) break;
        // Pages already in the sync state first (the header search leaves some there).
        if (queuePages()) continue;
        long read = readData();
        if (read == 0 && m_bVideoNeedsData && m_bAudioNeedsData) {
            if (m_bLoop) {
                {
                    Lock lock(m_queueLock);
                    rewindStreams();
                    m_nCurrentEpoch++;
                    m_bDecodedThrough = true;
                }
                read = readData();
            }
            if (read == 0) m_bEndOfData = true;
        }
        if (read == 0 && c.vorbisReady && m_bAudioNeedsData) m_bTimeValid = true;
        if (read == 0) break;
    }

    if (audioSlot >= 0) {
        if (audioFilled > 0) {
            appendAudio(audioSlot, audioFilled, generation);
            filled = true;
        } else {
            Lock lock(m_queueLock);
            m_freeAudio.push_back(audioSlot);
        }
    }
    if (frameSlot >= 0) {
        Lock lock(m_queueLock);
        m_freeFrames.push_back(frameSlot);
    }
    return filled;
}

// ---- Clock (main thread; the stream thread reads it through the audio callback) ----

int64_t ZVideo::nowMilliseconds() {
    if (m_lpClockSource) return m_lpClockSource(m_lpClockUser);
    return static_cast<int64_t>(ZMiscTools::getMilliseconds());
}

// The length by which a stalled clock skips: only a looping video that has been decoded
// through has one (a stall never sends a video that plays once back in time).
double ZVideo::loopLength() {
    return m_bLoop && m_bDecodedThrough ? m_fLargestFrameTime.load() : 0.0;
}

double ZVideo::internalTime() {
    Lock lock(m_queueLock);
    return m_clock.read(nowMilliseconds(), loopLength());
}

double ZVideo::getTime() {
    Lock lock(m_queueLock);
    if (!m_bTimeValid) return 0;
    return internalTime() + m_fAudioOffset.load() + m_fSeekOffset;
}

void ZVideo::pauseTime() {
    {
        Lock lock(m_queueLock);
        if (m_clock.isPaused()) return;
        m_clock.pause(nowMilliseconds(), loopLength());
    }
    if (m_nVorbisHeaders && m_lpSound) m_lpSound->pause(true);
    if (m_lpAlphaVideo) m_lpAlphaVideo->pauseTime();
}

void ZVideo::resumeTime() {
    {
        Lock lock(m_queueLock);
        if (!m_clock.resume(nowMilliseconds())) return;
        m_bTimeValid = !(m_nTheoraHeaders && m_nVorbisHeaders);
    }
    if (m_nVorbisHeaders && m_lpSound) m_lpSound->pause(false);
    if (m_lpAlphaVideo) m_lpAlphaVideo->resumeTime();
}

bool ZVideo::isVideoPaused() {
    Lock lock(m_queueLock);
    return m_clock.isPaused();
}

// ---- Main-thread step ----

void ZVideo::readFrame() {
    if (!m_bOpened) return;
    m_queueLock.acquire();
    bool paused = m_clock.isPaused();
    if (paused && m_nSeekTarget != -2) {
        m_queueLock.release();
        return;
    }
    double now = getTime();
    m_fNow = now;

    if (m_nVorbisHeaders && m_lpSound && !m_bSoundStarted && m_readyAudio.size() >= 2 && !paused) {
        m_bSoundStarted = true;
        // The stream's first packets come from getAudioStreamPacket, which takes the lock.
        m_queueLock.release();
        m_lpSound->playStream(true);
        m_queueLock.acquire();
        now = getTime();
        m_fNow = now;
    }

    bool shown = false;
    if (m_nTheoraHeaders && !m_readyFrames.empty()) {
        int slot = m_readyFrames.front();
        if (m_frames[slot].epoch != m_nShownEpoch.load()) {
            m_nShownEpoch = m_frames[slot].epoch;
            m_clock.wrap(static_cast<int64_t>(m_fLargestFrameTime.load() * 1000.0));
            now = getTime();
            m_fNow = now;
        }
        bool atOnce = m_nSeekTarget == -2;
        if (now < m_frames[slot].time && !atOnce) {
            m_queueLock.release();
            if (!m_bEnded) ZSysThread::sleep(1);
            return;
        }
        m_readyFrames.pop_front();
        uint64_t frame = m_frames[slot].frame;
        m_queueLock.release();

        if (m_lpAlphaVideo) {
            int alphaSlot = -1;
            if (m_lpAlphaVideo->takeDueFrame(now, atOnce, alphaSlot)) {
                const uint32_t* alpha = m_lpAlphaVideo->m_frames[alphaSlot].pixels;
                const uint32_t* colour = m_frames[slot].pixels;
                size_t count = static_cast<size_t>(m_nFrameWidth * m_nFrameHeight);
                for (size_t i = 0; i < count; i++) m_lpShownPixels[i] = colour[i] | alpha[i];
                m_lpAlphaVideo->m_queueLock.acquire();
                m_lpAlphaVideo->m_freeFrames.push_back(alphaSlot);
                m_lpAlphaVideo->m_queueLock.release();
                shown = true;
            } else if (m_lpAlphaVideo->m_bEndOfData.load()) {
                // An alpha video shorter than its picture leaves the rest opaque.
                const uint32_t* colour = m_frames[slot].pixels;
                size_t count = static_cast<size_t>(m_nFrameWidth * m_nFrameHeight);
                for (size_t i = 0; i < count; i++) m_lpShownPixels[i] = colour[i] | 0xFF000000u;
                shown = true;
            }
            if (!shown) {
                // The alpha of this frame is not decoded yet: the frame waits for it.
                m_queueLock.acquire();
                m_readyFrames.push_front(slot);
                m_queueLock.release();
                if (!m_bEnded) ZSysThread::sleep(1);
                return;
            }
        } else {
            memcpy(m_lpShownPixels, m_frames[slot].pixels,
                   static_cast<size_t>(m_nFrameWidth * m_nFrameHeight) * sizeof(uint32_t));
            shown = true;
        }
        m_nCurrentFrame = frame;
        m_bFrameShown = true;
        if (m_lpGraphic)
            m_lpGraphic->makePictureFromArray(m_lpShownPixels, m_nFrameWidth, m_nFrameHeight, true,
                                              m_lpAlphaVideo != nullptr, false, nullptr);
        m_queueLock.acquire();
        m_freeFrames.push_back(slot);
        if (m_nSeekTarget == -2) m_nSeekTarget = -1;
    } else if (m_nTheoraHeaders) {
        if (m_bEndOfData) m_bEnded = true;
    } else if (m_bEndOfData && m_readyAudio.empty()) {
        m_bEnded = true;
    }
    m_queueLock.release();
    if (m_nTheoraHeaders && !shown && !m_bEnded) ZSysThread::sleep(1);
}

// The alpha video's side of readFrame: under its own lock, its front frame when that is due
// by the main video's clock (or at once after a seek). Its decoder drops late frames by that
// clock too.
bool ZVideo::takeDueFrame(double now, bool atOnce, int& slot) {
    Lock lock(m_queueLock);
    m_fNow = now;
    if (m_readyFrames.empty()) return false;
    int front = m_readyFrames.front();
    if (m_frames[front].epoch != m_nShownEpoch.load()) m_nShownEpoch = m_frames[front].epoch;
    if (now < m_frames[front].time && !atOnce && m_nSeekTarget != -2) return false;
    m_readyFrames.pop_front();
    m_nCurrentFrame = m_frames[front].frame;
    if (m_nSeekTarget == -2) m_nSeekTarget = -1;
    slot = front;
    return true;
}

// ---- Sound track (stream thread) ----

unsigned long ZVideo::getAudioStreamPacket(void* user, unsigned char* buffer, unsigned long bytes) {
    ZVideo* video = static_cast<ZVideo*>(user);
    if (!video || !buffer) return 0;
    Lock lock(video->m_queueLock);
    unsigned long written = 0;
    bool first = true, timed = false;
    double audioTime = 0;
    while (written < bytes && !video->m_readyAudio.empty()) {
        int slot = video->m_readyAudio.front();
        ZVideoAudioSlot& audio = video->m_audio[slot];
        if (first && audio.epoch == video->m_nShownEpoch.load()) {
            int64_t frameBytes = video->m_nChannels * 2;
            audioTime = (static_cast<double>((audio.bytes - audio.bytesLeft) / frameBytes) +
                         static_cast<double>(audio.firstSample) -
                         static_cast<double>(video->m_nAudioPacketSize / video->m_nChannels)) /
                        static_cast<double>(video->m_nRate);
            timed = true;
        }
        first = false;
        unsigned long wanted = bytes - written;
        unsigned long left = static_cast<unsigned long>(audio.bytesLeft);
        unsigned long take = std::min(left, wanted);
        const unsigned char* from =
            reinterpret_cast<const unsigned char*>(audio.samples) + (audio.bytes - audio.bytesLeft);
        memcpy(buffer + written, from, take);
        audio.bytesLeft -= static_cast<int64_t>(take);
        written += take;
        if (audio.bytesLeft <= 0) {
            video->m_readyAudio.pop_front();
            video->m_freeAudio.push_back(slot);
        }
    }
    if (written == 0) {
        // A dry queue plays silence: the stream keeps going.
        memset(buffer, 0, bytes);
        written = bytes;
    }
    if (timed) {
        video->m_fAudioOffset = audioTime - video->internalTime();
        video->m_bTimeValid = true;
    }
    return written;
}

// ---- Rewind and seeks (main thread; the decode thread carries them out) ----

// Under the lock: what a rewind or seek resets on this side, with the clock started over (a
// paused video stays paused at the new place).
void ZVideo::resetAfterJump() {
    m_nGeneration++;
    while (!m_readyFrames.empty()) {
        m_freeFrames.push_back(m_readyFrames.front());
        m_readyFrames.pop_front();
    }
    while (!m_readyAudio.empty()) {
        m_freeAudio.push_back(m_readyAudio.front());
        m_readyAudio.pop_front();
    }
    bool paused = m_clock.isPaused();
    m_clock.reset();
    if (paused) m_clock.pause(nowMilliseconds(), loopLength());
    m_nShownEpoch = 0;
    m_bEnded = false;
    m_bEndOfData = false;
    m_bTimeValid = !(m_nTheoraHeaders && m_nVorbisHeaders);
    m_fAudioOffset = 0;
    m_bSoundStarted = false;
}

void ZVideo::rewind() {
    if (m_lpAlphaVideo) m_lpAlphaVideo->rewind();
    if (!m_bOpened) return;
    Lock lock(m_queueLock);
    resetAfterJump();
    m_bRewindRequested = true;
    m_nSeekTarget = -1;
    m_fSeekOffset = 0;
    m_nCurrentFrame = 0;
    m_nDecodedFrames = m_nDroppedFrames = 0;
    m_fNow = m_bIsAlpha ? getTime() : 0;
}

void ZVideo::seekToTime(double seconds) {
    if (m_lpAlphaVideo) m_lpAlphaVideo->seekToTime(seconds);
    if (!m_bOpened) return;
    auto entry = m_timeIndex.lower_bound(seconds);
    if (entry == m_timeIndex.end()) return;
    Lock lock(m_queueLock);
    resetAfterJump();
    m_bRewindRequested = false;
    if (!m_nVorbisHeaders) m_fSeekOffset = entry->first;
    m_nSeekTarget = static_cast<int64_t>(entry->second);
    m_fNow = m_fSeekOffset;
}

void ZVideo::seekToFrame(unsigned long frame) {
    if (m_lpAlphaVideo) m_lpAlphaVideo->seekToFrame(frame);
    if (!m_bOpened) return;
    for (auto entry = m_frameIndex.lower_bound(frame); entry != m_frameIndex.end(); ++entry) {
        for (const auto& timed : m_timeIndex) {
            if (timed.second < entry->second) continue;
            Lock lock(m_queueLock);
            resetAfterJump();
            m_bRewindRequested = false;
            if (!m_nVorbisHeaders) m_fSeekOffset = timed.first;
            m_nSeekTarget = static_cast<int64_t>(entry->second);
            m_fNow = m_fSeekOffset;
            return;
        }
    }
}

// ---- Factory ----

ZVideoBase* newZVideo() {
    return new ZVideo();
}

void ZVideo_register() {
    ZCore::registerNewZVideo(newZVideo);
}
