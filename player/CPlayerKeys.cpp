#include <cmath>
#include <cstring>
#include <new>

#include "CEmitter.h"
#include "CGame.h"
#include "CPlayer.h"
#include "CSceneState.h"
#include "CSpriteState.h"
#include "CUIEmitter.h"
#include "ZCore.h"
#include "ZMatrix.h"
#include "ZSound.h"
#include "ZUIImage.h"
#include "ZVideo.h"

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr unsigned long kTinySpriteId = 0xFFFFFFFFul;

float lerp(float a, float b, float u) {
    return a + u * (b - a);
}

ZVector2 lerp(const ZVector2& a, const ZVector2& b, float u) {
    return {lerp(a.x, b.x, u), lerp(a.y, b.y, u)};
}

ZVector2 add(const ZVector2& a, const ZVector2& b) {
    return {a.x + b.x, a.y + b.y};
}

ZVector2 sub(const ZVector2& a, const ZVector2& b) {
    return {a.x - b.x, a.y - b.y};
}

float trackLength(const CSprite* sprite) {
    return sprite->keyCount > 0 ? sprite->keys[sprite->keyCount - 1].time : 0.0f;
}

// The time on the track that the keys are looked up with: a looping track wraps, one whose
// length is not positive stays at 0.
double wrappedTime(const CSprite* sprite, double t) {
    if (!sprite->loopKeys) return t;
    double length = trackLength(sprite);
    if (length <= 0) return 0;
    double w = std::fmod(t, length);
    return w < 0 ? w + length : w;
}

float easeCurve(bool in, bool out, float s) {
    if (in && out) return (1.0f - std::cos(s * kPi)) / 2.0f;
    if (in) return 1.0f - std::sin((1.0f - s) * kPi / 2.0f);
    if (out) return std::sin(s * kPi / 2.0f);
    return s;
}

double easedTime(const CSprite* sprite, double t) {
    if (!sprite->easeIn && !sprite->easeOut) return t;
    double length = trackLength(sprite);
    float s = length > 0 ? static_cast<float>(t / length) : 0.0f;
    if (!sprite->loopKeys) return easeCurve(sprite->easeIn, sprite->easeOut, s) * length;
    if (s < 0.5f) return easeCurve(sprite->easeIn, sprite->easeOut, 2 * s) / 2 * length;
    return (easeCurve(sprite->easeIn, sprite->easeOut, 2 * s - 1) / 2 + 0.5f) * length;
}

ZVector2 keyAnchorOffset(const CSpriteState* state, long key) {
    if (!state || !state->keyAnchorOffsets || key < 0 || key >= state->keyAnchorOffsetCount)
        return {0, 0};
    return state->keyAnchorOffsets[key];
}

void moveKey(CSpriteKey& key, const ZVector2& by) {
    key.anchor = add(key.anchor, by);
    key.rectX1 += by.x;
    key.rectY1 += by.y;
    key.rectX2 += by.x;
    key.rectY2 += by.y;
}

// Frames per second of a key's brush animation; a negative key rate stands for the brush's.
float keyFrameRate(const _CBrush* brush, const CSpriteKey& key) {
    return key.brushAnimRate < 0 ? brush->animRate : key.brushAnimRate;
}

// x modulo range, never negative; a range that is not positive has no frames to run over.
double wrapCount(double x, double range) {
    if (!(range > 0) || !std::isfinite(x)) return 0;
    double w = std::fmod(x, range);
    return w < 0 ? w + range : w;
}

// A frame position turned round for an animation that changes direction: its fractional part f
// becomes 1 - f, so the new run starts in the frame the old one showed.
double turnedFraction(double p) {
    double whole = std::floor(p);
    return whole + (1 - (p - whole));
}

}  // namespace

_CBrush* CPlayer::getSpriteBrush(const CSprite* sprite) {
    const CScene* scene = sprite->scene;
    if (!scene || !scene->brushes || sprite->brushIndex < 0 ||
        sprite->brushIndex >= scene->brushCount)
        return nullptr;
    return &scene->brushes[sprite->brushIndex];
}

ZVector2 CPlayer::screenToElement(ZUIElement* element, const ZVector2& screen) {
    ZMatrix inverse = element->getAbsMatrix().inverse();
    ZVector2 p = inverse.transform2(ZVector2{screen.x, -screen.y});
    return {p.x, -p.y};
}

ZVector2 CPlayer::spriteToScreen(ZUIElement* element, const ZVector2& p) {
    ZVector2 out{};
    element->getAbsPosition(p.x - element->getPositionX(), p.y - element->getPositionY(), out.x,
                            out.y);
    return out;
}

CSpriteKey CPlayer::interpolateKey(CSprite* sprite) {
    CSpriteKey result{};
    result.index = -1;
    if (!sprite || sprite->keyCount <= 0 || !sprite->keys) return result;
    CSpriteState* state = sprite->state;
    const long last = sprite->keyCount - 1;
    const CSpriteKey* keys = sprite->keys;
    const bool circle = sprite->anchorPathType == 3 || sprite->anchorPathType == 4;
    double t = wrappedTime(sprite, state ? state->time : 0);

    auto endKey = [&](long k, bool invisible) {
        result = keys[k];
        result.index = invisible ? -1 : k;
        if (invisible) result.a = 0;
        if (circle) result.anchor = keys[k].ctrl1;
        moveKey(result, keyAnchorOffset(state, k));
    };
    // A time that is not a number counts as before the track.
    if (!(t >= keys[0].time) || !state || state->playMode == 0) {
        endKey(0, true);
    } else if (last == 0 || !(t < keys[last].time)) {
        endKey(last, false);
    } else {
        t = easedTime(sprite, t);
        long i = 0;
        while (i < last - 1 && !(keys[i + 1].time > t)) i++;
        const CSpriteKey& a = keys[i];
        const CSpriteKey& b = keys[i + 1];
        float u = b.time != a.time ? static_cast<float>((t - a.time) / (b.time - a.time)) : 0.0f;
        if (!(u > 0)) u = 0;
        if (u > 1) u = 1;
        result = a;
        result.index = i;
        ZVector2 anchorA = add(a.anchor, keyAnchorOffset(state, i));
        ZVector2 anchorB = add(b.anchor, keyAnchorOffset(state, i + 1));
        result.angle = lerp(a.angle, b.angle, u);
        bool bezier = (sprite->anchorPathType == 1 || sprite->anchorPathType == 2) &&
                      sprite->anchorPath.getSegmentCount() >= last;
        if (circle) {
            ZVector2 da = sub(a.ctrl1, a.anchor), db = sub(b.ctrl1, b.anchor);
            float angleA = std::atan2(da.y, da.x), angleB = std::atan2(db.y, db.x);
            if (sprite->anchorPathType == 3) {
                if (angleA >= angleB) angleB += 2 * kPi;
            } else {
                angleB -= 2 * kPi;
            }
            float angle = lerp(angleA, angleB, u);
            float ra = da.x * da.x + da.y * da.y, rb = db.x * db.x + db.y * db.y;
            float radius = std::sqrt(std::fmax(0.0f, lerp(ra, rb, u)));
            ZVector2 centre = lerp(anchorA, anchorB, u);
            result.anchor = {centre.x + radius * std::cos(angle),
                             centre.y + radius * std::sin(angle)};
        } else if (bezier) {
            float la = i > 0 ? sprite->anchorPath.getLengthFromSegment(i) : 0.0f;
            float lb = sprite->anchorPath.getLengthFromSegment(i + 1);
            ZVector2 tangent{};
            long segment = 0;
            sprite->anchorPath.computeFromLength(la + (lb - la) * u, result.anchor, tangent,
                                                 segment);
            if (sprite->anchorPathType == 1)
                result.angle += std::atan2(tangent.y, tangent.x) * 180.0f / kPi;
        } else {
            result.anchor = lerp(anchorA, anchorB, u);
        }
        // The rectangle keeps its place around the anchor, whatever path the anchor takes.
        result.rectX1 = result.anchor.x + lerp(a.rectX1 - a.anchor.x, b.rectX1 - b.anchor.x, u);
        result.rectY1 = result.anchor.y + lerp(a.rectY1 - a.anchor.y, b.rectY1 - b.anchor.y, u);
        result.rectX2 = result.anchor.x + lerp(a.rectX2 - a.anchor.x, b.rectX2 - b.anchor.x, u);
        result.rectY2 = result.anchor.y + lerp(a.rectY2 - a.anchor.y, b.rectY2 - b.anchor.y, u);
        for (long q = 0; q < 4; q++)
            result.quadOffsets[q] = lerp(a.quadOffsets[q], b.quadOffsets[q], u);
        result.scaleX = lerp(a.scaleX, b.scaleX, u);
        result.scaleY = lerp(a.scaleY, b.scaleY, u);
        result.shearX = lerp(a.shearX, b.shearX, u);
        result.shearY = lerp(a.shearY, b.shearY, u);
        result.r = lerp(a.r, b.r, u);
        result.g = lerp(a.g, b.g, u);
        result.b = lerp(a.b, b.b, u);
        result.a = lerp(a.a, b.a, u);
        result.lightness = lerp(a.lightness, b.lightness, u);
    }
    // The result is a value: it must not share the stored key's action texts.
    result.actionType[0] = result.actionType[1] = 0;
    result.actionParam[0] = result.actionParam[1] = nullptr;
    return result;
}

float CPlayer::interpolateBrushFrame(CSprite* sprite, CSpriteKey* key) {
    if (!sprite || !key || !sprite->keys) return 0;
    _CBrush* brush = getSpriteBrush(sprite);
    if (!brush) return 0;
    long upTo = key->index < sprite->keyCount ? key->index : sprite->keyCount - 1;
    double now = sprite->state ? sprite->state->time : 0;
    if (sprite->loopKeys && sprite->wrapAnim) now = wrappedTime(sprite, now);
    double p = 0;
    bool reverse = false;
    for (long k = 0; k <= upTo; k++) {
        const CSpriteKey& kk = sprite->keys[k];
        float rate = keyFrameRate(brush, kk);
        double end = k < upTo ? sprite->keys[k + 1].time : now;
        // A rate of 0 or less (the brush default) holds the frame.
        double e = rate > 0 ? rate * (end - kk.time) / 1000.0 : 0.0;
        double lo = kk.minBrushFrame, hi = kk.maxBrushFrame, start = kk.startBrushFrame;
        if (hi < lo) hi = lo;
        switch (kk.brushAnimMode) {
            case 1: {
                double from;
                if (start >= 0) {
                    from = start + 0.999;
                } else if (k == 0) {
                    from = hi + 0.999;
                } else {
                    from = p;
                    if (!reverse) from = turnedFraction(p) - 0.001;
                }
                p = lo + wrapCount(from - e - lo, hi - lo + 1);
                reverse = true;
                break;
            }
            case 2: {
                double count;
                if (reverse && k > 0) {
                    count = (start >= 0 ? start + 0.999 : p) - e;
                } else {
                    double from = start >= 0 ? start : (k == 0 ? lo : p);
                    count = from + e;
                }
                double value = lo + wrapCount(count - lo, 2 * (hi - lo));
                bool turned = sprite->blendFrames ? value > hi : value >= hi + 1;
                if (turned) {
                    p = sprite->blendFrames ? hi - (value - hi) : (hi + 0.999) - (value - hi);
                    reverse = true;
                } else {
                    p = value;
                    reverse = false;
                }
                if (p < lo) p = lo;
                if (p > hi + 0.999) p = hi + 0.999;
                break;
            }
            default: {
                double from;
                if (start >= 0) {
                    from = start;
                } else if (k == 0) {
                    from = lo;
                } else {
                    from = p;
                    if (reverse) from = turnedFraction(p) + 0.001;
                }
                p = lo + wrapCount(e + from - lo, hi - lo + 1);
                reverse = false;
                break;
            }
        }
    }
    return static_cast<float>(reverse ? -p : p);
}

float CPlayer::getSpriteBrushFrame(CSprite* sprite) {
    if (!sprite || !sprite->state || !getSpriteBrush(sprite)) return 0;
    CSpriteKey key = interpolateKey(sprite);
    return std::fabs(interpolateBrushFrame(sprite, &key));
}

float CPlayer::getSpriteBrushAnimRate(CSprite* sprite) {
    if (!sprite) return 0;
    _CBrush* brush = getSpriteBrush(sprite);
    return brush ? brush->animRate : 0;
}

float CPlayer::amortizeProgress(CSprite* sprite, float progress) {
    if (!sprite) return progress;
    return easeCurve(sprite->easeIn, sprite->easeOut, progress);
}

namespace {

// The key at a time: searched upwards, or from the end while playing down to an earlier target.
long keyAtTime(const CSprite* sprite, double t, bool downward) {
    if (t < 0) t = 0;
    t = wrappedTime(sprite, t);
    const long last = sprite->keyCount - 1;
    const CSpriteKey* keys = sprite->keys;
    if (!keys || last < 0) return -1;
    if (!downward) {
        for (long i = 0; i <= last; i++)
            if (keys[i].time <= t && (i == last || t < keys[i + 1].time)) return i;
        return -1;
    }
    for (long j = last; j >= 0; j--)
        if (keys[j].time >= t && (j == 0 || t > keys[j - 1].time)) return j;
    return -1;
}

// A time as the whole number the scene handlers are told, kept within the range of one.
uint64_t wholeTime(double t) {
    if (!(t > -9.2e18)) t = -9.2e18;
    if (t > 9.2e18) t = 9.2e18;
    return static_cast<uint64_t>(static_cast<int64_t>(t));
}

bool playsDownward(const CSpriteState* state) {
    return state->targetTime >= 0 && state->targetTime < state->time;
}

}  // namespace

long CPlayer::getSpriteKeyForTime(CSprite* sprite, double time) {
    if (!sprite || !sprite->state) return 0;
    return keyAtTime(sprite, time, playsDownward(sprite->state));
}

long CPlayer::getCurrentSpriteKey(CSprite* sprite) {
    if (!sprite || !sprite->state) return 0;
    return keyAtTime(sprite, sprite->state->time, playsDownward(sprite->state));
}

// A sprite whose only pointer events are drops onto it.
bool CPlayer::takesDropsOnly(const CSprite* sprite) {
    bool drop = false;
    for (long i = 0; i < CSprite::kUserEvents && !drop; i++) {
        long slot = userEventSlot(i);
        const char* names = sprite->userEventNames[i];
        drop = sprite->eventActionType[slot] != 0 && names &&
               userEventNamesMatch(names, "drop:", nullptr);
    }
    if (!drop) return false;
    static const long pointerSlots[] = {0, 1, 2, 3, 8, 9, 10, 11};
    for (long slot : pointerSlots)
        if (sprite->eventActionType[slot] != 0) return false;
    return true;
}

bool CPlayer::updateSprite(CSprite* sprite, double frameTime, bool mayDelete, bool forceDelete) {
    if (!sprite || !sprite->state || !sprite->scene || !sprite->sceneState) return true;
    CSpriteState* state = sprite->state;
    CScene* scene = sprite->scene;
    ZUIElement* element = sprite->element;

    // 1. The first update shows the current settings and takes up the cursor role.
    if (state->firstUpdate) {
        state->firstUpdate = false;
        for (long i = 0; i < CSprite::kUserEvents; i++) {
            long slot = userEventSlot(i);
            const char* names = sprite->userEventNames[i];
            if (sprite->eventActionType[slot] == 0 || !names || !strstr(names, "setting:"))
                continue;
            _CSpriteAction action{sprite->eventActionType[slot], sprite->eventActionParam[slot]};
            executeSpriteAction(sprite, &action);
        }
        // Actions may give the sprite a fresh state (a brush swap does).
        state = sprite->state;
        if (!state) return true;
        if (state->isCursor) setSpriteAsCursor(sprite);
        if (state->isSecondaryCursor) setSpriteAsSecondaryCursor(sprite);
        state = sprite->state;
        if (!state) return true;
    }

    // 2. Visibility forced by the game.
    if (state->visibilityOverride && element && element->getVisibility() == state->hidden)
        element->setVisibility(!state->hidden);

    // 3. The clock.
    _CBrush* brush = getSpriteBrush(sprite);
    if (!brush && sprite->brushIndex >= 0 && m_debug)
        ZCore::logMessage("Game: %s: brush %ld out of range, shown as a placeholder", sprite->name,
                          sprite->brushIndex);
    if (state->playMode == 1 && !m_paused) {
        double step = state->speed * frameTime;
        if (!std::isfinite(step)) step = 0;
        if (state->targetTime >= 0) {
            bool down = state->time > state->targetTime;
            state->time += down ? -step : step;
            if (down ? state->time <= state->targetTime : state->time >= state->targetTime) {
                state->time = state->targetTime;
                state->playMode = 2;
            }
        } else {
            state->time += step;
            if (!sprite->loopKeys && sprite->keyCount > 0) {
                double end = trackLength(sprite);
                if (brush) {
                    const CSpriteKey& last = sprite->keys[sprite->keyCount - 1];
                    float rate = keyFrameRate(brush, last);
                    if (rate > 0 && last.maxBrushFrame > last.minBrushFrame)
                        end += (last.maxBrushFrame - last.minBrushFrame) * 1000.0 / rate;
                }
                if (state->time > end) state->time = end;
            }
        }
    }

    // 4. The key the clock has reached runs its actions once.
    long current = keyAtTime(sprite, state->time, playsDownward(state));
    if (current != state->currentKey && (state->playMode != 0 || !sprite->noAutoplay)) {
        state->currentKey = current;
        if (current >= 0 && current < sprite->keyCount) {
            bool wasRunning = m_keyActionRunning;
            m_keyActionRunning = true;
            CSpriteKey& key = sprite->keys[current];
            if (key.actionType[0] != 0) {
                _CSpriteAction action{key.actionType[0], key.actionParam[0]};
                executeSpriteAction(sprite, &action);
            }
            // The first action may have moved the track: the second is that of the key now current.
            long now = sprite->state ? sprite->state->currentKey : -1;
            if (now >= 0 && now < sprite->keyCount && sprite->keys[now].actionType[1] != 0) {
                _CSpriteAction action{sprite->keys[now].actionType[1],
                                      sprite->keys[now].actionParam[1]};
                executeSpriteAction(sprite, &action);
            }
            m_keyActionRunning = wasRunning;
            state = sprite->state;
            if (!state || !sprite->scene) return true;
            scene = sprite->scene;
            brush = getSpriteBrush(sprite);
        }
    }

    // 5. The element follows the interpolated key.
    element = sprite->element;
    if (element) {
        CSpriteKey key = interpolateKey(sprite);
        if (state->inContainer && m_cursorContainer) {
            ZVector2 pointer = screenToElement(m_cursorContainer, {m_pointerX, m_pointerY});
            state->anchorOffset = sub(pointer, key.anchor);
            if (m_touchMode) {
                ZVector2 touch{0, 0};
                CGame::getTouchDragOffset(sprite, touch);
                state->anchorOffset = sub(state->anchorOffset, touch);
            }
        }
        moveKey(key, state->anchorOffset);
        key.rectX1 += state->rectOffsetTopLeft.x;
        key.rectY1 += state->rectOffsetTopLeft.y;
        key.rectX2 += state->rectOffsetBottomRight.x;
        key.rectY2 += state->rectOffsetBottomRight.y;
        key.angle += state->angleOffset;
        state->keyFlags = key.flags;

        if (!brush) {
            float margin = sprite->id == kTinySpriteId ? 0.0f : 20.0f;
            element->setPosition(key.anchor.x - margin, key.anchor.y - margin);
        } else {
            ZUIImage* image = sprite->image;
            long frameCount = brush->frameCount > 0 ? brush->frameCount : 1;
            if (image && brush->particleCount <= 0) {
                float f = std::fabs(interpolateBrushFrame(sprite, &key));
                if (!(f < static_cast<float>(frameCount))) f = f > 0 ? frameCount - 1 : 0;
                long frame = static_cast<long>(f);
                auto shown = [&](long n) {
                    n += static_cast<long>(state->brushFrameOffset);
                    if (n > frameCount - 1) n = frameCount - 1;
                    return n < 0 ? 0L : n;
                };
                if (sprite->blendFrames) {
                    long second = frame >= key.maxBrushFrame ? key.minBrushFrame : frame + 1;
                    image->setVisualCurrentFrame("frames", shown(frame), shown(second),
                                                 f - static_cast<float>(frame));
                } else {
                    image->setVisualCurrentFrame("frames", shown(frame), -1, 0);
                }
            }
            // A text sprite is laid out in its key rectangle whatever its brush's mode, as its
            // insertion placed it.
            if ((brush->mode >= 1 && brush->mode <= 6) || brush->fontHeight > 0) {
                float w = key.rectX2 - key.rectX1, h = key.rectY2 - key.rectY1;
                element->setSize(w, h);
                element->setCenter(key.anchor.x - (key.rectX1 + key.rectX2) / 2,
                                   key.anchor.y - (key.rectY1 + key.rectY2) / 2);
                element->setPosition(key.rectX1, key.rectY1);
            } else {
                element->setPosition(
                    key.anchor.x - (brush->pivotX - brush->texSrcX1) + state->pivotOffset.x,
                    key.anchor.y - (brush->pivotY - brush->texSrcY1) + state->pivotOffset.y);
            }
            if (brush->mode == 0 && image && sprite->atlasRegions) {
                bool quads = sprite->usesQuads;
                for (long q = 0; q < 4 && !quads; q++)
                    quads = key.quadOffsets[q].x != 0 || key.quadOffsets[q].y != 0;
                if (quads) {
                    float w = element->getWidth(), h = element->getHeight();
                    const ZVector2* o = key.quadOffsets;
                    for (long n = 0; n < frameCount; n++) {
                        const ZRectangle& r = sprite->atlasRegions[n];
                        image->setFrameSrcCoord(n, r.x1, r.y1, r.x2, r.y1, r.x2, r.y2, r.x1, r.y2);
                        image->setFrameDstQuad(n, o[0].x, o[0].y, w + o[1].x, o[1].y, w + o[2].x,
                                               h + o[2].y, o[3].x, h + o[3].y);
                    }
                    sprite->usesQuads = true;
                }
            }
            element->setScaleXY(key.scaleX * state->scaleFactorX, key.scaleY * state->scaleFactorY);
            element->setShear(key.shearX, key.shearY);
            element->setZAngle(-key.angle);
            state->color[0] = key.r;
            state->color[1] = key.g;
            state->color[2] = key.b;
            state->color[3] = key.a;
            state->lightness = key.lightness;

            if (brush->video && brush->videoPlayer) {
                ZVideo* video = brush->videoPlayer;
                ZSound* sound = dynamic_cast<ZSound*>(video->getSoundStream());
                if (video->hasSound() && sound) {
                    long volume = readSettingAsLong("sfxvolume");
                    sound->setVolume(volume < 0 ? 0 : (volume > 100 ? 100 : volume));
                }
                if (!brush->noAutoplayVideo && !state->videoPaused &&
                    state->time >= brush->videoStartTime && video->isVideoPaused())
                    video->resumeTime();
            }
            CUIEmitter* emitterElement = CUIEmitter::isUIEmitter(element);
            if (brush->particleCount > 0 && emitterElement) {
                if (key.emitParticles && state->playMode != 0 && state->effectiveColor[3] > 0 &&
                    state->emissionCountdown <= frameTime && emitterElement->isEnabled()) {
                    state->emissionCountdown = brush->emitterPeriod + state->emissionDelay;
                    emitSpriteParticles(sprite, brush, emitterElement);
                } else {
                    state->emissionCountdown -= frameTime;
                }
            }
        }

        // Input follows the key, the play mode and drags.
        bool disable = !key.clickable || state->dragging || state->playMode == 0 ||
                       (!m_dragInProgress && takesDropsOnly(sprite));
        if (disable && element->getState() != ZUIElementStateDisabled) {
            element->setState(ZUIElementStateDisabled);
            if (m_debug) ZCore::logMessage("Game: disable %s", sprite->name);
        } else if (!disable && element->getState() == ZUIElementStateDisabled) {
            element->setState(ZUIElementStateNormal);
            if (m_debug) ZCore::logMessage("Game: enable %s", sprite->name);
        }
        bool treeInput = !state->inputDisabled && !state->dragging;
        if (element->isTreeInputEnabled() != treeInput) element->enableTreeInput(treeInput);

        uint64_t flags = key.flags | sprite->gameFlags;
        if (flags != state->reportedFlags) {
            uint64_t old = state->reportedFlags;
            state->reportedFlags = flags;
            callSceneHandlers(eSceneHandlerNewSpriteFlags, sprite, nullptr, old, nullptr);
            if (!sprite->state) return true;
        }
    }

    // 6. A finished copy goes away.
    if (!mayDelete || sprite->copyKind != 1) return true;
    bool finished = forceDelete || state->playMode == 2 ||
                    (!sprite->loopKeys && state->time >= trackLength(sprite));
    if (!finished || !isSpriteEmitterDone(sprite)) return true;
    for (CSprite* other : scene->sprites)
        if (other != sprite && other->parent == sprite) return true;

    if (m_debug) ZCore::logMessage("Game: %s: delete", sprite->name);
    if (sprite->element) {
        ZUIElement* parent =
            sprite->parent && sprite->parent->element ? sprite->parent->element : scene->container;
        if (parent && sprite->element->getParentElement() != parent)
            sprite->element->setParentElement(parent);
    }
    removeSceneCommands(scene, static_cast<long>(sprite->id));
    CSceneState* sceneState = sprite->sceneState;
    state->releaseOwned();
    sceneState->detachSpriteState(state);
    changeSpriteParentNode(sprite, nullptr);
    scene->spriteTable.hashRemove(sprite);
    scene->sprites.remove(sprite);
    if (m_deferredDeleteDepth > 0) {
        // Out of its scene while it waits: no event may run its actions.
        unregisterSpriteForEvents(sprite);
        if (sprite->element) {
            sprite->element->setVisibility(false);
            // Out of the scene's tree, so that removing the scene meanwhile leaves it alone.
            if (ZUIElement* orphans = ZUIElement::getOrphansRootElement())
                sprite->element->setParentElement(orphans);
        }
        m_deferredDeletes.addToTail(sprite);
    } else {
        discardSprite(sprite);
    }
    return false;
}

void CPlayer::emitSpriteParticles(CSprite* sprite, _CBrush* brush, CUIEmitter* element) {
    CScene* scene = sprite->scene;
    long atlas = sprite->atlasIndexes ? sprite->atlasIndexes[0] : -1;
    ZGraphic* graphic = atlas >= 0 && atlas < scene->atlasCount && scene->atlases
                            ? scene->atlases[atlas]
                            : scene->backgroundImage;
    ZRectangle region = sprite->atlasRegions ? sprite->atlasRegions[0] : ZRectangle{};
    const eTazelAlphaOp ops[2] = {brush->srcAlphaOp, brush->dstAlphaOp};
    ZVector2 origin{brush->pivotX - brush->texSrcX1 + sprite->state->pivotOffset.x,
                    brush->pivotY - brush->texSrcY1 + sprite->state->pivotOffset.y};
    CEmitter* emitter =
        new CEmitter(brush->particleCount, graphic, region, ops, brush->behavior, origin);
    float arcStart = sprite->state->emissionArcStart * kPi / 180.0f;
    float arcEnd = sprite->state->emissionArcEnd * kPi / 180.0f;
    switch (brush->emissionShape) {
        case 1:
            emitter->addParticlesFromEllipse(brush->particleCount, brush->emitMinRadius,
                                             brush->emitMinRadius2, brush->emitMaxRadius,
                                             brush->emitMaxRadius2, arcStart, arcEnd);
            break;
        case 2:
            emitter->addParticlesFromRect(brush->particleCount, brush->emitMinRadius,
                                          brush->emitMinRadius2, brush->emitMaxRadius,
                                          brush->emitMaxRadius2);
            break;
        default:
            emitter->addParticlesFromEllipse(brush->particleCount, brush->emitMinRadius,
                                             brush->emitMinRadius, brush->emitMaxRadius,
                                             brush->emitMaxRadius, arcStart, arcEnd);
            break;
    }
    element->addEmitter(emitter);
}

bool CPlayer::isSpriteEmitterDone(CSprite* sprite) {
    CUIEmitter* element = CUIEmitter::isUIEmitter(sprite->element);
    return !element || element->hasCompleted();
}

void CPlayer::discardSprite(CSprite* sprite) {
    forgetPointerSprite(sprite);
    delete sprite->state;
    sprite->state = nullptr;
    freeSprite(sprite);
}

void CPlayer::endDeferredSpriteDeletes() {
    if (m_deferredDeleteDepth > 0) m_deferredDeleteDepth--;
    if (m_deferredDeleteDepth > 0) return;
    while (CSprite* sprite = m_deferredDeletes.head) {
        m_deferredDeletes.remove(sprite);
        if (m_debug) ZCore::logMessage("Game: %s: deferred delete", sprite->name);
        discardSprite(sprite);
    }
}

void CPlayer::playSpriteKeys(CSprite* sprite, long from, long to, long mode) {
    if (!sprite || !sprite->state || sprite->keyCount <= 0) return;
    CSpriteState* state = sprite->state;
    const long last = sprite->keyCount - 1;
    auto clampKey = [&](long k) {
        long n = k + static_cast<long>(state->keyOffset);
        if (n > last) n = last;
        return n < 0 ? 0L : n;
    };
    if (from >= 0) {
        long k = clampKey(from);
        state->time = sprite->keys[k].time;
        if (mode == 1) state->currentKey = k;
        if (mode == 2) state->currentKey = -1;
    }
    double old = state->targetTime;
    state->targetTime = to >= 0 ? sprite->keys[clampKey(to)].time : -1;
    state->playMode = 1;
    if (state->targetTime != old)
        callSceneHandlers(eSceneHandlerSpritePlayToTime, sprite, nullptr,
                          wholeTime(state->targetTime), nullptr);
}

void CPlayer::playSpriteTime(CSprite* sprite, double from, double to) {
    if (!sprite || !sprite->state) return;
    CSpriteState* state = sprite->state;
    if (from >= 0) state->time = from;
    double old = state->targetTime;
    state->targetTime = to >= 0 ? to : -1;
    state->playMode = 1;
    if (state->targetTime != old)
        callSceneHandlers(eSceneHandlerSpritePlayToTime, sprite, nullptr,
                          wholeTime(state->targetTime), nullptr);
}

void CPlayer::stopSprite(CSprite* sprite) {
    if (!sprite || !sprite->state) return;
    sprite->state->targetTime = sprite->state->time;
    sprite->state->playMode = 2;
    if (updateSprite(sprite, 0, false, false)) applySpriteColor(sprite);
}

void CPlayer::setSpriteKeyOffset(CSprite* sprite, long offset) {
    if (sprite && sprite->state) sprite->state->keyOffset = offset;
}

ZVector2 CPlayer::getSpriteAnchor(CSprite* sprite, long key, bool screen) {
    if (!sprite || !sprite->state || key < 0 || key >= sprite->keyCount) return {0, 0};
    ZVector2 p = add(add(sprite->keys[key].anchor, sprite->state->anchorOffset),
                     keyAnchorOffset(sprite->state, key));
    if (screen && sprite->element) p = spriteToScreen(sprite->element, p);
    return p;
}

ZVector2 CPlayer::getSpriteAnchorForTime(CSprite* sprite, double time, bool screen) {
    if (!sprite || !sprite->state) return {0, 0};
    double saved = sprite->state->time;
    sprite->state->time = time;
    CSpriteKey key = interpolateKey(sprite);
    sprite->state->time = saved;
    ZVector2 p = add(key.anchor, sprite->state->anchorOffset);
    if (screen && sprite->element) p = spriteToScreen(sprite->element, p);
    return p;
}

ZVector2 CPlayer::getSpriteScreenSpaceAnchor(CSprite* sprite, long key) {
    if (!sprite || !sprite->element) return {0, 0};
    return getSpriteAnchor(sprite, key, true);
}

void CPlayer::setSpriteAnchor(CSprite* sprite, long key, ZVector2 position, bool screen) {
    if (!sprite || !sprite->state || key < 0 || key >= sprite->keyCount) return;
    CSpriteState* state = sprite->state;
    if (screen && sprite->element && sprite->element->getParentElement())
        position = screenToElement(sprite->element->getParentElement(), position);
    ZVector2 offset = sub(position, add(state->anchorOffset, sprite->keys[key].anchor));
    if (growKeyAnchorOffsets(state, key + 1)) state->keyAnchorOffsets[key] = offset;
}

bool CPlayer::growKeyAnchorOffsets(CSpriteState* state, long count) {
    if (count <= state->keyAnchorOffsetCount && state->keyAnchorOffsets) return true;
    // Far more keys than any track has: refused rather than allocated.
    if (count > kMaxKeyAnchorOffsets) {
        if (m_debug) ZCore::logMessage("Game: key anchor offset %ld out of range", count - 1);
        return false;
    }
    ZVector2* grown = new (std::nothrow) ZVector2[count]();
    if (!grown) return false;
    for (long i = 0; i < state->keyAnchorOffsetCount && state->keyAnchorOffsets; i++)
        grown[i] = state->keyAnchorOffsets[i];
    delete[] state->keyAnchorOffsets;
    state->keyAnchorOffsets = grown;
    state->keyAnchorOffsetCount = count;
    return true;
}

ZVector2 CPlayer::getSpriteKeyAnchorOffset(CSprite* sprite, long key) {
    return sprite ? keyAnchorOffset(sprite->state, key) : ZVector2{0, 0};
}

float CPlayer::getSpriteKeyAnchorOffsetX(CSprite* sprite, long key) {
    return getSpriteKeyAnchorOffset(sprite, key).x;
}

float CPlayer::getSpriteKeyAnchorOffsetY(CSprite* sprite, long key) {
    return getSpriteKeyAnchorOffset(sprite, key).y;
}

void CPlayer::setSpriteKeyAnchorOffset(CSprite* sprite, long key, ZVector2 offset) {
    if (!sprite || !sprite->state || key < 0) return;
    if (growKeyAnchorOffsets(sprite->state, key + 1)) sprite->state->keyAnchorOffsets[key] = offset;
}

void CPlayer::setSpriteKeyAnchorOffsetX(CSprite* sprite, long key, float x) {
    if (!sprite || !sprite->state || key < 0) return;
    if (growKeyAnchorOffsets(sprite->state, key + 1)) sprite->state->keyAnchorOffsets[key].x = x;
}

void CPlayer::setSpriteKeyAnchorOffsetY(CSprite* sprite, long key, float y) {
    if (!sprite || !sprite->state || key < 0 || key >= sprite->keyCount) return;
    if (growKeyAnchorOffsets(sprite->state, key + 1)) sprite->state->keyAnchorOffsets[key].y = y;
}

void CPlayer::setSpriteKeyAnchorOffsetCount(CSprite* sprite, long count) {
    if (sprite && sprite->state && count > 0) growKeyAnchorOffsets(sprite->state, count);
}

void CPlayer::resetSpriteAnchor(CSprite* sprite, long key) {
    if (!sprite || !sprite->state || key < 0 || key >= sprite->keyCount) return;
    CSpriteState* state = sprite->state;
    if (state->keyAnchorOffsets && key < state->keyAnchorOffsetCount)
        state->keyAnchorOffsets[key] = {0, 0};
}

void CPlayer::updateSpriteBezier(CSprite* sprite) {
    if (!sprite || (sprite->anchorPathType != 1 && sprite->anchorPathType != 2)) return;
    if (sprite->keyCount < 2 || !sprite->keys) return;
    const long n = sprite->keyCount;
    // The path takes the keys' own anchor offsets only: the sprite's anchor offset is added to
    // whatever the path gives, as for every other path kind, and would count twice here.
    ZVector2* points = new ZVector2[n * 3 - 2];
    long m = 0;
    for (long k = 0; k < n; k++) {
        points[m++] = add(sprite->keys[k].anchor, keyAnchorOffset(sprite->state, k));
        if (k == n - 1) break;
        points[m++] = sprite->keys[k].ctrl1;
        points[m++] = sprite->keys[k].ctrl2;
    }
    sprite->anchorPath.setSegments(n - 1, points, false);
    sprite->pathLength = sprite->anchorPath.getTotalLength();
    delete[] points;
}
