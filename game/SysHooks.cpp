#include "SysHooks.h"

#include <cctype>
#include <cstring>
#include <string>

#include "CPlayer.h"
#include "ZCore.h"
#include "ZEvent.h"
#include "ZMiscTools.h"
#include "ZSysMacOSX.h"

namespace {

const long kKeySpace = 4;
const long kKeyEscape = 24;
const char kWebPage[] = "web/index.html";
const char kShareAnchor[] = "share";

bool g_bPurchasing = false;

void answerPurchase(const char* answer) {
    g_bPurchasing = false;
    if (!CPlayer::g_lpPlayer) return;
    CPlayer::g_lpPlayer->broadcastUserEvent(answer, false);
    CPlayer::g_lpPlayer->broadcastUserEvent("end_purchase", false);
}

}  // namespace

void sysInitialize() {}

const char* sysGetGameVersion() {
    return ZSysMacOSX::getBundleInfoString("CFBundleVersion");
}

void sysShareStory(const char*, const char*) {
    ZMiscTools::launchURL(sysWebPageLink(kShareAnchor), true);
    if (CPlayer::g_lpPlayer) CPlayer::g_lpPlayer->resetFrameLoop();
}

void sysPurchaseContinue() {
    ZCore::logMessage("System: purchase a continue");
    g_bPurchasing = true;
}

bool sysHandleEvent(ZEvent* event) {
    if (!event || event->type != kZEventKeyDown || !g_bPurchasing) return false;
    if (event->key == kKeyEscape)
        answerPurchase("purchase_cancelled");
    else if (event->key == kKeySpace)
        answerPurchase("purchase_successful");
    return false;
}

void sysShowMoreGames() {
    ZCore::logMessage("System: show more games");
}

void sysUnlockAchievement(long number) {
    ZCore::logMessage("System: unlock achievement #%ld", number);
}

void sysPublishScore(long score) {
    ZCore::logMessage("System: publish score %ld", score);
}

void sysShowAchievements() {
    ZCore::logMessage("System: show achievements table");
}

void sysShowScores() {
    ZCore::logMessage("System: show leaderboard");
}

void sysRateGameNow() {
    ZCore::logMessage("System: rate game now");
}

void sysReportGameEvent(const char*, const char*, const char*, const char*, const char*,
                        const char*, const char*, const char*, const char*, const char*,
                        const char*, const char*, const char*, const char*, const char*) {}

bool sysIsPurchasing() {
    return g_bPurchasing;
}

const char* sysWebPageLink(const char* anchor) {
    static std::string link;
    // Percent-encoded, so that blanks, '#' and '?' in the folder's name stay part of the path.
    static const char kHex[] = "0123456789ABCDEF";
    link = "file://";
    for (const unsigned char* c =
             reinterpret_cast<const unsigned char*>(ZMiscTools::makeFilePath(kWebPage));
         *c; c++) {
        if (isalnum(*c) || strchr("/-._~", *c)) {
            link += static_cast<char>(*c);
        } else {
            link += '%';
            link += kHex[*c >> 4];
            link += kHex[*c & 15];
        }
    }
    if (anchor && anchor[0]) link = link + "#" + anchor;
    return link.c_str();
}

void sysOpenWebPage(const char* anchor) {
    ZMiscTools::launchURL(sysWebPageLink(anchor), true);
}
