// 200 emitter elements of one 50-particle burst each, moved and drawn for 300 frames on the real
// window, against drawing the same 10,000 quads a frame straight through the UI's batch (same
// texture, blending, rotations and scales). Prints the mean milliseconds per frame of each and,
// last, the emitters / batch ratio (target: at most 1.5). Run it on a display, e.g. under
// xvfb-run.
#include <cstdio>
#include <memory>
#include <vector>

#include "BenchTiming.h"
#include "BenchWindow.h"
#include "CUIEmitter.h"
#include "ZBatch.h"
#include "ZCore.h"
#include "ZGame.h"
#include "ZGraphicGL.h"
#include "ZRandom.h"
#include "ZUIElement.h"
#include "ZWindowGL.h"

namespace {

const int kWidth = 768;
const int kHeight = 1024;
const long kEmitters = 200;
const long kParticles = 50;
const long kPicture = 16;
const int kWarmUpFrames = 30;
const int kFrames = 300;
// Emitter and batch frames alternate in blocks, so that drift of the machine's load hits both.
const int kBlock = 50;
const eTazelAlphaOp kOps[2] = {eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha};

class BenchGame : public ZGame {
public:
    BenchGame() { m_frameTime = 1000.0 / 60.0; }
    const char* getGameName() override { return "bench"; }
    const char* getSafeGameName() override { return "bench"; }
    const char* getSafeDeveloperName() override { return "bench"; }
    const char* getGameVersion() override { return "1"; }
    ZWindow* createGameWindow() override { return nullptr; }
    void run() override {}
    void destroyGameWindow(ZWindow*) override {}
};

// Slow ageing, so every particle lives through all the frames; some drift, turn and grow.
CEmitterBehavior behavior() {
    CEmitterBehavior b = {};
    const float blend[5] = {1, 0.9f, 0.8f, 0.7f, 0.6f};
    for (int i = 0; i < 5; i++) b.blend[i] = blend[i];
    b.ageStepMin = 0.0002f;
    b.ageStepMax = 0.0005f;
    b.velocityMinX = b.velocityMinY = -0.05f;
    b.velocityMaxX = b.velocityMaxY = 0.05f;
    b.angleMin = 0;
    b.angleMax = 360;
    b.angleSpeedMin = -1;
    b.angleSpeedMax = 1;
    b.scaleMin = 0.5f;
    b.scaleMax = 1.5f;
    for (int i = 0; i < 4; i++) {
        b.colorMin[i] = 0.5f;
        b.colorMax[i] = 1;
    }
    return b;
}

// The quads the emitters draw in their first frame, drawn the same way without them.
struct Quads {
    std::vector<float> x, y, angle, scale, blend, r, g, b, a;
};

Quads quadsOf(const std::vector<CUIEmitter*>& elements) {
    Quads q;
    for (CUIEmitter* e : elements) {
        float ex = e->getPositionX(), ey = e->getPositionY();
        for (CEmitter* emitter : e->getEmitters()) {
            for (int64_t i = 0; i < emitter->getUsed(); i++) {
                const CEmitterParticle& p = emitter->getParticles()[i];
                q.x.push_back(ex + p.x);
                q.y.push_back(ey + p.y);
                q.angle.push_back(p.angle);
                q.scale.push_back(p.scale);
                q.blend.push_back(1);
                q.r.push_back(p.r);
                q.g.push_back(p.g);
                q.b.push_back(p.b);
                q.a.push_back(p.a);
            }
        }
    }
    return q;
}

}  // namespace

int main(int argc, char**) {
    if (argc > 1) fprintf(stderr, "bench_particles: takes no options; the arguments are ignored\n");
    if (!hasBenchDisplay("bench_particles")) return 0;
    ZWindowGL* window = openBenchWindow("bench_particles", "Particles benchmark", kWidth, kHeight);
    if (!window) return 0;

    BenchGame* game = new BenchGame();
    std::vector<uint32_t> pixels(kPicture * kPicture);
    for (long i = 0; i < kPicture * kPicture; i++)
        pixels[i] = 0x80FFFFFFu | static_cast<uint32_t>((i * 7) & 0x7F) << 24;
    std::unique_ptr<ZGraphicGL> graphic =
        makeBenchPicture("bench_particles", "picture", pixels, kPicture);
    if (!graphic) {
        delete game;
        closeBenchWindow(window);
        return 1;
    }

    // As the game sets them up.
    CEmitter::g_nMaxEmitters = 500;
    ZUIElement::setBatchVertexCount(1000);
    ZUIElement::initialize(window);
    ZRandom::seed(2024);
    std::vector<CUIEmitter*> elements;
    const ZRectangle source{0, 0, static_cast<float>(kPicture), static_cast<float>(kPicture)};
    for (long i = 0; i < kEmitters; i++) {
        CUIEmitter* e = new CUIEmitter(ZUIElement::getRootElement());
        e->setSize(64, 64);
        e->setPosition(static_cast<float>((i % 10) * 70 + 20),
                       static_cast<float>((i / 10) * 48 + 20));
        CEmitter* burst =
            new CEmitter(kParticles, graphic.get(), source, kOps, behavior(), ZVector2{32, 32});
        burst->addParticlesFromEllipse(kParticles, 0, 0, 30, 30, 0, 6.2831853f);
        e->addEmitter(burst);
        elements.push_back(e);
    }
    Quads quads = quadsOf(elements);
    long quadCount = static_cast<long>(quads.x.size());

    auto emitterFrame = [&] {
        window->setWorldView(0, 0, 0, 1, true);
        ZUIElement::moveAll();
        ZUIElement::blitAll(0);
        ZUIElement::endBatch();
        window->flipBackBuffer(false, true);
    };
    auto batchFrame = [&] {
        window->setWorldView(0, 0, 0, 1, true);
        ZBatch* batch = ZUIElement::getBatch();
        ZUIElement::setBatchedTexture(graphic.get(), kOps[0], kOps[1], true, true);
        ZMatrix identity;
        const float half = kPicture / 2.0f;
        for (long i = 0; i < quadCount; i++) {
            graphic->setBlitColor(quads.r[i], quads.g[i], quads.b[i], quads.a[i]);
            batch->blitAlphaRectMatrixF(0, 0, kPicture, kPicture, quads.x[i] - half,
                                        quads.y[i] - half, quads.x[i] + half, quads.y[i] + half,
                                        &identity, quads.angle[i], quads.scale[i], quads.scale[i],
                                        0, 0, quads.blend[i], false, false, 0, 0);
        }
        ZUIElement::endBatch();
        window->flipBackBuffer(false, true);
    };

    for (int frame = 0; frame < kWarmUpFrames; frame++) {
        emitterFrame();
        batchFrame();
    }
    double emitterTotal = 0, batchTotal = 0;
    for (int block = 0; block < kFrames / kBlock; block++) {
        for (int frame = 0; frame < kBlock; frame++) emitterTotal += timed(emitterFrame);
        for (int frame = 0; frame < kBlock; frame++) batchTotal += timed(batchFrame);
    }
    long alive = 0;
    for (CUIEmitter* e : elements)
        for (CEmitter* emitter : e->getEmitters())
            for (int64_t i = 0; i < emitter->getUsed(); i++)
                alive += emitter->getParticles()[i].alive;

    char adapter[256];
    window->getAdapterName(adapter, sizeof(adapter));
    printf(
        "%d x %d window on '%s', %ld emitters of %ld particles (%ld quads, %ld alive at the "
        "end), %d frames after %d\n",
        kWidth, kHeight, adapter, kEmitters, kParticles, quadCount, alive, kFrames, kWarmUpFrames);
    double emitterMs = emitterTotal / kFrames, batchMs = batchTotal / kFrames;
    printf("emitters moved and drawn: %.3f ms/frame\n", emitterMs);
    printf("same quads through the batch: %.3f ms/frame\n", batchMs);
    printf("emitters/batch: %.3fx\n", batchMs > 0 ? emitterMs / batchMs : 0.0);

    ZUIElement::cleanup();
    graphic.reset();
    delete game;
    closeBenchWindow(window);
    return 0;
}
