// Drawing 2,000 and 10,000 image elements of 32 x 32 from one atlas on the real window, each
// moved every frame, through the element tree's per-frame update and drawing (moveAll and
// blitAll), against the same quads drawn through the draw batch alone. Prints the mean
// milliseconds per frame of each and, last, the tree / batch ratio of each count (target: at most
// 1.5). Run it on a display, e.g. under xvfb-run.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "BenchQuadScene.h"
#include "BenchWindow.h"
#include "ZBatchGL.h"
#include "ZCore.h"
#include "ZGraphicGL.h"
#include "ZUIImage.h"
#include "ZWindowGL.h"

namespace {

using namespace benchquads;

const int kWarmUpFrames = 30;
const int kFrames = 300;
// Tree and batch frames alternate in blocks, so that drift of the machine's load hits both.
const int kBlock = 50;

template <class Body>
double timed(Body body) {
    auto start = std::chrono::steady_clock::now();
    body();
    std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
    return spent.count();
}

class Bench {
public:
    Bench(ZWindowGL* window, ZGraphicGL* graphic) : m_window(window), m_graphic(graphic) {}

    void run(const Scene& scene, double& treeMs, double& batchMs) {
        ZUIElement::initialize(m_window);
        ZUIElement::setBatchVertexCount(6 * scene.size());
        std::vector<ZUIImage*> images;
        for (long i = 0; i < scene.size(); i++) {
            ZUIImage* im = new ZUIImage(ZUIElement::getRootElement());
            im->setGraphic(m_graphic, scene.sourceX[i], scene.sourceY[i], scene.sourceX[i] + kQuad,
                           scene.sourceY[i] + kQuad, nullptr, -1, -1);
            im->setSize(kQuad, kQuad);
            im->setPosition(scene.x[i], scene.y[i]);
            images.push_back(im);
        }
        ZBatchGL batch;
        if (!batch.allocateBuffer(scene.size())) {
            treeMs = batchMs = 0;
            ZUIElement::cleanup();
            return;
        }
        for (int frame = 0; frame < kWarmUpFrames; frame++) {
            treeFrame(images, scene, frame);
            batchFrame(batch, scene, frame);
        }
        double treeTotal = 0, batchTotal = 0;
        for (int block = 0; block < kFrames / kBlock; block++) {
            for (int frame = 0; frame < kBlock; frame++)
                treeTotal += timed([&] { treeFrame(images, scene, frame); });
            for (int frame = 0; frame < kBlock; frame++)
                batchTotal += timed([&] { batchFrame(batch, scene, frame); });
        }
        treeMs = treeTotal / kFrames;
        batchMs = batchTotal / kFrames;
        ZUIElement::cleanup();
    }

private:
    void beginFrame() { m_window->setWorldView(0, 0, 0, 1, true); }
    void endFrame() { m_window->flipBackBuffer(false, true); }

    void treeFrame(const std::vector<ZUIImage*>& images, const Scene& scene, int frame) {
        beginFrame();
        float shift = static_cast<float>(frame % 8);
        for (size_t i = 0; i < images.size(); i++)
            images[i]->setPosition(scene.x[i] + shift, scene.y[i] + shift);
        ZUIElement::moveAll();
        ZUIElement::blitAll(0);
        endFrame();
    }

    void batchFrame(ZBatchGL& batch, const Scene& scene, int frame) {
        beginFrame();
        float shift = static_cast<float>(frame % 8);
        batch.beginBatch(m_graphic);
        for (long i = 0; i < scene.size(); i++)
            batch.blitAlphaRect(scene.sourceX[i], scene.sourceY[i], scene.sourceX[i] + kQuad,
                                scene.sourceY[i] + kQuad, scene.x[i] + shift, scene.y[i] + shift,
                                false, false);
        batch.endBatch();
        endFrame();
    }

    ZWindowGL* m_window;
    ZGraphicGL* m_graphic;
};

}  // namespace

int main(int argc, char**) {
    if (argc > 1) fprintf(stderr, "bench_sprites: takes no options; the arguments are ignored\n");
    if (!hasBenchDisplay("bench_sprites")) return 0;
    ZWindowGL* window = openBenchWindow("bench_sprites", "Sprites benchmark", kWidth, kHeight);
    if (!window) return 0;

    std::vector<uint32_t> pixels = makePicture();
    std::unique_ptr<ZGraphicGL> graphic =
        makeBenchPicture("bench_sprites", "atlas", pixels, kPicture);
    if (!graphic) {
        closeBenchWindow(window);
        return 1;
    }

    char adapter[256];
    window->getAdapterName(adapter, sizeof(adapter));
    printf(
        "%ld x %ld window on '%s', %ld x %ld image elements from a %ld x %ld atlas, moved every "
        "frame, %d frames after %d\n",
        kWidth, kHeight, adapter, kQuad, kQuad, kPicture, kPicture, kFrames, kWarmUpFrames);

    const long counts[] = {2000, 10000};
    double treeMs[2], batchMs[2];
    Bench bench(window, graphic.get());
    for (int i = 0; i < 2; i++) {
        bench.run(Scene(counts[i]), treeMs[i], batchMs[i]);
        printf("%5ld images: tree %.3f ms/frame, batch alone %.3f ms/frame\n", counts[i], treeMs[i],
               batchMs[i]);
    }
    for (int i = 0; i < 2; i++)
        printf("%5ld images tree/batch: %.3fx\n", counts[i],
               batchMs[i] > 0 ? treeMs[i] / batchMs[i] : 0.0);

    graphic.reset();
    closeBenchWindow(window);
    return 0;
}
