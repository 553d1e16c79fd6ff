#include "CUIStreamedImage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "../ui/RecordingBatch.h"
#include "../ui/UITreeFixture.h"
#include "LoggedMessages.h"
#include "PixelWords.h"
#include "TempDir.h"
#include "TestGame.h"
#include "TileFiles.h"
#include "ZCore.h"
#include "ZGraphicGL.h"
#include "ZImage.h"
#include "ZResource.h"

// The streamed image on a window of 768 x 1024 without OpenGL: tiles decode for real from the
// mounted tile file on the loader thread; their upload is counted instead of made, and their
// draws are recorded with the colour each decoded tile holds.
namespace {

struct Draw {
    float x, y;
    uint32_t picture;  // the decoded tile's middle pixel
    float colour[4];
};

std::atomic<long> g_uploads{0};
std::atomic<long> g_liveGraphics{0};
std::atomic<long> g_decodeDelayMs{0};
std::atomic<long> g_decodes{0};
std::vector<Draw> g_draws;

// Decodes like the real graphic; uploads and draws only leave a trace.
class CountingGraphic : public ZGraphicGL {
public:
    CountingGraphic() { g_liveGraphics++; }
    ~CountingGraphic() override { g_liveGraphics--; }
    bool loadPicture(const char* path, bool trueColor, bool alpha, bool splice, long phase,
                     ZGraphicSpliceStruct* splices) override {
        if (phase == 2) {
            g_uploads++;
            return getColorImage() && getColorImage()->getPixels();
        }
        g_decodes++;
        if (long delay = g_decodeDelayMs.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        return ZGraphicGL::loadPicture(path, trueColor, alpha, splice, phase, splices);
    }
    void setBlitColor(float r, float g, float b, float a) override {
        m_colour[0] = r;
        m_colour[1] = g;
        m_colour[2] = b;
        m_colour[3] = a;
    }
    void blitAlphaRectF(float, float, float, float, float dx, float dy, bool, bool) override {
        ZImage* image = getColorImage();
        long w = image->getImageWidth(), h = image->getImageHeight();
        g_draws.push_back(Draw{dx,
                               dy,
                               image->getPixels()[(h / 2) * w + w / 2],
                               {m_colour[0], m_colour[1], m_colour[2], m_colour[3]}});
    }

private:
    float m_colour[4] = {1, 1, 1, 1};
};

bool near(uint32_t a, uint32_t b) {
    for (int i = 0; i < 3; i++)
        if (std::abs(static_cast<int>(channel(a, i)) - static_cast<int>(channel(b, i))) > 12)
            return false;
    return true;
}

class CUIStreamedImageTest : public UITreeFixture {
protected:
    static constexpr uint32_t kEdge = 128;

    void SetUp() override {
        UITreeFixture::SetUp();
        ZResource::initialize();
        ZCore::setRenderFactories([]() -> ZGraphic* { return new CountingGraphic(); },
                                  []() -> ZBatch* { return new RecordingBatch(); });
        g_uploads = 0;
        g_decodeDelayMs = 0;
        g_draws.clear();
    }
    void TearDown() override {
        UITreeFixture::TearDown();
        ZResource::cleanup();
        EXPECT_EQ(g_liveGraphics.load(), 0);
    }
    std::string tileFile(uint32_t columns, uint32_t rows, const char* name = "bg.dat") {
        std::string path = dir.file(name);
        std::vector<unsigned char> bytes = tileFileBytes({kEdge, columns, rows});
        EXPECT_FALSE(bytes.empty());
        EXPECT_TRUE(writeBytes(path, bytes));
        return path;
    }
    CUIStreamedImage* image(const std::string& path, long lookahead = 0) {
        CUIStreamedImage* e = new CUIStreamedImage(root());
        EXPECT_TRUE(e->setImagePath(path.c_str()));
        e->setLookaheadTiles(lookahead);
        return e;
    }
    // One frame's draw, answering the uploads it made.
    long frame(CUIStreamedImage* e) {
        long before = g_uploads.load();
        g_draws.clear();
        e->blit(1, nullptr);
        return g_uploads.load() - before;
    }
    // Waits until no tile is left with the loader.
    static void settle(CUIStreamedImage* e) {
        for (long i = 0; i < 2000; i++) {
            bool pending = false;
            for (int64_t n = 0; n < e->getColumns() * e->getRows(); n++)
                pending |= e->getTileState(n) == CUIStreamedImageTile::kRequested;
            if (!pending) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ADD_FAILURE() << "the loader did not finish";
    }
    // The tiles whose square touches the view for the element at (x, y), row-major.
    static std::vector<int64_t> inReach(CUIStreamedImage* e, float x, float y, float margin) {
        std::vector<int64_t> tiles;
        for (int64_t r = 0; r < e->getRows(); r++)
            for (int64_t c = 0; c < e->getColumns(); c++) {
                float x1 = x + c * float(kEdge), y1 = y + r * float(kEdge);
                if (x1 + kEdge >= -margin && x1 <= 768 + margin && y1 + kEdge >= -margin &&
                    y1 <= 1024 + margin)
                    tiles.push_back(r * e->getColumns() + c);
            }
        return tiles;
    }
    static std::vector<int64_t> inState(CUIStreamedImage* e, int32_t state) {
        std::vector<int64_t> tiles;
        for (int64_t n = 0; n < e->getColumns() * e->getRows(); n++)
            if (e->getTileState(n) == state) tiles.push_back(n);
        return tiles;
    }

    TestGame game;
    TempDir dir;
};

TEST_F(CUIStreamedImageTest, NothingLoadsUntilStreamingIsOnAndThenOnlyTheTilesInReach) {
    CUIStreamedImage* e = image(tileFile(12, 12));
    EXPECT_EQ(e->getTileEdge(), kEdge);
    EXPECT_EQ(e->getColumns(), 12);
    EXPECT_EQ(e->getRows(), 12);
    EXPECT_EQ(frame(e), 0);
    EXPECT_EQ(e->getTilesInUse(), 0);

    // Switching streaming on waits for the loader at the next draw and uploads everything.
    e->enableStreaming(true);
    std::vector<int64_t> reach = inReach(e, 0, 0, 0);
    ASSERT_EQ(reach.size(), 7u * 9u);
    EXPECT_EQ(frame(e), static_cast<long>(reach.size()));
    EXPECT_EQ(inState(e, CUIStreamedImageTile::kReady), reach);
    EXPECT_EQ(e->getTilesInUse(), static_cast<int64_t>(reach.size()));
    // Each tile is drawn at its place in the grid with its own picture.
    ASSERT_EQ(g_draws.size(), reach.size());
    for (size_t i = 0; i < reach.size(); i++) {
        int64_t n = reach[i];
        EXPECT_EQ(g_draws[i].x, (n % 12) * float(kEdge));
        EXPECT_EQ(g_draws[i].y, (n / 12) * float(kEdge));
        EXPECT_TRUE(near(g_draws[i].picture, tileColour(n)))
            << n << ": " << describePixel(g_draws[i].picture);
    }
}

TEST_F(CUIStreamedImageTest, PanningLoadsNewTilesAtMostNineUploadsAFrameAndFreesTheOldOnes) {
    CUIStreamedImage* e = image(tileFile(12, 12), 1);
    e->enableStreaming(true);
    frame(e);
    // Three columns to the left: the first ones go out of reach, three new ones come in.
    e->setPosition(-3.0f * kEdge, 0);
    std::vector<int64_t> reach = inReach(e, -3.0f * kEdge, 0, kEdge);
    long first = frame(e);
    EXPECT_LE(first, 9);
    settle(e);
    long total = first;
    std::vector<long> later;
    for (long i = 0; i < 6; i++) {
        later.push_back(frame(e));
        total += later.back();
    }
    for (long uploads : later) EXPECT_LE(uploads, 9);
    EXPECT_EQ(later[0], 9);
    EXPECT_EQ(later.back(), 0);
    EXPECT_EQ(inState(e, CUIStreamedImageTile::kReady), reach);
    EXPECT_EQ(e->getTilesInUse(), static_cast<int64_t>(reach.size()));
    EXPECT_EQ(g_liveGraphics.load(), static_cast<long>(reach.size()));
    // Every tile of the new reach that the first reach lacked was uploaded once.
    std::vector<int64_t> before = inReach(e, 0, 0, kEdge);
    long added = 0;
    for (int64_t n : reach) added += std::find(before.begin(), before.end(), n) == before.end();
    EXPECT_EQ(total, added);
}

TEST_F(CUIStreamedImageTest, AWaitUploadsEveryDecodedTileInTheNextDraw) {
    CUIStreamedImage* e = image(tileFile(12, 12));
    e->enableStreaming(true);
    frame(e);
    e->setPosition(0, -4.0f * kEdge);
    e->waitForCompletion();
    std::vector<int64_t> reach = inReach(e, 0, -4.0f * kEdge, 0);
    long uploads = frame(e);
    EXPECT_GT(uploads, 9);
    EXPECT_EQ(inState(e, CUIStreamedImageTile::kReady), reach);
    EXPECT_EQ(game.getFrameTime(), 0);  // the wait does not count as frame time
}

TEST_F(CUIStreamedImageTest, TheTileBudgetCoversTheScreenAndTheLookAheadMargin) {
    std::string path = dir.file("big.dat");
    ASSERT_TRUE(writeBytes(path, tileFileBytes({256, 1, 1})));
    CUIStreamedImage* e = image(path, 2);
    EXPECT_EQ(e->getTileBudget(1024, 768), (3 + 2 + 4) * (4 + 2 + 4));
    EXPECT_FLOAT_EQ(e->getLookahead(), 512);
    e->setLookaheadTiles(0);
    EXPECT_EQ(e->getTileBudget(768, 1024), (4 + 2) * (3 + 2));
}

TEST_F(CUIStreamedImageTest, TheElementDrawsWithItsColourLightnessAndTheBlitAlpha) {
    CUIStreamedImage* e = image(tileFile(2, 2));
    e->setColor(1, 0.5f, 0.25f, 1);
    e->setLightness(0.5f);
    e->enableStreaming(true);
    g_draws.clear();
    e->blit(0.25f, nullptr);
    ASSERT_EQ(g_draws.size(), 4u);
    const float want[4] = {0.5f, 0.25f, 0.125f, 0.25f};
    for (int i = 0; i < 4; i++) EXPECT_FLOAT_EQ(g_draws[0].colour[i], want[i]);
}

TEST_F(CUIStreamedImageTest, ATileThatDoesNotDecodeIsLeftWithoutPicture) {
    std::vector<unsigned char> bytes = tileFileBytes({kEdge, 2, 1});
    // The first tile's JPEG begins right after the table: spoil its first bytes.
    for (size_t i = 40; i < 60; i++) bytes[i] = 0x55;
    std::string path = dir.file("spoiled.dat");
    ASSERT_TRUE(writeBytes(path, bytes));
    CUIStreamedImage* e = image(path);
    e->enableStreaming(true);
    frame(e);
    EXPECT_EQ(e->getTileState(0), CUIStreamedImageTile::kReady);
    EXPECT_EQ(e->getTileState(1), CUIStreamedImageTile::kReady);
    ASSERT_EQ(g_draws.size(), 1u);
    EXPECT_EQ(g_draws[0].x, float(kEdge));
    // It is not asked for again.
    frame(e);
    EXPECT_EQ(g_draws.size(), 1u);
}

TEST_F(CUIStreamedImageTest, AMissingOrDamagedTileFileIsLoggedAndAborts) {
    std::vector<unsigned char> bytes = tileFileBytes({kEdge, 2, 2});
    putWord(bytes, 24, 0);  // no columns
    std::string damaged = dir.file("damaged.dat");
    ASSERT_TRUE(writeBytes(damaged, bytes));
    for (std::string path : {dir.file("missing.dat"), damaged}) {
        SCOPED_TRACE(path);
        game.aborted.clear();
        CUIStreamedImage* e = new CUIStreamedImage(root());
        bool ok = true;
        std::vector<std::string> lines =
            loggedMessages([&] { ok = e->setImagePath(path.c_str()); });
        EXPECT_FALSE(ok);
        EXPECT_NE(std::find(lines.begin(), lines.end(), "CUIStreamedImage: failed to open " + path),
                  lines.end());
        EXPECT_EQ(game.aborted, std::vector<std::string>{path});
        EXPECT_EQ(e->getTileEdge(), 0);
        e->enableStreaming(true);
        EXPECT_EQ(frame(e), 0);
        delete e;
    }
}

TEST_F(CUIStreamedImageTest, DeletingTheElementInTheMiddleOfALoadJoinsTheLoaderThread) {
    CUIStreamedImage* e = image(tileFile(12, 12));
    e->enableStreaming(true);
    frame(e);
    g_decodeDelayMs = 5;
    e->setPosition(-6.0f * kEdge, -6.0f * kEdge);
    long decodesBefore = g_decodes.load();
    frame(e);
    long requested = static_cast<long>(inState(e, CUIStreamedImageTile::kRequested).size());
    std::this_thread::sleep_for(std::chrono::milliseconds(12));
    delete e;
    // The loader stopped after the tile it was decoding, long before the last requested one.
    EXPECT_GT(requested, 20);
    EXPECT_LT(g_decodes.load() - decodesBefore, requested / 2);
    EXPECT_EQ(g_liveGraphics.load(), 0);

    // freeResources alone does the same and leaves an element that draws nothing.
    CUIStreamedImage* again = image(tileFile(12, 12, "again.dat"));
    again->enableStreaming(true);
    frame(again);
    again->setPosition(-6.0f * kEdge, 0);
    frame(again);
    again->freeResources();
    EXPECT_EQ(g_liveGraphics.load(), 0);
    EXPECT_EQ(frame(again), 0);
    EXPECT_TRUE(g_draws.empty());
}

}  // namespace
