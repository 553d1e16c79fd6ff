#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SDL.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "FakeWindow.h"
#include "TempDir.h"
#include "ZCore.h"
#include "ZMiscTools.h"

namespace {

std::string executableFolder() {
    char exe[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    if (length <= 0) return std::string();
    std::string path(exe, static_cast<size_t>(length));
    return path.substr(0, path.rfind('/'));
}

// Runs body in a forked child that logs into a file of its own, and returns the file's text. The
// child exits with body's result, so checks that need the log can also report through it. Empty
// when the process had already opened its log (enableLog opens only once).
std::string logOf(const std::function<int()>& body, int* exitCode) {
    TempDir dir;
    const std::string path = dir.file("log.txt");
    pid_t child = fork();
    if (child == 0) {
        ZCore::enableLog(path.c_str(), "test", "1.0", false);
        int result = body();
        ZCore::disableLog();
        _exit(result);
    }
    int status = 0;
    waitpid(child, &status, 0);
    *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return readFile(path);
}

// Where the box and open hooks write down their calls: the window's own record when there is a
// window, so that one list shows the order of both.
std::vector<std::string> g_noWindowCalls;
std::vector<std::string>* g_journal = &g_noWindowCalls;
long g_hookAnswer = 0;

long recordingBox(const char* title, const char* message, const char* button1,
                  const char* button2) {
    g_journal->push_back(std::string("box ") + title + "|" + message + "|" +
                         (button1 ? button1 : "-") + "|" + (button2 ? button2 : "-"));
    return g_hookAnswer;
}

void recordingOpen(const char* url) {
    g_journal->push_back(std::string("open ") + url);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Paths

// Not installed (no share/test_platform beside the build's bin), the resources lie beside the
// executable; the installed case is run by the unpacked-package test.
TEST(ZMiscToolsPaths, GameFolderIsTheExecutablesFolderWhenNotInstalled) {
    const std::string folder = executableFolder();
    EXPECT_EQ(folder, ZMiscTools::getGameFolder());
    for (bool inBundle : {true, true, false}) {
        ZMiscTools::setFileSource(inBundle);
        EXPECT_EQ(folder, ZMiscTools::getGameFolder()) << "inBundle " << inBundle;
    }
}

TEST(ZMiscToolsPaths, MakeFilePathJoinsDataPathsToTheGameFolder) {
    const std::string game = ZMiscTools::getGameFolder();
    struct Case {
        const char* path;
        std::string expected;
    } cases[] = {
        {"data/scenes/a.ini", game + "/data/scenes/a.ini"},
        {":data\\scenes\\a.ini", game + "/data/scenes/a.ini"},
        {"\\data/scenes/a.ini", game + "/data/scenes/a.ini"},
        {"a:b", game + "/a/b"},
        {"", game + "/"},
        {"::x", game + "//x"},  // only one leading separator is dropped
        {"/abs/file", "/abs/file"},
        {":/tmp/x", "/tmp/x"},
        {"\\/tmp\\x", "/tmp/x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, ZMiscTools::makeFilePath(c.path)) << "path '" << c.path << "'";
        char buffer[260];
        EXPECT_EQ(buffer, ZMiscTools::makeFilePathInBuffer(c.path, buffer, sizeof(buffer)));
        EXPECT_EQ(c.expected, buffer) << "path '" << c.path << "'";
    }
}

TEST(ZMiscToolsPaths, MakeFilePathCutsLongResults) {
    const std::string longName(400, 'n');
    EXPECT_EQ(259u, strlen(ZMiscTools::makeFilePath(("/" + longName).c_str())));
    EXPECT_EQ(258u, strlen(ZMiscTools::makeFilePath(longName.c_str())));
}

TEST(ZMiscToolsPaths, MakeFilePathInBufferNeverWritesPastItsSize) {
    const std::string game = ZMiscTools::getGameFolder();
    const std::string joined = game + "/rel";
    struct Case {
        const char* path;
        unsigned long size;
        std::string expected;
    } cases[] = {
        {"/abcdef", 4, "/ab"},
        {"/abcdef", 1, ""},
        {"/abcdef", 8, "/abcdef"},
        {"rel", 1, ""},
        {"rel", 2, ""},
        {"rel", 6, joined.substr(0, 4)},
        {"rel", joined.size() + 2, joined},
        {"rel", joined.size() + 1, joined.substr(0, joined.size() - 1)},
    };
    for (const Case& c : cases) {
        std::vector<char> buffer(c.size + 16, '#');
        ZMiscTools::makeFilePathInBuffer(c.path, buffer.data(), c.size);
        EXPECT_EQ(c.expected, buffer.data()) << c.path << " in " << c.size;
        for (size_t i = c.size; i < buffer.size(); i++)
            ASSERT_EQ('#', buffer[i]) << c.path << " in " << c.size << " wrote byte " << i;
    }
}

// ---------------------------------------------------------------------------------------------
// User folders

class ZMiscToolsFolders : public ::testing::Test {
protected:
    void SetUp() override {
        m_home = saved("HOME");
        m_data = saved("XDG_DATA_HOME");
        tester = root.path() + "/home/tester";
    }
    void TearDown() override {
        restore("HOME", m_home);
        restore("XDG_DATA_HOME", m_data);
    }

    static void set(const char* name, const char* value) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }

    // The preferences folder is made when missing, so every home lies in a scratch folder.
    TempDir root;
    std::string tester;

private:
    static std::optional<std::string> saved(const char* name) {
        const char* value = getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }
    static void restore(const char* name, const std::optional<std::string>& value) {
        set(name, value ? value->c_str() : nullptr);
    }

    std::optional<std::string> m_home;
    std::optional<std::string> m_data;
};

TEST_F(ZMiscToolsFolders, PreferencesFolderFollowsAnAbsoluteXdgDataHome) {
    const std::string xdg = root.path() + "/srv/xdg data";
    struct Case {
        const char* data;
        std::string expected;
    } cases[] = {
        {nullptr, tester + "/.local/share"},
        {xdg.c_str(), xdg},
        {"relative/xdg", tester + "/.local/share"},
        {"", tester + "/.local/share"},
    };
    set("HOME", tester.c_str());
    for (const Case& c : cases) {
        set("XDG_DATA_HOME", c.data);
        EXPECT_EQ(c.expected, ZMiscTools::getPreferencesFolder())
            << "XDG_DATA_HOME " << (c.data ? c.data : "unset");
        struct stat info;
        EXPECT_TRUE(stat(c.expected.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            << "a missing preferences folder is made: " << c.expected;
    }
}

TEST_F(ZMiscToolsFolders, UserFolderFallsBackToThePasswordEntry) {
    struct passwd* entry = getpwuid(getuid());
    ASSERT_NE(nullptr, entry);
    const std::string passwdHome = entry->pw_dir;
    for (const char* home : {static_cast<const char*>(nullptr), ""}) {
        set("HOME", home);
        set("XDG_DATA_HOME", nullptr);
        EXPECT_EQ(passwdHome, ZMiscTools::getUserFolder());
    }
}

TEST_F(ZMiscToolsFolders, LongFoldersAreCutTo259Characters) {
    const std::string home = "/" + std::string(300, 'h');
    set("HOME", home.c_str());
    set("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(home.substr(0, 259), ZMiscTools::getUserFolder());
    EXPECT_EQ(home.substr(0, 259), ZMiscTools::getPreferencesFolder());
    set("XDG_DATA_HOME", home.c_str());
    EXPECT_EQ(home.substr(0, 259), ZMiscTools::getPreferencesFolder());
}

TEST_F(ZMiscToolsFolders, ResultsShareOneBufferThatEachCallOverwrites) {
    set("HOME", tester.c_str());
    set("XDG_DATA_HOME", nullptr);

    char* path = ZMiscTools::makeFilePath("data/a.ini");
    char* home = ZMiscTools::getUserFolder();
    EXPECT_EQ(path, home);
    EXPECT_EQ(tester, path);

    EXPECT_EQ(path, ZMiscTools::getPreferencesFolder());
    EXPECT_EQ(tester + "/.local/share", path);

    char* name = ZMiscTools::getUserName();
    EXPECT_EQ(path, name);
    EXPECT_STRNE("", name);
    EXPECT_EQ(nullptr, strchr(name, ',')) << "only the full name of the gecos field";
}

// ---------------------------------------------------------------------------------------------
// System text and the start-up log

TEST(ZMiscToolsSystem, OSVersionNamesKernelReleaseAndMachine) {
    struct utsname name;
    ASSERT_EQ(0, uname(&name));
    const std::string expected =
        std::string(name.sysname) + " " + name.release + " (" + name.machine + ")";
    EXPECT_EQ(expected.substr(0, 255), ZMiscTools::getOSVersion());
}

TEST(ZMiscToolsSystem, StartUpLogsOnceAndCleanUpIsLogged) {
    int exitCode = -1;
    const std::string log = logOf(
        [] {
            ZMiscTools::initMiscTools();  // already done before main: must not log again
            ZMiscTools::cleanup();
            return 0;
        },
        &exitCode);
    if (log.find("Start log: test 1.0") == std::string::npos)
        GTEST_SKIP() << "the log of this process was already open";
    EXPECT_EQ(0, exitCode);

    const size_t running =
        log.find(std::string("System: running on ") + ZMiscTools::getOSVersion() + "\n");
    // The engine and this test can be compiled on either side of midnight: the date's shape
    // ("Mmm dd yyyy hh:mm:ss") is what is checked, not this file's own date.
    const size_t built = log.find("System: engine build date: ");
    if (built != std::string::npos) {
        const std::string stamp = log.substr(built + 27, log.find('\n', built) - built - 27);
        EXPECT_EQ(stamp.size(), std::string(__DATE__ " " __TIME__).size()) << stamp;
    }
    const size_t initialized = log.find("System: initialized\n");
    const size_t cleaned = log.find("System: cleaned up\n");
    ASSERT_NE(std::string::npos, running) << log;
    ASSERT_NE(std::string::npos, built) << log;
    ASSERT_NE(std::string::npos, initialized) << log;
    ASSERT_NE(std::string::npos, cleaned) << log;
    EXPECT_LT(running, built);
    EXPECT_LT(built, initialized);
    EXPECT_LT(initialized, cleaned);
    EXPECT_EQ(std::string::npos, log.find("System: initialized\n", initialized + 1)) << log;
}

// ---------------------------------------------------------------------------------------------
// Files and folders

class ZMiscToolsFiles : public ::testing::Test {
protected:
    std::string at(const std::string& name) const { return m_dir.file(name); }
    bool isFolder(const std::string& name) const {
        struct stat info;
        return lstat(at(name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }
    bool exists(const std::string& name) const {
        struct stat info;
        return lstat(at(name).c_str(), &info) == 0;
    }

    TempDir m_dir;
    const std::string& m_root = m_dir.path();
};

TEST_F(ZMiscToolsFiles, CreateDirectoryAcceptsAnythingAlreadyThere) {
    writeFile(at("file"), "x");
    ASSERT_EQ(0, mkdir(at("folder").c_str(), 0755));
    struct Case {
        const char* name;
        bool result;
        bool folderAfter;
    } cases[] = {
        {"new", true, true},
        {"folder", true, true},
        {"file", true, false},
        {"missing/child", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, ZMiscTools::createDirectory(at(c.name).c_str())) << c.name;
        EXPECT_EQ(c.folderAfter, isFolder(c.name)) << c.name;
    }
    EXPECT_EQ("x", readFile(at("file")));
    EXPECT_FALSE(ZMiscTools::createDirectory(nullptr));
}

TEST_F(ZMiscToolsFiles, RenameFileMovesButNeverReplaces) {
    writeFile(at("new.tmp"), "new");
    writeFile(at("settings.ini"), "old");

    EXPECT_FALSE(ZMiscTools::renameFile(at("new.tmp").c_str(), at("settings.ini").c_str()));
    EXPECT_EQ("new", readFile(at("new.tmp")));
    EXPECT_EQ("old", readFile(at("settings.ini")));

    // The replace sequence callers use: remove the old file, then move the new one in.
    EXPECT_TRUE(ZMiscTools::removeFile(at("settings.ini").c_str()));
    EXPECT_TRUE(ZMiscTools::renameFile(at("new.tmp").c_str(), at("settings.ini").c_str()));
    EXPECT_FALSE(exists("new.tmp"));
    EXPECT_EQ("new", readFile(at("settings.ini")));

    EXPECT_FALSE(ZMiscTools::renameFile(at("missing").c_str(), at("other").c_str()));
    EXPECT_FALSE(exists("other"));
}

TEST_F(ZMiscToolsFiles, RemoveDirectoryTakesContentsButDoesNotFollowLinks) {
    ASSERT_EQ(0, mkdir(at("outside").c_str(), 0755));
    writeFile(at("outside/keep.txt"), "keep");
    ASSERT_EQ(0, mkdir(at("tree").c_str(), 0755));
    ASSERT_EQ(0, mkdir(at("tree/sub").c_str(), 0755));
    writeFile(at("tree/sub/deep.txt"), "d");
    writeFile(at("tree/top.txt"), "t");
    ASSERT_EQ(0, symlink(at("outside").c_str(), at("tree/link").c_str()));

    EXPECT_TRUE(ZMiscTools::removeDirectory(at("tree").c_str()));
    EXPECT_FALSE(exists("tree"));
    EXPECT_EQ("keep", readFile(at("outside/keep.txt")));

    EXPECT_FALSE(ZMiscTools::removeDirectory(at("tree").c_str()));
    EXPECT_FALSE(ZMiscTools::removeFile(at("missing.txt").c_str()));
}

TEST_F(ZMiscToolsFiles, FileExistsForFilesAndFolders) {
    writeFile(at("file"), "x");
    ASSERT_EQ(0, mkdir(at("folder").c_str(), 0755));
    EXPECT_TRUE(ZMiscTools::fileExists(at("file").c_str()));
    EXPECT_TRUE(ZMiscTools::fileExists(at("folder").c_str()));
    EXPECT_FALSE(ZMiscTools::fileExists(at("missing").c_str()));
    EXPECT_FALSE(ZMiscTools::fileExists(nullptr));
}

namespace {

struct Listing {
    std::vector<std::pair<std::string, bool>> calls;
    size_t falseAtCall = 0;  // the callback answers false on this call (1-based); 0: never
};

bool listEntry(const char* name, bool isFolder, void* data) {
    Listing* listing = static_cast<Listing*>(data);
    listing->calls.emplace_back(name, isFolder);
    return listing->calls.size() != listing->falseAtCall;
}

}  // namespace

TEST_F(ZMiscToolsFiles, EnumerateFolderReportsDotsFirstThenEntriesByTheirOwnType) {
    writeFile(at("file.txt"), "x");
    ASSERT_EQ(0, mkdir(at("sub").c_str(), 0755));
    ASSERT_EQ(0, symlink(at("sub").c_str(), at("link").c_str()));

    Listing listing;
    ZMiscTools::enumerateFolder(m_root.c_str(), listEntry, &listing);
    ASSERT_EQ(5u, listing.calls.size());
    EXPECT_EQ(std::make_pair(std::string("."), true), listing.calls[0]);
    EXPECT_EQ(std::make_pair(std::string(".."), true), listing.calls[1]);
    std::map<std::string, bool> entries(listing.calls.begin() + 2, listing.calls.end());
    std::map<std::string, bool> expected = {{"file.txt", false}, {"sub", true}, {"link", false}};
    EXPECT_EQ(expected, entries);
}

TEST_F(ZMiscToolsFiles, EnumerateFolderStopsAtTheFirstFalse) {
    writeFile(at("a"), "x");
    writeFile(at("b"), "x");
    struct Case {
        size_t falseAtCall;
        size_t calls;
    } cases[] = {
        {1, 1},  // false for "." : neither ".." nor any entry
        {2, 2},  // false for ".."
        {3, 3},  // false for the first entry
        {0, 4},
    };
    for (const Case& c : cases) {
        Listing listing;
        listing.falseAtCall = c.falseAtCall;
        ZMiscTools::enumerateFolder(m_root.c_str(), listEntry, &listing);
        EXPECT_EQ(c.calls, listing.calls.size()) << "false at call " << c.falseAtCall;
    }
}

TEST_F(ZMiscToolsFiles, EnumerateFolderThatCannotBeListedReportsNothing) {
    writeFile(at("file"), "x");
    for (const std::string& path : {at("missing"), at("file")}) {
        Listing listing;
        ZMiscTools::enumerateFolder(path.c_str(), listEntry, &listing);
        EXPECT_TRUE(listing.calls.empty()) << path;
    }
    Listing listing;
    ZMiscTools::enumerateFolder(nullptr, listEntry, &listing);
    EXPECT_TRUE(listing.calls.empty());
    ZMiscTools::enumerateFolder(m_root.c_str(), nullptr, &listing);
}

// ---------------------------------------------------------------------------------------------
// Clock and date

TEST(ZMiscToolsClock, MillisecondsFollowTheMonotonicClock) {
    using namespace std::chrono;
    const unsigned long before = ZMiscTools::getMilliseconds();
    const auto start = steady_clock::now();
    std::this_thread::sleep_for(milliseconds(60));
    const unsigned long after = ZMiscTools::getMilliseconds();
    const long elapsed =
        static_cast<long>(duration_cast<milliseconds>(steady_clock::now() - start).count());

    ASSERT_GE(after, before);
    EXPECT_NEAR(static_cast<double>(after - before), static_cast<double>(elapsed), 2.0);
}

TEST(ZMiscToolsClock, SeedValueIsMicrosecondsOfTheMonotonicClock) {
    auto microseconds = [] {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<unsigned long>(now.tv_sec) * 1000000ul +
               static_cast<unsigned long>(now.tv_nsec) / 1000ul;
    };
    const unsigned long before = microseconds();
    const unsigned long seed = ZMiscTools::getSeedValue();
    const unsigned long after = microseconds();
    EXPECT_LE(before, seed);
    EXPECT_LE(seed, after);
}

TEST(ZMiscToolsClock, PauseWaitsAndPumpsTheWindowOnlyWhenAsked) {
    using namespace std::chrono;
    FakeWindow window;
    ZMiscTools::setZWindow(&window);
    for (bool pump : {false, true}) {
        window.calls.clear();
        const auto start = steady_clock::now();
        ZMiscTools::pause(30, pump);
        EXPECT_GE(steady_clock::now() - start, milliseconds(29)) << "pump " << pump;
        EXPECT_EQ(pump, !window.calls.empty()) << "pump " << pump;
    }
    ZMiscTools::setZWindow(nullptr);
}

TEST(ZMiscToolsClock, LocalTimeIsTodaysCalendarDate) {
    for (int attempt = 0; attempt < 3; attempt++) {
        const time_t before = time(nullptr);
        const ZLocalTime local = ZMiscTools::getLocalTime();
        const long year = ZMiscTools::getYear();
        if (time(nullptr) != before) continue;  // a second boundary passed: try again

        struct tm expected;
        localtime_r(&before, &expected);
        EXPECT_EQ(expected.tm_mday, local.day);
        EXPECT_EQ(expected.tm_mon + 1, local.month);
        EXPECT_EQ(expected.tm_year + 1900, local.year);
        EXPECT_EQ(expected.tm_hour, local.hour);
        EXPECT_EQ(expected.tm_min, local.minute);
        EXPECT_EQ(expected.tm_sec, local.second);
        EXPECT_EQ(local.year, year);
        return;
    }
    FAIL() << "the clock kept crossing second boundaries";
}

// ---------------------------------------------------------------------------------------------
// Message boxes and launching

class ZMiscToolsBoxes : public ::testing::Test {
protected:
    void SetUp() override {
        g_noWindowCalls.clear();
        g_journal = &m_window.calls;
        g_hookAnswer = 0;
        ZMiscTools::setAlertBoxHook(recordingBox);
        ZMiscTools::setOpenURLHook(recordingOpen);
    }
    void TearDown() override {
        ZMiscTools::setAlertBoxHook(nullptr);
        ZMiscTools::setOpenURLHook(nullptr);
        ZMiscTools::setZWindow(nullptr);
        g_journal = &g_noWindowCalls;
    }

    FakeWindow m_window;
};

TEST_F(ZMiscToolsBoxes, MessageBoxLeavesFullScreenAndPumpsEventsAroundTheBox) {
    ZMiscTools::setZWindow(&m_window);
    ZMiscTools::messageBox("Title", "Body");
    const std::vector<std::string> expected = {"forceWindowed", "processEvents",
                                               "box Title|Body|OK|-", "processEvents"};
    EXPECT_EQ(expected, m_window.calls);
}

TEST_F(ZMiscToolsBoxes, BoxesWithoutAWindowStillShow) {
    g_journal = &g_noWindowCalls;
    ZMiscTools::messageBox("Title", "Body");
    EXPECT_EQ(0, ZMiscTools::alertBox("Title", "Body", "Yes", "No"));
    const std::vector<std::string> expected = {"box Title|Body|OK|-", "box Title|Body|Yes|No"};
    EXPECT_EQ(expected, g_noWindowCalls);
}

TEST_F(ZMiscToolsBoxes, AlertBoxAnswersOneOnlyForAChosenSecondButton) {
    ZMiscTools::setZWindow(&m_window);
    struct Case {
        const char* button2;
        long chosen;
        long expected;
    } cases[] = {
        {nullptr, 0, 0}, {nullptr, 1, 0}, {"Quit", 0, 0}, {"Quit", 1, 1}, {"Quit", -1, 0},
    };
    for (const Case& c : cases) {
        m_window.calls.clear();
        g_hookAnswer = c.chosen;
        EXPECT_EQ(c.expected, ZMiscTools::alertBox("Crash", "Text", "Send", c.button2))
            << (c.button2 ? c.button2 : "no button2") << " chosen " << c.chosen;
        const std::vector<std::string> expected = {
            "forceWindowed", "processEvents",
            std::string("box Crash|Text|Send|") + (c.button2 ? c.button2 : "-"), "processEvents"};
        EXPECT_EQ(expected, m_window.calls);
    }
}

TEST_F(ZMiscToolsBoxes, DefaultBoxWithoutVideoLogsAndTakesTheFirstButton) {
    if (SDL_WasInit(SDL_INIT_VIDEO)) GTEST_SKIP() << "a display is open in this process";
    int exitCode = -1;
    const std::string log = logOf(
        [] {
            g_hookAnswer = 1;
            ZMiscTools::setAlertBoxHook(recordingBox);
            ZMiscTools::setAlertBoxHook(nullptr);  // back to the default
            return static_cast<int>(ZMiscTools::alertBox("Game", "Couldn't start", "Ok", "Quit"));
        },
        &exitCode);
    if (log.find("Start log: test 1.0") == std::string::npos)
        GTEST_SKIP() << "the log of this process was already open";
    EXPECT_EQ(0, exitCode) << "the default box must answer button1";
    EXPECT_NE(std::string::npos, log.find("System: message box 'Game': Couldn't start\n")) << log;
}

TEST_F(ZMiscToolsBoxes, LaunchingLeavesFullScreenBeforeOpening) {
    ZMiscTools::setZWindow(&m_window);
    struct Case {
        bool file;
        const char* target;
        const char* url;
    } cases[] = {
        {false, "https://example.org/page?a=1&b=2", "https://example.org/page?a=1&b=2"},
        {true, "/games/bramble/readme.txt", "file:///games/bramble/readme.txt"},
        {true, "/tmp/my notes #1?.txt", "file:///tmp/my%20notes%20%231%3F.txt"},
        {true, "/tmp/caf\xc3\xa9", "file:///tmp/caf%C3%A9"},
    };
    for (const Case& c : cases) {
        m_window.calls.clear();
        if (c.file)
            ZMiscTools::launchFile(c.target, false);
        else
            ZMiscTools::launchURL(c.target, false);
        const std::vector<std::string> expected = {"forceWindowed", std::string("open ") + c.url};
        EXPECT_EQ(expected, m_window.calls);
    }
}
