#include "CUserEvent.h"

CUserEvent::~CUserEvent() {
    while (CUserEventListener* listener = listeners.head) {
        listeners.remove(listener);
        delete listener;
    }
}
