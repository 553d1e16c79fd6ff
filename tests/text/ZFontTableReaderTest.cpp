#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "LoggedMessages.h"
#include "TempDir.h"
#include "ZFontTableReader.h"
#include "ZResource.h"

// Bitmap font tables as the outline-font export writes them, and as hands and other tools may:
// versions 1 to 3, kerning pairs, blank lines, long and short lines, files cut short, counts
// that promise more than the file holds, and the page names of a font's images.
namespace {

// One character line: code, rectangle, advance, height, page, offsets.
std::string charLine(long code, long page = 0, long x1 = 1, long yOffset = 9) {
    return std::to_string(code) + " " + std::to_string(x1) + " 2 11 22 10 20 " +
           std::to_string(page) + " 3 " + std::to_string(yOffset) + "\n";
}

bool parse(ZFontTableReader& reader, const std::string& text) {
    return reader.parse(text.data(), text.size());
}

std::vector<unsigned long> codes(const ZFontTableReader& reader) {
    std::vector<unsigned long> out;
    for (long i = 0; i < reader.getTableSize(); i++) out.push_back(reader.getTable()[i].code);
    return out;
}

TEST(ZFontTableReaderTest, ReadsTheHeaderAndCharacterLines) {
    ZFontTableReader reader;
    ASSERT_TRUE(parse(reader, "%ztext 3 2 2 24 0\n" + charLine(65) + charLine(66, 1)));
    EXPECT_EQ(reader.getVersion(), 3);
    EXPECT_EQ(reader.getPageCount(), 2);
    EXPECT_EQ(reader.getCharCount(), 2);
    EXPECT_TRUE(reader.hasHeightPix());
    EXPECT_EQ(reader.getHeightPix(), 24);
    ASSERT_EQ(reader.getTableSize(), 2);
    const ZFontExt& a = reader.getTable()[0];
    EXPECT_EQ(a.code, 65u);
    EXPECT_EQ(a.x1, 1.0f);
    EXPECT_EQ(a.y1, 2.0f);
    EXPECT_EQ(a.x2, 11.0f);
    EXPECT_EQ(a.y2, 22.0f);
    EXPECT_EQ(a.advance, 10.0f);
    EXPECT_EQ(a.height, 20.0f);
    EXPECT_EQ(a.page, 0);
    EXPECT_EQ(a.xOffset, 3.0f);
    EXPECT_EQ(a.yOffset, 9.0f);
    EXPECT_EQ(reader.getTable()[1].page, 1);
    EXPECT_EQ(reader.getTable()[2].code, 0u);
    EXPECT_EQ(reader.getPairs(), nullptr);

    ZFontExt* table = reader.releaseTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table[1].code, 66u);
    EXPECT_EQ(reader.getTable(), nullptr);
    delete[] table;
}

TEST(ZFontTableReaderTest, ReadsWhatEachVersionCarries) {
    struct Case {
        const char* name;
        std::string text;
        bool hasHeight;
        long height;
        std::vector<unsigned long> codes;
        long pairs;
    };
    const std::string kerning = "65 66 -2\n66 65 3\n";
    const Case cases[] = {
        {"header only, version 3", "%ztext 3 1 0 12 0\n", true, 12, {}, 0},
        {"version 1 ignores a fourth number",
         "%ztext 1 1 2 99\n" + charLine(65) + charLine(66),
         false,
         0,
         {65, 66},
         0},
        {"version 2 reads no kerning lines",
         "%ztext 2 1 1 20 2\n" + charLine(65) + kerning,
         true,
         20,
         {65},
         0},
        {"version 3 reads the kerning lines",
         "%ztext 3 1 1 20 2\n" + charLine(65) + kerning,
         true,
         20,
         {65},
         2},
        {"a negative height is 0", "%ztext 3 1 1 -5 0\n" + charLine(65), true, 0, {65}, 0},
        {"a short header counts missing numbers as 0",
         "%ztext 2 1 1\n" + charLine(65),
         true,
         0,
         {65},
         0},
        {"blank lines do not count",
         "%ztext 3 1 2 20 1\n\n\r\n" + charLine(65) + "\n\r\r\n" + charLine(66) + "\n\n" + kerning,
         true,
         20,
         {65, 66},
         1},
        {"CR line ends",
         "%ztext 3 1 2 20 0\r65 0 0 1 1 1 1 0 0 0\r66 0 0 1 1 1 1 0 0 0\r",
         true,
         20,
         {65, 66},
         0},
        {"a file ending without its last newline",
         "%ztext 3 1 1 20 0\n65 0 0 1 1 1 1 0 0 0",
         true,
         20,
         {65},
         0},
        {"more characters promised than present",
         "%ztext 3 1 50 20 0\n" + charLine(65),
         true,
         20,
         {65},
         0},
        {"a code of 0 ends the table",
         "%ztext 3 1 3 20 0\n" + charLine(65) + charLine(0) + charLine(67),
         true,
         20,
         {65},
         0},
        {"an unreadable code ends the table",
         "%ztext 3 1 2 20 0\n" + charLine(65) + "x 1 2 3 4 5 6 0 0 0\n",
         true,
         20,
         {65},
         0},
        {"a zero byte ends the text",
         "%ztext 3 1 2 20 0\n" + charLine(65) + std::string(1, '\0') + charLine(66),
         true,
         20,
         {65},
         0},
    };
    for (const Case& c : cases) {
        ZFontTableReader reader;
        ASSERT_TRUE(parse(reader, c.text)) << c.name;
        EXPECT_EQ(reader.hasHeightPix(), c.hasHeight) << c.name;
        EXPECT_EQ(reader.getHeightPix(), c.height) << c.name;
        EXPECT_EQ(codes(reader), c.codes) << c.name;
        EXPECT_EQ(reader.getPairCount(), c.pairs) << c.name;
    }
}

TEST(ZFontTableReaderTest, ReadsKerningPairsUntilAFirstCodeOfZero) {
    ZFontTableReader reader;
    ASSERT_TRUE(parse(
        reader, "%ztext 3 1 1 20 4\n" + charLine(65) + "65 86 -3\n86 65 2\n0 1 1\n66 67 9\n"));
    ASSERT_EQ(reader.getPairCount(), 2);
    const ZFontKerningPair* pairs = reader.getPairs();
    EXPECT_EQ(pairs[0].first, 65);
    EXPECT_EQ(pairs[0].second, 86);
    EXPECT_EQ(pairs[0].amount, -3.0f);
    EXPECT_EQ(pairs[1].amount, 2.0f);
    EXPECT_EQ(pairs[2].first, 0);
    // A pair line with numbers missing has 0 for them.
    ASSERT_TRUE(parse(reader, "%ztext 3 1 1 20 1\n" + charLine(65) + "65 86\n"));
    ASSERT_EQ(reader.getPairCount(), 1);
    EXPECT_EQ(reader.getPairs()[0].amount, 0.0f);
}

TEST(ZFontTableReaderTest, ParsesOnlyTheFirst255CharactersOfALine) {
    // The y offset 99 starts at the line's 255th character: only its first digit is read.
    std::string line = "65 1 2 3 4 5 6 0 7";
    line += std::string(254 - line.size(), ' ');
    line += "99";
    line += std::string(40, ' ') + "\n";
    ASSERT_GT(line.size(), 280u);
    ZFontTableReader reader;
    ASSERT_TRUE(parse(reader, "%ztext 3 1 2 20 0\n" + line + charLine(66)));
    ASSERT_EQ(reader.getTableSize(), 2);
    EXPECT_EQ(reader.getTable()[0].yOffset, 9.0f);
    EXPECT_EQ(reader.getTable()[1].code, 66u);
}

TEST(ZFontTableReaderTest, ShortCharacterLinesHaveZeroForWhatIsMissing) {
    ZFontTableReader reader;
    ASSERT_TRUE(parse(reader, "%ztext 3 1 1 20 0\n65 4 5\n"));
    ASSERT_EQ(reader.getTableSize(), 1);
    const ZFontExt& entry = reader.getTable()[0];
    EXPECT_EQ(entry.x1, 4.0f);
    EXPECT_EQ(entry.y1, 5.0f);
    EXPECT_EQ(entry.x2, 0.0f);
    EXPECT_EQ(entry.advance, 0.0f);
    EXPECT_EQ(entry.page, 0);
    EXPECT_EQ(entry.yOffset, 0.0f);
}

TEST(ZFontTableReaderTest, RefusesWhatIsNoFontTable) {
    const char* cases[] = {
        "",                      // empty
        "%ztext ",               // fewer than 8 bytes
        "%ztext 0 1 0 12 0\n",   // version 0
        "%ztext 4 1 0 12 0\n",   // version 4
        "%ztext\t3 1 0 12 0\n",  // the header word needs its blank
        "%ZTEXT 3 1 0 12 0\n",   // and its case
        "ztext 3 1 0 12 0\n",    //
        "%ztext x 1 0 12 0\n",   // no version
    };
    for (const char* text : cases) {
        ZFontTableReader reader;
        EXPECT_FALSE(parse(reader, text)) << '"' << text << '"';
        EXPECT_EQ(reader.getTable(), nullptr);
    }
    ZFontTableReader reader;
    EXPECT_FALSE(reader.parse(nullptr, 20));
    // Eight bytes with the header word are enough: the numbers not there count as 0.
    EXPECT_FALSE(parse(reader, "%ztext 8"));
    EXPECT_TRUE(parse(reader, "%ztext 3"));
    EXPECT_EQ(reader.getPageCount(), 0);
}

// Counts in the header are only what the file promises: whatever they say, no more entries are
// made than the file has lines.
TEST(ZFontTableReaderTest, HugeCountsDoNotDriveTheAllocation) {
    ZFontTableReader reader;
    ASSERT_TRUE(parse(reader, "%ztext 3 1 9223372036854775807 12 9223372036854775807\n" +
                                  charLine(65) + "65 66 1\n"));
    EXPECT_EQ(reader.getCharCount(), 9223372036854775807L);
    // Every line went to the characters: the pair line was read as one.
    EXPECT_EQ(codes(reader), (std::vector<unsigned long>{65, 65}));
    EXPECT_EQ(reader.getPairCount(), 0);

    ASSERT_TRUE(
        parse(reader, "%ztext 3 1 1 12 99999999999999999999999\n" + charLine(65) + "65 66 1\n"));
    EXPECT_EQ(reader.getPairCount(), 1);
    // Numbers beyond a long's range stay at its limit.
    ASSERT_TRUE(parse(reader, "%ztext 3 1 1 12 0\n99999999999999999999 0 0 1 1 1 1 0 0 0\n"));
    EXPECT_EQ(reader.getTable()[0].code, static_cast<unsigned long>(9223372036854775807L));
}

// A character on a page the font cannot have is left out, with a warning; the rest of the
// table is kept.
TEST(ZFontTableReaderTest, LeavesOutCharactersOnPagesOutsideTheEightSlots) {
    ZFontTableReader reader;
    std::vector<std::string> log = loggedMessages([&] {
        ASSERT_TRUE(parse(reader, "%ztext 3 8 5 20 0\n" + charLine(65, 7) + charLine(66, 8) +
                                      charLine(67, -1) + charLine(68, 9223372036854775807L) +
                                      charLine(69, 0)));
    });
    EXPECT_EQ(codes(reader), (std::vector<unsigned long>{65, 69}));
    EXPECT_EQ(reader.getDroppedCount(), 3);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("WARNING"), std::string::npos) << log[0];
}

TEST(ZFontTableReaderTest, ReadsAFileThroughTheFileSystem) {
    ZResource::initialize();
    TempDir dir;
    std::string path = dir.file("font.txt");
    writeFile(path, "%ztext 3 1 2 16 1\n" + charLine(65) + charLine(66) + "65 66 -1\n");
    ZFontTableReader reader;
    ASSERT_TRUE(reader.readFile(path.c_str()));
    EXPECT_EQ(codes(reader), (std::vector<unsigned long>{65, 66}));
    EXPECT_EQ(reader.getHeightPix(), 16);
    EXPECT_EQ(reader.getPairCount(), 1);

    EXPECT_FALSE(reader.readFile(dir.file("missing.txt").c_str()));
    EXPECT_EQ(reader.getTable(), nullptr);
    writeFile(path, "%ztext");
    EXPECT_FALSE(reader.readFile(path.c_str()));
    writeFile(path, "");
    EXPECT_FALSE(reader.readFile(path.c_str()));
    EXPECT_FALSE(reader.readFile(nullptr));
}

TEST(ZFontTableReaderTest, NamesTheFollowingPages) {
    struct Case {
        const char* name;
        std::vector<std::string> next;
    };
    const Case cases[] = {
        {"x_1.jem", {"x_2.jem", "x_3.jem", "x_4.jem"}},
        {"a.png", {"a2.png", "a3.png"}},
        {"page9.png", {"page10.png"}},
        {"abc", {"abc2", "abc3"}},
        {"font.v2.png", {"font.v3.png"}},
        {"data/fonts/big_07.tga", {"data/fonts/big_8.tga"}},
        // A dot in a folder's name is no extension.
        {"./fonts.old/page", {"./fonts.old/page2"}},
        {"99999999.png", {}},  // a ninth digit is refused
    };
    for (const Case& c : cases) {
        char name[ZFontTableReader::kNameSize];
        snprintf(name, sizeof(name), "%s", c.name);
        for (const std::string& next : c.next) {
            ASSERT_TRUE(ZFontTableReader::incrementIndexInName(name)) << c.name;
            EXPECT_STREQ(name, next.c_str()) << c.name;
        }
        if (c.next.empty()) {
            EXPECT_FALSE(ZFontTableReader::incrementIndexInName(name)) << c.name;
            EXPECT_STREQ(name, c.name);
        }
    }
    // A name that would reach 260 characters stays as it is.
    char name[ZFontTableReader::kNameSize];
    std::string longName = std::string(254, 'n') + "9.png";
    snprintf(name, sizeof(name), "%s", longName.c_str());
    EXPECT_FALSE(ZFontTableReader::incrementIndexInName(name));
    EXPECT_EQ(std::string(name), longName);
    longName = std::string(253, 'n') + "9.png";
    snprintf(name, sizeof(name), "%s", longName.c_str());
    EXPECT_TRUE(ZFontTableReader::incrementIndexInName(name));
    EXPECT_EQ(strlen(name), 259u);
}

}  // namespace
