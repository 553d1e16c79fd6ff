// Decoding a minute of stereo sound from memory: Ogg Vorbis through ZSound's reader and through
// vorbisfile alone, MP3 through the background music's decoder and through libmpg123 alone.
// Prints each figure and, last, the lower of the two library / own throughput ratios (target: at
// least 0.95). The sound is made here, with the sound tests' encoders.
#include <benchmark/benchmark.h>
#include <mpg123.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "RatioReporter.h"
#include "SoundTestSupport.h"
#include "ZBackgroundMusic.h"
#include "ZMp3Decoder.h"
#include "ZSound.h"
#include "ZSoundGrowableArray.h"

namespace {

const int kRate = 44100;
const int kSeconds = 60;
const size_t kFrames = static_cast<size_t>(kRate) * kSeconds;

// Two voices a fifth apart with a slow tremolo and some noise, like music more than a test tone.
std::vector<int16_t> makeMusic() {
    std::vector<int16_t> samples(kFrames * 2);
    unsigned state = 99;
    for (size_t i = 0; i < kFrames; i++) {
        double t = static_cast<double>(i) / kRate;
        double tremolo = 0.6 + 0.4 * std::sin(2 * M_PI * 0.5 * t);
        state = state * 1103515245u + 12345u;
        double noise = ((state >> 16) & 0xFF) / 255.0 - 0.5;
        double left = std::sin(2 * M_PI * 220 * t) + 0.5 * std::sin(2 * M_PI * 330 * t);
        double right = std::sin(2 * M_PI * 277 * t) + 0.5 * std::sin(2 * M_PI * 415 * t);
        samples[2 * i] = static_cast<int16_t>(32767 * (0.3 * tremolo * left + 0.02 * noise));
        samples[2 * i + 1] = static_cast<int16_t>(32767 * (0.3 * tremolo * right + 0.02 * noise));
    }
    return samples;
}

struct Files {
    std::string ogg;
    std::string mp3;
};

const Files& files() {
    static Files made = [] {
        std::vector<int16_t> music = makeMusic();
        return Files{SoundTest::oggFile(music, 2, kRate, 0.4f),
                     SoundTest::mp3File(music, 2, kRate)};
    }();
    return made;
}

const unsigned char* bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

void BM_OggZSound(benchmark::State& state) {
    const std::string& file = files().ogg;
    for (auto _ : state) {
        ZSoundGrowableArray pcm;
        long format = 0, rate = 0;
        if (!ZSound::decodeOgg(bytes(file), file.size(), format, rate, pcm))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(pcm.data);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrames * 4));
}

// vorbisfile alone: its own memory reader, into a buffer sized from the stream's length.
struct Memory {
    const std::string* file;
    size_t position;
};

size_t memoryRead(void* out, size_t size, size_t count, void* source) {
    Memory* m = static_cast<Memory*>(source);
    size_t n = std::min(size * count, m->file->size() - m->position);
    memcpy(out, m->file->data() + m->position, n);
    m->position += n;
    return n;
}

int memorySeek(void* source, ogg_int64_t offset, int whence) {
    Memory* m = static_cast<Memory*>(source);
    ogg_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->position : m->file->size();
    ogg_int64_t target = std::max<ogg_int64_t>(
        0, std::min<ogg_int64_t>(base + offset, static_cast<ogg_int64_t>(m->file->size())));
    m->position = static_cast<size_t>(target);
    return 0;
}

long memoryTell(void* source) {
    return static_cast<long>(static_cast<Memory*>(source)->position);
}

void BM_OggLibrary(benchmark::State& state) {
    const std::string& file = files().ogg;
    ov_callbacks callbacks = {memoryRead, memorySeek, nullptr, memoryTell};
    for (auto _ : state) {
        Memory memory{&file, 0};
        OggVorbis_File vf;
        if (ov_open_callbacks(&memory, &vf, nullptr, 0, callbacks) != 0) {
            state.SkipWithError("open failed");
            break;
        }
        std::vector<char> pcm(static_cast<size_t>(ov_pcm_total(&vf, -1)) * 4);
        size_t at = 0;
        int bitstream = 0;
        while (at < pcm.size()) {
            long n = ov_read(&vf, pcm.data() + at,
                             static_cast<int>(std::min<size_t>(32768, pcm.size() - at)), 0, 2, 1,
                             &bitstream);
            if (n <= 0) break;
            at += static_cast<size_t>(n);
        }
        ov_clear(&vf);
        benchmark::DoNotOptimize(pcm.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrames * 4));
}

// The music path reads its packets of one OpenAL buffer each.
void BM_Mp3Music(benchmark::State& state) {
    const std::string& file = files().mp3;
    std::vector<unsigned char> packet(ZBackgroundMusic::kBufferBytes);
    for (auto _ : state) {
        ZMp3Decoder decoder;
        if (!decoder.open(bytes(file), file.size())) {
            state.SkipWithError("open failed");
            break;
        }
        while (decoder.read(packet.data(), static_cast<unsigned long>(packet.size())) > 0)
            benchmark::DoNotOptimize(packet.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrames * 4));
}

void BM_Mp3Library(benchmark::State& state) {
    const std::string& file = files().mp3;
    std::vector<unsigned char> packet(ZBackgroundMusic::kBufferBytes);
    mpg123_init();
    for (auto _ : state) {
        mpg123_handle* handle = mpg123_new(nullptr, nullptr);
        mpg123_open_feed(handle);
        mpg123_feed(handle, bytes(file), file.size());
        size_t done = 0;
        for (;;) {
            int result = mpg123_read(handle, packet.data(), packet.size(), &done);
            benchmark::DoNotOptimize(packet.data());
            if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
        }
        mpg123_delete(handle);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrames * 4));
}

}  // namespace

BENCHMARK(BM_OggZSound)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OggLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Mp3Music)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Mp3Library)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    RatioReporter reporter(argc, argv, "2");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const Files& f = files();
    printf("%d s of 44.1 kHz stereo: Ogg Vorbis %zu bytes, MP3 %zu bytes\n", kSeconds, f.ogg.size(),
           f.mp3.size());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    reporter.printRatio("Ogg Vorbis ZSound/vorbisfile", "BM_OggZSound", "BM_OggLibrary");
    reporter.printRatio("MP3 music/libmpg123", "BM_Mp3Music", "BM_Mp3Library");
    double ogg = reporter.seconds("BM_OggZSound"), oggLibrary = reporter.seconds("BM_OggLibrary");
    double mp3 = reporter.seconds("BM_Mp3Music"), mp3Library = reporter.seconds("BM_Mp3Library");
    if (ogg > 0 && oggLibrary > 0 && mp3 > 0 && mp3Library > 0)
        printf("lower throughput ratio: %.3fx\n", std::min(oggLibrary / ogg, mp3Library / mp3));
    else
        printf("lower throughput ratio: not measured\n");
    return 0;
}
