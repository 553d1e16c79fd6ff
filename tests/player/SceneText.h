#pragma once

#include <cstdio>
#include <string>

// Pieces of scene files for the tests that write their own scenes.

// A stretched background brush (id 1) and a 40 by 40 plate (id 2) with its pivot at (10, 10).
inline const char* const kPlateBrushes =
    "[brush1]\nid=1\nname=background\nmode=stretched\n"
    "[brush2]\nid=2\nname=plate\ntexsrcx2=40\ntexsrcy2=40\ntexpivotx=10\ntexpivoty=10\n";

// Five keys at 0, 100, ... 400 ms, anchored at x = 110, 120, ... 150 on the line y, that stay put
// until an action moves them.
inline std::string fiveKeys(long y = 100) {
    std::string keys = "keys=5\nnoautoplaykeys=1\n";
    for (long k = 1; k <= 5; k++) {
        char text[120];
        snprintf(text, sizeof(text), "key%ldtime=%ld\nkey%ldanchorx=%ld\nkey%ldanchory=%ld\n", k,
                 (k - 1) * 100, k, 100 + k * 10, k, y);
        keys += text;
    }
    return keys;
}

// Section n of a plate sprite with its id, name and further keys.
inline std::string plateSprite(long n, unsigned long id, const char* name,
                               const std::string& extra = "") {
    char text[200];
    snprintf(text, sizeof(text), "[sprite%ld]\nbrush=2\nid=%lx\nname=%s\n", n, id, name);
    return text + extra;
}
