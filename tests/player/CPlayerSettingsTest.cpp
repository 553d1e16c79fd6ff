#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "CPlayerSettings.h"
#include "KilledWriter.h"
#include "TempDir.h"
#include "ZIniReader.h"
#include "ZSetting.h"

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

// What generation n of a killed writer's file holds: its number and a text whose length changes
// from one generation to the next, so that the file's size does too.
std::string fillerOf(long n) {
    return std::string(static_cast<size_t>(n * 37 % 90), static_cast<char>('a' + n % 26));
}

// Each writer that replaces a file, killed 200 times while it writes, leaves the file whole: the
// generation before the kill or a later one, never a torn or empty file.
TEST(CPlayerSettingsTest, WritersKilledAtRandomMomentsLeaveTheOldOrTheNewFile) {
    struct Writer {
        const char* what;
        const char* file;
        std::function<void(const std::string& path, long n)> write;
        // The generation the file holds whole, or -1.
        std::function<long(const std::string& path)> read;
    };
    const Writer writers[] = {
        {"the player's settings", "settings.ini",
         [](const std::string& path, long n) {
             CPlayerSettings settings;
             settings.set(CPlayerSettings::indexOf("gamedata"), std::to_string(n).c_str());
             settings.set(CPlayerSettings::indexOf("gamedata3"), fillerOf(n).c_str());
             settings.writeFile(path.c_str());
         },
         [](const std::string& path) -> long {
             CPlayerSettings settings;
             if (!settings.readFile(path.c_str())) return -1;
             long n = atol(settings.get("gamedata"));
             std::string filler = fillerOf(n).empty() ? "0" : fillerOf(n);
             return filler == settings.get("gamedata3") ? n : -1;
         }},
        {"a text ini", "written.ini",
         [](const std::string& path, long n) {
             ZIniReader ini;
             ini.setString("generation", "number", std::to_string(n).c_str());
             ini.setString("generation", "filler", fillerOf(n).c_str());
             ini.writeIni(path.c_str(), ZIniCompressionText);
         },
         [](const std::string& path) -> long {
             ZIniReader ini;
             char number[32] = "";
             char filler[100] = "";
             if (!ini.setIni(path.c_str()) ||
                 !ini.getString("generation", "number", number, sizeof(number)) ||
                 !ini.getString("generation", "filler", filler, sizeof(filler)))
                 return -1;
             long n = atol(number);
             return fillerOf(n) == filler ? n : -1;
         }},
        {"the engine's settings store", "store.ini",
         [](const std::string& path, long n) {
             ZSetting::initSettings(path.c_str());
             ZSetting::writeLong("generation", n);
             ZSetting::writeString("filler", fillerOf(n).c_str());
             ZSetting::saveSettings();
         },
         [](const std::string& path) -> long {
             ZSetting::initSettings(path.c_str());
             long n = ZSetting::readLong("generation", -1);
             return n >= 0 && fillerOf(n) == ZSetting::readString("filler", "-") ? n : -1;
         }},
    };
    TempDir dir;
    for (const Writer& writer : writers) {
        SCOPED_TRACE(writer.what);
        const std::string path = dir.file(writer.file);
        writer.write(path, 0);
        ASSERT_EQ(writer.read(path), 0);
        KilledWriter::run(
            200, 20260611, 0, [&](long n) { writer.write(path, n); },
            [&]() { return writer.read(path); });
    }
    // The store is the process's own: leave it without a file to save to at exit.
    ZSetting::initSettings("");
}

}  // namespace
