#include <gtest/gtest.h>
#include <minizip/zip.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../ui/RecordingBatch.h"
#include "../ui/RecordingGraphic.h"
#include "../ui/RecordingLog.h"
#include "CPlayer.h"
#include "CSpriteState.h"
#include "CUIDisplayHandler.h"
#include "FakeWindow.h"
#include "LoggedMessages.h"
#include "PlayerFixture.h"
#include "TempDir.h"
#include "ZCore.h"
#include "ZGestureArea.h"
#include "ZImage.h"
#include "ZInput.h"
#include "ZMiscTools.h"
#include "ZResource.h"
#include "ZUIElement.h"

// What the frame and the start-up did, in order, as every side of them saw it: the window, the
// game's hooks, the scene handlers and the elements.
static std::vector<std::string> g_steps;

static void step(const std::string& what) {
    g_steps.push_back(what);
}

// The game's hooks do nothing in this game; the test program is linked with --wrap so that the
// player's calls of them come here first (see tests/CMakeLists.txt).
extern "C" {
long __real__ZN5CGame17enumeratePakfilesEv();
void __real__ZN5CGame24enumerateDisplayHandlersEv();
void __real__ZN5CGame20displayLoadingStatusEb(bool shown);
void __real__ZN5CGame8postInitEv();
void __real__ZN5CGame4moveEv();
void __real__ZN5CGame7preBlitEl(long layer);
void __real__ZN5CGame8postBlitEl(long layer);

long __wrap__ZN5CGame17enumeratePakfilesEv() {
    step("enumeratePakfiles");
    return __real__ZN5CGame17enumeratePakfilesEv();
}
void __wrap__ZN5CGame24enumerateDisplayHandlersEv() {
    step("enumerateDisplayHandlers");
    __real__ZN5CGame24enumerateDisplayHandlersEv();
}
void __wrap__ZN5CGame20displayLoadingStatusEb(bool shown) {
    step(shown ? "loading shown" : "loading hidden");
    __real__ZN5CGame20displayLoadingStatusEb(shown);
}
void __wrap__ZN5CGame8postInitEv() {
    step("postInit");
    __real__ZN5CGame8postInitEv();
}
void __wrap__ZN5CGame4moveEv() {
    step("game move");
    __real__ZN5CGame4moveEv();
}
void __wrap__ZN5CGame7preBlitEl(long layer) {
    step("preBlit " + std::to_string(layer));
    __real__ZN5CGame7preBlitEl(layer);
}
void __wrap__ZN5CGame8postBlitEl(long layer) {
    step("postBlit " + std::to_string(layer));
    __real__ZN5CGame8postBlitEl(layer);
}
}

namespace {

const long kKeyReturn = 7;
const long kKeyLeftControl = 9;

// A window that adds the calls a frame makes of it to the steps.
class StepWindow : public FakeWindow {
public:
    long fullScreenSwitches = 0;
    void processEvents() override { step("processEvents"); }
    void setWorldView(float, float, float, float, bool clear) override {
        step(clear ? "clear" : "view");
    }
    void flipBackBuffer(bool wait, bool pump) override {
        step(std::string("flip") + (wait ? " wait" : "") + (pump ? " pump" : ""));
    }
    void resetFrameTime() override { step("resetFrameTime"); }
    bool toggleFullScreen(bool) override {
        fullScreenSwitches++;
        return true;
    }
};

class StepHandler : public CSceneHandler {
public:
    const char* getHandledSceneName() override { return "*"; }
    void onReset() override { step("handler reset"); }
    void move(double) override { step("handler move"); }
    void onNewSpriteUnderCursor(CSprite* sprite) override {
        step(sprite ? "handler under sprite" : "handler under nothing");
    }
    void onNewFlagsUnderCursor(unsigned long flags) override {
        step("handler flags " + std::to_string(flags));
    }
    void onUserEvent(const char* name) override { step(std::string("handler ") + name); }
    long getStateSize() override { return 0; }
    void* getStateData() override { return nullptr; }
};

// A display handler that tells when the tree moves and draws it, by the layer it is in.
class StepDisplay : public CUIDisplayHandler {
public:
    explicit StepDisplay(ZUIElement* parent) : CUIDisplayHandler(parent) { setSize(10, 10); }
    void move() override { step("display move " + std::to_string(getLayer())); }
    void blit(float, ZMatrix*) override { step("display blit " + std::to_string(getLayer())); }
    static CUIDisplayHandler* make(ZUIElement* parent) { return new StepDisplay(parent); }
};

class FramePlayer : public CPlayer {
public:
    explicit FramePlayer(ZWindow* window) { m_window = window; }
    ~FramePlayer() override { m_window = nullptr; }
    void setStateFolder(const std::string& path) {
        snprintf(m_stateFolder, sizeof(m_stateFolder), "%s", path.c_str());
    }
    // A missing file would end the program; the test keeps the name instead.
    void abortOnFile(const char* path) override { aborted.push_back(path ? path : ""); }
    std::vector<std::string> aborted;
};

struct Entry {
    std::string name;
    std::string text;
};

bool writeZip(const std::string& path, const std::vector<Entry>& entries) {
    zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip) return false;
    bool ok = true;
    for (const Entry& e : entries) {
        zip_fileinfo info;
        memset(&info, 0, sizeof(info));
        ok = ok &&
             zipOpenNewFileInZip(zip, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                 Z_DEFLATED, Z_DEFAULT_COMPRESSION) == ZIP_OK &&
             zipWriteInFileInZip(zip, e.text.data(), static_cast<unsigned>(e.text.size())) ==
                 ZIP_OK &&
             zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

// A main scene is covered by its background (a scene whose brushes have id 1 loads a background
// picture); the overlay has no background, only a plate.
const char kScene[] =
    "[scene]\nwidth=768\nheight=1024\nbrushes=frametest_brushes\n"
    "[sprite1]\nbrush=1\nid=1\nname=back\nkey1rectx2=768\nkey1recty2=1024\n";
const char kOverlay[] =
    "[scene]\nwidth=768\nheight=1024\nbrushes=frametest_overlay_brushes\n"
    "[sprite1]\nbrush=2\nid=1\nname=plate\nkey1rectx2=100\nkey1recty2=100\n";

// Scene pictures are decoded from the archive, as the loader thread does for the game.
ZGraphic* makeDecodingGraphic() {
    return new DecodingGraphic();
}
ZBatch* makeRecordingBatch() {
    return new RecordingBatch();
}

// The fixture's picture encoder, reached through a class of its own.
struct Pictures : PlayerFixture {
    using PlayerFixture::encodePicture;
};

// The game's data for these tests, packed as the game packs it and mounted before the game's own
// data.pak, so its names win. Archives stay mounted for the process: it is written once.
class PlayerFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ZMiscTools::initMiscTools();
        folder = new TempDir();
        std::string pak = folder->file("frametest.pak");
        std::string background = Pictures::encodePicture(768, 1024, 0xff204060, ZImageFormatJpg);
        ASSERT_FALSE(background.empty());
        ASSERT_TRUE(
            writeZip(pak, {{"data/game/game.ini",
                            "[config]\nstartscene=frametest_main\noverlay1=frametest_hud\n"
                            "overlay2=frametest_missing\noverlay4=frametest_hud\n"},
                           {"data/game/english.txt", "TITLE \"The title\"\nPLAY Play\n"},
                           {"data/scenes/frametest_main.ini", kScene},
                           {"data/scenes/frametest_hud.ini", kOverlay},
                           {"data/scenes/frametest_other.ini", kScene},
                           {"data/scenes/frametest_bare.ini", kScene},
                           {"data/brushes/frametest_brushes.ini", "[brush1]\nid=1\n"},
                           {"data/brushes/frametest_overlay_brushes.ini", "[brush1]\nid=2\n"},
                           {"data/graphics/scene_frametest_main_background.jpg", background},
                           {"data/graphics/scene_frametest_other_background.jpg", background}}));
        ASSERT_EQ(ZResource::addArchive(pak.c_str(), 0, nullptr), 0);
    }
    static void TearDownTestSuite() {
        delete folder;
        folder = nullptr;
    }
    void SetUp() override {
        RecordingLog::install();
        ZCore::setRenderFactories(makeDecodingGraphic, makeRecordingBatch);
        g_steps.clear();
        player.setStateFolder(state.path() + "/state");
        ZMiscTools::createDirectory((state.path() + "/state").c_str());
        player.registerSceneHandler(&handler);
    }
    void TearDown() override {
        for (long key : {kKeyReturn, kKeyLeftControl}) ZInput::setKeyState(key, false);
        if (player.isGameLoaded()) player.unloadGame();
        ZUIElement::cleanup();
        RecordingLog::uninstall();
    }
    // Starts the game and puts a step display into each inserted scene and the cursor layer. A
    // scene whose file is missing stays known to the player, without a container.
    void start() {
        ASSERT_TRUE(player.loadGame());
        player.registerDisplayHandler("step", StepDisplay::make);
        for (long slot = 0; slot < CPlayer::kSceneSlots; slot++) {
            CScene* scene = player.findLoadedScene(player.getSceneSlot(slot));
            if (scene && scene->container)
                player.createDisplayHandler("step", scene->container, scene);
        }
        new StepDisplay(player.getCursorContainer());
        g_steps.clear();
    }
    static std::vector<std::string> only(const std::vector<std::string>& lines,
                                         const std::vector<std::string>& prefixes) {
        std::vector<std::string> kept;
        for (const std::string& line : lines)
            for (const std::string& prefix : prefixes)
                if (line.compare(0, prefix.size(), prefix) == 0) {
                    kept.push_back(line);
                    break;
                }
        return kept;
    }

    static TempDir* folder;
    TempDir state;
    StepWindow window;
    FramePlayer player{&window};
    StepHandler handler;
};

TempDir* PlayerFrameTest::folder = nullptr;

TEST_F(PlayerFrameTest, StartUpRunsInItsOrderAndInsertsTheOverlaysFirst) {
    std::vector<std::string> lines = loggedMessages([&] { ASSERT_TRUE(player.loadGame()); });
    // The log and the steps side by side: the steps that tell the order, with the log lines of
    // the string table and of the scene that is missing. Each of the two inserted scenes resets
    // the frame loop; the game's post-init comes before the last reset.
    EXPECT_EQ(only(g_steps, {"enumerate", "handler", "loading", "postInit", "resetFrameTime"}),
              (std::vector<std::string>{"enumeratePakfiles", "enumerateDisplayHandlers",
                                        "handler reset", "loading shown", "resetFrameTime",
                                        "resetFrameTime", "postInit", "resetFrameTime"}));
    EXPECT_EQ(only(lines, {"Game: str", "Scene: scene '"}),
              (std::vector<std::string>{"Game: strings table read, 2 entries, ansi encoding",
                                        "Scene: scene 'frametest_missing' not loaded, file '" +
                                            std::string(ZMiscTools::getGameFolder()) +
                                            "/data/scenes/frametest_missing.ini' missing"}));

    EXPECT_TRUE(player.isGameLoaded());
    EXPECT_TRUE(player.aborted.empty());
    EXPECT_STREQ(player.getString("PLAY"), "Play");
    // Overlay keys are read until the first missing number.
    EXPECT_EQ(player.getOverlayCount(), 2);
    EXPECT_STREQ(player.getSceneSlot(0), "frametest_main");
    EXPECT_STREQ(player.getSceneSlot(1), "frametest_hud");
    EXPECT_STREQ(player.getSceneSlot(2), "frametest_missing");
    EXPECT_STREQ(player.getSceneSlot(3), "");

    // The cursor container is the root's child before the scenes (after the tree's own orphans
    // element): the base index counts it, and the scene containers sit at the base index plus
    // their layer.
    ZUIElement* cursor = player.getCursorContainer();
    ASSERT_NE(cursor, nullptr);
    EXPECT_STREQ(cursor->getName(), "__cursor_container");
    EXPECT_EQ(cursor->getLayer(), CPlayer::kCursorLayer);
    EXPECT_EQ(player.getBaseIndex(), 2);
    CScene* main = player.findLoadedScene("frametest_main");
    CScene* hud = player.findLoadedScene("frametest_hud");
    ASSERT_TRUE(main && hud && main->container && hud->container);
    EXPECT_EQ(main->layer, 0);
    EXPECT_EQ(hud->layer, 1);
    ZUIElement* root = ZUIElement::getRootElement();
    ASSERT_EQ(root->getFirstChildElement()->getNextSiblingElement(), cursor);
    EXPECT_EQ(cursor->getNextSiblingElement(), main->container);
    EXPECT_EQ(main->container->getNextSiblingElement(), hud->container);

    // The game's play screen is registered by its name.
    CUIDisplayHandler* screen = player.createDisplayHandler("Display_GameScreen", root, main);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->getScene(), main);
    delete screen;
}

TEST_F(PlayerFrameTest, AFrameRunsItsStepsInOrderAndDrawsEachLayerBetweenTheGamesHooks) {
    start();
    player.renderFrame();

    // The scenes entered in this frame have what lies under the pointer told again; the main
    // scene's background covers the screen, so it is not cleared.
    std::vector<std::string> expected = {
        "processEvents",         "processEvents",  "display move 99", "display move 0",
        "display move 1",        "handler move",   "game move",       "loading hidden",
        "handler under nothing", "handler flags 0"};
    for (long layer = 0; layer < CPlayer::kSceneSlots; layer++) {
        expected.push_back("preBlit " + std::to_string(layer));
        if (layer <= 1) expected.push_back("display blit " + std::to_string(layer));
        expected.push_back("postBlit " + std::to_string(layer));
    }
    expected.insert(expected.end(), {"display blit 99", "view", "flip wait pump"});
    EXPECT_EQ(g_steps, expected);

    // The loading status is hidden once; the next frame only moves and draws.
    g_steps.clear();
    player.forceRenderCurrentFrame();
    player.renderFrame();
    EXPECT_EQ(only(g_steps, {"loading", "flip"}), (std::vector<std::string>{"flip pump"}));

    // Without the main scene the screen is still cleared; a window that cannot show the pointer
    // keeps the cursor layer undrawn.
    player.stopScene(player.findLoadedScene("frametest_main"));
    window.quit = true;
    g_steps.clear();
    player.blit();
    EXPECT_EQ(g_steps.front(), "clear");
    EXPECT_EQ(g_steps.back(), "postBlit 8");
}

TEST_F(PlayerFrameTest, TheMainScenesBackgroundSparesTheClearAndABandFillsWhatAZoomUncovers) {
    start();
    // The scene's own background: its picture, decoded by the load, and the image element its
    // sprite became.
    CScene* main = player.findLoadedScene("frametest_main");
    ASSERT_TRUE(main && main->container && player.getGestureArea(0));
    ASSERT_TRUE(main->backgroundImage && main->backgroundSprite && main->backgroundSprite->element);
    ZGraphic* picture = main->backgroundImage;
    RecordingGraphic* image = static_cast<RecordingGraphic*>(picture);
    EXPECT_EQ(image->width, 768);
    EXPECT_EQ(image->height, 1024);
    ZUIElement* background = main->backgroundSprite->element;
    EXPECT_TRUE(background->isOfClass("ZUIImage"));

    struct Case {
        const char* what;
        float scale, blend, backgroundX;
        bool hasImage, cleared, band;
    };
    const Case cases[] = {
        {"covered at rest", 1, 1, 0, true, false, false},
        {"zoomed out", 0.5f, 1, 0, true, false, true},
        {"fading in", 1, 0.5f, 0, true, false, true},
        {"background moved aside", 1, 1, 100, true, true, false},
        {"no background image", 0.5f, 1, 0, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        player.getGestureArea(0)->setScale(c.scale);
        main->container->setBlend(c.blend);
        background->setPosition(c.backgroundX, 0);
        main->backgroundImage = c.hasImage ? picture : nullptr;
        player.move(0);
        g_steps.clear();
        RecordingLog::clear();
        player.blit();
        EXPECT_EQ(g_steps.front() == "clear", c.cleared);
        // The band is drawn with the player's own graphic right after layer 0.
        std::vector<std::string> batches = RecordingLog::matching("batch begin");
        long band = 0;
        for (const std::string& line : batches)
            if (line != "batch begin " + image->tag()) band++;
        EXPECT_EQ(band > 0, c.band);
    }
    main->backgroundImage = picture;
}

TEST_F(PlayerFrameTest, ASpriteDraggedInTheCursorContainerHoldsTheMainScenesPanStill) {
    start();
    ZGestureArea* area = player.getGestureArea(0);
    ASSERT_NE(area, nullptr);
    CSpriteState state;
    CSprite sprite;
    sprite.state = &state;
    ZUIElement* element = new ZUIElement(player.getCursorContainer());
    element->setUserData(&sprite);
    struct Case {
        const char* what;
        bool dragging, cursor, secondary, enabled;
    };
    const Case cases[] = {
        {"resting in the container", false, false, false, true},
        {"dragged", true, false, false, false},
        {"the cursor, dragging", true, true, false, true},
        {"the secondary cursor, dragging", true, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        state.dragging = c.dragging;
        state.isCursor = c.cursor;
        state.isSecondaryCursor = c.secondary;
        player.move(0);
        EXPECT_EQ(area->isEnabled(), c.enabled);
    }
    delete element;
    sprite.state = nullptr;
}

TEST_F(PlayerFrameTest, TheSpriteUnderThePointerAndItsFlagsAreToldWhenTheyChange) {
    start();
    CScene* main = player.findLoadedScene("frametest_main");
    ASSERT_TRUE(main && main->container);
    CSpriteState state;
    CSprite sprite;
    sprite.state = &state;
    sprite.gameFlags = 0x1;
    sprite.keyCount = 2;
    sprite.keys = new CSpriteKey[2]();
    sprite.keys[1].flags = 0x4;
    state.currentKey = 1;
    ZUIElement* element = new ZUIElement(main->container);
    element->setPosition(100, 100);
    element->setSize(50, 50);
    element->enableElementInput(true);
    element->setUserData(&sprite);
    ZInput::initialize(&window, nullptr, nullptr, 0, 0, 1, 1, true, 0, 0);

    struct Case {
        const char* what;
        long x, y;
        std::vector<std::string> told;
    };
    const Case cases[] = {
        {"onto the sprite", 120, 120, {"handler under sprite", "handler flags 5"}},
        {"still on it", 125, 125, {}},
        {"off it", 300, 300, {"handler under nothing", "handler flags 0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The tree finds what lies under the pointer where the input state has it.
        ZInput::mousePointerTo(c.x, c.y);
        g_steps.clear();
        player.move(0);
        EXPECT_EQ(only(g_steps, {"handler under", "handler flags"}), c.told);
    }
    ZInput::cleanup();
    delete element;
    sprite.state = nullptr;
}

TEST_F(PlayerFrameTest, ControlAndReturnTogetherSwitchFullScreenOncePerPress) {
    start();
    struct Press {
        bool control, enter;
        long frames;
        const char* expectedSetting;
        long expectedSwitches;
    };
    const Press presses[] = {
        {false, true, 2, "0", 0},   // Return alone
        {true, false, 2, "0", 0},   // Control alone
        {true, true, 5, "1", 1},    // held for five frames: one switch
        {true, false, 1, "1", 1},   // Return let go
        {true, true, 3, "0", 2},    // pressed again: back
        {false, false, 1, "0", 2},  // both let go
    };
    for (const Press& p : presses) {
        ZInput::setKeyState(kKeyLeftControl, p.control);
        ZInput::setKeyState(kKeyReturn, p.enter);
        for (long i = 0; i < p.frames; i++) player.renderFrame();
        EXPECT_STREQ(player.readSetting("fullscreen"), p.expectedSetting) << p.control << p.enter;
        EXPECT_EQ(window.fullScreenSwitches, p.expectedSwitches) << p.control << p.enter;
    }
    // Each switch was announced to the scene handlers, not quiet.
    EXPECT_EQ(
        only(g_steps, {"handler setting"}),
        (std::vector<std::string>{"handler setting:fullscreen", "handler setting:fullscreen"}));
}

TEST_F(PlayerFrameTest, AnEditorOverrideRestartsTheScenesAfterTheFrame) {
    start();
    std::string editor = state.path() + "/Tinkerloom";
    ZMiscTools::createDirectory(editor.c_str());
    struct Case {
        const char* what;
        const char* override;
        const char* startScene;
        bool mainInserted;
    };
    const Case cases[] = {
        {"another start scene", "[config]\nstartscene=frametest_other\n", "frametest_other", true},
        {"an empty start scene keeps the last", "[config]\nstartscene=\n", "frametest_other", true},
        // A scene that is not there: nothing to reset or insert in layer 0, the overlays stay.
        {"a start scene that is missing", "[config]\nstartscene=frametest_gone\n", "frametest_gone",
         false},
        {"back to a scene that exists", "[config]\nstartscene=frametest_main\n", "frametest_main",
         true},
    };
    long count = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A look without a file forgets the kept time, so a file written within the same second
        // is read.
        player.overrideConfig();
        std::string path = editor + "/override.ini";
        writeFile(path, c.override);
        ZResourceStat stat;
        ASSERT_TRUE(ZResource::stat(path.c_str(), &stat));
        player.overrideConfig();
        EXPECT_FALSE(ZResource::stat(path.c_str(), &stat)) << "the override file is removed";
        player.renderFrame();
        EXPECT_STREQ(player.getStartScene(), c.startScene);
        EXPECT_STREQ(player.getSceneSlot(0), c.startScene);
        CScene* main = player.findLoadedScene(c.startScene);
        EXPECT_EQ(main != nullptr && main->layer == 0, c.mainInserted);
        CScene* hud = player.findLoadedScene("frametest_hud");
        ASSERT_NE(hud, nullptr);
        EXPECT_EQ(hud->layer, 1);
        EXPECT_TRUE(player.aborted.empty());
        count++;
    }
    EXPECT_EQ(count, 4);
}

TEST_F(PlayerFrameTest, AStartSceneThatCannotBeReadEndsTheGameWithItsFileNamed) {
    // The override names the start scene the game loads: without it there is nothing to show.
    std::string editor = state.path() + "/Tinkerloom";
    ZMiscTools::createDirectory(editor.c_str());
    struct Case {
        const char* what;
        const char* startScene;
        const char* file;
    };
    const Case cases[] = {
        {"its scene file is missing", "frametest_nowhere", "data/scenes/frametest_nowhere.ini"},
        // The picture is read on the loader thread; the upload ends the game with its name.
        {"its background picture is missing", "frametest_bare",
         "scene_frametest_bare_background.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A look without the file forgets its kept time: the next one may be written in the
        // same second.
        player.overrideConfig();
        writeFile(editor + "/override.ini",
                  std::string("[config]\nstartscene=") + c.startScene + "\n");
        player.aborted.clear();
        ASSERT_TRUE(player.loadGame());
        // The abort does not return in the game: the first one is what the player sees.
        ASSERT_FALSE(player.aborted.empty());
        EXPECT_NE(player.aborted[0].find(c.file), std::string::npos) << player.aborted[0];
        CScene* main = player.findLoadedScene(c.startScene);
        EXPECT_TRUE(!main || !main->container);
        // The overlays that could be read are still in place.
        CScene* hud = player.findLoadedScene("frametest_hud");
        ASSERT_NE(hud, nullptr);
        EXPECT_EQ(hud->layer, 1);
        player.unloadGame();
    }
}

}  // namespace
