#include "ZImageHandlerGif.h"

#include <cstring>
#include <new>
#include <vector>

#include "ZCore.h"
#include "ZImage.h"
#include "ZImageCodecBytes.h"
#include "ZImageCodecLimits.h"

namespace {

const unsigned long kScreenDescriptorEnd = 13;

void readColourTable(const unsigned char* table, long count, uint32_t* palette) {
    for (long i = 0; i < count; i++)
        palette[i] =
            ZImageCodecBytes::makePixel(table[i * 3], table[i * 3 + 1], table[i * 3 + 2], 255);
}

}  // namespace

const char* const* ZImageHandlerGif::getExtensions() {
    static const char* const extensions[] = {"gif", nullptr};
    return extensions;
}

long ZImageHandlerGif::getFormatId() {
    return 4;
}

bool ZImageHandlerGif::decode(const unsigned char* data, unsigned long size, ZImage* image) {
    if (size < kScreenDescriptorEnd || memcmp(data, "GIF", 3) != 0) return false;
    long screenWidth = ZImageCodecBytes::readUInt16(data + 6);
    long screenHeight = ZImageCodecBytes::readUInt16(data + 8);
    int flags = data[10];
    int background = data[11];

    uint32_t palette[256];
    for (uint32_t i = 0; i < 256; i++) palette[i] = ZImageCodecBytes::makePixel(i, i, i, 255);
    uint64_t position = kScreenDescriptorEnd;
    if (flags & 0x80) {
        long count = 2L << (flags & 7);
        if (size < 26 + 3 * uint64_t(count)) return false;
        readColourTable(data + position, count, palette);
        position += 3 * count;
    }

    for (;;) {
        if (position >= size) return false;
        int block = data[position];
        if (block == 0x2C) break;
        if (block != 0x21) return false;  // the trailer before any image, or damage
        if (size - position < 2) return false;
        if (data[position + 1] == 0xF9) {
            if (position + 2 >= size) return false;
            position += data[position + 2] + 4;
        } else {
            position += 2;
            for (;;) {
                if (position >= size) return false;
                int length = data[position];
                position += 1 + length;
                if (length == 0) break;
            }
        }
        if (position >= size) return false;
    }

    if (size - position <= 9) return false;
    const unsigned char* descriptor = data + position;
    long left = ZImageCodecBytes::readUInt16(descriptor + 1);
    long top = ZImageCodecBytes::readUInt16(descriptor + 3);
    long width = ZImageCodecBytes::readUInt16(descriptor + 5);
    long height = ZImageCodecBytes::readUInt16(descriptor + 7);
    int imageFlags = descriptor[9];
    uint64_t descriptorStart = position;
    position += 10;
    if (imageFlags & 0x80) {
        long count = 2L << (imageFlags & 7);
        // Counted from the introducer: the descriptor, the table and the start of the data.
        if (size < descriptorStart + 3 * uint64_t(count) + 13) return false;
        readColourTable(data + position, count, palette);
        position += 3 * count;
    }

    // An image without pixels draws nothing and reaches nowhere: the picture is the screen.
    bool empty = width == 0 || height == 0;
    long pictureWidth = !empty && left + width > screenWidth ? left + width : screenWidth;
    long pictureHeight = !empty && top + height > screenHeight ? top + height : screenHeight;
    if (!ZImageCodecLimits::isValidSize(pictureWidth, pictureHeight)) return false;
    uint64_t pixelCount = uint64_t(pictureWidth) * uint64_t(pictureHeight);
    uint32_t* pixels = ZImageCodecLimits::allocate<uint32_t>(pixelCount, "GIF");
    if (!pixels) return false;
    for (uint64_t i = 0; i < pixelCount; i++) pixels[i] = palette[background];

    if (!empty && !decodeImage(data + position, data + size, palette, pixels, pictureWidth, left,
                               top, width, height, (imageFlags & 0x40) != 0)) {
        delete[] pixels;
        return false;
    }
    image->setPixels(pictureWidth, pictureHeight, false, pixels, false, true);
    return true;
}

bool ZImageHandlerGif::encode(unsigned char*&, unsigned long&, ZImage*, long) {
    ZCore::logMessage("GIF: encoding isn't supported");
    return false;
}

bool ZImageHandlerGif::decodeImage(const unsigned char* position, const unsigned char* end,
                                   const uint32_t* palette, uint32_t* picture, long pictureWidth,
                                   long left, long top, long width, long height, bool interlaced) {
    if (position >= end) return true;  // no data: the picture keeps its background
    int minimumCodeSize = *position++;
    // No palette index needs more than 8 bits; from 12 on the clear code would lie past the
    // tables.
    if (minimumCodeSize < 1 || minimumCodeSize > 8) return false;

    std::vector<long> rowMap;
    rowMap.reserve(height);
    if (interlaced) {
        static const int kStart[] = {0, 4, 2, 1};
        static const int kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; pass++)
            for (long row = kStart[pass]; row < height; row += kStep[pass]) rowMap.push_back(row);
    } else {
        for (long row = 0; row < height; row++) rowMap.push_back(row);
    }

    // About 16 KB: kept off the stack of loader threads.
    LzwState* lzw = new (std::nothrow) LzwState();
    if (!lzw) {
        ZCore::logMessage("GIF: out of memory");
        return false;
    }
    LzwState& state = *lzw;
    state.error = false;
    state.initialCodeSize = minimumCodeSize + 1;
    state.clearCode = 1 << minimumCodeSize;
    state.bitCount = 0;
    state.bitBuffer = 0;
    state.codeSize = state.initialCodeSize;
    state.largestCode = (1 << state.codeSize) - 1;
    state.blockLeft = 0;
    state.position = position;
    state.end = end;
    int endCode = state.clearCode + 1;
    int nextCode = state.clearCode + 2;

    uint64_t total = uint64_t(width) * uint64_t(height);
    uint64_t written = 0;
    long column = 0;
    long row = 0;
    auto put = [&](uint8_t index) {
        picture[(top + rowMap[row]) * pictureWidth + left + column] = palette[index];
        written++;
        if (++column == width) {
            column = 0;
            row++;
        }
    };

    // Streams usually open with a clear code, but need not: the table starts out cleared. A clear
    // code is never a pixel, also when it follows another.
    bool expectRoot = true;
    int previous = 0;
    int firstByte = 0;
    while (written < total) {
        int code = readLzwCode(state);
        if (state.error || code == endCode) break;
        if (code == state.clearCode) {
            state.codeSize = state.initialCodeSize;
            state.largestCode = (1 << state.codeSize) - 1;
            nextCode = state.clearCode + 2;
            expectRoot = true;
            continue;
        }
        if (expectRoot) {
            put(static_cast<uint8_t>(code & 255));
            previous = code;
            firstByte = code & 255;
            expectRoot = false;
            continue;
        }
        if (code > nextCode) {
            ZCore::logMessage("GIF: invalid LZW code");
            break;
        }
        long start;
        if (code == nextCode) {
            // Not in the table yet: the previous string followed by its own first byte.
            state.stack[kTableSize - 1] = static_cast<uint8_t>(firstByte);
            start = decodeLzwString(state, previous, kTableSize - 1);
        } else {
            start = decodeLzwString(state, code, kTableSize);
        }
        if (start < 0) {
            ZCore::logMessage("GIF: stack overflow");
            break;
        }
        for (long i = start; i < kTableSize && written < total; i++) put(state.stack[i]);
        firstByte = state.stack[start];
        if (nextCode < kTableSize) {
            state.prefix[nextCode] = static_cast<uint16_t>(previous);
            state.suffix[nextCode] = static_cast<uint8_t>(firstByte);
            if (nextCode == state.largestCode && state.codeSize < 12) {
                state.codeSize++;
                state.largestCode = (1 << state.codeSize) - 1;
            }
            nextCode++;
        }
        previous = code;
    }
    delete lzw;
    return true;
}

int ZImageHandlerGif::readSubBlockByte(LzwState& state) {
    // A zero length byte counts as 256 bytes: decoding ends on the end code or a full image, not
    // on the block terminator, and never reads past the data.
    if (state.blockLeft == 0) {
        if (state.position >= state.end) {
            state.error = true;
            return 0;
        }
        int length = *state.position++;
        state.blockLeft = length ? length : 256;
    }
    if (state.position >= state.end) {
        state.error = true;
        return 0;
    }
    state.blockLeft--;
    return *state.position++;
}

int ZImageHandlerGif::readLzwCode(LzwState& state) {
    while (state.bitCount < state.codeSize) {
        state.bitBuffer |= uint32_t(readSubBlockByte(state)) << state.bitCount;
        state.bitCount += 8;
    }
    int code = static_cast<int>(state.bitBuffer & ((uint32_t(1) << state.codeSize) - 1));
    state.bitBuffer >>= state.codeSize;
    state.bitCount -= state.codeSize;
    return code;
}

long ZImageHandlerGif::decodeLzwString(LzwState& state, int code, long top) {
    // Unwound back to front below top; a damaged table can chain without end, which the
    // stack's size stops.
    long at = top;
    while (code >= state.clearCode) {
        if (at == 0) return -1;
        state.stack[--at] = state.suffix[code];
        code = state.prefix[code];
    }
    if (at == 0) return -1;
    state.stack[--at] = static_cast<uint8_t>(code);
    return at;
}
