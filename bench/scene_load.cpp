// A generated scene of 500 sprites over 8 atlas pictures of 1024 x 1024 (and a background), loaded,
// uploaded and inserted 20 times on the real window. Each time is split into the loader thread's
// part (from the load's start until its pictures are decoded, while frames keep running) and the
// main thread's part (upload, insertion and the first frame that shows the scene). Prints the
// median of each and, last, the ratio of the main thread's share to the whole (target: at most
// 0.35). Run it on a display, e.g. under xvfb-run.
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchWindow.h"
#include "CPlayer.h"
#include "ZImage.h"
#include "ZManagedGraphicList.h"
#include "ZMiscTools.h"
#include "ZResource.h"
#include "ZSysThread.h"
#include "ZUIElement.h"
#include "ZWindowGL.h"

namespace {

const int kWidth = 768;
const int kHeight = 1024;
const long kSprites = 500;
const long kAtlases = 8;
const long kAtlasSize = 1024;
const long kRuns = 20;

typedef std::chrono::steady_clock Clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The player on the benchmark's window, without the game's start.
class BenchPlayer : public CPlayer {
public:
    explicit BenchPlayer(ZWindow* window) {
        m_window = window;
        setBaseIndex(ZUIElement::getRootElement()->getChildrenCount());
        char folder[260];
        m_graphics->setPrefix(
            ZMiscTools::makeFilePathInBuffer("data/graphics", folder, sizeof(folder)));
    }
    ~BenchPlayer() override {
        unloadGame();
        m_window = nullptr;
    }
    void abortOnFile(const char* path) override {
        printf("bench_scene_load: file %s missing\n", path);
        failed = true;
    }
    bool failed = false;
};

// A picture whose pixels vary, so that its encoding is of a usual size.
std::string picture(long size, uint32_t seed, long format) {
    uint32_t* pixels = new uint32_t[static_cast<size_t>(size * size)];
    for (long y = 0; y < size; y++)
        for (long x = 0; x < size; x++)
            pixels[y * size + x] = 0xFF000000u | ((x * 7 + seed) & 0xff) |
                                   (((y * 5 + seed * 3) & 0xff) << 8) |
                                   ((((x ^ y) + seed) & 0xff) << 16);
    ZImage image;
    image.setPixels(size, size, false, pixels, false, true);
    unsigned char* data = nullptr;
    unsigned long bytes = 0;
    std::string out;
    if (image.encodeImage(format, data, bytes, 90))
        out.assign(reinterpret_cast<char*>(data), bytes);
    delete[] data;
    return out;
}

std::string sceneText() {
    std::string text = "[scene]\nwidth=768\nheight=1024\nbrushes=benchbrushes\n";
    text +=
        "[sprite1]\nbrush=1\nid=1\nname=back\nkey1rectx2=768\nkey1recty2=1024\n"
        "key1color=FFFFFFFF\natlas1srcx2=1024\natlas1srcy2=1024\n";
    char section[400];
    for (long i = 1; i < kSprites; i++) {
        long atlas = 1 + i % kAtlases;
        long x = (i * 64) % kAtlasSize, y = ((i * 64) / kAtlasSize * 64) % kAtlasSize;
        snprintf(section, sizeof(section),
                 "[sprite%ld]\nbrush=2\nid=%lx\nname=s%ld\nkey1anchorx=%ld\nkey1anchory=%ld\n"
                 "key1color=FFFFFFFF\natlas1index=%ld\natlas1srcx1=%ld\natlas1srcy1=%ld\n"
                 "atlas1srcx2=%ld\natlas1srcy2=%ld\n",
                 i + 1, i + 1, i, (i * 37) % kWidth, (i * 53) % kHeight, atlas, x, y, x + 64,
                 y + 64);
        text += section;
    }
    return text;
}

bool writeArchive(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> files = {
        {"data/scenes/bench.ini", sceneText()},
        {"data/brushes/benchbrushes.ini",
         "[brush1]\nid=1\nmode=stretched\ntexsrcx2=1024\ntexsrcy2=1024\nstretchx1=0\n"
         "stretchy1=0\nstretchx2=1024\nstretchy2=1024\n"
         "[brush2]\nid=2\ntexsrcx2=64\ntexsrcy2=64\ntexpivotx=32\ntexpivoty=32\n"},
        {"data/graphics/scene_bench_background.jpg", picture(kAtlasSize, 99, ZImageFormatJpg)},
    };
    for (long i = 1; i <= kAtlases; i++)
        files.push_back({"data/graphics/scene_bench_atlas" + std::to_string(i) + ".bmp",
                         picture(kAtlasSize, static_cast<uint32_t>(i * 11), ZImageFormatBmp)});
    zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip) return false;
    bool ok = true;
    for (const auto& [name, bytes] : files) {
        zip_fileinfo info;
        memset(&info, 0, sizeof(info));
        ok =
            ok && !bytes.empty() &&
            zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, 0, 0) ==
                ZIP_OK &&
            zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size())) == ZIP_OK &&
            zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t m = values.size() / 2;
    return values.size() % 2 ? values[m] : (values[m - 1] + values[m]) / 2;
}

}  // namespace

int main() {
    const char* program = "bench_scene_load";
    if (!hasBenchDisplay(program)) return 0;
    ZMiscTools::initMiscTools();
    std::string archive = std::string(ZMiscTools::getGameFolder()) + "/bench-scene-load-" +
                          std::to_string(getpid()) + ".pak";
    if (!writeArchive(archive)) {
        printf("%s: the scene's archive could not be written; nothing measured\n", program);
        return 0;
    }
    ZResource::addArchive(archive.c_str(), 0, nullptr);
    ZWindowGL* window = openBenchWindow(program, "bench_scene_load", kWidth, kHeight);
    if (!window) {
        unlink(archive.c_str());
        return 0;
    }
    ZUIElement::initialize(window);
    std::vector<double> decode, main, whole;
    {
        BenchPlayer player(window);
        for (long run = 0; run < kRuns && !player.failed; run++) {
            Clock::time_point start = Clock::now();
            CScene* scene = player.loadScene("bench");
            // Frames go on while the loader decodes.
            while (scene && scene->status.load() < 2 && !scene->loadError[0] &&
                   scene->loaderThread && !scene->loaderThread->hasCompleted()) {
                player.blit();
                window->flipBackBuffer(false, true);
            }
            double decoded = msSince(start);
            Clock::time_point mainStart = Clock::now();
            player.uploadScene(scene);
            player.insertScene(scene, 0, false);
            player.blit();
            window->flipBackBuffer(false, true);
            double mainPart = msSince(mainStart);
            decode.push_back(decoded);
            main.push_back(mainPart);
            whole.push_back(decoded + mainPart);
            player.stopScene(scene);
            player.freeScene(scene);
            delete scene;
        }
    }
    ZUIElement::cleanup();
    delete window;
    ZCore::forgetZWindow();
    unlink(archive.c_str());
    if (decode.empty()) return 0;

    double d = median(decode), m = median(main), w = median(whole);
    printf("scene of %ld sprites over %ld atlases of %ldx%ld, %ld runs\n", kSprites, kAtlases,
           kAtlasSize, kAtlasSize, static_cast<long>(decode.size()));
    printf("decode on the loader thread (median): %.1f ms\n", d);
    printf("upload, insertion and first frame on the main thread (median): %.1f ms\n", m);
    printf("time to the first frame that shows it (median): %.1f ms\n", w);
    printf("main thread share of the whole: %.3fx (target <= 0.35x)\n", w > 0 ? m / w : 0.0);
    return 0;
}
