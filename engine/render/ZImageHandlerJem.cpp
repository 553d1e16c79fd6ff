#include "ZImageHandlerJem.h"

#include <lzma.h>

#include <cstdint>
#include <cstdlib>
#include <new>

#include "ZCore.h"
#include "ZImage.h"
#include "ZImageCodecBytes.h"
#include "ZImageCodecLimits.h"

namespace {

const unsigned long kHeaderSize = 21;
const unsigned long kPropertiesOffset = 16;
const unsigned long kPropertiesSize = 5;
const int kDeltaFlag = 0x20;
const int kLargestDictionaryExponent = 26;
const int kSmallestDictionaryExponent = 16;

// LzmaLib result codes: the log lines name these, whichever library did the work.
const int kSzOk = 0;
const int kSzErrorData = 1;
const int kSzErrorMem = 2;
const int kSzErrorUnsupported = 4;
const int kSzErrorParam = 5;
const int kSzErrorInputEof = 6;
const int kSzErrorOutputEof = 7;

uint32_t maskOf(int bytesPerPixel) {
    return bytesPerPixel == 4 ? 0xFFFFFFFFu : (uint32_t(1) << (8 * bytesPerPixel)) - 1;
}

// Runs the stream's coder over all of source into dest until it stops; its last result.
lzma_ret finishStream(lzma_stream& stream, const unsigned char* source, uint64_t sourceSize,
                      unsigned char* dest, uint64_t destCapacity) {
    stream.next_in = source;
    stream.avail_in = sourceSize;
    stream.next_out = dest;
    stream.avail_out = destCapacity;
    lzma_ret ret;
    do {
        ret = lzma_code(&stream, LZMA_FINISH);
    } while (ret == LZMA_OK);
    return ret;
}

// Decompresses exactly destSize bytes; anything else is a data error. Streams with and without
// an end marker are both accepted, as the format's writers produce either.
int decompress(unsigned char* dest, uint64_t destSize, const unsigned char* source,
               uint64_t sourceSize, const unsigned char* properties) {
    lzma_filter filters[2];
    filters[0].id = LZMA_FILTER_LZMA1EXT;
    filters[0].options = nullptr;
    filters[1].id = LZMA_VLI_UNKNOWN;
    filters[1].options = nullptr;
    if (lzma_properties_decode(&filters[0], nullptr, properties, kPropertiesSize) != LZMA_OK)
        return kSzErrorUnsupported;
    lzma_options_lzma* options = static_cast<lzma_options_lzma*>(filters[0].options);
    // No match reaches further back than the output, so a larger window would only cost memory
    // that a damaged header could make enormous.
    uint64_t window = destSize < LZMA_DICT_SIZE_MIN ? LZMA_DICT_SIZE_MIN : destSize;
    if (options->dict_size > window) options->dict_size = static_cast<uint32_t>(window);
    options->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    lzma_set_ext_size(*options, destSize);

    lzma_stream stream = LZMA_STREAM_INIT;
    lzma_ret ret = lzma_raw_decoder(&stream, filters);
    if (ret == LZMA_OK) ret = finishStream(stream, source, sourceSize, dest, destSize);
    uint64_t produced = stream.total_out;
    lzma_end(&stream);
    free(options);

    switch (ret) {
        case LZMA_STREAM_END:
            return produced == destSize ? kSzOk : kSzErrorData;
        case LZMA_BUF_ERROR:
            return kSzErrorInputEof;
        case LZMA_MEM_ERROR:
            return kSzErrorMem;
        case LZMA_OPTIONS_ERROR:
            return kSzErrorUnsupported;
        default:
            return kSzErrorData;
    }
}

// Compresses without an end marker, as LzmaCompress does, and writes the 5 property bytes with
// a dictionary of 2^exponent bytes.
int compress(unsigned char* dest, uint64_t destCapacity, uint64_t& destSize,
             const unsigned char* source, uint64_t sourceSize, int exponent,
             unsigned char* properties) {
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 9)) return kSzErrorParam;
    uint32_t dictionary = uint32_t(1) << exponent;
    // The stream is the same for any window at least as long as the payload; the header still
    // promises the full dictionary, and the encoder needs far less memory for small pictures.
    uint64_t window = sourceSize < LZMA_DICT_SIZE_MIN ? LZMA_DICT_SIZE_MIN : sourceSize;
    options.dict_size = window < dictionary ? static_cast<uint32_t>(window) : dictionary;
    options.ext_flags = 0;
    options.ext_size_low = 0;
    options.ext_size_high = 0;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};

    lzma_stream stream = LZMA_STREAM_INIT;
    lzma_ret ret = lzma_raw_encoder(&stream, filters);
    if (ret == LZMA_OK) ret = finishStream(stream, source, sourceSize, dest, destCapacity);
    destSize = stream.total_out;
    lzma_end(&stream);

    switch (ret) {
        case LZMA_STREAM_END:
            break;
        case LZMA_MEM_ERROR:
            return kSzErrorMem;
        case LZMA_BUF_ERROR:
            return kSzErrorOutputEof;
        default:
            return kSzErrorParam;
    }
    properties[0] = static_cast<unsigned char>((options.pb * 5 + options.lp) * 9 + options.lc);
    ZImageCodecBytes::writeUInt32(properties + 1, dictionary);
    return kSzOk;
}

}  // namespace

const char* const* ZImageHandlerJem::getExtensions() {
    static const char* const extensions[] = {"jem", nullptr};
    return extensions;
}

long ZImageHandlerJem::getFormatId() {
    return 5;
}

bool ZImageHandlerJem::decode(const unsigned char* data, unsigned long size, ZImage* image) {
    if (size <= 20) {
        ZCore::logMessage("JEM: file size (%d bytes) is too small", static_cast<int>(size));
        return false;
    }
    if (data[0] != 'J' || data[1] != 'E' || data[2] != 'M') {
        ZCore::logMessage("JEM: invalid signature 0x%02x 0x%02x 0x%02x", data[0], data[1], data[2]);
        return false;
    }
    int format = data[3];
    uint32_t packedLength = ZImageCodecBytes::readUInt32(data + 4);
    int32_t width = static_cast<int32_t>(ZImageCodecBytes::readUInt32(data + 8));
    int32_t height = static_cast<int32_t>(ZImageCodecBytes::readUInt32(data + 12));
    if (!ZImageCodecLimits::isValidSize(width, height)) {
        ZCore::logMessage("JEM: invalid size, %d x %d", width, height);
        return false;
    }
    int bytesPerPixel = format & 0x1F;
    if (bytesPerPixel != 1 && bytesPerPixel != 3 && bytesPerPixel != 4) {
        ZCore::logMessage("JEM: invalid format, %d bytes/pixel", bytesPerPixel);
        return false;
    }
    // A packed length below 5 cannot even hold the properties.
    if (16 + uint64_t(packedLength) > size || packedLength < kPropertiesSize) {
        ZCore::logMessage("JEM: file is too short");
        return false;
    }

    uint64_t pixelCount = uint64_t(width) * uint64_t(height);
    uint64_t payloadSize = pixelCount * bytesPerPixel;
    unsigned char* payload = ZImageCodecLimits::allocate<unsigned char>(payloadSize, "JEM");
    if (!payload) return false;
    int result = decompress(payload, payloadSize, data + kHeaderSize,
                            packedLength - kPropertiesSize, data + kPropertiesOffset);
    if (result != kSzOk) {
        delete[] payload;
        ZCore::logMessage("JEM: lzma decompression error %d", result);
        return false;
    }
    uint32_t* pixels = ZImageCodecLimits::allocate<uint32_t>(pixelCount, "JEM");
    if (!pixels) {
        delete[] payload;
        return false;
    }

    bool delta = (format & kDeltaFlag) != 0;
    uint32_t mask = maskOf(bytesPerPixel);
    const unsigned char* in = payload;
    uint32_t* out = pixels;
    for (int32_t y = 0; y < height; y++) {
        uint32_t sum = 0;
        for (int32_t x = 0; x < width; x++) {
            uint32_t value = 0;
            for (int i = 0; i < bytesPerPixel; i++) value |= uint32_t(in[i]) << (8 * i);
            in += bytesPerPixel;
            if (delta) {
                sum = (sum + value) & mask;
                value = sum;
            }
            if (bytesPerPixel == 1)
                *out++ = value * 0x010101u | 0xFF000000u;
            else if (bytesPerPixel == 3)
                *out++ = value | 0xFF000000u;
            else
                *out++ = value;
        }
    }
    delete[] payload;
    image->setPixels(width, height, bytesPerPixel == 4, pixels, bytesPerPixel == 1, true);
    return true;
}

bool ZImageHandlerJem::encode(unsigned char*& data, unsigned long& size, ZImage* image, long) {
    long width = image->getImageWidth();
    long height = image->getImageHeight();
    const uint32_t* pixels = image->getPixels();
    // The decoder refuses what this would write for these, so nothing is written.
    if (!ZImageCodecLimits::isEncodable(image)) {
        ZCore::logMessage("JEM: can't encode an image of %ld x %ld pixels", width, height);
        return false;
    }
    int bytesPerPixel = image->hasAlphaChannel() ? 4 : (image->isGreyscale() ? 1 : 3);
    uint64_t n = uint64_t(width) * uint64_t(height) * bytesPerPixel;
    uint64_t capacity = n + n / 3 + 149;

    unsigned char* plain = new (std::nothrow) unsigned char[n];
    unsigned char* delta = new (std::nothrow) unsigned char[n];
    unsigned char* plainOut = new (std::nothrow) unsigned char[capacity];
    unsigned char* deltaOut = new (std::nothrow) unsigned char[capacity];
    if (!plain || !delta || !plainOut || !deltaOut) {
        delete[] plain;
        delete[] delta;
        delete[] plainOut;
        delete[] deltaOut;
        ZCore::logMessage("JEM: lzma compression error %d", kSzErrorMem);
        return false;
    }

    uint32_t mask = maskOf(bytesPerPixel);
    unsigned char* plainAt = plain;
    unsigned char* deltaAt = delta;
    for (long y = 0; y < height; y++) {
        uint32_t previous = 0;
        for (long x = 0; x < width; x++) {
            uint32_t pixel = *pixels++;
            uint32_t value = bytesPerPixel == 1 ? (pixel >> 8) & 0xFF : pixel & mask;
            uint32_t difference = (value - previous) & mask;
            previous = value;
            for (int i = 0; i < bytesPerPixel; i++) {
                *plainAt++ = static_cast<unsigned char>(value >> (8 * i));
                *deltaAt++ = static_cast<unsigned char>(difference >> (8 * i));
            }
        }
    }

    uint64_t streamCapacity = n + n / 3 + 128;
    uint64_t plainLength = 0;
    uint64_t deltaLength = 0;
    int result;
    for (int exponent = kLargestDictionaryExponent;; exponent--) {
        result = compress(plainOut + kHeaderSize, streamCapacity, plainLength, plain, n, exponent,
                          plainOut + kPropertiesOffset);
        if (result == kSzOk)
            result = compress(deltaOut + kHeaderSize, streamCapacity, deltaLength, delta, n,
                              exponent, deltaOut + kPropertiesOffset);
        if (result != kSzErrorMem || exponent <= kSmallestDictionaryExponent) break;
    }
    delete[] plain;
    delete[] delta;
    if (result != kSzOk) {
        delete[] plainOut;
        delete[] deltaOut;
        ZCore::logMessage("JEM: lzma compression error %d", result);
        return false;
    }

    bool useDelta = deltaLength < plainLength;
    unsigned char* out = useDelta ? deltaOut : plainOut;
    uint64_t streamLength = useDelta ? deltaLength : plainLength;
    delete[](useDelta ? plainOut : deltaOut);

    out[0] = 'J';
    out[1] = 'E';
    out[2] = 'M';
    out[3] = static_cast<unsigned char>(bytesPerPixel | (useDelta ? kDeltaFlag : 0));
    ZImageCodecBytes::writeUInt32(out + 4, static_cast<uint32_t>(streamLength + kPropertiesSize));
    ZImageCodecBytes::writeUInt32(out + 8, static_cast<uint32_t>(width));
    ZImageCodecBytes::writeUInt32(out + 12, static_cast<uint32_t>(height));
    data = out;
    size = static_cast<unsigned long>(streamLength + kHeaderSize);
    return true;
}
