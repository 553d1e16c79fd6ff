#pragma once

#include "ZObjectListable.h"

// A "broadcast:" event remembered for a scene that was not showing when it was raised.
class CStoredEvent : public ZObjectListable {
public:
    char name[100] = {};
};
