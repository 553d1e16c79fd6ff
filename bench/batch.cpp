// Drawing 2,000 and 10,000 textured 32 x 32 quads a frame on the real window, through a draw
// batch and through raw GL client arrays filled the way a game fills them (straight float writes
// into preallocated arrays, one glDrawArrays a frame, same texture, same blending). Prints the
// mean milliseconds per frame of each and, last, the batch / raw ratio of each count (target: at
// most 1.2). Run it on a display, e.g. under xvfb-run.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "BenchQuadScene.h"
#include "BenchWindow.h"
#include "ZBatchGL.h"
#include "ZCore.h"
#include "ZGLExtensions.h"
#include "ZGraphicGL.h"
#include "ZWindowGL.h"

namespace {

using namespace benchquads;

const int kWarmUpFrames = 30;
const int kFrames = 300;
// Batch and raw frames alternate in blocks, so that drift of the machine's load hits both.
const int kBlock = 50;

class Bench {
public:
    Bench(ZWindowGL* window, ZGraphicGL* graphic) : m_window(window), m_graphic(graphic) {}

    // Mean milliseconds per frame of the batch and of the raw arrays.
    void run(const Scene& scene, double& batchMs, double& rawMs) {
        ZBatchGL batch;
        if (!batch.allocateBuffer(scene.size())) {
            batchMs = rawMs = 0;
            return;
        }
        m_positions.assign(scene.size() * 12, 0.0f);
        m_uvs.assign(scene.size() * 8, 0.0f);
        for (int frame = 0; frame < kWarmUpFrames; frame++) {
            batchFrame(batch, scene, frame);
            rawFrame(scene, frame);
        }
        double batchTotal = 0, rawTotal = 0;
        for (int block = 0; block < kFrames / kBlock; block++) {
            for (int frame = 0; frame < kBlock; frame++)
                batchTotal += timed([&] { batchFrame(batch, scene, frame); });
            for (int frame = 0; frame < kBlock; frame++)
                rawTotal += timed([&] { rawFrame(scene, frame); });
        }
        batchMs = batchTotal / kFrames;
        rawMs = rawTotal / kFrames;
    }

private:
    template <class Body>
    static double timed(Body body) {
        auto start = std::chrono::steady_clock::now();
        body();
        std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
        return spent.count();
    }

    void beginFrame() { m_window->setWorldView(0, 0, 0, 1, true); }
    void endFrame() { m_window->flipBackBuffer(false, true); }

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

    void rawFrame(const Scene& scene, int frame) {
        beginFrame();
        float shift = static_cast<float>(frame % 8);
        const float height = static_cast<float>(kHeight);
        const float scale = 1.0f / kPicture;
        float* p = m_positions.data();
        float* t = m_uvs.data();
        for (long i = 0; i < scene.size(); i++) {
            float left = scene.x[i] + shift, right = left + kQuad;
            float top = height - (scene.y[i] + shift), bottom = top - kQuad;
            float u1 = scene.sourceX[i] * scale, u2 = (scene.sourceX[i] + kQuad) * scale;
            float v1 = scene.sourceY[i] * scale, v2 = (scene.sourceY[i] + kQuad) * scale;
            p[0] = left, p[1] = top, p[2] = 0;
            p[3] = right, p[4] = top, p[5] = 0;
            p[6] = right, p[7] = bottom, p[8] = 0;
            p[9] = left, p[10] = bottom, p[11] = 0;
            t[0] = u1, t[1] = v1, t[2] = u2, t[3] = v1;
            t[4] = u2, t[5] = v2, t[6] = u1, t[7] = v2;
            p += 12;
            t += 8;
        }
        // The same texture and blending as the batch's, then the arrays a game would bind.
        m_graphic->bindTexture(0, true, 1.0f, true);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_COLOR_ARRAY);
        glColor4f(1, 1, 1, 1);
        glVertexPointer(3, GL_FLOAT, 0, m_positions.data());
        glTexCoordPointer(2, GL_FLOAT, 0, m_uvs.data());
        glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(scene.size() * 4));
        // Behind the renderer's back: give it its own arrays and state again.
        ZGraphicGL::resetClientState();
        ZGraphicGL::resetCaches();
        endFrame();
    }

    ZWindowGL* m_window;
    ZGraphicGL* m_graphic;
    std::vector<float> m_positions;
    std::vector<float> m_uvs;
};

}  // namespace

int main(int argc, char**) {
    // A plain program, not one of the library's: its flags mean nothing here.
    if (argc > 1) fprintf(stderr, "bench_batch: takes no options; the arguments are ignored\n");
    if (!hasBenchDisplay("bench_batch")) return 0;
    ZWindowGL* window = openBenchWindow("bench_batch", "Batch benchmark", kWidth, kHeight);
    if (!window) return 0;

    std::vector<uint32_t> pixels = makePicture();
    std::unique_ptr<ZGraphicGL> graphic =
        makeBenchPicture("bench_batch", "picture", pixels, kPicture);
    if (!graphic) {
        closeBenchWindow(window);
        return 1;
    }

    char adapter[256];
    window->getAdapterName(adapter, sizeof(adapter));
    printf(
        "%ld x %ld window on '%s', %ld x %ld quads from a %ld x %ld picture, %d frames after "
        "%d\n",
        kWidth, kHeight, adapter, kQuad, kQuad, kPicture, kPicture, kFrames, kWarmUpFrames);

    const long counts[] = {2000, 10000};
    double batchMs[2], rawMs[2];
    Bench bench(window, graphic.get());
    for (int i = 0; i < 2; i++) {
        bench.run(Scene(counts[i]), batchMs[i], rawMs[i]);
        printf("%5ld quads: batch %.3f ms/frame, raw arrays %.3f ms/frame\n", counts[i], batchMs[i],
               rawMs[i]);
    }
    for (int i = 0; i < 2; i++)
        printf("%5ld quads batch/raw: %.3fx\n", counts[i],
               rawMs[i] > 0 ? batchMs[i] / rawMs[i] : 0.0);

    graphic.reset();
    closeBenchWindow(window);
    return 0;
}
