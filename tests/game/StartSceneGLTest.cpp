#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "GLTestWindow.h"
#include "TempDir.h"

namespace {

const char* const kTitle = "The Bramble Way";

int ignoreXErrors(Display*, XErrorEvent*) {
    return 0;  // the game's windows may vanish between listing and reading them
}

// The game's window on the display, found by its title.
Window findWindow(Display* display, Window window) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        bool match = strcmp(name, kTitle) == 0;
        XFree(name);
        if (match) return window;
    }
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; i++) found = findWindow(display, children[i]);
    if (children) XFree(children);
    return found;
}

struct Sample {
    const char* what;
    float x, y;         // in the design's 768 x 1024
    unsigned long rgb;  // expected colour
};

// The game scene's start screen: places the play screen does not move when it lays the scene
// out for the window, and that no copy it makes covers for long: the sky in the top right
// corner, the coin icon of the HUD and the HUD's plate beside it.
const Sample kSamples[] = {
    {"sky, top right", 762, 6, 0x88C0D9},
    {"HUD coin", 36, 51, 0xFFD650},
    {"HUD plate", 282, 50, 0x3A7EB6},
};

bool near(unsigned long a, unsigned long b, long tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        long ca = static_cast<long>((a >> shift) & 0xff),
             cb = static_cast<long>((b >> shift) & 0xff);
        if (std::labs(ca - cb) > tolerance) return false;
    }
    return true;
}

// The game's area of the window, as a picture.
GLPicture gameArea(XImage* image, int x, int y, int width, int height) {
    GLPicture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(static_cast<size_t>(width) * height);
    for (int row = 0; row < height; row++)
        for (int column = 0; column < width; column++) {
            unsigned long pixel = XGetPixel(image, x + column, y + row);
            picture.pixels[static_cast<size_t>(row) * width + column] =
                rgba((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
        }
    return picture;
}

// Reads the samples off the window, the design size fitted into it; true when all match, and
// then the game's area is in shot.
bool samplesMatch(Display* display, Window window, std::string& report, GLPicture& shot) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return false;
    float scale = std::min(attributes.width / 768.0f, attributes.height / 1024.0f);
    float ox = (attributes.width - 768 * scale) / 2, oy = (attributes.height - 1024 * scale) / 2;
    XImage* image =
        XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image) return false;
    bool all = true;
    report.clear();
    for (const Sample& s : kSamples) {
        unsigned long pixel = XGetPixel(image, static_cast<int>(ox + s.x * scale),
                                        static_cast<int>(oy + s.y * scale)) &
                              0xFFFFFF;
        char line[120];
        snprintf(line, sizeof(line), "%s: %06lx (expected %06lx)\n", s.what, pixel, s.rgb);
        report += line;
        all = all && near(pixel, s.rgb, 12);
    }
    if (all)
        shot = gameArea(image, static_cast<int>(ox), static_cast<int>(oy),
                        static_cast<int>(768 * scale), static_cast<int>(1024 * scale));
    XDestroyImage(image);
    return all;
}

// bramble-way from the build folder, with the data.pak the build packed beside it, shows its
// start scene and ends by itself after a number of frames with status 0. What it showed is kept
// beside the test log as <suite>.<test>_screenshot.png (the README's picture of the game). The
// deadline leaves room for a build under ThreadSanitizer on a busy machine.
TEST(StartSceneGLTest, TheGameShowsItsStartSceneAndEndsCleanly) {
    TempDir home{"BRAMBLE_TEST_START_SCENE_DIR"};
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "no display";
    auto previousHandler = XSetErrorHandler(ignoreXErrors);

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("XDG_DATA_HOME", home.path().c_str(), 1);
        setenv("BRAMBLE_QUIT_AFTER_FRAMES", "300", 1);
        execl(BRAMBLE_GAME_EXECUTABLE, BRAMBLE_GAME_EXECUTABLE, static_cast<char*>(nullptr));
        _exit(127);
    }

    bool shown = false;
    std::string report = "no window";
    GLPicture shot;
    int status = 0;
    bool ended = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(180);
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        if (waitpid(child, &status, WNOHANG) == child) {
            ended = true;
            break;
        }
        if (!shown) {
            Window window = findWindow(display, DefaultRootWindow(display));
            if (window) shown = samplesMatch(display, window, report, shot);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!ended) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    XCloseDisplay(display);
    XSetErrorHandler(previousHandler);

    EXPECT_TRUE(shown) << report;
    if (shown) savePictureForTest(shot, "screenshot");
    ASSERT_TRUE(ended) << "still running after 180 s";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "status " << status << "\n"
        << readFile(home.path() + "/Orvalle/TheBrambleWay/log.txt");
}

}  // namespace
