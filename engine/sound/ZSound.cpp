#include "ZSound.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <strings.h>
#include <vorbis/vorbisfile.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "ZBackgroundMusic.h"
#include "ZCafDecoder.h"
#include "ZCore.h"
#include "ZList.h"
#include "ZResource.h"
#include "ZSysLock.h"
#include "ZSysThread.h"
#include "ZWavDecoder.h"

namespace {

// Process-wide sound state. Plain pointers and atomics, so that nothing here is destroyed at exit
// before a sound that outlives it.
bool g_bSoundInitialized = false;
bool g_bDeviceFailureLogged = false;
ALCdevice* g_lpDevice = nullptr;
ALCcontext* g_lpContext = nullptr;
ZSysLock* g_lpStreamLock = nullptr;
ZSysThread* g_lpStreamThread = nullptr;
std::atomic<bool> g_bSteamThreadQuits{false};
std::atomic<bool> g_bSoundSuspended{false};
std::atomic<bool> g_bSoundDisabled{false};
std::atomic<int64_t> g_nGlobalStreamVolume{100};
std::atomic<int64_t> g_nGlobalSampleVolume{100};
ov_callbacks g_vorbisCallbacks;

ZList<ZSound>& soundList() {
    static ZList<ZSound>* list = new ZList<ZSound>();
    return *list;
}

ZList<ZSound>& streamList() {
    static ZList<ZSound>* list = new ZList<ZSound>();
    return *list;
}

bool hasDevice() {
    return g_lpContext != nullptr;
}

// Holds the stream lock for a scope, when there is one (after cleanup there is none, and no
// stream thread either).
class StreamLock {
public:
    StreamLock() : m_lock(g_lpStreamLock) {
        if (m_lock) m_lock->acquire();
    }
    ~StreamLock() {
        if (m_lock) m_lock->release();
    }
    StreamLock(const StreamLock&) = delete;
    StreamLock& operator=(const StreamLock&) = delete;

private:
    ZSysLock* m_lock;
};

// Errors are sticky: clear the last one before a call whose own error matters.
void clearALError() {
    alGetError();
}

void setUpVoice(ALuint voice) {
    alSource3f(voice, AL_POSITION, 0, 0, 0);
    alSource3f(voice, AL_VELOCITY, 0, 0, 0);
    alSource3f(voice, AL_DIRECTION, 0, 0, 0);
    alSourcef(voice, AL_ROLLOFF_FACTOR, 0);
    alSourcei(voice, AL_SOURCE_RELATIVE, AL_TRUE);
}

ALint sourceState(ALuint voice) {
    ALint state = AL_STOPPED;
    alGetSourcei(voice, AL_SOURCE_STATE, &state);
    return state;
}

int64_t clampVolume(int64_t value) {
    return value < 0 ? 0 : value > 100 ? 100 : value;
}

long openALFormat(long channels, long bits) {
    if (channels == 1) return bits == 16 ? AL_FORMAT_MONO16 : AL_FORMAT_MONO8;
    return bits == 16 ? AL_FORMAT_STEREO16 : AL_FORMAT_STEREO8;
}

// The Ogg Vorbis format of an opened file; false for files OpenAL cannot play.
bool oggFormat(OggVorbis_File* file, long& format, long& rate) {
    vorbis_info* info = ov_info(file, -1);
    if (!info || info->channels < 1 || info->channels > 2 || info->rate < 1 || info->rate > INT_MAX)
        return false;
    format = info->channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
    rate = info->rate;
    return true;
}

// Decodes the rest of an opened file straight into pcm, in pieces of at most chunkSize bytes, with
// room made first for as much as the file says it holds (within reason: the file may lie). A piece
// that finds no memory is decoded and dropped. False on a read error.
bool readOggFile(OggVorbis_File* file, int64_t chunkSize, uint64_t fileSize,
                 ZSoundGrowableArray& pcm) {
    if (chunkSize < 1 || chunkSize > INT_MAX) chunkSize = ZSound::kDefaultPacketSize;
    vorbis_info* info = ov_info(file, -1);
    ogg_int64_t frames = ov_pcm_total(file, -1);
    if (info && frames > 0) {
        uint64_t stated = static_cast<uint64_t>(frames) * static_cast<uint64_t>(info->channels) * 2;
        uint64_t plausible = fileSize * 64;
        pcm.reserve(stated < plausible ? stated : plausible);
    }
    char dropped[4096];
    for (;;) {
        char* into = dropped;
        int room = static_cast<int>(sizeof(dropped));
        if (pcm.reserve(static_cast<uint64_t>(chunkSize))) {
            into = reinterpret_cast<char*>(pcm.data + pcm.size);
            room =
                static_cast<int>(pcm.spare < static_cast<uint64_t>(INT_MAX) ? pcm.spare : INT_MAX);
        }
        int bitstream = 0;
        long n = ov_read(file, into, room, 0, 2, 1, &bitstream);
        if (n < 0) return false;
        if (n == 0) return true;
        if (into != dropped) {
            pcm.size += static_cast<uint64_t>(n);
            pcm.spare -= static_cast<uint64_t>(n);
        }
    }
}

}  // namespace

// ---- Life of a sound ----

ZSound::ZSound() {
    openOpenAL();
    m_lpOggFile = new OggVorbis_File();
    memset(m_lpOggFile, 0, sizeof(OggVorbis_File));
    for (uint32_t& buffer : m_buffers) buffer = kNoName;
    for (int i = 0; i < kMaxVoices; i++) {
        m_voices[i] = kNoName;
        m_voicePaused[i] = false;
    }
    StreamLock lock;
    soundList().addToTail(this);
}

ZSound::~ZSound() {
    freeSound();
    {
        StreamLock lock;
        if (m_bStreamPlaying) {
            streamList().remove(this);
        } else {
            soundList().remove(this);
        }
    }
    delete m_lpOggFile;
}

void ZSound::freeSound() {
    if (m_bIsStream) haltStream();
    closeOggFile();
    m_memory.clear();
    delete[] m_lpOwnedData;
    m_lpOwnedData = nullptr;
    m_bIsStream = false;

    for (uint32_t& voice : m_voices) {
        if (voice == kNoName) continue;
        alDeleteSources(1, &voice);
        voice = kNoName;
    }
    m_nVoiceCount = 0;
    if (m_bLoaded) {
        for (uint32_t& buffer : m_buffers) {
            if (buffer == kNoName) continue;
            alDeleteBuffers(1, &buffer);
            buffer = kNoName;
        }
        m_bLoaded = false;
    }
    m_bPaused = false;
    m_bSuspendPaused = false;
    free(m_lpPacket);
    m_lpPacket = nullptr;
    m_lpStart = nullptr;
    m_lpRead = nullptr;
    m_lpUser = nullptr;
}

uint32_t ZSound::getVoiceName(long voice) const {
    return voice >= 0 && voice < kMaxVoices ? m_voices[voice] : kNoName;
}

uint32_t ZSound::getBufferName(long buffer) const {
    return buffer >= 0 && buffer < 2 ? m_buffers[buffer] : kNoName;
}

long ZSound::frameBytes() const {
    switch (m_nFormat) {
        case AL_FORMAT_MONO8:
            return 1;
        case AL_FORMAT_STEREO8:
        case AL_FORMAT_MONO16:
            return 2;
        default:
            return 4;
    }
}

// ---- OpenAL ----

void ZSound::initializeSound() {
    if (g_lpContext) return;
    g_lpDevice = alcOpenDevice(nullptr);
    if (g_lpDevice) {
        g_lpContext = alcCreateContext(g_lpDevice, nullptr);
        if (!g_lpContext || !alcMakeContextCurrent(g_lpContext)) {
            if (g_lpContext) alcDestroyContext(g_lpContext);
            g_lpContext = nullptr;
            alcCloseDevice(g_lpDevice);
            g_lpDevice = nullptr;
        }
    }
    if (!g_lpContext) {
        if (!g_bDeviceFailureLogged)
            ZCore::logMessage("Sound: couldn't open a sound device, playing without sound, ERROR");
        g_bDeviceFailureLogged = true;
        return;
    }
    alListener3f(AL_POSITION, 0, 0, 0);
    alDistanceModel(AL_NONE);
    ZCore::logMessage("Sound: OpenAL initialized");
}

void ZSound::cleanupSound() {
    if (!g_lpDevice) return;
    alcMakeContextCurrent(nullptr);
    if (g_lpContext) alcDestroyContext(g_lpContext);
    g_lpContext = nullptr;
    alcCloseDevice(g_lpDevice);
    g_lpDevice = nullptr;
    ZCore::logMessage("Sound: OpenAL released");
}

void ZSound::openOpenAL() {
    if (g_bSoundInitialized) return;
    initializeSound();
    g_vorbisCallbacks.read_func = ZSoundMemorySource::read;
    g_vorbisCallbacks.seek_func = ZSoundMemorySource::seek;
    g_vorbisCallbacks.close_func = ZSoundMemorySource::close;
    g_vorbisCallbacks.tell_func = ZSoundMemorySource::tell;
    g_lpStreamLock = new ZSysLock();
    g_bSoundInitialized = true;
}

bool ZSound::isSoundDeviceAvailable() {
    openOpenAL();
    return hasDevice();
}

void ZSound::disableSounds(bool disable) {
    g_bSoundDisabled = disable;
}

void ZSound::cleanup() {
    if (!g_bSoundInitialized) return;
    // The music plays on this device.
    ZBackgroundMusic::stop();
    g_bSteamThreadQuits = true;
    delete g_lpStreamThread;
    g_lpStreamThread = nullptr;
    {
        StreamLock lock;
        // Freeing a stream stops it, which moves it to the other list.
        while (ZSound* stream = streamList().head) {
            stream->haltStream();
            stream->freeSound();
        }
        for (ZSound* sound : soundList()) sound->freeSound();
    }
    delete g_lpStreamLock;
    g_lpStreamLock = nullptr;
    cleanupSound();
    g_bSoundSuspended = false;
    g_bSoundInitialized = false;
}

long ZSound::getPlayingStreamCount() {
    StreamLock lock;
    return streamList().count;
}

long ZSound::getSoundCount() {
    StreamLock lock;
    return soundList().count + streamList().count;
}

// ---- Volumes ----

float ZSound::volumeToGain(long volume) {
    return static_cast<float>(clampVolume(volume)) / 100.0f;
}

float ZSound::currentGain() const {
    int64_t global = m_bIsStream ? g_nGlobalStreamVolume.load() : g_nGlobalSampleVolume.load();
    int64_t product;
    if (__builtin_mul_overflow(global, m_nVolume.load(), &product))
        product = (global < 0) != (m_nVolume.load() < 0) ? INT64_MIN : INT64_MAX;
    return static_cast<float>(clampVolume(product / 100)) / 100.0f;
}

void ZSound::applyGain() {
    float gain = currentGain();
    for (int64_t i = 0; i < m_nVoiceCount; i++)
        if (m_voices[i] != kNoName) alSourcef(m_voices[i], AL_GAIN, gain);
}

void ZSound::setVolume(long volume) {
    m_nVolume = volume;
    if (m_bLoaded) applyGain();
}

void ZSound::setPitch(float pitch) {
    m_fPitch = pitch;
    if (!m_bLoaded || (pitch == 1.0f && !m_bPitchSet)) return;
    m_bPitchSet = pitch != 1.0f;
    for (int64_t i = 0; i < m_nVoiceCount; i++)
        if (m_voices[i] != kNoName) alSourcef(m_voices[i], AL_PITCH, pitch);
}

void ZSound::setGlobalVolumes(int streamVolume, int sampleVolume) {
    openOpenAL();
    StreamLock lock;
    g_nGlobalStreamVolume = streamVolume;
    g_nGlobalSampleVolume = sampleVolume;
    for (ZSound* sound : streamList())
        if (sound->m_bLoaded) sound->applyGain();
    for (ZSound* sound : soundList())
        if (sound->m_bLoaded) sound->applyGain();
}

// ---- Samples ----

long ZSound::detectFormat(const char* name) {
    const char* dot = name ? strrchr(name, '.') : nullptr;
    if (!dot) return -1;
    if (strcasecmp(dot, ".wav") == 0) return 0;
    if (strcasecmp(dot, ".ogg") == 0) return 1;
    if (strcasecmp(dot, ".caf") == 0 || strcasecmp(dot, ".aif") == 0 ||
        strcasecmp(dot, ".aiff") == 0)
        return 2;
    return -1;
}

bool ZSound::loadSample(const char* name, int volume, bool loop, short voices) {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!name || !ZResource::loadResource(name, data, size)) return false;
    bool loaded = loadSampleFromPtr(reinterpret_cast<const char*>(data), size, detectFormat(name),
                                    volume, loop, voices);
    delete[] data;
    return loaded;
}

bool ZSound::loadSampleFromPtr(const char* data, unsigned long size, long format, int volume,
                               bool loop, short voices) {
    freeSound();
    ZSoundGrowableArray pcm;
    switch (format) {
        case 0: {
            openWav(data, size);
            bool read = readWav(pcm);
            closeWav();
            if (!read) return false;
            break;
        }
        case 1: {
            if (!openOgg(data, size)) return false;
            bool read = readOgg(pcm);
            closeOgg();
            if (!read) return false;
            break;
        }
        case 2: {
            ZCafDecoderFormat decoded;
            if (!ZCafDecoder::decodeCaf(reinterpret_cast<const unsigned char*>(data), size,
                                        &decoded, pcm))
                return false;
            m_nFormat =
                openALFormat(static_cast<long>(decoded.channels), decoded.bits == 8 ? 8 : 16);
            m_nRate = decoded.rate;
            break;
        }
        default:
            return false;
    }
    // One OpenAL buffer holds at most what its size argument can say.
    if (pcm.size > static_cast<uint64_t>(INT_MAX)) return false;

    m_nVoiceCount = voices < 0 ? 0 : voices > kMaxVoices ? kMaxVoices : voices;
    // Without a buffer the sample stays unloaded and silent, and that is no failure of the file.
    if (!hasDevice()) return true;
    clearALError();
    alGenBuffers(1, &m_buffers[0]);
    if (alGetError() != AL_NO_ERROR) {
        m_buffers[0] = m_buffers[1] = kNoName;
        return true;
    }
    m_bLoaded = true;
    for (int64_t i = 0; i < m_nVoiceCount; i++) {
        clearALError();
        alGenSources(1, &m_voices[i]);
        if (alGetError() != AL_NO_ERROR) {
            m_voices[i] = kNoName;
            freeSound();
            return true;
        }
        setUpVoice(m_voices[i]);
    }
    if (pcm.size)
        alBufferData(m_buffers[0], static_cast<ALenum>(m_nFormat), pcm.data,
                     static_cast<ALsizei>(pcm.size), static_cast<ALsizei>(m_nRate));
    float gain = volumeToGain(volume);
    for (int64_t i = 0; i < m_nVoiceCount; i++) {
        alSourcei(m_voices[i], AL_BUFFER, static_cast<ALint>(m_buffers[0]));
        alSourcei(m_voices[i], AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
        alSourcef(m_voices[i], AL_GAIN, gain);
        if (m_bPitchSet) alSourcef(m_voices[i], AL_PITCH, m_fPitch);
    }
    m_nVolume = volume;
    m_bDefaultLoop = m_bCurrentLoop = loop;
    return true;
}

void ZSound::playSample(bool overrideLoop, bool loop) {
    if (!m_bLoaded || m_bIsStream || g_bSoundSuspended || m_bPaused || g_bSoundDisabled) return;
    applyGain();
    m_bCurrentLoop = overrideLoop ? loop : m_bDefaultLoop;
    if (m_nVoiceCount < 1) return;
    for (int64_t i = 0; i < m_nVoiceCount; i++) {
        if (sourceState(m_voices[i]) == AL_PLAYING) continue;
        alSourcei(m_voices[i], AL_LOOPING, m_bCurrentLoop ? AL_TRUE : AL_FALSE);
        alSourcePlay(m_voices[i]);
        return;
    }
    alSourcePlay(m_voices[0]);
}

void ZSound::stopSample() {
    if (!m_bLoaded || g_bSoundSuspended) return;
    for (int64_t i = 0; i < m_nVoiceCount; i++) alSourceStop(m_voices[i]);
    m_bPaused = false;
}

bool ZSound::isPlaying() {
    if (!m_bLoaded || g_bSoundSuspended || m_bPaused) return false;
    if (m_bIsStream) return m_bStreamPlaying;
    for (int64_t i = 0; i < m_nVoiceCount; i++)
        if (sourceState(m_voices[i]) == AL_PLAYING) return true;
    return false;
}

void ZSound::pauseVoices(bool pause) {
    if (pause && !m_bPaused) {
        for (int64_t i = 0; i < m_nVoiceCount; i++) {
            m_voicePaused[i] = false;
            if (sourceState(m_voices[i]) == AL_PLAYING) {
                alSourcePause(m_voices[i]);
                m_voicePaused[i] = true;
            }
        }
        m_bPaused = true;
    } else if (!pause && m_bPaused) {
        for (int64_t i = 0; i < m_nVoiceCount; i++) {
            if (!m_voicePaused[i]) continue;
            alSourcePlay(m_voices[i]);
            m_voicePaused[i] = false;
        }
        m_bPaused = false;
    }
}

void ZSound::pause(bool pause) {
    if (!m_bLoaded || g_bSoundSuspended) return;
    if (!m_bIsStream) {
        pauseVoices(pause);
        return;
    }
    StreamLock lock;
    if (m_bStreamPlaying) pauseVoices(pause);
}

void ZSound::suspend() {
    if (!g_bSoundInitialized || g_bSoundSuspended) return;
    StreamLock lock;
    for (ZSound* sound : streamList()) {
        if (sound->m_bPaused) continue;
        sound->m_bSuspendPaused = false;
        sound->pause(true);
        if (sound->m_bPaused) sound->m_bSuspendPaused = true;
    }
    for (ZSound* sound : soundList()) {
        if (sound->m_bPaused || !sound->m_bLoaded || !sound->isPlaying()) continue;
        sound->m_bSuspendPaused = false;
        sound->pause(true);
        if (sound->m_bPaused) sound->m_bSuspendPaused = true;
    }
    g_bSoundSuspended = true;
}

void ZSound::resume() {
    if (!g_bSoundInitialized || !g_bSoundSuspended) return;
    StreamLock lock;
    g_bSoundSuspended = false;
    for (ZSound* sound : streamList()) {
        if (!sound->m_bSuspendPaused) continue;
        sound->pause(false);
        sound->m_bSuspendPaused = false;
    }
    for (ZSound* sound : soundList()) {
        if (!sound->m_bSuspendPaused) continue;
        sound->pause(false);
        sound->m_bSuspendPaused = false;
    }
}

// ---- Decoders ----

bool ZSound::openWav(const char* data, unsigned long size) {
    m_memory.set(data, size);
    return true;
}

bool ZSound::readWav(ZSoundGrowableArray& pcm) {
    long format = m_nFormat, rate = static_cast<long>(m_nRate);
    if (!ZWavDecoder::decode(m_memory.data, m_memory.size, format, rate, pcm)) return false;
    m_nFormat = format;
    m_nRate = rate;
    return true;
}

void ZSound::closeWav() {
    m_memory.clear();
}

bool ZSound::openOggFile() {
    if (ov_open_callbacks(&m_memory, m_lpOggFile, nullptr, 0, g_vorbisCallbacks) != 0) {
        m_memory.clear();
        return false;
    }
    m_bOggOpen = true;
    long rate = 0;
    if (!oggFormat(m_lpOggFile, m_nFormat, rate)) {
        closeOggFile();
        return false;
    }
    m_nRate = rate;
    return true;
}

void ZSound::closeOggFile() {
    if (!m_bOggOpen) return;
    ov_clear(m_lpOggFile);
    m_bOggOpen = false;
}

bool ZSound::openOgg(const char* data, unsigned long size) {
    closeOggFile();
    m_memory.set(data, size);
    return openOggFile();
}

bool ZSound::readOgg(ZSoundGrowableArray& pcm) {
    if (!m_bOggOpen) return false;
    if (readOggFile(m_lpOggFile, m_nPacketSize, m_memory.size, pcm)) return true;
    closeOggFile();
    return false;
}

void ZSound::closeOgg() {
    closeOggFile();
    m_memory.clear();
}

bool ZSound::decodeOgg(const unsigned char* data, uint64_t size, long& format, long& rate,
                       ZSoundGrowableArray& pcm) {
    ov_callbacks callbacks;
    callbacks.read_func = ZSoundMemorySource::read;
    callbacks.seek_func = ZSoundMemorySource::seek;
    callbacks.close_func = ZSoundMemorySource::close;
    callbacks.tell_func = ZSoundMemorySource::tell;
    ZSoundMemorySource memory;
    memory.set(data, size);
    OggVorbis_File file;
    if (ov_open_callbacks(&memory, &file, nullptr, 0, callbacks) != 0) return false;
    bool decoded =
        oggFormat(&file, format, rate) && readOggFile(&file, kDefaultPacketSize, size, pcm);
    ov_clear(&file);
    return decoded;
}

// ---- Streams ----

void ZSound::startStreamThread() {
    if (g_lpStreamThread || !hasDevice()) return;
    g_bSteamThreadQuits = false;
    g_lpStreamThread = new ZSysThread(streamThreadMain, nullptr, 0, 1);
}

void ZSound::streamThreadMain(void*, long) {
    while (!g_bSteamThreadQuits) {
        ZSysThread::sleep(20);
        StreamLock lock;
        // Each update may stop its own stream (moving it to the other list), never another.
        for (ZSound* sound : streamList()) sound->updateStream();
    }
}

bool ZSound::loadStream(const char* name) {
    startStreamThread();
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!name || !ZResource::loadResource(name, data, size)) return false;
    if (!loadStreamFromPtrInternal(reinterpret_cast<const char*>(data), size)) {
        delete[] data;
        return false;
    }
    m_lpOwnedData = data;
    return true;
}

bool ZSound::loadStreamFromPtr(const char* data, unsigned long size) {
    startStreamThread();
    if (!data) return false;
    unsigned char* copy = new (std::nothrow) unsigned char[size ? size : 1];
    if (!copy) return false;
    memcpy(copy, data, size);
    if (!loadStreamFromPtrInternal(reinterpret_cast<const char*>(copy), size)) {
        delete[] copy;
        return false;
    }
    m_lpOwnedData = copy;
    return true;
}

bool ZSound::loadStreamFromPtrInternal(const char* data, unsigned long size) {
    freeSound();
    m_nPacketSize = kDefaultPacketSize;
    m_memory.set(data, size);
    if (!openOggFile()) return false;
    if (!setupStream()) {
        closeOggFile();
        m_memory.clear();
        return false;
    }
    return true;
}

bool ZSound::initStream(long channels, long bits, long rate, ZSoundStreamStartCallback start,
                        ZSoundStreamReadCallback read, void* user, long packetBytes) {
    freeSound();
    if (!read || packetBytes <= 0) return false;
    if (channels < 1 || channels > 2 || (bits != 8 && bits != 16) || rate < 1) return false;
    startStreamThread();
    m_memory.clear();
    m_nFormat = openALFormat(channels, bits);
    m_nRate = rate;
    // Buffers take whole frames only.
    m_nPacketSize = packetBytes - packetBytes % frameBytes();
    if (m_nPacketSize <= 0) return false;
    m_lpStart = start;
    m_lpRead = read;
    m_lpUser = user;
    return setupStream();
}

bool ZSound::setupStream() {
    if (!m_lpPacket) m_lpPacket = static_cast<unsigned char*>(malloc(m_nPacketSize));
    if (!m_lpPacket || !hasDevice()) return false;
    clearALError();
    alGenBuffers(2, m_buffers);
    if (alGetError() != AL_NO_ERROR) {
        m_buffers[0] = m_buffers[1] = kNoName;
        m_bLoaded = false;
        return false;
    }
    m_bLoaded = true;
    clearALError();
    alGenSources(1, &m_voices[0]);
    if (alGetError() == AL_NO_ERROR) {
        m_nVoiceCount = 1;
        setUpVoice(m_voices[0]);
    } else {
        m_voices[0] = kNoName;
        m_nVoiceCount = 0;
    }
    m_bIsStream = true;
    return true;
}

void ZSound::rewindOgg() {
    if (!m_lpRead && m_bOggOpen) ov_time_seek(m_lpOggFile, 0.0);
}

bool ZSound::streamPacket(uint32_t buffer) {
    if (!m_lpPacket) return false;
    int64_t offset = 0;
    double perByte = 1.0 / (static_cast<double>(frameBytes()) * static_cast<double>(m_nRate));
    while (offset < m_nPacketSize) {
        int64_t missing = m_nPacketSize - offset;
        int64_t n;
        if (m_lpRead) {
            unsigned long written =
                m_lpRead(m_lpUser, m_lpPacket + offset, static_cast<unsigned long>(missing));
            n = written > static_cast<unsigned long>(missing) ? missing
                                                              : static_cast<int64_t>(written);
        } else if (m_bOggOpen) {
            int bitstream = 0;
            n = ov_read(m_lpOggFile, reinterpret_cast<char*>(m_lpPacket + offset),
                        static_cast<int>(missing < INT_MAX ? missing : INT_MAX), 0, 2, 1,
                        &bitstream);
        } else {
            n = 0;
        }
        if (n < 0) return false;
        if (n == 0) break;
        offset += n;
        m_fStreamTime = m_fStreamTime.load() + static_cast<double>(n) * perByte;
    }
    int64_t length = offset - offset % frameBytes();
    if (length <= 0) return false;
    alBufferData(buffer, static_cast<ALenum>(m_nFormat), m_lpPacket, static_cast<ALsizei>(length),
                 static_cast<ALsizei>(m_nRate));
    return true;
}

void ZSound::playStream(bool loop) {
    if (m_bPaused && !g_bSoundSuspended) return;
    stopStream();
    // Suspension keeps a stream in the playing list: never link it twice.
    if (m_bStreamPlaying) return;
    if (!m_bLoaded || !m_bIsStream || m_nVoiceCount < 1) return;
    m_bStreamPlaying = false;
    m_bStreamLoop = false;
    m_bStreamEnded = false;
    m_bLooped = false;
    m_fStreamTime = 0.0;
    applyGain();
    if (m_lpRead && m_lpStart) m_lpStart(m_lpUser);

    ALuint voice = m_voices[0];
    if (!streamPacket(m_buffers[0])) return;
    ALsizei queued = 1;
    if (streamPacket(m_buffers[1])) {
        queued = 2;
    } else if (loop) {
        // A stream shorter than one packet loops from here on.
        rewindOgg();
        if (streamPacket(m_buffers[1])) {
            queued = 2;
            m_bLooped = true;
            m_fStreamTime = 0.0;
        }
    }
    alSourceQueueBuffers(voice, queued, m_buffers);
    alSourcePlay(voice);

    StreamLock lock;
    soundList().remove(this);
    streamList().addToTail(this);
    m_bStreamPlaying = true;
    m_bStreamLoop = loop;
}

void ZSound::stopStream() {
    if (g_bSoundSuspended) return;
    haltStream();
}

void ZSound::haltStream() {
    StreamLock lock;
    if (m_bStreamPlaying) {
        streamList().remove(this);
        soundList().addToTail(this);
    }
    if (m_bLoaded && m_bIsStream && m_nVoiceCount > 0) {
        ALuint voice = m_voices[0];
        alSourceStop(voice);
        ALint queued = 0;
        alGetSourcei(voice, AL_BUFFERS_QUEUED, &queued);
        for (ALint i = 0; i < queued; i++) {
            ALuint buffer = 0;
            alSourceUnqueueBuffers(voice, 1, &buffer);
        }
        rewindOgg();
    }
    m_bStreamPlaying = false;
    m_bPaused = false;
    m_bStreamLoop = false;
    m_bStreamEnded = false;
}

void ZSound::updateStream() {
    if (!m_bLoaded || m_nVoiceCount < 1 || !m_bStreamPlaying || m_bPaused) return;
    ALuint voice = m_voices[0];
    applyGain();

    ALint processed = 0;
    alGetSourcei(voice, AL_BUFFERS_PROCESSED, &processed);
    for (ALint i = 0; i < processed; i++) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(voice, 1, &buffer);
        if (m_bStreamEnded) continue;
        bool produced = streamPacket(buffer);
        if (!produced && m_bStreamLoop) {
            rewindOgg();
            produced = streamPacket(buffer);
            m_bLooped = true;
            m_fStreamTime = 0.0;
        }
        if (produced) {
            alSourceQueueBuffers(voice, 1, &buffer);
        } else if (!m_bStreamLoop) {
            m_bStreamEnded = true;
        }
    }

    ALint queued = 0;
    alGetSourcei(voice, AL_BUFFERS_QUEUED, &queued);
    ALint state = sourceState(voice);
    // The end of the data: the packets still queued play out before the stream stops. A stream
    // that has nothing queued any more cannot go on either.
    if ((m_bStreamEnded && state != AL_PLAYING) || queued == 0) {
        haltStream();
        return;
    }
    if (m_bStreamEnded) return;
    if (state != AL_PLAYING) alSourcePlay(voice);
}

double ZSound::getStreamTime() {
    return m_fStreamTime.load();
}

bool ZSound::hasStreamLooped() {
    return m_bLooped.exchange(false);
}

// ---- Factory ----

ZSoundBase* newZSound() {
    return new ZSound();
}

void ZSound_register() {
    ZCore::registerNewZSound(newZSound);
}
