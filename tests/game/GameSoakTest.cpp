#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "../ui/RecordingLog.h"
#include "CSpriteState.h"
#include "GamePlayFixture.h"
#include "ZEvent.h"
#include "ZSound.h"
#include "ZUIElement.h"

#if defined(__SANITIZE_ADDRESS__)
#define BRAMBLE_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRAMBLE_SOAK_ASAN 1
#endif
#endif
#ifdef BRAMBLE_SOAK_ASAN
#if __has_include(<sanitizer/allocator_interface.h>)
#include <sanitizer/allocator_interface.h>
#else
// GCC's runtime has the sanitizer's allocator interface but ships no header for it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif
#endif

// Ten minutes of game time played by a script that keeps at it, with the live objects of every
// layer counted every ten seconds: they must stay within what a screen holds, and the heap must
// not grow.
namespace {

const double kFrameMs = 30;  // three of the play screen's 10 ms ticks a frame
const double kGameMs = 10 * 60 * 1000;
const double kSampleEveryMs = 10000;
const double kWarmUpMs = 60000;
const double kMoveEveryMs = 600;

long heapBytes() {
#ifdef BRAMBLE_SOAK_ASAN
    return static_cast<long>(__sanitizer_get_current_allocated_bytes());
#else
    return static_cast<long>(mallinfo2().uordblks);
#endif
}

struct Sample {
    double at;
    long elements, sprites, graphics, sounds, streams, heap;
};

class GameSoakTest : public GamePlayFixture {
protected:
    Sample sample(double at) const {
        long sprites = player->getDeferredSpriteDeleteCount();
        for (const CScene* s = player->getSceneList().head; s; s = ZList<CScene>::nextOf(s))
            sprites += s->sprites.count;
        return {at,
                ZUIElement::getTotalElementsCount(),
                sprites,
                RecordingLog::liveGraphics,
                ZSound::getSoundCount(),
                ZSound::getPlayingStreamCount(),
                heapBytes()};
    }
    void tapOn(const char* name) {
        CSprite* sprite = find(name);
        if (!sprite || !sprite->element) return;
        const ZRectangle& r = sprite->element->getAbsBoundingRect();
        tapAt((r.x1 + r.x2) / 2, (r.y1 + r.y2) / 2);
    }

    // The scripted player's move for this moment: starts games, steers, catches, dies, continues
    // or closes the popup, pauses and goes on, and browses the jukebox now and then.
    void move() {
        CUIGameScreen::Saved& s = saved();
        if (s.paused) {
            tapAt(kSkyX, kSkyY);
            return;
        }
        if (s.state != m_lastState) m_inState = 0;
        m_lastState = s.state;
        m_inState++;
        switch (s.state) {
            case CUIGameScreen::kStateStart:
                if (m_inState < 2) break;  // the start screen comes in
                if (++m_starts % 4 == 0)
                    tapOn("jukeButton");
                else
                    tapAt(kSkyX, kSkyY);
                break;
            case CUIGameScreen::kStateJukebox:
                if (m_inState == 2) tapOn("JukeboxNext");
                if (m_inState == 3) tapOn("JukeboxPrev");
                if (m_inState == 4) tapOn(CUIGameScreen::kJukeboxKeys[m_starts % 8]);
                if (m_inState >= 6) tapAt(30, 1000);  // the blanket, outside the cover
                break;
            case CUIGameScreen::kStatePlaying: {
                if (m_inState % 10 == 0) {
                    ZEvent lost{};
                    lost.type = kZEventFocusLost;
                    player->eventHandler(&lost);
                    break;
                }
                const float x = characterScreenX();
                tapAt(m_right ? x + 150 : x - 150, 450);
                tapAt(m_right ? x + 150 : x - 150, 450);
                m_right = !m_right;
                if (m_inState % 7 == 3) dropOnCharacter((m_inState / 7) % 3);  // heart, coin, chest
                // About twenty seconds a game, then a stone; every other game with coins to go on.
                if (m_inState >= 35) {
                    if (++m_deaths % 2 == 0) s.coins = std::max(s.coins, 130l);
                    s.invulnerable = 0;
                    dropOnCharacter(CUIGameScreen::kDropStone);
                }
                break;
            }
            case CUIGameScreen::kStateGameOver:
                if (m_inState < 2) break;  // the popup comes in
                tapOn(s.coins >= 100 ? "ContinueButton" : "GameOverClose");
                break;
            default:
                break;
        }
    }

    long m_lastState = -1, m_inState = 0, m_starts = 0, m_deaths = 0;
    bool m_right = false;
};

TEST_F(GameSoakTest, TenMinutesOfPlayHoldWhatAScreenShowsAndNoMore) {
    std::vector<Sample> samples{sample(0)};
    const Sample atStart = samples.front();
    double nextMove = 1000, nextSample = kSampleEveryMs;
    for (double at = 0; at < kGameMs; at += kFrameMs) {
        if (at >= nextMove) {
            move();
            nextMove += kMoveEveryMs;
        }
        // The game's frame start takes the frame time from the window, as the emitters read it.
        gammaWindow.frameTime = kFrameMs;
        player->beginFrame();
        frames(1, kFrameMs);
        if (gammaWindow.calls.size() > 256) gammaWindow.calls.clear();
        // The recording layers keep what they were asked: only the live objects count here.
        if (RecordingLog::lines.size() > 4096) RecordingLog::clear();
        if (GameScreenCalls::sounds.size() > 256) GameScreenCalls::clear();
        if (at + kFrameMs >= nextSample) {
            RecordingLog::clear();
            GameScreenCalls::clear();
            samples.push_back(sample(at + kFrameMs));
            nextSample += kSampleEveryMs;
        }
    }
    for (const Sample& s : samples)
        printf("%6.0f s: elements %ld sprites %ld graphics %ld sounds %ld streams %ld heap %ld\n",
               s.at / 1000, s.elements, s.sprites, s.graphics, s.sounds, s.streams, s.heap);
    printf("starts %ld deaths %ld\n", m_starts, m_deaths);
    EXPECT_GE(m_starts, 10) << "the script kept playing";
    EXPECT_GE(m_deaths, 5);

    // What one screen holds besides the scene's own sprites: drops come at least 1 s apart and
    // cross the 768 px window plus their 80 px lead at 100 px a second (9 at once), clouds at
    // least 2.5 s apart cross 1024 px plus 400 px at no less than 100 px a second (6), leaves at
    // least 8 s apart (2), tap rings last 380 ms with two taps a move (4), catch bursts under a
    // second (2). Each copy is one sprite with one element.
    const long copiesOnScreen = 9 + 6 + 2 + 4 + 2;
    for (const Sample& s : samples) {
        if (s.at < kWarmUpMs) continue;
        SCOPED_TRACE(s.at / 1000);
        EXPECT_LE(s.sprites, atStart.sprites + copiesOnScreen);
        EXPECT_LE(s.elements, atStart.elements + copiesOnScreen);
        // Copies share their brushes' textures: no graphic beyond those the scene loaded.
        EXPECT_LE(s.graphics, atStart.graphics);
        // The screen's effects are loaded once; the music may hold the next song while one ends.
        EXPECT_LE(s.sounds, atStart.sounds + 1);
        EXPECT_LE(s.streams, 1);
    }

    // The heap's low point in the last two minutes against minutes one to three (the low point,
    // as buffers of a few hundred KB come and go between samples). The windows start 7 minutes
    // (14000 frames) apart: leaking one object of 16 bytes or more a frame adds 224 KB or more,
    // above the 200 KB left for what settles over a long game.
    auto lowestHeap = [&](double from, double to) {
        long low = -1;
        for (const Sample& s : samples)
            if (s.at >= from && s.at <= to && (low < 0 || s.heap < low)) low = s.heap;
        return low;
    };
    const long early = lowestHeap(kWarmUpMs, 3 * kWarmUpMs);
    const long late = lowestHeap(kGameMs - 2 * kWarmUpMs, kGameMs);
    printf("heap low early %ld late %ld growth %ld bytes\n", early, late, late - early);
    EXPECT_LT(late - early, 200000);
}

}  // namespace
