#include "ZSysThread.h"

#include <sched.h>

#include <cerrno>
#include <ctime>

#include "ZCore.h"

ZSysThread::ZSysThread(ZSysThreadFunction function, void* userData, long parameter, long priority)
    : m_thread(),
      m_function(function),
      m_userData(userData),
      m_parameter(parameter),
      m_completed(false),
      m_joinable(false) {
    if (pthread_create(&m_thread, nullptr, threadMain, this) != 0) {
        // Nothing will ever run: report it done so that pollers and joins do not wait forever.
        ZCore::logMessage("System: couldn't create thread, ERROR");
        m_completed.store(true, std::memory_order_release);
        return;
    }
    m_joinable = true;
    setThreadPriority(priority);
}

ZSysThread::~ZSysThread() {
    waitForCompletion();
}

void* ZSysThread::threadMain(void* self) {
    ZSysThread* thread = static_cast<ZSysThread*>(self);
    if (thread->m_function) thread->m_function(thread->m_userData, thread->m_parameter);
    thread->m_completed.store(true, std::memory_order_release);
    return nullptr;
}

void ZSysThread::waitForCompletion() {
    if (!m_joinable) return;
    pthread_join(m_thread, nullptr);
    m_joinable = false;
}

void ZSysThread::setThreadPriority(long level) {
    int priority;
    switch (level) {
        case -1:
            priority = 10;
            break;
        case 0:
            priority = 50;
            break;
        case 1:
            priority = 99;
            break;
        default:
            return;
    }
    // A joined handle is no longer valid.
    if (!m_joinable) return;

    int policy;
    struct sched_param param;
    if (pthread_getschedparam(m_thread, &policy, &param) != 0) return;
    param.sched_priority = priority;
    pthread_setschedparam(m_thread, policy, &param);
}

void ZSysThread::sleep(long milliseconds) {
    if (milliseconds <= 0) {
        sched_yield();
        return;
    }
    struct timespec rest;
    rest.tv_sec = milliseconds / 1000;
    rest.tv_nsec = (milliseconds % 1000) * 1000000L;
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}
