#include "ZIniReader.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "DecimalCommaLocale.h"
#include "TempDir.h"
#include "ZCore.h"
#include "ZRandom.h"

namespace {

using Bytes = std::string;

uint32_t le32(const Bytes& bytes, size_t offset) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; i--) value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

void putLe32(Bytes& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; i++) bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

Bytes le32Bytes(uint32_t value) {
    Bytes bytes(4, '\0');
    putLe32(bytes, 0, value);
    return bytes;
}

// The first draws of the shared generator after seeding it; the generator is left seeded again
// so that the code under test draws exactly these.
std::vector<uint32_t> drawsAfterSeed(unsigned long seed, size_t count) {
    ZRandom::seed(seed);
    std::vector<uint32_t> draws;
    for (size_t i = 0; i < count; i++) draws.push_back(static_cast<uint32_t>(ZRandom::getRandom()));
    ZRandom::seed(seed);
    return draws;
}

struct Setting {
    const char* section;
    const char* key;
    std::string value;
};

// The entry block a hashed file must hold for these settings, in order.
Bytes entryBlock(uint32_t salt, const std::vector<Setting>& settings) {
    Bytes block;
    for (const Setting& s : settings) {
        block += le32Bytes(ZIniReader::hashIniSectionKey(salt, s.section, s.key));
        block += static_cast<char>(s.value.size());
        block += s.value;
    }
    return block;
}

Bytes inflateAll(const Bytes& stream, size_t plainLength) {
    Bytes plain(plainLength, '\0');
    uLongf size = plainLength;
    int result = uncompress(reinterpret_cast<Bytef*>(&plain[0]), &size,
                            reinterpret_cast<const Bytef*>(stream.data()), stream.size());
    if (result != Z_OK) return "inflate failed";
    plain.resize(size);
    return plain;
}

Bytes aesEcbDecrypt(const Bytes& data, const Bytes& key) {
    const EVP_CIPHER* cipher = key.size() == 16   ? EVP_aes_128_ecb()
                               : key.size() == 24 ? EVP_aes_192_ecb()
                                                  : EVP_aes_256_ecb();
    Bytes plain(data.size(), '\0');
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    int length = 0;
    EVP_DecryptInit_ex(context, cipher, nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                       nullptr);
    EVP_CIPHER_CTX_set_padding(context, 0);
    EVP_DecryptUpdate(context, reinterpret_cast<unsigned char*>(&plain[0]), &length,
                      reinterpret_cast<const unsigned char*>(data.data()),
                      static_cast<int>(data.size()));
    EVP_CIPHER_CTX_free(context);
    return plain;
}

std::string lookup(const ZIniReader& ini, const char* section, const char* key) {
    char buffer[300];
    if (!ini.getString(section, key, buffer, sizeof(buffer))) return "<absent>";
    return buffer;
}

class ZIniReaderTest : public ::testing::Test {
protected:
    // A reader of the text, read from a real file.
    void readText(ZIniReader& ini, const Bytes& text) {
        std::string path = dir.file("text.ini");
        writeFile(path, text);
        ASSERT_TRUE(ini.setIni(path.c_str(), nullptr, 0));
    }

    TempDir dir;
};

// ---- Text form ----

TEST_F(ZIniReaderTest, TextGrammarTakesLinesExactlyAsWritten) {
    struct Case {
        const char* name;
        Bytes text;
        std::string section;
        std::string key;
        std::string expected;  // "<absent>" when not found
    };
    const std::string x300(300, 'x'), k300(300, 'k'), s300(300, 's');
    const Case cases[] = {
        {"blanks around '=' belong to key and value", "[main]\na = b\n", "main", "a ", " b"},
        {"the trimmed key is another key", "[main]\na = b\n", "main", "a", "<absent>"},
        {"line without '=' has the empty value", "[s]\nflag\n", "s", "flag", ""},
        {"text after ']' is a further line", "[s] word\n", "s", " word", ""},
        {"no comment syntax", "[s]\n;note=1\n", "s", ";note", "1"},
        {"quotes stay", "[s]\nk=\"v\"\n", "s", "k", "\"v\""},
        {"value keeps later '='", "[s]\nk=a=b\n", "s", "k", "a=b"},
        {"empty key", "[s]\n=v\n", "s", "", "v"},
        {"before the first section", "k=top\n[s]\n", "", "k", "top"},
        {"last value wins", "[s]\nk=1\nk=2\n", "s", "k", "2"},
        {"reopened section", "[a]\nk=1\n[b]\nk=2\n[a]\nk=3\n", "a", "k", "3"},
        {"CR, LF and blank lines", "\r\n\r\n[s]\r\n\r\nk=v\r\n", "s", "k", "v"},
        {"no final newline", "[s]\nk=v", "s", "k", "v"},
        {"unclosed section name", "[open\nk=v\n", "open", "k", "v"},
        {"two section names on a line", "[a][b]\nk=v\n", "b", "k", "v"},
        {"section case matters", "[Sec]\nKey=v\n", "sec", "Key", "<absent>"},
        {"key case matters", "[Sec]\nKey=v\n", "Sec", "key", "<absent>"},
        {"NUL ends the text", Bytes("[s]\nk=v\0j=w\n", 12), "s", "j", "<absent>"},
        {"value cut at 255", "[s]\nk=" + x300 + "\n", "s", "k", x300.substr(0, 255)},
        {"key cut at 255", "[s]\n" + k300 + "=v\n", "s", k300.substr(0, 255), "v"},
        {"section cut at 255", "[" + s300 + "]\nk=v\n", s300.substr(0, 255), "k", "v"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZIniReader fromFile;
        readText(fromFile, c.text);
        EXPECT_FALSE(fromFile.isBinary());
        EXPECT_EQ(lookup(fromFile, c.section.c_str(), c.key.c_str()), c.expected);
        EXPECT_EQ(fromFile.hasValue(c.section.c_str(), c.key.c_str()), c.expected != "<absent>");

        ZIniReader fromMemory;
        EXPECT_TRUE(fromMemory.setIni(c.text.data(), static_cast<long>(c.text.size()), nullptr, 0));
        EXPECT_EQ(lookup(fromMemory, c.section.c_str(), c.key.c_str()), c.expected);
    }
}

TEST_F(ZIniReaderTest, UnreadableOrEmptyFileGivesFalse) {
    writeFile(dir.file("empty.ini"), "");
    ZIniReader ini;
    EXPECT_FALSE(ini.setIni(dir.file("empty.ini").c_str(), nullptr, 0));
    EXPECT_FALSE(ini.setIni(dir.file("missing.ini").c_str(), nullptr, 0));
    EXPECT_FALSE(ini.setIni(dir.path().c_str(), nullptr, 0));
    EXPECT_FALSE(ini.setIni(static_cast<const char*>(nullptr), nullptr, 0));
    // From memory every block is accepted, even none.
    EXPECT_TRUE(ini.setIni(nullptr, -5, nullptr, 0));
    EXPECT_FALSE(ini.hasValue("", ""));
}

TEST_F(ZIniReaderTest, NumbersConvertFromTheStartOfTheValue) {
    ZIniReader ini;
    readText(ini, "[n]\nint=42\nneg=-7x\nword=abc\nspace=  3\nfloat=1.5\nexp=-2.5e2z\n");
    EXPECT_EQ(ini.getValue("n", "int", 9), 42);
    EXPECT_EQ(ini.getValue("n", "neg", 9), -7);
    EXPECT_EQ(ini.getValue("n", "word", 9), 0);
    EXPECT_EQ(ini.getValue("n", "space", 9), 3);
    EXPECT_EQ(ini.getValue("n", "absent", 9), 9);
    EXPECT_EQ(ini.getFloatValue("n", "float", 9.0f), 1.5f);
    EXPECT_EQ(ini.getFloatValue("n", "exp", 9.0f), -250.0f);
    EXPECT_EQ(ini.getFloatValue("n", "word", 9.0f), 0.0f);
    EXPECT_EQ(ini.getFloatValue("N", "float", 9.0f), 9.0f);
}

TEST(ZIniReaderNumberTest, AtofNoLocaleReadsWithADotUnderAnyLocale) {
    struct Case {
        const char* text;
        double expected;
    };
    const Case cases[] = {
        {"1.5", 1.5}, {"  2.25xyz", 2.25}, {"-3e2", -300.0}, {"1,5", 1.0},
        {"abc", 0.0}, {"", 0.0},           {nullptr, 0.0},
    };
    auto check = [&cases] {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.text ? c.text : "(null)");
            EXPECT_EQ(ZIniReader::atofNoLocale(c.text), c.expected);
        }
    };
    check();
    DecimalCommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << comma.reason();
    ASSERT_EQ(atof("1.5"), 1.0);  // the locale really reads a comma
    check();
}

TEST_F(ZIniReaderTest, NumbersAreWrittenWithADotUnderAnyLocale) {
    DecimalCommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << comma.reason();
    ZIniReader ini;
    ASSERT_TRUE(ini.setFloatValue("n", "f", 1.5f));
    ASSERT_TRUE(ini.setFormattedValue("n", "g", "%g|%.2f", 2.5, 0.25));
    ASSERT_TRUE(ini.setValue("n", "l", -12345678L));
    EXPECT_EQ(lookup(ini, "n", "f"), "1.500000");
    EXPECT_EQ(lookup(ini, "n", "g"), "2.5|0.25");
    EXPECT_EQ(lookup(ini, "n", "l"), "-12345678");
    EXPECT_EQ(ini.getFloatValue("n", "f", 0.0f), 1.5f);

    std::string path = dir.file("numbers.ini");
    ASSERT_TRUE(ini.writeIni(path.c_str(), ZIniCompressionText));
    ZIniReader back;
    ASSERT_TRUE(back.setIni(path.c_str()));
    EXPECT_EQ(back.getFloatValue("n", "f", 0.0f), 1.5f);
}

TEST_F(ZIniReaderTest, SetStringBuildsSectionsInOrderAndWritesTheTextForm) {
    ZIniReader ini;
    EXPECT_TRUE(ini.setString("a", "k1", "old"));
    EXPECT_TRUE(ini.setString("a", "k2", "v2"));
    EXPECT_TRUE(ini.setString("b", "k3", "v3"));
    EXPECT_TRUE(ini.setString("a", "k1", "v1"));  // replaces in place
    EXPECT_TRUE(ini.setString("c", "k", nullptr));
    EXPECT_FALSE(ini.setString(nullptr, "k", "v"));
    EXPECT_FALSE(ini.setString("a", nullptr, "v"));
    EXPECT_EQ(lookup(ini, "c", "k"), "");

    std::string path = dir.file("out.ini");
    ASSERT_TRUE(ini.writeIni(path.c_str(), ZIniCompressionText));
    EXPECT_EQ(readFile(path), Bytes("[a]\nk1=v1\nk2=v2\n\n[b]\nk3=v3\n\n[c]\nk=\n\n") + '\0');
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST_F(ZIniReaderTest, GetStringCutsToTheBufferAndRefusesAnEmptyOne) {
    ZIniReader text;
    text.setString("s", "k", "hello");
    std::string path = dir.file("hashed.ini");
    ASSERT_TRUE(text.writeIni(path.c_str(), ZIniCompressionHashed));
    ZIniReader hashed;
    ASSERT_TRUE(hashed.setIni(path.c_str()));
    ASSERT_TRUE(hashed.isBinary());

    for (const ZIniReader* ini : {&text, &hashed}) {
        SCOPED_TRACE(ini == &text ? "text" : "hashed");
        char buffer[8] = "#######";
        EXPECT_FALSE(ini->getString("s", "k", buffer, 0));
        EXPECT_STREQ(buffer, "#######");
        EXPECT_FALSE(ini->getString("s", "k", nullptr, 8));
        EXPECT_TRUE(ini->getString("s", "k", buffer, 1));
        EXPECT_STREQ(buffer, "");
        EXPECT_TRUE(ini->getString("s", "k", buffer, 3));
        EXPECT_STREQ(buffer, "he");
        EXPECT_TRUE(ini->getString("s", "k", buffer, 6));
        EXPECT_STREQ(buffer, "hello");
        EXPECT_FALSE(ini->getString("s", "K", buffer, sizeof(buffer)));
        EXPECT_FALSE(ini->getString(nullptr, "k", buffer, sizeof(buffer)));
    }
    char buffer[8] = "#######";
    EXPECT_FALSE(text.getString("s", "absent", buffer, sizeof(buffer)));
    EXPECT_STREQ(buffer, "");  // the text form empties the buffer first
}

// ---- Hashed form ----

TEST(ZIniHashTest, HashUsesSignedBytesModulo2To32) {
    struct Case {
        uint32_t salt;
        const char* section;
        const char* key;
        uint32_t expected;
    };
    const Case cases[] = {
        {0, "", "", 0xAAAAAAAAu},
        {0, "a", "", 0xAAAAAACBu},
        {0, "", "a", 0x55555593u},
        {0, "\xe9", "", 0x55555543u},
        {0, "", "\xff", 0x55555531u},
        {0x12345678u, "settings", "renderer", 0xE318E3D0u},
        {0xFFFFFFFFu, "ab", "cd", 0xAA544F5Du},
        {7, "BA", "", 0xAAAA882Cu},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + ":" + c.key);
        EXPECT_EQ(ZIniReader::hashIniSectionKey(c.salt, c.section, c.key), c.expected);
    }
}

class ZIniHashedTest : public ZIniReaderTest {
protected:
    const std::vector<Setting> settings = {
        {"settings", "renderer", "1"},
        {"settings", "empty", ""},
        {"other", "high", "\xe9t\xe9"},
        {"other", "long", std::string(255, 'v')},
    };

    void fill(ZIniReader& ini) {
        for (const Setting& s : settings) ini.setString(s.section, s.key, s.value.c_str());
    }
};

TEST_F(ZIniHashedTest, EveryModeWritesItsExactLayoutAndReadsBack) {
    const Bytes key16 = "0123456789abcdef";
    const Bytes key24 = "0123456789abcdefghijklmn";
    const Bytes key32 = "0123456789abcdefghijklmnopqrstuv";
    struct Case {
        const char* name;
        ZIniCompressionMode mode;
        Bytes key;
        uint32_t magic;
    };
    const Case cases[] = {
        {"plain", ZIniCompressionHashed, "", ZIniReader::kMagicPlain},
        {"compressed", ZIniCompressionZlib, "", ZIniReader::kMagicCompressed},
        {"compressed ignores a key", ZIniCompressionZlib, key16, ZIniReader::kMagicCompressed},
        {"encrypted without key", ZIniCompressionZlibAes, "", ZIniReader::kMagicCompressed},
        {"encrypted, 16-byte key", ZIniCompressionZlibAes, key16, ZIniReader::kMagicEncrypted},
        {"encrypted, 24-byte key", ZIniCompressionZlibAes, key24, ZIniReader::kMagicEncrypted},
        {"encrypted, 32-byte key", ZIniCompressionZlibAes, key32, ZIniReader::kMagicEncrypted},
        {"unusable key length", ZIniCompressionZlibAes, "12345", ZIniReader::kMagicCompressed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.file("hashed.ini");
        ZIniReader ini;
        fill(ini);
        uint32_t salt = drawsAfterSeed(4242, 1)[0];
        const char* key = c.key.empty() ? nullptr : c.key.c_str();
        ASSERT_TRUE(ini.writeIni(path.c_str(), c.mode, key, c.key.size()));
        EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

        Bytes file = readFile(path);
        ASSERT_GE(file.size(), 20u);
        EXPECT_EQ(le32(file, 0), c.magic);
        EXPECT_EQ(le32(file, 4), salt);
        EXPECT_EQ(le32(file, 8), settings.size());
        Bytes expectedBlock = entryBlock(salt, settings);
        if (c.magic == ZIniReader::kMagicPlain) {
            EXPECT_EQ(file.substr(12), expectedBlock);
        } else {
            EXPECT_EQ(le32(file, 12), expectedBlock.size());
            uint32_t streamLength = le32(file, 16);
            Bytes stream = file.substr(20);
            if (c.magic == ZIniReader::kMagicEncrypted) {
                // The stream is padded with zeros to whole AES blocks before encryption.
                ASSERT_EQ(stream.size() % 16, 0u);
                ASSERT_LT(stream.size() - streamLength, 16u);
                stream = aesEcbDecrypt(stream, c.key);
                EXPECT_EQ(stream.substr(streamLength), Bytes(stream.size() - streamLength, '\0'));
                stream.resize(streamLength);
            } else {
                EXPECT_EQ(stream.size(), streamLength);
            }
            EXPECT_EQ(inflateAll(stream, expectedBlock.size()), expectedBlock);
        }

        ZIniReader back;
        ASSERT_TRUE(back.setIni(path.c_str(), key, c.key.size()));
        EXPECT_TRUE(back.isBinary());
        for (const Setting& s : settings) EXPECT_EQ(lookup(back, s.section, s.key), s.value);
        EXPECT_FALSE(back.hasValue("Settings", "renderer"));
        EXPECT_FALSE(back.hasValue("settings", "Renderer"));
        EXPECT_FALSE(back.setString("settings", "renderer", "2"));
        EXPECT_FALSE(back.writeIni(dir.file("copy.ini").c_str(), ZIniCompressionText));
        EXPECT_FALSE(std::filesystem::exists(dir.file("copy.ini")));
    }
}

TEST_F(ZIniHashedTest, DamagedFilesFindNothingOrTheEntriesBeforeTheDamage) {
    const Bytes key = "0123456789abcdef";
    const std::vector<Setting> three = {{"s", "k1", "one"}, {"s", "k2", "two"}, {"s", "k3", "3"}};
    auto written = [&](ZIniCompressionMode mode, const char* aesKey) {
        ZIniReader ini;
        for (const Setting& s : three) ini.setString(s.section, s.key, s.value.c_str());
        std::string path = dir.file("valid.ini");
        ZRandom::seed(77);
        EXPECT_TRUE(ini.writeIni(path.c_str(), mode, aesKey, aesKey ? 16 : 0));
        return readFile(path);
    };
    const Bytes plain = written(ZIniCompressionHashed, nullptr);
    const Bytes zipped = written(ZIniCompressionZlib, nullptr);
    const Bytes encrypted = written(ZIniCompressionZlibAes, key.c_str());
    ASSERT_EQ(le32(encrypted, 0), ZIniReader::kMagicEncrypted);
    const uint32_t plainLength = le32(zipped, 12);
    const uint32_t streamLength = le32(zipped, 16);

    auto patched = [](Bytes bytes, size_t offset, uint32_t value) {
        putLe32(bytes, offset, value);
        return bytes;
    };
    auto garbled = [](Bytes bytes, size_t from) {
        for (size_t i = from; i < bytes.size(); i++) bytes[i] = static_cast<char>(0xA5 ^ i);
        return bytes;
    };
    struct Case {
        const char* name;
        Bytes file;
        Bytes key;
        int found;  // how many of k1, k2, k3 are found, in order
    };
    const size_t firstEntry = 5 + 3;
    const Case cases[] = {
        {"intact plain", plain, "", 3},
        {"intact compressed", zipped, "", 3},
        {"intact encrypted", encrypted, key, 3},
        {"magic only", plain.substr(0, 4), "", 0},
        {"header cut before the count", plain.substr(0, 10), "", 0},
        {"cut inside the first entry", plain.substr(0, 12 + 3), "", 0},
        {"cut inside the second entry", plain.substr(0, 12 + firstEntry + 6), "", 1},
        {"last value runs past the end", plain.substr(0, plain.size() - 1), "", 2},
        {"huge count", patched(plain, 8, 0xFFFFFFFFu), "", 3},
        {"count of one", patched(plain, 8, 1), "", 1},
        {"count of zero", patched(plain, 8, 0), "", 0},
        {"compressed header cut", zipped.substr(0, 16), "", 0},
        {"huge plain length", patched(zipped, 12, 0xFFFFFFFFu), "", 0},
        {"plain length too small", patched(zipped, 12, plainLength - 1), "", 0},
        {"stream length past the end", patched(zipped, 16, streamLength + 1), "", 0},
        {"stream length zero", patched(zipped, 16, 0), "", 0},
        {"stream cut short", zipped.substr(0, zipped.size() - 3), "", 0},
        {"garbage stream", garbled(zipped, 20), "", 0},
        {"huge count compressed", patched(zipped, 8, 0xFFFFFFFFu), "", 3},
        {"wrong AES key", encrypted, "fedcba9876543210", 0},
        {"no AES key", encrypted, "", 0},
        {"AES key of 15 bytes", encrypted, key.substr(0, 15), 0},
        {"encrypted block cut", encrypted.substr(0, encrypted.size() - 1), key, 0},
        {"unknown magic 0x494E4210", patched(plain, 0, 0x494E4210u), "", 0},
        {"unknown magic 0x494E4214", patched(zipped, 0, 0x494E4214u), "", 0},
        {"unknown magic 0x494E421F", patched(plain, 0, 0x494E421Fu), "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.file("damaged.ini");
        writeFile(path, c.file);
        ZIniReader ini;
        ASSERT_TRUE(
            ini.setIni(path.c_str(), c.key.empty() ? nullptr : c.key.c_str(), c.key.size()));
        EXPECT_TRUE(ini.isBinary());
        for (int i = 0; i < 3; i++) {
            EXPECT_EQ(lookup(ini, "s", three[i].key), i < c.found ? three[i].value : "<absent>")
                << three[i].key;
        }
        EXPECT_EQ(ini.getValue("s", "k3", -1), c.found == 3 ? 3 : -1);

        ZIniReader fromMemory;
        EXPECT_TRUE(fromMemory.setIni(c.file.data(), static_cast<long>(c.file.size()),
                                      c.key.empty() ? nullptr : c.key.c_str(), c.key.size()));
        EXPECT_EQ(fromMemory.hasValue("s", "k1"), c.found >= 1);
    }
}

TEST_F(ZIniHashedTest, CompressRewritesATextFileInPlace) {
    std::string path = dir.file("config.ini");
    writeFile(path, "[config]\nstartscene=intro\n");
    ASSERT_TRUE(ZIniReader().compress(path.c_str(), ZIniCompressionZlib));
    Bytes file = readFile(path);
    EXPECT_EQ(le32(file, 0), ZIniReader::kMagicCompressed);
    ZIniReader ini;
    ASSERT_TRUE(ini.setIni(path.c_str()));
    EXPECT_EQ(lookup(ini, "config", "startscene"), "intro");

    // A hashed file is left alone rather than hashed again.
    EXPECT_FALSE(ZIniReader().compress(path.c_str(), ZIniCompressionHashed));
    EXPECT_EQ(readFile(path), file);
    EXPECT_FALSE(ZIniReader().compress(dir.file("missing.ini").c_str(), ZIniCompressionHashed));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.ini")));
}

// Two keys that collide under every salt: ("B" - "A") * 53 + ("A" - "v") = 0.
TEST_F(ZIniHashedTest, WriterGivesUpAfterAThousandCollidingSalts) {
    ZIniReader ini;
    ini.setString("s", "BA", "1");
    ini.setString("s", "Av", "2");
    std::vector<uint32_t> draws = drawsAfterSeed(99, 1001);
    std::string path = dir.file("collide.ini");
    EXPECT_FALSE(ini.compressBuffer("[s]\nBA=1\nAv=2\n", path.c_str(), ZIniCompressionHashed));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_EQ(ZRandom::getRandom(), draws[1000]);  // exactly 1000 salts were drawn

    // writeIni then falls back to the text form.
    ZRandom::seed(99);
    ASSERT_TRUE(ini.writeIni(path.c_str(), ZIniCompressionZlib));
    EXPECT_EQ(readFile(path), Bytes("[s]\nBA=1\nAv=2\n\n") + '\0');
}

// ---- Writing through a temporary and one rename ----

TEST_F(ZIniReaderTest, WriteReplacesTheOldFileWithoutEverTruncatingIt) {
    for (ZIniCompressionMode mode : {ZIniCompressionText, ZIniCompressionHashed}) {
        SCOPED_TRACE(mode);
        std::string path = dir.file("replace.ini");
        writeFile(path, "old contents");
        writeFile(path + ".tmp", "stale temporary");
        std::ifstream old(path, std::ios::binary);  // a reader holding the old file open
        ZIniReader ini;
        ini.setString("s", "k", "new");
        ASSERT_TRUE(ini.writeIni(path.c_str(), mode));
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "old contents");
        EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
        ZIniReader back;
        ASSERT_TRUE(back.setIni(path.c_str()));
        EXPECT_EQ(lookup(back, "s", "k"), "new");
    }
}

TEST_F(ZIniReaderTest, WriteThatCannotStartLeavesTheOldFile) {
    std::string path = dir.file("kept.ini");
    writeFile(path, "old contents");
    std::filesystem::create_directory(path + ".tmp");  // the temporary cannot be created
    ZIniReader ini;
    ini.setString("s", "k", "new");
    for (int mode = 0; mode <= 3; mode++) {
        SCOPED_TRACE(mode);
        EXPECT_FALSE(ini.writeIni(path.c_str(), static_cast<ZIniCompressionMode>(mode),
                                  "0123456789abcdef", 16));
        EXPECT_EQ(readFile(path), "old contents");
    }
    EXPECT_FALSE(ini.writeIni(dir.file("missing/folder.ini").c_str(), ZIniCompressionText));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

// ---- In a child process: failing writes and the writer's log lines ----

// The child re-runs the test from the start and works in the parent's folder, which the parent
// then inspects.
class ZIniReaderDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
    TempDir dir{"BRAMBLE_TEST_DEATH_DIR"};
};

TEST_F(ZIniReaderDeathTest, WriteThatFailsMidwayRemovesTheTemporaryAndLeavesTheOldFile) {
    std::string path = dir.file("kept.ini");
    writeFile(path, "old contents");
    EXPECT_EXIT(
        {
            // Files may grow to 64 bytes only, so the writes fail partway, even for root.
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit;
            limit.rlim_cur = limit.rlim_max = 64;
            setrlimit(RLIMIT_FSIZE, &limit);
            std::string value(200, 'v');
            ZIniReader ini;
            ini.setString("s", "k", value.c_str());
            bool text = ini.writeIni(path.c_str(), ZIniCompressionText);
            bool hashed = ini.writeIni(path.c_str(), ZIniCompressionHashed);
            bool buffer = ini.compressBuffer(("[s]\nk=" + value + "\n").c_str(), path.c_str(),
                                             ZIniCompressionHashed);
            _exit(!text && !hashed && !buffer ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(readFile(path), "old contents");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

// Sanitizer builds report every allocation to installed hooks; other builds lack the symbol.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onAllocation)(const volatile void*,
                                                                              size_t),
                                                         void (*onFree)(const volatile void*))
    __attribute__((weak));

size_t g_largestAllocation = 0;

void noteAllocation(const volatile void*, size_t size) {
    if (size > g_largestAllocation) g_largestAllocation = size;
}

void noteFree(const volatile void*) {}

TEST_F(ZIniReaderDeathTest, ClaimedSizesAllocateNoMoreThanTheFileCanHold) {
    if (!__sanitizer_install_malloc_and_free_hooks) GTEST_SKIP() << "needs a sanitizer build";
    const Bytes key = "0123456789abcdef";
    const Bytes block = entryBlock(0, {{"s", "k", "v"}});
    Bytes stream(compressBound(block.size()), '\0');
    uLongf streamLength = stream.size();
    ASSERT_EQ(compress(reinterpret_cast<Bytef*>(&stream[0]), &streamLength,
                       reinterpret_cast<const Bytef*>(block.data()), block.size()),
              Z_OK);
    stream.resize(streamLength);
    auto header = [](uint32_t magic, uint32_t count) {
        return le32Bytes(magic) + le32Bytes(0) + le32Bytes(count);
    };
    const Bytes files[] = {
        header(ZIniReader::kMagicPlain, 0xFFFFFFFFu) + block,
        header(ZIniReader::kMagicCompressed, 0xFFFFFFFFu) + le32Bytes(block.size()) +
            le32Bytes(stream.size()) + stream,
        header(ZIniReader::kMagicCompressed, 1) + le32Bytes(0xFFFFFFFFu) +
            le32Bytes(stream.size()) + stream,
        header(ZIniReader::kMagicEncrypted, 1) + le32Bytes(0xFFFFFFFFu) + le32Bytes(16) +
            Bytes(16, 'x'),
    };
    EXPECT_EXIT(
        {
            __sanitizer_install_malloc_and_free_hooks(noteAllocation, noteFree);
            for (const Bytes& file : files) {
                ZIniReader ini;
                ini.setIni(file.data(), static_cast<long>(file.size()), key.c_str(), key.size());
                ini.hasValue("s", "k");
            }
            _exit(g_largestAllocation < 65536 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ZIniReaderDeathTest, DuplicateKeepsTheFirstValueAndIsLogged) {
    std::string log = dir.file("log.txt");
    std::string path = dir.file("dup.ini");
    EXPECT_EXIT(
        {
            ZCore::enableLog(log.c_str(), "G", "V", false);
            bool ok = ZIniReader().compressBuffer("[s]\nk=first\nk=second\n", path.c_str(),
                                                  ZIniCompressionHashed);
            _exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_NE(readFile(log).find(": ZIniReader compress: " + path +
                                 ": warning: duplicate value for section [s], key 'k', duplicate "
                                 "value will be ignored\n"),
              std::string::npos)
        << readFile(log);
    ZIniReader ini;
    ASSERT_TRUE(ini.setIni(path.c_str()));
    EXPECT_EQ(lookup(ini, "s", "k"), "first");
}

TEST_F(ZIniReaderDeathTest, CollisionDrawsANewSaltAndIsLogged) {
    const unsigned long kSeed = 2024;
    std::vector<uint32_t> salts = drawsAfterSeed(kSeed, 2);
    auto collide = [](uint32_t salt, const char* s1, const char* k1, const char* s2,
                      const char* k2) {
        return ZIniReader::hashIniSectionKey(salt, s1, k1) ==
               ZIniReader::hashIniSectionKey(salt, s2, k2);
    };
    // Two pairs that share a hash under the first salt only.
    std::string s1, k1, s2, k2;
    for (char a = 'a'; a <= 'z' && s1.empty(); a++) {
        for (char b = 'a'; b <= 'z' && s1.empty(); b++) {
            for (char x = '0'; x <= 'z' && s1.empty(); x++) {
                for (char y = '0'; y <= 'z'; y++) {
                    std::string sa(1, a), sb(1, b), kx(1, x), ky(1, y);
                    if (a != b &&
                        collide(salts[0], sa.c_str(), kx.c_str(), sb.c_str(), ky.c_str()) &&
                        !collide(salts[1], sa.c_str(), kx.c_str(), sb.c_str(), ky.c_str())) {
                        s1 = sa, k1 = kx, s2 = sb, k2 = ky;
                        break;
                    }
                }
            }
        }
    }
    ASSERT_FALSE(s1.empty());

    std::string log = dir.file("log.txt");
    std::string path = dir.file("collide.ini");
    std::string text = "[" + s1 + "]\n" + k1 + "=one\n[" + s2 + "]\n" + k2 + "=two\n";
    EXPECT_EXIT(
        {
            ZCore::enableLog(log.c_str(), "G", "V", false);
            ZRandom::seed(kSeed);
            bool ok = ZIniReader().compressBuffer(text.c_str(), path.c_str(), ZIniCompressionZlib);
            _exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");

    char expected[512];
    snprintf(expected, sizeof(expected),
             ": ZIniReader compress: %s: collision for salt %08x on %08x for %s:%s value two "
             "(colliding entry is %s:%s value one)\n",
             path.c_str(), salts[0],
             ZIniReader::hashIniSectionKey(salts[0], s1.c_str(), k1.c_str()), s2.c_str(),
             k2.c_str(), s1.c_str(), k1.c_str());
    std::string contents = readFile(log);
    EXPECT_NE(contents.find(expected), std::string::npos) << contents;
    size_t first = contents.find("collision");
    EXPECT_EQ(contents.find("collision", first + 1), std::string::npos);  // one line only

    Bytes file = readFile(path);
    EXPECT_EQ(le32(file, 4), salts[1]);
    ZIniReader ini;
    ASSERT_TRUE(ini.setIni(path.c_str()));
    EXPECT_EQ(lookup(ini, s1.c_str(), k1.c_str()), "one");
    EXPECT_EQ(lookup(ini, s2.c_str(), k2.c_str()), "two");
}

TEST_F(ZIniReaderDeathTest, EveryOneOfTheThousandCollisionsIsLogged) {
    std::string log = dir.file("log.txt");
    std::string path = dir.file("collide.ini");
    EXPECT_EXIT(
        {
            ZCore::enableLog(log.c_str(), "G", "V", false);
            ZRandom::seed(5);
            bool ok = ZIniReader().compressBuffer("[s]\nBA=1\nAv=2\n", path.c_str(),
                                                  ZIniCompressionHashed);
            _exit(ok ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
    std::vector<uint32_t> salts = drawsAfterSeed(5, 1000);
    std::string contents = readFile(log);
    size_t at = 0;
    for (uint32_t salt : salts) {
        char line[256];
        snprintf(line, sizeof(line),
                 ": ZIniReader compress: %s: collision for salt %08x on %08x for s:Av value 2 "
                 "(colliding entry is s:BA value 1)\n",
                 path.c_str(), salt, ZIniReader::hashIniSectionKey(salt, "s", "BA"));
        at = contents.find(line, at);
        ASSERT_NE(at, std::string::npos) << line;
    }
}

}  // namespace
