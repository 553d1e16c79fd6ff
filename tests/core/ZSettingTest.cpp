#include "ZSetting.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "DecimalCommaLocale.h"
#include "TempDir.h"
#include "ZEvent.h"
#include "ZIniReader.h"
#include "ZWindowGL.h"

namespace {

// The store is process-wide. Each test starts from an empty store whose file is a fresh path
// and whose modified flag is clear, and leaves it empty without a path.
class ZSettingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZSetting::initSettings(path.c_str());
        ZSetting::saveSettings();  // clears a flag an earlier test may have left on
        std::filesystem::remove(path);
    }
    void TearDown() override { ZSetting::initSettings(""); }

    TempDir dir;
    std::string path = dir.file("settings.ini");
};

std::string iniString(const ZIniReader& ini, const char* section, const char* key) {
    char buffer[300];
    return ini.getString(section, key, buffer, sizeof(buffer)) ? buffer : "<absent>";
}

TEST_F(ZSettingTest, SavedFileIsHashedAndLoadsBack) {
    ZSetting::writeString("name", "Bramble");
    ZSetting::writeString("nothing", nullptr);
    ZSetting::writeLong("count", -42);
    ZSetting::writeFloat("volume", 0.75f);
    ZSetting::writeDouble("ratio", 0.1);
    ZSetting::writeBool("fullscreen", true);
    ZSetting::writeString("name", "Bramble Way");  // updated in place, keeps its position
    ZSetting::saveSettings();
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    std::string file = readFile(path);
    ASSERT_GE(file.size(), 12u);
    EXPECT_EQ(file.substr(0, 4), "\x11\x42\x4e\x49");  // plain hashed form
    // Section and key names are hashed; the setting names are values of the "key" keys.
    for (const char* name : {"setting", "value"}) {
        EXPECT_EQ(file.find(name), std::string::npos) << name;
    }
    ZIniReader ini;
    ASSERT_TRUE(ini.setIni(path.c_str()));
    EXPECT_EQ(iniString(ini, "setting1", "key"), "name");
    EXPECT_EQ(iniString(ini, "setting1", "value"), "Bramble Way");
    EXPECT_EQ(iniString(ini, "setting2", "key"), "nothing");
    EXPECT_EQ(iniString(ini, "setting2", "value"), "");
    EXPECT_EQ(iniString(ini, "setting6", "key"), "fullscreen");
    EXPECT_EQ(iniString(ini, "setting7", "key"), "<absent>");

    ZSetting::freeSettings();
    EXPECT_STREQ(ZSetting::readString("name", "gone"), "gone");
    ZSetting::initSettings(path.c_str());
    EXPECT_STREQ(ZSetting::readString("name", nullptr), "Bramble Way");
    EXPECT_STREQ(ZSetting::readString("nothing", "default"), "");
    EXPECT_EQ(ZSetting::readLong("count", 0), -42);
    EXPECT_EQ(ZSetting::readFloat("volume", 0), 0.75f);
    EXPECT_EQ(ZSetting::readDouble("ratio", 0), 0.1);
    EXPECT_TRUE(ZSetting::readBool("fullscreen", false));
}

TEST_F(ZSettingTest, TypedReadsConvertTheStoredText) {
    struct Case {
        const char* text;
        long asLong;
        bool asBool;
        double asDouble;
    };
    const Case cases[] = {
        {"2", 2, true, 2.0},       {"0", 0, false, 0.0},   {"-1", -1, true, -1.0},
        {"12abc", 12, true, 12.0}, {"abc", 0, false, 0.0}, {" 7", 7, true, 7.0},
        {"1.5", 1, true, 1.5},     {"0.5", 0, false, 0.5}, {"", 0, false, 0.0},
        {nullptr, 0, false, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(null)");
        ZSetting::writeString("k", c.text);
        if (c.text) {
            EXPECT_STREQ(ZSetting::readString("k", "default"), c.text);
        } else {
            EXPECT_EQ(ZSetting::readString("k", "default"), nullptr);
        }
        EXPECT_EQ(ZSetting::readLong("k", 99), c.asLong);
        EXPECT_EQ(ZSetting::readBool("k", true), c.asBool);
        EXPECT_EQ(ZSetting::readDouble("k", 99.0), c.asDouble);
        EXPECT_EQ(ZSetting::readFloat("k", 99.0f), static_cast<float>(c.asDouble));
    }

    ZSetting::writeBool("b", true);
    EXPECT_EQ(ZSetting::readLong("b", 0), 1);
    ZSetting::writeBool("b", false);
    EXPECT_STREQ(ZSetting::readString("b", nullptr), "0");
    ZSetting::writeLong("l", -1234567890123L);
    EXPECT_STREQ(ZSetting::readString("l", nullptr), "-1234567890123");
    ZSetting::writeFloat("f", 1.5f);
    EXPECT_STREQ(ZSetting::readString("f", nullptr), "1.500000");
    ZSetting::writeDouble("d", 0.1);
    EXPECT_STREQ(ZSetting::readString("d", nullptr), "0.1");

    const char* fallback = "fallback";
    EXPECT_EQ(ZSetting::readString("absent", fallback), fallback);
    EXPECT_EQ(ZSetting::readLong("absent", 7), 7);
    EXPECT_EQ(ZSetting::readFloat("absent", 2.5f), 2.5f);
    EXPECT_EQ(ZSetting::readDouble("absent", 3.5), 3.5);
    EXPECT_TRUE(ZSetting::readBool("absent", true));
    EXPECT_EQ(ZSetting::readLong("B", 7), 7);  // keys compare exactly
}

TEST_F(ZSettingTest, NumbersUseADotUnderAnyLocale) {
    DecimalCommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << comma.reason();
    ZSetting::writeFloat("f", 1.5f);
    ZSetting::writeDouble("d", 2.5);
    EXPECT_STREQ(ZSetting::readString("f", nullptr), "1.500000");
    EXPECT_STREQ(ZSetting::readString("d", nullptr), "2.5");
    ZSetting::writeString("t", "0.25");
    EXPECT_EQ(ZSetting::readFloat("t", 0), 0.25f);
    EXPECT_EQ(ZSetting::readDouble("t", 0), 0.25);
}

TEST_F(ZSettingTest, LoadingStopsAtTheFirstMissingNumberOrEmptyKey) {
    struct Case {
        const char* name;
        const char* text;
        std::vector<std::pair<const char*, const char*>> loaded;  // key, value
        std::vector<const char*> notLoaded;
    };
    const Case cases[] = {
        {"numbered 1, 2 and 4",
         "[setting1]\nkey=a\nvalue=1\n[setting2]\nkey=b\nvalue=2\n[setting4]\nkey=d\nvalue=4\n",
         {{"a", "1"}, {"b", "2"}},
         {"d"}},
        {"empty key ends",
         "[setting1]\nkey=a\nvalue=1\n[setting2]\nkey=\nvalue=2\n[setting3]\nkey=c\nvalue=3\n",
         {{"a", "1"}},
         {"", "c"}},
        {"missing value is empty", "[setting1]\nkey=a\n", {{"a", ""}}, {}},
        {"no first setting", "[setting2]\nkey=b\nvalue=2\n", {}, {"b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(path, c.text);
        ZSetting::initSettings(path.c_str());
        for (const auto& [key, value] : c.loaded) {
            EXPECT_STREQ(ZSetting::readString(key, nullptr), value) << key;
        }
        for (const char* key : c.notLoaded) {
            EXPECT_EQ(ZSetting::readString(key, nullptr), nullptr) << key;
        }
        // Loading is no change: saving leaves the text file as it was.
        ZSetting::saveSettings();
        EXPECT_EQ(readFile(path), c.text);
    }

    ZSetting::initSettings(dir.file("missing.ini").c_str());
    EXPECT_EQ(ZSetting::readString("a", nullptr), nullptr);
}

TEST_F(ZSettingTest, SavesOnlyWhenSomethingChanged) {
    ZSetting::saveSettings();
    EXPECT_FALSE(std::filesystem::exists(path));
    ZSetting::writeLong("score", 10);
    ZSetting::saveSettings();
    ASSERT_TRUE(std::filesystem::exists(path));
    std::filesystem::remove(path);
    ZSetting::saveSettings();  // nothing changed since
    EXPECT_FALSE(std::filesystem::exists(path));
    ZSetting::writeLong("score", 10);
    ZSetting::saveSettings();
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(ZSettingTest, FailedSaveKeepsTheOldFileAndDoesNotRetry) {
    ZSetting::writeString("k", "old");
    ZSetting::saveSettings();
    std::string old = readFile(path);
    ASSERT_FALSE(old.empty());
    std::filesystem::create_directory(path + ".tmp");  // the temporary cannot be created
    ZSetting::writeString("k", "new");
    ZSetting::saveSettings();
    EXPECT_EQ(readFile(path), old);
    std::filesystem::remove(path + ".tmp");
    ZSetting::saveSettings();  // the failed save cleared the flag
    EXPECT_EQ(readFile(path), old);
}

// Whether the settings file existed when the game heard that focus was lost.
const std::string* g_watchedPath = nullptr;
bool g_fileAtFocusLoss = false;

bool watchFocusLoss(ZEvent* event) {
    if (event->type == kZEventFocusLost)
        g_fileAtFocusLoss = std::filesystem::exists(*g_watchedPath);
    return true;
}

TEST_F(ZSettingTest, WindowSavesAfterEachFlipAndBeforeReportingFocusLoss) {
    ZWindowGL window(false, false);  // no operating-system window
    ZSetting::writeLong("a", 1);
    window.flipBackBuffer(false, false);
    EXPECT_TRUE(std::filesystem::exists(path));

    std::filesystem::remove(path);
    g_watchedPath = &path;
    g_fileAtFocusLoss = false;
    window.setZOZCallBack(watchFocusLoss);
    ZSetting::writeLong("a", 2);
    window.handleOSFocus(false);
    EXPECT_TRUE(g_fileAtFocusLoss);
    window.setZOZCallBack(nullptr);
}

TEST(ZSettingDeathTest, WithoutAFileSavingWritesNothing) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir("BRAMBLE_TEST_DEATH_DIR");
    EXPECT_EXIT(
        {
            // A fresh process, where initSettings was never called.
            if (chdir(dir.path().c_str()) != 0) _exit(2);
            ZSetting::writeString("k", "v");
            ZSetting::saveSettings();
            ZSetting::freeSettings();
            ZSetting::saveSettings();
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
