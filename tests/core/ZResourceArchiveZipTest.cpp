#include <gtest/gtest.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <sys/resource.h>
#include <zlib.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ArchiveFixtures.h"
#include "LoggedMessages.h"
#include "TempDir.h"
#include "ZCore.h"
#include "ZResource.h"
#include "ZResourceArchiveZip.h"
#include "ZResourceArchiveZipEntry.h"
#include "ZResourceFile.h"
#include "ZSysLock.h"
#include "ZZipFileCallbacks.h"

namespace {

// ---- Contents ----

// Compressible text that differs from seed to seed.
std::string textFor(const std::string& seed, size_t size) {
    static const char* const kWords[] = {"bramble ", "sky ",   "coin ", "heart ", "stone ",
                                         "spike ",   "falls ", "the ",  "\n",     "meters 42 "};
    uint32_t state = 2166136261u;
    for (char c : seed) state = (state ^ static_cast<unsigned char>(c)) * 16777619u;
    std::string text;
    while (text.size() < size) {
        state = state * 1664525u + 1013904223u;
        text += kWords[(state >> 24) % 10];
    }
    text.resize(size);
    return text;
}

std::string noise(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

uint32_t dosTime(int year, int month, int day, int hour, int minute, int second) {
    return (uint32_t(year - 1980) << 25) | (uint32_t(month) << 21) | (uint32_t(day) << 16) |
           (uint32_t(hour) << 11) | (uint32_t(minute) << 5) | uint32_t(second / 2);
}

const uint32_t kSummer = dosTime(2021, 7, 15, 13, 45, 30);
const uint32_t kWinter = dosTime(2020, 1, 10, 8, 0, 0);

// ---- Zips written by the zip library's own writer ----

struct Item {
    std::string name;
    std::string data;
    int method = Z_DEFLATED;
    uint32_t time = kSummer;
};

bool writeZip(const std::string& path, const std::vector<Item>& items) {
    zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip) return false;
    bool ok = true;
    for (const Item& item : items) {
        zip_fileinfo info;
        memset(&info, 0, sizeof(info));
        info.dosDate = item.time;
        ok = ok &&
             zipOpenNewFileInZip(zip, item.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                 item.method, item.method ? Z_DEFAULT_COMPRESSION : 0) == ZIP_OK &&
             zipWriteInFileInZip(zip, item.data.data(), static_cast<unsigned>(item.data.size())) ==
                 ZIP_OK &&
             zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

// ---- Zips written by hand: what that writer cannot make ----
// AES entries (method 99), traditional encryption (the system's writer gets its cipher wrong on
// 64-bit hosts) and data before the zip.

void put16(std::string& out, uint32_t value) {
    out += static_cast<char>(value & 0xff);
    out += static_cast<char>((value >> 8) & 0xff);
}

void put32(std::string& out, uint32_t value) {
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

void put64(std::string& out, uint64_t value) {
    put32(out, static_cast<uint32_t>(value));
    put32(out, static_cast<uint32_t>(value >> 32));
}

uint32_t get32(const std::string& in, size_t at) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(in.data()) + at;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void patch32(std::string& bytes, size_t at, uint32_t value) {
    std::string le;
    put32(le, value);
    bytes.replace(at, 4, le);
}

std::string deflateRaw(const std::string& data) {
    z_stream stream;
    memset(&stream, 0, sizeof(stream));
    deflateInit2(&stream, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

uint32_t crcOf(const std::string& data) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// The traditional cipher, written out from the format's description.
std::string traditionalEncrypt(const std::string& password, const std::string& plain) {
    uint32_t keys[3] = {0x12345678u, 0x23456789u, 0x34567890u};
    auto crcStep = [](uint32_t crc, unsigned char byte) {
        crc ^= byte;
        for (int bit = 0; bit < 8; bit++) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        return crc;
    };
    auto update = [&](unsigned char byte) {
        keys[0] = crcStep(keys[0], byte);
        keys[1] = (keys[1] + (keys[0] & 0xff)) * 134775813u + 1;
        keys[2] = crcStep(keys[2], static_cast<unsigned char>(keys[1] >> 24));
    };
    for (char c : password) update(static_cast<unsigned char>(c));
    std::string out = plain;
    for (char& c : out) {
        uint32_t t = (keys[2] & 0xffff) | 2;
        unsigned char p = static_cast<unsigned char>(c);
        c = static_cast<char>(p ^ static_cast<unsigned char>((t * (t ^ 1)) >> 8));
        update(p);
    }
    return out;
}

// Salt, verifier, body encrypted in counter mode with a little-endian block number from 1, and
// the first ten bytes of the HMAC-SHA1 of the encrypted body.
std::string aesEncrypt(const std::string& password, int strength, const std::string& body,
                       uint32_t seed) {
    size_t keyLength = 8 + 8 * static_cast<size_t>(strength);
    std::string salt = noise(keyLength / 2, seed);
    unsigned char derived[66];
    PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()),
                           reinterpret_cast<const unsigned char*>(salt.data()),
                           static_cast<int>(salt.size()), 1000, static_cast<int>(2 * keyLength + 2),
                           derived);
    const EVP_CIPHER* cipher = strength == 1   ? EVP_aes_128_ecb()
                               : strength == 2 ? EVP_aes_192_ecb()
                                               : EVP_aes_256_ecb();
    std::string encrypted = body;
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(context, cipher, nullptr, derived, nullptr);
    EVP_CIPHER_CTX_set_padding(context, 0);
    for (size_t block = 0; block * 16 < encrypted.size(); block++) {
        unsigned char counter[16] = {0};
        uint64_t number = block + 1;
        for (int i = 0; i < 8; i++) counter[i] = static_cast<unsigned char>(number >> (8 * i));
        unsigned char pad[16];
        int produced = 0;
        EVP_EncryptUpdate(context, pad, &produced, counter, 16);
        for (size_t i = 0; i < 16 && block * 16 + i < encrypted.size(); i++)
            encrypted[block * 16 + i] = static_cast<char>(encrypted[block * 16 + i] ^ pad[i]);
    }
    EVP_CIPHER_CTX_free(context);
    unsigned char code[EVP_MAX_MD_SIZE];
    unsigned int codeLength = 0;
    HMAC(EVP_sha1(), derived + keyLength, static_cast<int>(keyLength),
         reinterpret_cast<const unsigned char*>(encrypted.data()), encrypted.size(), code,
         &codeLength);
    return salt + std::string(reinterpret_cast<char*>(derived + 2 * keyLength), 2) + encrypted +
           std::string(reinterpret_cast<char*>(code), 10);
}

struct RawEntry {
    enum Crypt { kPlain, kTraditional, kAes };
    std::string name;
    std::string data;
    uint16_t method = Z_DEFLATED;  // of the data itself
    Crypt crypt = kPlain;
    std::string password = {};
    int strength = 1;
    int aesVersion = 2;       // version 1 keeps the CRC, version 2 stores 0
    bool descriptor = false;  // sizes follow the data; traditional check byte from the time
    bool wrongCrc = false;
    // The directory record's values moved into a zip64 field: kZip64Size for the uncompressed
    // size, kZip64Compressed and kZip64Offset for the others.
    int zip64 = 0;
};

enum { kZip64Size = 1, kZip64Compressed = 2, kZip64Offset = 4 };

struct RawZip {
    std::string bytes;
    std::vector<size_t> payload;  // where each entry's stored bytes start
    std::vector<size_t> payloadLength;
};

// zip64End writes the zip64 end records, with the classic record's fields all overflowed.
RawZip buildZip(const std::vector<RawEntry>& entries, const std::string& prefix = "",
                bool zip64End = false) {
    RawZip zip;
    std::string out;
    std::string directory;
    for (size_t i = 0; i < entries.size(); i++) {
        const RawEntry& e = entries[i];
        std::string body = e.method == Z_DEFLATED ? deflateRaw(e.data) : e.data;
        uint32_t crc = crcOf(e.data);
        uint16_t flags = 0;
        uint16_t method = e.method;
        std::string extra;
        std::string payload;
        if (e.crypt == RawEntry::kTraditional) {
            flags |= 1;
            if (e.descriptor) flags |= 8;
            std::string header = noise(11, static_cast<uint32_t>(i + 7));
            header += static_cast<char>(e.descriptor ? (kSummer >> 8) & 0xff : crc >> 24);
            payload = traditionalEncrypt(e.password, header + body);
        } else if (e.crypt == RawEntry::kAes) {
            flags |= 1;
            method = 99;
            put16(extra, 0x9901);
            put16(extra, 7);
            put16(extra, static_cast<uint32_t>(e.aesVersion));
            extra += "AE";
            extra += static_cast<char>(e.strength);
            put16(extra, e.method);
            payload = aesEncrypt(e.password, e.strength, body, static_cast<uint32_t>(i + 11));
            if (e.aesVersion == 2) crc = 0;
        } else {
            payload = body;
        }
        if (e.wrongCrc) crc ^= 0x5a5a5a5a;
        uint32_t localOffset = static_cast<uint32_t>(out.size());
        uint32_t size = static_cast<uint32_t>(e.data.size());
        uint32_t compressed = static_cast<uint32_t>(payload.size());

        // A local header with zip64 sizes carries both of them.
        std::string localExtra = extra;
        if (e.zip64) {
            put16(localExtra, 0x0001);
            put16(localExtra, 16);
            put64(localExtra, size);
            put64(localExtra, compressed);
        }
        put32(out, 0x04034b50);
        put16(out, e.zip64 ? 45 : e.crypt == RawEntry::kAes ? 51 : 20);
        put16(out, flags);
        put16(out, method);
        put16(out, kSummer & 0xffff);
        put16(out, kSummer >> 16);
        put32(out, e.descriptor ? 0 : crc);
        put32(out, e.descriptor ? 0 : e.zip64 ? 0xFFFFFFFFu : compressed);
        put32(out, e.descriptor ? 0 : e.zip64 ? 0xFFFFFFFFu : size);
        put16(out, static_cast<uint32_t>(e.name.size()));
        put16(out, static_cast<uint32_t>(localExtra.size()));
        out += e.name + localExtra;
        zip.payload.push_back(prefix.size() + out.size());
        zip.payloadLength.push_back(payload.size());
        out += payload;
        if (e.descriptor) {
            put32(out, 0x08074b50);
            put32(out, crc);
            put32(out, compressed);
            put32(out, size);
        }

        std::string centralExtra;
        if (e.zip64) {
            std::string values;
            if (e.zip64 & kZip64Size) put64(values, size);
            if (e.zip64 & kZip64Compressed) put64(values, compressed);
            if (e.zip64 & kZip64Offset) put64(values, localOffset);
            put16(centralExtra, 0x0001);
            put16(centralExtra, static_cast<uint32_t>(values.size()));
            centralExtra += values;
        }
        centralExtra += extra;
        put32(directory, 0x02014b50);
        put16(directory, 20);
        put16(directory, e.zip64 ? 45 : e.crypt == RawEntry::kAes ? 51 : 20);
        put16(directory, flags);
        put16(directory, method);
        put16(directory, kSummer & 0xffff);
        put16(directory, kSummer >> 16);
        put32(directory, crc);
        put32(directory, e.zip64 & kZip64Compressed ? 0xFFFFFFFFu : compressed);
        put32(directory, e.zip64 & kZip64Size ? 0xFFFFFFFFu : size);
        put16(directory, static_cast<uint32_t>(e.name.size()));
        put16(directory, static_cast<uint32_t>(centralExtra.size()));
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, e.zip64 & kZip64Offset ? 0xFFFFFFFFu : localOffset);
        directory += e.name + centralExtra;
    }
    uint32_t directoryOffset = static_cast<uint32_t>(out.size());
    out += directory;
    if (zip64End) {
        uint64_t recordAt = out.size();
        put32(out, 0x06064b50);
        put64(out, 44);
        put16(out, 45);
        put16(out, 45);
        put32(out, 0);
        put32(out, 0);
        put64(out, entries.size());
        put64(out, entries.size());
        put64(out, directory.size());
        put64(out, directoryOffset);
        put32(out, 0x07064b50);
        put32(out, 0);
        put64(out, recordAt);
        put32(out, 1);
    }
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, zip64End ? 0xFFFF : static_cast<uint32_t>(entries.size()));
    put16(out, zip64End ? 0xFFFF : static_cast<uint32_t>(entries.size()));
    put32(out, zip64End ? 0xFFFFFFFFu : static_cast<uint32_t>(directory.size()));
    put32(out, zip64End ? 0xFFFFFFFFu : directoryOffset);
    put16(out, 0);
    zip.bytes = prefix + out;
    return zip;
}

// Where an entry's records start in a zip: "PK\3\4" local header or "PK\1\2" directory record.
size_t recordOf(const std::string& zip, const std::string& name, bool central) {
    std::string signature = central ? std::string("PK\1\2", 4) : std::string("PK\3\4", 4);
    size_t nameAt = central ? 46 : 30;
    for (size_t at = zip.find(signature); at != std::string::npos; at = zip.find(signature, at + 1))
        if (zip.compare(at + nameAt, name.size(), name) == 0) return at;
    return std::string::npos;
}

// ---- Reading ----

// The whole file through an open handle; false when it does not open or read.
bool readEntry(ZResourceArchive& archive, const char* path, std::string& out) {
    std::unique_ptr<ZResourceFile> file(archive.openFile(path));
    if (!file) return false;
    int size = 0;
    if (file->seek(ZResourceWhenceEnd, 0) != ZResourceOk || file->tell(size) != ZResourceOk ||
        file->seek(ZResourceWhenceSet, 0) != ZResourceOk)
        return false;
    out.assign(static_cast<size_t>(size), '\0');
    return size == 0 || file->read(&out[0], static_cast<unsigned long>(size)) == ZResourceOk;
}

bool loadEntry(ZResourceArchive& archive, const char* path, std::string& out) {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!archive.loadFile(path, data, size)) return false;
    out.assign(reinterpret_cast<char*>(data), size);
    delete[] data;
    return true;
}

class ZipTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ZResource::initialize(); }

    std::string save(const std::string& name, const std::string& bytes) {
        std::string path = dir.file(name);
        writeFile(path, bytes);
        return path;
    }

    TempDir dir;
};

// ---- File callbacks ----

using ZipCallbacksTest = ZipTest;

TEST_F(ZipCallbacksTest, OpenOnlyForReadingAndCloseForgetsTheHandle) {
    std::string path = save("ten.bin", "0123456789");
    ZResource* opened = nullptr;

    void* stream = ZZipFileCallbacks::openFile(
        &opened, path.c_str(), ZLIB_FILEFUNC_MODE_READ | ZLIB_FILEFUNC_MODE_EXISTING);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(opened, stream);
    EXPECT_EQ(ZZipFileCallbacks::closeFile(&opened, stream), 0);
    EXPECT_EQ(opened, nullptr);

    std::string created = dir.file("created.bin");
    EXPECT_EQ(ZZipFileCallbacks::openFile(&opened, created.c_str(),
                                          ZLIB_FILEFUNC_MODE_WRITE | ZLIB_FILEFUNC_MODE_CREATE),
              nullptr);
    EXPECT_FALSE(ZResource::stat(created.c_str(), nullptr));
    EXPECT_EQ(ZZipFileCallbacks::openFile(&opened, dir.file("missing.bin").c_str(),
                                          ZLIB_FILEFUNC_MODE_READ),
              nullptr);
    EXPECT_EQ(opened, nullptr);
}

TEST_F(ZipCallbacksTest, ReadsAllOrNothingAndPassesSeekFailuresOn) {
    std::string path = save("ten.bin", "0123456789");
    ZResource handle;
    ASSERT_EQ(handle.open(path.c_str(), ZResourceModeRead), ZResourceOk);
    char buffer[8] = {0};

    EXPECT_EQ(ZZipFileCallbacks::seekFile(nullptr, &handle, 2, ZLIB_FILEFUNC_SEEK_SET), 0);
    EXPECT_EQ(ZZipFileCallbacks::readFile(nullptr, &handle, buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer, 4), "2345");
    EXPECT_EQ(ZZipFileCallbacks::tellFile(nullptr, &handle), 6);
    EXPECT_EQ(ZZipFileCallbacks::seekFile(nullptr, &handle, 3, ZLIB_FILEFUNC_SEEK_CUR), 0);
    EXPECT_EQ(ZZipFileCallbacks::readFile(nullptr, &handle, buffer, 4), 0u);  // 1 of 4 left
    EXPECT_EQ(ZZipFileCallbacks::seekFile(nullptr, &handle, 0, ZLIB_FILEFUNC_SEEK_END), 0);
    EXPECT_EQ(ZZipFileCallbacks::tellFile(nullptr, &handle), 10);
    // The library steps back with a negative offset wrapped into its unsigned type.
    EXPECT_EQ(ZZipFileCallbacks::seekFile(nullptr, &handle, uLong(-4), ZLIB_FILEFUNC_SEEK_CUR), 0);
    EXPECT_EQ(ZZipFileCallbacks::tellFile(nullptr, &handle), 6);
    EXPECT_EQ(ZZipFileCallbacks::seekFile(nullptr, &handle, uLong(-4), ZLIB_FILEFUNC_SEEK_SET), -1);
    EXPECT_EQ(
        ZZipFileCallbacks::seekFile(nullptr, &handle, uLong(INT_MIN) - 1, ZLIB_FILEFUNC_SEEK_CUR),
        -1);

    EXPECT_EQ(ZZipFileCallbacks::seekFile(nullptr, &handle, 0, 7), -1);
    EXPECT_EQ(
        ZZipFileCallbacks::seekFile(nullptr, &handle, uLong(INT_MAX) + 1, ZLIB_FILEFUNC_SEEK_SET),
        -1);
    ZResource closed;  // its seek answers 1000
    EXPECT_EQ(ZZipFileCallbacks::seekFile(nullptr, &closed, 0, ZLIB_FILEFUNC_SEEK_SET), -1);
    EXPECT_EQ(ZZipFileCallbacks::tellFile(nullptr, &closed), 0);
    EXPECT_EQ(ZZipFileCallbacks::readFile(nullptr, &closed, buffer, 1), 0u);
    EXPECT_EQ(ZZipFileCallbacks::writeFile(nullptr, &handle, buffer, 1), 0u);
}

// ---- Archives written by the zip library ----

using ZipArchiveTest = ZipTest;

TEST_F(ZipArchiveTest, ReadsWhatTheZipLibraryWrote) {
    const std::vector<Item> items = {
        {"readme.txt", textFor("readme", 1200)},
        {"stored.bin", noise(3000, 1), 0},
        {"data/", "", 0},
        {"data/game/game.ini", "[config]\nstartscene=start\n"},
        {"empty-stored", "", 0},
        {"empty-deflated", ""},
        {"big.txt", textFor("big", 300000)},
        {std::string(259, 'n'), "longest name"},
    };
    // Names are read into 260 bytes: a longer one is kept cut to 259 characters.
    const std::string overlong = std::string(259, 'x') + "-cut";
    std::vector<Item> written = items;
    written.push_back({overlong, "cut name"});
    std::string path = dir.file("good.zip");
    ASSERT_TRUE(writeZip(path, written));
    ZResourceArchiveZip archive;
    ASSERT_EQ(archive.openArchive(path.c_str(), 0, nullptr), ZResourceOk);

    ASSERT_EQ(archive.entries().count, static_cast<int32_t>(written.size()));
    const ZResourceArchiveZipEntry* entry = archive.entries().head;
    for (const Item& item : items) {
        SCOPED_TRACE(item.name.substr(0, 40));
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(std::string(entry->name), item.name);
        EXPECT_EQ(entry->nameLength, item.name.size());
        EXPECT_EQ(entry->isFolder, item.name.back() == '/');
        EXPECT_EQ(entry->uncompressedSize, item.data.size());
        entry = ZList<ZResourceArchiveZipEntry>::nextOf(entry);
        if (item.name.back() == '/') continue;

        std::string read, loaded;
        EXPECT_TRUE(readEntry(archive, item.name.c_str(), read));
        EXPECT_TRUE(read == item.data);
        EXPECT_TRUE(loadEntry(archive, item.name.c_str(), loaded));
        EXPECT_TRUE(loaded == item.data);
        ZResourceStat stat;
        ASSERT_TRUE(archive.statFile(item.name.c_str(), &stat));
        EXPECT_EQ(stat.size, static_cast<int64_t>(item.data.size()));
        EXPECT_TRUE(stat.isArchived);
    }
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->nameLength, 259u);
    std::string cut;
    EXPECT_TRUE(readEntry(archive, overlong.substr(0, 259).c_str(), cut));
    EXPECT_EQ(cut, "cut name");
    EXPECT_FALSE(readEntry(archive, overlong.c_str(), cut));

    EXPECT_EQ(archive.createFile("readme.txt"), nullptr);  // read-only
}

TEST_F(ZipArchiveTest, MissingAndForeignFilesDoNotOpen) {
    const struct {
        const char* label;
        const char* bytes;  // null: no file
    } cases[] = {
        {"missing", nullptr},
        {"empty", ""},
        {"text", "This is not an archive, just a few words of text.\n"},
        {"tar-like", "ustar\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::string path = dir.file(std::string(c.label) + ".zip");
        if (c.bytes) writeFile(path, c.bytes);
        ZResourceArchiveZip archive;
        EXPECT_EQ(archive.openArchive(path.c_str(), 0, nullptr), ZResourceErrorNoArchive);
        EXPECT_EQ(archive.openFile("anything"), nullptr);
        ZResourceStat stat;
        EXPECT_FALSE(archive.statFile("anything", &stat));
    }
}

TEST_F(ZipArchiveTest, NamesMatchWithoutCaseOverEqualLengths) {
    std::string path = dir.file("case.zip");
    ASSERT_TRUE(writeZip(path, {{"Data/", "", 0}, {"Data/Game/Game.INI", "ini"}}));
    ZResourceArchiveZip archive;
    ASSERT_EQ(archive.openArchive(path.c_str(), 0, nullptr), ZResourceOk);

    const struct {
        const char* path;
        bool opens;
        bool stats;
    } cases[] = {
        {"Data/Game/Game.INI", true, true},
        {"data/game/game.ini", true, true},
        {"DATA/GAME/GAME.INI", true, true},
        {"data/game/game.ini/", false, false},
        {"data/game/game.in", false, false},
        {"data/game/game.ini ", false, false},
        {"data\\game\\game.ini", false, false},
        {"/data/game/game.ini", false, false},
        {"data/", false, true},  // a folder: not opened, but known to stat
        {"DATA/", false, true},
        {"data", false, false},
        {"", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string contents;
        EXPECT_EQ(readEntry(archive, c.path, contents), c.opens);
        EXPECT_EQ(loadEntry(archive, c.path, contents), c.opens);
        ZResourceStat stat = {true, false, 0, -1};
        EXPECT_EQ(archive.statFile(c.path, &stat), c.stats);
        if (c.stats) {
            EXPECT_FALSE(stat.isFolder);  // folders included
        }
    }
}

TEST_F(ZipArchiveTest, OpenFilesShareOneInflationUntilTheLastCloses) {
    std::string contents = textFor("shared", 10000);
    std::string path = dir.file("shared.zip");
    ASSERT_TRUE(writeZip(path, {{"shared.txt", contents}}));
    ZResourceArchiveZip archive;
    ASSERT_EQ(archive.openArchive(path.c_str(), 0, nullptr), ZResourceOk);
    ZResourceArchiveZipEntry* entry = archive.findEntry("shared.txt", true);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->referenceCount, 0);
    EXPECT_EQ(entry->contents, nullptr);

    std::unique_ptr<ZResourceFile> first(archive.openFile("shared.txt"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(entry->referenceCount, 1);
    unsigned char* inflated = entry->contents;
    ASSERT_NE(inflated, nullptr);
    // Marks the shared copy: a second open that inflated again would not see it.
    inflated[0] = '#';
    std::unique_ptr<ZResourceFile> second(archive.openFile("SHARED.TXT"));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(entry->referenceCount, 2);
    EXPECT_EQ(entry->contents, inflated);
    char byte = 0;
    EXPECT_EQ(second->read(&byte, 1), ZResourceOk);
    EXPECT_EQ(byte, '#');

    // A whole-file load inflates on its own and leaves the shared copy alone.
    std::string loaded;
    ASSERT_TRUE(loadEntry(archive, "shared.txt", loaded));
    EXPECT_TRUE(loaded == contents);
    EXPECT_EQ(entry->referenceCount, 2);
    EXPECT_EQ(entry->contents, inflated);

    first.reset();
    EXPECT_EQ(entry->referenceCount, 1);
    EXPECT_EQ(entry->contents, inflated);
    second.reset();
    EXPECT_EQ(entry->referenceCount, 0);
    EXPECT_EQ(entry->contents, nullptr);

    std::string again;
    ASSERT_TRUE(readEntry(archive, "shared.txt", again));
    EXPECT_TRUE(again == contents);
    EXPECT_EQ(entry->contents, nullptr);
}

TEST_F(ZipArchiveTest, FilesOpenWhenTheArchiveGoesStayReadable) {
    std::string contents = textFor("orphan", 3000);
    std::string path = dir.file("orphan.zip");
    ASSERT_TRUE(writeZip(path, {{"orphan.txt", contents}, {"other.txt", "other"}}));
    auto* archive = new ZResourceArchiveZip();
    ASSERT_EQ(archive->openArchive(path.c_str(), 0, nullptr), ZResourceOk);
    std::unique_ptr<ZResourceFile> first(archive->openFile("orphan.txt"));
    std::unique_ptr<ZResourceFile> second(archive->openFile("orphan.txt"));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    delete archive;

    std::string read(contents.size(), '\0');
    EXPECT_EQ(first->read(&read[0], read.size()), ZResourceOk);
    EXPECT_TRUE(read == contents);
    first.reset();
    EXPECT_EQ(second->read(&read[0], read.size()), ZResourceOk);
    EXPECT_TRUE(read == contents);
    second.reset();  // the last one frees the entry
}

TEST_F(ZipArchiveTest, ReadsAtEveryEdge) {
    std::string contents;
    for (int i = 0; i < 100; i++) contents += static_cast<char>('A' + i % 26);
    std::string path = dir.file("edge.zip");
    ASSERT_TRUE(writeZip(path, {{"edge.txt", contents}, {"empty.txt", ""}}));
    ZResourceArchiveZip archive;
    ASSERT_EQ(archive.openArchive(path.c_str(), 0, nullptr), ZResourceOk);

    const struct {
        const char* label;
        const char* name;
        ZResourceWhence whence;
        int offset;
        unsigned long count;
        long result;
        unsigned long copied;  // bytes that came from the entry
        int after;             // position afterwards
    } cases[] = {
        {"whole", "edge.txt", ZResourceWhenceSet, 0, 100, ZResourceOk, 100, 100},
        {"inside", "edge.txt", ZResourceWhenceSet, 10, 20, ZResourceOk, 20, 30},
        {"from the current position", "edge.txt", ZResourceWhenceCurrent, 30, 5, ZResourceOk, 5,
         35},
        {"last bytes from the end", "edge.txt", ZResourceWhenceEnd, -10, 10, ZResourceOk, 10, 100},
        {"runs past the end", "edge.txt", ZResourceWhenceSet, 90, 100, ZResourceErrorShort, 10,
         190},
        {"at the end", "edge.txt", ZResourceWhenceEnd, 0, 100, ZResourceErrorShort, 0, 200},
        {"at the end, nothing asked", "edge.txt", ZResourceWhenceEnd, 0, 0, ZResourceOk, 0, 100},
        {"past the end", "edge.txt", ZResourceWhenceSet, 150, 10, ZResourceErrorShort, 0, 160},
        {"starts before the start", "edge.txt", ZResourceWhenceSet, -5, 10, ZResourceErrorShort, 5,
         5},
        {"wholly before the start", "edge.txt", ZResourceWhenceSet, -100, 10, ZResourceErrorShort,
         0, -90},
        {"before the start, nothing asked", "edge.txt", ZResourceWhenceSet, -5, 0, ZResourceOk, 0,
         -5},
        {"empty entry", "empty.txt", ZResourceWhenceSet, 0, 1, ZResourceErrorShort, 0, 1},
        {"empty entry, nothing asked", "empty.txt", ZResourceWhenceSet, 0, 0, ZResourceOk, 0, 0},
    };
    for (const auto& c : cases) {
        for (bool counting : {false, true}) {
            SCOPED_TRACE(std::string(c.label) + (counting ? " (readAndCount)" : " (read)"));
            std::unique_ptr<ZResourceFile> file(archive.openFile(c.name));
            ASSERT_NE(file, nullptr);
            const std::string& data = std::string(c.name) == "edge.txt" ? contents : "";
            EXPECT_EQ(file->seek(c.whence, c.offset), ZResourceOk);
            int start = 0;
            ASSERT_EQ(file->tell(start), ZResourceOk);

            std::string buffer(c.count + 8, '\xAA');  // the tail must stay untouched
            if (counting) {
                EXPECT_EQ(file->readAndCount(&buffer[0], c.count), c.copied);
            } else {
                EXPECT_EQ(file->read(&buffer[0], c.count), c.result);
            }
            for (unsigned long i = 0; i < c.count; i++) {
                long at = start + static_cast<long>(i);
                char expected = at >= 0 && at < static_cast<long>(data.size()) ? data[at] : '\0';
                ASSERT_EQ(buffer[i], expected) << "byte " << i;
            }
            EXPECT_EQ(buffer.substr(c.count), std::string(8, '\xAA'));
            int after = 0;
            EXPECT_EQ(file->tell(after), ZResourceOk);
            EXPECT_EQ(after, c.after);
        }
    }
}

// Sets TZ for one scope.
class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        const char* old = getenv("TZ");
        m_had = old != nullptr;
        if (old) m_old = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (m_had) {
            setenv("TZ", m_old.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool m_had = false;
    std::string m_old;
};

TEST_F(ZipArchiveTest, StatTakesTheDosTimeAsLocalTime) {
    std::string path = dir.file("times.zip");
    ASSERT_TRUE(writeZip(path, {{"summer.txt", "sun", Z_DEFLATED, kSummer},
                                {"winter.txt", "snow!", Z_DEFLATED, kWinter}}));
    ZResourceArchiveZip archive;
    ASSERT_EQ(archive.openArchive(path.c_str(), 0, nullptr), ZResourceOk);

    const int64_t summerUtc = 1626356730;  // 2021-07-15 13:45:30 UTC
    const int64_t winterUtc = 1578643200;  // 2020-01-10 08:00:00 UTC
    const struct {
        const char* zone;
        const char* name;
        int64_t expected;
    } cases[] = {
        {"UTC0", "summer.txt", summerUtc},
        {"EST5EDT", "summer.txt", summerUtc + 4 * 3600},  // daylight saving time
        {"EST5EDT", "winter.txt", winterUtc + 5 * 3600},
        {"JST-9", "winter.txt", winterUtc - 9 * 3600},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + c.name);
        TimeZone zone(c.zone);
        ZResourceStat stat;
        ASSERT_TRUE(archive.statFile(c.name, &stat));
        EXPECT_EQ(stat.modificationTime, c.expected);
        EXPECT_FALSE(stat.isFolder);
        EXPECT_TRUE(stat.isArchived);
        EXPECT_EQ(stat.size, std::string(c.name) == "summer.txt" ? 3 : 5);
    }
}

TEST_F(ZipArchiveTest, EnumeratesDirectChildrenOfAFolder) {
    std::string path = dir.file("tree.zip");
    ASSERT_TRUE(writeZip(path, {{"data/", "", 0},
                                {"data/a.txt", "a"},
                                {"data/sub/", "", 0},
                                {"data/sub/deep.txt", "d"},
                                {"data/sub/deeper/x.txt", "x"},
                                {"database.txt", "b"},
                                {"other/b.txt", "o"},
                                {"top.txt", "t"}}));
    ZResourceArchiveZip archive;
    ASSERT_EQ(archive.openArchive(path.c_str(), 0, nullptr), ZResourceOk);

    auto collect = [](const char* name, bool isFolder, void* user) {
        *static_cast<std::string*>(user) += std::string(name) + (isFolder ? "(dir) " : " ");
        return true;
    };
    const struct {
        const char* folder;
        const char* listed;
    } cases[] = {
        {"data/", "a.txt sub(dir) "},
        {"DATA/SUB", "deep.txt "},
        {"data", "a.txt sub(dir) base.txt "},  // a plain prefix of the name
        {"", "data(dir) database.txt top.txt "},
        {"other/b.txt", ""},
        {"nothing", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        std::string listed;
        EXPECT_TRUE(archive.enumerateFolder(c.folder, collect, &listed));
        EXPECT_EQ(listed, c.listed);
    }

    int calls = 0;
    auto stop = [](const char*, bool, void* user) {
        ++*static_cast<int*>(user);
        return false;
    };
    EXPECT_FALSE(archive.enumerateFolder("data/", stop, &calls));
    EXPECT_EQ(calls, 1);
}

// ---- Damaged archives ----

TEST_F(ZipArchiveTest, DamagedArchivesFailCleanly) {
    const std::string text = textFor("damaged", 5000);
    const std::string bytes = noise(300000, 5);
    std::string goodPath = dir.file("good.zip");
    ASSERT_TRUE(writeZip(goodPath, {{"a.txt", text}, {"b.bin", bytes, 0}}));
    const std::string good = readFile(goodPath);
    const size_t localA = recordOf(good, "a.txt", false);
    const size_t localB = recordOf(good, "b.bin", false);
    const size_t centralA = recordOf(good, "a.txt", true);
    const size_t centralB = recordOf(good, "b.bin", true);
    const size_t end = good.rfind(std::string("PK\5\6", 4));
    ASSERT_NE(centralB, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    const uint32_t compressedA = get32(good, centralA + 20);

    // Sizes and CRCs sit at the same offsets (from 14) after a local header's and a directory
    // record's first 16 and 20 bytes; a damaged file usually has both wrong.
    auto both = [](std::string& zip, size_t local, size_t central, size_t field, uint32_t value) {
        patch32(zip, local + 14 + field, value);
        patch32(zip, central + 16 + field, value);
    };
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    const long peakBefore = usage.ru_maxrss;
    enum Outcome { kContents, kFails, kMissing };
    const struct {
        const char* label;
        std::function<void(std::string&)> damage;
        long mounted;
        Outcome a;
        Outcome b;
    } cases[] = {
        {"intact", [](std::string&) {}, ZResourceOk, kContents, kContents},
        {"cut in half", [](std::string& z) { z.resize(z.size() / 2); }, ZResourceErrorNoArchive,
         kMissing, kMissing},
        {"directory offset past the end",
         [&](std::string& z) { patch32(z, end + 16, 0x7FFFFFF0u); }, ZResourceErrorNoArchive,
         kMissing, kMissing},
        {"first directory record garbled", [&](std::string& z) { z[centralA] = 'X'; }, ZResourceOk,
         kMissing, kMissing},
        {"second directory record garbled", [&](std::string& z) { z[centralB + 1] = 'X'; },
         ZResourceOk, kContents, kMissing},
        {"deflated data garbled",
         [&](std::string& z) {
             for (size_t i = 40; i < 60; i++) z[localA + 30 + 5 + i] ^= 0x55;
         },
         ZResourceOk, kFails, kContents},
        {"stored data garbled", [&](std::string& z) { z[localB + 30 + 5 + 1000] ^= 1; },
         ZResourceOk, kContents, kFails},
        {"CRC garbled", [&](std::string& z) { both(z, localB, centralB, 0, 0x12345678u); },
         ZResourceOk, kContents, kFails},
        {"size claimed smaller than the data",
         [&](std::string& z) { both(z, localA, centralA, 8, 100); }, ZResourceOk, kFails,
         kContents},
        {"stored size claimed larger than the stored bytes",
         [&](std::string& z) { both(z, localB, centralB, 8, 300001); }, ZResourceOk, kContents,
         kFails},
        {"stored size claimed far beyond the stored bytes",
         [&](std::string& z) { both(z, localB, centralB, 8, 300000000); }, ZResourceOk, kContents,
         kFails},
        {"size beyond what deflate can give",
         [&](std::string& z) { both(z, localA, centralA, 8, compressedA * 1032 + 1025); },
         ZResourceOk, kFails, kContents},
        {"huge claimed size", [&](std::string& z) { both(z, localA, centralA, 8, 0xFFFFFFF0u); },
         ZResourceOk, kFails, kContents},
        {"compressed size past the archive",
         [&](std::string& z) { both(z, localA, centralA, 4, 0x7FFFFFF0u); }, ZResourceOk, kFails,
         kContents},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::string damaged = good;
        c.damage(damaged);
        std::string path = save("damaged.zip", damaged);
        ZResourceArchiveZip archive;
        ASSERT_EQ(archive.openArchive(path.c_str(), 0, nullptr), c.mounted);
        if (c.mounted != ZResourceOk) continue;
        const struct {
            const char* name;
            Outcome outcome;
            const std::string& contents;
        } entries[] = {{"a.txt", c.a, text}, {"b.bin", c.b, bytes}};
        for (const auto& e : entries) {
            SCOPED_TRACE(e.name);
            std::string read, loaded;
            ZResourceStat stat;
            EXPECT_EQ(archive.statFile(e.name, &stat), e.outcome != kMissing);
            EXPECT_EQ(readEntry(archive, e.name, read), e.outcome == kContents);
            EXPECT_EQ(loadEntry(archive, e.name, loaded), e.outcome == kContents);
            if (e.outcome == kContents) {
                EXPECT_TRUE(read == e.contents);
                EXPECT_TRUE(loaded == e.contents);
            }
        }
    }
    // Claimed sizes are refused before anything is allocated for them.
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss - peakBefore, 128L * 1024);  // kilobytes
}

// Whatever one damaged byte or a cut does, an entry either fails or reads exactly as written.
TEST_F(ZipArchiveTest, EveryCutAndFlippedByteGivesAnErrorOrTheTruth) {
    const std::vector<Item> items = {
        {"a.txt", textFor("a", 300)}, {"b.bin", noise(50, 9), 0}, {"d/", "", 0}};
    std::string goodPath = dir.file("small.zip");
    ASSERT_TRUE(writeZip(goodPath, items));
    const std::string good = readFile(goodPath);

    auto check = [&](const std::string& bytes, const std::string& label) {
        std::string path = save("mutant.zip", bytes);
        ZResourceArchiveZip archive;
        long result = archive.openArchive(path.c_str(), 0, nullptr);
        ASSERT_TRUE(result == ZResourceOk || result == ZResourceErrorNoArchive) << label;
        for (const Item& item : items) {
            std::string read, loaded;
            if (readEntry(archive, item.name.c_str(), read)) {
                ASSERT_TRUE(read == item.data) << label << " " << item.name;
            }
            if (loadEntry(archive, item.name.c_str(), loaded)) {
                ASSERT_TRUE(loaded == item.data) << label << " " << item.name;
            }
        }
    };
    for (size_t length = 0; length < good.size(); length++)
        check(good.substr(0, length), "cut at " + std::to_string(length));
    for (size_t at = 0; at < good.size(); at++) {
        std::string flipped = good;
        flipped[at] = static_cast<char>(flipped[at] ^ 0xFF);
        check(flipped, "flipped at " + std::to_string(at));
    }
}

// ---- Encrypted entries ----

TEST_F(ZipArchiveTest, TraditionalEncryption) {
    const std::string text = textFor("secret", 4000);
    const struct {
        const char* label;
        uint16_t method;
        bool descriptor;
        const char* archivePassword;
        const char* entryPassword;
        size_t flip;  // a payload byte to damage; 0 for none
        bool opens;
    } cases[] = {
        {"stored", 0, false, "tazel", "tazel", 0, true},
        {"deflated", Z_DEFLATED, false, "tazel", "tazel", 0, true},
        {"check byte from the time", Z_DEFLATED, true, "tazel", "tazel", 0, true},
        {"wrong password", Z_DEFLATED, false, "tazeI", "tazel", 0, false},
        {"wrong password, stored", 0, false, "tazeI", "tazel", 0, false},
        {"no password", Z_DEFLATED, false, nullptr, "tazel", 0, false},
        {"damaged body", 0, false, "tazel", "tazel", 100, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        RawEntry secret{"secret.txt", text, c.method, RawEntry::kTraditional, c.entryPassword};
        secret.descriptor = c.descriptor;
        RawZip zip = buildZip({secret, {"plain.txt", "not encrypted"}});
        if (c.flip) zip.bytes[zip.payload[0] + c.flip] ^= 0x20;
        std::string path = save("traditional.zip", zip.bytes);
        ZResourceArchiveZip archive;
        ASSERT_EQ(archive.openArchive(path.c_str(), 0, c.archivePassword), ZResourceOk);

        std::string read, loaded;
        EXPECT_EQ(readEntry(archive, "secret.txt", read), c.opens);
        EXPECT_EQ(loadEntry(archive, "secret.txt", loaded), c.opens);
        if (c.opens) {
            EXPECT_TRUE(read == text);
            EXPECT_TRUE(loaded == text);
        }
        // The password is for the encrypted entries only.
        EXPECT_TRUE(readEntry(archive, "plain.txt", read));
        EXPECT_EQ(read, "not encrypted");
    }
}

TEST_F(ZipArchiveTest, AesEntries) {
    const std::string longPassword = textFor("password", 300);
    enum Tamper { kNone, kSalt, kVerifier, kBody, kCode };
    const struct {
        const char* label;
        int strength;
        uint16_t method;
        int version;
        std::string data;
        std::string archivePassword;
        std::string entryPassword;
        Tamper tamper;
        bool wrongCrc;
        std::string prefix;
        bool opens;
    } cases[] = {
        {"AES-128 stored", 1, 0, 2, noise(1000, 1), "pw", "pw", kNone, false, "", true},
        {"AES-256 deflated", 3, Z_DEFLATED, 2, textFor("aes", 60000), "pw", "pw", kNone, false, "",
         true},
        {"AES-192 deflated, CRC kept", 2, Z_DEFLATED, 1, textFor("crc", 3000), "pw", "pw", kNone,
         false, "", true},
        // Past 256 blocks the counter carries into its second byte.
        {"AES-128 stored, long", 1, 0, 2, noise(10000, 2), "pw", "pw", kNone, false, "", true},
        {"AES-256 empty", 3, Z_DEFLATED, 2, "", "pw", "pw", kNone, false, "", true},
        {"data before the zip", 3, Z_DEFLATED, 2, textFor("stub", 2000), "pw", "pw", kNone, false,
         noise(333, 4), true},
        {"password kept to 255 characters", 1, Z_DEFLATED, 2, textFor("long", 500), longPassword,
         longPassword.substr(0, 255), kNone, false, "", true},
        {"wrong password", 1, Z_DEFLATED, 2, textFor("a", 500), "pW", "pw", kNone, false, "",
         false},
        {"no password", 1, Z_DEFLATED, 2, textFor("a", 500), "", "pw", kNone, false, "", false},
        {"salt tampered", 1, 0, 2, noise(500, 6), "pw", "pw", kSalt, false, "", false},
        {"verifier tampered", 1, 0, 2, noise(500, 6), "pw", "pw", kVerifier, false, "", false},
        {"data tampered", 3, 0, 2, noise(500, 6), "pw", "pw", kBody, false, "", false},
        {"authentication code tampered", 3, Z_DEFLATED, 2, textFor("b", 500), "pw", "pw", kCode,
         false, "", false},
        {"CRC kept but wrong", 2, Z_DEFLATED, 1, textFor("c", 500), "pw", "pw", kNone, true, "",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        RawEntry secret{"secret.bin", c.data, c.method, RawEntry::kAes, c.entryPassword};
        secret.strength = c.strength;
        secret.aesVersion = c.version;
        secret.wrongCrc = c.wrongCrc;
        RawZip zip = buildZip({{"plain.txt", "in the clear"}, secret}, c.prefix);
        size_t salt = 4 + 4 * static_cast<size_t>(c.strength);
        size_t at = zip.payload[1];
        switch (c.tamper) {
            case kNone:
                break;
            case kSalt:
                zip.bytes[at] ^= 1;
                break;
            case kVerifier:
                zip.bytes[at + salt] ^= 1;
                break;
            case kBody:
                zip.bytes[at + salt + 2 + 7] ^= 1;
                break;
            case kCode:
                zip.bytes[at + zip.payloadLength[1] - 1] ^= 1;
                break;
        }
        std::string path = save("aes.zip", zip.bytes);
        ZResourceArchiveZip archive;
        ASSERT_EQ(archive.openArchive(path.c_str(), 0, c.archivePassword.c_str()), ZResourceOk);

        ZResourceStat stat;
        ASSERT_TRUE(archive.statFile("secret.bin", &stat));
        EXPECT_EQ(stat.size, static_cast<int64_t>(c.data.size()));
        std::string read, loaded;
        EXPECT_EQ(readEntry(archive, "secret.bin", read), c.opens);
        EXPECT_EQ(loadEntry(archive, "secret.bin", loaded), c.opens);
        if (c.opens) {
            EXPECT_TRUE(read == c.data);
            EXPECT_TRUE(loaded == c.data);
        }
        EXPECT_TRUE(readEntry(archive, "plain.txt", read));
        EXPECT_EQ(read, "in the clear");
    }
}

TEST_F(ZipArchiveTest, AesSizeClaimsAreCheckedAgainstTheArchive) {
    RawEntry secret{"secret.bin", noise(400, 8), 0, RawEntry::kAes, "pw"};
    const RawZip zip = buildZip({secret});
    const size_t central = recordOf(zip.bytes, "secret.bin", true);
    const size_t local = recordOf(zip.bytes, "secret.bin", false);
    const struct {
        const char* label;
        size_t field;  // from the size fields' start: 0 compressed, 4 uncompressed
        uint32_t value;
    } cases[] = {
        {"compressed past the archive", 0, 0x7FFFFF00u},
        {"compressed shorter than salt, verifier and code", 0, 20},
        {"stored size other than the data", 4, 401},
        {"huge uncompressed", 4, 0xFFFFFFF0u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::string bytes = zip.bytes;
        patch32(bytes, central + 20 + c.field, c.value);
        patch32(bytes, local + 18 + c.field, c.value);
        std::string path = save("claims.zip", bytes);
        ZResourceArchiveZip archive;
        ASSERT_EQ(archive.openArchive(path.c_str(), 0, "pw"), ZResourceOk);
        std::string contents;
        EXPECT_FALSE(readEntry(archive, "secret.bin", contents));
        EXPECT_FALSE(loadEntry(archive, "secret.bin", contents));
    }
}

// ---- Zip64 ----

TEST_F(ZipArchiveTest, Zip64FieldsGiveTheRealSizesAndOffsets) {
    const std::string text = textFor("zip64", 7000);
    const std::string bytes = noise(900, 12);
    const int kAll = kZip64Size | kZip64Compressed | kZip64Offset;
    const struct {
        const char* label;
        int zip64;
        uint16_t method;
        RawEntry::Crypt crypt;
        bool descriptor;
        bool end64;
    } cases[] = {
        // What zip -fz writes: the uncompressed size alone, and the 64-bit end records.
        {"uncompressed size, deflated", kZip64Size, Z_DEFLATED, RawEntry::kPlain, false, true},
        {"uncompressed size, stored", kZip64Size, 0, RawEntry::kPlain, false, false},
        {"both sizes", kZip64Size | kZip64Compressed, Z_DEFLATED, RawEntry::kPlain, false, false},
        {"offset alone", kZip64Offset, 0, RawEntry::kPlain, false, true},
        {"sizes and offset", kAll, Z_DEFLATED, RawEntry::kPlain, false, true},
        {"sizes after the data", kAll, Z_DEFLATED, RawEntry::kPlain, true, false},
        {"traditional encryption", kAll, Z_DEFLATED, RawEntry::kTraditional, false, true},
        {"AES", kZip64Size | kZip64Compressed, Z_DEFLATED, RawEntry::kAes, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        RawEntry first{"first.txt", text, c.method, c.crypt, "pw"};
        first.zip64 = c.zip64;
        first.descriptor = c.descriptor && c.crypt == RawEntry::kPlain;
        RawEntry second{"second.bin", bytes, 0};
        second.zip64 = c.zip64;
        RawEntry plain{"plain.txt", "no zip64 here"};
        std::string path = save("zip64.zip", buildZip({first, second, plain}, "", c.end64).bytes);
        ZResourceArchiveZip archive;
        ASSERT_EQ(archive.openArchive(path.c_str(), 0, "pw"), ZResourceOk);
        ASSERT_EQ(archive.entries().count, 3);
        for (const auto& [name, contents] : std::vector<std::pair<const char*, std::string>>{
                 {"first.txt", text}, {"second.bin", bytes}, {"plain.txt", "no zip64 here"}}) {
            SCOPED_TRACE(name);
            ZResourceStat stat;
            ASSERT_TRUE(archive.statFile(name, &stat));
            EXPECT_EQ(stat.size, static_cast<int64_t>(contents.size()));
            std::string read, loaded;
            EXPECT_TRUE(readEntry(archive, name, read));
            EXPECT_TRUE(read == contents);
            EXPECT_TRUE(loadEntry(archive, name, loaded));
            EXPECT_TRUE(loaded == contents);
        }
    }
}

// A zip64 field that lies fails the entry; it never reads as other bytes.
TEST_F(ZipArchiveTest, DamagedZip64FieldsFailCleanly) {
    const std::string text = textFor("lies", 3000);
    RawEntry entry{"entry.txt", text};
    entry.zip64 = kZip64Size | kZip64Compressed | kZip64Offset;
    const RawZip zip = buildZip({entry, {"after.txt", "after"}});
    const size_t central = recordOf(zip.bytes, "entry.txt", true);
    const size_t field = central + 46 + entry.name.size();  // the zip64 field's id
    const uint32_t compressed = static_cast<uint32_t>(zip.payloadLength[0]);
    const struct {
        const char* label;
        size_t at;  // from the field's id
        uint32_t value;
        bool write16;
    } cases[] = {
        {"field shorter than its values", 2, 16, true},
        {"field id changed", 0, 0x0002, true},
        {"uncompressed size larger", 4, static_cast<uint32_t>(text.size() + 1), false},
        {"uncompressed size smaller", 4, static_cast<uint32_t>(text.size() - 1), false},
        {"compressed size past the archive", 12, 0x7FFFFF00u, false},
        {"compressed size short", 12, compressed - 1, false},
        {"offset past the archive", 20, 0x7FFFFF00u, false},
        {"offset of another header", 20,
         static_cast<uint32_t>(recordOf(zip.bytes, "after.txt", false)), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::string bytes = zip.bytes;
        if (c.write16) {
            bytes[field + c.at] = static_cast<char>(c.value & 0xff);
            bytes[field + c.at + 1] = static_cast<char>(c.value >> 8);
        } else {
            patch32(bytes, field + c.at, c.value);
        }
        std::string path = save("lies.zip", bytes);
        ZResourceArchiveZip archive;
        ASSERT_EQ(archive.openArchive(path.c_str(), 0, nullptr), ZResourceOk);
        std::string read;
        EXPECT_FALSE(readEntry(archive, "entry.txt", read));
        EXPECT_FALSE(loadEntry(archive, "entry.txt", read));
        EXPECT_TRUE(readEntry(archive, "after.txt", read));
        EXPECT_EQ(read, "after");
    }
}

// ---- Zips made by other tools ----

TEST_F(ZipArchiveTest, ZipsMadeByOtherToolsReadAsTheirSources) {
    using namespace ArchiveFixtures;
    const std::vector<std::string> all = allFiles();
    const std::vector<std::string> folders = allFolders();
    const struct {
        const char* file;
        const char* password;
        std::vector<std::string> files;
        std::vector<std::string> folders;
    } cases[] = {
        {"infozip.zip", nullptr, all, folders},
        {"infozip-zip64.zip", nullptr, all, folders},
        {"infozip-stream.zip", nullptr, all, folders},
        {"infozip-encrypted.zip", "secret", {"a.txt", "text.txt", "noise.bin"}, {}},
        {"7z.zip", nullptr, {"a.txt", "text.txt", "noise.bin", "sub/c.txt"}, {"sub/"}},
        {"7z-aes.zip", "secret", {"a.txt", "text.txt"}, {}},
        {"empty.zip", nullptr, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ZResourceArchiveZip archive;
        ASSERT_EQ(archive.openArchive(path(c.file).c_str(), 0, c.password), ZResourceOk);
        EXPECT_EQ(archive.entries().count, static_cast<int32_t>(c.files.size() + c.folders.size()));
        for (const std::string& name : c.files) {
            SCOPED_TRACE(name);
            const std::string expected = source(name);
            std::string read, loaded;
            EXPECT_TRUE(readEntry(archive, name.c_str(), read));
            EXPECT_TRUE(read == expected);
            EXPECT_TRUE(loadEntry(archive, name.c_str(), loaded));
            EXPECT_TRUE(loaded == expected);
            ZResourceStat stat;
            ASSERT_TRUE(archive.statFile(name.c_str(), &stat));
            EXPECT_EQ(stat.size, static_cast<int64_t>(expected.size()));
        }
        for (const std::string& name : c.folders) {
            ZResourceStat stat;
            EXPECT_TRUE(archive.statFile(name.c_str(), &stat)) << name;
        }
    }
}

TEST_F(ZipArchiveTest, EntriesThatCannotBeReadSayWhy) {
    using namespace ArchiveFixtures;
    const struct {
        const char* file;
        const char* password;
        const char* entry;
        const char* why;
    } cases[] = {
        {"7z-deflate64.zip", nullptr, "text.txt",
         "uses unsupported compression method 9 (Deflate64)"},
        {"7z-bzip2.zip", nullptr, "text.txt", "uses unsupported compression method 12 (BZip2)"},
        {"7z-lzma.zip", nullptr, "text.txt", "uses unsupported compression method 14 (LZMA)"},
        {"7z-ppmd.zip", nullptr, "text.txt", "uses unsupported compression method 98 (PPMd)"},
        {"infozip-encrypted.zip", nullptr, "text.txt", "is encrypted and no password was given"},
        {"infozip-encrypted.zip", "Secret", "text.txt", "was not decrypted: wrong password"},
        {"7z-aes.zip", nullptr, "a.txt", "is encrypted and no password was given"},
        {"7z-aes.zip", "Secret", "a.txt", "was not decrypted: wrong password"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + (c.password ? c.password : "(none)"));
        std::string file = path(c.file);
        ZResourceArchiveZip archive;
        ASSERT_EQ(archive.openArchive(file.c_str(), 0, c.password), ZResourceOk);
        std::vector<std::string> messages = loggedMessages([&] {
            std::string contents;
            EXPECT_FALSE(readEntry(archive, c.entry, contents));
            EXPECT_FALSE(loadEntry(archive, c.entry, contents));
        });
        std::string expected = std::string("Resource: '") + c.entry + "' in archive '" + file +
                               "' " + c.why + ", ERROR";
        EXPECT_EQ(messages, (std::vector<std::string>{expected, expected}));
    }
}

TEST_F(ZipArchiveTest, ZipOfNothingButItsEndRecordMountsEmpty) {
    std::string endRecord = buildZip({}).bytes;
    ASSERT_EQ(endRecord.size(), 22u);
    std::string withComment = endRecord;
    withComment[20] = 5;
    withComment += "hello";
    std::string wrongComment = withComment + "!";
    std::string counted = endRecord;
    counted[8] = counted[10] = 1;
    const struct {
        const char* label;
        std::string bytes;
        long result;
    } cases[] = {
        {"end record", endRecord, ZResourceOk},
        {"with its comment", withComment, ZResourceOk},
        {"with more than its comment", wrongComment, ZResourceErrorNoArchive},
        {"counting an entry", counted, ZResourceErrorNoArchive},
        {"cut short", endRecord.substr(0, 21), ZResourceErrorNoArchive},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::string path = save("empty.zip", c.bytes);
        ZResourceArchiveZip archive;
        EXPECT_EQ(archive.openArchive(path.c_str(), 0, nullptr), c.result);
        EXPECT_EQ(archive.entries().count, 0);
        ZResourceStat stat;
        EXPECT_FALSE(archive.statFile("", &stat));
        EXPECT_EQ(archive.openFile("a"), nullptr);
        int listed = 0;
        auto count = [](const char*, bool, void* user) {
            ++*static_cast<int*>(user);
            return true;
        };
        EXPECT_TRUE(archive.enumerateFolder("", count, &listed));
        EXPECT_EQ(listed, 0);
    }
}

// ---- Process-wide state and threads ----

TEST_F(ZipArchiveTest, LockLivesFromTheFirstToTheLastZipArchive) {
    ASSERT_EQ(ZResourceArchiveZip::globalLock(), nullptr);
    auto* first = new ZResourceArchiveZip();
    ZSysLock* lock = ZResourceArchiveZip::globalLock();
    EXPECT_NE(lock, nullptr);
    auto* second = new ZResourceArchiveZip();
    EXPECT_EQ(ZResourceArchiveZip::globalLock(), lock);
    delete first;
    EXPECT_EQ(ZResourceArchiveZip::globalLock(), lock);
    delete second;
    EXPECT_EQ(ZResourceArchiveZip::globalLock(), nullptr);
}

TEST_F(ZipArchiveTest, ThreadsOpenAndReadEntriesConcurrently) {
    std::vector<Item> items;
    for (int i = 0; i < 24; i++) {
        std::string name = "t" + std::to_string(i) + ".bin";
        size_t size = 1 + static_cast<size_t>(i) * 5003;
        items.push_back({name, i % 3 ? textFor(name, size) : noise(size, i), i % 2 ? 0 : 8});
    }
    std::string path = dir.file("threads.zip");
    ASSERT_TRUE(writeZip(path, items));
    ZResourceArchiveZip archive;
    ASSERT_EQ(archive.openArchive(path.c_str(), 0, nullptr), ZResourceOk);

    std::atomic<int> wrong{0};
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; t++) {
        threads.emplace_back([&, t] {
            uint32_t state = 12345u + static_cast<uint32_t>(t);
            auto next = [&state] {
                state = state * 1664525u + 1013904223u;
                return state >> 8;
            };
            for (int round = 0; round < 40; round++) {
                const Item& a = items[next() % items.size()];
                const Item& b = items[next() % items.size()];
                if (next() % 4 == 0) {
                    std::string loaded;
                    if (!loadEntry(archive, a.name.c_str(), loaded)) failed++;
                    if (loaded != a.data) wrong++;
                    continue;
                }
                // Two files open at once, read in uneven pieces.
                std::unique_ptr<ZResourceFile> first(archive.openFile(a.name.c_str()));
                std::unique_ptr<ZResourceFile> second(archive.openFile(b.name.c_str()));
                if (!first || !second) {
                    failed++;
                    continue;
                }
                std::string read(a.data.size(), '\0');
                for (size_t done = 0; done < read.size();) {
                    size_t piece = std::min<size_t>(1 + next() % 9000, read.size() - done);
                    if (first->read(&read[done], piece) != ZResourceOk) failed++;
                    done += piece;
                }
                if (read != a.data) wrong++;
                std::string other(b.data.size(), '\0');
                if (second->read(&other[0], other.size()) != ZResourceOk || other != b.data)
                    wrong++;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failed.load(), 0);
    EXPECT_EQ(wrong.load(), 0);
    for (const ZResourceArchiveZipEntry* entry : archive.entries()) {
        EXPECT_EQ(entry->referenceCount, 0) << entry->name;
        EXPECT_EQ(entry->contents, nullptr) << entry->name;
    }
}

// ---- Through the file system ----
// Mounts and the log are process-wide: these run in a child process (threadsafe death tests
// re-execute the program) that reports on standard error.

class ZipArchiveDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
    TempDir dir{"BRAMBLE_TEST_DEATH_DIR"};
};

TEST_F(ZipArchiveDeathTest, LogsTheNumberOfEntries) {
    std::string none = dir.file("none.zip");
    std::string bare = dir.file("bare.zip");
    std::string one = dir.file("one.zip");
    std::string three = dir.file("three.zip");
    writeFile(none, buildZip({}, "#!stub\n").bytes);
    writeFile(bare, buildZip({}).bytes);  // the end record alone
    ASSERT_TRUE(writeZip(one, {{"a", "a"}}));
    ASSERT_TRUE(writeZip(three, {{"a", "a"}, {"b/", "", 0}, {"b/c", "c"}}));
    std::string log = dir.file("log.txt");
    EXPECT_EXIT(
        {
            ZResource::initialize();
            ZCore::enableLog(log.c_str(), "G", "V", false);
            for (const std::string& path : {none, bare, one, three}) {
                ZResourceArchiveZip archive;
                archive.openArchive(path.c_str(), 0, nullptr);
            }
            ZCore::disableLog();
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "");

    std::string text = readFile(log);
    SCOPED_TRACE(text);
    EXPECT_NE(text.find(": Resource: added archive '" + none + "' with 0 entries\n"),
              std::string::npos);
    EXPECT_NE(text.find(": Resource: added archive '" + bare + "' with 0 entries\n"),
              std::string::npos);
    EXPECT_NE(text.find(": Resource: added archive '" + one + "' with 1 entry\n"),
              std::string::npos);
    EXPECT_NE(text.find(": Resource: added archive '" + three + "' with 3 entries\n"),
              std::string::npos);
}

// The file system hands archives the whole request: one longer than any name a zip entry keeps
// finds nothing, even where an entry's name is its first 259 characters.
TEST_F(ZipArchiveDeathTest, RequestsLongerThanAnyKeptNameFindNothing) {
    const std::string kept(259, 'k');
    const std::string overlong = kept + "-overlong";
    std::string zip = dir.file("long.zip");
    ASSERT_TRUE(writeZip(zip, {{kept, "kept"}}));
    EXPECT_EXIT(
        {
            ZResource::initialize();
            bool mounted = ZResource::addArchive(zip.c_str(), 0, nullptr) == ZResourceOk;
            ZResource file;
            bool keptOpens = file.open(kept.c_str(), ZResourceModeRead) == ZResourceOk;
            bool longerOpens = file.open(overlong.c_str(), ZResourceModeRead) == ZResourceOk;
            unsigned char* data = nullptr;
            unsigned long size = 0;
            bool longerLoads = ZResource::loadResource(overlong.c_str(), data, size);
            bool longerStats = ZResource::stat(overlong.c_str(), nullptr);
            fprintf(stderr, "mounted=%d kept=%d longer=%d%d%d\n", mounted, keptOpens, longerOpens,
                    longerLoads, longerStats);
            exit(0);
        },
        ::testing::ExitedWithCode(0), "mounted=1 kept=1 longer=000");
}

TEST_F(ZipArchiveDeathTest, ArchivesOfOtherToolsMountAndReadThroughTheFileSystem) {
    using namespace ArchiveFixtures;
    auto child = [] {
        ZResource::initialize();
        int mounted = 0, wrong = 0;
        for (const char* file : {"empty.zip", "infozip-zip64.zip", "posix.tar"})
            mounted += ZResource::addArchive(path(file).c_str(), 0, nullptr) == ZResourceOk;
        // hard.txt is in the tar only.
        std::vector<std::pair<std::string, std::string>> files = {{"hard.txt", "a.txt"}};
        for (const std::string& name : allFiles()) files.push_back({name, name});
        for (const auto& [name, sourceName] : files) {
            std::string expected = source(sourceName);
            ZResource file;
            std::string read(expected.size(), '\0');
            unsigned char* data = nullptr;
            unsigned long size = 0;
            bool ok = file.open(name.c_str(), ZResourceModeRead) == ZResourceOk &&
                      file.read(&read[0], read.size()) == ZResourceOk && read == expected &&
                      ZResource::loadResource(name.c_str(), data, size) &&
                      std::string(reinterpret_cast<char*>(data), size) == expected;
            delete[] data;
            if (!ok) {
                fprintf(stderr, "wrong: %s\n", name.c_str());
                wrong++;
            }
        }
        fprintf(stderr, "mounted=%d wrong=%d\n", mounted, wrong);
        exit(0);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "mounted=3 wrong=0");
}

TEST_F(ZipArchiveDeathTest, ZipInsideAMountedArchiveIsReadThroughTheFileSystem) {
    const std::string ini = "[config]\nstartscene=start\n" + textFor("ini", 5000);
    const std::string other = textFor("other", 700);
    std::string innerPath = dir.file("inner.zip");
    ASSERT_TRUE(writeZip(innerPath, {{"data/", "", 0}, {"data/game/game.ini", ini}}));
    std::string outer = dir.file("outer.zip");
    ASSERT_TRUE(writeZip(outer, {{"inner.zip", readFile(innerPath)}, {"other.txt", other}}));
    remove(innerPath.c_str());  // only the copy inside the outer archive remains

    EXPECT_EXIT(
        {
            ZResource::initialize();
            bool mounted = ZResource::addArchive(outer.c_str(), 0, nullptr) == ZResourceOk &&
                           ZResource::addArchive("inner.zip", 0, nullptr) == ZResourceOk;

            ZResource file;
            std::string read(ini.size(), '\0');
            bool opened = file.open("DATA\\Game\\game.INI", ZResourceModeRead) == ZResourceOk &&
                          file.read(&read[0], read.size()) == ZResourceOk && read == ini;
            char past[4];
            bool shortRead = file.read(past, sizeof(past)) == ZResourceErrorShort;
            file.close();

            ZResourceStat stat;
            bool stated = ZResource::stat("data/game/game.ini", &stat) && stat.isArchived &&
                          stat.size == static_cast<int64_t>(ini.size());
            unsigned char* data = nullptr;
            unsigned long size = 0;
            bool loaded = ZResource::loadResource("other.txt", data, size) &&
                          std::string(reinterpret_cast<char*>(data), size) == other;
            delete[] data;
            fprintf(stderr, "mounted=%d opened=%d short=%d stated=%d loaded=%d\n", mounted, opened,
                    shortRead, stated, loaded);
            exit(0);
        },
        ::testing::ExitedWithCode(0), "mounted=1 opened=1 short=1 stated=1 loaded=1");
}

}  // namespace
