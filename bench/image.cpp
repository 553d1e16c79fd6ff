// Decoding a 2048 x 2048 picture from memory through ZImage and through the bare libraries
// (libpng's simplified reader, libjpeg-turbo straight into RGBA). Prints each figure and, last,
// the ZImage / library throughput ratio of each format (target: at least 0.95).
#include <benchmark/benchmark.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "RatioReporter.h"
#include "ZCore.h"
#include "ZImage.h"

namespace {

const int kSide = 2048;
const size_t kPictureBytes = static_cast<size_t>(kSide) * kSide * 4;

struct Files {
    std::vector<unsigned char> rgba;
    std::vector<unsigned char> png;
    std::vector<unsigned char> jpeg;
};

// Soft gradients with some fine detail and a varying alpha, like a game's artwork.
std::vector<unsigned char> makePicture() {
    std::vector<unsigned char> rgba(kPictureBytes);
    unsigned state = 12345;
    for (int y = 0; y < kSide; y++) {
        for (int x = 0; x < kSide; x++) {
            state = state * 1103515245u + 12345u;
            unsigned noise = (state >> 16) & 7;
            unsigned char* p = &rgba[(static_cast<size_t>(y) * kSide + x) * 4];
            p[0] = static_cast<unsigned char>((x / 8 + noise) & 0xFF);
            p[1] = static_cast<unsigned char>((y / 8 + noise) & 0xFF);
            p[2] = static_cast<unsigned char>(128 + 100 * std::sin((x + y) / 97.0));
            p[3] = static_cast<unsigned char>(x < kSide / 2 ? 255 : (x ^ y) & 0xFF);
        }
    }
    return rgba;
}

std::vector<unsigned char> writePng(const std::vector<unsigned char>& rgba) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kSide;
    image.height = kSide;
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
    std::vector<unsigned char> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr)) {
        fprintf(stderr, "PNG fixture: %s\n", image.message);
        exit(1);
    }
    out.resize(size);
    return out;
}

std::vector<unsigned char> writeJpeg(const std::vector<unsigned char>& rgba) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = kSide;
    cinfo.image_height = kSide;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_RGBX;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 94, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(&rgba[static_cast<size_t>(cinfo.next_scanline) * kSide * 4]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<unsigned char> out(buffer, buffer + size);
    free(buffer);
    return out;
}

const Files& files() {
    static const Files made = [] {
        Files f;
        f.rgba = makePicture();
        f.png = writePng(f.rgba);
        f.jpeg = writeJpeg(f.rgba);
        return f;
    }();
    return made;
}

void decodeWithZImage(benchmark::State& state, long format,
                      const std::vector<unsigned char>& file) {
    for (auto _ : state) {
        ZImage image;
        if (!image.decodeImage(format, file.data(), file.size()))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(image.getPixels());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPictureBytes));
}

void BM_PngZImage(benchmark::State& state) {
    decodeWithZImage(state, ZImageFormatPng, files().png);
}

void BM_PngLibrary(benchmark::State& state) {
    const std::vector<unsigned char>& file = files().png;
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_memory(&image, file.data(), file.size());
        image.format = PNG_FORMAT_RGBA;
        std::unique_ptr<unsigned char[]> pixels(new unsigned char[PNG_IMAGE_SIZE(image)]);
        if (!png_image_finish_read(&image, nullptr, pixels.get(), 0, nullptr))
            state.SkipWithError(image.message);
        benchmark::DoNotOptimize(pixels.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPictureBytes));
}

void BM_JpegZImage(benchmark::State& state) {
    decodeWithZImage(state, ZImageFormatJpg, files().jpeg);
}

void BM_JpegLibrary(benchmark::State& state) {
    const std::vector<unsigned char>& file = files().jpeg;
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr error;
        cinfo.err = jpeg_std_error(&error);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, file.data(), file.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_RGBA;
        jpeg_start_decompress(&cinfo);
        size_t stride = static_cast<size_t>(cinfo.output_width) * 4;
        std::unique_ptr<unsigned char[]> pixels(new unsigned char[stride * cinfo.output_height]);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = pixels.get() + cinfo.output_scanline * stride;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPictureBytes));
}

}  // namespace

BENCHMARK(BM_PngZImage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PngLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegZImage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    RatioReporter reporter(argc, argv, "2");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const Files& f = files();
    printf("picture %d x %d, PNG %zu bytes, JPEG %zu bytes\n", kSide, kSide, f.png.size(),
           f.jpeg.size());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (const char* format : {"Png", "Jpeg"}) {
        std::string name = std::string("BM_") + format;
        reporter.printRatio(std::string(format) + " ZImage/library", name + "ZImage",
                            name + "Library");
    }
    return 0;
}
