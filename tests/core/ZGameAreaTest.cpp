#include "ZGameArea.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <sstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ZCore.h"

namespace {

struct Size {
    long width, height;
    bool operator==(const Size& other) const {
        return width == other.width && height == other.height;
    }
};

std::ostream& operator<<(std::ostream& out, const Size& size) {
    return out << size.width << "x" << size.height;
}

struct WideScreenCase {
    const char* name;
    Size desktop;
    Size game;  // also the requested size
    long state;
    bool fixed;
    Size windowed;  // the actual windowed size; 0 x 0 when none is set
    // Expected.
    Size out;  // the requested size afterwards
    Size actual;
    Size offset;
    bool scaled, widescreen;
    std::vector<std::string> log;
};

const char kWide1920[] = "OpenGL: desktop dimensions are 1920x1080: widescreen";
const char kCorrected810[] =
    "OpenGL: enabling 4:3 aspect correction, actual game window resized to 810x1080";
const char kCorrected[] = "OpenGL: enabling 4:3 aspect correction, actual game window resized to ";

const std::vector<WideScreenCase>& wideScreenCases() {
    // clang-format off
    static const std::vector<WideScreenCase> cases = {
        // name
        //  desktop       game         state fixed  windowed    out           actual        offset    scaled wide
        {"portrait game on a 16:9 display mode",
         {1920, 1080}, {768, 1024}, 1, true,  {0, 0},     {1920, 1080}, {810, 1080},  {555, 0}, true,  true,
         {kWide1920, kCorrected810}},
        {"full-screen window ignores the windowed size",
         {1920, 1080}, {768, 1024}, 2, true,  {384, 512}, {1920, 1080}, {810, 1080},  {555, 0}, true,  true,
         {kWide1920, kCorrected810}},
        {"desktop aspect 2.0 is not widescreen",
         {2048, 1024}, {768, 1024}, 1, true,  {0, 0},     {768, 1024},  {768, 1024},  {0, 0},   false, false,
         {"OpenGL: desktop dimensions are 2048x1024: 4:3 screen"}},
        {"desktop aspect just below 2.0 is widescreen",
         {2046, 1024}, {768, 1024}, 1, true,  {0, 0},     {2046, 1024}, {768, 1024},  {639, 0}, true,  true,
         {"OpenGL: desktop dimensions are 2046x1024: widescreen", kCorrected + std::string("768x1024")}},
        {"equal aspect scales without bars",
         {2048, 1536}, {1024, 768}, 2, true,  {0, 0},     {2048, 1536}, {2048, 1536}, {0, 0},   true,  true,
         {"OpenGL: desktop dimensions are 2048x1536: widescreen", kCorrected + std::string("2048x1536")}},
        {"less than 0.01 narrower is left alone",
         {1020, 768},  {1024, 768}, 1, true,  {0, 0},     {1024, 768},  {1024, 768},  {0, 0},   false, false,
         {"OpenGL: desktop dimensions are 1020x768: 4:3 screen"}},
        {"more than 0.01 narrower gets bars above and below",
         {1010, 768},  {1024, 768}, 1, true,  {0, 0},     {1010, 768},  {1010, 757},  {0, 5},   true,  false,
         {"OpenGL: desktop dimensions are 1010x768: narrow", kCorrected + std::string("1010x757")}},
        {"portrait game on a portrait desktop",
         {1080, 1920}, {768, 1024}, 2, true,  {0, 0},     {1080, 1920}, {1080, 1440}, {0, 240}, true,  false,
         {"OpenGL: desktop dimensions are 1080x1920: narrow", kCorrected + std::string("1080x1440")}},
        {"desktop aspect 0.5 or below is left alone",
         {540, 1080},  {768, 1024}, 1, true,  {0, 0},     {768, 1024},  {768, 1024},  {0, 0},   false, false,
         {"OpenGL: desktop dimensions are 540x1080: 4:3 screen"}},
        {"windowed with an actual size",
         {1920, 1080}, {768, 1024}, 0, true,  {384, 512}, {384, 512},   {384, 512},   {0, 0},   true,  true,
         {"OpenGL: actual game window: 384 x 512"}},
        {"windowed without an actual size",
         {1920, 1080}, {768, 1024}, 0, true,  {0, 0},     {768, 1024},  {768, 1024},  {0, 0},   false, true,
         {}},
        {"full-screen window without fixed aspect stretches",
         {1920, 1080}, {768, 1024}, 2, false, {0, 0},     {768, 1024},  {1920, 1080}, {0, 0},   false, true,
         {"OpenGL: actual game window: 1920 x 1080"}},
        {"display mode without fixed aspect keeps the game size",
         {1920, 1080}, {768, 1024}, 1, false, {0, 0},     {768, 1024},  {768, 1024},  {0, 0},   false, true,
         {"OpenGL: actual game window: 768 x 1024"}},
    };
    // clang-format on
    return cases;
}

Size run(ZGameArea& area, const WideScreenCase& c) {
    area.reset(c.game.width, c.game.height);
    Size request = c.game;
    bool windowedSet = c.windowed.width > 0;
    area.checkWideScreen(c.desktop.width, c.desktop.height, request.width, request.height, c.state,
                         c.fixed, windowedSet, c.windowed.width, c.windowed.height);
    return request;
}

TEST(ZGameAreaTest, CheckWideScreenFitsTheGameToTheDesktop) {
    for (const WideScreenCase& c : wideScreenCases()) {
        ZGameArea area;
        EXPECT_EQ(run(area, c), c.out) << c.name;
        EXPECT_EQ((Size{area.getActualWidth(), area.getActualHeight()}), c.actual) << c.name;
        EXPECT_EQ((Size{area.getXOffset(), area.getYOffset()}), c.offset) << c.name;
        EXPECT_EQ(area.isScaled(), c.scaled) << c.name;
        EXPECT_EQ(area.isWidescreen(), c.widescreen) << c.name;
        EXPECT_EQ((Size{area.getGameWidth(), area.getGameHeight()}), c.game) << c.name;
    }
}

// Toggling back to windowed recomputes the area from a full-screen one: no bar or scaling of
// the letterboxed picture may survive.
TEST(ZGameAreaTest, RecomputingForWindowedDropsTheLetterbox) {
    ZGameArea area;
    area.reset(768, 1024);
    long width = 768, height = 1024;
    area.checkWideScreen(1920, 1080, width, height, 1, true, false, 0, 0);
    ASSERT_EQ(area.getXOffset(), 555);

    width = 768;
    height = 1024;
    area.checkWideScreen(1920, 1080, width, height, 0, true, false, 0, 0);
    EXPECT_EQ(area.getActualWidth(), 768);
    EXPECT_EQ(area.getActualHeight(), 1024);
    EXPECT_EQ(area.getXOffset(), 0);
    EXPECT_EQ(area.getYOffset(), 0);
    EXPECT_FALSE(area.isScaled());
    EXPECT_EQ(width, 768);
    EXPECT_EQ(height, 1024);
}

TEST(ZGameAreaTest, EmptySizesLeaveTheGameSizeAlone) {
    const long sizes[][4] = {{0, 0, 768, 1024}, {1920, 1080, 0, 1024}, {1920, 1080, 768, 0}};
    for (const auto& size : sizes) {
        ZGameArea area;
        area.reset(size[2], size[3]);
        long width = size[2], height = size[3];
        area.checkWideScreen(size[0], size[1], width, height, 1, true, false, 0, 0);
        EXPECT_EQ(width, size[2]);
        EXPECT_EQ(height, size[3]);
        EXPECT_EQ(area.getActualWidth(), size[2]);
        EXPECT_EQ(area.getActualHeight(), size[3]);
        EXPECT_FALSE(area.isScaled());
        EXPECT_FALSE(area.isWidescreen());
    }
}

TEST(ZGameAreaTest, WindowedModeFitsWithItsTitleBar) {
    struct Case {
        long width, height, desktopWidth, desktopHeight, titleBar;
        bool fits;
    };
    const Case cases[] = {
        {768, 1024, 1920, 1080, 28, true},   // 1052 high
        {768, 1024, 1920, 1051, 28, false},  // the title bar pushes it over
        {768, 1024, 1920, 1052, 28, true},   // exactly fits
        {768, 1024, 1920, 1024, 0, true},    //
        {1920, 600, 1920, 1080, 28, true},   // exactly as wide
        {1921, 600, 1920, 1080, 28, false},  // too wide
        {768, 1024, 1366, 768, 28, false},   // too tall in any case
        {0, 600, 1920, 1080, 28, false},     // no window to make
        {800, -1, 1920, 1080, 28, false},    //
    };
    for (const Case& c : cases)
        EXPECT_EQ(
            ZGameArea::fitsWindowed(c.desktopWidth, c.desktopHeight, c.width, c.height, c.titleBar),
            c.fits)
            << c.width << "x" << c.height << " on " << c.desktopWidth << "x" << c.desktopHeight;
}

// The log is process-wide: the cases run in a child process, one marker line before each, and
// the parent reads back what each case wrote.
class ZGameAreaLogDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
    TempDir dir{"BRAMBLE_TEST_DEATH_DIR"};
};

TEST_F(ZGameAreaLogDeathTest, EachCaseLogsItsLinesWordForWord) {
    std::string path = dir.file("log.txt");
    const std::vector<WideScreenCase>& cases = wideScreenCases();
    EXPECT_EXIT(
        {
            ZCore::enableLog(path.c_str(), "G", "V", false);
            for (size_t i = 0; i < cases.size(); i++) {
                ZCore::logMessage("Test: case %zu", i);
                ZGameArea area;
                run(area, cases[i]);
            }
            ZCore::logMessage("Test: end");
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "");

    std::vector<std::vector<std::string>> logged;
    std::stringstream in(readFile(path));
    bool inCase = false;
    for (std::string line; std::getline(in, line);) {
        std::string message = line.size() > 10 ? line.substr(10) : "";
        if (message.rfind("Test: case ", 0) == 0) {
            logged.emplace_back();
            inCase = true;
        } else if (message == "Test: end") {
            inCase = false;
        } else if (inCase) {
            logged.back().push_back(message);
        }
    }
    ASSERT_EQ(logged.size(), cases.size());
    for (size_t i = 0; i < cases.size(); i++) EXPECT_EQ(logged[i], cases[i].log) << cases[i].name;
}

}  // namespace
