#include "ZImageHandlerJpg.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "ZCore.h"
#include "ZImage.h"
#include "ZImageCodecLimits.h"

namespace {

const char* const kExtensions[] = {"jpg", nullptr};

// The library's source manager, then the whole file and the marker supplied at its end.
struct jpeg_memory_source {
    jpeg_source_mgr pub;
    const JOCTET* buffer;
    uint32_t size;
    JOCTET endOfImage[2];
    bool ranOut;
};

struct jpeg_memory_destination {
    jpeg_destination_mgr pub;
    JOCTET* buffer;
    uint32_t size;
};

// The library's error manager followed by the point my_error_exit returns to.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    jmp_buf recovery;
};

struct DecodeState {
    jpeg_decompress_struct cinfo;
    JpegErrorManager error;
    uint32_t* pixels;
    JSAMPLE* row;
    JDIMENSION width;
    JDIMENSION height;
    int components;
};

struct EncodeState {
    jpeg_compress_struct cinfo;
    JpegErrorManager error;
    unsigned char* output;
    unsigned long capacity;
    JSAMPLE* row;
};

void my_error_exit(j_common_ptr cinfo) {
    JpegErrorManager* error = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    (*cinfo->err->output_message)(cinfo);
    longjmp(error->recovery, 1);
}

void init_source(j_decompress_ptr cinfo) {
    jpeg_memory_source* src = reinterpret_cast<jpeg_memory_source*>(cinfo->src);
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = src->size;
    src->ranOut = false;
}

// The whole file was in the buffer: running out means it ended early. A fake end-of-image
// marker, held here so that the caller's buffer is never written, lets the library finish. The
// library may come back many times (a skip over a long segment asks once per two bytes): only
// the first time is reported, so a damaged file cannot flood standard error.
boolean fill_input_buffer(j_decompress_ptr cinfo) {
    jpeg_memory_source* src = reinterpret_cast<jpeg_memory_source*>(cinfo->src);
    if (!src->ranOut) {
        src->ranOut = true;
        fputs("jmem_src: fill_input_buffer: should not be called.\n", stderr);
        WARNMS(cinfo, JWRN_JPEG_EOF);
    }
    src->endOfImage[0] = 0xFF;
    src->endOfImage[1] = JPEG_EOI;
    src->pub.next_input_byte = src->endOfImage;
    src->pub.bytes_in_buffer = 2;
    return TRUE;
}

void skip_input_data(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = cinfo->src;
    while (count > static_cast<long>(src->bytes_in_buffer)) {
        count -= static_cast<long>(src->bytes_in_buffer);
        fill_input_buffer(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
}

void term_source(j_decompress_ptr) {}

void jpeg_memory_src(j_decompress_ptr cinfo, const JOCTET* buffer, uint32_t size) {
    if (!cinfo->src)
        cinfo->src = static_cast<jpeg_source_mgr*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(jpeg_memory_source)));
    jpeg_memory_source* src = reinterpret_cast<jpeg_memory_source*>(cinfo->src);
    src->pub.init_source = init_source;
    src->pub.fill_input_buffer = fill_input_buffer;
    src->pub.skip_input_data = skip_input_data;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = term_source;
    src->pub.next_input_byte = nullptr;
    src->pub.bytes_in_buffer = 0;
    src->buffer = buffer;
    src->size = size;
    src->ranOut = false;
}

void init_destination(j_compress_ptr cinfo) {
    jpeg_memory_destination* dest = reinterpret_cast<jpeg_memory_destination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = dest->size;
}

boolean empty_output_buffer(j_compress_ptr cinfo) {
    fputs("jmem_dest: empty_output_buffer: buffer should not ever be full\n", stderr);
    ERREXIT(cinfo, JERR_BUFFER_SIZE);
    return TRUE;
}

void term_destination(j_compress_ptr) {}

// The caller has allocated the buffer.
void jpeg_memory_dest(j_compress_ptr cinfo, JOCTET* buffer, uint32_t size) {
    if (!cinfo->dest)
        cinfo->dest = static_cast<jpeg_destination_mgr*>(
            (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT,
                                       sizeof(jpeg_memory_destination)));
    jpeg_memory_destination* dest = reinterpret_cast<jpeg_memory_destination*>(cinfo->dest);
    dest->pub.init_destination = init_destination;
    dest->pub.empty_output_buffer = empty_output_buffer;
    dest->pub.term_destination = term_destination;
    dest->buffer = buffer;
    dest->size = size;
}

// In place, C, M, Y, K into R, G, B and an opaque A. The samples are inverted, as Adobe writes
// them and the library hands them over (255 is no ink), so each colour is its sample scaled by
// the black sample.
void cmykToRgb(unsigned char* row, JDIMENSION width) {
    for (JDIMENSION x = 0; x < width; x++, row += 4) {
        unsigned k = row[3];
        for (int i = 0; i < 3; i++) row[i] = static_cast<unsigned char>((row[i] * k + 127) / 255);
        row[3] = 255;
    }
}

// Everything the library may leave through the recovery point lives in the state, which the
// caller frees; nothing here needs destroying on the way out.
bool readJpeg(DecodeState& s, const unsigned char* data, uint32_t size) {
    s.cinfo.err = jpeg_std_error(&s.error.pub);
    s.error.pub.error_exit = my_error_exit;
    if (setjmp(s.error.recovery)) return false;
    jpeg_create_decompress(&s.cinfo);
    jpeg_memory_src(&s.cinfo, data, size);
    jpeg_read_header(&s.cinfo, TRUE);
    if (static_cast<uint64_t>(s.cinfo.image_width) * s.cinfo.image_height >
        ZImageCodecLimits::kMaxPixels) {
        ZCore::logMessage("Jpeg: unsupported image size (%u x %u)", s.cinfo.image_width,
                          s.cinfo.image_height);
        return false;
    }
    // The library then writes R, G, B and an opaque A straight into the 32-bit pixels.
    if (s.cinfo.out_color_space == JCS_RGB || s.cinfo.out_color_space == JCS_EXT_RGB)
        s.cinfo.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&s.cinfo);

    const int components = s.cinfo.output_components;
    // CMYK and YCCK files come out as CMYK, which the library does not turn into RGB itself.
    const bool cmyk = s.cinfo.out_color_space == JCS_CMYK && components == 4;
    if (components != 1 && components != 3 && components != 4) {
        ZCore::logMessage("Jpeg: unsupported number of color components (%d)", components);
        return false;
    }
    const JDIMENSION width = s.cinfo.output_width;
    const JDIMENSION height = s.cinfo.output_height;
    s.pixels = new (std::nothrow) uint32_t[static_cast<size_t>(width) * height];
    if (components != 4)
        s.row = new (std::nothrow) JSAMPLE[static_cast<size_t>(width) * components];
    if (!s.pixels || (components != 4 && !s.row)) {
        ZCore::logMessage("Jpeg: not enough memory for %u x %u pixels", width, height);
        return false;
    }
    while (s.cinfo.output_scanline < height) {
        uint32_t* line = s.pixels + static_cast<size_t>(s.cinfo.output_scanline) * width;
        JSAMPROW target = components == 4 ? reinterpret_cast<JSAMPROW>(line) : s.row;
        if (jpeg_read_scanlines(&s.cinfo, &target, 1) != 1) return false;
        unsigned char* out = reinterpret_cast<unsigned char*>(line);
        if (cmyk) {
            cmykToRgb(out, width);
            continue;
        }
        if (components == 4) continue;
        const JSAMPLE* in = s.row;
        for (JDIMENSION x = 0; x < width; x++, out += 4) {
            if (components == 1) {
                out[0] = out[1] = out[2] = *in++;
            } else {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
                in += 3;
            }
            out[3] = 255;
        }
    }
    jpeg_finish_decompress(&s.cinfo);
    s.width = width;
    s.height = height;
    s.components = components;
    return true;
}

bool writeJpeg(EncodeState& s, const ZImage* image, long quality) {
    s.cinfo.err = jpeg_std_error(&s.error.pub);
    s.error.pub.error_exit = my_error_exit;
    if (setjmp(s.error.recovery)) return false;
    const JDIMENSION width = static_cast<JDIMENSION>(image->getImageWidth());
    const JDIMENSION height = static_cast<JDIMENSION>(image->getImageHeight());
    const int components = image->isGreyscale() ? 1 : 3;
    const uint32_t* pixels = image->getPixels();

    jpeg_create_compress(&s.cinfo);
    s.capacity = static_cast<unsigned long>(width) * height * components * 2 + 4096;
    s.output = new (std::nothrow) unsigned char[s.capacity];
    s.row = new (std::nothrow) JSAMPLE[static_cast<size_t>(width) * components];
    if (!s.output || !s.row) {
        ZCore::logMessage("Jpeg: not enough memory to encode %u x %u pixels", width, height);
        return false;
    }
    jpeg_memory_dest(&s.cinfo, s.output, static_cast<uint32_t>(s.capacity));

    s.cinfo.image_width = width;
    s.cinfo.image_height = height;
    s.cinfo.input_components = components;
    s.cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&s.cinfo);
    int q = quality < 0 ? 0 : quality > 100 ? 100 : static_cast<int>(quality);
    jpeg_set_quality(&s.cinfo, q, TRUE);
    jpeg_start_compress(&s.cinfo, TRUE);

    while (s.cinfo.next_scanline < height) {
        const unsigned char* in = reinterpret_cast<const unsigned char*>(
            pixels + static_cast<size_t>(s.cinfo.next_scanline) * width);
        JSAMPLE* out = s.row;
        for (JDIMENSION x = 0; x < width; x++, in += 4) {
            if (components == 1) {
                *out++ = in[1];
            } else {
                *out++ = in[0];
                *out++ = in[1];
                *out++ = in[2];
            }
        }
        JSAMPROW row = s.row;
        jpeg_write_scanlines(&s.cinfo, &row, 1);
    }
    jpeg_finish_compress(&s.cinfo);
    return true;
}

}  // namespace

const char* const* ZImageHandlerJpg::getExtensions() {
    return kExtensions;
}

long ZImageHandlerJpg::getFormatId() {
    return ZImageFormatJpg;
}

bool ZImageHandlerJpg::decode(const unsigned char* data, unsigned long size, ZImage* image) {
    if (!image) return false;
    if (!data) size = 0;
    // The source manager counts in 32 bits.
    if (size > UINT32_MAX) {
        ZCore::logMessage("Jpeg: file too large (%lu bytes)", size);
        return false;
    }
    DecodeState s;
    memset(&s, 0, sizeof(s));
    bool ok = readJpeg(s, data, static_cast<uint32_t>(size));
    jpeg_destroy_decompress(&s.cinfo);
    delete[] s.row;
    if (!ok) {
        delete[] s.pixels;
        return false;
    }
    image->setPixels(s.width, s.height, false, s.pixels, s.components == 1, true);
    return true;
}

bool ZImageHandlerJpg::encode(unsigned char*& data, unsigned long& size, ZImage* image,
                              long quality) {
    if (!image) return false;
    const long width = image->getImageWidth();
    const long height = image->getImageHeight();
    if (!ZImageCodecLimits::isEncodable(image)) {
        ZCore::logMessage("Jpeg: unsupported image size (%ld x %ld) for encoding", width, height);
        return false;
    }
    EncodeState s;
    memset(&s, 0, sizeof(s));
    bool ok = writeJpeg(s, image, quality);
    unsigned long written = ok ? s.capacity - s.cinfo.dest->free_in_buffer : 0;
    jpeg_destroy_compress(&s.cinfo);
    delete[] s.row;
    if (!ok) {
        delete[] s.output;
        return false;
    }
    data = s.output;
    size = written;
    return true;
}
