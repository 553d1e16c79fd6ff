#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "LoggedMessages.h"
#include "TazelAppDelegate.h"
#include "TazelApplication.h"
#include "TazelBundle.h"
#include "TazelMenu.h"
#include "TazelPriceFormatter.h"
#include "ZCore.h"
#include "ZEvent.h"
#include "ZWindow.h"

// The game's entry as the delegate sees it: its result comes from the environment so that a
// re-executed death-test child can be told what to answer.
long tazelMain(int, char**) {
    const char* result = getenv("TEST_TAZEL_MAIN_RESULT");
    return result ? atol(result) : 0;
}

namespace {

TEST(TazelAppDelegateTest, AppNameComesFromTheBundleElseTheProcess) {
    TazelBundle& bundle = TazelBundle::mainBundle();
    std::string saved = bundle.getInfoString("CFBundleName");
    EXPECT_EQ(TazelAppDelegate::getAppName(), saved);

    bundle.setInfoString("CFBundleName", "");
    EXPECT_EQ(TazelAppDelegate::getAppName(), bundle.getProcessName());
    bundle.removeInfoString("CFBundleName");
    EXPECT_EQ(TazelAppDelegate::getAppName(), bundle.getProcessName());
    EXPECT_STRNE(bundle.getProcessName(), "");

    bundle.setInfoString("CFBundleName", saved.c_str());
}

TEST(TazelAppDelegateTest, ReplacingARangeLeavesTheRestOfTheText) {
    struct Case {
        const char* text;
        size_t location, length;
        const char* replacement;
        const char* expected;
    } cases[] = {
        {"Quit TazelApplication", 5, 16, "Bramble", "Quit Bramble"},
        {"abc", 0, 0, "x", "xabc"},
        {"abc", 3, 0, "x", "abcx"},
        {"abc", 1, 1, "", "ac"},
        {"abc", 2, 99, "Z", "abZ"},  // a range past the end stops at the end
    };
    for (const Case& c : cases)
        EXPECT_EQ(TazelMenu::stringByReplacingRange(c.text, c.location, c.length, c.replacement),
                  c.expected)
            << c.text;
}

TEST(TazelAppDelegateTest, FixMenuRenamesFirstPlaceholderAtEveryDepth) {
    TazelMenu menu("TazelApplication");
    menu.addItem("Plain item");
    menu.addItem("TazelApplication and TazelApplication");
    TazelMenu* sub = menu.addSubmenu("Sub");
    TazelMenu* deeper = sub->addSubmenu("Deeper TazelApplication");
    deeper->addItem("About TazelApplication");

    TazelAppDelegate delegate;
    delegate.fixMenu(menu, "Bramble");

    EXPECT_EQ(menu.getTitle(), "Bramble");
    EXPECT_EQ(menu.getItems()[0].title, "Plain item");
    EXPECT_EQ(menu.getItems()[1].title, "Bramble and TazelApplication");
    EXPECT_EQ(sub->getTitle(), "Sub");
    EXPECT_EQ(sub->getItems()[0].title, "Deeper Bramble");
    EXPECT_EQ(deeper->getTitle(), "Deeper Bramble");
    EXPECT_EQ(deeper->getItems()[0].title, "About Bramble");
}

TEST(TazelAppDelegateTest, LaunchingRenamesTheApplicationMenuAndQueuesTheGame) {
    TazelApplication& application = TazelApplication::sharedApplication();
    TazelAppDelegate delegate;
    application.setDelegate(&delegate);
    delegate.applicationDidFinishLaunching();
    application.setDelegate(nullptr);
    application.runQueued();  // without a delegate the queued start is dropped

    std::string name = TazelAppDelegate::getAppName();
    TazelMenu& appMenu = *application.getMainMenu().getItems()[0].submenu;
    EXPECT_EQ(appMenu.getTitle(), name);
    EXPECT_EQ(appMenu.getItems().back().title, "Quit " + name);
}

// The process status tells a failed start from a clean end.
class TazelAppDelegateDeathTest : public ::testing::TestWithParam<std::pair<const char*, int>> {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_P(TazelAppDelegateDeathTest, RunApplicationExitsWithTheGameResult) {
    setenv("TEST_TAZEL_MAIN_RESULT", GetParam().first, 1);
    TazelAppDelegate delegate;
    EXPECT_EXIT(delegate.runApplication(), ::testing::ExitedWithCode(GetParam().second), "");
    unsetenv("TEST_TAZEL_MAIN_RESULT");
}

INSTANTIATE_TEST_SUITE_P(Results, TazelAppDelegateDeathTest,
                         ::testing::Values(std::make_pair("0", 0), std::make_pair("100", 100),
                                           std::make_pair("256", 1), std::make_pair("-1", 1)));

TEST(TazelAppDelegateTest, QuitAndCloseOnlySetTheQuitFlag) {
    TazelAppDelegate delegate;
    EXPECT_FALSE(delegate.applicationShouldTerminate());  // no window yet: nothing happens

    struct Case {
        const char* name;
        bool (*request)(TazelAppDelegate&);
    } cases[] = {
        {"terminate", [](TazelAppDelegate& d) { return d.applicationShouldTerminate(); }},
        {"will terminate",
         [](TazelAppDelegate& d) {
             d.applicationWillTerminate();
             return false;
         }},
        {"close button", [](TazelAppDelegate& d) { return d.windowShouldClose(); }},
        {"will close",
         [](TazelAppDelegate& d) {
             d.windowWillClose();
             return false;
         }},
    };
    for (const Case& c : cases) {
        ZWindow* window = ZCore::createZWindow(eRendererOpenGL, false, false);
        EXPECT_FALSE(c.request(delegate)) << c.name;
        EXPECT_TRUE(window->isQuit()) << c.name;
        ZCore::forgetZWindow();
        delete window;
    }
}

TEST(TazelAppDelegateTest, ActivationChangesBecomeFocusEvents) {
    static std::vector<int64_t> seen;
    seen.clear();
    ZWindow* window = ZCore::createZWindow(eRendererOpenGL, false, false);
    window->setZOZCallBack([](ZEvent* event) {
        seen.push_back(event->type);
        return true;
    });
    TazelAppDelegate delegate;
    delegate.applicationWillResignActive();
    delegate.applicationDidBecomeActive();
    EXPECT_EQ(seen, (std::vector<int64_t>{kZEventFocusLost, kZEventFocusGained}));
    ZCore::forgetZWindow();
    delete window;
}

// The store and notification events the delegate makes, copied while their texts are valid.
struct SeenEvent {
    int64_t type;
    int64_t kind;
    std::vector<std::string> texts;  // product, title, description, locale, formatted price
    double price;
    int64_t userData;
};
std::vector<SeenEvent> g_seen;

std::string text(const char* value) {
    return value ? value : "(null)";
}

class TazelAppDelegateEventTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_seen.clear();
        window = ZCore::createZWindow(eRendererOpenGL, false, false);
        window->setZOZCallBack([](ZEvent* event) {
            SeenEvent seen = {
                event->type, event->storeKind, {}, event->storePrice, event->notificationUserData};
            if (event->type == kZEventStore)
                seen.texts = {text(event->storeProductId), text(event->storeTitle),
                              text(event->storeDescription), text(event->storePriceLocale),
                              text(event->storeFormattedPrice)};
            g_seen.push_back(seen);
            return true;
        });
    }
    void TearDown() override {
        ZCore::forgetZWindow();
        delete window;
    }
    ZWindow* window = nullptr;
    TazelAppDelegate delegate;
};

TEST_F(TazelAppDelegateEventTest, ActivatedNotificationWithUserDataBecomesAnEvent) {
    TazelUserNotification without;
    TazelUserNotification with;
    with.hasUserData = true;
    with.userData = -42;
    std::vector<std::string> log = loggedMessages([&] {
        delegate.userNotificationCenterDidActivateNotification(nullptr);
        delegate.userNotificationCenterDidActivateNotification(&without);
        delegate.userNotificationCenterDidActivateNotification(&with);
        delegate.userNotificationCenterDidDeliverNotification(&with);
    });
    EXPECT_EQ(log, (std::vector<std::string>{"MacOSX: received local notification",
                                             "MacOSX: notification delivered"}));
    EXPECT_TRUE(without.delivered);  // no event, and it stays in the delivered list
    EXPECT_FALSE(with.delivered);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].type, kZEventLocalNotification);
    EXPECT_EQ(g_seen[0].userData, -42);
}

TEST_F(TazelAppDelegateEventTest, ProductResponseGivesAnEventPerProductOrOneEmptyOne) {
    delegate.productsRequestDidReceiveResponse({});
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].type, kZEventStore);
    EXPECT_EQ(g_seen[0].kind, 1);
    EXPECT_EQ(g_seen[0].price, -1.0);
    EXPECT_EQ(g_seen[0].texts, std::vector<std::string>(5, ""));

    g_seen.clear();
    std::vector<TazelStoreProduct> products(2);
    products[0] = {"continue", "Continue", "Play on", 0.99, "zz_ZZ@currency=EUR"};
    products[1] = {"coins", "Coins", "A bag of coins", 4.5, "zz_ZZ"};
    delegate.productsRequestDidReceiveResponse(products);
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].texts, (std::vector<std::string>{"continue", "Continue", "Play on",
                                                         "zz_ZZ@currency=EUR", "EUR 0.99"}));
    EXPECT_EQ(g_seen[0].price, 0.99);
    EXPECT_EQ(g_seen[1].texts,
              (std::vector<std::string>{"coins", "Coins", "A bag of coins", "zz_ZZ", "4.50"}));
    EXPECT_EQ(g_seen[1].kind, 1);
}

TEST_F(TazelAppDelegateEventTest, TransactionsAreReportedAndFinishedByState) {
    std::vector<TazelPaymentTransaction> transactions(5);
    const long states[] = {0, 1, 2, 3, 4};
    for (size_t i = 0; i < transactions.size(); i++) {
        transactions[i].state = states[i];
        transactions[i].productId = "p" + std::to_string(i);
    }
    transactions[2].errorDescription = "Payment declined";
    std::vector<std::string> log =
        loggedMessages([&] { delegate.paymentQueueUpdatedTransactions(transactions); });
    EXPECT_EQ(log, (std::vector<std::string>{
                       "MacOSX: purchase of product 'p1' successful",
                       "MacOSX: store error: Payment declined",
                       "MacOSX: purchase of product 'p2' failed",
                       "MacOSX: transaction restored",
                       "MacOSX: purchase of product 'p3' successful",
                       "MacOSX: transaction deferred",
                       "MacOSX: purchase of product 'p4' deferred",
                   }));
    const bool finished[] = {false, true, true, true, false};
    for (size_t i = 0; i < transactions.size(); i++)
        EXPECT_EQ(transactions[i].finished, finished[i]) << "state " << states[i];
    ASSERT_EQ(g_seen.size(), 4u);  // nothing while still purchasing
    const int64_t kinds[] = {2, 3, 2, 6};
    for (size_t i = 0; i < 4; i++) {
        EXPECT_EQ(g_seen[i].kind, kinds[i]);
        EXPECT_EQ(g_seen[i].texts[0], "p" + std::to_string(i + 1));
    }
}

TEST_F(TazelAppDelegateEventTest, RestoringEndsWithAStoreEventOfKindFour) {
    std::vector<std::string> log = loggedMessages([&] {
        delegate.paymentQueueRestoreCompletedTransactionsFinished();
        delegate.paymentQueueRestoreCompletedTransactionsFailedWithError("No connection");
    });
    EXPECT_EQ(log,
              (std::vector<std::string>{
                  "MacOSX: end of restoring completed transactions",
                  "MacOSX: end of restoring completed transactions with error: No connection"}));
    ASSERT_EQ(g_seen.size(), 2u);
    for (const SeenEvent& seen : g_seen) {
        EXPECT_EQ(seen.type, kZEventStore);
        EXPECT_EQ(seen.kind, 4);
        EXPECT_EQ(seen.texts[0], "(null)");
    }
}

TEST(TazelPriceFormatterTest, WithoutTheLocaleTheAmountFollowsTheCurrencyCode) {
    struct Case {
        double price;
        const char* locale;
        const char* expected;
    } cases[] = {
        {0.99, "zz_ZZ@currency=USD", "USD 0.99"},
        {12.0, "zz_ZZ@calendar=gregorian;currency=JPY", "JPY 12.00"},
        {1.004, "zz_ZZ", "1.00"},
        {3.5, "", "3.50"},
        {3.5, nullptr, "3.50"},
        {2.0, "../../etc/x@currency=EUR", "EUR 2.00"},  // no path reaches the locale lookup
        {2.0, "zz_ZZ@currency=EU/R", "2.00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TazelPriceFormatter::formatCurrency(c.price, c.locale), c.expected)
            << (c.locale ? c.locale : "null");
}

}  // namespace
