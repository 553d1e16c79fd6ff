#include <strings.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "CGame.h"
#include "CPlayer.h"
#include "ZMiscTools.h"
#include "ZResource.h"
#include "ZSound.h"
#include "ZSysThread.h"

namespace {

const size_t kNameSize = 260;
const long kEffectKind = 1;
const long kAmbientKind = 2;
const long kStreamedKind = 3;
const long kSfxVolumeIndex = 5;
const long kAmbientVolumeIndex = 6;
const long kMusicVolumeIndex = 4;
const char* const kSoundFolder = "sfx_wav/";

// What a streamer thread needs; it owns and frees the request.
struct StreamRequest {
    char path[kNameSize];
    double delay;
    long volume;
    long index;
    long settingIndex;
    uint64_t generation;
    CPlayer* player;
};

long clampVolume(long volume) {
    return std::clamp(volume, 0l, 100l);
}

long clampSettingIndex(long index) {
    return std::clamp(index, 0l, CPlayerSettings::kCount - 1);
}

// The extension of the name's last part (after its last "."), or null.
const char* extensionOf(const char* name) {
    const char* slash = strrchr(name, '/');
    const char* dot = strrchr(slash ? slash : name, '.');
    return dot ? dot + 1 : nullptr;
}

// The name with its extension forced to "wav".
void soundName(const char* file, char* out) {
    snprintf(out, kNameSize, "%s", file ? file : "");
    char* extension = const_cast<char*>(extensionOf(out));
    if (!extension) {
        size_t length = strlen(out);
        snprintf(out + length, kNameSize - length, ".wav");
    } else if (strcasecmp(extension, "wav") != 0) {
        size_t at = static_cast<size_t>(extension - out);
        snprintf(extension, kNameSize - at, "wav");
    }
}

// The name with ".mp3" when it has no extension and "mp3" in place of "ogg".
void musicName(const char* file, char* out) {
    snprintf(out, kNameSize, "%s", file ? file : "");
    char* extension = const_cast<char*>(extensionOf(out));
    if (!extension) {
        size_t length = strlen(out);
        snprintf(out + length, kNameSize - length, ".mp3");
    } else if (strcasecmp(extension, "ogg") == 0) {
        memcpy(extension, "mp3", 3);
    }
}

// The path of a sound in the player's sound folder, relative to the game folder; a longer
// one is cut.
void soundRelativePath(const char* name, char* out) {
    if (snprintf(out, kNameSize, "%s%s", kSoundFolder, name) >= static_cast<int>(kNameSize))
        out[kNameSize - 1] = '\0';
}

void soundPath(const char* name, char* out) {
    char relative[kNameSize];
    soundRelativePath(name, relative);
    ZMiscTools::makeFilePathInBuffer(relative, out, kNameSize);
}

// A printf-style name, cut to 259 characters.
void formatName(char* out, const char* format, va_list arguments) {
    vsnprintf(out, kNameSize, format ? format : "", arguments);
}

ZSound* loadSoundFile(const char* name, bool loop, long voices) {
    char path[kNameSize];
    soundPath(name, path);
    ZSound* sound = new ZSound();
    // A file that does not load leaves a silent sound: its references still count.
    sound->loadSample(path, 100, loop, static_cast<short>(std::clamp(voices, -1l, 16l)));
    return sound;
}

// Effects and ambient sounds with a count of 0 (or all of them when forced), freed.
template <class T>
void flushList(ZList<T>& list, bool force, ZSound*& current) {
    for (T* entry = list.head; entry;) {
        T* next = ZList<T>::nextOf(entry);
        if (force || entry->referenceCount == 0) {
            if (entry->sound) {
                if (entry->sound == current) current = nullptr;
                entry->sound->stopSample();
            }
            list.remove(entry);
            delete entry;
        }
        entry = next;
    }
}

}  // namespace

long CPlayer::soundSettingVolume(long index) const {
    if (index < 0 || index >= CPlayerSettings::kCount) return 0;
    return clampVolume(atol(m_settings.get(index)));
}

// Effects.

void CPlayer::referenceSound(const char* file, bool loop, long voices) {
    char name[kNameSize];
    soundName(file, name);
    for (CSound* s = m_sounds.head; s; s = ZList<CSound>::nextOf(s)) {
        if (s->loop == loop && strcasecmp(s->name, name) == 0) {
            s->referenceCount++;
            return;
        }
    }
    CSound* sound = new CSound();
    snprintf(sound->name, sizeof(sound->name), "%s", name);
    sound->loop = loop;
    sound->referenceCount = 1;
    sound->sound = loadSoundFile(name, loop, voices);
    m_sounds.addToTail(sound);
}

void CPlayer::dereferenceSound(const char* file, bool loop) {
    char name[kNameSize];
    soundName(file, name);
    for (CSound* s = m_sounds.head; s; s = ZList<CSound>::nextOf(s))
        if (s->loop == loop && s->referenceCount > 0 && strcasecmp(s->name, name) == 0)
            s->referenceCount--;
}

void CPlayer::playSound(const char* file, bool loop, long volume) {
    char name[kNameSize];
    soundName(file, name);
    long index =
        clampSettingIndex(CGame::getSettingIndexForSound(name, kEffectKind, 0, kSfxVolumeIndex));
    for (CSound* s = m_sounds.head; s; s = ZList<CSound>::nextOf(s)) {
        if (s->loop != loop || s->referenceCount <= 0 || strcasecmp(s->name, name) != 0) continue;
        s->settingIndex = index;
        s->volume = clampVolume(volume);
        if (s->sound) {
            s->sound->setVolume(soundSettingVolume(index) * s->volume / 100);
            s->sound->playSample(false, false);
        }
        return;
    }
}

void CPlayer::stopSound(const char* file) {
    char name[kNameSize];
    soundName(file, name);
    for (CSound* s = m_sounds.head; s; s = ZList<CSound>::nextOf(s))
        if (s->referenceCount >= 1 && s->sound && strcasecmp(s->name, name) == 0)
            s->sound->stopSample();
}

bool CPlayer::isSoundPlaying(const char* file) {
    char name[kNameSize];
    soundName(file, name);
    for (CSound* s = m_sounds.head; s; s = ZList<CSound>::nextOf(s))
        if (s->referenceCount >= 1 && s->sound && strcasecmp(s->name, name) == 0 &&
            s->sound->isPlaying())
            return true;
    return false;
}

void CPlayer::setSoundVolume(const char* file, bool, long volume) {
    char name[kNameSize];
    soundName(file, name);
    for (CSound* s = m_sounds.head; s; s = ZList<CSound>::nextOf(s)) {
        if (s->referenceCount < 1 || strcasecmp(s->name, name) != 0) continue;
        // A sound never played follows the setting it would play with.
        if (s->settingIndex < 0)
            s->settingIndex = clampSettingIndex(
                CGame::getSettingIndexForSound(name, kEffectKind, 0, kSfxVolumeIndex));
        s->volume = volume;
        if (s->sound) s->sound->setVolume(soundSettingVolume(s->settingIndex) * volume / 100);
    }
}

void CPlayer::stopAllSounds() {
    for (CSound* s = m_sounds.head; s; s = ZList<CSound>::nextOf(s))
        if (s->sound) s->sound->stopSample();
}

void CPlayer::flushSounds(bool force) {
    ZSound* none = nullptr;
    flushList(m_sounds, force, none);
}

void CPlayer::referenceSoundF(bool loop, long voices, const char* format, ...) {
    char name[kNameSize];
    va_list arguments;
    va_start(arguments, format);
    formatName(name, format, arguments);
    va_end(arguments);
    referenceSound(name, loop, voices);
}

void CPlayer::dereferenceSoundF(bool loop, const char* format, ...) {
    char name[kNameSize];
    va_list arguments;
    va_start(arguments, format);
    formatName(name, format, arguments);
    va_end(arguments);
    dereferenceSound(name, loop);
}

void CPlayer::playSoundF(bool loop, long volume, const char* format, ...) {
    char name[kNameSize];
    va_list arguments;
    va_start(arguments, format);
    formatName(name, format, arguments);
    va_end(arguments);
    playSound(name, loop, volume);
}

// Music.

long CPlayer::musicVolume() const {
    if (m_musicMuted) return 0;
    return soundSettingVolume(CGame::getSettingIndexForMusic(m_musicName, kMusicVolumeIndex)) *
           m_musicVolume / 100;
}

void CPlayer::playMusic(const char* file, long volume) {
    char name[kNameSize];
    musicName(file, name);
    if (strcasecmp(name, m_musicName) == 0) return;
    snprintf(m_musicName, sizeof(m_musicName), "%s", name);
    m_musicVolume = clampVolume(volume);
    char path[kNameSize];
    ZMiscTools::makeFilePathInBuffer(name, path, sizeof(path));
    ZMiscTools::playBackgroundMusic(path, musicVolume(), true, false);
}

void CPlayer::stopMusic() {
    if (!m_musicName[0]) return;
    ZMiscTools::stopBackgroundMusic();
    m_musicName[0] = '\0';
    m_musicVolume = 100;
}

void CPlayer::setCurrentMusicVolume(long volume) {
    if (!m_musicName[0] || volume == m_musicVolume) return;
    m_musicVolume = clampVolume(volume);
    ZMiscTools::setBackgroundMusicVolume(musicVolume());
}

void CPlayer::muteMusic(bool mute) {
    if (mute == m_musicMuted) return;
    m_musicMuted = mute;
    ZMiscTools::setBackgroundMusicVolume(musicVolume());
}

void CPlayer::referenceMusic(const char*) {}

void CPlayer::dereferenceMusic(const char*) {}

void CPlayer::flushMusic(bool) {}

// Ambient sounds.

long CPlayer::ambientVolume(const CAmbientSound* ambient) const {
    return m_ambientMuted ? 0 : soundSettingVolume(ambient->settingIndex);
}

void CPlayer::referenceAmbientSound(const char* file) {
    char name[kNameSize];
    soundName(file, name);
    for (CAmbientSound* a = m_ambientSounds.head; a; a = ZList<CAmbientSound>::nextOf(a)) {
        if (strcasecmp(a->name, name) == 0) {
            a->referenceCount++;
            return;
        }
    }
    CAmbientSound* ambient = new CAmbientSound();
    snprintf(ambient->name, sizeof(ambient->name), "%s", name);
    ambient->referenceCount = 1;
    ambient->sound = loadSoundFile(name, true, 1);
    m_ambientSounds.addToTail(ambient);
}

void CPlayer::dereferenceAmbientSound(const char* file) {
    char name[kNameSize];
    soundName(file, name);
    for (CAmbientSound* a = m_ambientSounds.head; a; a = ZList<CAmbientSound>::nextOf(a))
        if (a->referenceCount > 0 && strcasecmp(a->name, name) == 0) a->referenceCount--;
}

void CPlayer::playAmbientSound(const char* file) {
    char name[kNameSize];
    soundName(file, name);
    long index = clampSettingIndex(
        CGame::getSettingIndexForSound(name, kAmbientKind, 0, kAmbientVolumeIndex));
    for (CAmbientSound* a = m_ambientSounds.head; a; a = ZList<CAmbientSound>::nextOf(a)) {
        if (a->referenceCount <= 0 || strcasecmp(a->name, name) != 0) continue;
        a->settingIndex = index;
        if (a->sound) a->sound->setVolume(ambientVolume(a));
        if (a->sound == m_currentAmbient) return;
        if (m_currentAmbient) m_currentAmbient->stopSample();
        m_currentAmbient = a->sound;
        if (m_currentAmbient) m_currentAmbient->playSample(false, false);
        snprintf(m_ambientName, sizeof(m_ambientName), "%s", a->name);
        return;
    }
}

void CPlayer::stopAmbientSound() {
    if (m_currentAmbient) m_currentAmbient->stopSample();
    m_currentAmbient = nullptr;
    m_ambientName[0] = '\0';
}

void CPlayer::muteAmbientSounds(bool mute) {
    if (mute == m_ambientMuted) return;
    m_ambientMuted = mute;
    for (CAmbientSound* a = m_ambientSounds.head; a; a = ZList<CAmbientSound>::nextOf(a))
        if (a->settingIndex >= 0 && a->referenceCount >= 1 && a->sound)
            a->sound->setVolume(ambientVolume(a));
}

void CPlayer::flushAmbientSounds(bool force) {
    flushList(m_ambientSounds, force, m_currentAmbient);
}

// Settings.

void CPlayer::applySoundVolumes(long index) {
    long volume = soundSettingVolume(index);
    for (CSound* s = m_sounds.head; s; s = ZList<CSound>::nextOf(s))
        if (s->settingIndex == index && s->referenceCount >= 1 && s->sound)
            s->sound->setVolume(volume * s->volume / 100);
    for (CAmbientSound* a = m_ambientSounds.head; a; a = ZList<CAmbientSound>::nextOf(a))
        if (a->settingIndex == index && a->referenceCount >= 1 && a->sound)
            a->sound->setVolume(ambientVolume(a));
    m_lock.acquire();
    for (CStreamedSound* s = m_streamedSounds.head; s; s = ZList<CStreamedSound>::nextOf(s))
        if (s->sound)
            s->sound->setVolume(soundSettingVolume(s->settingIndex) * clampVolume(s->volume) / 100);
    m_lock.release();
}

// Streamed sounds.

void CPlayer::streamSound(const char* file, double delay, long volume, long index) {
    // One load at a time: the previous one is waited for before its index can be stopped.
    delete m_streamerThread;
    m_streamerThread = nullptr;
    stopStreamedSounds(index);

    char name[kNameSize];
    soundName(file, name);
    StreamRequest* request = new StreamRequest();
    soundRelativePath(name, request->path);
    // A negative delay would read as started, and the sound would be dropped unplayed.
    request->delay = delay > 0 ? delay : 0;
    request->volume = volume;
    request->index = index;
    request->settingIndex = clampSettingIndex(
        CGame::getSettingIndexForSound(name, kStreamedKind, index, kSfxVolumeIndex));
    request->player = this;
    m_lock.acquire();
    request->generation = m_streamGeneration;
    m_streamingIndex = index;
    m_lock.release();
    m_streamerThread = new ZSysThread(soundStreamerThreadMain, request, 0, 0);
}

void CPlayer::soundStreamerThreadMain(void* data, long) {
    StreamRequest* request = static_cast<StreamRequest*>(data);
    CPlayer* player = request->player;
    uint64_t generation = request->generation;
    CStreamedSound* record = new CStreamedSound();
    record->delay = request->delay;
    record->volume = request->volume;
    record->index = request->index;
    record->settingIndex = request->settingIndex;
    char path[kNameSize];
    ZMiscTools::makeFilePathInBuffer(request->path, path, sizeof(path));
    delete request;

    bool loaded = ZResource::loadResource(path, record->data, record->size);
    player->m_lock.acquire();
    // A stop since the request was made cancels it.
    bool wanted = loaded && generation == player->m_streamGeneration;
    if (wanted) player->m_streamedSounds.addToTail(record);
    player->m_streamingIndex = -1;
    player->m_lock.release();
    if (!wanted) delete record;
}

void CPlayer::updateStreamedSounds(double elapsed) {
    m_lock.acquire();
    for (CStreamedSound* s = m_streamedSounds.head; s;) {
        CStreamedSound* next = ZList<CStreamedSound>::nextOf(s);
        if (s->data) {
            s->sound = new ZSound();
            bool made = s->sound->loadSampleFromPtr(reinterpret_cast<const char*>(s->data), s->size,
                                                    0, static_cast<int>(s->volume), false, 1);
            delete[] s->data;
            s->data = nullptr;
            s->size = 0;
            if (!made) {
                // Not a sound file: dropped like a file that cannot be read.
                m_streamedSounds.remove(s);
                delete s;
                s = next;
                continue;
            }
        }
        if (s->delay < 0) {
            if (!s->sound || !s->sound->isPlaying()) {
                m_streamedSounds.remove(s);
                delete s;
            }
        } else if (s->delay <= elapsed) {
            s->delay = -1;
            if (s->sound) {
                s->sound->setVolume(soundSettingVolume(s->settingIndex) * clampVolume(s->volume) /
                                    100);
                s->sound->playSample(false, false);
            }
        } else {
            s->delay -= elapsed;
        }
        s = next;
    }
    m_lock.release();
}

void CPlayer::stopStreamedSounds(long index) {
    m_lock.acquire();
    if (index < 0 || index == m_streamingIndex) m_streamGeneration++;
    for (CStreamedSound* s = m_streamedSounds.head; s;) {
        CStreamedSound* next = ZList<CStreamedSound>::nextOf(s);
        if (index < 0 || s->index == index) {
            m_streamedSounds.remove(s);
            delete s;
        }
        s = next;
    }
    m_lock.release();
}

bool CPlayer::isStreamedSoundPlaying(long index) {
    bool playing = false;
    m_lock.acquire();
    for (CStreamedSound* s = m_streamedSounds.head; s && !playing;
         s = ZList<CStreamedSound>::nextOf(s))
        playing = s->index == index && s->sound && s->sound->isPlaying();
    m_lock.release();
    return playing;
}

void CPlayer::releaseSounds() {
    // The stop comes first so that a load still running drops its record.
    stopStreamedSounds(-1);
    delete m_streamerThread;
    m_streamerThread = nullptr;
    stopAmbientSound();
    flushSounds(true);
    flushAmbientSounds(true);
}
