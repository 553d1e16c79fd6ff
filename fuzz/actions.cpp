// A fixed pair of scenes whose sprites' event slots get action types and parameters from the
// input, then a run of pointer messages, broadcasts, scene-flag events and frames, also from the
// input. Whatever the actions do to each other (broadcasts that raise themselves, scenes that
// insert, reset or switch while an event runs, copies that free themselves), nothing touches
// freed memory and every run ends within its frames.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "CPlayer.h"
#include "CScene.h"
#include "FuzzInput.h"
#include "FuzzPlayer.h"
#include "RecordingLog.h"
#include "ZMiscTools.h"
#include "ZUIElement.h"
#include "ZUIMessage.h"

namespace {

const char* const kBrushes =
    "[brush1]\nid=1\nname=background\nmode=stretched\n"
    "[brush2]\nid=2\nname=plate\ntexsrcx2=40\ntexsrcy2=40\ntexpivotx=10\ntexpivoty=10\n";

std::string sprite(long n, long id, const char* name, const char* extra) {
    char text[600];
    snprintf(text, sizeof(text),
             "[sprite%ld]\nbrush=2\nid=%lx\nname=%s\nkeys=3\nkey1time=0\nkey2time=100\n"
             "key3time=200\nkey1anchorx=100\nkey2anchorx=200\nkey3anchorx=300\n%s",
             n, id, name, extra);
    return text;
}

// Texts the parameters are made of: key numbers, scene names with layers, sprite and event
// names, sounds with volumes and indexes.
const char* const kWords[] = {
    "",      "1",     "2",     "3",           "-2,3",
    "2,0",   "3,1",   "0",     "fa",          "fb",
    "fb:3",  "fa:40", "fb:-1", "nope",        "fa,0",
    "fb,-5", "ping",  "pong",  "broadcast:x", "drop:x",
    "alpha", "beta",  "gamma", "snd,250",     "snd,80,2",
    "snd",   "9",     ",",     ":",           "-9223372036854775808,1",
};
constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);

const long kMessages[] = {kZUIMsgMouseOver, kZUIMsgMouseLeave, kZUIMsgDown,
                          kZUIMsgUp,        kZUIMsgRollOver,   kZUIMsgRollOut,
                          kZUIMsgChildDown, kZUIMsgChildUp,    zuiMessageCode('z', 's', 'l', 1)};

FuzzPlayer* g_player = nullptr;

// A sprite of any loaded scene, by number.
CSprite* pickSprite(uint8_t n) {
    long count = 0;
    for (CScene* s = g_player->getSceneList().head; s; s = ZList<CScene>::nextOf(s))
        count += s->sprites.count;
    if (count == 0) return nullptr;
    long at = n % count;
    for (CScene* s = g_player->getSceneList().head; s; s = ZList<CScene>::nextOf(s))
        for (CSprite* sp = s->sprites.head; sp; sp = ZList<CSprite>::nextOf(sp))
            if (at-- == 0) return sp;
    return nullptr;
}

void setSlots(FuzzInput& in) {
    for (CScene* s = g_player->getSceneList().head; s; s = ZList<CScene>::nextOf(s))
        for (CSprite* sp = s->sprites.head; sp; sp = ZList<CSprite>::nextOf(sp)) {
            if (in.done()) return;
            g_player->unregisterSpriteForEvents(sp);
            for (int n = in.byte() % 4; n > 0; n--) {
                long slot = in.byte() % CSprite::kEventSlots;
                delete[] sp->eventActionParam[slot];
                sp->eventActionType[slot] = in.byte() % 37;
                sp->eventActionParam[slot] =
                    CPlayer::allocCopyString(kWords[in.byte() % kWordCount]);
            }
            if (sp->element) g_player->registerSpriteForEvents(sp);
        }
}

void writeText(const std::string& path, const std::string& text) {
    FuzzPlayer::writeFile(path, text.data(), text.size());
}

void clearPlayer() {
    while (g_player->getInsertedScenes().head)
        g_player->stopScene(g_player->getInsertedScenes().head->scene);
    g_player->flushLoadQueue();
    g_player->freeAllScenes();
    g_player->clearGameState();
    g_player->stopStreamedSounds(-1);
    g_player->releaseSpritesFreedDuringActions();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("ALSOFT_DRIVERS", "null", 1);
    std::string root;
    g_player = FuzzPlayer::start(&root);
    writeText(root + "/data/brushes/objects.ini", kBrushes);
    writeText(root + "/data/scenes/fa.ini",
              "[scene]\nwidth=768\nheight=1024\nflags=1\n" +
                  sprite(1, 1, "alpha",
                         "usereventname=ping;broadcast:x\neventaction5type=6\neventflags1=1\n"
                         "eventaction13type=6\n") +
                  sprite(2, 2, "beta", "parent=1\nusereventname2=pong\neventaction6type=6\n") +
                  sprite(3, 3, "gamma",
                         "usereventname=starthover:x;drop:x\neventaction5type=6\n"
                         "eventaction17type=6\neventaction18type=6\n"));
    writeText(root + "/data/scenes/fb.ini",
              "[scene]\nwidth=768\nheight=1024\nflags=2\n" +
                  sprite(1, 1, "delta",
                         "usereventname=pong\neventaction5type=5\neventaction5param=ping\n"
                         "eventflags1=2\neventaction13type=15\neventaction13param=fa:2\n"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    g_player->playScene("fa", 0);
    g_player->playScene("fb", 1);
    setSlots(in);
    for (int step = 0; step < 48 && !in.done(); step++) {
        uint8_t op = in.byte();
        switch (op % 5) {
            case 0:
            case 1: {
                CSprite* s = pickSprite(in.byte());
                ZUIMessage message{};
                message.type = kMessages[in.byte() % (sizeof(kMessages) / sizeof(kMessages[0]))];
                message.element = s ? s->element : nullptr;
                g_player->elementMessageHandler(&message);
                break;
            }
            case 2:
                g_player->broadcastUserEvent(kWords[in.byte() % kWordCount], false);
                break;
            case 3:
                g_player->broadcastSceneFlagsEvent(in.byte() % 4, 12 + in.byte() % 3);
                break;
            default:
                g_player->move(1000.0 / 60.0);
                break;
        }
        if (g_player->getActionDepth() != 0) abort();
    }
    clearPlayer();
    RecordingLog::clear();
    return 0;
}
