#pragma once

#include <cstdint>
#include <new>

class ZImage;

// The limits the image codecs share, and their allocations: a picture larger than kMaxPixels
// is refused before anything is allocated for it, and an allocation that fails is logged and
// handed back as null rather than thrown.
class ZImageCodecLimits {
public:
    static constexpr uint64_t kMaxPixels = uint64_t(1) << 28;

    // Both sides positive and at most kMaxPixels pixels in all.
    static bool isValidSize(int64_t width, int64_t height);
    // The image has pixels and a valid size whose sides are at most maxSide each.
    static bool isEncodable(const ZImage* image, int64_t maxSide = INT64_MAX);

    // count new elements, or null after logging "<codec>: out of memory".
    template <class T>
    static T* allocate(uint64_t count, const char* codec) {
        T* array = new (std::nothrow) T[count];
        if (!array) logOutOfMemory(codec);
        return array;
    }

private:
    static void logOutOfMemory(const char* codec);
};
