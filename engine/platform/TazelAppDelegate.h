#pragma once

#include <string>
#include <vector>

#include "TazelApplicationDelegate.h"

class TazelMenu;

// What a store service tells the delegate of one product.
struct TazelStoreProduct {
    std::string identifier;
    std::string localizedTitle;
    std::string localizedDescription;
    double price = 0.0;
    std::string priceLocale;  // locale identifier, e.g. "fr_FR@currency=EUR"
};

// One transaction of the payment queue. The delegate sets finished for those the service is to
// finish.
struct TazelPaymentTransaction {
    enum State { kPurchasing = 0, kPurchased = 1, kFailed = 2, kRestored = 3, kDeferred = 4 };
    long state = kPurchasing;
    std::string productId;
    std::string errorDescription;  // of a failed one
    bool finished = false;
};

// A local notification the user activated. The delegate clears delivered when it takes the
// notification off the centre's delivered list.
struct TazelUserNotification {
    bool hasUserData = false;  // the user info holds "userdata"
    long userData = 0;
    bool delivered = true;
};

// The game's entry function, provided by the game.
long tazelMain(int argc, char** argv);

// The application's delegate: ends launching, starts the game, and turns the operating
// system's quit, close, minimise and focus notices into calls of ZCore. It also takes the
// callbacks of the notification centre, Game Center's views and the store, which this platform
// lacks: a service that stands in for one calls them, and they log and send events as usual.
class TazelAppDelegate : public TazelApplicationDelegate {
public:
    void* getWindow() const { return m_gameWindow; }
    void setWindow(void* window) { m_gameWindow = window; }

    // The bundle's name, or the process name when the bundle has none.
    static std::string getAppName();

    void applicationDidFinishLaunching() override;
    bool applicationShouldTerminate() override;
    void applicationWillTerminate() override;
    void applicationWillResignActive() override;
    void applicationDidBecomeActive() override;
    bool windowShouldClose() override;
    void windowWillClose() override;
    void windowWillMiniaturize() override;
    void achievementViewControllerDidFinish();
    void gameKitAchievementsControllerWillDisappear();
    void leaderboardViewControllerDidFinish();
    void gameKitLeaderboardControllerWillDisappear();

    void userNotificationCenterDidActivateNotification(TazelUserNotification* notification);
    void userNotificationCenterDidDeliverNotification(TazelUserNotification* notification);

    // Store events (type 110): the texts are valid while the event is handled.
    void productsRequestDidReceiveResponse(const std::vector<TazelStoreProduct>& products);
    void paymentQueueUpdatedTransactions(std::vector<TazelPaymentTransaction>& transactions);
    void paymentQueueRestoreCompletedTransactionsFinished();
    void paymentQueueRestoreCompletedTransactionsFailedWithError(const char* description);

    void fixMenu(TazelMenu& menu, const std::string& appName);
    // Runs the whole game and ends the process with the game's result.
    void runApplication() override;

private:
    void* m_gameWindow = nullptr;
};
