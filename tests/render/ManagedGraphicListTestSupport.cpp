#include "ManagedGraphicListTestSupport.h"

#include "ImageCodecTestSupport.h"
#include "TempDir.h"
#include "ZGraphicGL.h"
#include "ZImage.h"
#include "ZManagedGraphicList.h"

std::vector<CachedGraphic> cachedGraphics(ZManagedGraphicList& cache) {
    std::vector<CachedGraphic> seen;
    cache.forEach(
        [](void* user, const char* name, long count, ZGraphic* graphic) {
            static_cast<std::vector<CachedGraphic>*>(user)->push_back({name, count, graphic});
        },
        &seen);
    return seen;
}

long cachedCount(ZManagedGraphicList& cache, const std::string& key) {
    for (const CachedGraphic& entry : cachedGraphics(cache))
        if (entry.name == key) return entry.count;
    return 0;
}

bool writePicture(const std::string& path, long width, long height,
                  const std::vector<uint32_t>& pixels, bool alpha, long format) {
    ZImage image;
    fillImage(image, width, height, pixels, alpha, false);
    Bytes file;
    if (!encodeToBytes(image, format, file)) return false;
    writeFile(path, std::string(file.begin(), file.end()));
    return true;
}

std::vector<uint32_t> filledPixels(long width, long height, uint32_t pixel) {
    return std::vector<uint32_t>(static_cast<size_t>(width * height), pixel);
}

std::vector<uint32_t> seededPixels(long width, long height, uint32_t seed, bool alpha) {
    std::vector<uint32_t> pixels = randomPixels(static_cast<size_t>(width * height), seed);
    if (!alpha)
        for (uint32_t& pixel : pixels) pixel |= 0xFF000000u;
    return pixels;
}

long liveGraphics() {
    return ZGraphicGL::g_lGlGraphics.count;
}
