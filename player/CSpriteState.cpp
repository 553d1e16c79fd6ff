#include "CSpriteState.h"

CSpriteState::CSpriteState() {
    keyAnchorOffsets = new ZVector2[1]();
}

CSpriteState::~CSpriteState() {
    delete[] keyAnchorOffsets;
    delete[] handlerBlock;
}

void CSpriteState::releaseOwned() {
    delete[] keyAnchorOffsets;
    delete[] handlerBlock;
    handlerBlock = nullptr;
    handlerBlockSize = 0;
    keyAnchorOffsetCount = 1;
    keyAnchorOffsets = new ZVector2[1]();
}
