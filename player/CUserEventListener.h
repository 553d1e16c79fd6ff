#pragma once

#include <cstdint>

#include "ZObjectListable.h"

class CSprite;

// A sprite listening to a user event in one of its event slots; slot -1 hands the event to the
// sprite's display handler instead.
class CUserEventListener : public ZObjectListable {
public:
    CSprite* sprite = nullptr;
    int64_t slot = -1;
};
