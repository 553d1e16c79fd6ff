#pragma once

#include <cstdint>
#include <cstring>

// One recorded change of a scene's sprites, kept by value in its scene state and copied byte for
// byte into saved games: 448 bytes, words at 0 to 47, four texts of 100 bytes from 48. A record
// without a first text keeps two floats in its place.
struct CSceneCommand {
    enum Type : int64_t {
        kDuplicate = 1,
        kKeys = 2,
        kBrush = 3,
        kToBack = 4,
        kToFront = 5,
        kText = 6,
        kEventAction = 7,
        kKeyAction = 8,
        kCustom = 9,
        kLoopingSound = 10,
        kScale = 11,
        kParent = 12,
        kBehindSibling = 13,
        kInFrontOfSibling = 14,
        kTextLabel = 15,
    };
    static constexpr long kTextSize = 100;

    int64_t type;
    int64_t words[5];
    char texts[4][kTextSize];

    float getFloat(int index) const {
        float value;
        memcpy(&value, texts[0] + index * sizeof(float), sizeof(float));
        return value;
    }
    void setFloat(int index, float value) {
        memcpy(texts[0] + index * sizeof(float), &value, sizeof(float));
    }
};

static_assert(sizeof(CSceneCommand) == 448, "scene command records are 448 bytes in saved games");
