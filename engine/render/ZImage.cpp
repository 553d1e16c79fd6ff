#include "ZImage.h"

#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "ZImageCodecBytes.h"
#include "ZImageCodecLimits.h"
#include "ZImageHandler.h"
#include "ZImageHandlerBmp.h"
#include "ZImageHandlerGif.h"
#include "ZImageHandlerJem.h"
#include "ZImageHandlerJpg.h"
#include "ZImageHandlerPng.h"
#include "ZImageHandlerTga.h"

ZList<ZImageHandler> ZImage::g_lHandlers;
bool ZImage::g_bHandlersInitialized = false;

namespace {

const size_t kNameSize = 260;

// Guards the registry's filling and emptying: the first decode may come from a loader thread
// while the main thread detects a format. Taking it also orders the list's links before their
// readers.
std::mutex g_registryMutex;

// The handlers the registry made itself, the only ones it may delete.
ZImageHandler* g_builtins[6];
int g_builtinCount = 0;

bool isListed(ZImageHandler* handler) {
    for (ZImageHandler* h : ZImage::g_lHandlers)
        if (h == handler) return true;
    return false;
}

void addBuiltin(ZImageHandler* handler) {
    g_builtins[g_builtinCount++] = handler;
    ZImage::g_lHandlers.addToTail(handler);
}

bool isBuiltin(ZImageHandler* handler) {
    for (int i = 0; i < g_builtinCount; i++)
        if (g_builtins[i] == handler) return true;
    return false;
}

// Called with the registry lock held.
void initializeLocked() {
    if (ZImage::g_bHandlersInitialized) return;
    g_builtinCount = 0;
    addBuiltin(new ZImageHandlerBmp);
    addBuiltin(new ZImageHandlerJpg);
    addBuiltin(new ZImageHandlerTga);
    addBuiltin(new ZImageHandlerPng);
    addBuiltin(new ZImageHandlerGif);
    addBuiltin(new ZImageHandlerJem);
    ZImage::g_bHandlersInitialized = true;
}

ZImageHandler* findHandler(long formatId) {
    for (ZImageHandler* h : ZImage::g_lHandlers)
        if (h->getFormatId() == formatId) return h;
    return nullptr;
}

inline float cube(float u) {
    return u > 0.0f ? u * u * u : 0.0f;
}

// The cubic B-spline kernel.
float bspline(float t) {
    return (cube(t + 2.0f) - 4.0f * cube(t + 1.0f) + 6.0f * cube(t) - 4.0f * cube(t - 1.0f)) / 6.0f;
}

struct Taps {
    long index[4];
    float weight[4];
};

// A target of one pixel has no defined source position: it takes the first row or column.
Taps bsplineTaps(unsigned long target, unsigned long source, unsigned long destination) {
    float position = 0.0f;
    if (destination > 1)
        position = static_cast<float>(target) * static_cast<float>(source - 1) /
                   static_cast<float>(destination - 1);
    float fraction = position - std::floor(position);
    long base = static_cast<long>(position);
    Taps taps;
    for (int m = -1; m <= 2; m++) {
        long index = base + m;
        if (index < 0) index = 0;
        if (index > static_cast<long>(source) - 1) index = static_cast<long>(source) - 1;
        taps.index[m + 1] = index;
        taps.weight[m + 1] = bspline(static_cast<float>(m) - fraction);
    }
    return taps;
}

unsigned toByte(float value) {
    float rounded = value + 0.5f;
    if (rounded >= 255.0f) return 255;
    if (rounded <= 0.0f) return 0;
    return static_cast<unsigned>(rounded);
}

void resampleBspline(const uint32_t* source, unsigned long width, unsigned long height,
                     uint32_t* destination, unsigned long newWidth, unsigned long newHeight) {
    std::vector<Taps> columns(newWidth);
    for (unsigned long x = 0; x < newWidth; x++) columns[x] = bsplineTaps(x, width, newWidth);
    uint32_t* out = destination;
    for (unsigned long y = 0; y < newHeight; y++) {
        Taps row = bsplineTaps(y, height, newHeight);
        for (unsigned long x = 0; x < newWidth; x++) {
            const Taps& column = columns[x];
            float total = 0, sumA = 0, sumR = 0, sumG = 0, sumB = 0;
            for (int j = 0; j < 4; j++) {
                const uint32_t* line = source + row.index[j] * width;
                for (int i = 0; i < 4; i++) {
                    float w = row.weight[j] * column.weight[i];
                    uint32_t p = line[column.index[i]];
                    float a = static_cast<float>(p >> 24);
                    total += w;
                    sumA += w * a;
                    sumR += w * static_cast<float>(p & 0xFF) * a;
                    sumG += w * static_cast<float>((p >> 8) & 0xFF) * a;
                    sumB += w * static_cast<float>((p >> 16) & 0xFF) * a;
                }
            }
            if (total <= 0.0f || sumA <= 0.0f) {
                *out++ = 0;
                continue;
            }
            *out++ = ZImageCodecBytes::makePixel(toByte(sumR / sumA), toByte(sumG / sumA),
                                                 toByte(sumB / sumA), toByte(sumA / total));
        }
    }
}

void resampleAverage(const uint32_t* source, unsigned long width, unsigned long height,
                     uint32_t* destination, unsigned long newWidth, unsigned long newHeight) {
    const long w = static_cast<long>(width);
    const long h = static_cast<long>(height);
    const long stepX = static_cast<long>((width * 65536ul) / newWidth);
    const long stepY = static_cast<long>((height * 65536ul) / newHeight);
    uint32_t* out = destination;
    for (unsigned long y = 0; y < newHeight; y++) {
        long py = static_cast<long>(y) * stepY;
        long rc = py >> 16, r0 = (py - 32768) >> 16, r1 = (py + 32768) >> 16;
        for (unsigned long x = 0; x < newWidth; x++) {
            long px = static_cast<long>(x) * stepX;
            long cc = px >> 16, c0 = (px - 32768) >> 16, c1 = (px + 32768) >> 16;
            uint32_t centre = source[rc * w + cc];
            uint32_t samples[4] = {
                (r0 < 0 || c0 < 0) ? centre : source[r0 * w + c0],
                (r0 < 0 || c1 >= w) ? centre : source[r0 * w + c1],
                (c0 < 0 || r1 >= h) ? centre : source[r1 * w + c0],
                (c1 >= w || r1 >= h) ? centre : source[r1 * w + c1],
            };
            uint32_t result = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                unsigned sum = 0;
                for (uint32_t sample : samples) sum += (sample >> shift) & 0xFF;
                result |= static_cast<uint32_t>(sum >> 2) << shift;
            }
            *out++ = result;
        }
    }
}

}  // namespace

ZImage::ZImage() {}

ZImage::~ZImage() {
    delete[] m_pixels;
}

void ZImage::initialize() {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    initializeLocked();
}

void ZImage::cleanup() {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (!g_bHandlersInitialized) return;
    for (ZImageHandler* handler : g_lHandlers) {
        if (static_cast<unsigned long>(handler->getFormatId()) > 5) continue;
        g_lHandlers.remove(handler);
        // A caller's handler with a built-in id leaves the list but stays its caller's.
        if (isBuiltin(handler)) delete handler;
    }
    g_builtinCount = 0;
    g_bHandlersInitialized = false;
}

void ZImage::addHandler(ZImageHandler* handler) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    initializeLocked();
    if (handler && !isListed(handler)) g_lHandlers.addToTail(handler);
}

void ZImage::removeHandler(ZImageHandler* handler) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    // Unlinking a handler that is not in the list would corrupt it.
    if (handler && isListed(handler)) g_lHandlers.remove(handler);
}

long ZImage::detectFormat(const char* name) {
    initialize();
    if (!name) return -1;
    // A copy private to the call: loader threads detect while the main thread does.
    char lower[kNameSize];
    size_t length = 0;
    for (; length < kNameSize - 1 && name[length]; length++) {
        char c = name[length];
        lower[length] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    lower[length] = '\0';
    const char* dot = strrchr(lower, '.');
    if (!dot) return -1;
    const char* extension = dot + 1;
    for (ZImageHandler* handler : g_lHandlers) {
        for (const char* const* e = handler->getExtensions(); e && *e; e++) {
            if (strcmp(*e, extension) != 0) continue;
            long id = handler->getFormatId();
            if (id != -1) return id;
        }
    }
    return -1;
}

void ZImage::freeImage() {
    delete[] m_pixels;
    m_pixels = nullptr;
}

void ZImage::setPixels(unsigned long width, unsigned long height, bool hasAlpha, uint32_t* pixels,
                       bool greyscale, bool hiQuality) {
    m_width = static_cast<long>(width);
    m_height = static_cast<long>(height);
    m_hasAlpha = hasAlpha;
    m_pixels = pixels;
    m_greyscale = greyscale;
    m_hiQuality = hiQuality;
}

bool ZImage::decodeImage(long formatId, const unsigned char* data, unsigned long size) {
    initialize();
    ZImageHandler* handler = findHandler(formatId);
    return handler && handler->decode(data, size, this);
}

bool ZImage::encodeImage(long formatId, unsigned char*& data, unsigned long& size, long quality) {
    initialize();
    ZImageHandler* handler = findHandler(formatId);
    return handler && handler->encode(data, size, this, quality);
}

void ZImage::resampleImage(unsigned long newWidth, unsigned long newHeight,
                           ZImageResampleMethod method) {
    if (m_width <= 0 || m_height <= 0 || !m_pixels || newWidth == 0 || newHeight == 0) return;
    const unsigned long width = static_cast<unsigned long>(m_width);
    const unsigned long height = static_cast<unsigned long>(m_height);
    if (newWidth == width && newHeight == height) return;
    // A size that cannot be held leaves the image as it was; each side is checked first so the
    // product cannot wrap.
    const uint64_t maxPixels = ZImageCodecLimits::kMaxPixels;
    if (newWidth > maxPixels || newHeight > maxPixels || newWidth * newHeight > maxPixels) return;
    uint32_t* resampled = new (std::nothrow) uint32_t[newWidth * newHeight];
    if (!resampled) return;
    if (method == 1)
        resampleBspline(m_pixels, width, height, resampled, newWidth, newHeight);
    else
        resampleAverage(m_pixels, width, height, resampled, newWidth, newHeight);
    delete[] m_pixels;
    m_pixels = resampled;
    m_width = static_cast<long>(newWidth);
    m_height = static_cast<long>(newHeight);
}
