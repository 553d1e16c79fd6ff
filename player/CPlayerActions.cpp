#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "CPlayer.h"
#include "CUIDisplayHandler.h"
#include "ZCore.h"
#include "ZRandom.h"
#include "ZSound.h"
#include "ZVideo.h"

// The action interpreter: an event slot's or a key's action turned into its effect. Actions
// re-enter the player (broadcasts, copies, scene loads, state refreshes, drags); the depth of
// that nesting is bounded, and sprites freed meanwhile stay allocated until the next frame so
// the callers up the stack never touch freed memory.

namespace {

// At most n characters of text, cut at the first (or last) separator; what follows it goes to
// rest, and found tells whether there was one.
std::string cutText(const char* text, size_t n, char separator, bool last, std::string* rest,
                    bool* found) {
    std::string s(text, strnlen(text, n));
    size_t at = last ? s.rfind(separator) : s.find(separator);
    *found = at != std::string::npos;
    *rest = *found ? s.substr(at + 1) : std::string();
    if (*found) s.resize(at);
    return s;
}

// A key number plus the sprite's key offset, which comes from data and may be any number.
long offsetKey(long key, int64_t offset) {
    long sum;
    if (__builtin_add_overflow(key, offset, &sum)) return offset < 0 ? LONG_MIN : LONG_MAX;
    return sum;
}

long clampVolume(long volume) {
    return std::clamp(volume, 0l, 100l);
}

}  // namespace

bool CPlayer::enterAction(const char* what) {
    if (m_actionDepth >= kMaxActionDepth) {
        ZCore::logMessage("Game: actions nested deeper than %ld, '%s' dropped", kMaxActionDepth,
                          what ? what : "");
        return false;
    }
    m_actionDepth++;
    return true;
}

void CPlayer::leaveAction() {
    m_actionDepth--;
}

void CPlayer::releaseSpritesFreedDuringActions() {
    if (m_actionDepth > 0) return;
    for (CSprite* sprite : m_spritesFreedDuringActions) delete sprite;
    m_spritesFreedDuringActions.clear();
}

long CPlayer::actionKeyIndex(CSprite* sprite, long key) const {
    long index = offsetKey(key - 1, sprite->state ? sprite->state->keyOffset : 0);
    return std::clamp(index, 0l, std::max(0l, sprite->keyCount - 1));
}

void CPlayer::playSpriteToKeyIndex(CSprite* sprite, long index, bool cut) {
    CSpriteState* state = sprite->state;
    if (!state || sprite->keyCount <= 0) return;
    index = std::clamp(index, 0l, sprite->keyCount - 1);
    double time = sprite->keys[index].time;
    double old = state->targetTime;
    state->targetTime = time;
    if (cut) state->time = time;
    state->playMode = 1;
    if (old != time)
        callSceneHandlers(eSceneHandlerSpritePlayToTime, sprite, nullptr,
                          static_cast<uint64_t>(static_cast<int64_t>(time)), nullptr);
}

void CPlayer::finishSpriteAction(CSprite* sprite) {
    if (!sprite->state) return;
    if (updateSprite(sprite, 0, false, false) && sprite->state) applySpriteColor(sprite);
}

long CPlayer::actionCurrentKey(CSprite* sprite) {
    CSpriteState* state = sprite->state;
    double time = state->targetTime < 0 || m_keyActionRunning ? state->time : state->targetTime;
    return getSpriteKeyForTime(sprite, time);
}

void CPlayer::actionCopySprite(CSprite* sprite, const char* param, bool underPointer) {
    if (m_debug)
        ZCore::logMessage(underPointer ? "Game: %s: copy sprite '%s' under pointer"
                                       : "Game: %s: copy sprite '%s'",
                          sprite->name, param);
    if (!sprite->scene) return;
    CSprite* source = nullptr;
    for (CSprite* s = sprite->scene->sprites.head; s && !source; s = ZList<CSprite>::nextOf(s))
        if (strcmp(s->name, param) == 0) source = s;
    if (!source) return;
    CSprite* copy = underPointer
                        ? copySpriteAt(source, ZVector2{m_pointerX, m_pointerY}, true, false,
                                       nullptr, nullptr, 0, nullptr)
                        : copySpriteAndAlign(source, sprite, false, getCurrentSpriteKey(sprite),
                                             nullptr, 0, nullptr);
    if (!copy || !copy->state) return;
    double old = copy->state->targetTime;
    copy->state->targetTime = -1;
    copy->state->playMode = 1;
    if (old != -1)
        callSceneHandlers(eSceneHandlerSpritePlayToTime, copy, nullptr,
                          static_cast<uint64_t>(static_cast<int64_t>(-1)), nullptr);
    if (!copy->state) return;
    if (updateSprite(copy, 0, false, false) && copy->state) {
        applySpriteColor(copy);
        if (underPointer) containCopiedSprite(copy);
    }
}

void CPlayer::actionInsertScene(CSprite* sprite, const char* param, bool queued) {
    if (!param[0]) return;
    std::string layerText;
    bool hasLayer;
    std::string name = cutText(param, 99, ':', false, &layerText, &hasLayer);
    long layer = hasLayer ? atol(layerText.c_str()) : -1;
    if (!queued && layer < 0) layer = (sprite->scene ? sprite->scene->layer : 0) + 1;
    // Layers past the last scene layer are never drawn.
    if (layer > kSceneSlots - 1) {
        ZCore::logMessage("Game: %s: scene '%s' asked for layer %ld, inserted in layer %ld",
                          sprite->name, name.c_str(), layer, kSceneSlots - 1);
        layer = kSceneSlots - 1;
    }
    if (queued) {
        addSceneToLoadQueue(name.c_str(), layer);
        return;
    }
    CScene* scene = loadScene(name.c_str());
    uploadScene(scene);
    insertScene(scene, layer, false);
}

void CPlayer::actionSound(CSprite* sprite, long type, const char* param) {
    if (!param[0]) return;
    std::string volumeText;
    bool hasVolume;
    std::string file = cutText(param, 259, ',', false, &volumeText, &hasVolume);
    if (type == 20) {
        // The whole text names the file.
        file.assign(param, strnlen(param, 259));
        if (m_debug) ZCore::logMessage("Game: %s: stop sound %s", sprite->name, file.c_str());
        removeSceneCommandsForSound(sprite->scene, file.c_str());
        stopSound(file.c_str());
        return;
    }
    long volume = hasVolume ? clampVolume(atol(volumeText.c_str())) : 100;
    bool loop = type == 19;
    if (m_debug)
        ZCore::logMessage("Game: %s: play sound %s (%s), volume %ld", sprite->name, file.c_str(),
                          loop ? "loop" : "once", volume);
    removeSceneCommandsForSound(sprite->scene, file.c_str());
    if (loop) {
        addSceneCommand(sprite->scene, 10, volume, 0, 0, 0, 0, file.c_str(), 0, 0, nullptr, nullptr,
                        nullptr);
        if (isSoundPlaying(file.c_str())) return;
    }
    playSound(file.c_str(), loop, volume);
}

void CPlayer::executeSpriteAction(CSprite* sprite, _CSpriteAction* action) {
    if (!sprite || !action) return;
    // The parameter belongs to the slot or key that holds it, which the filter or the action
    // may replace.
    std::string text = action->param ? action->param : "";
    _CSpriteAction copy{action->type, &text[0]};
    // Entered before the filter, which is game code: a sprite it deletes stays readable here.
    if (!enterAction(sprite->name)) return;
    bool registered = isSpriteRegistered(sprite);
    bool allowed = !m_actionFilter || m_actionFilter(sprite, &copy);
    // A sprite that the filter took out of its scene has nothing left to act on.
    if (allowed && copy.type >= 1 && copy.type <= 34 && (!registered || isSpriteRegistered(sprite)))
        runSpriteAction(sprite, &copy);
    leaveAction();
}

void CPlayer::runSpriteAction(CSprite* sprite, _CSpriteAction* action) {
    const char* param = action->param;
    const char* name = sprite->name;
    CSpriteState* state = sprite->state;
    const long keys = sprite->keyCount;
    switch (action->type) {
        case 1: {
            if (!state) return;
            if (!strchr(param, ',')) {
                long k = atol(param);
                if (k < 1 || k > keys) return;
                if (m_debug) ZCore::logMessage("Game: %s: go to key %ld", name, k);
                playSpriteToKeyIndex(sprite, actionKeyIndex(sprite, k), false);
            } else {
                long from = 0, to = 0;
                if (sscanf(param, "%ld,%ld", &from, &to) < 1) from = to = 0;
                bool once = from < 0;
                if (once) from = from == LONG_MIN ? 0 : -from;
                if (from < 1 || from > keys || to < 0 || to > keys) return;
                if (m_debug)
                    ZCore::logMessage("Game: %s: go from key %ld to key %ld", name, from, to);
                state->currentKey = offsetKey(from - 1, state->keyOffset);
                playSpriteKeys(sprite, from - 1, to - 1, once ? 1 : 0);
            }
            break;
        }
        case 2: {
            long k = atol(param);
            if (!state || k < 1 || k > keys) return;
            if (m_debug) ZCore::logMessage("Game: %s: cut to key %ld", name, k);
            playSpriteToKeyIndex(sprite, actionKeyIndex(sprite, k), true);
            break;
        }
        case 3:
        case 31: {
            if (!param[0] || !sprite->scene || !sprite->sceneState) return;
            std::string fadeText;
            bool hasFade = false;
            std::string target = action->type == 3
                                     ? cutText(param, 99, ',', true, &fadeText, &hasFade)
                                     : std::string(param, strnlen(param, 99));
            double fade = -1;
            if (action->type == 3) {
                fade = 500;
                if (hasFade) {
                    long ms = atol(fadeText.c_str());
                    fade = ms == 0 ? 1 : (ms < 0 ? 500 : ms);
                }
                if (m_debug)
                    ZCore::logMessage("Game: %s: switch to scene '%s'", name, target.c_str());
            } else if (m_debug) {
                ZCore::logMessage("Game: %s: cut to scene '%s'", name, target.c_str());
            }
            switchScene(sprite->scene, sprite->sceneState, target.c_str(), 0, fade);
            return;
        }
        case 4:
        case 7: {
            if (!state || keys <= 0) return;
            long c = actionCurrentKey(sprite);
            bool next = action->type == 4;
            if (next ? c >= keys - 1 : c < 1) return;
            if (m_debug)
                ZCore::logMessage(
                    next ? "Game: %s: go to next key (%ld)" : "Game: %s: go to prev key (%ld)",
                    name, next ? c + 2 : c);
            playSpriteToKeyIndex(sprite, offsetKey(next ? c + 1 : c - 1, state->keyOffset), false);
            break;
        }
        case 5:
            if (m_debug) ZCore::logMessage("Game: %s: broadcast event '%s'", name, param);
            broadcastUserEvent(param, false);
            return;
        case 6:
            if (!state) return;
            if (m_debug) ZCore::logMessage("Game: %s: stop", name);
            state->targetTime = state->time;
            state->playMode = 2;
            break;
        case 8:
            if (m_debug) ZCore::logMessage("Game: %s: execute script: %s", name, param);
            return;
        case 9:
            if (!state) return;
            state->keyOffset = atol(param);
            if (m_debug)
                ZCore::logMessage("Game: %s: set key offset to %ld", name,
                                  static_cast<long>(state->keyOffset));
            return;
        case 10:
        case 12:
            actionCopySprite(sprite, param, action->type == 12);
            return;
        case 11: {
            CSprite* source = getDropSourceSprite();
            if (!source || !getSpriteBrush(source)) return;
            if (m_debug)
                ZCore::logMessage("Game: %s: accept drop of '%s'", name,
                                  getSpriteBrush(source)->name);
            char dragName[100];
            snprintf(dragName, sizeof(dragName), "%s",
                     source->state ? source->state->dragName : "");
            callSceneHandlers(eSceneHandlerDropAccepted, sprite, dragName, 0, nullptr);
            if (CUIDisplayHandler* handler = nearestDisplayHandler(source))
                handler->onDropAccepted(dragName, sprite);
            return;
        }
        case 13:
        case 15:
            actionInsertScene(sprite, param, action->type == 13);
            return;
        case 14:
            if (CScene* scene = findLoadedScene(param))
                if (scene->sceneState) scene->sceneState->closeRequested = true;
            return;
        case 16:
            if (!param[0]) return;
            if (m_debug) ZCore::logMessage("Game: %s: play music %s", name, param);
            if (sprite->sceneState)
                snprintf(sprite->sceneState->music, sizeof(sprite->sceneState->music), "%s", param);
            {
                std::string file(param, strnlen(param, 259));
                playMusic(file.c_str(), 100);
            }
            return;
        case 17:
            if (m_debug) ZCore::logMessage("Game: %s: stop music", name);
            if (sprite->sceneState) sprite->sceneState->music[0] = '\0';
            stopMusic();
            return;
        case 18:
        case 19:
        case 20:
            actionSound(sprite, action->type, param);
            return;
        case 21: {
            if (!param[0]) return;
            std::string file(param, strnlen(param, 259));
            long volume = 100, index = 0;
            size_t comma = file.find(',');
            if (comma != std::string::npos) {
                const char* rest = file.c_str() + comma + 1;
                volume = clampVolume(atol(rest));
                if (const char* second = strchr(rest, ',')) index = std::max(0l, atol(second + 1));
                file.resize(comma);
            }
            if (m_debug)
                ZCore::logMessage("Game: %s: stream sound %s, volume %ld, index %ld", name,
                                  file.c_str(), volume, index);
            streamSound(file.c_str(), 0, volume, index);
            return;
        }
        case 22:
            if (!param[0]) {
                stopStreamedSounds(0);
                return;
            }
            if (m_debug)
                ZCore::logMessage("Game: %s: stop streamed sounds for index %ld", name,
                                  atol(param));
            stopStreamedSounds(atol(param));
            return;
        case 23:
            if (!param[0]) return;
            if (m_debug) ZCore::logMessage("Game: %s: play ambient %s", name, param);
            if (sprite->sceneState)
                snprintf(sprite->sceneState->ambient, sizeof(sprite->sceneState->ambient), "%s",
                         param);
            {
                std::string file(param, strnlen(param, 259));
                playAmbientSound(file.c_str());
            }
            return;
        case 24:
            if (m_debug) ZCore::logMessage("Game: %s: stop ambient", name);
            if (sprite->sceneState) sprite->sceneState->ambient[0] = '\0';
            stopAmbientSound();
            return;
        case 25: {
            CScene* scene = sprite->scene;
            if (!scene || !sprite->sceneState) return;
            resetSceneState(scene, sprite->sceneState);
            if (m_debug) ZCore::logMessage("Game: reset scene %s", scene->name);
            refreshGameState();
            return;
        }
        case 26: {
            const char* comma = strchr(param, ',');
            if (!state || !comma) return;
            std::string first = std::string(param, comma - param).substr(0, 99);
            std::string second = std::string(comma + 1).substr(0, 99);
            long a = atol(first.c_str()), b = atol(second.c_str());
            if (a < 1 || a > keys || b < 1 || b > keys) return;
            if (a > b) std::swap(a, b);
            long k = a == b ? a
                            : a + static_cast<long>(ZRandom::getRandom() %
                                                    static_cast<unsigned long>(b - a + 1));
            if (m_debug)
                ZCore::logMessage("Game: %s: cut to random key %ld..%ld, selected key %ld", name, a,
                                  b, k);
            playSpriteToKeyIndex(sprite, actionKeyIndex(sprite, k), true);
            break;
        }
        case 27:
        case 28: {
            _CBrush* brush = getSpriteBrush(sprite);
            if (!brush || !brush->video || !state) return;
            ZVideo* video = brush->videoPlayer;
            if (action->type == 27) {
                if (!video) return;
                if (ZSound* sound = dynamic_cast<ZSound*>(video->getSoundStream()))
                    sound->setVolume(clampVolume(readSettingAsLong("sfxvolume")));
                state->videoPaused = false;
                video->rewind();
                video->resumeTime();
            } else if (!state->videoPaused) {
                if (video) {
                    state->videoPaused = true;
                    video->pauseTime();
                } else if (sprite->element) {
                    state->videoPaused = true;
                }
            }
            return;
        }
        case 29:
        case 30: {
            if (!state || keys <= 0) return;
            long c = getCurrentSpriteKey(sprite);
            bool next = action->type == 29;
            if (next ? c >= keys - 1 : c < 1) return;
            if (m_debug)
                ZCore::logMessage(
                    next ? "Game: %s: cut to next key (%ld)" : "Game: %s: cut to prev key (%ld)",
                    name, next ? c + 2 : c);
            playSpriteToKeyIndex(sprite, offsetKey(next ? c + 1 : c - 1, state->keyOffset), true);
            break;
        }
        case 32:
            if (state && !state->dragging) dragSprite(sprite, sprite->name);
            return;
        case 33:
            if (state) moveSpriteToFront(sprite, true);
            return;
        case 34:
            if (state) moveSpriteToBack(sprite, true);
            return;
        default:
            return;
    }
    // The types that move the sprite in time show the change at once.
    finishSpriteAction(sprite);
}
