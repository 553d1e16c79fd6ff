#include "ZImageHandlerBmp.h"

#include <cstdint>
#include <cstring>

#include "ZCore.h"
#include "ZImage.h"
#include "ZImageCodecBytes.h"
#include "ZImageCodecLimits.h"

namespace {

const unsigned long kFileHeaderSize = 14;
const unsigned long kWrittenHeaderSize = 54;
const unsigned long kMasksOffset = 54;
// Info headers of 56 bytes and more carry an alpha mask after the three colour masks.
const unsigned long kAlphaMaskOffset = 66;
const uint32_t kHeaderSizeWithAlphaMask = 56;

enum {
    kCompressionNone = 0,
    kCompressionRle8 = 1,
    kCompressionRle4 = 2,
    kCompressionBitFields = 3,
};

// How one uncompressed or bit-field row is stored.
enum PixelKind {
    kIndexed,
    kWord555,
    kWord565,
    kBgr,
    kBgra,
};

uint32_t readPixel(const unsigned char* row, long x, int bitCount, PixelKind kind,
                   const uint32_t* palette) {
    switch (kind) {
        case kIndexed:
            if (bitCount == 1) return palette[(row[x >> 3] >> (7 - (x & 7))) & 1];
            if (bitCount == 4) return palette[(x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4];
            return palette[row[x]];
        case kWord555:
            return ZImageCodecBytes::fromWord555(ZImageCodecBytes::readUInt16(row + x * 2));
        case kWord565: {
            uint16_t word = ZImageCodecBytes::readUInt16(row + x * 2);
            return ZImageCodecBytes::makePixel(((word >> 11) & 31) << 3, ((word >> 5) & 63) << 2,
                                               (word & 31) << 3, 255);
        }
        case kBgr:
            return ZImageCodecBytes::readBgr(row + x * 3);
        default:
            return ZImageCodecBytes::readBgra(row + x * 4);
    }
}

// Most writers leave the fourth byte of a 32-bit pixel unused, as 0: such a picture is opaque
// rather than wholly transparent. Returns whether the alpha bytes carry anything.
bool keepAlphaUnlessAllZero(uint32_t* pixels, uint64_t count) {
    for (uint64_t i = 0; i < count; i++)
        if (pixels[i] >> 24) return true;
    for (uint64_t i = 0; i < count; i++) pixels[i] |= 0xFF000000u;
    return false;
}

}  // namespace

const char* const* ZImageHandlerBmp::getExtensions() {
    static const char* const extensions[] = {"bmp", nullptr};
    return extensions;
}

long ZImageHandlerBmp::getFormatId() {
    return 0;
}

bool ZImageHandlerBmp::decode(const unsigned char* data, unsigned long size, ZImage* image) {
    if (size < kFileHeaderSize + 4 || data[0] != 'B' || data[1] != 'M') return false;
    uint32_t headerSize = ZImageCodecBytes::readUInt32(data + 14);
    bool core = headerSize == 12;
    if (!core && headerSize < 40) return false;
    if (size < kFileHeaderSize + (core ? 12 : 40)) return false;

    uint64_t dataOffset = ZImageCodecBytes::readUInt32(data + 10);
    int64_t width;
    int64_t storedHeight;
    int bitCount;
    uint32_t compression = kCompressionNone;
    uint64_t tablePosition = kFileHeaderSize + uint64_t(headerSize);
    uint64_t entrySize = core ? 3 : 4;
    if (core) {
        width = static_cast<int16_t>(ZImageCodecBytes::readUInt16(data + 18));
        storedHeight = static_cast<int16_t>(ZImageCodecBytes::readUInt16(data + 20));
        bitCount = ZImageCodecBytes::readUInt16(data + 24);
    } else {
        width = static_cast<int32_t>(ZImageCodecBytes::readUInt32(data + 18));
        storedHeight = static_cast<int32_t>(ZImageCodecBytes::readUInt32(data + 22));
        bitCount = ZImageCodecBytes::readUInt16(data + 28);
        compression = ZImageCodecBytes::readUInt32(data + 30);
    }
    bool topToBottom = storedHeight < 0;
    int64_t height = topToBottom ? -storedHeight : storedHeight;
    if (!ZImageCodecLimits::isValidSize(width, height)) {
        ZCore::logMessage("BMP: invalid size, %ld x %ld", static_cast<long>(width),
                          static_cast<long>(storedHeight));
        return false;
    }
    if (compression > kCompressionBitFields) {
        ZCore::logMessage("BMP: unsupported compression method %d", static_cast<int>(compression));
        return false;
    }

    PixelKind kind = kIndexed;
    bool hiQuality = true;
    // A file that names its alpha bits is taken at its word, even when all of them are 0.
    bool alphaDeclared = false;
    switch (compression) {
        case kCompressionNone:
            switch (bitCount) {
                case 1:
                case 4:
                case 8:
                    kind = kIndexed;
                    break;
                case 16:
                    kind = kWord555;
                    hiQuality = false;
                    break;
                case 24:
                    kind = kBgr;
                    break;
                case 32:
                    kind = kBgra;
                    break;
                default:
                    ZCore::logMessage("BMP: unsupported bit depth of %d for uncompressed data",
                                      bitCount);
                    return false;
            }
            break;
        case kCompressionRle8:
            if (bitCount != 8) {
                ZCore::logMessage("BMP: unsupported bit depth of %d for RLE8 method", bitCount);
                return false;
            }
            break;
        case kCompressionRle4:
            if (bitCount != 4) {
                ZCore::logMessage("BMP: unsupported bit depth of %d for RLE4 method", bitCount);
                return false;
            }
            break;
        default: {
            if (bitCount != 16 && bitCount != 32) {
                ZCore::logMessage("BMP: unsupported bit depth of %d for bitfields method",
                                  bitCount);
                return false;
            }
            if (kMasksOffset + 12 > size) {
                ZCore::logMessage("BMP: file is too short");
                return false;
            }
            uint32_t red = ZImageCodecBytes::readUInt32(data + kMasksOffset);
            uint32_t green = ZImageCodecBytes::readUInt32(data + kMasksOffset + 4);
            uint32_t blue = ZImageCodecBytes::readUInt32(data + kMasksOffset + 8);
            if (bitCount == 16 && red == 0x7C00 && green == 0x3E0 && blue == 0x1F) {
                kind = kWord555;
            } else if (bitCount == 16 && red == 0xF800 && green == 0x7E0 && blue == 0x1F) {
                kind = kWord565;
            } else if (bitCount == 32 && red == 0xFF0000 && green == 0xFF00 && blue == 0xFF) {
                kind = kBgra;
                alphaDeclared =
                    headerSize >= kHeaderSizeWithAlphaMask && kAlphaMaskOffset + 4 <= size &&
                    ZImageCodecBytes::readUInt32(data + kAlphaMaskOffset) == 0xFF000000u;
            } else {
                ZCore::logMessage("BMP: unsupported bit field masks 0x%x, 0x%x, 0x%x", red, green,
                                  blue);
                return false;
            }
            break;
        }
    }
    if (dataOffset >= size) {
        ZCore::logMessage("BMP: file is too short");
        return false;
    }

    // Only the entries that the file holds are read, whatever the bit count promises; the rest
    // stay opaque black.
    uint32_t palette[256];
    for (uint32_t& entry : palette) entry = ZImageCodecBytes::makePixel(0, 0, 0, 255);
    if (bitCount <= 8) {
        uint64_t count = uint64_t(1) << bitCount;
        for (uint64_t i = 0; i < count && tablePosition + (i + 1) * entrySize <= size; i++) {
            const unsigned char* entry = data + tablePosition + i * entrySize;
            palette[i] = ZImageCodecBytes::readBgr(entry);
        }
    }

    uint64_t pixelCount = uint64_t(width) * uint64_t(height);
    uint64_t stride = (uint64_t(width) * bitCount + 31) / 32 * 4;
    bool runLength = compression == kCompressionRle8 || compression == kCompressionRle4;
    if (!runLength && dataOffset + stride * height > size) {
        ZCore::logMessage("BMP: file is too short");
        return false;
    }
    uint32_t* pixels = ZImageCodecLimits::allocate<uint32_t>(pixelCount, "BMP");
    if (!pixels) return false;

    if (!runLength) {
        for (int64_t fileRow = 0; fileRow < height; fileRow++) {
            const unsigned char* in = data + dataOffset + fileRow * stride;
            uint32_t* out = pixels + (topToBottom ? fileRow : height - 1 - fileRow) * width;
            for (int64_t x = 0; x < width; x++)
                out[x] = readPixel(in, static_cast<long>(x), bitCount, kind, palette);
        }
        bool alpha =
            bitCount == 32 && (alphaDeclared || keepAlphaUnlessAllZero(pixels, pixelCount));
        image->setPixels(width, height, alpha, pixels, false, hiQuality);
        return true;
    }

    // Pixels that no code reaches keep the first four bytes of the colour table area, as they
    // stand.
    uint32_t preset = 0;
    if (tablePosition + 4 <= size) {
        const unsigned char* p = data + tablePosition;
        preset = ZImageCodecBytes::makePixel(p[0], p[1], p[2], p[3]);
    }
    for (uint64_t i = 0; i < pixelCount; i++) pixels[i] = preset;

    bool rle8 = compression == kCompressionRle8;
    uint64_t position = dataOffset;
    int64_t x = 0;
    int64_t y = 0;
    // Pixels past the end of a row are dropped until its end-of-line code: some writers pad
    // every row to a multiple of 4 pixels. Nothing lands past the last row.
    auto put = [&](uint32_t pixel) {
        if (x < width && y < height) pixels[(topToBottom ? y : height - 1 - y) * width + x] = pixel;
        x++;
    };
    // The stream ends at the end of the data as at an end-of-bitmap code.
    while (y < height && position + 2 <= size) {
        int count = data[position];
        int code = data[position + 1];
        position += 2;
        if (count > 0) {
            for (int i = 0; i < count; i++) {
                if (rle8)
                    put(palette[code]);
                else
                    put(palette[(i & 1) ? code & 15 : code >> 4]);
            }
        } else if (code == 0) {
            x = 0;
            y++;
        } else if (code == 1) {
            break;
        } else if (code == 2) {
            if (position + 2 > size) break;
            x += data[position];
            y += data[position + 1];
            position += 2;
        } else {
            uint64_t bytes = rle8 ? code : (code + 1) / 2;
            for (int i = 0; i < code; i++) {
                uint64_t at = position + (rle8 ? i : i / 2);
                if (at >= size) break;
                int index = rle8 ? data[at] : ((i & 1) ? data[at] & 15 : data[at] >> 4);
                put(palette[index]);
            }
            position += bytes + (bytes & 1);
        }
    }
    image->setPixels(width, height, false, pixels, false, true);
    return true;
}

bool ZImageHandlerBmp::encode(unsigned char*& data, unsigned long& size, ZImage* image, long) {
    long width = image->getImageWidth();
    long height = image->getImageHeight();
    const uint32_t* pixels = image->getPixels();
    if (!ZImageCodecLimits::isEncodable(image)) {
        ZCore::logMessage("BMP: can't encode an image of %ld x %ld pixels", width, height);
        return false;
    }
    bool alpha = image->hasAlphaChannel();
    unsigned long stride = alpha ? width * 4 : (width * 3 + 3) & ~3ul;
    unsigned long total = kWrittenHeaderSize + stride * height;
    unsigned char* out = ZImageCodecLimits::allocate<unsigned char>(total, "BMP");
    if (!out) return false;

    memset(out, 0, total);
    out[0] = 'B';
    out[1] = 'M';
    ZImageCodecBytes::writeUInt32(out + 2, static_cast<uint32_t>(total));
    ZImageCodecBytes::writeUInt32(out + 10, kWrittenHeaderSize);
    ZImageCodecBytes::writeUInt32(out + 14, 40);
    ZImageCodecBytes::writeUInt32(out + 18, static_cast<uint32_t>(width));
    ZImageCodecBytes::writeUInt32(out + 22, static_cast<uint32_t>(height));
    ZImageCodecBytes::writeUInt16(out + 26, 1);
    ZImageCodecBytes::writeUInt16(out + 28, alpha ? 32 : 24);
    ZImageCodecBytes::writeUInt32(out + 38, 2835);
    ZImageCodecBytes::writeUInt32(out + 42, 2835);
    for (long fileRow = 0; fileRow < height; fileRow++) {
        const uint32_t* row = pixels + (height - 1 - fileRow) * width;
        ZImageCodecBytes::writeBgrRow(row, width, alpha,
                                      out + kWrittenHeaderSize + fileRow * stride);
    }
    data = out;
    size = total;
    return true;
}
