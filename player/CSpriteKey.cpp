#include "CSpriteKey.h"

#include "ZIniReader.h"

void CSpriteKey::copyFrom(const CSpriteKey& other) {
    if (this == &other) return;
    release();
    *this = other;
    for (int i = 0; i < 2; i++)
        actionParam[i] =
            other.actionParam[i] ? ZIniReader::allocCopyString(other.actionParam[i]) : nullptr;
}

void CSpriteKey::release() {
    for (char*& param : actionParam) {
        delete[] param;
        param = nullptr;
    }
}
