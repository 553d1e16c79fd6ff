#include <gtest/gtest.h>

#include "CPlayerSettings.h"
#include "TempDir.h"
#include "ZIniReader.h"

namespace {

TEST(CPlayerSettingsTest, DefaultsComeFromTheGame) {
    CPlayerSettings settings;
    const char* expected[CPlayerSettings::kCount] = {"gl", "1", "0", "0", "70", "70", "70", "0",
                                                     "0",  "0", "0", "0", "0",  "0",  "0"};
    for (long i = 0; i < CPlayerSettings::kCount; i++) {
        SCOPED_TRACE(CPlayerSettings::g_lpszSettingsLabel[i]);
        EXPECT_STREQ(settings.get(i), expected[i]);
    }
    EXPECT_STREQ(settings.get("GameData3"), "0");
    EXPECT_STREQ(settings.get("no_such_key"), "0");
    EXPECT_EQ(CPlayerSettings::indexOf("MusicVolume"), 4);
    EXPECT_EQ(CPlayerSettings::indexOf(nullptr), -1);
}

TEST(CPlayerSettingsTest, VolumesAreStoredAsTheirNumber) {
    struct Case {
        long index;
        const char* value;
        const char* stored;
    };
    const Case cases[] = {
        {4, "070", "70"},  {5, "abc", "0"},   {6, "150", "150"},
        {6, " -5x", "-5"}, {7, "070", "070"}, {2, "", ""},
    };
    for (const Case& c : cases) {
        char out[CPlayerSettings::kValueSize];
        CPlayerSettings::normalise(c.index, c.value, out, sizeof(out));
        EXPECT_STREQ(out, c.stored) << c.index << " " << c.value;
    }
}

TEST(CPlayerSettingsTest, WrittenInTheHashedFormAndReadBack) {
    TempDir dir;
    std::string path = dir.file("settings.ini");
    CPlayerSettings settings;
    settings.set(CPlayerSettings::indexOf("fullscreen"), "1");
    settings.set(CPlayerSettings::indexOf("gamedata8"), std::string(150, 'x').c_str());
    settings.set(CPlayerSettings::indexOf("gamedata2"), "");
    ASSERT_TRUE(settings.writeFile(path.c_str()));

    std::string bytes = readFile(path);
    ASSERT_GE(bytes.size(), 4u);
    uint32_t magic = static_cast<unsigned char>(bytes[0]) |
                     static_cast<unsigned char>(bytes[1]) << 8 |
                     static_cast<unsigned char>(bytes[2]) << 16 |
                     static_cast<uint32_t>(static_cast<unsigned char>(bytes[3])) << 24;
    EXPECT_EQ(magic, ZIniReader::kMagicCompressed);

    CPlayerSettings again;
    ASSERT_TRUE(again.readFile(path.c_str()));
    EXPECT_STREQ(again.get("fullscreen"), "1");
    EXPECT_EQ(std::string(again.get("gamedata8")), std::string(99, 'x'));
    // An empty value in the file leaves the default.
    EXPECT_STREQ(again.get("gamedata2"), "0");
    EXPECT_STREQ(again.get("sfxvolume"), "70");

    CPlayerSettings missing;
    missing.set(4, "5");
    EXPECT_FALSE(missing.readFile(dir.file("absent.ini").c_str()));
    EXPECT_STREQ(missing.get(4), "70");
}

}  // namespace
