// Loading a generated OBJ of 200,000 triangles (a grid of 250 x 400 quads in four material
// bands, each corner with its texture coordinate) through ZModel, against a plain reader that
// only tokenizes the text and collects the positions and the faces; ours also computes the
// normals, orders the triangles by material and builds the materials from the library. Then the
// model drawn lit in a 3D pass for 300 frames on the real window (under xvfb-run), in
// milliseconds per frame. Prints both load times, the drawing, and last the ratio of the plain
// reader's time to ours (target: at least 0.5).
#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchWindow.h"
#include "RatioReporter.h"
#include "ZCore.h"
#include "ZMatrix.h"
#include "ZModel.h"
#include "ZResource.h"
#include "ZWindowGL.h"

namespace {

const int kRows = 250;
const int kColumns = 400;
const int kFrames = 300;

struct Files {
    std::string folder, objPath;
    std::string obj;
};

Files& files() {
    static Files f;
    if (!f.obj.empty()) return f;
    char pattern[] = "/tmp/bench-model-XXXXXX";
    f.folder = mkdtemp(pattern) ? pattern : "/tmp";
    f.objPath = f.folder + "/grid.obj";
    std::string mtl;
    for (int m = 0; m < 4; m++)
        mtl += "newmtl band" + std::to_string(m) + "\nKd " + std::to_string(0.25 * (m + 1)) +
               " 0.5 0.5\n";
    FILE* library = fopen((f.folder + "/grid.mtl").c_str(), "wb");
    if (library) {
        fwrite(mtl.data(), 1, mtl.size(), library);
        fclose(library);
    }
    std::string& text = f.obj;
    text = "mtllib grid.mtl\n";
    char line[128];
    for (int y = 0; y <= kRows; y++) {
        for (int x = 0; x <= kColumns; x++) {
            snprintf(line, sizeof(line), "v %.4f %.4f %.4f\nvt %.5f %.5f\n", x * 0.01, y * 0.01,
                     0.05 * ((x * 7 + y * 3) % 11), x / double(kColumns), y / double(kRows));
            text += line;
        }
    }
    for (int y = 0; y < kRows; y++) {
        if (y * 4 / kRows != (y - 1) * 4 / kRows || y == 0)
            text += "usemtl band" + std::to_string(y * 4 / kRows) + "\n";
        for (int x = 0; x < kColumns; x++) {
            int a = y * (kColumns + 1) + x + 1, b = a + 1, c = a + kColumns + 1, d = c + 1;
            snprintf(line, sizeof(line), "f %d/%d %d/%d %d/%d\nf %d/%d %d/%d %d/%d\n", a, a, b, b,
                     d, d, a, a, d, d, c, c);
            text += line;
        }
    }
    return f;
}

// The plain reader: positions and faces (vertex numbers only), nothing else.
struct PlainModel {
    std::vector<float> positions;
    std::vector<long> faces;
};

void readPlain(const std::string& data, PlainModel& model) {
    std::string text(data);  // a copy that ends in a zero, for strtof and strtol
    const char* p = text.c_str();
    while (*p) {
        if (p[0] == 'v' && p[1] == ' ') {
            char* end = nullptr;
            const char* q = p + 2;
            for (int i = 0; i < 3; i++) {
                model.positions.push_back(strtof(q, &end));
                q = end;
            }
            p = q;
        } else if (p[0] == 'f' && p[1] == ' ') {
            const char* q = p + 2;
            for (int i = 0; i < 3; i++) {
                char* end = nullptr;
                model.faces.push_back(strtol(q, &end, 10));
                q = end;
                while (*q && *q != ' ' && *q != '\n') q++;
            }
            p = q;
        }
        while (*p && *p != '\n') p++;
        if (*p) p++;
    }
}

void BM_LoadZModel(benchmark::State& state) {
    const Files& f = files();
    for (auto _ : state) {
        ZModel model;
        bool loaded = model.loadModelFromPtr(f.objPath.c_str(),
                                             reinterpret_cast<const unsigned char*>(f.obj.data()),
                                             static_cast<long>(f.obj.size()), 1);
        model.sortTriangles();
        if (!loaded || model.getTriangleCount() != 2L * kRows * kColumns) {
            state.SkipWithError("the model did not load");
            break;
        }
        benchmark::DoNotOptimize(model.getRunCount());
    }
}

void BM_LoadPlainReader(benchmark::State& state) {
    const Files& f = files();
    size_t faces = 0;
    for (auto _ : state) {
        // A new model each time, as a load makes.
        PlainModel model;
        readPlain(f.obj, model);
        benchmark::DoNotOptimize(model.faces.data());
        faces = model.faces.size();
    }
    if (faces != 3u * 2 * kRows * kColumns) state.SkipWithError("wrong face count");
}

BENCHMARK(BM_LoadZModel)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadPlainReader)->Unit(benchmark::kMillisecond)->UseRealTime();

// Draws the model lit for kFrames frames; the mean milliseconds per frame, or a negative value
// when nothing could be drawn.
double drawFrames() {
    const char* display = getenv("DISPLAY");
    if (!display || !*display) {
        printf("drawing: no display (run it under xvfb-run); not measured\n");
        return -1;
    }
    ZWindowGL* window = static_cast<ZWindowGL*>(ZCore::createZWindow(eRendererOpenGL, true, false));
    window->setMaxFrameRate(-1);
    double result = -1;
    if (window->createGameWindow(768, 1024, 32, true, "Model benchmark", 0)) {
        const Files& f = files();
        ZModel model;
        bool loaded = model.loadModelFromPtr(f.objPath.c_str(),
                                             reinterpret_cast<const unsigned char*>(f.obj.data()),
                                             static_cast<long>(f.obj.size()), 0);
        if (loaded) model.loadTextures(f.folder.c_str(), 0);
        ZMatrix projection, view, placement;
        projection.perspective(0.9f, 768.0f / 1024, 0.5f, 50);
        view.camera(ZVector3{2, 1.25f, -4}, ZVector3{2, 1.25f, 0}, ZVector3{0, 1, 0});
        ZWindow3dLight light = {1, {1, 1, 1, 1}, {0, 0, 0}, {0.3f, 0.5f, -1}, 1, 0, 0};
        auto frame = [&](int i) {
            window->setClearColor(0.1f, 0.1f, 0.2f, 1);
            window->setWorldView(0, 0, 0, 1, true);
            window->begin3d(true, true, eZWindow3dCullNone, false);
            window->set3dMatrix(0, &projection);
            window->set3dMatrix(1, &view);
            placement.rotationZ(i * 0.002f);
            window->set3dMatrix(2, &placement);
            window->set3dAmbientLight(0.2f, 0.2f, 0.2f, 1);
            window->set3dLight(0, &light);
            model.blitModel(window, 0);
            window->set3dLight(0, nullptr);
            window->end3d();
            window->flipBackBuffer(false, true);
        };
        if (loaded) {
            for (int i = 0; i < 10; i++) frame(i);
            auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < kFrames; i++) frame(i);
            std::chrono::duration<double, std::milli> spent =
                std::chrono::steady_clock::now() - start;
            result = spent.count() / kFrames;
            char adapter[256];
            window->getAdapterName(adapter, sizeof(adapter));
            printf("drawing: %d frames of %ld triangles in %ld runs on %s: %.2f ms per frame\n",
                   kFrames, model.getTriangleCount(), model.getRunCount(), adapter, result);
        } else {
            printf("drawing: the model did not load; not measured\n");
        }
    } else {
        printf("drawing: no window could be opened; not measured\n");
    }
    closeBenchWindow(window);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    RatioReporter reporter(argc, argv, "2");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // The heap keeps what a load gave back, as in a game that loads model after model: what is
    // measured is the reading, not the system handing out fresh pages again each time.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
    ZResource::initialize();
    const Files& f = files();
    printf("OBJ of %d triangles, %zu bytes\n", 2 * kRows * kColumns, f.obj.size());
    // The factories make the renderer's objects once an OpenGL window was asked for.
    delete ZCore::createZWindow(eRendererOpenGL, false, false);
    ZCore::forgetZWindow();
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    drawFrames();
    std::filesystem::remove_all(f.folder);
    reporter.printRatio("OBJ load plain reader/ZModel", "BM_LoadZModel", "BM_LoadPlainReader");
    return 0;
}
