// The video element on the recording renderer: its settings, how it draws the video's graphic,
// the end, trigger-frame and trigger-time moments of a playing video (hooks, script calls and
// messages, each once), a looping video, an element deleted by its own message, and videos held
// through the game's video cache. Played videos run decode threads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../sound/SoundTestSupport.h"
#include "../ui/RecordingBatch.h"
#include "../ui/RecordingGraphic.h"
#include "../ui/RecordingLog.h"
#include "../ui/RecordingWindow.h"
#include "TempDir.h"
#include "VideoFileSupport.h"
#include "VideoTestSupport.h"
#include "ZCore.h"
#include "ZGame.h"
#include "ZManagedVideoList.h"
#include "ZScript.h"
#include "ZUIVideo.h"
#include "ZVideo.h"

using VideoFile::Layout;
using VideoTest::inFrame;
using VideoTest::ManualClock;

namespace {

// The recording graphic, also writing its blits.
class BlitRecordingGraphic : public RecordingGraphic {
public:
    void blitAlphaRectFxF(float x1, float y1, float x2, float y2, float dx, float dy, float angle,
                          float zoom, float alpha, bool flipX, bool flipY, float, float) override {
        RecordingLog::add(tag() + " blit " +
                          RecordingLog::numbers({x1, y1, x2, y2, dx, dy, angle}) + " zoom " +
                          RecordingLog::numbers({zoom * 100, alpha * 100}) +
                          (flipX ? " flipX" : "") + (flipY ? " flipY" : ""));
    }
};

ZGraphic* makeGraphic() {
    return new BlitRecordingGraphic();
}
ZBatch* makeBatch() {
    return new RecordingBatch();
}

// Every call a script is given, by name.
class RecordingScript : public ZScript {
public:
    std::vector<std::string> calls;
    bool execute(const char*, bool) override { return false; }
    bool call(const char* name, long, const char*, void*, long, const char*, void*) override {
        calls.push_back(name);
        return true;
    }
};

// The element with its hooks written down.
class HookedVideo : public ZUIVideo {
public:
    using ZUIVideo::ZUIVideo;
    std::vector<std::string> hooks;
    void onVideoEnded() override {
        hooks.push_back("ended");
        ZUIVideo::onVideoEnded();
    }
    void onFrameReached() override {
        hooks.push_back("frame");
        ZUIVideo::onFrameReached();
    }
    void onTimeReached() override {
        hooks.push_back("time");
        ZUIVideo::onTimeReached();
    }
};

class TestGame : public ZGame {
public:
    const char* getGameName() override { return "Test"; }
    const char* getSafeGameName() override { return "Test"; }
    const char* getSafeDeveloperName() override { return "Test"; }
    const char* getGameVersion() override { return "1"; }
    ZWindow* createGameWindow() override { return nullptr; }
    void run() override {}
    void destroyGameWindow(ZWindow*) override {}
};

class ZUIVideoTest : public ::testing::Test {
public:
    // The 'z','v','d' messages reaching the root, by number.
    static std::vector<long> messages;
    static std::function<void(ZUIMessage*)> onMessage;
    static void receiver(ZUIMessage* m) {
        long n = m->type - zuiMessageCode('z', 'v', 'd', 0);
        if (n >= 1 && n <= 3) {
            messages.push_back(n);
            EXPECT_EQ(m->x, 0);
            EXPECT_EQ(m->data1, 0);
            EXPECT_EQ(m->text, nullptr);
            EXPECT_EQ(m->otherElement, nullptr);
            if (onMessage) onMessage(m);
        }
    }

protected:
    void SetUp() override {
        ZCore::setRenderFactories(makeGraphic, makeBatch);
        RecordingLog::clear();
        ZUIElement::initialize(&m_window);
        ZUIElement::getRootElement()->setMessageCallBack(receiver);
        messages.clear();
        onMessage = nullptr;
    }
    void TearDown() override {
        onMessage = nullptr;
        ZUIElement::cleanup();
        RecordingLog::uninstall();
    }

    std::string write(const std::string& name, const Layout& layout) {
        return VideoTest::writeVideo(m_dir, name, layout);
    }

    // Sets the clock to ms and moves the tree until the video shows frame.
    static bool moveToFrame(ZVideo& video, ManualClock& clock, int64_t ms, uint64_t frame) {
        clock.now = ms;
        return SoundTest::waitFor(
            [&]() {
                ZUIElement::moveAll();
                return video.isVideoAvailable() && video.getFrame() == frame;
            },
            5000);
    }
    // Moves the tree until the video ends (true) or a time-out.
    static bool moveToEnd(ZVideo& video, int timeoutMilliseconds = 5000) {
        return SoundTest::waitFor(
            [&]() {
                ZUIElement::moveAll();
                return video.isEndReached();
            },
            timeoutMilliseconds);
    }

    RecordingWindow m_window;
    TempDir m_dir;
};

std::vector<long> ZUIVideoTest::messages;
std::function<void(ZUIMessage*)> ZUIVideoTest::onMessage;

TEST_F(ZUIVideoTest, SettingsClampAndResolveTheirDefaults) {
    ZUIVideo* v = new ZUIVideo(ZUIElement::getRootElement());
    EXPECT_EQ(ZUIVideo::isVideo(v), v);
    EXPECT_EQ(ZUIVideo::isVideo(ZUIElement::getRootElement()), nullptr);
    ZUIElement plain(nullptr);
    plain.addClass("ZUIVideo");
    EXPECT_EQ(ZUIVideo::isVideo(&plain), nullptr) << "the tag alone makes no video element";
    EXPECT_EQ(v->getTriggerFrame(), ZUIVideo::kNoTriggerFrame);
    EXPECT_EQ(v->getTriggerTime(), -1.0);

    v->setColor(2, -1, 0.5f, 1.5f);
    v->setLightness(3);
    float c[4];
    v->getColor(c);
    EXPECT_EQ(std::vector<float>(c, c + 4), (std::vector<float>{1, 0, 0.5f, 1}));
    EXPECT_EQ(v->getLightness(), 1.0f);

    v->setAlphaOp(eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha, eTazelAlphaOpSameAsColor,
                  eTazelAlphaOpSameAsColor);
    EXPECT_EQ(v->getAlphaSrcAlphaOp(), eTazelAlphaOpSrcAlpha);
    EXPECT_EQ(v->getAlphaDstAlphaOp(), eTazelAlphaOpOneMinusSrcAlpha);
    struct Mode {
        long mode;
        eTazelAlphaOp src, dst;
    };
    const Mode modes[] = {{0, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOne},
                          {4, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOne},
                          {2, eTazelAlphaOpOne, eTazelAlphaOpOneMinusSrcAlpha},
                          {3, eTazelAlphaOpZero, eTazelAlphaOpOneMinusSrcAlpha},
                          {5, eTazelAlphaOpZero, eTazelAlphaOpSrcColor},
                          {1, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha},
                          {9, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha}};
    for (const Mode& m : modes) {
        SCOPED_TRACE(m.mode);
        v->setAlphaMode(m.mode);
        EXPECT_EQ(v->getSrcAlphaOp(), m.src);
        EXPECT_EQ(v->getDstAlphaOp(), m.dst);
        EXPECT_EQ(v->getAlphaSrcAlphaOp(), m.src);
        EXPECT_EQ(v->getAlphaDstAlphaOp(), m.dst);
    }

    // Without a video nothing moves or draws, and the source rectangle reads as zeros.
    v->setVideoInternal(nullptr, 1, 2, 3, 4);
    ZRectangle r = {9, 9, 9, 9};
    v->getVideoSourceRect(&r);
    EXPECT_EQ(std::vector<float>({r.x1, r.y1, r.x2, r.y2}), std::vector<float>(4, 0.0f));
    v->setTriggerFrame(0);
    v->setTriggerTime(0);
    ZUIElement::moveAll();
    ZUIElement::blitAll(0);
    EXPECT_TRUE(RecordingLog::matching("g").empty());
    EXPECT_TRUE(messages.empty());
}

TEST_F(ZUIVideoTest, DrawsItsRectangleWithItsColourAndOpsAndPutsTheGraphicBack) {
    Layout layout;
    std::string path = write("draw.ogv", layout);
    ZVideo video;
    ASSERT_TRUE(video.openVideo(path.c_str(), true, nullptr, nullptr, false, false, -1));
    auto* graphic = dynamic_cast<BlitRecordingGraphic*>(video.getZGraphic());
    ASSERT_NE(graphic, nullptr);
    graphic->color[0] = 0.25f;
    ZUIVideo* v = new ZUIVideo(ZUIElement::getRootElement());
    v->setSize(28, 17);
    v->setVideoInternal(&video, 2, 3, 30, 20);
    v->setFlipping(true, false);
    v->setBlend(0.5f);
    RecordingLog::clear();
    ZUIElement::blitAll(0);
    const std::string g = graphic->tag();
    EXPECT_EQ(RecordingLog::matching(g),
              (std::vector<std::string>{g + " blit 2 3 30 20 0 0 0 zoom 100 50 flipX"}))
        << "nothing set: the graphic's own colour and ops";

    v->setColor(1, 0.5f, 1, 0.75f);
    v->setLightness(0.5f);
    v->setAlphaMode(2);
    RecordingLog::clear();
    ZUIElement::blitAll(0);
    EXPECT_EQ(RecordingLog::matching(g),
              (std::vector<std::string>{g + " color", g + " ops 1 5",
                                        g + " blit 2 3 30 20 0 0 0 zoom 100 50 flipX",
                                        g + " ops 4 5", g + " color"}));
    EXPECT_EQ(graphic->color[0], 0.25f) << "the saved colour is put back";
    EXPECT_EQ(graphic->ops[0], eTazelAlphaOpSrcAlpha);

    ZVideo other;  // not open: no graphic, no draw
    v->setVideoInternal(&other, 0, 0, 1, 1);
    RecordingLog::clear();
    v->blit(1, nullptr);
    EXPECT_TRUE(RecordingLog::lines.empty());
}

TEST_F(ZUIVideoTest, TheBlitColourIsTheColourTimesTheLightness) {
    Layout layout;
    std::string path = write("tint.ogv", layout);
    ZVideo video;
    ASSERT_TRUE(video.openVideo(path.c_str(), true, nullptr, nullptr, false, false, -1));
    // A graphic that keeps the colour it held while it was drawn.
    static float during[4];
    struct Tint : BlitRecordingGraphic {
        void blitAlphaRectFxF(float, float, float, float, float, float, float, float, float, bool,
                              bool, float, float) override {
            for (int i = 0; i < 4; i++) during[i] = color[i];
        }
    };
    ZCore::setRenderFactories([]() -> ZGraphic* { return new Tint(); }, makeBatch);
    ZVideo tinted;
    ASSERT_TRUE(tinted.openVideo(path.c_str(), true, nullptr, nullptr, false, false, -1));
    ZUIVideo* v = new ZUIVideo(ZUIElement::getRootElement());
    v->setVideoInternal(&tinted, 0, 0, 32, 24);
    v->setColor(1, 0.5f, 0.25f, 0.75f);
    v->setLightness(0.5f);
    v->blit(1, nullptr);
    EXPECT_EQ(std::vector<float>(during, during + 4),
              (std::vector<float>{0.5f, 0.25f, 0.125f, 0.75f}));
}

// A video of ten frames at 10 fps on the test's clock, stepped frame by frame through the tree:
// the trigger frame and the trigger time fire once each at the frame that crosses them, the end
// once; every moment is a hook, a script call and a message.
TEST_F(ZUIVideoTest, ThreadPlaybackReportsEachMomentOnce) {
    Layout layout;
    layout.frames = 10;
    ZVideo video;
    ManualClock clock;
    ASSERT_TRUE(VideoTest::openOnClock(m_dir, "moments.ogv", layout, video, clock));
    HookedVideo* v = new HookedVideo(ZUIElement::getRootElement());
    RecordingScript script;
    v->addScript(&script);
    v->setVideoInternal(&video, 0, 0, 32, 24);
    v->setTriggerFrame(4);
    v->setTriggerTime(0.65);  // inside frame 6: 0.6 to 0.7 s

    std::vector<std::string> expectedHooks;
    for (long k = 0; k < layout.frames; k++) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(moveToFrame(video, clock, inFrame(layout, k), k));
        if (k == 4) expectedHooks.push_back("frame");
        // The clock stands a third into frame k; the time trigger is crossed once it passes it.
        if (k == 6) {
            EXPECT_EQ(v->hooks, expectedHooks) << "0.633 s has not reached 0.65 s";
            clock.now = 700;
            ZUIElement::moveAll();
            expectedHooks.push_back("time");
        }
        EXPECT_EQ(v->hooks, expectedHooks);
    }
    EXPECT_TRUE(v->isTriggerFrameReached());
    EXPECT_FALSE(v->isTriggerFrameReached()) << "reading clears it";
    EXPECT_TRUE(v->isTriggerTimeReached());
    EXPECT_FALSE(v->isTriggerTimeReached());
    EXPECT_EQ(messages, (std::vector<long>{2, 3}));

    clock.now = inFrame(layout, layout.frames);
    ASSERT_TRUE(moveToEnd(video));
    for (int i = 0; i < 20; i++) ZUIElement::moveAll();
    EXPECT_EQ(v->hooks, (std::vector<std::string>{"frame", "time", "ended"}));
    EXPECT_EQ(script.calls,
              (std::vector<std::string>{"onFrameReached", "onTimeReached", "onVideoEnded"}));
    EXPECT_EQ(messages, (std::vector<long>{2, 3, 1}));
}

TEST_F(ZUIVideoTest, ThreadTriggersAtTheStartNeverFire) {
    Layout layout;
    layout.frames = 3;
    ZVideo video;
    ManualClock clock;
    ASSERT_TRUE(VideoTest::openOnClock(m_dir, "start.ogv", layout, video, clock));
    HookedVideo* v = new HookedVideo(ZUIElement::getRootElement());
    v->setVideoInternal(&video, 0, 0, 32, 24);
    // Equal to the previous frame and time (0): nothing lies between them and what follows.
    v->setTriggerFrame(0);
    v->setTriggerTime(0);
    for (long k = 0; k < layout.frames; k++)
        ASSERT_TRUE(moveToFrame(video, clock, inFrame(layout, k), k));
    clock.now = inFrame(layout, layout.frames);
    ASSERT_TRUE(moveToEnd(video));
    EXPECT_EQ(v->hooks, (std::vector<std::string>{"ended"}));
    EXPECT_EQ(messages, (std::vector<long>{1}));
}

// A looping video wraps back to its first frame, reports its trigger frame once per pass and
// never ends.
TEST_F(ZUIVideoTest, ThreadALoopingVideoRestartsAndNeverEnds) {
    Layout layout;
    layout.frames = 4;
    ZVideo video;
    ManualClock clock;
    ASSERT_TRUE(VideoTest::openOnClock(m_dir, "loop.ogv", layout, video, clock, true));
    HookedVideo* v = new HookedVideo(ZUIElement::getRootElement());
    v->setVideoInternal(&video, 0, 0, 32, 24);
    v->setTriggerFrame(2);
    int64_t length = 400;
    for (int pass = 0; pass < 3; pass++) {
        SCOPED_TRACE(pass);
        for (long k = 0; k < layout.frames; k++) {
            SCOPED_TRACE(k);
            ASSERT_TRUE(moveToFrame(video, clock, pass * length + inFrame(layout, k), k));
            EXPECT_TRUE(VideoTest::nearPixel(VideoTest::shownPixel(video, 16, 12),
                                             VideoFile::rgbaOf(VideoFile::colourOf(layout, k)),
                                             10));
        }
        EXPECT_EQ(v->hooks, std::vector<std::string>(pass + 1, "frame"));
    }
    EXPECT_FALSE(video.isEndReached());
    EXPECT_EQ(messages, (std::vector<long>{2, 2, 2}));
}

TEST_F(ZUIVideoTest, ThreadAnElementDeletedByItsOwnMessageStopsThere) {
    Layout layout;
    layout.frames = 3;
    ZVideo video;
    ManualClock clock;
    ASSERT_TRUE(VideoTest::openOnClock(m_dir, "gone.ogv", layout, video, clock));
    long before = ZUIElement::getRootElement()->getChildrenCount();
    HookedVideo* v = new HookedVideo(ZUIElement::getRootElement());
    v->setVideoInternal(&video, 0, 0, 32, 24);
    // Frame 1 and a time inside it fall on the same move: the first message deletes the element.
    v->setTriggerFrame(1);
    v->setTriggerTime(0.12);
    onMessage = [](ZUIMessage* m) { delete m->element; };
    ASSERT_TRUE(moveToFrame(video, clock, inFrame(layout, 0), 0));
    // The time can pass 0.12 s before the decoder hands over frame 1; once the element is gone
    // nothing reads the video's frames for it, so the wait reads them itself.
    clock.now = inFrame(layout, 1);
    ASSERT_TRUE(SoundTest::waitFor(
        [&]() {
            ZUIElement::moveAll();
            video.readFrame();
            return video.isVideoAvailable() && video.getFrame() == 1;
        },
        5000));
    // Whichever moment came first, nothing followed it.
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(ZUIElement::getRootElement()->getChildrenCount(), before);
    ZUIElement::moveAll();
    EXPECT_EQ(messages.size(), 1u);
}

// Videos by name through the game's video cache: the element holds one reference, a copy made
// from it one more, and each gives its own back when it goes.
TEST_F(ZUIVideoTest, ThreadCachedVideosAreHeldWhileElementsShowThem) {
    ZUIVideo* early = new ZUIVideo(ZUIElement::getRootElement());
    early->loadVideoInternal("clip.ogv", 0, 0, 32, 24, false, false, false);
    EXPECT_EQ(early->getVideo(), nullptr) << "no game object, no cache";

    TestGame game;
    ZManagedVideoList* cache = game.getVideoList();
    cache->setPrefix(m_dir.path().c_str());
    Layout layout;
    write("clip.ogv", layout);
    auto count = [&]() {
        long n = 0;
        cache->forEach(
            [](void* user, const char*, long c, ZVideo*) { *static_cast<long*>(user) = c; }, &n);
        return n;
    };

    ZUIVideo* first = new ZUIVideo(ZUIElement::getRootElement());
    first->loadVideoInternal("missing.ogv", 0, 0, 10, 10, false, false, false);
    EXPECT_EQ(first->getVideo(), nullptr);
    first->loadVideoInternal(nullptr, 0, 0, 10, 10, false, false, false);
    EXPECT_EQ(first->getVideo(), nullptr);
    first->loadVideoInternal("clip.ogv", 4, 2, 36, 26, false, false, false);
    ASSERT_NE(first->getVideo(), nullptr);
    EXPECT_EQ(first->getWidth(), 32);
    EXPECT_EQ(first->getHeight(), 24);
    ZRectangle r;
    first->getVideoSourceRect(&r);
    EXPECT_EQ(std::vector<float>({r.x1, r.y1, r.x2, r.y2}), (std::vector<float>{4, 2, 36, 26}));
    EXPECT_TRUE(first->getVideo()->isVideoPaused()) << "the cache leaves it paused";
    EXPECT_EQ(count(), 1);
    first->loadVideoInternal("Clip.OGV", 0, 0, 32, 24, false, false, false);
    EXPECT_EQ(count(), 1) << "loading the same name again keeps one reference";

    first->setColor(1, 0, 0, 1);
    first->setAlphaMode(3);
    first->setFlipping(false, true);
    first->setTriggerFrame(5);
    first->setTriggerTime(1.5);
    ZUIVideo* copy = new ZUIVideo(ZUIElement::getRootElement());
    copy->copyFromTemplate(first);
    EXPECT_EQ(copy->getVideo(), first->getVideo());
    EXPECT_EQ(count(), 2);
    float c[4];
    copy->getColor(c);
    EXPECT_EQ(std::vector<float>(c, c + 4), (std::vector<float>{1, 0, 0, 1}));
    EXPECT_EQ(copy->getSrcAlphaOp(), eTazelAlphaOpZero);
    EXPECT_TRUE(copy->isYFlipped());
    EXPECT_EQ(copy->getTriggerFrame(), 5u);
    EXPECT_EQ(copy->getTriggerTime(), 1.5);
    EXPECT_EQ(copy->getWidth(), 32);

    delete first;
    EXPECT_EQ(count(), 1) << "the copy still holds the video";
    copy->getVideo()->resumeTime();
    ZUIElement::moveAll();
    delete copy;
    EXPECT_EQ(cache->getVideoByName("clip.ogv"), nullptr);
    delete early;
    cache->freeAll();
}

}  // namespace
