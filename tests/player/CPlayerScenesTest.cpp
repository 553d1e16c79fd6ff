#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "../text/TestBitmapFont.h"
#include "CUIDisplayHandler.h"
#include "CUIEmitter.h"
#include "CUIRichText.h"
#include "LoggedMessages.h"
#include "PlayerFixture.h"
#include "ZImage.h"
#include "ZInput.h"
#include "ZUIBounds.h"
#include "ZUIElement.h"
#include "ZUIImage.h"
#include "ZUISlider.h"

namespace {

// The brushes every scene of these tests shares: a background, a plain 40 x 40 picture with its
// pivot at (10, 10), a font, a horizontal slider, an emitter and a stretched panel.
const char* const kBrushes =
    "[brush1]\nid=1\nname=background\nmode=stretched\n"
    "[brush2]\nid=2\nname=plate\ntexsrcx2=40\ntexsrcy2=40\ntexpivotx=10\ntexpivoty=10\n"
    "frames=3\nanimrate=10\n"
    "[brush3]\nid=3\nname=letters\nfontheight=16\n"
    "[brush4]\nid=4\nname=bar\nmode=hslide\ntexsrcx2=20\ntexsrcy2=10\n"
    "[brush5]\nid=5\nname=sparks\nparticles=8\ntexsrcx2=16\ntexsrcy2=16\ntexpivotx=8\n"
    "texpivoty=8\n"
    "[brush6]\nid=6\nname=panel\nmode=stretched\nstretchx1=4\nstretchy1=4\nstretchx2=12\n"
    "stretchy2=12\ntexsrcx2=16\ntexsrcy2=16\n";

// One sprite section; extra keys follow the standard ones.
std::string sprite(long n, unsigned long brush, unsigned long id, const char* name,
                   const std::string& extra = "") {
    char text[300];
    snprintf(text, sizeof(text), "[sprite%ld]\nbrush=%lx\nid=%lx\nname=%s\n", n, brush, id, name);
    return text + extra;
}

// A picture frame of the scene's first atlas.
std::string atlasFrame(long frame, long x1, long y1, long x2, long y2) {
    char text[200];
    snprintf(text, sizeof(text),
             "atlas%ldindex=1\natlas%ldsrcx1=%ld\natlas%ldsrcy1=%ld\natlas%ldsrcx2=%ld\n"
             "atlas%ldsrcy2=%ld\n",
             frame, frame, x1, frame, y1, frame, x2, frame, y2);
    return text;
}

bool anyContains(const std::vector<std::string>& lines, const std::string& part) {
    for (const std::string& line : lines)
        if (line.find(part) != std::string::npos) return true;
    return false;
}

class RecordingDisplayHandler : public CUIDisplayHandler {
public:
    explicit RecordingDisplayHandler(ZUIElement* parent) : CUIDisplayHandler(parent) {}
    void onReset() override { calls.push_back("reset"); }
    void onInsert() override { calls.push_back("insert"); }
    void onRemove() override { calls.push_back("remove"); }
    static std::vector<std::string> calls;
    static CUIDisplayHandler* make(ZUIElement* parent) {
        return new RecordingDisplayHandler(parent);
    }
};
std::vector<std::string> RecordingDisplayHandler::calls;

std::string bytesOfPage(long page) {
    std::vector<uint32_t> pixels = testfont::pagePixels(page);
    uint32_t* owned = new uint32_t[pixels.size()];
    for (size_t i = 0; i < pixels.size(); i++) owned[i] = pixels[i];
    ZImage image;
    image.setPixels(testfont::kPageWidth[page], testfont::kPageHeight[page], true, owned, false,
                    true);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    image.encodeImage(ZImageFormatJem, data, size, 100);
    std::string bytes(reinterpret_cast<char*>(data), size);
    delete[] data;
    return bytes;
}

class SceneLifecycleTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        RecordingDisplayHandler::calls.clear();
        add("data/brushes/objects.ini", kBrushes);
        add("data/graphics/font_3.tbl", testfont::table(3));
        add("data/graphics/font_3_1.jem", bytesOfPage(0));
        add("data/graphics/font_3_2.jem", bytesOfPage(1));
    }
    // A scene with a background and one atlas of 64 x 64.
    void addScene(const std::string& name, const std::string& sprites,
                  const std::string& head = "") {
        add("data/scenes/" + name + ".ini", "[scene]\nwidth=768\nheight=1024\n" + head + sprites);
        addPicture("data/graphics/scene_" + name + "_background.jpg", 32, 32, 0xFF204060);
        addPicture("data/graphics/scene_" + name + "_atlas1.bmp", 64, 64, 0xFFFF8000);
    }
    static std::vector<std::string> uploads() { return RecordingLog::matching("upload "); }
};

TEST_F(SceneLifecycleTest, SpritesBecomeTheElementOfTheirBrushKind) {
    player->registerDisplayHandler("board", RecordingDisplayHandler::make);
    addScene("kinds",
             sprite(1, 1, 1, "back", "key1rectx2=768\nkey1recty2=1024\n") +
                 sprite(2, 0x99, 2, "lost", "key1anchorx=50\nkey1anchory=60\n") +
                 sprite(3, 2, 3, "plate",
                        "key1anchorx=100\nkey1anchory=100\n" + atlasFrame(1, 0, 0, 40, 40)) +
                 sprite(4, 2, 4, "mirrored", "xflip=1\nkey1anchorx=100\nkey1anchory=100\n") +
                 sprite(5, 3, 5, "label",
                        "key1rectx1=10\nkey1recty1=20\nkey1rectx2=210\nkey1recty2=60\n"
                        "key1anchorx=110\nkey1anchory=40\n") +
                 sprite(6, 4, 6, "volume", "key1rectx2=200\nkey1recty2=10\n") +
                 sprite(7, 5, 7, "fire") + sprite(8, 2, 8, "board", "displayhandler=BOARD\n") +
                 sprite(9, 2, 9, "nohandler", "displayhandler=missing\n") +
                 sprite(10, 6, 10, "panel",
                        "key1rectx1=5\nkey1recty1=6\nkey1rectx2=105\nkey1recty2=56\n"
                        "key1anchorx=55\nkey1anchory=31\n" +
                            atlasFrame(1, 16, 16, 32, 32)));
    mount();
    CScene* scene = nullptr;
    // Without the first update: the geometry is the insertion's own.
    std::vector<std::string> log = loggedMessages([&] {
        scene = player->loadScene("kinds");
        player->uploadScene(scene);
        player->insertScene(scene, 0, true);
    });
    ASSERT_NE(scene, nullptr);
    ASSERT_EQ(scene->status.load(), 4);

    struct Case {
        const char* sprite;
        float x, y, width, height, centerX, centerY;
    };
    const Case geometry[] = {
        {"lost", 30, 40, 40, 40, 0, 0},
        {"plate", 90, 90, 40, 40, -10, -10},
        // The centre takes the mirrored pivot; the position the pivot as read.
        {"mirrored", 90, 90, 40, 40, 10, -10},
        {"label", 10, 20, 200, 40, 0, 0},
        {"panel", 5, 6, 100, 50, 0, 0},
    };
    for (const Case& c : geometry) {
        ZUIElement* e = element("kinds", c.sprite);
        ASSERT_NE(e, nullptr) << c.sprite;
        EXPECT_FLOAT_EQ(e->getPositionX(), c.x) << c.sprite;
        EXPECT_FLOAT_EQ(e->getPositionY(), c.y) << c.sprite;
        EXPECT_FLOAT_EQ(e->getWidth(), c.width) << c.sprite;
        EXPECT_FLOAT_EQ(e->getHeight(), c.height) << c.sprite;
        EXPECT_FLOAT_EQ(e->getCenterX(), c.centerX) << c.sprite;
        EXPECT_FLOAT_EQ(e->getCenterY(), c.centerY) << c.sprite;
    }

    CSprite* lost = nullptr;
    for (CSprite* s = scene->sprites.head; s; s = ZList<CSprite>::nextOf(s))
        if (strcmp(s->name, "lost") == 0) lost = s;
    ASSERT_NE(lost, nullptr);
    float color[4];
    lost->image->getColor(color);
    EXPECT_EQ(std::vector<float>(color, color + 4), (std::vector<float>{1, 0, 0, 1}));

    ZUIImage* plate = ZUIImage::isImage(element("kinds", "plate"));
    ASSERT_NE(plate, nullptr);
    EXPECT_EQ(plate->getFrameCount(), 3);
    ZUIImageFrame frame;
    ASSERT_TRUE(plate->getFrameData(0, &frame));
    EXPECT_EQ(frame.graphic, scene->atlases[0]);
    EXPECT_EQ(frame.x2, 40);
    // Frames without an atlas draw the background picture.
    ASSERT_TRUE(plate->getFrameData(1, &frame));
    EXPECT_EQ(frame.graphic, scene->backgroundImage);
    ZUIImageVisual visual;
    ASSERT_TRUE(plate->getVisualData("frames", &visual));
    EXPECT_EQ(visual.lastFrame, 2);
    EXPECT_DOUBLE_EQ(visual.frameDuration, 100);  // 10 frames a second

    ZUIImage* panel = ZUIImage::isImage(element("kinds", "panel"));
    ASSERT_TRUE(panel && panel->getFrameData(0, &frame));
    EXPECT_TRUE(frame.stretchX && frame.stretchY);
    // The stretch rectangle moves into the frame's atlas region.
    EXPECT_EQ(frame.stretchLeft, 20);
    EXPECT_EQ(frame.stretchRight, 28);
    EXPECT_EQ(frame.stretchTop, 20);
    // A brush without a frame rate has no brush animation: no endless frame time.
    ASSERT_TRUE(panel->getVisualData("frames", &visual));
    EXPECT_EQ(visual.frameDuration, 0);

    CUIRichText* label = dynamic_cast<CUIRichText*>(element("kinds", "label"));
    ASSERT_NE(label, nullptr);
    EXPECT_NE(label->getTextFont(), nullptr);
    EXPECT_NE(ZUISlider::isSlider(element("kinds", "volume")), nullptr);
    EXPECT_NE(CUIEmitter::isUIEmitter(element("kinds", "fire")), nullptr);
    EXPECT_NE(dynamic_cast<RecordingDisplayHandler*>(element("kinds", "board")), nullptr);
    EXPECT_EQ(RecordingDisplayHandler::calls, (std::vector<std::string>{"reset", "insert"}));
    ZUIElement* nohandler = element("kinds", "nohandler");
    ASSERT_NE(nohandler, nullptr);
    EXPECT_EQ(CUIDisplayHandler::isUIDisplayHandler(nohandler), nullptr);
    EXPECT_TRUE(anyContains(log, "Game: display handler 'missing' not found"));

    // Every sprite element hangs in the scene's container and leads back to its sprite.
    ZUIElement* container = ZUIElement::getElementByName("scenecontainer_kinds");
    ASSERT_NE(container, nullptr);
    for (CSprite* s = scene->sprites.head; s; s = ZList<CSprite>::nextOf(s)) {
        ASSERT_NE(s->element, nullptr) << s->name;
        EXPECT_EQ(s->element->getUserData(), s);
        EXPECT_EQ(s->element->getParentElement(), container);
        EXPECT_EQ(s->state, scene->sceneState->findSpriteState(s->id));
    }
    EXPECT_EQ(scene->backgroundSprite, scene->sprites.head);

    player->stopScene(scene);
    EXPECT_EQ(RecordingDisplayHandler::calls.back(), "remove");
    EXPECT_EQ(scene->status.load(), 1);
    EXPECT_EQ(ZUIElement::getElementByName("scenecontainer_kinds"), nullptr);
}

TEST_F(SceneLifecycleTest, ChildrenListedBeforeTheirParentsAreInsertedUnderThem) {
    addScene("tree", sprite(1, 2, 3, "grandchild", "parent=2\n") +
                         sprite(2, 2, 2, "child", "parent=1\n") + sprite(3, 2, 1, "top"));
    mount();
    CScene* scene = play("tree");
    ASSERT_NE(scene, nullptr);
    ZUIElement* top = element("tree", "top");
    ZUIElement* child = element("tree", "child");
    ZUIElement* grandchild = element("tree", "grandchild");
    ASSERT_TRUE(top && child && grandchild);
    EXPECT_EQ(child->getParentElement(), top);
    EXPECT_EQ(grandchild->getParentElement(), child);

    // Freeing a sprite's tree takes its descendants and their states along.
    CSprite* topSprite = scene->findSprite(1);
    player->freeSceneSpriteTree(scene, scene->sceneState, topSprite);
    EXPECT_EQ(scene->sprites.count, 0);
    EXPECT_EQ(scene->sceneState->spriteStates.count, 0);
    EXPECT_EQ(element("tree", "grandchild"), nullptr);
}

TEST_F(SceneLifecycleTest, PicturesUploadOnTheMainThreadAfterTheirDecode) {
    addScene("order",
             sprite(1, 1, 1, "back") +
                 sprite(2, 2, 2, "plate", "key1color=FFFFFFFF\n" + atlasFrame(1, 0, 0, 40, 40)));
    mount();
    CScene* scene = player->loadScene("order");
    ASSERT_NE(scene, nullptr);
    player->uploadScene(scene);
    EXPECT_EQ(scene->status.load(), 3);
    EXPECT_EQ(DecodingGraphic::decodes.load(), 2);
    EXPECT_EQ(uploads(), (std::vector<std::string>{"upload scene_order_background.jpg",
                                                   "upload scene_order_atlas1.bmp"}));
    EXPECT_EQ(element("order", "plate"), nullptr);  // elements come with the insertion
    player->insertScene(scene, 0, false);
    // Once inserted, the sprite draws its frame from the atlas.
    RecordingLog::clear();
    frames(1);
    std::string atlas = static_cast<RecordingGraphic*>(scene->atlases[0])->tag();
    EXPECT_FALSE(RecordingLog::matching("batch begin " + atlas).empty());
    EXPECT_FALSE(RecordingLog::matching("batch blit 0 0 40 40 > 0 0 40 40").empty());
    EXPECT_NE(element("order", "plate"), nullptr);

    // A scene whose file has not changed is taken again without a new load.
    player->stopScene(scene);
    EXPECT_EQ(player->loadScene("order"), scene);
    EXPECT_EQ(player->getPendingLoads(), 1);  // its pictures decode again
    player->uploadScene(scene);
    EXPECT_EQ(scene->status.load(), 3);
    EXPECT_EQ(player->loadScene("order"), scene);
    EXPECT_EQ(player->getPendingLoads(), 0);
}

TEST_F(SceneLifecycleTest, AMissingPictureEndsTheGameNamingItAndAMissingSceneFailsCleanly) {
    add("data/scenes/broken.ini",
        "[scene]\n" + sprite(1, 2, 1, "plate", atlasFrame(1, 0, 0, 4, 4)));
    mount();
    CScene* broken = nullptr;
    std::vector<std::string> log = loggedMessages([&] {
        broken = player->loadScene("broken");
        player->uploadScene(broken);
    });
    // The shared brushes have a background: its picture is the first one missing.
    EXPECT_EQ(player->aborted, (std::vector<std::string>{"scene_broken_background.jpg"}));
    EXPECT_TRUE(anyContains(log, "scene_broken_background.jpg"));
    EXPECT_LT(broken->status.load(), 2);

    CScene* missing = nullptr;
    log = loggedMessages([&] {
        missing = player->loadScene("no_such_scene");
        player->uploadScene(missing);
    });
    ASSERT_NE(missing, nullptr);
    player->insertScene(missing, 1, false);
    EXPECT_EQ(missing->status.load(), 0);
    EXPECT_EQ(player->aborted.size(), 1u);
    EXPECT_NE(std::string(player->getFailedFile()).find("no_such_scene.ini"), std::string::npos);
    EXPECT_TRUE(anyContains(log, "no_such_scene.ini"));
    EXPECT_FALSE(player->hasScenes());
}

// Frames run while a slow load decodes on its own thread; the queued scene replaces the one of
// its layer when it is ready and says so.
TEST_F(SceneLifecycleTest, FramesGoOnWhileTheLoaderThreadDecodes) {
    addScene("first", sprite(1, 2, 1, "plate", atlasFrame(1, 0, 0, 40, 40)));
    addScene("slow", sprite(1, 2, 1, "plate", atlasFrame(1, 0, 0, 40, 40)));
    mount();
    std::vector<std::string> events;
    player->setUserEventCallback(
        [](void* data, const char* name) {
            static_cast<std::vector<std::string>*>(data)->push_back(name);
        },
        &events);
    CScene* first = play("first", 3);
    ASSERT_NE(first, nullptr);

    DecodingGraphic::decodeDelayMs = 150;
    player->addSceneToLoadQueue("slow", 3);
    player->addSceneToLoadQueue("SLOW", 5);  // queued once, with the first layer
    EXPECT_EQ(player->getQueuedLoadCount(), 1);
    long frameCount = 0;
    auto frame = [&] {
        frames(1);
        frameCount++;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };
    frame();
    CScene* slow = player->getSceneByName("slow");
    ASSERT_NE(slow, nullptr);
    EXPECT_EQ(player->getPendingLoads(), 1);
    while (frameCount < 2000 && slow->status.load() < 4) frame();
    // Two decodes of 150 ms each went by while frames ran.
    EXPECT_GT(frameCount, 5);
    EXPECT_EQ(slow->status.load(), 4);
    EXPECT_EQ(slow->layer, 3);
    EXPECT_EQ(first->status.load(), 1);
    EXPECT_STREQ(player->getSceneSlot(3), "slow");
    EXPECT_EQ(events, (std::vector<std::string>{"sceneloaded:slow"}));
    EXPECT_EQ(player->getPendingLoads(), 0);
}

TEST_F(SceneLifecycleTest, UnloadingCancelsARunningLoadThread) {
    addScene("slow", sprite(1, 2, 1, "plate", atlasFrame(1, 0, 0, 40, 40)));
    mount();
    DecodingGraphic::decodeDelayMs = 100;
    CScene* scene = player->loadScene("slow");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(player->getPendingLoads(), 1);
    player->unloadScene(scene);
    EXPECT_EQ(scene->loaderThread, nullptr);
    EXPECT_EQ(player->getPendingLoads(), 0);
    EXPECT_LT(scene->status.load(), 2);
    EXPECT_TRUE(player->aborted.empty());
    // Loaded again, it comes back whole.
    DecodingGraphic::decodeDelayMs = 0;
    player->loadScene("slow");
    player->uploadScene(scene);
    player->insertScene(scene, 0, false);
    EXPECT_EQ(scene->status.load(), 4);
    EXPECT_NE(element("slow", "plate"), nullptr);
}

TEST_F(SceneLifecycleTest, LayersKeepTheirContainersInOrderAndSwitchesReplaceTheirScene) {
    for (const char* name : {"main", "top", "middle", "next"})
        addScene(name, sprite(1, 2, 1, "plate"),
                 name == std::string("next") ? "defaultmusic=music/next.mp3\n" : "");
    mount();
    play("main", 0);
    play("top", 2);
    play("middle", 1);
    auto containerIndex = [](const char* name) {
        std::string full = std::string("scenecontainer_") + name;
        ZUIElement* c = ZUIElement::getElementByName(full.c_str());
        return c ? c->getSiblingIndex() : -1;
    };
    // The root's other children (the tree's own) stay before the containers.
    long base = containerIndex("main");
    EXPECT_EQ(containerIndex("middle"), base + 1);
    EXPECT_EQ(containerIndex("top"), base + 2);
    EXPECT_EQ(player->getSceneByLayer(1), player->getSceneByName("middle"));

    // A switch without a fade: the update that finds its counter run out removes the scene and
    // inserts the target.
    CScene* main = player->getSceneByName("main");
    player->switchScene(main, main->sceneState, "next", 0, -1);
    EXPECT_FALSE(main->container->isTreeInputEnabled());
    frames(1);
    EXPECT_EQ(main->status.load(), 4);
    frames(1);
    CScene* next = player->getSceneByName("next");
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->status.load(), 4);
    EXPECT_EQ(next->layer, 0);
    EXPECT_EQ(main->status.load(), 1);
    EXPECT_STREQ(player->getSceneSlot(0), "next");
    EXPECT_EQ(containerIndex("next"), base);
    EXPECT_EQ(containerIndex("middle"), base + 1);
    // Its music started with its insertion.
    EXPECT_NE(std::string(player->getCurrentMusicFilename()).find("music/next.mp3"),
              std::string::npos);
    // Without a fade the new scene starts at rest.
    EXPECT_TRUE(next->sceneState->fadeCounter.isCompleted());

    // A close request takes the scene out at its next update.
    CScene* top = player->getSceneByName("top");
    top->sceneState->closeRequested = true;
    frames(1);
    EXPECT_EQ(top->status.load(), 1);
    EXPECT_EQ(player->getSceneByLayer(2), nullptr);
}

TEST_F(SceneLifecycleTest, ASwitchInLayerZeroWithQuitRequestedEndsTheLoopAndStillLoads) {
    addScene("main", sprite(1, 2, 1, "plate"));
    addScene("next", sprite(1, 2, 1, "plate"));
    mount();
    CScene* main = play("main", 0);
    player->doQuitOnNextSwitch();
    player->switchScene(main, main->sceneState, "next", 0, 100);
    frames(8);
    EXPECT_TRUE(window.isQuit());
    CScene* next = player->getSceneByName("next");
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->status.load(), 4);
    // With a fade, the new scene fades in.
    EXPECT_FALSE(next->sceneState->fadeCounter.isCompleted());
}

// A window that pumps a pointer press into the player each time its events are processed, as
// the desktop would when a frame is flipped.
class PumpingWindow : public RecordingWindow {
public:
    CPlayer* player = nullptr;
    long pumped = 0;
    long flips = 0;
    void processEvents() override {
        if (!player) return;
        pumped++;
        ZEvent event = press();
        player->eventHandler(&event);
    }
    void flipBackBuffer(bool, bool) override { flips++; }
    static ZEvent press() {
        ZEvent event = {};
        event.type = kZEventMouseDown;
        event.x = 5;
        event.y = 5;
        event.button = 1;
        return event;
    }
};

class SwitchFrameTest : public SceneLifecycleTest {
protected:
    ZWindow* playerWindow() override { return &pumping; }
    void SetUp() override {
        SceneLifecycleTest::SetUp();
        for (const char* name : {"main", "next", "last"}) addScene(name, sprite(1, 2, 1, "plate"));
        mount();
        main = play("main", 0);
        // An element over the whole screen whose message stands for an action run by the event.
        catcher = new ZUIElement(ZUIElement::getRootElement());
        catcher->setSize(768, 1024);
        catcher->setLayer(9);
        catcher->setMessageCallBack(onMessage);
        g_test = this;
        ZInput::setMouseButton(1, true);
    }
    void TearDown() override {
        ZInput::setMouseButton(1, false);
        g_test = nullptr;
        SceneLifecycleTest::TearDown();
    }
    static void onMessage(ZUIMessage*) {
        g_test->messages++;
        if (g_test->inUpdate) g_test->messagesInsideUpdate++;
        if (g_test->updateOnMessage) g_test->player->updateScene(g_test->updateOnMessage, 20);
    }
    static SwitchFrameTest* g_test;
    PumpingWindow pumping;
    CScene* main = nullptr;
    ZUIElement* catcher = nullptr;
    CScene* updateOnMessage = nullptr;
    bool inUpdate = false;
    long messages = 0, messagesInsideUpdate = 0;
};
SwitchFrameTest* SwitchFrameTest::g_test = nullptr;

// The frame that a switch of layer 0 draws before its blocking load pumps events: they wait for
// the next frame instead of running their actions inside the update that switches.
TEST_F(SwitchFrameTest, EventsPumpedByTheSwitchFrameWaitForTheNextFrame) {
    player->switchScene(main, main->sceneState, "next", 0, 0);
    player->updateScene(main, 0);  // the fade runs out
    pumping.player = player;
    inUpdate = true;
    player->updateScene(main, 20);
    inUpdate = false;
    pumping.player = nullptr;
    EXPECT_EQ(pumping.flips, 1);
    EXPECT_EQ(pumping.pumped, 1);
    EXPECT_EQ(messagesInsideUpdate, 0);
    CScene* next = player->getSceneByName("next");
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->status.load(), 4);
    long before = messages;
    player->renderFrame();
    EXPECT_GT(messages, before);
    EXPECT_EQ(messagesInsideUpdate, 0);
}

// A switch completed by an update run from inside a handled event draws no frame: its pump would
// re-enter the one running.
TEST_F(SwitchFrameTest, ASwitchCompletedInsideAnEventFlipsNoFrame) {
    player->switchScene(main, main->sceneState, "last", 0, 0);
    player->updateScene(main, 0);
    updateOnMessage = main;
    ZEvent event = PumpingWindow::press();
    player->eventHandler(&event);
    updateOnMessage = nullptr;
    EXPECT_GE(messages, 1);
    EXPECT_EQ(pumping.flips, 0);
    CScene* last = player->getSceneByName("last");
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->status.load(), 4);
    EXPECT_EQ(main->status.load(), 1);
}

TEST_F(SceneLifecycleTest, LoadSwitchAndUnloadManyTimesInARowLeaveNothingBehind) {
    addScene("a", sprite(1, 1, 1, "back") + sprite(2, 2, 2, "plate", atlasFrame(1, 0, 0, 40, 40)) +
                      sprite(3, 3, 3, "label", "key1rectx2=100\nkey1recty2=20\n"));
    addScene("b", sprite(1, 2, 1, "plate", atlasFrame(1, 0, 0, 40, 40)) + sprite(2, 4, 2, "bar"));
    mount();
    long elementsBefore = ZUIElement::getTotalElementsCount();
    long graphicsBefore = RecordingLog::liveGraphics;
    CScene* scene = play("a", 0);
    for (long i = 0; i < 50; i++) {
        const char* target = i % 2 ? "a" : "b";
        player->switchScene(scene, scene->sceneState, target, 0, -1);
        frames(2);
        scene = player->getSceneByLayer(0);
        ASSERT_NE(scene, nullptr) << i;
        ASSERT_STREQ(scene->name, target);
    }
    player->stopAllScenes();
    player->freeAllScenes();
    EXPECT_EQ(ZUIElement::getTotalElementsCount(), elementsBefore);
    EXPECT_EQ(RecordingLog::liveGraphics, graphicsBefore);
}

}  // namespace

namespace {

TEST_F(SceneLifecycleTest, ACopyTakesTheSourcesChildrenButNotItsCopies) {
    addScene("copies", sprite(1, 2, 1, "source", "key1anchorx=100\nkey1anchory=100\n") +
                           sprite(2, 2, 2, "left", "parent=1\n") +
                           sprite(3, 2, 3, "right", "parent=1\n"));
    mount();
    CScene* scene = play("copies");
    ASSERT_NE(scene, nullptr);
    CSprite* source = scene->findSprite(1);
    CSprite* kept = player->copySprite(source, true, "kept", 0, nullptr);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->copyKind, 2);
    EXPECT_STREQ(kept->name, "kept");
    EXPECT_NE(kept->id, 0ul);
    EXPECT_NE(kept->id, 0xFFFFFFFFul);
    EXPECT_EQ(scene->findSprite(kept->id), kept);
    ASSERT_NE(kept->element, nullptr);
    EXPECT_EQ(kept->element->getParentElement(), source->element->getParentElement());
    // Both children came along, under the copy.
    long children = 0;
    for (CSprite* c = kept->firstChild; c; c = c->nextSibling) {
        children++;
        EXPECT_EQ(c->copyKind, 2);
        EXPECT_EQ(c->element->getParentElement(), kept->element);
    }
    EXPECT_EQ(children, 2);
    EXPECT_EQ(scene->sprites.count, 6);

    // A second copy of the source copies its two loaded children, not the copies made so far.
    CSprite* moved =
        player->copySpriteAt(source, {300, 400}, false, false, nullptr, nullptr, 0, nullptr);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->copyKind, 1);
    EXPECT_STREQ(moved->name, "source");
    EXPECT_EQ(scene->sprites.count, 9);
    EXPECT_EQ(moved->state->anchorOffset.x, 200);
    EXPECT_EQ(moved->state->anchorOffset.y, 300);
    std::vector<unsigned long> ids;
    for (CSprite* s = scene->sprites.head; s; s = ZList<CSprite>::nextOf(s)) {
        for (unsigned long id : ids) EXPECT_NE(id, s->id);
        ids.push_back(s->id);
    }

    // Reset, the scene state frees the copies and their states.
    player->stopScene(scene);
    player->resetSceneState(scene, player->getSceneStateByName("copies", true));
    EXPECT_EQ(scene->sprites.count, 3);
}

TEST_F(SceneLifecycleTest, ANewSpriteStateStartsFromTheSpritesFirstKey) {
    addScene("states", sprite(1, 2, 1, "plays", "key1color=80FF0000\nkey1flags=6\n") +
                           sprite(2, 2, 2, "waits", "noautoplaykeys=1\n"));
    mount();
    CScene* scene = player->loadScene("states");
    player->uploadScene(scene);
    CSceneState* state = player->getSceneStateByName("states", false);
    ASSERT_NE(state, nullptr);
    CSpriteState* plays = player->getSpriteState(state, scene->findSprite(1));
    CSpriteState* waits = player->getSpriteState(state, scene->findSprite(2));
    ASSERT_TRUE(plays && waits);
    EXPECT_EQ(player->getSpriteState(state, scene->findSprite(1)), plays);
    EXPECT_EQ(plays->playMode, 1);
    EXPECT_EQ(waits->playMode, 0);
    EXPECT_EQ(plays->currentKey, -1);
    EXPECT_EQ(plays->targetTime, -1);
    EXPECT_EQ(plays->keyAnchorOffsetCount, 1);
    EXPECT_EQ(plays->keyAnchorOffsets[0].x, 0);
    EXPECT_EQ(plays->keyFlags, 6u);
    EXPECT_NEAR(plays->color[0], 1, 1e-6);
    EXPECT_NEAR(plays->color[3], 128 / 255.0, 1e-6);
    EXPECT_STREQ(plays->dragName, "");
    EXPECT_EQ(plays->handlerBlock, nullptr);
    EXPECT_EQ(plays->emissionArcEnd, 360);
    EXPECT_TRUE(plays->firstUpdate);
    // A reset brings the start values back after changes.
    plays->time = 500;
    plays->speed = 3;
    player->resetSpriteState(scene->findSprite(1), plays);
    EXPECT_EQ(plays->time, 0);
    EXPECT_EQ(plays->speed, 1);
    EXPECT_EQ(state->spriteStates.count, 2);
}

}  // namespace
