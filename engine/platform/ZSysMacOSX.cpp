#include "ZSysMacOSX.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TazelBundle.h"
#include "ZCore.h"
#include "ZEvent.h"

namespace {

char g_bundleText[256];
char g_languageText[512];
const char* g_languages[64];

// "fr_FR.UTF-8@euro" -> "fr-FR"; "C" and "POSIX" name no language.
std::string languageCode(const std::string& locale) {
    std::string code = locale.substr(0, locale.find_first_of(".@"));
    if (code.empty() || code == "C" || code == "POSIX") return std::string();
    for (char& c : code)
        if (c == '_') c = '-';
    return code;
}

std::vector<std::string> preferredLocales() {
    std::vector<std::string> result;
    const char* list = getenv("LANGUAGE");
    if (list && *list) {
        std::string text = list;
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find(':', start);
            if (end == std::string::npos) end = text.size();
            result.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return result;
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getenv(name);
        if (value && *value) {
            result.push_back(value);
            break;
        }
    }
    return result;
}

void sendGameCenterEvent(int64_t kind) {
    ZEvent event;
    memset(&event, 0, sizeof(event));
    event.type = kZEventGameCenter;
    event.gameCenterKind = kind;
    ZCore::dispatchEventToWindow(&event);
}

}  // namespace

const char* ZSysMacOSX::getBundleInfoString(const char* key) {
    const char* value = TazelBundle::mainBundle().getInfoString(key);
    if (!value) return nullptr;
    strncpy(g_bundleText, value, sizeof(g_bundleText) - 1);
    g_bundleText[sizeof(g_bundleText) - 1] = 0;
    return g_bundleText;
}

const char** ZSysMacOSX::getSystemLanguages() {
    size_t used = 0;
    int count = 0;
    for (const std::string& locale : preferredLocales()) {
        std::string code = languageCode(locale);
        if (code.empty()) continue;
        if (count >= 63) break;
        if (used + code.size() + 1 > sizeof(g_languageText) - 1) break;
        memcpy(g_languageText + used, code.c_str(), code.size() + 1);
        g_languages[count++] = g_languageText + used;
        used += code.size() + 1;
    }
    g_languages[count] = nullptr;
    return g_languages;
}

bool ZSysMacOSX::isGameCenterAvailable() {
    return false;
}
bool ZSysMacOSX::isGameCenterPlayerAuthenticated() {
    return false;
}
void ZSysMacOSX::gameCenterAuthenticatePlayer() {}
// The two outcomes of an authentication, reported by the service that ran it.
void ZSysMacOSX::gameCenterAuthenticated() {
    ZCore::logMessage("MacOSX: logged into Game Center");
    sendGameCenterEvent(1);
}

void ZSysMacOSX::gameCenterAuthFailure(const char* reason) {
    ZCore::logMessage("MacOSX: Game Center authentication failure: %s", reason ? reason : "");
    sendGameCenterEvent(2);
}
void ZSysMacOSX::gameCenterResetAchievements() {}
void ZSysMacOSX::gameCenterDownloadAchievements() {}
const char* ZSysMacOSX::gameCenterGetDownloadedAchievementId(long) {
    return nullptr;
}
double ZSysMacOSX::gameCenterGetDownloadedAchievementCompletion(long) {
    return -1.0;
}
void ZSysMacOSX::gameCenterDownloadAchievementsDescr() {}
ZAchievementDescription* ZSysMacOSX::gameCenterGetDownloadedAchievementsDescr(long) {
    return nullptr;
}
void ZSysMacOSX::gameCenterUploadAchievement(const char*, double) {}
void ZSysMacOSX::gameCenterUploadScore(const char*, long long) {}
void ZSysMacOSX::gameCenterShowAchievements() {}
void ZSysMacOSX::gameCenterShowLeaderboard(const char*, bool) {}
void ZSysMacOSX::gameCenterAchievementsDismissed() {}
void ZSysMacOSX::gameCenterLeaderboardDismissed() {}
bool ZSysMacOSX::isModalViewDisplayed() {
    return false;
}

void ZSysMacOSX::initPurchases() {}
bool ZSysMacOSX::getInAppPurchaseInformation(const char*) {
    return false;
}
bool ZSysMacOSX::queueInAppPurchase(const char*, long) {
    return false;
}
void ZSysMacOSX::restoreInAppPurchases() {}
// Reported by the application delegate for each transaction the store updates.
void ZSysMacOSX::inAppPurchaseUpdated(long state, const char* productId) {
    const char* product = productId ? productId : "";
    switch (state) {
        case 2:
            ZCore::logMessage("MacOSX: purchase of product '%s' successful", product);
            break;
        case 3:
            ZCore::logMessage("MacOSX: purchase of product '%s' failed", product);
            break;
        case 5:
            ZCore::logMessage("MacOSX: purchase of product '%s' in progress", product);
            break;
        case 6:
            ZCore::logMessage("MacOSX: purchase of product '%s' deferred", product);
            break;
        default:
            break;
    }
    ZEvent event;
    memset(&event, 0, sizeof(event));
    event.type = kZEventStore;
    event.storeKind = state;
    event.storeProductId = productId;
    ZCore::dispatchEventToWindow(&event);
}

void ZSysMacOSX::initializeLocalNotifications() {}
bool ZSysMacOSX::scheduleLocalNotification(long, long, long, long, bool, const char*, long) {
    return false;
}
void ZSysMacOSX::cancelLocalNotifications() {}
