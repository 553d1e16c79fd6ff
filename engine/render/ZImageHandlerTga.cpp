#include "ZImageHandlerTga.h"

#include <cstdint>
#include <cstring>

#include "ZCore.h"
#include "ZImage.h"
#include "ZImageCodecBytes.h"
#include "ZImageCodecLimits.h"

namespace {

const unsigned long kHeaderSize = 18;
// The size fields are 16 bits wide.
const long kMaxSide = 65535;

// The grey image types, raw and run-length encoded.
const int kTypeGrey = 3;
const int kRunLengthBit = 0x08;

uint32_t readPixel(const unsigned char* p, int depth, bool greyAlpha, const uint32_t* palette) {
    switch (depth) {
        case 8:
            return palette[p[0]];
        case 15:
        case 16:
            // A grey picture's 16 bits are the grey byte, then the alpha byte.
            if (greyAlpha) return ZImageCodecBytes::makePixel(p[0], p[0], p[0], p[1]);
            return ZImageCodecBytes::fromWord555(ZImageCodecBytes::readUInt16(p));
        case 24:
            return ZImageCodecBytes::readBgr(p);
        default:
            return ZImageCodecBytes::readBgra(p);
    }
}

}  // namespace

const char* const* ZImageHandlerTga::getExtensions() {
    static const char* const extensions[] = {"tga", nullptr};
    return extensions;
}

long ZImageHandlerTga::getFormatId() {
    return 2;
}

bool ZImageHandlerTga::decode(const unsigned char* data, unsigned long size, ZImage* image) {
    if (size < kHeaderSize || kHeaderSize + data[0] > size) {
        ZCore::logMessage("TGA: file is too short");
        return false;
    }
    int imageType = data[2];
    int mapEntrySize = data[7];
    // Width, height and the colour map length are unsigned 16-bit numbers, so that everything the
    // encoder writes reads back.
    uint64_t mapLength = ZImageCodecBytes::readUInt16(data + 5);
    long width = ZImageCodecBytes::readUInt16(data + 12);
    long height = ZImageCodecBytes::readUInt16(data + 14);
    int depth = data[16];
    int descriptor = data[17];
    uint64_t position = kHeaderSize + data[0];

    // Indices past the colour map, and 8-bit pictures without one, read as greys.
    uint32_t palette[256];
    for (uint32_t i = 0; i < 256; i++) palette[i] = ZImageCodecBytes::makePixel(i, i, i, 255);
    if (data[1] != 0) {
        if (mapEntrySize != 24) {
            ZCore::logMessage("TGA: unsupported color map entry size of %d bits", mapEntrySize);
            return false;
        }
        if (position + mapLength * 3 > size) {
            ZCore::logMessage("TGA: file is too short");
            return false;
        }
        // Entries past the 256 that an 8-bit index can reach are skipped.
        for (uint64_t i = 0; i < mapLength && i < 256; i++) {
            const unsigned char* entry = data + position + i * 3;
            palette[i] = ZImageCodecBytes::readBgr(entry);
        }
        position += mapLength * 3;
    }

    if (!ZImageCodecLimits::isValidSize(width, height)) {
        ZCore::logMessage("TGA: invalid size, %ld x %ld", width, height);
        return false;
    }
    if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32) {
        ZCore::logMessage("TGA: unsupported pixel depth of %d", depth);
        return false;
    }
    uint64_t bytesPerPixel = (depth + 7) / 8;
    bool runLength = (imageType & kRunLengthBit) != 0;
    bool greyAlpha = depth == 16 && (imageType & ~kRunLengthBit) == kTypeGrey;
    if (!runLength && position + uint64_t(width) * uint64_t(height) * bytesPerPixel > size) {
        ZCore::logMessage("TGA: file is too short");
        return false;
    }
    uint32_t* pixels =
        ZImageCodecLimits::allocate<uint32_t>(uint64_t(width) * uint64_t(height), "TGA");
    if (!pixels) return false;

    bool topToBottom = (descriptor & 0x20) != 0;
    bool rightToLeft = (descriptor & 0x10) != 0;
    for (long fileRow = 0; fileRow < height; fileRow++) {
        uint32_t* row = pixels + (topToBottom ? fileRow : height - 1 - fileRow) * width;
        auto put = [&](long x, uint32_t pixel) { row[rightToLeft ? width - 1 - x : x] = pixel; };
        if (!runLength) {
            for (long x = 0; x < width; x++) {
                put(x, readPixel(data + position, depth, greyAlpha, palette));
                position += bytesPerPixel;
            }
            continue;
        }
        long x = 0;
        while (x < width) {
            if (position >= size) {
                ZCore::logMessage("TGA: end of file met while decompressing");
                delete[] pixels;
                return false;
            }
            int packet = data[position++];
            long count = (packet & 127) + 1;
            if (x + count > width) {
                ZCore::logMessage(
                    "TGA: decompressing past the end of the current scanline at %d,%d; length "
                    "was %d",
                    static_cast<int>(x), static_cast<int>(fileRow), static_cast<int>(count));
                delete[] pixels;
                return false;
            }
            uint64_t stored = (packet & 128) ? 1 : count;
            if (position + stored * bytesPerPixel > size) {
                ZCore::logMessage("TGA: end of file met while decompressing");
                delete[] pixels;
                return false;
            }
            if (packet & 128) {
                uint32_t pixel = readPixel(data + position, depth, greyAlpha, palette);
                position += bytesPerPixel;
                for (long i = 0; i < count; i++) put(x++, pixel);
            } else {
                for (long i = 0; i < count; i++) {
                    put(x++, readPixel(data + position, depth, greyAlpha, palette));
                    position += bytesPerPixel;
                }
            }
        }
    }

    bool fiveBitColour = (depth == 15 || depth == 16) && !greyAlpha;
    image->setPixels(width, height, depth == 32 || greyAlpha, pixels, false, !fiveBitColour);
    return true;
}

bool ZImageHandlerTga::encode(unsigned char*& data, unsigned long& size, ZImage* image, long) {
    long width = image->getImageWidth();
    long height = image->getImageHeight();
    const uint32_t* pixels = image->getPixels();
    if (!ZImageCodecLimits::isEncodable(image, kMaxSide)) {
        ZCore::logMessage("TGA: can't encode an image of %ld x %ld pixels", width, height);
        return false;
    }
    bool alpha = image->hasAlphaChannel();
    unsigned long bytesPerPixel = alpha ? 4 : 3;
    unsigned long total = kHeaderSize + width * height * bytesPerPixel;
    unsigned char* out = ZImageCodecLimits::allocate<unsigned char>(total, "TGA");
    if (!out) return false;

    memset(out, 0, kHeaderSize);
    out[2] = 2;
    ZImageCodecBytes::writeUInt16(out + 12, static_cast<uint16_t>(width));
    ZImageCodecBytes::writeUInt16(out + 14, static_cast<uint16_t>(height));
    out[16] = alpha ? 32 : 24;
    unsigned char* at = out + kHeaderSize;
    for (long fileRow = 0; fileRow < height; fileRow++) {
        at = ZImageCodecBytes::writeBgrRow(pixels + (height - 1 - fileRow) * width, width, alpha,
                                           at);
    }
    data = out;
    size = total;
    return true;
}
