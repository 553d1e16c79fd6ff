#include "TazelAppDelegate.h"

#include <cstdlib>

#include "TazelApplication.h"
#include "TazelBundle.h"
#include "TazelMenu.h"
#include "ZCore.h"
#include "ZSysMacOSX.h"

namespace {
const char kMenuPlaceholder[] = "TazelApplication";

void replacePlaceholder(std::string& title, const std::string& appName) {
    size_t at = title.find(kMenuPlaceholder);
    if (at != std::string::npos)
        title = TazelMenu::stringByReplacingRange(title, at, sizeof(kMenuPlaceholder) - 1, appName);
}
}  // namespace

std::string TazelAppDelegate::getAppName() {
    const TazelBundle& bundle = TazelBundle::mainBundle();
    const char* name = bundle.getInfoString("CFBundleName");
    if (name && *name) return name;
    return bundle.getProcessName();
}

void TazelAppDelegate::applicationDidFinishLaunching() {
    TazelApplication& application = TazelApplication::sharedApplication();
    fixMenu(application.getMainMenu(), getAppName());
    ZSysMacOSX::initializeLocalNotifications();
    application.performSelectorOnMainThread(&TazelApplicationDelegate::runApplication);
}

bool TazelAppDelegate::applicationShouldTerminate() {
    ZCore::handleOSQuit();
    return false;
}

void TazelAppDelegate::applicationWillTerminate() {
    ZCore::handleOSQuit();
}

void TazelAppDelegate::applicationWillResignActive() {
    ZCore::handleOSFocus(false);
}

void TazelAppDelegate::applicationDidBecomeActive() {
    ZCore::handleOSFocus(true);
}

bool TazelAppDelegate::windowShouldClose() {
    ZCore::handleOSQuit();
    return false;
}

void TazelAppDelegate::windowWillClose() {
    ZCore::handleOSQuit();
}

void TazelAppDelegate::windowWillMiniaturize() {
    ZCore::handleOSMinimize();
}

void TazelAppDelegate::achievementViewControllerDidFinish() {
    ZSysMacOSX::gameCenterAchievementsDismissed();
}

void TazelAppDelegate::leaderboardViewControllerDidFinish() {
    ZSysMacOSX::gameCenterLeaderboardDismissed();
}

void TazelAppDelegate::fixMenu(TazelMenu& menu, const std::string& appName) {
    std::string title = menu.getTitle();
    replacePlaceholder(title, appName);
    menu.setTitle(title);
    for (TazelMenu::Item& item : menu.getItems()) {
        replacePlaceholder(item.title, appName);
        if (item.submenu) fixMenu(*item.submenu, appName);
    }
}

void TazelAppDelegate::runApplication() {
    ZSysMacOSX::initPurchases();
    TazelApplication& application = TazelApplication::sharedApplication();
    long result = tazelMain(application.getArgc(), application.getArgv());
    // A failed start must reach the caller as a failure, also where the code won't fit a status.
    int status = result == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
    if (result > 0 && result < 256) status = static_cast<int>(result);
    exit(status);
}
