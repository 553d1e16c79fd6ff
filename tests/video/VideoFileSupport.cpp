#include "VideoFileSupport.h"

#include <ogg/ogg.h>
#include <theora/theoraenc.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "../sound/SoundTestSupport.h"

namespace VideoFile {

namespace {

struct TimedPage {
    double time;
    int order;
    std::string bytes;
};

std::string pageBytes(const ogg_page& page) {
    std::string out(reinterpret_cast<const char*>(page.header), page.header_len);
    out.append(reinterpret_cast<const char*>(page.body), page.body_len);
    return out;
}

unsigned char clampByte(double value) {
    long v = std::lround(value);
    return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
}

void paintSolid(const Layout& layout, long index, const Planes& p) {
    uint32_t rgb = colourOf(layout, index);
    unsigned char iy, iu, iv, oy, ou, ov;
    rgbToYuv(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF, iy, iu, iv);
    rgbToYuv(255, 0, 255, oy, ou, ov);
    auto inside = [&](int x, int y) {
        return x >= p.pictureX && x < p.pictureX + p.pictureWidth && y >= p.pictureY &&
               y < p.pictureY + p.pictureHeight;
    };
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++) p.y[y * p.width + x] = inside(x, y) ? iy : oy;
    // A chroma sample that covers any pixel of the picture takes the picture's colour.
    int sx = p.width / p.chromaWidth, sy = p.height / p.chromaHeight;
    for (int cy = 0; cy < p.chromaHeight; cy++) {
        for (int cx = 0; cx < p.chromaWidth; cx++) {
            bool covered = false;
            for (int dy = 0; dy < sy; dy++)
                for (int dx = 0; dx < sx; dx++)
                    covered = covered || inside(cx * sx + dx, cy * sy + dy);
            p.u[cy * p.chromaWidth + cx] = covered ? iu : ou;
            p.v[cy * p.chromaWidth + cx] = covered ? iv : ov;
        }
    }
}

void paintStillTexture(const Layout& layout, long index, const Planes& p) {
    uint32_t rgb = colourOf(layout, index);
    unsigned char by, bu, bv;
    rgbToYuv(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF, by, bu, bv);
    auto inBlock = [&](int x, int y) {
        return x >= p.pictureX && x < p.pictureX + 8 && y >= p.pictureY && y < p.pictureY + 8;
    };
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++)
            p.y[y * p.width + x] =
                inBlock(x, y) ? by : static_cast<unsigned char>(16 + ((x * 7 + y * 13) & 0x7F));
    int sx = p.width / p.chromaWidth, sy = p.height / p.chromaHeight;
    for (int y = 0; y < p.chromaHeight; y++) {
        for (int x = 0; x < p.chromaWidth; x++) {
            bool block = inBlock(x * sx, y * sy);
            p.u[y * p.chromaWidth + x] = block ? bu : 128;
            p.v[y * p.chromaWidth + x] = block ? bv : 128;
        }
    }
}

// The Vorbis track's pages, timed by their granule positions; its header pages go to first (the
// stream's first page) and headers.
void encodeSound(const Layout& layout, double seconds, std::vector<std::string>& first,
                 std::vector<std::string>& headers, std::vector<TimedPage>& pages) {
    std::vector<int16_t> samples =
        SoundTest::sine(layout.toneHz, layout.rate, seconds, 16384, layout.channels);
    bool firstSeen = false;
    SoundTest::oggPages(
        samples, layout.channels, layout.rate, layout.soundQuality, 2,
        [&](const std::string& page, int64_t granule, bool header) {
            if (!header) {
                pages.push_back({static_cast<double>(granule) / layout.rate, 1, page});
            } else if (!firstSeen) {
                first.push_back(page);
                firstSeen = true;
            } else {
                headers.push_back(page);
            }
        });
}

// The Theora stream's pages, one per frame, timed by the frame's end time.
void encodePicture(const Layout& layout, std::vector<std::string>& first,
                   std::vector<std::string>& headers, std::vector<TimedPage>& pages) {
    th_info info;
    th_info_init(&info);
    info.frame_width = static_cast<ogg_uint32_t>((layout.offsetX + layout.width + 15) & ~15);
    info.frame_height = static_cast<ogg_uint32_t>((layout.offsetY + layout.height + 15) & ~15);
    info.pic_width = static_cast<ogg_uint32_t>(layout.width);
    info.pic_height = static_cast<ogg_uint32_t>(layout.height);
    info.pic_x = static_cast<ogg_uint32_t>(layout.offsetX);
    info.pic_y = static_cast<ogg_uint32_t>(layout.offsetY);
    info.colorspace = TH_CS_UNSPECIFIED;
    info.pixel_fmt = static_cast<th_pixel_fmt>(layout.pixelFormat);
    info.target_bitrate = 0;
    info.quality = layout.quality;
    info.keyframe_granule_shift = 6;
    info.fps_numerator = static_cast<ogg_uint32_t>(layout.fpsNumerator);
    info.fps_denominator = static_cast<ogg_uint32_t>(layout.fpsDenominator);
    info.aspect_numerator = 1;
    info.aspect_denominator = 1;
    th_enc_ctx* encoder = th_encode_alloc(&info);
    if (!encoder) return;
    int interval = layout.keyframeInterval;
    th_encode_ctl(encoder, TH_ENCCTL_SET_KEYFRAME_FREQUENCY_FORCE, &interval, sizeof(interval));

    ogg_stream_state stream;
    ogg_stream_init(&stream, 1);
    th_comment comment;
    th_comment_init(&comment);
    ogg_packet packet;
    ogg_page page;
    bool firstPacket = true;
    while (th_encode_flushheader(encoder, &comment, &packet) > 0) {
        ogg_stream_packetin(&stream, &packet);
        if (firstPacket) {
            while (ogg_stream_flush(&stream, &page)) first.push_back(pageBytes(page));
            firstPacket = false;
        }
    }
    while (ogg_stream_flush(&stream, &page)) headers.push_back(pageBytes(page));

    int chromaWidth =
        static_cast<int>(info.frame_width) / (layout.pixelFormat == TH_PF_444 ? 1 : 2);
    int chromaHeight =
        static_cast<int>(info.frame_height) / (layout.pixelFormat == TH_PF_420 ? 2 : 1);
    std::vector<unsigned char> y(info.frame_width * info.frame_height);
    std::vector<unsigned char> u(static_cast<size_t>(chromaWidth * chromaHeight));
    std::vector<unsigned char> v(u.size());
    Planes planes = {static_cast<int>(info.frame_width),
                     static_cast<int>(info.frame_height),
                     chromaWidth,
                     chromaHeight,
                     layout.offsetX,
                     layout.offsetY,
                     layout.width,
                     layout.height,
                     y.data(),
                     u.data(),
                     v.data()};
    th_ycbcr_buffer buffer;
    buffer[0] = {static_cast<int>(info.frame_width), static_cast<int>(info.frame_height),
                 static_cast<int>(info.frame_width), y.data()};
    buffer[1] = {chromaWidth, chromaHeight, chromaWidth, u.data()};
    buffer[2] = {chromaWidth, chromaHeight, chromaWidth, v.data()};
    for (long i = 0; i < layout.frames; i++) {
        if (layout.painter)
            layout.painter(i, planes);
        else if (layout.stillTexture)
            paintStillTexture(layout, i, planes);
        else
            paintSolid(layout, i, planes);
        th_encode_ycbcr_in(encoder, buffer);
        while (th_encode_packetout(encoder, i + 1 == layout.frames, &packet) > 0) {
            ogg_stream_packetin(&stream, &packet);
            while (ogg_stream_flush(&stream, &page))
                pages.push_back(
                    {th_granule_time(encoder, ogg_page_granulepos(&page)), 0, pageBytes(page)});
        }
    }
    ogg_stream_clear(&stream);
    th_comment_clear(&comment);
    th_encode_free(encoder);
    th_info_clear(&info);
}

}  // namespace

void rgbToYuv(unsigned r, unsigned g, unsigned b, unsigned char& y, unsigned char& u,
              unsigned char& v) {
    double rn = r / 255.0, gn = g / 255.0, bn = b / 255.0;
    double luma = 0.299 * rn + 0.587 * gn + 0.114 * bn;
    y = clampByte(16 + 219 * luma);
    u = clampByte(128 + 224 * (bn - luma) / 1.772);
    v = clampByte(128 + 224 * (rn - luma) / 1.402);
}

uint32_t colourOf(const Layout& layout, long index) {
    if (layout.colours.empty()) return 0;
    return layout.colours[static_cast<size_t>(index) % layout.colours.size()];
}

std::string make(const Layout& layout) {
    std::vector<std::string> first, headers;
    std::vector<TimedPage> pages;
    if (layout.frames > 0) encodePicture(layout, first, headers, pages);
    if (layout.channels > 0) {
        double seconds = layout.soundSeconds >= 0 ? layout.soundSeconds
                                                  : static_cast<double>(layout.frames) *
                                                        layout.fpsDenominator / layout.fpsNumerator;
        encodeSound(layout, seconds, first, headers, pages);
    }
    // Stable: pages of one stream keep their order, and at equal times the picture goes first.
    std::stable_sort(pages.begin(), pages.end(), [](const TimedPage& a, const TimedPage& b) {
        return a.time < b.time || (a.time == b.time && a.order < b.order);
    });
    std::string out;
    for (const std::string& page : first) out += page;
    for (const std::string& page : headers) out += page;
    for (const TimedPage& page : pages) out += page.bytes;
    return out;
}

}  // namespace VideoFile
