#include "ZImageHandlerPng.h"

#include <zlib.h>

#include <cstring>
#include <new>
#include <vector>

#include "ZCore.h"
#include "ZImage.h"
#include "ZImageCodecLimits.h"

namespace {

// The encoder's output starts at this share of the raw pixels and grows when needed.
const unsigned long kInitialOutputDivisor = 4;
const size_t kIdatPiece = 1u << 20;

const char* const kExtensions[] = {"png", nullptr};
const unsigned char kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

const uint32_t kChunkIHDR = 0x49484452;
const uint32_t kChunkIDAT = 0x49444154;
const uint32_t kChunkIEND = 0x49454E44;
const uint32_t kChunkCgBI = 0x43674249;

struct ReadState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const unsigned char* source = nullptr;
    unsigned long size = 0;
    unsigned long position = 0;
    uint32_t* pixels = nullptr;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool hasAlpha = false;
    bool greyscale = false;
};

struct WriteState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    unsigned char* output = nullptr;
    unsigned long capacity = 0;
    unsigned long position = 0;
    unsigned char* row = nullptr;
};

// A file with a CgBI chunk, rebuilt as a standard PNG stream for the library.
struct CgbiStream {
    bool rewritten = false;
    bool cgbi = false;
    std::vector<unsigned char> png;
    std::vector<const char*> warnings;
    const char* error = nullptr;
};

struct ChunkRef {
    size_t offset;
    uint32_t length;
    uint32_t type;
};

uint32_t readUint32(const unsigned char* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

void appendUint32(std::vector<unsigned char>& out, uint32_t value) {
    unsigned char bytes[4] = {
        static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
        static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    out.insert(out.end(), bytes, bytes + 4);
}

// The stored CRC of the chunk at data covers its type and its data.
bool crcMatches(const unsigned char* chunk, uint32_t length) {
    uLong crc = crc32(0, chunk + 4, 4 + length);
    return crc == readUint32(chunk + 8 + length);
}

void appendChunk(std::vector<unsigned char>& out, uint32_t type, const unsigned char* data,
                 size_t length) {
    appendUint32(out, static_cast<uint32_t>(length));
    size_t start = out.size();
    appendUint32(out, type);
    out.insert(out.end(), data, data + length);
    appendUint32(out, static_cast<uint32_t>(crc32(0, out.data() + start, 4 + length)));
}

// Bytes of filtered scanlines that a header announces, or 0 when it cannot be decoded.
uint64_t imageDataSize(const unsigned char* ihdr) {
    uint64_t width = readUint32(ihdr);
    uint64_t height = readUint32(ihdr + 4);
    unsigned depth = ihdr[8];
    unsigned channels = 0;
    switch (ihdr[9]) {
        case 0:
            channels = 1;
            break;
        case 2:
            channels = 3;
            break;
        case 3:
            channels = 1;
            break;
        case 4:
            channels = 2;
            break;
        case 6:
            channels = 4;
            break;
        default:
            return 0;
    }
    if (depth == 0 || depth > 16 || !ZImageCodecLimits::isValidSize(width, height)) return 0;
    uint64_t bits = channels * depth;
    auto rowBytes = [bits](uint64_t w) { return (w * bits + 7) / 8 + 1; };
    if (ihdr[12] == 0) return height * rowBytes(width);
    static const unsigned xStart[7] = {0, 4, 0, 2, 0, 1, 0}, xStep[7] = {8, 8, 4, 4, 2, 2, 1};
    static const unsigned yStart[7] = {0, 0, 4, 0, 2, 0, 1}, yStep[7] = {8, 8, 8, 4, 4, 2, 2};
    uint64_t total = 0;
    for (int pass = 0; pass < 7; pass++) {
        if (width <= xStart[pass] || height <= yStart[pass]) continue;
        uint64_t w = (width - xStart[pass] + xStep[pass] - 1) / xStep[pass];
        uint64_t h = (height - yStart[pass] + yStep[pass] - 1) / yStep[pass];
        total += h * rowBytes(w);
    }
    return total;
}

// Wraps headerless deflate data as a zlib stream. Its Adler-32 needs the inflated bytes, so the
// data is inflated once, no further than the image needs. A stream that does not end there is
// wrapped without a trailer, and the library reports it as it would in a standard file.
std::vector<unsigned char> wrapRawDeflate(const std::vector<unsigned char>& raw,
                                          uint64_t expected) {
    std::vector<unsigned char> out = {0x78, 0x01};
    size_t end = raw.size();
    bool complete = false;
    uLong adler = adler32(0, nullptr, 0);
    z_stream zs;
    memset(&zs, 0, sizeof(zs));
    if (expected > 0 && inflateInit2(&zs, -15) == Z_OK) {
        unsigned char scratch[16384];
        uint64_t produced = 0;
        size_t remaining = raw.size();
        zs.next_in = const_cast<Bytef*>(raw.data());
        int result = Z_OK;
        while (result == Z_OK && produced <= expected) {
            if (zs.avail_in == 0) {
                if (remaining == 0) break;
                size_t piece = remaining < (1u << 30) ? remaining : (1u << 30);
                zs.avail_in = static_cast<uInt>(piece);
                remaining -= piece;
            }
            zs.next_out = scratch;
            zs.avail_out = sizeof(scratch);
            result = inflate(&zs, Z_NO_FLUSH);
            size_t made = sizeof(scratch) - zs.avail_out;
            produced += made;
            adler = adler32(adler, scratch, static_cast<uInt>(made));
        }
        if (result == Z_STREAM_END) {
            complete = true;
            end = zs.total_in;
        }
        inflateEnd(&zs);
    }
    out.insert(out.end(), raw.begin(), raw.begin() + end);
    if (complete) {
        appendUint32(out, static_cast<uint32_t>(adler));
        out.insert(out.end(), raw.begin() + end, raw.end());
    }
    return out;
}

// Drops every CgBI chunk; a CgBI chunk of length 4 before the image data marks the file as CgBI,
// and then the first run of IDAT chunks is re-wrapped with fresh CRCs. Everything else is copied
// as it stands, so the library judges it as usual.
CgbiStream convertCgbi(const unsigned char* data, size_t size) {
    CgbiStream stream;
    if (size < 8 || memcmp(data, kSignature, 8) != 0) return stream;
    std::vector<ChunkRef> chunks;
    bool hasCgbi = false;
    size_t position = 8;
    while (size - position >= 12) {
        uint32_t length = readUint32(data + position);
        if (length > 0x7FFFFFFFu || length > size - position - 12) break;
        uint32_t type = readUint32(data + position + 4);
        chunks.push_back({position, length, type});
        hasCgbi = hasCgbi || type == kChunkCgBI;
        position += 12 + static_cast<size_t>(length);
        if (type == kChunkIEND) break;
    }
    if (!hasCgbi) return stream;

    stream.rewritten = true;
    std::vector<unsigned char>& out = stream.png;
    out.reserve(size + 64);
    out.insert(out.end(), kSignature, kSignature + 8);
    uint64_t expected = 0;
    bool seenIdat = false;
    for (size_t i = 0; i < chunks.size(); i++) {
        const ChunkRef& chunk = chunks[i];
        const unsigned char* start = data + chunk.offset;
        if (chunk.type == kChunkIHDR && chunk.length == 13 && !seenIdat)
            expected = imageDataSize(start + 8);
        if (chunk.type == kChunkCgBI) {
            if (chunk.length != 4) stream.warnings.push_back("Incorrect CgBI chunk length");
            if (!crcMatches(start, chunk.length)) {
                stream.error = "CgBI: CRC error";
                return stream;
            }
            if (chunk.length == 4 && !seenIdat) stream.cgbi = true;
            continue;
        }
        if (chunk.type == kChunkIDAT && stream.cgbi && !seenIdat) {
            seenIdat = true;
            std::vector<unsigned char> raw;
            size_t j = i;
            for (; j < chunks.size() && chunks[j].type == kChunkIDAT; j++) {
                const unsigned char* idat = data + chunks[j].offset;
                if (!crcMatches(idat, chunks[j].length)) {
                    stream.error = "IDAT: CRC error";
                    return stream;
                }
                raw.insert(raw.end(), idat + 8, idat + 8 + chunks[j].length);
            }
            std::vector<unsigned char> wrapped = wrapRawDeflate(raw, expected);
            for (size_t done = 0; done < wrapped.size(); done += kIdatPiece) {
                size_t piece =
                    wrapped.size() - done < kIdatPiece ? wrapped.size() - done : kIdatPiece;
                appendChunk(out, kChunkIDAT, wrapped.data() + done, piece);
            }
            i = j - 1;
            continue;
        }
        if (chunk.type == kChunkIDAT) seenIdat = true;
        out.insert(out.end(), start, start + 12 + chunk.length);
    }
    out.insert(out.end(), data + position, data + size);
    return stream;
}

// Swaps B and R back and undoes the premultiplied alpha of a CgBI picture, in place.
void convertCgbiPixels(uint32_t* pixels, uint64_t count, bool alpha) {
    unsigned char* p = reinterpret_cast<unsigned char*>(pixels);
    for (uint64_t i = 0; i < count; i++, p += 4) {
        unsigned b = p[0], g = p[1], r = p[2], a = p[3];
        if (alpha && a != 0) {
            b = (b * 255 / a) & 0xFF;
            g = (g * 255 / a) & 0xFF;
            r = (r * 255 / a) & 0xFF;
        }
        p[0] = static_cast<unsigned char>(r);
        p[1] = static_cast<unsigned char>(g);
        p[2] = static_cast<unsigned char>(b);
    }
}

// Widens each row of 3-byte pixels, read into the start of its own 4-byte pixel row, in place:
// from the right, each source pixel is taken before its bytes can be overwritten.
void expandRows(uint32_t* pixels, png_uint_32 width, png_uint_32 height) {
    for (png_uint_32 y = 0; y < height; y++) {
        unsigned char* row =
            reinterpret_cast<unsigned char*>(pixels + static_cast<size_t>(y) * width);
        for (png_uint_32 x = width; x-- > 0;) {
            unsigned char r = row[3 * x], g = row[3 * x + 1], b = row[3 * x + 2];
            row[4 * x] = r;
            row[4 * x + 1] = g;
            row[4 * x + 2] = b;
            row[4 * x + 3] = 255;
        }
    }
}

// Everything the library may leave through its recovery point lives in the state, which the
// caller frees; nothing here needs destroying on the way out.
bool readPng(ReadState& s, const CgbiStream& stream) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_set_read_fn(s.png, &s, ZImageHandlerPng::userRead);
    for (const char* warning : stream.warnings) png_warning(s.png, warning);
    if (stream.error) png_error(s.png, stream.error);
    png_read_info(s.png, s.info);

    png_uint_32 width = png_get_image_width(s.png, s.info);
    png_uint_32 height = png_get_image_height(s.png, s.info);
    if (!ZImageCodecLimits::isValidSize(width, height)) {
        ZCore::logMessage("PNG: unsupported image size (%u x %u)", width, height);
        return false;
    }
    int colorType = png_get_color_type(s.png, s.info);
    int bitDepth = png_get_bit_depth(s.png, s.info);
    png_set_strip_16(s.png);
    png_set_packing(s.png);
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(s.png);
    } else {
        if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(s.png);
        if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
            png_set_gray_to_rgb(s.png);
    }
    if (png_get_valid(s.png, s.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(s.png);
    int passes = png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);

    int depth = png_get_bit_depth(s.png, s.info);
    if (depth != 8) {
        ZCore::logMessage("PNG: unsupported bit depth (%d)", depth);
        return false;
    }
    int channels = png_get_channels(s.png, s.info);
    if (channels != 3 && channels != 4) {
        ZCore::logMessage("PNG: unsupported number of channels (%d)", channels);
        return false;
    }
    if (png_get_rowbytes(s.png, s.info) > static_cast<size_t>(width) * 4) {
        ZCore::logMessage("PNG: unsupported row size (%lu)",
                          static_cast<unsigned long>(png_get_rowbytes(s.png, s.info)));
        return false;
    }

    uint64_t count = static_cast<uint64_t>(width) * height;
    s.pixels = new (std::nothrow) uint32_t[count];
    if (!s.pixels) {
        ZCore::logMessage("PNG: not enough memory for %u x %u pixels", width, height);
        return false;
    }
    // Rows are read straight into the pixel rows; 3-byte rows are widened once all passes of
    // an interlaced picture have been combined.
    for (int pass = 0; pass < passes; pass++) {
        for (png_uint_32 y = 0; y < height; y++)
            png_read_row(s.png,
                         reinterpret_cast<png_bytep>(s.pixels + static_cast<size_t>(y) * width),
                         nullptr);
    }
    if (channels == 3) expandRows(s.pixels, width, height);
    if (stream.cgbi) convertCgbiPixels(s.pixels, count, channels == 4);
    png_read_end(s.png, nullptr);

    s.width = width;
    s.height = height;
    s.hasAlpha = channels == 4;
    s.greyscale = colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA;
    return true;
}

bool writePng(WriteState& s, const ZImage* image) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    const png_uint_32 width = static_cast<png_uint_32>(image->getImageWidth());
    const png_uint_32 height = static_cast<png_uint_32>(image->getImageHeight());
    const bool grey = image->isGreyscale();
    const bool alpha = image->hasAlphaChannel();
    const uint32_t* pixels = image->getPixels();

    png_set_write_fn(s.png, &s, ZImageHandlerPng::userWrite, ZImageHandlerPng::userFlush);
    int colorType = alpha ? (grey ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_RGB_ALPHA)
                          : (grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB);
    png_set_IHDR(s.png, s.info, width, height, 8, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(s.png, s.info);
    png_set_packing(s.png);

    // RGBA rows are the pixel rows themselves; the other kinds pick bytes into one row. Grey
    // comes from the G channel.
    for (png_uint_32 y = 0; y < height; y++) {
        const unsigned char* in =
            reinterpret_cast<const unsigned char*>(pixels + static_cast<size_t>(y) * width);
        if (colorType == PNG_COLOR_TYPE_RGB_ALPHA) {
            png_write_row(s.png, in);
            continue;
        }
        unsigned char* out = s.row;
        for (png_uint_32 x = 0; x < width; x++, in += 4) {
            switch (colorType) {
                case PNG_COLOR_TYPE_GRAY_ALPHA:
                    *out++ = in[1];
                    *out++ = in[3];
                    break;
                case PNG_COLOR_TYPE_RGB:
                    *out++ = in[0];
                    *out++ = in[1];
                    *out++ = in[2];
                    break;
                default:
                    *out++ = in[1];
                    break;
            }
        }
        png_write_row(s.png, s.row);
    }
    png_write_end(s.png, nullptr);
    return true;
}

}  // namespace

const char* const* ZImageHandlerPng::getExtensions() {
    return kExtensions;
}

long ZImageHandlerPng::getFormatId() {
    return ZImageFormatPng;
}

void ZImageHandlerPng::userRead(png_structp png, png_bytep data, png_size_t length) {
    ReadState* s = static_cast<ReadState*>(png_get_io_ptr(png));
    // Stopping short would leave the library parsing bytes it never received.
    if (length > s->size - s->position) png_error(png, "unexpected end of data");
    memcpy(data, s->source + s->position, length);
    s->position += length;
}

void ZImageHandlerPng::userWrite(png_structp png, png_bytep data, png_size_t length) {
    WriteState* s = static_cast<WriteState*>(png_get_io_ptr(png));
    if (length > s->capacity - s->position) {
        unsigned long needed = s->position + length;
        if (needed < s->position) png_error(png, "encoded image too large");
        unsigned long capacity = s->capacity * 2 > needed ? s->capacity * 2 : needed;
        unsigned char* grown = new (std::nothrow) unsigned char[capacity];
        if (!grown) png_error(png, "not enough memory for the encoded image");
        memcpy(grown, s->output, s->position);
        delete[] s->output;
        s->output = grown;
        s->capacity = capacity;
    }
    memcpy(s->output + s->position, data, length);
    s->position += length;
}

// Output goes to memory: nothing to flush.
void ZImageHandlerPng::userFlush(png_structp) {}

void ZImageHandlerPng::userHandleError(png_structp png, png_const_charp message) {
    ZCore::logMessage("PNG: library error: %s", message);
    png_longjmp(png, 1);
}

void ZImageHandlerPng::userHandleWarning(png_structp, png_const_charp message) {
    ZCore::logMessage("PNG: library warning: %s", message);
}

bool ZImageHandlerPng::decode(const unsigned char* data, unsigned long size, ZImage* image) {
    if (!image) return false;
    if (!data) size = 0;
    CgbiStream stream = convertCgbi(data, size);

    ReadState s;
    s.png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, userHandleError, userHandleWarning);
    if (!s.png) {
        ZCore::logMessage("PNG: z_png_create_read_struct failed to initialize for decoding");
        return false;
    }
    s.info = png_create_info_struct(s.png);
    if (!s.info) {
        ZCore::logMessage("PNG: z_png_create_info_struct failed to initialize for decoding");
        png_destroy_read_struct(&s.png, nullptr, nullptr);
        return false;
    }
    s.source = stream.rewritten ? stream.png.data() : data;
    s.size = stream.rewritten ? stream.png.size() : size;

    bool ok = readPng(s, stream);
    png_destroy_read_struct(&s.png, &s.info, nullptr);
    if (!ok) {
        delete[] s.pixels;
        return false;
    }
    image->setPixels(s.width, s.height, s.hasAlpha, s.pixels, s.greyscale, true);
    return true;
}

bool ZImageHandlerPng::encode(unsigned char*& data, unsigned long& size, ZImage* image, long) {
    if (!image) return false;
    const long width = image->getImageWidth();
    const long height = image->getImageHeight();
    if (!ZImageCodecLimits::isEncodable(image)) {
        ZCore::logMessage("PNG: unsupported image size (%ld x %ld) for encoding", width, height);
        return false;
    }

    WriteState s;
    s.png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, userHandleError, userHandleWarning);
    if (!s.png) {
        ZCore::logMessage("PNG: z_png_create_write_struct failed to initialize for encoding");
        return false;
    }
    s.info = png_create_info_struct(s.png);
    if (!s.info) {
        ZCore::logMessage("PNG: z_png_create_info_struct failed to initialize for encoding");
        png_destroy_write_struct(&s.png, nullptr);
        return false;
    }
    const unsigned long count =
        static_cast<unsigned long>(width) * static_cast<unsigned long>(height);
    s.capacity = count * 4 / kInitialOutputDivisor + 4096;
    s.output = new (std::nothrow) unsigned char[s.capacity];
    s.row = new (std::nothrow) unsigned char[static_cast<size_t>(width) * 4];
    bool ok = false;
    if (!s.output || !s.row)
        ZCore::logMessage("PNG: not enough memory to encode %ld x %ld pixels", width, height);
    else
        ok = writePng(s, image);
    png_destroy_write_struct(&s.png, &s.info);
    delete[] s.row;
    if (!ok) {
        delete[] s.output;
        return false;
    }
    data = s.output;
    size = s.position;
    return true;
}
