#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "CPlayer.h"
#include "CScene.h"
#include "CSprite.h"
#include "CSpriteState.h"
#include "CUIGameScreen.h"
#include "ZGestureArea.h"
#include "ZRandom.h"
#include "ZUIElement.h"
#include "ZWindow.h"

namespace {

const double kTickMs = 10;
// A long stall replays at most this much motion.
const double kTickFloorMs = -200;
const double kPi = 3.14159265358979323846;

const char* const kDropTemplates[CUIGameScreen::kDropKinds] = {"coeur", "piece", "coffre", "pierre",
                                                               "piquants"};

const _CBrush* brushOf(const CSprite* sprite) {
    const CScene* scene = sprite ? sprite->scene : nullptr;
    if (!scene || !scene->brushes || sprite->brushIndex < 0 ||
        sprite->brushIndex >= scene->brushCount)
        return nullptr;
    return &scene->brushes[sprite->brushIndex];
}

// The top-left corner of a sprite's brush region at its first key, scaled by s about the pivot.
ZVector2 topLeftOf(const CSprite* sprite, const _CBrush& brush, float s) {
    const ZVector2 anchor = sprite->keys[0].anchor;
    const ZVector2 offset = sprite->state->anchorOffset;
    return {offset.x + anchor.x - (brush.pivotX - brush.texSrcX1) * s,
            offset.y + anchor.y - (brush.pivotY - brush.texSrcY1) * s};
}

bool hasKeys(const CSprite* sprite) {
    return sprite && sprite->state && sprite->keys && sprite->keyCount > 0;
}

// The kind in a drop's name ("_Drop3"), -1 when it has none.
long dropKindOf(const char* name) {
    char* end = nullptr;
    long kind = strtol(name + 5, &end, 10);
    return end == name + 5 ? -1 : kind;
}

}  // namespace

void CUIGameScreen::blit(float alpha, ZMatrix* matrix) {
    ZUIImage::blit(alpha, matrix);
}

void CUIGameScreen::blitPost(float alpha, ZMatrix* matrix) {
    ZUIElement::blitPost(alpha, matrix);
}

bool CUIGameScreen::sceneReady() const {
    return m_scene && m_scene->container && m_scene->status.load() > 3 && m_player->getWindow();
}

long CUIGameScreen::countTicks(double dt) {
    m_tickAccumulator = std::max(kTickFloorMs, m_tickAccumulator - dt);
    if (m_tickAccumulator >= 0) return 0;
    long ticks = static_cast<long>(-m_tickAccumulator / kTickMs);
    m_tickAccumulator += ticks * kTickMs;
    return ticks;
}

void CUIGameScreen::move() {
    for (long layer = 0; layer < CPlayer::kPanLayers; layer++) {
        m_player->disableGestures(layer);
        if (ZGestureArea* area = m_player->getGestureArea(layer)) {
            area->setCamera({0, 0});
            area->setScale(1.0f);
        }
    }
    if (m_saved.paused) return;
    if (m_saved.state == kStateNew) {
        m_saved.state = kStateStart;
        showStartScreen();
    }
    if (!sceneReady()) return;
    ZWindow* window = m_player->getWindow();
    const float w = static_cast<float>(window->getWindowWidth());
    const float h = static_cast<float>(window->getWindowHeight());
    const double dt = m_player->getPlayedFrameTime();

    // The continue button pulses while it cannot be bought.
    m_saved.continuePulse += static_cast<float>(dt * 14 / 15);
    CSprite* button = child("GameOverPopup", "ContinueButton");
    if (button && button->state) {
        float scale = 1.0f;
        if (!button->state->inputDisabled && m_saved.coins <= kContinuePrice - 1)
            scale =
                std::sin(m_saved.continuePulse * static_cast<float>(kPi) / 180.0f) * 0.05f + 0.95f;
        button->state->scaleFactorX = button->state->scaleFactorY = scale;
    }

    m_saved.bobPhase = std::fmod(std::max(0.0, m_saved.bobPhase + dt), 1000.0);
    m_saved.invulnerable = m_saved.invulnerable > dt ? m_saved.invulnerable - dt : 0;

    long ticks = countTicks(dt);
    m_lastTicks = ticks;
    for (long i = 0; i < ticks; i++) {
        if (m_saved.state == kStateDying || m_saved.state == kStateClosing)
            m_saved.speedFactor = m_saved.speedFactor <= 0.1f ? 0.0f : m_saved.speedFactor - 0.1f;
        m_saved.scroll += m_saved.speedFactor;
    }

    if (CSprite* field = sprite("Playfield"); field && field->state)
        field->state->anchorOffset.y = m_saved.scroll;

    const char* line1 = "";
    const char* line2 = "";
    if (m_saved.jukeboxTrack >= 0 && m_saved.jukeboxTrack < kJukeboxRows) {
        const char* credit = kJukeboxCredits[m_saved.jukeboxTrack];
        const char* title = kJukeboxTitles[m_saved.jukeboxTrack];
        line1 = credit[0] ? credit : title;
        line2 = credit[0] ? title : "";
    }
    m_player->applySpriteText(sprite("jukebox_text1"), line1, true);
    if (CSprite* text2 = sprite("jukebox_text2")) m_player->applySpriteText(text2, line2, true);

    CSprite* perso = sprite("perso");
    if (perso && perso->state) moveCharacter(perso, h);
    moveDecoration();
    placeClouds(dt, w, h);
    bool spawning = m_saved.state != kStateStart && m_saved.state != kStateGameOver &&
                    m_saved.state != kStateJukebox;
    if (spawning && !m_saved.onLeaf) spawnDropsAndLeaves(dt);

    if (hasKeys(perso) && brushOf(perso))
        for (long i = 0; i < ticks; i++) tick(perso, h);

    if (spawning) updateHud();
    if (m_saved.state == kStateClosing) {
        m_saved.fade.move(dt);
        if (m_saved.fade.isCompleted()) finishClosing();
    }
    window->setGamma(m_saved.fade.getCurrentValue());
}

void CUIGameScreen::moveCharacter(CSprite* perso, float h) {
    CSpriteState* state = perso->state;
    state->lightnessFactor = 1.0f;
    if (m_saved.state != kStateStart && m_saved.state != kStatePlaying &&
        m_saved.state != kStateJukebox)
        return;
    state->anchorOffset.y = (h - 768) - m_saved.scroll;
    float bob = static_cast<float>(-5 * std::sin(2 * kPi * m_saved.bobPhase / 1000));
    m_player->setSpriteKeyAnchorOffset(perso, 0, {0, bob});
    m_player->setSpriteKeyAnchorOffset(perso, 1, {0, bob});
    // Protection flashes the character between normal and double lightness, ten times in all.
    if (m_saved.invulnerable > 0)
        state->lightnessFactor = static_cast<float>(
            (std::sin(2 * kPi * (7000 - m_saved.invulnerable) * 10 / 7000) + 1) * 0.5 + 1.0);
}

void CUIGameScreen::moveDecoration() {
    if (CSprite* clouds = sprite("nuages_tile"); hasKeys(clouds) && brushOf(clouds)) {
        const _CBrush* b = brushOf(clouds);
        float tile = std::floor((b->texSrcY2 - b->texSrcY1) * clouds->keys[0].scaleY);
        if (tile > 0) clouds->state->anchorOffset.y = std::fmod(m_saved.scroll / 5, tile) - tile;
    }
    if (CSprite* stalk = sprite("haricot"); hasKeys(stalk) && brushOf(stalk)) {
        const _CBrush* b = brushOf(stalk);
        float tile = std::floor((b->texSrcY2 - b->texSrcY1) * stalk->keys[0].scaleY);
        if (tile > 0)
            stalk->state->anchorOffset.y = -(std::floor(m_saved.scroll / tile) * tile + tile);
    }
}

void CUIGameScreen::placeClouds(double dt, float w, float h) {
    if (m_saved.cloudTimer > dt && m_saved.cloudsToPlace <= 0) {
        m_saved.cloudTimer -= dt;
        return;
    }
    unsigned long r1 = ZRandom::getRandom();
    unsigned long r2 = ZRandom::getRandom();
    long speed = std::max(100l, static_cast<long>(r2 % 1000));
    if (m_saved.cloudsToPlace > 0)
        m_saved.cloudsToPlace--;
    else
        m_saved.cloudTimer = ZRandom::getRandomFloat() * 1500.0 + 2500.0;
    float y = ZRandom::getRandomFloat() * 0.8f * h;
    CSprite* source = sprite("nuage");
    if (!source) return;
    CSprite* cloud =
        m_player->copySpriteAt(source, {w + 200, y}, false, true, "_Cloud", nullptr, 0, nullptr);
    if (!cloud) return;
    long look = static_cast<long>(r1 % 3);
    playKeys(cloud, look, look, 1);
    m_player->setSpriteScriptValue(cloud, 1, speed);
    // Fast clouds pass in front of the play field, half seen through.
    CSprite* field = sprite("Playfield");
    if (speed >= 800 && cloud->element && field && field->element && cloud->state) {
        cloud->element->moveAfterSibling(field->element);
        cloud->state->colorFactors[3] = 0.5f;
    }
}

void CUIGameScreen::spawnDropsAndLeaves(double dt) {
    if (m_saved.dropTimer > dt) {
        m_saved.dropTimer -= dt;
    } else {
        long kind = chooseDropKind();
        char name[100];
        snprintf(name, sizeof(name), "_Drop%ld", kind);
        m_saved.dropTimer = ZRandom::getRandomDouble() * 3000 + 1000;
        float r = ZRandom::getRandomFloat() - 0.5f;
        r = r < 0 ? r - 0.5f : r + 0.5f;
        if (CSprite* source = sprite(kDropTemplates[kind])) {
            CSprite* drop = m_player->copySpriteAt(source, {r * 100 + 512, -80 - m_saved.scroll},
                                                   false, true, name, nullptr, 0, nullptr);
            if (drop) {
                m_player->setSpriteScriptValue(drop, 1, 5);
                playKeys(drop, 0, -1, 0);
            }
        }
    }
    // The leaf timer counts down by the scroll speed, so no leaf comes while the scroll stands.
    if (m_saved.leafTimer > dt) {
        m_saved.leafTimer -= m_saved.speedFactor;
    } else {
        m_saved.leafTimer = ZRandom::getRandomFloat() * 1500 + 800;
        bool fromLeft = ZRandom::getRandomFloat() - 0.5f < 0;
        if (CSprite* source = sprite(fromLeft ? "feuille_g" : "feuille_d")) {
            CSprite* leaf =
                m_player->copySpriteAt(source, {fromLeft ? 392.0f : 662.0f, -80 - m_saved.scroll},
                                       false, true, "_Leaf", nullptr, 0, nullptr);
            if (leaf) {
                playKeys(leaf, 0, -1, 0);
                m_player->setSpriteScriptValue(leaf, 1, fromLeft ? 0 : 1);
            }
        }
    }
}

void CUIGameScreen::tick(CSprite* perso, float h) {
    const _CBrush& brush = *brushOf(perso);
    CSpriteState* state = perso->state;
    const ZVector2 anchor = perso->keys[0].anchor;

    if (m_saved.state == kStateDying) {
        long v = m_player->getSpriteScriptValue(perso, 1) + 26;
        m_player->setSpriteScriptValue(perso, 1, v);
        state->anchorOffset.y += v / 100.0f;
        float top = state->anchorOffset.y + anchor.y - (brush.pivotY - brush.texSrcY1);
        // The play field is drawn moved down by the scroll: the window's bottom edge lies at
        // H - scroll in the character's coordinates.
        if (top >= h - m_saved.scroll) openGameOver();
    }

    state->anchorOffset.x += m_saved.velocityX * 15;
    state->anchorOffset.x = std::clamp(state->anchorOffset.x + anchor.x, 410.0f, 610.0f) - anchor.x;
    m_saved.velocityX *= 0.9f;

    const float s = perso->keys[0].scaleX;
    const ZVector2 tl = topLeftOf(perso, brush, s);
    const float left = tl.x + 20;
    const float right = tl.x + (brush.texSrcX2 - brush.texSrcX1) * s - 20;
    const float top = tl.y + 10;
    const float bottom = tl.y + (brush.texSrcY2 - brush.texSrcY1) * s - 10;

    bool onLeaf = false;
    std::vector<unsigned long> gone;
    for (CSprite* other = m_scene->sprites.head; other; other = ZList<CSprite>::nextOf(other)) {
        if (other == perso || !hasKeys(other)) continue;
        const _CBrush* b = brushOf(other);
        if (strcasecmp(other->name, "_Leaf") == 0) {
            if (!b) continue;
            const ZVector2 corner = topLeftOf(other, *b, 1);
            float leafLeft = corner.x;
            float leafRight = corner.x + (b->texSrcX2 - b->texSrcX1);
            float leafTop = corner.y;
            float leafMiddle = corner.y + (b->texSrcY2 - b->texSrcY1) * 0.5f;
            // The scroll carries a leaf down the window, never back: past its bottom edge it
            // goes, or a long game would keep every leaf it ever made.
            if (leafTop >= h - m_saved.scroll) {
                gone.push_back(other->id);
                continue;
            }
            if (m_player->getSpriteScriptValue(other, 1) != 0)
                leafLeft += 10;
            else
                leafRight -= 10;
            if (leafTop >= top - 5 && other->element && perso->element)
                other->element->moveBeforeSibling(perso->element);
            if (m_saved.state == kStatePlaying && left < leafRight && top < leafMiddle &&
                leafLeft < right && leafTop < bottom && leafTop < top - 5)
                onLeaf = true;
        } else if (strcmp(other->name, "_Cloud") == 0) {
            // In floating point: in whole numbers every cloud slower than 500 stood still.
            other->state->anchorOffset.x += m_player->getSpriteScriptValue(other, 1) / -500.0f;
            if (other->state->anchorOffset.x + other->keys[0].anchor.x < -200)
                gone.push_back(other->id);
        } else if (isDropName(other->name)) {
            long v = m_player->getSpriteScriptValue(other, 1) + 13;
            m_player->setSpriteScriptValue(other, 1, v);
            other->state->anchorOffset.y += v / 100.0f;
            if (!b) continue;
            const ZVector2 corner = topLeftOf(other, *b, 1);
            // A drop falls ever faster (a caught one after its bounce): once past the window's
            // bottom edge it never comes back, and goes.
            if (corner.y >= h - m_saved.scroll) {
                gone.push_back(other->id);
                continue;
            }
            if (m_saved.state != kStatePlaying) continue;
            float dropRight = corner.x + (b->texSrcX2 - b->texSrcX1);
            float dropBottom = corner.y + (b->texSrcY2 - b->texSrcY1);
            if (left < dropRight && top < dropBottom && corner.x < right && corner.y < bottom &&
                m_player->getSpriteScriptValue(other, 2) == 0) {
                m_player->setSpriteScriptValue(other, 2, 1);
                m_player->setSpriteScriptValue(other, 1, -10);
                // Caught from a leaf, a drop only bounces.
                if (!m_saved.onLeaf) {
                    long kind = dropKindOf(other->name);
                    if (kind >= 0 && kind < kDropKinds) catchDrop(kind, other);
                }
            }
        }
    }
    // Copies go after the walk: freeing one frees its tree, which may hold the next sprite.
    for (unsigned long id : gone)
        if (CSprite* copy = m_scene->findSprite(id)) m_player->deleteCopiedSprite(copy);

    if (m_saved.state == kStatePlaying) m_saved.speedFactor = onLeaf ? 0.0f : 1.0f;
    m_saved.onLeaf = onLeaf;
}

void CUIGameScreen::updateHud() {
    char text[100];
    long coins = static_cast<long>(m_saved.coins);
    snprintf(text, sizeof(text), "%ld record%s", coins, coins > 1 ? "s" : "");
    m_player->applySpriteText(child("HUD", "Coins"), text, true);
    snprintf(text, sizeof(text), "%ld meters", getMeters());
    m_player->applySpriteText(child("HUD", "Meters"), text, true);
    unlockAchievements();
}

void CUIGameScreen::finishClosing() {
    onReset();
    m_saved.state = kStateStart;
    m_saved.speedFactor = 1.0f;
    showStartScreen();
    if (CSprite* perso = sprite("perso"); perso && perso->state) {
        perso->state->anchorOffset = {0, 0};
        m_player->setSpriteScriptValue(perso, 1, 0);
    }
    deleteCopies(isGameCopyName);
}
