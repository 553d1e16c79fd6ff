#pragma once

struct ZEvent;

// The game's platform hooks: on this desktop they log, open a page or do nothing.
void sysInitialize();
const char* sysGetGameVersion();
void sysShareStory(const char* link, const char* story);
void sysPurchaseContinue();
// Answers a pending purchase from the keyboard: Space buys, Escape cancels.
bool sysHandleEvent(ZEvent* event);
void sysShowMoreGames();
void sysUnlockAchievement(long number);
void sysPublishScore(long score);
void sysShowAchievements();
void sysShowScores();
void sysRateGameNow();
void sysReportGameEvent(const char* name, const char* key1, const char* value1, const char* key2,
                        const char* value2, const char* key3, const char* value3, const char* key4,
                        const char* value4, const char* key5, const char* value5, const char* key6,
                        const char* value6, const char* key7, const char* value7);
// True while a purchase of a continue waits for its answer.
bool sysIsPurchasing();

// The game's web pages are one offline page, "web/index.html" in the game folder: the address of
// one of its anchors ("music", "share", "credits"), valid until the next call, and opening it.
const char* sysWebPageLink(const char* anchor);
void sysOpenWebPage(const char* anchor);
