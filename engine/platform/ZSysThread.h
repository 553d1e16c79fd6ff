#pragma once

#include <pthread.h>

#include <atomic>

#include "ZObjectBase.h"

typedef void (*ZSysThreadFunction)(void* userData, long parameter);

// A joinable thread that runs one function once, started by the constructor. The owner polls
// hasCompleted or joins with waitForCompletion; the destructor joins too, so the object must
// outlive the running function. Only the owning thread joins or changes the priority.
class ZSysThread : public ZObjectBase {
public:
    // priority: -1 low, 0 normal, 1 high (see setThreadPriority).
    ZSysThread(ZSysThreadFunction function, void* userData, long parameter, long priority);
    ~ZSysThread() override;

    void waitForCompletion();
    bool hasCompleted() const { return m_completed.load(std::memory_order_acquire); }

    // Levels -1, 0 and 1 set the scheduling priority 10, 50 or 99 within the thread's current
    // policy; other levels change nothing. Refusals (SCHED_OTHER takes none of these) are ignored.
    void setThreadPriority(long level);

    // Suspends the calling thread; 0 (or less) only yields.
    static void sleep(long milliseconds);

private:
    static void* threadMain(void* self);

    pthread_t m_thread;
    ZSysThreadFunction m_function;
    void* m_userData;
    long m_parameter;
    std::atomic<bool> m_completed;
    bool m_joinable;  // created and not joined yet
};
