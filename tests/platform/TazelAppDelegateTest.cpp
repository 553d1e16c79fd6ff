#include <gtest/gtest.h>

#include <cstdlib>

#include "TazelAppDelegate.h"
#include "TazelApplication.h"
#include "TazelBundle.h"
#include "TazelMenu.h"
#include "ZCore.h"
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

}  // namespace
