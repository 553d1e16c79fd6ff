#pragma once

#include "ZObjectListable.h"

class CScene;

// A scene shown in one of the player's layers, in the order the frame updates them.
class CInsertedScene : public ZObjectListable {
public:
    CScene* scene = nullptr;
    long layer = -1;
};
