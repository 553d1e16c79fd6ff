#include "ZImageCodecLimits.h"

#include "ZCore.h"
#include "ZImage.h"

bool ZImageCodecLimits::isValidSize(int64_t width, int64_t height) {
    return width > 0 && height > 0 && uint64_t(width) * uint64_t(height) <= kMaxPixels;
}

bool ZImageCodecLimits::isEncodable(const ZImage* image, int64_t maxSide) {
    int64_t width = image->getImageWidth();
    int64_t height = image->getImageHeight();
    return image->getPixels() && width <= maxSide && height <= maxSide &&
           isValidSize(width, height);
}

void ZImageCodecLimits::logOutOfMemory(const char* codec) {
    ZCore::logMessage("%s: out of memory", codec);
}
