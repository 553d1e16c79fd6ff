// Decoding 20 seconds of 640 x 480 Theora at 30 fps as fast as it goes: through ZVideo (its
// decode thread decodes and converts each frame to RGBA, the main thread takes each frame as
// soon as it is due on a clock that jumps to it) and through libtheora's decoder alone (packets
// in, planes out, at the same post-processing level). Prints frames per second of both and, last,
// the ratio ours / library (target: at least 0.9). The video is made here with the test tree's
// writer on libtheora's encoder.
#include <benchmark/benchmark.h>
#include <ogg/ogg.h>
#include <theora/theora.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "RatioReporter.h"
#include "VideoFileSupport.h"
#include "ZVideo.h"

namespace {

const int kWidth = 640;
const int kHeight = 480;
const int kFps = 30;
const long kFrames = 20L * kFps;

// Hills of light drifting across the picture with a fine texture and slowly turning colours:
// every frame changes everywhere, as filmed content does.
void paint(long index, const VideoFile::Planes& p) {
    double t = static_cast<double>(index) / kFps;
    for (int y = 0; y < p.height; y++) {
        for (int x = 0; x < p.width; x++) {
            double hills = std::sin((x + 40 * t) * 0.031) * std::cos((y - 25 * t) * 0.027);
            int texture = ((x * 37) ^ (y * 91) ^ static_cast<int>(index * 3)) & 15;
            int value = 120 + static_cast<int>(80 * hills) + texture;
            p.y[y * p.width + x] = static_cast<unsigned char>(value < 16    ? 16
                                                              : value > 235 ? 235
                                                                            : value);
        }
    }
    for (int y = 0; y < p.chromaHeight; y++) {
        for (int x = 0; x < p.chromaWidth; x++) {
            double a = std::sin(x * 0.05 + t * 0.7), b = std::cos(y * 0.04 - t * 0.5);
            p.u[y * p.chromaWidth + x] = static_cast<unsigned char>(128 + 60 * a);
            p.v[y * p.chromaWidth + x] = static_cast<unsigned char>(128 + 60 * b);
        }
    }
}

const std::string& video() {
    static const std::string data = [] {
        VideoFile::Layout layout;
        layout.width = kWidth;
        layout.height = kHeight;
        layout.fpsNumerator = kFps;
        layout.frames = kFrames;
        layout.keyframeInterval = 64;
        layout.quality = 40;
        layout.painter = paint;
        return VideoFile::make(layout);
    }();
    return data;
}

struct BenchClock {
    int64_t now = 0;
    static int64_t read(void* user) { return static_cast<BenchClock*>(user)->now; }
};

void BM_ZVideo(benchmark::State& state) {
    const std::string& data = video();
    for (auto _ : state) {
        ZVideo player;
        BenchClock clock;
        player.setClockSource(BenchClock::read, &clock);
        if (!player.openVideoFromPointer(reinterpret_cast<const unsigned char*>(data.data()),
                                         data.size(), 0, nullptr, nullptr, false, false)) {
            state.SkipWithError("open failed");
            return;
        }
        long shown = 0;
        while (!player.isEndReached()) {
            player.readFrame();
            if (player.isVideoAvailable() && static_cast<long>(player.getFrame()) + 1 > shown) {
                shown = static_cast<long>(player.getFrame()) + 1;
                // The next frame is due at once (a millisecond into it, clear of rounding).
                clock.now = shown * 1000 / kFps + 1;
            }
        }
        if (shown != kFrames || player.getDroppedFrames() != 0) {
            state.SkipWithError("frames missing");
            return;
        }
        benchmark::DoNotOptimize(player.getShownPixels());
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(kFrames),
                                               benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Library(benchmark::State& state) {
    const std::string& data = video();
    for (auto _ : state) {
        ogg_sync_state sync;
        ogg_sync_init(&sync);
        char* buffer = ogg_sync_buffer(&sync, static_cast<long>(data.size()));
        memcpy(buffer, data.data(), data.size());
        ogg_sync_wrote(&sync, static_cast<long>(data.size()));
        theora_info info;
        theora_comment comment;
        theora_info_init(&info);
        theora_comment_init(&comment);
        theora_state decoder;
        ogg_stream_state stream;
        bool streamReady = false, decoding = false;
        int headers = 0;
        long frames = 0;
        ogg_page page;
        ogg_packet packet;
        while (ogg_sync_pageout(&sync, &page) > 0) {
            if (!streamReady) {
                ogg_stream_init(&stream, ogg_page_serialno(&page));
                streamReady = true;
            }
            if (ogg_stream_pagein(&stream, &page) != 0) continue;
            while (ogg_stream_packetout(&stream, &packet) > 0) {
                if (headers < 3) {
                    if (theora_decode_header(&info, &comment, &packet) == 0) headers++;
                    if (headers == 3) {
                        theora_decode_init(&decoder, &info);
                        int level = 0;
                        theora_control(&decoder, TH_DECCTL_GET_PPLEVEL_MAX, &level, sizeof(level));
                        theora_control(&decoder, TH_DECCTL_SET_PPLEVEL, &level, sizeof(level));
                        decoding = true;
                    }
                    continue;
                }
                if (packet.granulepos >= 0)
                    theora_control(&decoder, TH_DECCTL_SET_GRANPOS, &packet.granulepos,
                                   sizeof(packet.granulepos));
                if (theora_decode_packetin(&decoder, &packet) != 0) continue;
                yuv_buffer yuv;
                theora_decode_YUVout(&decoder, &yuv);
                benchmark::DoNotOptimize(yuv.y);
                frames++;
            }
        }
        if (decoding) theora_clear(&decoder);
        if (streamReady) ogg_stream_clear(&stream);
        theora_comment_clear(&comment);
        theora_info_clear(&info);
        ogg_sync_clear(&sync);
        if (frames != kFrames) {
            state.SkipWithError("frames missing");
            return;
        }
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(kFrames),
                                               benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(BM_ZVideo)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Library)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    RatioReporter reporter(argc, argv, "3");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    printf("%ld frames of %dx%d at %d fps: %zu bytes of Theora\n", kFrames, kWidth, kHeight, kFps,
           video().size());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    double ours = reporter.seconds("BM_ZVideo"), library = reporter.seconds("BM_Library");
    if (ours > 0) printf("ZVideo: %.1f frames per second\n", kFrames / ours);
    if (library > 0) printf("libtheora: %.1f frames per second\n", kFrames / library);
    reporter.printRatio("ZVideo/libtheora", "BM_ZVideo", "BM_Library");
    return 0;
}
