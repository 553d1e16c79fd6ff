#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "LoggedMessages.h"
#include "TempDir.h"
#include "ZGame.h"
#include "ZResource.h"
#include "ZTextFace.h"
#include "ZTrueText.h"

// String tables read from files the tests write in each encoding, looked up, changed, written
// and read back.
namespace {

class StringGame : public ZGame {
public:
    std::vector<std::string> aborted;
    const char* getGameName() override { return "Strings"; }
    const char* getSafeGameName() override { return "Strings"; }
    const char* getSafeDeveloperName() override { return "Dev"; }
    const char* getGameVersion() override { return "1"; }
    ZWindow* createGameWindow() override { return nullptr; }
    void run() override {}
    void destroyGameWindow(ZWindow*) override {}
    void abortOnFile(const char* path) override { aborted.push_back(path); }
};

enum Form { kAnsi, kUtf8, kUtf16LE, kUtf16BE };

// The bytes of a text (code points) as a file of the form, with its byte-order mark.
std::string fileOf(const std::u32string& text, Form form) {
    std::string out;
    if (form == kAnsi) {
        for (char32_t c : text) out += static_cast<char>(c);
        return out;
    }
    if (form == kUtf8) {
        out = "\xEF\xBB\xBF";
        for (char32_t c : text) {
            char units[4];
            long pos = 0;
            ZTextFace::encodeChar(1, units, pos, c);
            out.append(units, static_cast<size_t>(pos));
        }
        return out;
    }
    bool big = form == kUtf16BE;
    auto unit = [&](unsigned u) {
        char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
        out += big ? hi : lo;
        out += big ? lo : hi;
    };
    unit(0xFEFF);
    for (char32_t c : text) {
        if (c >= 0x10000) {
            unit(0xD800 | ((c - 0x10000) >> 10));
            unit(0xDC00 | (c & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}

// A value of the table as code points.
std::u32string codesOf(const char* value, long encoding) {
    std::u32string codes;
    long pos = 0;
    for (unsigned long c; value && (c = ZTextFace::decodeChar(encoding, value, pos, true)) != 0;)
        codes += static_cast<char32_t>(c);
    return codes;
}

std::string utf8(const std::u32string& text) {
    return fileOf(text, kUtf8).substr(3);
}

class ZGameStringTableTest : public ::testing::Test {
protected:
    void SetUp() override { ZResource::initialize(); }

    // Reads the text written in the form; returns the log lines of the read.
    std::vector<std::string> read(const std::u32string& text, Form form) {
        std::string path = dir.file("strings.txt");
        writeFile(path, fileOf(text, form));
        bool ok = false;
        auto lines = loggedMessages([&] { ok = game.readStringTable(path.c_str()); });
        EXPECT_TRUE(ok);
        return lines;
    }

    std::string value(const char* key) {
        return utf8(codesOf(game.getString(key), game.getStringEncoding()));
    }

    std::vector<std::pair<std::string, std::string>> entries() {
        std::vector<std::pair<std::string, std::string>> all;
        for (long i = 0; i < game.getStringCount(); i++)
            all.emplace_back(game.getStringId(i),
                             utf8(codesOf(game.getStringByIndex(i), game.getStringEncoding())));
        return all;
    }

    TempDir dir;
    StringGame game;
};

const Form kForms[] = {kAnsi, kUtf8, kUtf16LE, kUtf16BE};

TEST_F(ZGameStringTableTest, LinesBecomeEntriesByTheTableRules) {
    struct Case {
        const char* name;
        std::u32string text;
        std::vector<std::pair<std::string, std::string>> expected;
    };
    const Case cases[] = {
        {"blanks kept at the end", U"k\tvalue  \r\n", {{"k", "value  "}}},
        {"blanks skipped before key and value", U"  k   \t v w\n", {{"k", "v w"}}},
        {"doubled quotes", U"k \"say \"\"hi\"\" now\"\n", {{"k", "say \"hi\" now"}}},
        {"quoted over lines, CR LF", U"k \"a\r\nb\"\r\nz 1\r\n", {{"k", "a\nb"}, {"z", "1"}}},
        {"quoted over lines, LF", U"k \"a\nb\"\nz 1\n", {{"k", "a\nb"}, {"z", "1"}}},
        {"comments, empty and blank lines", U"# c\n\n   \n\t# d\r\nk v\n", {{"k", "v"}}},
        {"key alone takes the next line (LF)",
         U"k\nnext line\nz 1",
         {{"k", "next line"}, {"z", "1"}}},
        {"key alone after CR LF has an empty value", U"k\r\nnext\r\n", {{"k", ""}, {"next", ""}}},
        {"text after a closing quote", U"a \"x\" b y\n", {{"a", "x"}, {"b", "y"}}},
        {"quoted value to the end of the file", U"k \"open", {{"k", "open"}}},
        {"key at the end of the file", U"k v\nlast", {{"k", "v"}, {"last", ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        read(c.text, kUtf8);
        EXPECT_EQ(entries(), c.expected);
    }
    read(U"", kAnsi);
    EXPECT_EQ(game.getStringCount(), 0);
    // An empty table written reads back empty.
    std::string written = dir.file("empty.txt");
    game.writeStringTable(written.c_str());
    EXPECT_EQ(readFile(written), "\xEF\xBB\xBF");
    EXPECT_TRUE(game.readStringTable(written.c_str()));
    EXPECT_EQ(game.getStringCount(), 0);
}

TEST_F(ZGameStringTableTest, EachEncodingReadsTheSameTableAndReportsItself) {
    const std::u32string text = U"hello Hello there\r\nquote \"caf\u00e9\"\r\n";
    const std::u32string wide = U"cjk \u4e2d\u6587 \U0001F600\r\n";
    struct Case {
        Form form;
        long encoding;
        const char* reported;
    };
    const Case cases[] = {
        {kAnsi, 0, "ansi"}, {kUtf8, 1, "utf8"}, {kUtf16LE, 3, "utf16"}, {kUtf16BE, 3, "utf16"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reported);
        std::u32string all = c.form == kAnsi ? text : text + wide;
        auto lines = read(all, c.form);
        EXPECT_EQ(game.getStringEncoding(), c.encoding);
        std::string line = std::string("Game: strings table read, ") +
                           (c.form == kAnsi ? "2" : "3") + " entries, " + c.reported + " encoding";
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end());
        EXPECT_EQ(value("hello"), "Hello there");
        EXPECT_EQ(value("quote"), utf8(U"caf\u00e9"));
        if (c.form != kAnsi) {
            EXPECT_EQ(value("cjk"), utf8(U"\u4e2d\u6587 \U0001F600"));
        }
    }
    // Without a mark the bytes are single-byte text, whatever they look like.
    read(U"k \u00c3\u00a9\n", kAnsi);
    EXPECT_EQ(game.getStringEncoding(), 0);
    EXPECT_EQ(codesOf(game.getString("k"), 0), U"\u00c3\u00a9");
}

TEST_F(ZGameStringTableTest, LookupsFindTheFirstEntryAndAnswerNullOutside) {
    read(U"dup one\ndup two\nother x\n", kUtf8);
    EXPECT_EQ(value("dup"), "one");
    EXPECT_EQ(game.getString("DUP"), nullptr);  // case matters
    EXPECT_EQ(game.getString(nullptr), nullptr);
    EXPECT_STREQ(game.getStringByIndex(1), "two");
    EXPECT_EQ(game.getStringByIndex(3), nullptr);
    EXPECT_EQ(game.getStringId(-1), nullptr);
}

TEST_F(ZGameStringTableTest, ChangedTablesWriteAndReadBackInEveryEncoding) {
    for (Form form : kForms) {
        SCOPED_TRACE(form);
        read(U"greet hi\nmulti \"a\r\nb\"\ngone x\nkeep \"  padded\"\n", form);
        long encoding = game.getStringEncoding();
        // UTF-16 tables take 32-bit values and keep them as 16-bit units.
        auto set = [&](const char* key, const std::u32string& text) {
            if (encoding == 3) {
                std::vector<uint32_t> wide(text.begin(), text.end());
                wide.push_back(0);
                game.setString(key, reinterpret_cast<const char*>(wide.data()));
            } else {
                std::string bytes = encoding == 1 ? utf8(text) : fileOf(text, kAnsi);
                game.setString(key, bytes.c_str());
            }
        };
        set("greet", U"hello \"you\"");
        set("added", U"new\nline");
        set("added", U"second \u00e9");
        game.removeString("gone");
        game.removeString("never there");
        auto expected =
            std::vector<std::pair<std::string, std::string>>{{"greet", "hello \"you\""},
                                                             {"multi", "a\nb"},
                                                             {"keep", "  padded"},
                                                             {"added", utf8(U"second \u00e9")}};
        EXPECT_EQ(entries(), expected);
        if (encoding == 3) {
            // Stored as 16-bit units, as read values are.
            const uint16_t* units = reinterpret_cast<const uint16_t*>(game.getString("added"));
            EXPECT_EQ(units[0], 's');
            EXPECT_EQ(units[7], 0xE9);
            EXPECT_EQ(units[8], 0);
        }

        std::string written = dir.file("written.txt");
        game.writeStringTable(written.c_str());
        std::string bytes = readFile(written);
        EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
        EXPECT_NE(bytes.find("multi\t\"a\r\nb\"\r\n"), std::string::npos);
        EXPECT_TRUE(game.readStringTable(written.c_str()));
        EXPECT_EQ(game.getStringEncoding(), 1);
        EXPECT_EQ(entries(), expected);
    }
}

TEST_F(ZGameStringTableTest, AnUnreadableFileGoesToAbortOnFile) {
    read(U"k v\n", kUtf8);
    std::string missing = dir.file("missing.txt");
    EXPECT_FALSE(game.readStringTable(missing.c_str()));
    EXPECT_EQ(game.aborted, std::vector<std::string>{missing});
    // The table read before stays.
    EXPECT_EQ(value("k"), "v");
}

TEST_F(ZGameStringTableTest, ReadingPreparesTheOutlineGlyphSet) {
    read(U"a caf\u00e9 \u4e2d\nb \u4e2d\u00e9\n", kUtf8);
    EXPECT_EQ(ZTrueText::g_nZTrueTextEncoding, 1);
    std::vector<uint64_t> set(ZTrueText::g_nCharMap,
                              ZTrueText::g_nCharMap + ZTrueText::g_nCharsInMap);
    // U+FFFD, 32 to 127 and the two new codes, once each, in order.
    ASSERT_EQ(set.size(), 1u + 96u + 2u);
    EXPECT_TRUE(std::is_sorted(set.begin(), set.end()));
    EXPECT_EQ(set[0], 32u);
    EXPECT_EQ(set[96], 0xE9u);
    EXPECT_EQ(set[97], 0x4E2Du);
    EXPECT_EQ(set[98], 0xFFFDu);
}

}  // namespace
