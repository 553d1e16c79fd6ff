#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ZGraphic;
class ZManagedGraphicList;

// One entry as forEach reports it.
struct CachedGraphic {
    std::string name;
    long count;
    ZGraphic* graphic;
};

// Every entry that forEach reports, in its order.
std::vector<CachedGraphic> cachedGraphics(ZManagedGraphicList& cache);
// The count forEach reports for the key, or 0 when it reports none.
long cachedCount(ZManagedGraphicList& cache, const std::string& key);

// Encodes the pixels in the format (ZImageFormat...) into the file; false when that fails.
bool writePicture(const std::string& path, long width, long height,
                  const std::vector<uint32_t>& pixels, bool alpha, long format);
// Pixels of one colour, and pixels from a seed (opaque unless alpha is asked for).
std::vector<uint32_t> filledPixels(long width, long height, uint32_t pixel);
std::vector<uint32_t> seededPixels(long width, long height, uint32_t seed, bool alpha);

// The number of graphics alive in the process.
long liveGraphics();
