#include "ZResourceArchiveTar.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ArchiveFixtures.h"
#include "LoggedMessages.h"
#include "TarBuilder.h"
#include "TempDir.h"
#include "ZResourceFile.h"
#include "ZResourceFileTar.h"

// The archive objects are used directly: nothing here is mounted in the process-wide list.
namespace {

class ZResourceArchiveTarTest : public ::testing::Test {
protected:
    // Writes bytes to a fresh file and opens it as a tar archive.
    std::unique_ptr<ZResourceArchiveTar> openBytes(const std::string& bytes, long* result) {
        std::string path = dir.file("archive" + std::to_string(m_files++) + ".tar");
        writeFile(path, bytes);
        auto archive = std::make_unique<ZResourceArchiveTar>();
        *result = archive->openArchive(path.c_str(), 0, nullptr);
        return archive;
    }

    std::unique_ptr<ZResourceArchiveTar> mount(const std::string& bytes) {
        long result = -1;
        auto archive = openBytes(bytes, &result);
        EXPECT_EQ(result, ZResourceOk);
        return archive;
    }

    static bool has(ZResourceArchiveTar& archive, const std::string& name) {
        ZResourceStat stat;
        return archive.statFile(name.c_str(), &stat);
    }

    TempDir dir;

private:
    int m_files = 0;
};

struct ArchiveCase {
    const char* what;
    std::string bytes;
    long result;
    std::vector<std::string> found;    // entries that must be there
    std::vector<std::string> missing;  // names that must not be
};

TarHeader header(const std::string& name, const std::string& data) {
    TarHeader h;
    h.name = name;
    h.data = data;
    return h;
}

TarHeader withMagic(TarHeader h, const std::string& magic) {
    h.magic = magic;
    return h;
}

TarHeader withSizeField(TarHeader h, const std::string& field) {
    h.sizeField = field;
    return h;
}

TarHeader withChecksumError(TarHeader h) {
    h.checksumError = 1;
    return h;
}

std::vector<ArchiveCase> archiveCases() {
    std::string text(2000, 't');
    TarHeader signedSum = header("caf\xe9.txt", "x");
    signedSum.signedChecksum = true;
    std::string good = TarBuilder().file("a.txt", "alpha").bytes();
    std::string cutShort =
        TarBuilder().file("a.txt", "alpha").file("b.bin", std::string(1000, 'b')).bytes();
    cutShort.resize(cutShort.size() - 600);
    std::string base256Good = std::string("\x80", 1) + std::string(10, '\0') + "\x05";
    std::string base256Huge = std::string("\x80\0\0\0\x01\0\0\0\0\0\0\0", 12);
    std::string base256Negative(12, '\xff');

    return {
        {"POSIX ustar headers",
         TarBuilder().file("a.txt", "alpha").file("b.txt", "").finish(),
         0,
         {"a.txt", "b.txt"},
         {}},
        {"old GNU magic",
         TarBuilder().add(withMagic(header("a.txt", "alpha"), TarBuilder::gnuMagic())).finish(),
         0,
         {"a.txt"},
         {}},
        {"V7 header with the right checksum",
         TarBuilder().add(withMagic(header("a.txt", "alpha"), TarBuilder::v7Magic())).finish(),
         0,
         {"a.txt"},
         {}},
        {"checksum summed over signed bytes",
         TarBuilder().add(signedSum).finish(),
         0,
         {"caf\xe9.txt"},
         {}},
        {"only zero blocks", TarBuilder().finish(), 0, {}, {"a.txt"}},
        {"V7 header with a wrong checksum",
         TarBuilder()
             .add(withChecksumError(withMagic(header("a.txt", "alpha"), TarBuilder::v7Magic())))
             .finish(),
         ZResourceErrorNoArchive,
         {},
         {}},
        {"ustar header with a wrong checksum",
         TarBuilder().add(withChecksumError(header("a.txt", "alpha"))).finish(),
         ZResourceErrorNoArchive,
         {},
         {}},
        {"unknown magic",
         TarBuilder().add(withMagic(header("a.txt", "alpha"), "zip\0\0\0\0\0")).finish(),
         ZResourceErrorNoArchive,
         {},
         {}},
        {"empty file", "", ZResourceErrorNoArchive, {}, {}},
        {"text shorter than a block", "hello", ZResourceErrorNoArchive, {}, {}},
        {"text", text, ZResourceErrorNoArchive, {}, {}},
        {"a zero block, then text", std::string(512, '\0') + text, ZResourceErrorNoArchive, {}, {}},
        // Damage after a good first header keeps what came before it.
        {"size past the end of the file",
         TarBuilder(good).add(withSizeField(header("big.bin", "short"), "07777777777")).finish(),
         0,
         {"a.txt"},
         {"big.bin"}},
        {"last entry cut short", cutShort, 0, {"a.txt"}, {"b.bin"}},
        {"negative size",
         TarBuilder(good)
             .add(withSizeField(header("neg.bin", ""), "-0000000001"))
             .file("after.txt", "x")
             .finish(),
         0,
         {"a.txt"},
         {"neg.bin", "after.txt"}},
        {"negative base-256 size",
         TarBuilder(good).add(withSizeField(header("neg.bin", ""), base256Negative)).finish(),
         0,
         {"a.txt"},
         {"neg.bin"}},
        {"base-256 size beyond the file",
         TarBuilder(good).add(withSizeField(header("huge.bin", "x"), base256Huge)).finish(),
         0,
         {"a.txt"},
         {"huge.bin"}},
        {"base-256 size that fits",
         TarBuilder(good)
             .add(withSizeField(header("b256.txt", "hello"), base256Good))
             .file("after.txt", "x")
             .finish(),
         0,
         {"a.txt", "b256.txt", "after.txt"},
         {}},
        {"later header with a wrong checksum",
         TarBuilder(good)
             .add(withChecksumError(header("bad.txt", "x")))
             .file("after.txt", "x")
             .finish(),
         0,
         {"a.txt"},
         {"bad.txt", "after.txt"}},
        {"two zero blocks end the archive",
         TarBuilder(good).zeroBlocks(2).file("after.txt", "x").finish(),
         0,
         {"a.txt"},
         {"after.txt"}},
        {"one zero block does not",
         TarBuilder(good).zeroBlocks(1).file("after.txt", "x").finish(),
         0,
         {"a.txt", "after.txt"},
         {}},
    };
}

TEST_F(ZResourceArchiveTarTest, GoodArchivesMountAndDamagedOnesDoNotCrashOrOverreach) {
    for (const ArchiveCase& c : archiveCases()) {
        SCOPED_TRACE(c.what);
        long result = -1;
        auto archive = openBytes(c.bytes, &result);
        EXPECT_EQ(result, c.result);
        for (const std::string& name : c.found) EXPECT_TRUE(has(*archive, name)) << name;
        for (const std::string& name : c.missing) EXPECT_FALSE(has(*archive, name)) << name;
    }
}

TEST_F(ZResourceArchiveTarTest, MissingFileAndFolderAreNotArchives) {
    ZResourceArchiveTar archive;
    EXPECT_EQ(archive.openArchive(dir.file("absent.tar").c_str(), 0, nullptr), ZResourceErrorOpen);
    EXPECT_EQ(archive.openArchive(dir.path().c_str(), 0, nullptr), ZResourceErrorNoArchive);
}

TEST_F(ZResourceArchiveTarTest, ReopeningForgetsTheEntriesOfTheFirstArchive) {
    auto archive = mount(TarBuilder().file("first.txt", "1").finish());
    std::string second = dir.file("second.tar");
    writeFile(second, TarBuilder().file("second.txt", "2").finish());
    ASSERT_EQ(archive->openArchive(second.c_str(), 0, nullptr), ZResourceOk);
    EXPECT_FALSE(has(*archive, "first.txt"));
    EXPECT_TRUE(has(*archive, "second.txt"));
}

TEST_F(ZResourceArchiveTarTest, EntryNamesFollowLongLinksPrefixesAndTypes) {
    std::string name200(200, 'l');
    std::string name300 = std::string(250, 'm') + std::string(50, 'n');
    std::string name100(100, 'c');
    TarHeader prefixed = header("file.txt", "p");
    prefixed.prefix = "deep/folder";
    TarHeader gnuPrefixed = withMagic(header("gnu.txt", "g"), TarBuilder::gnuMagic());
    gnuPrefixed.prefix = "ignored";
    TarHeader nulType = header("nul-type.txt", "n");
    nulType.type = '\0';
    TarHeader symlink = header("link", "");
    symlink.type = '2';
    TarHeader hardlink = header("hard", "");
    hardlink.type = '1';
    TarHeader pax = header("pax", "30 path=some/other/name.txt\n");
    pax.type = 'x';

    auto archive = mount(TarBuilder()
                             .longName(name200)
                             .file("short-200", "a")
                             .file("plain.txt", "b")
                             .longName(name300)
                             .file("short-300", "c")
                             .file(name100, "d")
                             .add(prefixed)
                             .add(gnuPrefixed)
                             .add(nulType)
                             .add(symlink)
                             .add(hardlink)
                             .add(pax)
                             .folder("dir/")
                             .file("last.txt", "e")
                             .finish());

    std::vector<std::pair<std::string, bool>> expected = {
        {name200, true},
        {"short-200", false},  // the long name replaces it
        {"plain.txt", true},   // and only for the next header
        {name300.substr(0, 255), true},
        {name300, false},
        {"short-300", false},
        {name100, true},  // a full name field has no NUL
        {name100.substr(0, 99), false},
        {"deep/folder/file.txt", true},
        {"file.txt", false},
        {"gnu.txt", true},  // the old GNU header has no prefix field
        {"ignored/gnu.txt", false},
        {"nul-type.txt", true},
        {"link", false},
        {"hard", false},
        {"pax", false},
        {"some/other/name.txt", false},  // its record's length is wrong: it names nothing
        {"././@LongLink", false},
        {"dir/", true},
        {"last.txt", true},
    };
    for (const auto& [name, present] : expected) EXPECT_EQ(has(*archive, name), present) << name;
}

// What a name looks up: a file's contents, a folder, or nothing.
struct Lookup {
    std::string name;
    enum { kFile, kFolder, kMissing } kind;
    std::string contents = {};
};

void expectLookups(ZResourceArchiveTar& archive, const std::vector<Lookup>& lookups) {
    for (const Lookup& lookup : lookups) {
        SCOPED_TRACE(lookup.name);
        ZResourceStat stat;
        bool found = archive.statFile(lookup.name.c_str(), &stat);
        EXPECT_EQ(found, lookup.kind != Lookup::kMissing);
        if (found) {
            EXPECT_EQ(stat.isFolder, lookup.kind == Lookup::kFolder);
        }
        unsigned char* data = nullptr;
        unsigned long size = 0;
        bool loaded = archive.loadFile(lookup.name.c_str(), data, size);
        EXPECT_EQ(loaded, lookup.kind == Lookup::kFile);
        if (loaded) {
            EXPECT_TRUE(std::string(reinterpret_cast<char*>(data), size) == lookup.contents);
            EXPECT_EQ(stat.size, static_cast<int64_t>(size));
        }
        delete[] data;
        std::unique_ptr<ZResourceFile> file(archive.openFile(lookup.name.c_str()));
        EXPECT_EQ(file != nullptr, lookup.kind == Lookup::kFile);
        if (file && !lookup.contents.empty()) {
            std::string read(lookup.contents.size(), '\0');
            EXPECT_EQ(file->read(&read[0], read.size()), ZResourceOk);
            EXPECT_TRUE(read == lookup.contents);
        }
    }
}

TEST_F(ZResourceArchiveTarTest, PaxHeadersLinksAndDotSlashNames) {
    const std::string paxPath = "pax/long/" + std::string(150, 'z') + ".txt";
    const std::string longTarget = "gnu/" + std::string(140, 't') + ".txt";
    TarHeader sized = withSizeField(header("sized.txt", "12345"), "00000000000");
    TarHeader oversized = withSizeField(header("oversized.txt", "123"), "00000001000");
    TarHeader carrying = header("hard-with-data.txt", "own");
    carrying.type = '1';
    carrying.linkName = "target.txt";
    TarHeader prefixed100 = header(std::string(100, 'm'), "prefixed");
    prefixed100.prefix = "pre";
    TarHeader folderAsLinkTarget = header("to-folder", "");
    folderAsLinkTarget.type = '1';
    folderAsLinkTarget.linkName = "dir/";

    long result = -1;
    std::unique_ptr<ZResourceArchiveTar> archive;
    std::string path;
    std::vector<std::string> messages = loggedMessages([&] {
        archive = openBytes(TarBuilder()
                                .pax({{"path", paxPath}, {"mtime", "1.5"}})
                                .file("PaxHeaders-cut-name", "from pax")
                                .pax({{"size", "5"}})
                                .add(sized)
                                .pax({{"size", "3"}})
                                .add(oversized)
                                .file("after-sizes.txt", "next")
                                .pax({{"path", "global.txt"}}, 'g')
                                .file("after-global.txt", "g")
                                .pax({{"path", ""}})
                                .file("empty-path.txt", "e")
                                .longName("gnu/long/name.txt")
                                .pax({{"path", "pax/wins.txt"}})
                                .file("short", "w")
                                .pax({{"GNU.sparse.major", "1"}, {"GNU.sparse.name", "holes.bin"}})
                                .file("GNUSparseFile.0/holes.bin", "map")
                                .add(prefixed100)
                                .file("target.txt", "shared")
                                .link("hard.txt", "target.txt")
                                .link("./dot-hard.txt", "./target.txt")
                                .longName(longTarget)
                                .file("cut", "long target")
                                .longLinkTarget(longTarget)
                                .link("long-hard.txt", "cut")
                                .pax({{"linkpath", "target.txt"}})
                                .link("pax-hard.txt", "wrong")
                                .add(carrying)
                                .link("dangling.txt", "missing.txt")
                                .link("before.txt", "later.txt")
                                .file("later.txt", "l")
                                .folder("dir/")
                                .add(folderAsLinkTarget)
                                .link("sym.txt", "target.txt", '2')
                                .folder("./")
                                .file("./dotted.txt", "d")
                                .file("././twice.txt", "t")
                                .finish(),
                            &result);
    });
    ASSERT_EQ(result, ZResourceOk);

    const std::vector<Lookup> lookups = {
        {paxPath, Lookup::kFile, "from pax"},
        {"PaxHeaders-cut-name", Lookup::kMissing},
        {"PaxHeaders/next", Lookup::kMissing},
        {"sized.txt", Lookup::kFile, "12345"},
        {"oversized.txt", Lookup::kFile, "123"},
        {"after-sizes.txt", Lookup::kFile, "next"},
        {"after-global.txt", Lookup::kFile, "g"},
        {"global.txt", Lookup::kMissing},
        {"empty-path.txt", Lookup::kFile, "e"},
        {"pax/wins.txt", Lookup::kFile, "w"},
        {"gnu/long/name.txt", Lookup::kMissing},
        {"holes.bin", Lookup::kMissing},
        {"GNUSparseFile.0/holes.bin", Lookup::kMissing},
        {"pre/" + std::string(100, 'm'), Lookup::kFile, "prefixed"},
        {"hard.txt", Lookup::kFile, "shared"},
        {"dot-hard.txt", Lookup::kFile, "shared"},
        {"./dot-hard.txt", Lookup::kMissing},
        {"long-hard.txt", Lookup::kFile, "long target"},
        {"pax-hard.txt", Lookup::kFile, "shared"},
        {"hard-with-data.txt", Lookup::kFile, "own"},
        {"dangling.txt", Lookup::kMissing},
        {"before.txt", Lookup::kMissing},
        {"later.txt", Lookup::kFile, "l"},
        {"to-folder", Lookup::kMissing},
        {"sym.txt", Lookup::kMissing},
        {"", Lookup::kMissing},
        {"./", Lookup::kMissing},
        {"dotted.txt", Lookup::kFile, "d"},
        {"twice.txt", Lookup::kFile, "t"},
    };
    expectLookups(*archive, lookups);

    const std::string prefix = "Resource: archive '" + dir.file("archive0.tar") + "': ";
    EXPECT_EQ(messages,
              (std::vector<std::string>{
                  prefix + "sparse member 'holes.bin' skipped, WARNING",
                  prefix + "hard link 'dangling.txt' names no earlier file 'missing.txt', "
                           "skipped, WARNING",
                  prefix + "hard link 'before.txt' names no earlier file 'later.txt', skipped, "
                           "WARNING",
                  prefix + "hard link 'to-folder' names no earlier file 'dir/', skipped, WARNING",
                  prefix + "symbolic link 'sym.txt' skipped, WARNING",
                  "Resource: added archive '" + dir.file("archive0.tar") + "' with 19 entries",
              }));
}

// Old GNU sparse members may carry their map on in blocks of their own before the data.
TEST_F(ZResourceArchiveTarTest, OldGnuSparseMembersAreSkippedWithTheirExtraBlocks) {
    for (int extraBlocks : {0, 1, 3}) {
        SCOPED_TRACE(extraBlocks);
        TarHeader sparse = withMagic(withSizeField(header("sparse.bin", ""), "00000000003"),
                                     TarBuilder::gnuMagic());
        sparse.type = 'S';
        std::string more;
        if (extraBlocks) {
            sparse.patches.push_back({482, "\1"});
            for (int i = 0; i < extraBlocks; i++) {
                std::string block(512, '\0');
                block[504] = i + 1 < extraBlocks ? 1 : 0;
                more += block;
            }
        }
        std::string data = "abc" + std::string(509, '\0');
        long result = -1;
        std::unique_ptr<ZResourceArchiveTar> archive;
        std::vector<std::string> messages = loggedMessages([&] {
            archive = openBytes(
                TarBuilder().add(sparse).raw(more + data).file("after.txt", "after").finish(),
                &result);
        });
        ASSERT_EQ(result, ZResourceOk);
        expectLookups(*archive,
                      {{"sparse.bin", Lookup::kMissing}, {"after.txt", Lookup::kFile, "after"}});
        ASSERT_FALSE(messages.empty());
        EXPECT_NE(messages[0].find("sparse member 'sparse.bin' skipped, WARNING"),
                  std::string::npos);
    }
}

TEST_F(ZResourceArchiveTarTest, DuplicateNamesFindTheFirstAndFoldersOnlyForStat) {
    auto archive = mount(TarBuilder()
                             .folder("Same")
                             .file("same", "first file")
                             .file("SAME", "second file")
                             .file("twice.txt", "one")
                             .file("Twice.TXT", "two")
                             .finish());
    expectLookups(*archive,
                  {{"twice.txt", Lookup::kFile, "one"}, {"TWICE.TXT", Lookup::kFile, "one"}});
    ZResourceStat stat;
    ASSERT_TRUE(archive->statFile("same", &stat));
    EXPECT_TRUE(stat.isFolder);  // stat finds the first entry, the folder
    std::string read(10, '\0');
    std::unique_ptr<ZResourceFile> file(archive->openFile("same"));
    ASSERT_NE(file, nullptr);  // open skips it for the first file
    EXPECT_EQ(file->read(&read[0], read.size()), ZResourceOk);
    EXPECT_EQ(read, "first file");
}

TEST_F(ZResourceArchiveTarTest, TarsMadeByOtherToolsReadAsTheirSources) {
    using namespace ArchiveFixtures;
    std::vector<std::string> noLong150 = shortFiles();
    noLong150.insert(noLong150.end(), {kLong100, kDeepFile});
    const std::vector<std::string> symlinkOnly = {"symbolic link 'link.txt' skipped"};
    const std::vector<std::string> symlinkAndSparse = {"symbolic link 'link.txt' skipped",
                                                       "sparse member 'sparse.bin' skipped"};
    const struct {
        const char* file;
        std::vector<std::string> files;  // besides hard.txt, a hard link to a.txt
        std::vector<std::string> folders;
        std::vector<std::string> skipped;
    } cases[] = {
        {"gnu.tar", allFiles(), allFolders(), symlinkAndSparse},
        {"posix.tar", allFiles(), allFolders(), symlinkAndSparse},
        {"ustar.tar", noLong150, allFolders(), symlinkOnly},
        {"v7.tar", shortFiles(), {"sub/"}, symlinkOnly},
        {"dot.tar", allFiles(), allFolders(), symlinkOnly},
        {"bsdtar.tar", allFiles(), allFolders(), symlinkAndSparse},
        {"bsdtar-gnu.tar", allFiles(), allFolders(), symlinkOnly},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::string file = path(c.file);
        ZResourceArchiveTar archive;
        std::vector<std::string> messages =
            loggedMessages([&] { ASSERT_EQ(archive.openArchive(file.c_str(), 0, nullptr), 0); });

        std::vector<Lookup> lookups = {{"hard.txt", Lookup::kFile, source("a.txt")},
                                       {"link.txt", Lookup::kMissing},
                                       {"sparse.bin", Lookup::kMissing}};
        for (const std::string& name : c.files)
            lookups.push_back({name, Lookup::kFile, source(name)});
        for (const std::string& name : c.folders) lookups.push_back({name, Lookup::kFolder});
        expectLookups(archive, lookups);

        std::vector<std::string> expected;
        for (const std::string& what : c.skipped)
            expected.push_back("Resource: archive '" + file + "': " + what + ", WARNING");
        size_t count = c.files.size() + 1 + c.folders.size();
        expected.push_back("Resource: added archive '" + file + "' with " + std::to_string(count) +
                           " entries");
        EXPECT_EQ(messages, expected);
    }
}

TEST_F(ZResourceArchiveTarTest, StatTellsFilesFromFoldersWithoutRegardToCase) {
    TarHeader file = header("Dir/Ten.txt", "0123456789");
    file.mtime = 1700000000;
    auto archive = mount(TarBuilder().folder("Dir/").add(file).finish());

    ZResourceStat stat;
    ASSERT_TRUE(archive->statFile("dir/TEN.TXT", &stat));
    EXPECT_FALSE(stat.isFolder);
    EXPECT_TRUE(stat.isArchived);
    EXPECT_EQ(stat.size, 10);
    EXPECT_EQ(stat.modificationTime, 1700000000);

    ASSERT_TRUE(archive->statFile("DIR/", &stat));
    EXPECT_TRUE(stat.isFolder);
    EXPECT_TRUE(stat.isArchived);
    EXPECT_EQ(stat.size, 0);

    EXPECT_FALSE(archive->statFile("Dir", &stat));  // the entry is named with its '/'
    EXPECT_FALSE(archive->statFile("Dir/Ten.txt/", &stat));
    EXPECT_FALSE(archive->statFile("Dir/Ten", &stat));
}

TEST_F(ZResourceArchiveTarTest, LoadAndOpenFindFilesButNotFolders) {
    std::string big(70000, '\0');
    for (size_t i = 0; i < big.size(); i++) big[i] = static_cast<char>(i * 7 + i / 251);
    auto archive = mount(TarBuilder()
                             .folder("dir/")
                             .file("dir/big.bin", big)
                             .file("empty.txt", "")
                             .file("after.txt", "after")
                             .finish());

    unsigned char* data = nullptr;
    unsigned long size = 0;
    ASSERT_TRUE(archive->loadFile("DIR/BIG.BIN", data, size));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), big);
    delete[] data;

    data = nullptr;
    size = 99;
    ASSERT_TRUE(archive->loadFile("empty.txt", data, size));
    EXPECT_EQ(size, 0u);
    delete[] data;

    for (const char* name : {"dir/", "dir", "absent.txt"}) {
        SCOPED_TRACE(name);
        unsigned char sentinel = 0;
        data = &sentinel;
        size = 99;
        EXPECT_FALSE(archive->loadFile(name, data, size));
        EXPECT_EQ(data, &sentinel);
        EXPECT_EQ(size, 99u);
        EXPECT_EQ(archive->openFile(name), nullptr);
    }
    EXPECT_EQ(archive->createFile("new.txt"), nullptr);
}

struct ReadCase {
    ZResourceWhence whence;
    int offset;
    unsigned long count;
    long result;              // of read
    unsigned long delivered;  // by readAndCount
    std::string buffer;       // the buffer afterwards; '.' marks bytes left alone
    int position;             // afterwards
};

TEST_F(ZResourceArchiveTarTest, ReadsAtEveryEdgeOfAnEntry) {
    const std::string z(1, '\0');
    const std::vector<ReadCase> cases = {
        {ZResourceWhenceSet, 0, 10, 0, 10, "0123456789..", 10},
        {ZResourceWhenceSet, 0, 0, 0, 0, "............", 0},
        {ZResourceWhenceSet, 5, 3, 0, 3, "567.........", 8},
        {ZResourceWhenceEnd, -4, 4, 0, 4, "6789........", 10},
        // Past the end: what the entry holds, nothing more (not the next entry's bytes).
        {ZResourceWhenceSet, 8, 5, ZResourceErrorShort, 2, "89..........", 13},
        {ZResourceWhenceEnd, 0, 4, ZResourceErrorShort, 0, "............", 14},
        {ZResourceWhenceEnd, 0, 0, 0, 0, "............", 10},
        {ZResourceWhenceSet, 20, 1, ZResourceErrorShort, 0, "............", 21},
        // Before the start: zeros for the part before it, then the entry from its start.
        {ZResourceWhenceSet, -3, 5, ZResourceErrorShort, 2, z + z + z + "01.......", 2},
        {ZResourceWhenceSet, -3, 3, ZResourceErrorShort, 0, z + z + z + ".........", 0},
        {ZResourceWhenceSet, -2, 12, ZResourceErrorShort, 10, z + z + "0123456789", 10},
        {ZResourceWhenceSet, -5, 3, ZResourceErrorShort, 0, "............", -2},
        {ZResourceWhenceSet, -1, 0, ZResourceErrorShort, 0, "............", -1},
        {ZResourceWhenceCurrent, -7, 2, ZResourceErrorShort, 0, "............", -5},
    };
    auto archive =
        mount(TarBuilder().file("ten.txt", "0123456789").file("next.txt", "ABCDEFGHIJ").finish());

    for (size_t i = 0; i < cases.size(); i++) {
        const ReadCase& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i));
        for (bool counting : {false, true}) {
            std::unique_ptr<ZResourceFile> file(archive->openFile("ten.txt"));
            ASSERT_NE(file, nullptr);
            int position = 99;
            ASSERT_EQ(file->seek(c.whence, c.offset), ZResourceOk);
            std::string buffer(12, '.');
            if (counting) {
                EXPECT_EQ(file->readAndCount(&buffer[0], c.count), c.delivered);
            } else {
                EXPECT_EQ(file->read(&buffer[0], c.count), c.result);
            }
            EXPECT_EQ(buffer, c.buffer) << (counting ? "readAndCount" : "read");
            EXPECT_EQ(file->tell(position), ZResourceOk);
            EXPECT_EQ(position, c.position);
        }
    }
}

TEST_F(ZResourceArchiveTarTest, FileWithoutArchiveAnswersNoFile) {
    ZResourceFileTar file(-1, 0, 10);
    char buffer[4];
    EXPECT_EQ(file.read(buffer, sizeof(buffer)), ZResourceErrorNoFile);
    EXPECT_EQ(file.readAndCount(buffer, sizeof(buffer)), 0u);
    EXPECT_EQ(file.write(buffer, sizeof(buffer)), ZResourceErrorShort);
    EXPECT_EQ(file.writeAndCount(buffer, sizeof(buffer)), 0u);
}

struct Listed {
    std::vector<std::pair<std::string, bool>> names;
    size_t stopAfter = 0;  // 0: never stop
};

bool collect(const char* name, bool isFolder, void* user) {
    Listed* listed = static_cast<Listed*>(user);
    listed->names.emplace_back(name, isFolder);
    return listed->stopAfter == 0 || listed->names.size() < listed->stopAfter;
}

TEST_F(ZResourceArchiveTarTest, EnumerationListsDirectChildrenOnly) {
    auto archive = mount(TarBuilder()
                             .file("a.txt", "a")
                             .folder("dir/")
                             .file("dir/b.txt", "b")
                             .folder("dir/sub/")
                             .file("dir/sub/c.txt", "c")
                             .file("dirty.txt", "d")
                             .file("other/d.txt", "d")
                             .finish());
    typedef std::vector<std::pair<std::string, bool>> Names;
    const std::vector<std::pair<const char*, Names>> cases = {
        {"", {{"a.txt", false}, {"dir", true}, {"dirty.txt", false}}},
        {"dir/", {{"b.txt", false}, {"sub", true}}},
        {"DIR/", {{"b.txt", false}, {"sub", true}}},
        {"dir/sub", {{"c.txt", false}}},
        // The folder is a plain prefix of the names.
        {"dir", {{"b.txt", false}, {"sub", true}, {"ty.txt", false}}},
        {"other/", {{"d.txt", false}}},
        {"absent/", {}},
    };
    for (const auto& [folder, names] : cases) {
        SCOPED_TRACE(folder);
        Listed listed;
        EXPECT_TRUE(archive->enumerateFolder(folder, collect, &listed));
        EXPECT_EQ(listed.names, names);
    }

    Listed stopping;
    stopping.stopAfter = 2;
    EXPECT_FALSE(archive->enumerateFolder("", collect, &stopping));
    EXPECT_EQ(stopping.names, (Names{{"a.txt", false}, {"dir", true}}));
}

TEST_F(ZResourceArchiveTarTest, EnumerationCutsChildNamesAt259Characters) {
    std::string longName(255, 'q');
    auto archive = mount(TarBuilder().longName(longName).file("x", "x").finish());
    Listed listed;
    archive->enumerateFolder("", collect, &listed);
    ASSERT_EQ(listed.names.size(), 1u);
    EXPECT_EQ(listed.names[0].first, longName);
    // The shared rule with names that no tar entry can carry.
    Listed direct;
    std::string longer(300, 'r');
    ZResourceArchive::enumerateEntry("", (longer + "/").c_str(), true, collect, &direct);
    ZResourceArchive::enumerateEntry("", "win\\", true, collect, &direct);
    EXPECT_EQ(direct.names, (std::vector<std::pair<std::string, bool>>{
                                {longer.substr(0, 259), true}, {"win", true}}));
}

unsigned char patternByte(size_t entry, size_t offset) {
    return static_cast<unsigned char>(entry * 37 + offset * 13 + offset / 509);
}

// Files of one archive share its descriptor; a read must not move another thread's position.
TEST_F(ZResourceArchiveTarTest, ThreadsReadDifferentEntriesOfOneArchiveAtOnce) {
    const size_t kEntries = 8, kSize = 50000, kRounds = 1500;
    TarBuilder builder;
    for (size_t e = 0; e < kEntries; e++) {
        std::string data(kSize, '\0');
        for (size_t i = 0; i < kSize; i++) data[i] = static_cast<char>(patternByte(e, i));
        builder.file("entry" + std::to_string(e), data);
    }
    auto archive = mount(builder.finish());

    std::atomic<int> wrongBytes{0}, failedCalls{0};
    std::vector<std::thread> threads;
    for (size_t e = 0; e < kEntries; e++) {
        threads.emplace_back([&, e] {
            std::string name = "entry" + std::to_string(e);
            std::unique_ptr<ZResourceFile> file(archive->openFile(name.c_str()));
            if (!file) {
                failedCalls++;
                return;
            }
            std::vector<unsigned char> buffer(kSize);
            unsigned seed = static_cast<unsigned>(e) * 7919u + 1u;
            for (size_t round = 0; round < kRounds; round++) {
                seed = seed * 1103515245u + 12345u;
                size_t at = (seed >> 8) % kSize;
                size_t count = 1 + (seed >> 4) % 997;
                if (at + count > kSize) count = kSize - at;
                bool counting = round % 2 != 0;
                if (file->seek(ZResourceWhenceSet, static_cast<int>(at)) != ZResourceOk)
                    failedCalls++;
                if (counting ? file->readAndCount(buffer.data(), count) != count
                             : file->read(buffer.data(), count) != ZResourceOk)
                    failedCalls++;
                for (size_t i = 0; i < count; i++)
                    if (buffer[i] != patternByte(e, at + i)) wrongBytes++;
                if (round % 100 == 0) {
                    unsigned char* data = nullptr;
                    unsigned long size = 0;
                    if (!archive->loadFile(name.c_str(), data, size) || size != kSize) {
                        failedCalls++;
                    } else {
                        for (size_t i = 0; i < size; i++)
                            if (data[i] != patternByte(e, i)) wrongBytes++;
                    }
                    delete[] data;
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrongBytes.load(), 0);
    EXPECT_EQ(failedCalls.load(), 0);
}

}  // namespace
