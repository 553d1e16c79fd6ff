#include "ZBackgroundMusic.h"

#include <AL/al.h>

#include <cstdlib>

#include "ZResource.h"
#include "ZSound.h"
#include "ZSysThread.h"

namespace {

ZBackgroundMusic* g_lpMusic = nullptr;

float musicGain(long volume) {
    return volume <= 0 ? 0.0f : volume >= 100 ? 1.0f : static_cast<float>(volume) / 100.0f;
}

}  // namespace

bool ZBackgroundMusic::play(const char* path, long volume, bool loop) {
    stop();
    if (!path || !ZSound::isSoundDeviceAvailable()) return false;
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!ZResource::loadResource(path, data, size)) return false;
    ZBackgroundMusic* music = new ZBackgroundMusic();
    // The music takes the data, whether it starts or not.
    if (!music->start(data, size, volume, loop)) {
        delete music;
        return false;
    }
    g_lpMusic = music;
    return true;
}

void ZBackgroundMusic::setVolume(long volume) {
    if (g_lpMusic && g_lpMusic->m_bHasSource)
        alSourcef(g_lpMusic->m_source, AL_GAIN, musicGain(volume));
}

void ZBackgroundMusic::stop() {
    delete g_lpMusic;
    g_lpMusic = nullptr;
}

bool ZBackgroundMusic::isPlaying() {
    return g_lpMusic && !g_lpMusic->m_bFinished;
}

ZBackgroundMusic::~ZBackgroundMusic() {
    m_bQuit = true;
    delete m_lpThread;
    if (m_bHasSource) {
        alSourceStop(m_source);
        alDeleteSources(1, &m_source);
    }
    if (m_bHasBuffers) alDeleteBuffers(kBufferCount, m_buffers);
    m_decoder.close();
    free(m_lpPacket);
    delete[] m_lpData;
}

bool ZBackgroundMusic::start(unsigned char* data, unsigned long size, long volume, bool loop) {
    m_lpData = data;
    m_bLoop = loop;
    if (!m_decoder.open(data, size)) return false;
    m_nFormat = m_decoder.getChannels() == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
    m_lpPacket = static_cast<unsigned char*>(malloc(kBufferBytes));
    if (!m_lpPacket) return false;

    alGetError();
    alGenBuffers(kBufferCount, m_buffers);
    if (alGetError() != AL_NO_ERROR) return false;
    m_bHasBuffers = true;
    alGetError();
    alGenSources(1, &m_source);
    if (alGetError() != AL_NO_ERROR) return false;
    m_bHasSource = true;
    alSource3f(m_source, AL_POSITION, 0, 0, 0);
    alSource3f(m_source, AL_VELOCITY, 0, 0, 0);
    alSource3f(m_source, AL_DIRECTION, 0, 0, 0);
    alSourcef(m_source, AL_ROLLOFF_FACTOR, 0);
    alSourcei(m_source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcef(m_source, AL_GAIN, musicGain(volume));

    int queued = 0;
    while (queued < kBufferCount && fill(m_buffers[queued])) queued++;
    if (queued == 0) return false;
    alSourceQueueBuffers(m_source, queued, m_buffers);
    alSourcePlay(m_source);
    m_lpThread = new ZSysThread(threadMain, this, 0, 1);
    return true;
}

bool ZBackgroundMusic::fill(uint32_t buffer) {
    if (m_bEnded) return false;
    long length = m_decoder.read(m_lpPacket, kBufferBytes);
    if (length <= 0 && m_bLoop && m_decoder.rewind())
        length = m_decoder.read(m_lpPacket, kBufferBytes);
    if (length <= 0) {
        m_bEnded = true;
        return false;
    }
    alBufferData(buffer, static_cast<ALenum>(m_nFormat), m_lpPacket, static_cast<ALsizei>(length),
                 static_cast<ALsizei>(m_decoder.getRate()));
    return true;
}

void ZBackgroundMusic::update() {
    ALint processed = 0;
    alGetSourcei(m_source, AL_BUFFERS_PROCESSED, &processed);
    for (ALint i = 0; i < processed; i++) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(m_source, 1, &buffer);
        if (fill(buffer)) alSourceQueueBuffers(m_source, 1, &buffer);
    }
    ALint state = AL_STOPPED;
    alGetSourcei(m_source, AL_SOURCE_STATE, &state);
    if (state == AL_PLAYING) return;
    ALint queued = 0;
    alGetSourcei(m_source, AL_BUFFERS_QUEUED, &queued);
    // Played to the end; or ran dry and goes on.
    if (m_bEnded && queued == 0) {
        m_bFinished = true;
    } else if (queued > 0) {
        alSourcePlay(m_source);
    }
}

void ZBackgroundMusic::threadMain(void* music, long) {
    ZBackgroundMusic* self = static_cast<ZBackgroundMusic*>(music);
    while (!self->m_bQuit && !self->m_bFinished) {
        ZSysThread::sleep(20);
        self->update();
    }
}
