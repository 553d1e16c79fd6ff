#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TazelBundle.h"
#include "ZSysMacOSX.h"

namespace {

std::vector<std::string> languages() {
    std::vector<std::string> list;
    for (const char** code = ZSysMacOSX::getSystemLanguages(); *code; code++) list.push_back(*code);
    return list;
}

class ZSysMacOSXLanguageTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kNames) {
            const char* value = getenv(name);
            saved.push_back(value ? value : "\x01");
            unsetenv(name);
        }
    }
    void TearDown() override {
        for (size_t i = 0; i < saved.size(); i++) {
            if (saved[i] == "\x01")
                unsetenv(kNames[i]);
            else
                setenv(kNames[i], saved[i].c_str(), 1);
        }
    }
    static constexpr const char* kNames[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::string> saved;
};

TEST_F(ZSysMacOSXLanguageTest, PreferredLanguagesComeFromTheLocaleVariables) {
    struct Case {
        const char* language;
        const char* lcAll;
        const char* lang;
        std::vector<std::string> expected;
    } cases[] = {
        {nullptr, nullptr, nullptr, {}},
        {nullptr, nullptr, "C", {}},
        {nullptr, nullptr, "POSIX", {}},
        {nullptr, nullptr, "fr_FR.UTF-8", {"fr-FR"}},
        {nullptr, "de_DE@euro", "fr_FR.UTF-8", {"de-DE"}},
        {"pt_BR:pt:en", nullptr, "fr_FR.UTF-8", {"pt-BR", "pt", "en"}},
        {"", nullptr, "it_IT", {"it-IT"}},
        {"nl::en", nullptr, nullptr, {"nl", "en"}},
    };
    for (const Case& c : cases) {
        c.language ? setenv("LANGUAGE", c.language, 1) : unsetenv("LANGUAGE");
        c.lcAll ? setenv("LC_ALL", c.lcAll, 1) : unsetenv("LC_ALL");
        c.lang ? setenv("LANG", c.lang, 1) : unsetenv("LANG");
        EXPECT_EQ(languages(), c.expected)
            << (c.language ? c.language : "-") << " / " << (c.lang ? c.lang : "-");
    }
}

TEST_F(ZSysMacOSXLanguageTest, ListStopsWhereTheBufferWouldOverflow) {
    std::string many;
    for (int i = 0; i < 100; i++) many += (i ? ":" : "") + std::string("xx_YY");
    setenv("LANGUAGE", many.c_str(), 1);
    std::vector<std::string> list = languages();
    EXPECT_EQ(list.size(), 63u);  // at most 63 codes

    std::string longCodes;
    for (int i = 0; i < 10; i++) longCodes += (i ? ":" : "") + std::string(100, 'a' + i);
    setenv("LANGUAGE", longCodes.c_str(), 1);
    list = languages();
    ASSERT_EQ(list.size(), 5u);  // a sixth 101-byte code would pass 511 characters
    EXPECT_EQ(list[4], std::string(100, 'e'));
}

TEST(ZSysMacOSXTest, BundleTextsAreCopiedAndCut) {
    TazelBundle& bundle = TazelBundle::mainBundle();
    EXPECT_STREQ(ZSysMacOSX::getBundleInfoString("CFBundleName"), "The Bramble Way");
    EXPECT_EQ(ZSysMacOSX::getBundleInfoString("NoSuchKey"), nullptr);
    bundle.setInfoString("LongKey", std::string(400, 'z').c_str());
    EXPECT_EQ(std::string(ZSysMacOSX::getBundleInfoString("LongKey")), std::string(255, 'z'));
    bundle.removeInfoString("LongKey");
}

TEST(ZSysMacOSXTest, ServicesThisPlatformLacksAnswerUnavailable) {
    EXPECT_FALSE(ZSysMacOSX::isGameCenterAvailable());
    EXPECT_FALSE(ZSysMacOSX::isGameCenterPlayerAuthenticated());
    EXPECT_EQ(ZSysMacOSX::gameCenterGetDownloadedAchievementId(0), nullptr);
    EXPECT_EQ(ZSysMacOSX::gameCenterGetDownloadedAchievementCompletion(0), -1.0);
    EXPECT_EQ(ZSysMacOSX::gameCenterGetDownloadedAchievementsDescr(0), nullptr);
    EXPECT_FALSE(ZSysMacOSX::isModalViewDisplayed());
    EXPECT_FALSE(ZSysMacOSX::getInAppPurchaseInformation("continue"));
    EXPECT_FALSE(ZSysMacOSX::queueInAppPurchase("continue", 1));
    EXPECT_FALSE(ZSysMacOSX::scheduleLocalNotification(1, 9, 0, 0, true, "text", 7));
}

}  // namespace
