#pragma once

#include "CUserEventListener.h"
#include "ZList.h"
#include "ZObjectListable.h"

// A named user event (name matched without case) with the sprites that listen to it. Owns its
// listeners.
class CUserEvent : public ZObjectListable {
public:
    CUserEvent() = default;
    ~CUserEvent() override;
    CUserEvent(const CUserEvent&) = delete;
    CUserEvent& operator=(const CUserEvent&) = delete;

    char name[100] = {};
    ZList<CUserEventListener> listeners;
};
