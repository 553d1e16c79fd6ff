#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "LoggedMessages.h"
#include "TazelBundle.h"
#include "ZCore.h"
#include "ZEvent.h"
#include "ZSysMacOSX.h"
#include "ZWindow.h"

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

// The engine-made events a window passes on, with their texts copied while they are valid.
struct SeenEvent {
    int64_t type;
    int64_t kind;
    int64_t count;
    std::string product;
};
std::vector<SeenEvent> g_seen;

class ZSysMacOSXEventTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_seen.clear();
        window = ZCore::createZWindow(eRendererOpenGL, false, false);
        window->setZOZCallBack([](ZEvent* event) {
            SeenEvent seen = {event->type, 0, 0, ""};
            if (event->type == kZEventGameCenter) {
                seen.kind = event->gameCenterKind;
                seen.count = event->gameCenterItemCount;
            } else if (event->type == kZEventStore) {
                seen.kind = event->storeKind;
                if (event->storeProductId) seen.product = event->storeProductId;
            }
            g_seen.push_back(seen);
            return true;
        });
    }
    void TearDown() override {
        ZCore::forgetZWindow();
        delete window;
    }
    ZWindow* window = nullptr;
};

TEST_F(ZSysMacOSXEventTest, ServicesThisPlatformLacksAnswerUnavailableAndDoNothing) {
    std::vector<std::string> log = loggedMessages([] {
        EXPECT_FALSE(ZSysMacOSX::isGameCenterAvailable());
        EXPECT_FALSE(ZSysMacOSX::isGameCenterPlayerAuthenticated());
        ZSysMacOSX::gameCenterAuthenticatePlayer();
        ZSysMacOSX::gameCenterResetAchievements();
        ZSysMacOSX::gameCenterDownloadAchievements();
        ZSysMacOSX::gameCenterDownloadAchievementsDescr();
        for (long index : {-1L, 0L, 1L}) {
            EXPECT_EQ(ZSysMacOSX::gameCenterGetDownloadedAchievementId(index), nullptr);
            EXPECT_EQ(ZSysMacOSX::gameCenterGetDownloadedAchievementCompletion(index), -1.0);
            EXPECT_EQ(ZSysMacOSX::gameCenterGetDownloadedAchievementsDescr(index), nullptr);
        }
        ZSysMacOSX::gameCenterUploadAchievement("falls_100", 100.0);
        ZSysMacOSX::gameCenterUploadScore("meters", 1234);
        ZSysMacOSX::gameCenterShowAchievements();
        ZSysMacOSX::gameCenterShowLeaderboard("meters", true);
        EXPECT_FALSE(ZSysMacOSX::isModalViewDisplayed());
        // No view was shown, so none is dismissed and the window hears nothing.
        ZSysMacOSX::gameCenterAchievementsDismissed();
        ZSysMacOSX::gameCenterLeaderboardDismissed();

        ZSysMacOSX::initPurchases();
        EXPECT_FALSE(ZSysMacOSX::getInAppPurchaseInformation("continue"));
        EXPECT_FALSE(ZSysMacOSX::queueInAppPurchase("continue", 1));
        ZSysMacOSX::restoreInAppPurchases();

        ZSysMacOSX::initializeLocalNotifications();
        EXPECT_FALSE(ZSysMacOSX::scheduleLocalNotification(1, 9, 0, 0, true, "text", 7));
        ZSysMacOSX::cancelLocalNotifications();
    });
    EXPECT_TRUE(log.empty()) << log.front();
    EXPECT_TRUE(g_seen.empty());
}

TEST_F(ZSysMacOSXEventTest, AuthenticationOutcomesLogAndBecomeGameCenterEvents) {
    std::vector<std::string> log = loggedMessages([] {
        ZSysMacOSX::gameCenterAuthenticated();
        ZSysMacOSX::gameCenterAuthFailure("The user cancelled");
        ZSysMacOSX::gameCenterAuthFailure(nullptr);
    });
    EXPECT_EQ(log, (std::vector<std::string>{"MacOSX: logged into Game Center",
                                             "MacOSX: Game Center authentication failure: The "
                                             "user cancelled",
                                             "MacOSX: Game Center authentication failure: "}));
    ASSERT_EQ(g_seen.size(), 3u);
    EXPECT_EQ(g_seen[0].type, kZEventGameCenter);
    EXPECT_EQ(g_seen[0].kind, 1);
    EXPECT_EQ(g_seen[1].kind, 2);
    EXPECT_EQ(g_seen[2].kind, 2);
}

TEST_F(ZSysMacOSXEventTest, PurchaseUpdatesLogByStateAndCarryTheStateAsKind) {
    struct Case {
        long state;
        const char* line;  // null: nothing logged
    } cases[] = {
        {2, "MacOSX: purchase of product 'coins_100' successful"},
        {3, "MacOSX: purchase of product 'coins_100' failed"},
        {4, nullptr},
        {5, "MacOSX: purchase of product 'coins_100' in progress"},
        {6, "MacOSX: purchase of product 'coins_100' deferred"},
        {1, nullptr},
    };
    for (const Case& c : cases) {
        g_seen.clear();
        std::vector<std::string> log =
            loggedMessages([&c] { ZSysMacOSX::inAppPurchaseUpdated(c.state, "coins_100"); });
        if (c.line)
            EXPECT_EQ(log, std::vector<std::string>{c.line}) << c.state;
        else
            EXPECT_TRUE(log.empty()) << c.state;
        ASSERT_EQ(g_seen.size(), 1u) << c.state;
        EXPECT_EQ(g_seen[0].type, kZEventStore);
        EXPECT_EQ(g_seen[0].kind, c.state);
        EXPECT_EQ(g_seen[0].product, "coins_100");
    }
}

}  // namespace
