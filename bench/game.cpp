// bench_game: the game itself (the player, its window and the packed data beside this program)
// played for 60 seconds of game time by a scripted player: it starts a game, steers from side to
// side, closes each game-over popup and starts again. The window's sync and frame pacing are off,
// so a frame costs only its work. Prints the median and 99th-percentile frame time, the frames
// per second and the peak memory; last, the median frame time against the 16.7 ms of a frame at
// 60 frames per second (target: at most 0.5 on the software renderer). Needs a display, e.g.
// under xvfb-run; the state folder is a temporary one.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "BenchWindow.h"
#include "CPlayer.h"
#include "CScene.h"
#include "CSprite.h"
#include "CUIGameScreen.h"
#include "TazelEntry.h"
#include "ZEvent.h"
#include "ZWindow.h"

namespace {

const char* const kProgram = "bench_game";
const double kGameTimeMs = 60000;
const double kFrameBudgetMs = 1000.0 / 60.0;
// Game time between two steering taps, and where they land (the character sits near x 382).
const double kTapEveryMs = 600;
const float kLeftX = 60, kRightX = 700, kTapY = 230;

CUIGameScreen* findPlayScreen(CPlayer* player) {
    CScene* scene = player->findLoadedScene("gamescreen");
    if (!scene) return nullptr;
    for (CSprite* s = scene->sprites.head; s; s = ZList<CSprite>::nextOf(s))
        if (auto* screen = dynamic_cast<CUIGameScreen*>(s->handler)) return screen;
    return nullptr;
}

void tap(CPlayer* player, float x, float y) {
    ZEvent e{};
    e.type = kZEventMouseDown;
    e.x = static_cast<int64_t>(x);
    e.y = static_cast<int64_t>(y);
    e.button = 1;
    player->eventHandler(&e);
    e.type = kZEventMouseUp;
    player->eventHandler(&e);
}

// The scripted player's move for this moment of the game.
class Script {
public:
    void step(CPlayer* player, CUIGameScreen* screen, double gameTime) {
        auto& saved = *static_cast<CUIGameScreen::Saved*>(screen->getStateData());
        if (gameTime < m_next) return;
        m_next = gameTime + kTapEveryMs;
        switch (saved.state) {
            case CUIGameScreen::kStateStart:
                tap(player, 384, kTapY);
                games++;
                break;
            case CUIGameScreen::kStatePlaying:
                // Two taps take the character across; every other time the other way.
                tap(player, m_right ? kRightX : kLeftX, kTapY);
                tap(player, m_right ? kRightX : kLeftX, kTapY);
                m_right = !m_right;
                break;
            case CUIGameScreen::kStateGameOver:
                player->broadcastUserEvent("gameover_close_up", false);
                break;
            default:
                break;
        }
    }
    long games = 0;

private:
    double m_next = 1000;
    bool m_right = false;
};

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

}  // namespace

int main() {
    if (!hasBenchDisplay(kProgram)) return 0;
    std::string home = makeBenchFolder(kProgram, "game", "state folder");
    if (home.empty()) return 0;
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    setenv("vblank_mode", "0", 1);

    if (tazelInitialize() != 0) {
        printf("%s: the game did not start (see %s); nothing measured\n", kProgram, home.c_str());
        return 1;
    }
    CPlayer* player = tazelGetGame();
    ZWindow* window = player->getWindow();
    window->setMaxFrameRate(-1);
    CUIGameScreen* screen = findPlayScreen(player);
    if (!screen) {
        printf("%s: no play screen in the start scene; nothing measured\n", kProgram);
        tazelCleanup();
        return 1;
    }

    Script script;
    std::vector<double> frameMs;
    double gameTime = 0;
    auto start = std::chrono::steady_clock::now();
    while (gameTime < kGameTimeMs && !window->isQuit()) {
        script.step(player, screen, gameTime);
        frameMs.push_back(timed([&] { player->renderFrame(); }));
        gameTime += player->getPlayedFrameTime();
    }
    double wallMs = millisecondsSince(start);
    tazelCleanup();
    std::filesystem::remove_all(home);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    double median = percentile(frameMs, 0.5);
    printf("%s: %zu frames over %.1f s of game time (%.1f s wall), %ld games started\n", kProgram,
           frameMs.size(), gameTime / 1000, wallMs / 1000, script.games);
    printf("frame time: median %.3f ms, 99th percentile %.3f ms\n", median,
           percentile(frameMs, 0.99));
    printf("frames per second: %.1f\n", static_cast<double>(frameMs.size()) * 1000 / wallMs);
    printf("peak memory: %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024);
    printf("median frame time / %.1f ms: %.3f (target <= 0.5)\n", kFrameBudgetMs,
           median / kFrameBudgetMs);
    return 0;
}
