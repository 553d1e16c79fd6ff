#pragma once

#include "ZObjectBase.h"

// Record returned by gameCenterGetDownloadedAchievementsDescr.
struct ZAchievementDescription {
    char identifier[256];
    char title[256];
    char unachievedDescription[256];
    char achievedDescription[256];
};

// The operating system's optional services: bundle texts, preferred languages, Game Center,
// in-app purchases and local notifications. This platform has no Game Center, store or
// notification centre: the calls into them give their "unavailable" answers (nothing done, null,
// -1.0 or false), and no modal view is ever shown. What a service reports back (authentication,
// transaction updates) still logs and reaches the game as events, through the functions below
// and the application delegate, for a platform service to call.
class ZSysMacOSX : public ZObjectBase {
public:
    static const char* getBundleInfoString(const char* key);
    static const char** getSystemLanguages();

    static bool isGameCenterAvailable();
    static bool isGameCenterPlayerAuthenticated();
    static void gameCenterAuthenticatePlayer();
    static void gameCenterAuthenticated();
    static void gameCenterAuthFailure(const char* reason);
    static void gameCenterResetAchievements();
    static void gameCenterDownloadAchievements();
    static const char* gameCenterGetDownloadedAchievementId(long index);
    static double gameCenterGetDownloadedAchievementCompletion(long index);
    static void gameCenterDownloadAchievementsDescr();
    static ZAchievementDescription* gameCenterGetDownloadedAchievementsDescr(long index);
    static void gameCenterUploadAchievement(const char* id, double percent);
    static void gameCenterUploadScore(const char* leaderboard, long long score);
    static void gameCenterShowAchievements();
    static void gameCenterShowLeaderboard(const char* leaderboard, bool allTime);
    static void gameCenterAchievementsDismissed();
    static void gameCenterLeaderboardDismissed();
    static bool isModalViewDisplayed();

    static void initPurchases();
    static bool getInAppPurchaseInformation(const char* productId);
    static bool queueInAppPurchase(const char* productId, long quantity);
    static void restoreInAppPurchases();
    static void inAppPurchaseUpdated(long state, const char* productId);

    static void initializeLocalNotifications();
    static bool scheduleLocalNotification(long days, long hours, long minutes, long seconds,
                                          bool atTimeOfDay, const char* text, long userData);
    static void cancelLocalNotifications();
};
