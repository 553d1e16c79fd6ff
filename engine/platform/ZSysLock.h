#pragma once

#include <pthread.h>

#include "ZObjectBase.h"

// The engine's recursive mutex: the owning thread may acquire again, and each acquire needs its
// release. Constructed unlocked.
class ZSysLock : public ZObjectBase {
public:
    ZSysLock();
    ~ZSysLock() override;

    ZSysLock(const ZSysLock&) = delete;
    ZSysLock& operator=(const ZSysLock&) = delete;

    void acquire();
    void release();

private:
    pthread_mutex_t m_mutex;
};
