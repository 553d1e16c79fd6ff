#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "CUIStreamedImage.h"
#include "GLTestWindow.h"
#include "PixelWords.h"
#include "TempDir.h"
#include "TestGame.h"
#include "TileFiles.h"
#include "ZResource.h"
#include "ZWindowGL.h"

// A streamed background larger than the window, panned: the pixels show the colours of the tiles
// that lie under them.
namespace {

const long kSize = 256;
const uint32_t kEdge = 32, kColumns = 16, kRows = 16;

class CUIStreamedImageGLTest : public ::testing::Test {
protected:
    GLTestWindow window{kSize, kSize};
    TestGame game;
    TempDir dir;
    void SetUp() override {
        ASSERT_TRUE(window.isOpen());
        ZResource::initialize();
        ZUIElement::initialize(window.window());
    }
    void TearDown() override {
        ZUIElement::cleanup();
        ZResource::cleanup();
    }
    void draw() {
        window.clear(0, 0, 0);
        ZUIElement::blitAll(0);
        ZUIElement::endBatch();
    }
    // Samples the middle of every tile under the window for the element at (x, y).
    void expectTilesUnder(float x, float y) {
        GLPicture picture = readFramebuffer(0, 0, kSize, kSize, kSize);
        long checked = 0;
        for (long r = 0; r < static_cast<long>(kRows); r++) {
            for (long c = 0; c < static_cast<long>(kColumns); c++) {
                long px = static_cast<long>(x) + c * kEdge + kEdge / 2;
                long py = static_cast<long>(y) + r * kEdge + kEdge / 2;
                if (px < 0 || py < 0 || px >= kSize || py >= kSize) continue;
                uint32_t got = picture.at(px, py), want = tileColour(r * kColumns + c);
                for (int i = 0; i < 3; i++)
                    EXPECT_NEAR(static_cast<int>(channel(got, i)),
                                static_cast<int>(channel(want, i)), 12)
                        << "tile " << c << ", " << r << " at " << px << ", " << py << ": "
                        << describePixel(got);
                checked++;
            }
        }
        EXPECT_GE(checked, 49);
    }
};

TEST_F(CUIStreamedImageGLTest, PannedTilesShowTheirColoursAtTheirPixels) {
    std::string path = dir.file("scene_test_background.dat");
    ASSERT_TRUE(writeBytes(path, tileFileBytes({kEdge, kColumns, kRows})));
    CUIStreamedImage* image = new CUIStreamedImage(ZUIElement::getRootElement());
    ASSERT_TRUE(image->setImagePath(path.c_str()));
    image->setSize(kColumns * kEdge, kRows * kEdge);
    image->setLookaheadTiles(1);
    image->enableStreaming(true);
    image->setPosition(-100, -60);
    draw();
    expectTilesUnder(-100, -60);

    image->setPosition(-250, -190);
    image->waitForCompletion();
    draw();
    expectTilesUnder(-250, -190);
}

}  // namespace
