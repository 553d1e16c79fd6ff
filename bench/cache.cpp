// 2,000 different 32 x 32 PNG pictures loaded through the graphic cache, once each into a texture
// of its own and once placed in the pages of an atlas, then all of them drawn each frame through
// one draw batch on the real window, 300 frames each way. Prints the load time and the mean
// milliseconds per frame of each and, last, the frame-time ratio atlas / separate (target: at
// most 0.6). Run it on a display, e.g. under xvfb-run.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "BenchWindow.h"
#include "ZBatchGL.h"
#include "ZCore.h"
#include "ZGLExtensions.h"
#include "ZGraphic.h"
#include "ZImage.h"
#include "ZManagedGraphicList.h"
#include "ZResource.h"
#include "ZWindowGL.h"

namespace {

const long kWidth = 768;
const long kHeight = 1024;
const long kPictures = 2000;
const long kSize = 32;
const long kPage = 1024;
const int kWarmUpFrames = 30;
const int kFrames = 300;
// The two ways alternate in blocks of frames, so that drift of the machine's load hits both.
const int kBlock = 50;

std::string pictureName(long i) {
    return "picture" + std::to_string(i) + ".png";
}

// Soft colours with varying alpha, different in every picture, so blending does real work.
bool writePictures(const std::string& folder) {
    for (long i = 0; i < kPictures; i++) {
        uint32_t* pixels = new uint32_t[kSize * kSize];
        for (long y = 0; y < kSize; y++)
            for (long x = 0; x < kSize; x++) {
                uint32_t r = static_cast<uint32_t>((x * 8 + i) & 255);
                uint32_t g = static_cast<uint32_t>((y * 8 + i / 7) & 255);
                uint32_t b = static_cast<uint32_t>((i * 13) & 255);
                uint32_t a = static_cast<uint32_t>(128 + ((x ^ y ^ i) & 127));
                pixels[y * kSize + x] = r | g << 8 | b << 16 | a << 24;
            }
        ZImage image;
        image.setPixels(kSize, kSize, true, pixels, false, true);
        unsigned char* data = nullptr;
        unsigned long size = 0;
        if (!image.encodeImage(ZImageFormatPng, data, size, 94)) return false;
        std::string path = folder + "/" + pictureName(i);
        FILE* file = fopen(path.c_str(), "wb");
        bool written = file && fwrite(data, 1, size, file) == size;
        if (file) fclose(file);
        delete[] data;
        if (!written) return false;
    }
    return true;
}

struct Placement {
    std::vector<float> x, y;

    Placement() {
        unsigned state = 2024;
        auto next = [&state](long range) {
            state = state * 1103515245u + 12345u;
            return static_cast<float>((state >> 8) % static_cast<unsigned>(range));
        };
        for (long i = 0; i < kPictures; i++) {
            x.push_back(next(kWidth - kSize - 8));
            y.push_back(next(kHeight - kSize - 8));
        }
    }
};

// Every picture of the folder through a cache of its own; in an atlas or not.
class Way {
public:
    Way(const std::string& folder, bool atlas) : m_atlas(atlas) {
        m_cache.setPrefix(folder.c_str());
    }
    ~Way() { m_cache.freeAll(); }

    // Milliseconds to load and upload everything; -1 when a picture fails.
    double load() {
        auto start = std::chrono::steady_clock::now();
        if (m_atlas) m_cache.beginAtlas(kPage, kPage, 64, 64);
        for (long i = 0; i < kPictures; i++) {
            ZGraphic* graphic = m_cache.loadGraphic(pictureName(i).c_str(), true, true, false, -1,
                                                    false, nullptr, false, nullptr, false);
            if (!graphic) return -1;
            m_cache.uploadGraphic(graphic, false);
            m_graphics.push_back(graphic);
        }
        if (m_atlas) m_cache.endAtlas();
        glFinish();
        return millisecondsSince(start);
    }

    // The batch goes on from one graphic to the next while they share a page; a graphic of
    // another texture draws what is queued first.
    void draw(ZBatchGL& batch, const Placement& placement, int frame) {
        float shift = static_cast<float>(frame % 8);
        ZGraphic* open = nullptr;
        for (long i = 0; i < kPictures; i++) {
            ZGraphic* graphic = m_graphics[i];
            if (open && (!graphic->getAtlas() || graphic->getAtlas() != open->getAtlas()))
                batch.endBatch();
            batch.beginBatch(graphic);
            batch.blitAlphaRect(0, 0, kSize, kSize, placement.x[i] + shift, placement.y[i] + shift,
                                false, false);
            open = graphic;
        }
        batch.endBatch();
    }

    long pages() const {
        std::vector<ZGraphic*> seen;
        for (ZGraphic* graphic : m_graphics) {
            ZGraphic* page = graphic->getAtlas();
            if (!page) continue;
            bool known = false;
            for (ZGraphic* other : seen) known = known || other == page;
            if (!known) seen.push_back(page);
        }
        return static_cast<long>(seen.size());
    }

private:
    bool m_atlas;
    ZManagedGraphicList m_cache;
    std::vector<ZGraphic*> m_graphics;
};

void frame(ZWindowGL* window, ZBatchGL& batch, Way& way, const Placement& placement, int index) {
    window->setWorldView(0, 0, 0, 1, true);
    way.draw(batch, placement, index);
    window->flipBackBuffer(false, true);
}

}  // namespace

int main() {
    if (!hasBenchDisplay("bench_cache")) return 0;
    std::string folder = makeBenchFolder("bench_cache", "cache", "pictures");
    if (folder.empty()) return 1;
    ZResource::initialize();
    if (!writePictures(folder)) {
        printf("bench_cache: the pictures could not be written; nothing measured\n");
        std::filesystem::remove_all(folder);
        return 1;
    }

    ZWindowGL* window = openBenchWindow("bench_cache", "Cache benchmark", kWidth, kHeight);
    if (!window) {
        std::filesystem::remove_all(folder);
        return 0;
    }
    char adapter[256];
    window->getAdapterName(adapter, sizeof(adapter));

    int result = 0;
    {
        Way separate(folder, false);
        Way atlas(folder, true);
        double separateLoad = separate.load();
        double atlasLoad = atlas.load();
        if (separateLoad < 0 || atlasLoad < 0) {
            printf("bench_cache: a picture could not be loaded; nothing measured\n");
            result = 1;
        } else {
            ZBatchGL batch;
            batch.allocateBuffer(kPictures);
            Placement placement;
            for (int i = 0; i < kWarmUpFrames; i++) {
                frame(window, batch, separate, placement, i);
                frame(window, batch, atlas, placement, i);
            }
            double separateTotal = 0, atlasTotal = 0;
            for (int block = 0; block < kFrames / kBlock; block++) {
                auto start = std::chrono::steady_clock::now();
                for (int i = 0; i < kBlock; i++) frame(window, batch, separate, placement, i);
                separateTotal += millisecondsSince(start);
                start = std::chrono::steady_clock::now();
                for (int i = 0; i < kBlock; i++) frame(window, batch, atlas, placement, i);
                atlasTotal += millisecondsSince(start);
            }
            double separateMs = separateTotal / kFrames;
            double atlasMs = atlasTotal / kFrames;
            printf(
                "%ld x %ld window on '%s', %ld different %ld x %ld PNG pictures, %d frames after "
                "%d\n",
                kWidth, kHeight, adapter, kPictures, kSize, kSize, kFrames, kWarmUpFrames);
            printf("separate textures: load %.1f ms, %.3f ms/frame\n", separateLoad, separateMs);
            printf("atlas (%ld pages of %ld x %ld): load %.1f ms, %.3f ms/frame\n", atlas.pages(),
                   kPage, kPage, atlasLoad, atlasMs);
            printf("frame time atlas/separate: %.3fx\n",
                   separateMs > 0 ? atlasMs / separateMs : 0.0);
        }
    }
    closeBenchWindow(window);
    std::filesystem::remove_all(folder);
    return result;
}
