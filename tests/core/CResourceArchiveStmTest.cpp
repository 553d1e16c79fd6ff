#include "CResourceArchiveStm.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CResourceArchiveManagerStm.h"
#include "LoggedMessages.h"
#include "PixelWords.h"
#include "TempDir.h"
#include "TileFiles.h"
#include "ZImage.h"
#include "ZMiscTools.h"
#include "ZResource.h"
#include "ZResourceFile.h"

// Tile files mounted in the virtual file system: tiles read as numbered JPEG files, damaged
// files are refused, and the tile files read like any other file.
namespace {

typedef std::vector<unsigned char> Bytes;

class CResourceArchiveStmTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZResource::initialize();
        CResourceArchiveManagerStm::registerOnce();
    }
    void TearDown() override { ZResource::cleanup(); }

    std::string write(const Bytes& bytes, const std::string& name = "bg.dat") {
        std::string path = dir.file(name);
        EXPECT_TRUE(writeBytes(path, bytes));
        return path;
    }
    std::string mount(const TileFileLayout& layout) {
        Bytes bytes = tileFileBytes(layout);
        EXPECT_FALSE(bytes.empty());
        std::string path = write(bytes);
        EXPECT_EQ(ZResource::addArchive(path.c_str(), 0, nullptr), ZResourceOk);
        return path + "_tile/";
    }
    // The colour in the middle of the tile decoded from the bytes.
    static uint32_t colourOf(const unsigned char* data, unsigned long size) {
        ZImage image;
        if (!image.decodeImage(ZImageFormatJpg, data, size) || !image.getPixels()) return 0;
        long w = image.getImageWidth(), h = image.getImageHeight();
        return image.getPixels()[(h / 2) * w + w / 2];
    }
    static void expectColour(uint32_t got, uint32_t want) {
        for (int i = 0; i < 3; i++)
            EXPECT_NEAR(static_cast<int>(channel(got, i)), static_cast<int>(channel(want, i)), 8)
                << describePixel(got) << " against " << describePixel(want);
    }

    TempDir dir;
};

TEST_F(CResourceArchiveStmTest, TilesReadThroughTheFileSystemInRowMajorOrder) {
    TileFileLayout layout{16, 3, 2};
    std::string prefix = mount(layout);
    for (long n = 0; n < 6; n++) {
        SCOPED_TRACE(n);
        std::string name = prefix + std::to_string(n) + ".jpg";
        unsigned char* data = nullptr;
        unsigned long size = 0;
        ASSERT_TRUE(ZResource::loadResource(name.c_str(), data, size));
        expectColour(colourOf(data, size), tileColour(n));

        ZResourceStat stat = {};
        ASSERT_TRUE(ZResource::stat(name.c_str(), &stat));
        EXPECT_FALSE(stat.isFolder);
        EXPECT_TRUE(stat.isArchived);
        EXPECT_EQ(stat.size, static_cast<int64_t>(size));

        // The same bytes through an open handle, in two reads.
        ZResource file;
        ASSERT_EQ(file.open(name.c_str(), ZResourceModeRead), ZResourceOk);
        std::vector<unsigned char> streamed(size);
        EXPECT_EQ(file.read(streamed.data(), 10), ZResourceOk);
        EXPECT_EQ(file.read(streamed.data() + 10, size - 10), ZResourceOk);
        EXPECT_EQ(memcmp(streamed.data(), data, size), 0);
        delete[] data;
    }
    unsigned char* data = nullptr;
    unsigned long size = 0;
    EXPECT_FALSE(ZResource::loadResource((prefix + "6.jpg").c_str(), data, size));
}

TEST_F(CResourceArchiveStmTest, TheTileFolderListsEveryTile) {
    std::string prefix = mount({8, 2, 2});
    for (std::string folder : {prefix, prefix.substr(0, prefix.size() - 1)}) {
        std::vector<std::string> names;
        ZResource::enumerateFolderInArchives(
            folder.c_str(),
            [](const char* name, bool isFolder, void* user) {
                EXPECT_FALSE(isFolder);
                static_cast<std::vector<std::string>*>(user)->push_back(name);
                return true;
            },
            &names);
        EXPECT_EQ(names, (std::vector<std::string>{"0.jpg", "1.jpg", "2.jpg", "3.jpg"}));
    }
    // A callback that stops is not called again.
    long calls = 0;
    ZResource::enumerateFolderInArchives(
        prefix.c_str(),
        [](const char*, bool, void* user) {
            ++*static_cast<long*>(user);
            return false;
        },
        &calls);
    EXPECT_EQ(calls, 1);
}

TEST_F(CResourceArchiveStmTest, NamesOfTilesAreDecimalNumbersBeforeAFinalJpg) {
    CResourceArchiveStm archive;
    Bytes bytes = tileFileBytes({4, 4, 2});
    std::string path = write(bytes);
    ASSERT_EQ(archive.openArchive(path.c_str(), 0, nullptr), ZResourceOk);
    std::string prefix = path + "_tile/";
    EXPECT_EQ(archive.getPrefix(), prefix);
    std::string upper = prefix;
    for (char& c : upper) c = static_cast<char>(toupper(c));
    struct Case {
        std::string name;
        int64_t tile;
    } cases[] = {
        {prefix + "7.jpg", 7},
        {prefix + "7.JPG", 7},
        {prefix + "007.jpg", 7},
        {upper + "3.Jpg", 3},
        {prefix + "0.jpg", 0},
        {prefix + "8.jpg", -1},
        {prefix + "7.jpg.bak", -1},
        {prefix + "x.jpg", -1},
        {prefix + ".jpg", -1},
        {prefix + "-1.jpg", -1},
        {prefix + "7", -1},
        {prefix + "7.png", -1},
        {prefix + "99999999999999999999999.jpg", -1},
        {path + "_tile7.jpg", -1},
        {"7.jpg", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(archive.tileForName(c.name.c_str()), c.tile) << c.name;
}

TEST_F(CResourceArchiveStmTest, DamagedTileFilesAreRefusedWithALogLine) {
    const Bytes good = tileFileBytes({8, 2, 2});
    ASSERT_FALSE(good.empty());
    auto with = [&](size_t at, uint32_t value, size_t at2 = 0, uint32_t value2 = 0) {
        Bytes b = good;
        putWord(b, at, value);
        if (at2) putWord(b, at2, value2);
        return b;
    };
    struct Case {
        const char* what;
        Bytes bytes;
        bool logged;  // a file with the magic that fails a check says why
    } cases[] = {
        {"second magic word not zero", with(4, 1), false},
        {"other magic", with(0, 0x12345678), false},
        {"shorter than a header", Bytes(good.begin(), good.begin() + 20), false},
        {"tile edge 0", with(12, 0), true},
        {"tile edge past 2^31", with(12, 0x80000000u), true},
        {"no columns", with(24, 0), true},
        {"no rows", with(28, 0), true},
        {"grid whose 32-bit product wraps to 0", with(24, 0x10000, 28, 0x10000), true},
        {"grid whose table is past the end", with(24, 0x10000), true},
        {"rows past 2^31", with(28, 0xFFFFFFFFu), true},
        {"grid of 2^62 tiles", with(24, 0x7FFFFFFF, 28, 0x7FFFFFFF), true},
        {"table past the end", Bytes(good.begin(), good.begin() + 40), true},
        {"tile past the end", Bytes(good.begin(), good.end() - 1), true},
        {"tile size that wraps the offsets", with(32, 0xFFFFFFF0u), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = write(c.bytes, "damaged.dat");
        CResourceArchiveStm archive;
        long result = -1;
        std::vector<std::string> lines =
            loggedMessages([&] { result = archive.openArchive(path.c_str(), 0, nullptr); });
        EXPECT_EQ(result, ZResourceErrorNoArchive);
        EXPECT_EQ(archive.getTileCount(), 0);
        EXPECT_EQ(archive.tileForName((path + "_tile/0.jpg").c_str()), -1);
        bool damaged = false;
        for (const std::string& line : lines)
            damaged |= line.find("damaged tile file '" + path + "'") != std::string::npos;
        EXPECT_EQ(damaged, c.logged);
    }
    CResourceArchiveStm archive;
    EXPECT_EQ(archive.openArchive(dir.file("missing.dat").c_str(), 0, nullptr), ZResourceErrorOpen);
    // A refused file leaves the archive usable for a good one.
    std::string path = write(good, "good.dat");
    EXPECT_EQ(archive.openArchive(path.c_str(), 0, nullptr), ZResourceOk);
    EXPECT_EQ(archive.getTileCount(), 4);
}

TEST_F(CResourceArchiveStmTest, ReadsPastTheTileEndAreShortAndTheirPositionStillMoves) {
    std::string prefix = mount({8, 1, 2});
    std::string name = prefix + "1.jpg";
    ZResourceStat stat = {};
    ASSERT_TRUE(ZResource::stat(name.c_str(), &stat));
    int size = static_cast<int>(stat.size);
    unsigned char* whole = nullptr;
    unsigned long wholeSize = 0;
    ASSERT_TRUE(ZResource::loadResource(name.c_str(), whole, wholeSize));
    std::unique_ptr<unsigned char[]> owned(whole);

    ZResource file;
    ASSERT_EQ(file.open(name.c_str(), ZResourceModeRead), ZResourceOk);
    unsigned char buffer[100];
    EXPECT_EQ(file.seek(ZResourceWhenceEnd, -10), ZResourceOk);
    EXPECT_EQ(file.read(buffer, 100), ZResourceErrorShort);
    EXPECT_EQ(memcmp(buffer, whole + size - 10, 10), 0);
    int position = 0;
    EXPECT_EQ(file.tell(position), ZResourceOk);
    EXPECT_EQ(position, size + 90);

    EXPECT_EQ(file.seek(ZResourceWhenceSet, size - 10), ZResourceOk);
    EXPECT_EQ(file.readAndCount(buffer, 100), 10u);
    EXPECT_EQ(file.readAndCount(buffer, 100), 0u);

    // Before the tile's start the bytes read as zeros and the rest comes from its start.
    memset(buffer, 0xAA, sizeof(buffer));
    EXPECT_EQ(file.seek(ZResourceWhenceSet, 0), ZResourceOk);
    EXPECT_EQ(file.seek(ZResourceWhenceCurrent, -4), ZResourceOk);
    EXPECT_EQ(file.read(buffer, 12), ZResourceOk);
    EXPECT_EQ(memcmp(buffer, "\0\0\0\0", 4), 0);
    EXPECT_EQ(memcmp(buffer + 4, whole, 8), 0);
}

TEST_F(CResourceArchiveStmTest, ThePrefixOfAFileInTheGameFolderIsRelative) {
    std::string game = ZMiscTools::getGameFolder();
    char prefix[260];
    CResourceArchiveStm::makeTilePrefix((game + "/data/graphics/scene_a_background.dat").c_str(),
                                        prefix, sizeof(prefix));
    EXPECT_STREQ(prefix, "data/graphics/scene_a_background.dat_tile/");
    CResourceArchiveStm::makeTilePrefix("data\\graphics\\b.dat", prefix, sizeof(prefix));
    EXPECT_STREQ(prefix, "data/graphics/b.dat_tile/");
    CResourceArchiveStm::makeTilePrefix("/elsewhere/c.dat", prefix, sizeof(prefix));
    EXPECT_STREQ(prefix, "/elsewhere/c.dat_tile/");
}

TEST_F(CResourceArchiveStmTest, ConcurrentReadersOfTwoArchivesGetTheirOwnTiles) {
    std::string first = mount({8, 4, 2});
    Bytes second = tileFileBytes({8, 2, 2});
    std::string secondPath = write(second, "second.dat");
    ASSERT_EQ(ZResource::addArchive(secondPath.c_str(), 0, nullptr), ZResourceOk);
    std::string secondPrefix = secondPath + "_tile/";

    std::vector<Bytes> expected;
    for (long n = 0; n < 8; n++) {
        unsigned char* data = nullptr;
        unsigned long size = 0;
        ASSERT_TRUE(
            ZResource::loadResource((first + std::to_string(n) + ".jpg").c_str(), data, size));
        expected.emplace_back(data, data + size);
        delete[] data;
    }
    std::atomic<long> wrong{0};
    std::vector<std::thread> threads;
    for (long t = 0; t < 4; t++) {
        threads.emplace_back([&, t] {
            for (long round = 0; round < 50; round++) {
                long n = (round + t) % 8;
                ZResource file;
                if (file.open((first + std::to_string(n) + ".jpg").c_str(), ZResourceModeRead) !=
                    ZResourceOk) {
                    wrong++;
                    continue;
                }
                Bytes got(expected[n].size());
                // Small reads interleave with the other threads' seeks on the shared handle.
                for (size_t at = 0; at < got.size(); at += 7)
                    file.readAndCount(got.data() + at, std::min<size_t>(7, got.size() - at));
                if (got != expected[n]) wrong++;
                ZResource other;
                if (other.open((secondPrefix + std::to_string(n % 4) + ".jpg").c_str(),
                               ZResourceModeRead) != ZResourceOk)
                    wrong++;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
