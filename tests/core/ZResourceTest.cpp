#include "ZResource.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "TarBuilder.h"
#include "TempDir.h"
#include "ZCore.h"
#include "ZMiscTools.h"
#include "ZResourceArchive.h"
#include "ZResourceArchiveManager.h"

namespace {

const char kNone[] = "<none>";

// A file's text read through a handle, or kNone when it does not open.
std::string readThroughHandle(const std::string& path) {
    ZResource file;
    if (file.open(path.c_str(), ZResourceModeRead) != ZResourceOk) return kNone;
    std::string text;
    char buffer[64];
    for (;;) {
        unsigned long count = file.readAndCount(buffer, sizeof(buffer));
        text.append(buffer, count);
        if (count < sizeof(buffer)) break;
    }
    return text;
}

std::string loadThroughResource(const std::string& path) {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!ZResource::loadResource(path.c_str(), data, size)) return kNone;
    std::string text(reinterpret_cast<char*>(data), size);
    delete[] data;
    return text;
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> resourceLines(const std::string& log) {
    std::vector<std::string> lines;
    std::stringstream in(log);
    for (std::string line; std::getline(in, line);) {
        size_t at = line.find(": Resource: ");
        if (at != std::string::npos) lines.push_back(line.substr(at + 2));
    }
    return lines;
}

bool collect(const char* name, bool isFolder, void* user) {
    auto* names = static_cast<std::vector<std::string>*>(user);
    names->push_back(std::string(name) + (isFolder ? "/" : ""));
    return true;
}

bool collectOne(const char* name, bool isFolder, void* user) {
    collect(name, isFolder, user);
    return false;
}

// What the test's own archive kind was asked, in order. Never destroyed: the file system is
// cleaned up from a static destructor at exit, which still deletes the test's archives.
std::vector<std::string>& calls() {
    static auto* list = new std::vector<std::string>();
    return *list;
}

// An archive kind of the test's own: it mounts paths ending in ".fake", knows one file and
// writes down every request, so the paths the file system hands to archives can be checked.
class FakeArchive : public ZResourceArchive {
public:
    explicit FakeArchive(std::string tag) : m_tag(std::move(tag)) {}
    ~FakeArchive() override {
        if (name[0]) calls().push_back("delete archive " + std::string(name));
    }

    long openArchive(const char* path, long flags, const char* password) override {
        calls().push_back(m_tag + " tries " + path + " " + std::to_string(flags) + " " +
                          (password ? password : "null"));
        std::string text(path);
        bool mine = text.size() > 5 && text.compare(text.size() - 5, 5, ".fake") == 0;
        return mine ? ZResourceOk : ZResourceErrorNoArchive;
    }
    bool enumerateFolder(const char* folder, ZResourceEnumCallback callback, void* user) override {
        calls().push_back("enumerate " + std::string(folder));
        return callback("fake-child", false, user);
    }
    bool statFile(const char* path, ZResourceStat* stat) override {
        calls().push_back("stat " + std::string(path));
        if (std::string(path) != "fake/known.txt") return false;
        *stat = ZResourceStat{false, true, 7, 42};
        return true;
    }
    ZResourceFile* openFile(const char* path) override {
        calls().push_back("open " + std::string(path));
        return nullptr;
    }
    bool loadFile(const char* path, unsigned char*&, unsigned long&) override {
        calls().push_back("load " + std::string(path));
        return false;
    }

private:
    std::string m_tag;
};

class FakeManager : public ZResourceArchiveManager {
public:
    explicit FakeManager(std::string tag) : m_tag(std::move(tag)) {}
    ~FakeManager() override { calls().push_back("delete manager " + m_tag); }
    ZResourceArchive* createArchive() override { return new FakeArchive(m_tag); }

private:
    std::string m_tag;
};

// Checks made in a death-test child, where gtest's assertions do not reach the parent. exit runs
// the file system's clean-up and the leak check, so the child also proves those clean.
class ChildChecks {
public:
    void expect(bool ok, const std::string& what) {
        if (!ok) m_failures += what + "\n";
    }
    void equal(const std::string& actual, const std::string& expected, const std::string& what) {
        expect(actual == expected, what + ": got '" + actual + "', want '" + expected + "'");
    }
    void equal(long actual, long expected, const std::string& what) {
        equal(std::to_string(actual), std::to_string(expected), what);
    }
    [[noreturn]] void finish() {
        fputs(m_failures.c_str(), stderr);
        exit(m_failures.empty() ? 0 : 1);
    }

private:
    std::string m_failures;
};

// Without a mount, in this process: every request goes to the disk.
class ZResourceTest : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(ZResourceTest, HandleWithNothingOpenAnswers1000AndKeepsTheFlagClear) {
    ZResource file;
    char buffer[4] = {};
    int position = 5;
    EXPECT_EQ(file.seek(ZResourceWhenceSet, 0), ZResourceErrorNoFile);
    EXPECT_EQ(file.tell(position), ZResourceErrorNoFile);
    EXPECT_EQ(file.read(buffer, 4), ZResourceErrorNoFile);
    EXPECT_EQ(file.write(buffer, 4), ZResourceErrorNoFile);
    EXPECT_EQ(file.readAndCount(buffer, 4), 1000u);
    EXPECT_EQ(file.writeAndCount(buffer, 4), 1000u);
    EXPECT_EQ(file.putChar('x'), ZResourceErrorNoFile);
    file.print("%d", 1);
    EXPECT_FALSE(file.checkError());
    EXPECT_EQ(position, 5);
}

TEST_F(ZResourceTest, OpenFailuresLeaveNothingOpen) {
    std::string path = dir.file("a.txt");
    writeFile(path, "abc");
    const std::vector<std::pair<long, std::string>> cases = {
        {0, path},
        {1002, path},
        {ZResourceModeRead, dir.file("absent.txt")},
        {ZResourceModeWrite, dir.file("no-folder/new.txt")}};
    for (const auto& [mode, target] : cases) {
        SCOPED_TRACE(std::to_string(mode) + " " + target);
        ZResource file;
        ASSERT_EQ(file.open(path.c_str(), ZResourceModeRead), ZResourceOk);
        long expected = mode == ZResourceModeRead || mode == ZResourceModeWrite
                            ? ZResourceErrorOpen
                            : ZResourceErrorBadMode;
        EXPECT_EQ(file.open(target.c_str(), static_cast<ZResourceMode>(mode)), expected);
        char c;
        EXPECT_EQ(file.read(&c, 1), ZResourceErrorNoFile);
    }
    EXPECT_EQ(readFile(path), "abc");
}

TEST_F(ZResourceTest, WritesGoToDiskAndReadBack) {
    std::string path = dir.file("out.txt");
    writeFile(path, "old contents that must go");
    {
        ZResource file;
        ASSERT_EQ(file.open(path.c_str(), ZResourceModeWrite), ZResourceOk);
        EXPECT_EQ(file.write("head ", 5), ZResourceOk);
        EXPECT_EQ(file.write("", 0), ZResourceOk);
        EXPECT_EQ(file.writeAndCount("12", 2), 2u);
        EXPECT_EQ(file.putChar('|'), ZResourceOk);
        file.print("%s=%d;", "n", 42);
        file.print("%s", "");
        std::string longText(5000, 'w');
        file.print("%s", longText.c_str());
        EXPECT_FALSE(file.checkError());
    }
    EXPECT_EQ(readFile(path), "head 12|n=42;" + std::string(5000, 'w'));

    ZResource file;
    ASSERT_EQ(file.open(path.c_str(), ZResourceModeRead), ZResourceOk);
    char buffer[8] = {};
    int position = -1;
    EXPECT_EQ(file.seek(ZResourceWhenceSet, 5), ZResourceOk);
    EXPECT_EQ(file.read(buffer, 3), ZResourceOk);
    EXPECT_EQ(std::string(buffer, 3), "12|");
    EXPECT_EQ(file.tell(position), ZResourceOk);
    EXPECT_EQ(position, 8);
    EXPECT_EQ(file.seek(ZResourceWhenceCurrent, -3), ZResourceOk);
    EXPECT_EQ(file.readAndCount(buffer, 2), 2u);
    EXPECT_EQ(std::string(buffer, 2), "12");
    EXPECT_EQ(file.seek(ZResourceWhenceEnd, -2), ZResourceOk);
    EXPECT_EQ(file.read(buffer, 2), ZResourceOk);
    EXPECT_EQ(std::string(buffer, 2), "ww");
    EXPECT_EQ(file.read(buffer, 0), ZResourceOk);
    EXPECT_EQ(file.write("x", 1), ZResourceErrorShort);  // opened for reading
    EXPECT_TRUE(file.checkError());
}

TEST_F(ZResourceTest, FailedCallsSetTheErrorFlagUntilCleared) {
    std::string path = dir.file("four.txt");
    writeFile(path, "1234");
    ZResource file;
    ASSERT_EQ(file.open(path.c_str(), ZResourceModeRead), ZResourceOk);
    char buffer[10];

    EXPECT_EQ(file.read(buffer, 10), ZResourceErrorShort);
    EXPECT_TRUE(file.checkError());
    ASSERT_EQ(file.seek(ZResourceWhenceSet, 0), ZResourceOk);
    EXPECT_EQ(file.read(buffer, 4), ZResourceOk);
    EXPECT_TRUE(file.checkError());  // sticky across later successes and reopening
    ASSERT_EQ(file.open(path.c_str(), ZResourceModeRead), ZResourceOk);
    EXPECT_TRUE(file.checkError());
    file.clearError();
    EXPECT_FALSE(file.checkError());

    EXPECT_EQ(file.seek(ZResourceWhenceSet, -1), ZResourceErrorShort);
    EXPECT_TRUE(file.checkError());
    file.clearError();
    EXPECT_EQ(file.readAndCount(buffer, 10), 4u);
    EXPECT_TRUE(file.checkError());
}

TEST_F(ZResourceTest, ReopeningAHandleSwitchesFiles) {
    writeFile(dir.file("first.txt"), "first");
    writeFile(dir.file("second.txt"), "second");
    ZResource file;
    ASSERT_EQ(file.open(dir.file("first.txt").c_str(), ZResourceModeRead), ZResourceOk);
    ASSERT_EQ(file.open(dir.file("second.txt").c_str(), ZResourceModeRead), ZResourceOk);
    char buffer[6];
    EXPECT_EQ(file.read(buffer, 6), ZResourceOk);
    EXPECT_EQ(std::string(buffer, 6), "second");
    file.close();
    EXPECT_EQ(file.read(buffer, 1), ZResourceErrorNoFile);
}

TEST_F(ZResourceTest, DiskPathsTurnColonsAndBackslashesIntoSlashesAndAreCutAt259) {
    ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0755), 0);
    writeFile(dir.file("sub/file.txt"), "in sub");
    std::string longPath = dir.file(std::string(259 - dir.path().size() - 1, 'p'));
    ASSERT_EQ(longPath.size(), 259u);
    writeFile(longPath, "cut");

    const std::vector<std::pair<std::string, std::string>> cases = {
        {dir.path() + "\\sub\\file.txt", "in sub"},
        {dir.path() + ":sub:file.txt", "in sub"},
        {dir.path() + "/SUB/file.txt", kNone},  // the disk keeps its own case rules
        {longPath + "tail", "cut"},
    };
    for (const auto& [path, text] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(readThroughHandle(path), text);
        EXPECT_EQ(loadThroughResource(path), text);
        ZResourceStat stat;
        EXPECT_EQ(ZResource::stat(path.c_str(), &stat), text != kNone);
    }
}

TEST_F(ZResourceTest, LoadResourceFromDiskTakesOnlyWhatFitsInMemory) {
    writeFile(dir.file("empty.txt"), "");
    writeFile(dir.file("text.txt"), "some text");
    // A sparse file far larger than memory, and a folder, whose reported end lies far out.
    std::string huge = dir.file("huge.bin");
    FILE* stream = fopen(huge.c_str(), "wb");
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(ftruncate(fileno(stream), 1ll << 42), 0);
    fclose(stream);

    unsigned char* data = nullptr;
    unsigned long size = 99;
    ASSERT_TRUE(ZResource::loadResource(dir.file("empty.txt").c_str(), data, size));
    EXPECT_EQ(size, 0u);
    delete[] data;
    EXPECT_EQ(loadThroughResource(dir.file("text.txt")), "some text");

    for (const std::string& path : {dir.file("absent.txt"), huge, dir.path()}) {
        SCOPED_TRACE(path);
        unsigned char sentinel = 0;
        data = &sentinel;
        size = 99;
        EXPECT_FALSE(ZResource::loadResource(path.c_str(), data, size));
        EXPECT_EQ(data, &sentinel);
        EXPECT_EQ(size, 99u);
    }
}

TEST_F(ZResourceTest, StatOfDiskFilesAndFolders) {
    std::string path = dir.file("dated.txt");
    writeFile(path, "12345");
    struct utimbuf times = {1500000000, 1600000000};
    ASSERT_EQ(utime(path.c_str(), &times), 0);

    ZResourceStat stat;
    ASSERT_TRUE(ZResource::stat(path.c_str(), &stat));
    EXPECT_FALSE(stat.isFolder);
    EXPECT_FALSE(stat.isArchived);
    EXPECT_EQ(stat.size, 5);
    EXPECT_EQ(stat.modificationTime, 1600000000);

    ASSERT_TRUE(ZResource::stat(dir.path().c_str(), &stat));
    EXPECT_TRUE(stat.isFolder);
    EXPECT_FALSE(stat.isArchived);
    EXPECT_FALSE(ZResource::stat(dir.file("absent").c_str(), &stat));
}

// Mounts are process-wide and permanent: every scenario mounts in a fresh child process
// (threadsafe death tests re-execute the program) and reports back through its exit code and
// the log it leaves in the shared folder.
class ZResourceMountDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
    std::string log() const { return readFile(dir.file("log.txt")); }
    void enableLog() const { ZCore::enableLog(dir.file("log.txt").c_str(), "test", "1", false); }
    TempDir dir{"BRAMBLE_TEST_DEATH_DIR"};
};

TEST_F(ZResourceMountDeathTest, EnumerationWithoutArchivesListsNothing) {
    mkdir(dir.file("sub").c_str(), 0755);  // the re-executed child finds it made
    auto child = [&] {
        ChildChecks check;
        std::vector<std::string> names;
        ZResource::enumerateFolderInArchives(dir.path().c_str(), collect, &names);
        ZResource::enumerateFolderInArchives("", collect, &names);
        check.expect(names.empty(), "the disk is not listed");
        check.finish();
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST_F(ZResourceMountDeathTest, ArchivesComeBeforeTheDiskInMountOrder) {
    std::string first = dir.file("first.tar"), second = dir.file("second.tar");
    writeFile(first, TarBuilder()
                         .file("shared.txt", "from first")
                         .file("first.txt", "1")
                         .folder("folder/")
                         .finish());
    writeFile(second,
              TarBuilder().file("SHARED.TXT", "from second").file("second.txt", "2").finish());
    writeFile(dir.file("shared.txt"), "from disk");
    writeFile(dir.file("disk.txt"), "disk");

    auto child = [&] {
        ChildChecks check;
        check.expect(chdir(dir.path().c_str()) == 0, "chdir");
        check.equal(ZResource::addArchive(first.c_str(), 0, nullptr), 0, "mount first");
        check.equal(ZResourceArchive::addArchive(second.c_str(), 0, "unused"), 0, "mount second");

        const std::vector<std::pair<std::string, std::string>> cases = {
            {"shared.txt", "from first"}, {"sHaReD.TxT", "from first"}, {"second.txt", "2"},
            {"disk.txt", "disk"},         {"absent.txt", kNone},
        };
        for (const auto& [path, text] : cases) {
            check.equal(readThroughHandle(path), text, "open " + path);
            check.equal(loadThroughResource(path), text, "load " + path);
            ZResourceStat stat = {};
            bool found = ZResource::stat(path.c_str(), &stat);
            check.expect(found == (text != kNone), "stat " + path);
            check.expect(!found || stat.isArchived == (path != "disk.txt"),
                         "stat isArchived " + path);
        }
        ZResourceStat stat = {};
        check.expect(ZResource::stat("folder/", &stat) && stat.isFolder && stat.isArchived,
                     "stat folder/");

        // Writing never looks at the archives: the disk file is emptied and rewritten.
        ZResource out;
        check.equal(out.open("shared.txt", ZResourceModeWrite), 0, "create shared.txt");
        check.equal(out.write("new", 3), 0, "write");
        out.close();
        check.equal(readFile(dir.file("shared.txt")), "new", "disk after writing");
        check.equal(readThroughHandle("shared.txt"), "from first", "archive after writing");
        check.finish();
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST_F(ZResourceMountDeathTest, GameFolderPrefixAndBackslashesFindArchiveEntries) {
    std::string archive = dir.file("data.pak");
    writeFile(archive, TarBuilder().file("data/game/game.ini", "[config]").finish());

    auto child = [&] {
        ChildChecks check;
        check.equal(ZResource::addArchive(archive.c_str(), 0, nullptr), 0, "mount");
        std::string game = ZMiscTools::getGameFolder();
        const std::vector<std::pair<std::string, std::string>> cases = {
            {"data/game/game.ini", "[config]"},
            {"data\\game\\game.ini", "[config]"},
            {game + "/data/game/game.ini", "[config]"},
            {upper(game) + "/data/game/game.ini", "[config]"},
            {game + ":data/game/game.ini", "[config]"},
            {game + "\\DATA\\Game\\game.ini", "[config]"},
            {"data:game:game.ini", kNone},  // colons are separators on disk only
        };
        for (const auto& [path, text] : cases) {
            check.equal(readThroughHandle(path), text, "open " + path);
            check.equal(loadThroughResource(path), text, "load " + path);
        }
        check.finish();
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST_F(ZResourceMountDeathTest, ArchivesAreAskedWithWholeSlashedPathsAndManagersAddedLastFirst) {
    std::string tar = dir.file("real.tar");
    writeFile(tar, TarBuilder().file("real.txt", "real").finish());

    auto child = [&] {
        ChildChecks check;
        ZResource::addArchiveManager(new FakeManager("A"));
        ZResource::addArchiveManager(new FakeManager("B"));
        // The tar first: later mounts may read their files through the archives mounted before.
        check.equal(ZResource::addArchive(tar.c_str(), 0, nullptr), 0, "mount tar");
        check.equal(ZResource::addArchive("one.fake", 6, "secret"), 0, "mount one.fake");
        check.equal(ZResource::addArchive("ONE.FAKE", 0, nullptr), 0, "mount again");

        std::string game = ZMiscTools::getGameFolder();
        std::string longName(300, 'n');
        ZResourceStat stat = {};
        check.expect(ZResource::stat((upper(game) + "\\fake\\known.txt").c_str(), &stat) &&
                         stat.size == 42 && stat.modificationTime == 7,
                     "stat through the fake archive");
        ZResource file;
        check.equal(file.open((game + "/a\\b:c.txt").c_str(), ZResourceModeRead),
                    ZResourceErrorOpen, "open");
        check.equal(file.open(longName.c_str(), ZResourceModeRead), ZResourceErrorOpen,
                    "open long");
        check.equal(loadThroughResource("real.txt"), "real", "load from the tar");
        check.equal(readThroughHandle("real.txt"), "real", "open in the tar");

        const std::vector<std::string> expected = {
            "B tries " + tar + " 0 null",  // the last manager added is asked first
            "A tries " + tar + " 0 null",
            "B tries one.fake 6 secret",
            "stat fake/known.txt",  // after the tar, which does not hold these
            "open a/b:c.txt",
            "open " + longName,  // not cut: no archive finds it by its first characters
        };
        std::string got, want;
        for (const std::string& line : calls()) got += line + "\n";
        for (const std::string& line : expected) want += line + "\n";
        check.equal(got, want, "requests");
        check.finish();
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST_F(ZResourceMountDeathTest, EnumerationVisitsArchivesInMountOrderUntilOneStops) {
    std::string tar = dir.file("a.tar");
    writeFile(tar, TarBuilder()
                       .folder("data/")
                       .file("data/a.txt", "a")
                       .folder("data/sub/")
                       .file("data/sub/deep.txt", "d")
                       .finish());

    auto child = [&] {
        ChildChecks check;
        ZResource::addArchiveManager(new FakeManager("F"));
        check.equal(ZResource::addArchive(tar.c_str(), 0, nullptr), 0, "mount tar");
        check.equal(ZResource::addArchive("z.fake", 0, nullptr), 0, "mount fake");
        calls().clear();

        std::vector<std::string> names;
        std::string folder = std::string(ZMiscTools::getGameFolder()) + "\\data\\";
        ZResource::enumerateFolderInArchives(folder.c_str(), collect, &names);
        check.equal(
            ::testing::PrintToString(names),
            ::testing::PrintToString(std::vector<std::string>{"a.txt", "sub/", "fake-child"}),
            "all");
        check.expect(calls() == std::vector<std::string>{"enumerate data/"}, "fake asked");

        names.clear();
        calls().clear();
        ZResource::enumerateFolderInArchives("data/", collectOne, &names);
        check.expect(names == std::vector<std::string>{"a.txt"}, "stopped");
        check.expect(calls().empty(), "the fake archive is not asked after a stop");
        check.finish();
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST_F(ZResourceMountDeathTest, CleanupDeletesArchivesHeadFirstAndManagersAndStartsOver) {
    std::string tar = dir.file("a.tar");
    writeFile(tar, TarBuilder().file("a.txt", "a").finish());

    auto child = [&] {
        ChildChecks check;
        ZResource::addArchiveManager(new FakeManager("A"));
        ZResource::addArchiveManager(new FakeManager("B"));
        ZResource::addArchive("x.fake", 0, nullptr);
        ZResource::addArchive("y.fake", 0, nullptr);
        check.equal(ZResource::addArchive(tar.c_str(), 0, nullptr), 0, "mount tar");
        calls().clear();

        ZResource::cleanup();
        ZResource::cleanup();  // the engine's clean-up and the exit both run it
        check.expect(
            calls() == std::vector<std::string>{"delete archive x.fake", "delete archive y.fake",
                                                "delete manager B", "delete manager A"},
            "deletions: " + ::testing::PrintToString(calls()));
        ZResource file;
        check.equal(file.open(tar.c_str(), ZResourceModeRead), ZResourceErrorOpen,
                    "open without the disk");

        ZResource::initialize();
        calls().clear();
        check.equal(readThroughHandle("a.txt"), kNone, "nothing mounted after clean-up");
        check.equal(ZResource::addArchive(tar.c_str(), 0, nullptr), 0, "mount again");
        check.equal(readThroughHandle("a.txt"), "a", "the tar kind is registered again");
        check.equal(readThroughHandle(tar), TarBuilder().file("a.txt", "a").finish(),
                    "the disk is back");
        check.expect(calls().empty(), "the old managers are gone");
        check.finish();
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST_F(ZResourceMountDeathTest, SamePathInAnyCaseMountsOnce) {
    std::string tar = dir.file("Once.tar");
    writeFile(tar, TarBuilder().file("a.txt", "a").finish());

    auto child = [&] {
        ChildChecks check;
        enableLog();
        check.equal(ZResource::addArchive(tar.c_str(), 0, nullptr), 0, "first");
        // Only the name rule can answer 0 here: no file has the upper-case name.
        check.equal(ZResource::addArchive(upper(tar).c_str(), 0, nullptr), 0, "upper case");
        check.equal(ZResource::addArchive(tar.c_str(), 0, nullptr), 0, "again");
        check.finish();
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");

    std::vector<std::string> lines = resourceLines(log());
    EXPECT_EQ(lines,
              std::vector<std::string>{"Resource: added archive '" + tar + "' with 1 entry"});
}

TEST_F(ZResourceMountDeathTest, MountLogLinesAndMissingArchives) {
    struct Case {
        std::string path;
        std::string bytes;  // empty: no file
        long flags;
        long result;
    };
    std::string good = TarBuilder().file("a.txt", "a").file("b.txt", "b").bytes();
    const std::vector<Case> cases = {
        {dir.file("none.tar"), TarBuilder().finish(), 0, 0},
        {dir.file("one.tar"), TarBuilder().file("a.txt", "a").finish(), 0, 0},
        {dir.file("two.tar"), TarBuilder(good).finish(), 0, 0},
        {dir.file("negative.tar"),
         TarBuilder(good)
             .add([] {
                 TarHeader h;
                 h.name = "neg.bin";
                 h.sizeField = "-0000000001";
                 return h;
             }())
             .finish(),
         0, 0},
        {dir.file("missing.tar"), "", 0, ZResourceErrorNoArchive},
        {dir.file("quiet.tar"), "", 1, ZResourceErrorNoArchive},
        {dir.file("quiet3.tar"), "", 3, ZResourceErrorNoArchive},
        {dir.file("loud2.tar"), "", 2, ZResourceErrorNoArchive},
        {dir.file("text.tar"), std::string(3000, 't'), 0, ZResourceErrorNoArchive},
    };
    for (const Case& c : cases)
        if (!c.bytes.empty()) writeFile(c.path, c.bytes);

    auto child = [&] {
        ChildChecks check;
        enableLog();
        for (const Case& c : cases)
            check.equal(ZResource::addArchive(c.path.c_str(), c.flags, nullptr), c.result, c.path);
        check.finish();
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");

    std::vector<std::string> expected = {
        "Resource: added archive '" + cases[0].path + "' with 0 entries",
        "Resource: added archive '" + cases[1].path + "' with 1 entry",
        "Resource: added archive '" + cases[2].path + "' with 2 entries",
        "Resource: archive '" + cases[3].path + "' seems to be invalid, WARNING",
        "Resource: added archive '" + cases[3].path + "' with 2 entries",
        "Resource: missing archive '" + cases[4].path + "'",
        "Resource: missing archive '" + cases[7].path + "'",
        "Resource: missing archive '" + cases[8].path + "'",
    };
    EXPECT_EQ(resourceLines(log()), expected);
}

TEST_F(ZResourceMountDeathTest, OpenLinesAreLoggedOnlyWhenAskedFor) {
    std::string tar = dir.file("a.tar");
    writeFile(tar, TarBuilder().file("packed.txt", "p").finish());
    writeFile(dir.file("disk.txt"), "d");

    auto child = [&] {
        ChildChecks check;
        check.expect(chdir(dir.path().c_str()) == 0, "chdir");
        check.equal(ZResource::addArchive(tar.c_str(), 1, nullptr), 0, "mount");
        enableLog();
        readThroughHandle("disk.txt");  // not logged yet
        ZResource::logOpens(true);
        readThroughHandle("packed.txt");
        readThroughHandle("disk.txt");
        readThroughHandle("absent.txt");
        loadThroughResource("PACKED.txt");
        loadThroughResource("disk.txt");
        loadThroughResource("absent2.txt");
        ZResource out;
        out.open("new.txt", ZResourceModeWrite);
        out.open("no-folder/new.txt", ZResourceModeWrite);
        out.open("disk.txt", static_cast<ZResourceMode>(0));
        ZResource::logOpens(false);
        readThroughHandle("absent3.txt");
        check.finish();
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");

    std::vector<std::string> expected = {
        "Resource: added archive '" + tar + "' with 1 entry",  // waited for the log to open
        "Resource: opened 'packed.txt' (archive)",
        "Resource: opened 'disk.txt' (filesystem)",
        "Resource: failed to open 'absent.txt'",
        "Resource: opened 'PACKED.txt' (archive)",
        "Resource: opened 'disk.txt' (filesystem)",
        "Resource: failed to open 'absent2.txt'",
        "Resource: created 'new.txt' (filesystem)",
        "Resource: failed to create 'no-folder/new.txt'",
    };
    EXPECT_EQ(resourceLines(log()), expected);
}

}  // namespace
