#include "TazelAppDelegate.h"

#include <cstdlib>
#include <cstring>

#include "TazelApplication.h"
#include "TazelBundle.h"
#include "TazelMenu.h"
#include "TazelPriceFormatter.h"
#include "ZCore.h"
#include "ZEvent.h"
#include "ZSysMacOSX.h"

namespace {
const char kMenuPlaceholder[] = "TazelApplication";

void replacePlaceholder(std::string& title, const std::string& appName) {
    size_t at = title.find(kMenuPlaceholder);
    if (at != std::string::npos)
        title = TazelMenu::stringByReplacingRange(title, at, sizeof(kMenuPlaceholder) - 1, appName);
}
void sendRestoringFinished() {
    ZEvent event;
    memset(&event, 0, sizeof(event));
    event.type = kZEventStore;
    event.storeKind = 4;
    ZCore::dispatchEventToWindow(&event);
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

void TazelAppDelegate::gameKitAchievementsControllerWillDisappear() {
    ZSysMacOSX::gameCenterAchievementsDismissed();
}

void TazelAppDelegate::leaderboardViewControllerDidFinish() {
    ZSysMacOSX::gameCenterLeaderboardDismissed();
}

void TazelAppDelegate::gameKitLeaderboardControllerWillDisappear() {
    ZSysMacOSX::gameCenterLeaderboardDismissed();
}

void TazelAppDelegate::userNotificationCenterDidActivateNotification(
    TazelUserNotification* notification) {
    if (!notification || !notification->hasUserData) return;
    long userData = notification->userData;
    ZCore::logMessage("MacOSX: received local notification");
    notification->delivered = false;
    ZEvent event;
    memset(&event, 0, sizeof(event));
    event.type = kZEventLocalNotification;
    event.notificationUserData = userData;
    ZCore::dispatchEventToWindow(&event);
}

void TazelAppDelegate::userNotificationCenterDidDeliverNotification(TazelUserNotification*) {
    ZCore::logMessage("MacOSX: notification delivered");
}

void TazelAppDelegate::productsRequestDidReceiveResponse(
    const std::vector<TazelStoreProduct>& products) {
    ZEvent event;
    if (products.empty()) {
        // The game hears back even when the store knows none of the products.
        memset(&event, 0, sizeof(event));
        event.type = kZEventStore;
        event.storeKind = 1;
        event.storeProductId = "";
        event.storeTitle = "";
        event.storeDescription = "";
        event.storePrice = -1.0;
        event.storePriceLocale = "";
        event.storeFormattedPrice = "";
        ZCore::dispatchEventToWindow(&event);
        return;
    }
    for (const TazelStoreProduct& product : products) {
        std::string formatted =
            TazelPriceFormatter::formatCurrency(product.price, product.priceLocale.c_str());
        memset(&event, 0, sizeof(event));
        event.type = kZEventStore;
        event.storeKind = 1;
        event.storeProductId = product.identifier.c_str();
        event.storeTitle = product.localizedTitle.c_str();
        event.storeDescription = product.localizedDescription.c_str();
        event.storePrice = product.price;
        event.storePriceLocale = product.priceLocale.c_str();
        event.storeFormattedPrice = formatted.c_str();
        ZCore::dispatchEventToWindow(&event);
    }
}

void TazelAppDelegate::paymentQueueUpdatedTransactions(
    std::vector<TazelPaymentTransaction>& transactions) {
    // The count is read again after each one, and each is looked up again after its event: the
    // game's handler may have made the service change the list.
    for (size_t i = 0; i < transactions.size(); i++) {
        std::string productId = transactions[i].productId;
        long kind = 0;
        bool finish = true;
        switch (transactions[i].state) {
            case TazelPaymentTransaction::kPurchased:
                kind = 2;
                break;
            case TazelPaymentTransaction::kFailed:
                ZCore::logMessage("MacOSX: store error: %s",
                                  transactions[i].errorDescription.c_str());
                kind = 3;
                break;
            case TazelPaymentTransaction::kRestored:
                ZCore::logMessage("MacOSX: transaction restored");
                kind = 2;
                break;
            case TazelPaymentTransaction::kDeferred:
                ZCore::logMessage("MacOSX: transaction deferred");
                kind = 6;
                finish = false;
                break;
            default:  // still purchasing
                continue;
        }
        ZSysMacOSX::inAppPurchaseUpdated(kind, productId.c_str());
        if (finish && i < transactions.size()) transactions[i].finished = true;
    }
}

void TazelAppDelegate::paymentQueueRestoreCompletedTransactionsFinished() {
    ZCore::logMessage("MacOSX: end of restoring completed transactions");
    sendRestoringFinished();
}

void TazelAppDelegate::paymentQueueRestoreCompletedTransactionsFailedWithError(
    const char* description) {
    ZCore::logMessage("MacOSX: end of restoring completed transactions with error: %s",
                      description ? description : "");
    sendRestoringFinished();
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
