#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ZCore.h"
#include "ZSysLock.h"
#include "ZSysThread.h"

using namespace std::chrono;

namespace {

// A one-way signal between two threads.
class Gate {
public:
    void open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    bool wait(milliseconds timeout = seconds(5)) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

bool completesWithin(const ZSysThread& thread, milliseconds timeout) {
    const auto end = steady_clock::now() + timeout;
    while (!thread.hasCompleted()) {
        if (steady_clock::now() > end) return false;
        ZSysThread::sleep(1);
    }
    return true;
}

struct Call {
    std::atomic<int> count{0};
    void* userData = nullptr;
    long parameter = 0;
    bool onOtherThread = false;
    pthread_t caller = pthread_self();
};

void recordCall(void* userData, long parameter) {
    Call* call = static_cast<Call*>(userData);
    call->userData = userData;
    call->parameter = parameter;
    call->onOtherThread = !pthread_equal(call->caller, pthread_self());
    call->count++;
}

// Makes every thread created with default attributes ask for an impossible stack, for as long
// as the object lives.
class UnstartableThreads {
public:
    UnstartableThreads() {
        pthread_getattr_default_np(&m_saved);
        pthread_attr_t huge;
        pthread_attr_init(&huge);
        pthread_attr_setstacksize(&huge, size_t(1) << 50);
        pthread_setattr_default_np(&huge);
        pthread_attr_destroy(&huge);
    }
    ~UnstartableThreads() {
        pthread_setattr_default_np(&m_saved);
        pthread_attr_destroy(&m_saved);
    }
    static bool work() {
        pthread_t thread;
        if (pthread_create(
                &thread, nullptr, [](void*) -> void* { return nullptr; }, nullptr))
            return true;
        pthread_join(thread, nullptr);
        return false;
    }

private:
    pthread_attr_t m_saved;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// ZSysThread

TEST(ZSysThread, RunsTheFunctionOnceOnItsOwnThreadAtEveryPriority) {
    for (long priority : {-1L, 0L, 1L, 5L}) {
        Call call;
        ZSysThread thread(recordCall, &call, 4000 + priority, priority);
        thread.waitForCompletion();
        EXPECT_TRUE(thread.hasCompleted()) << "priority " << priority;
        EXPECT_EQ(1, call.count.load()) << "priority " << priority;
        EXPECT_EQ(&call, call.userData);
        EXPECT_EQ(4000 + priority, call.parameter);
        EXPECT_TRUE(call.onOtherThread);
    }
}

TEST(ZSysThread, ReportsCompletedOnlyOnceTheFunctionHasReturned) {
    Gate release;
    ZSysThread thread([](void* gate, long) { static_cast<Gate*>(gate)->wait(); }, &release, 0, 0);
    ZSysThread::sleep(20);
    EXPECT_FALSE(thread.hasCompleted());
    release.open();
    EXPECT_TRUE(completesWithin(thread, seconds(5)));
}

TEST(ZSysThread, DestructionWaitsForTheFunctionAndJoinsOnce) {
    std::atomic<bool> finished{false};
    {
        ZSysThread thread(
            [](void* flag, long) {
                ZSysThread::sleep(50);
                static_cast<std::atomic<bool>*>(flag)->store(true);
            },
            &finished, 0, 0);
    }
    EXPECT_TRUE(finished.load());

    Call call;
    {
        ZSysThread thread(recordCall, &call, 0, 0);
        thread.waitForCompletion();
        thread.waitForCompletion();
    }  // a second join of the same handle here would be undefined
    EXPECT_EQ(1, call.count.load());
}

TEST(ZSysThread, ThreadThatCannotStartCountsAsCompletedAndIsNeverJoined) {
    Call call;
    {
        UnstartableThreads unstartable;
        if (!UnstartableThreads::work()) GTEST_SKIP() << "this system starts any thread";
        ZSysThread thread(recordCall, &call, 0, 1);
        EXPECT_TRUE(thread.hasCompleted());
        thread.waitForCompletion();
    }
    EXPECT_EQ(0, call.count.load());

    // The failure is logged: look in a child whose log goes to a file.
    TempDir dir;
    const std::string path = dir.file("log.txt");
    pid_t child = fork();
    if (child == 0) {
        ZCore::enableLog(path.c_str(), "test", "1.0", false);
        {
            UnstartableThreads unstartable;
            ZSysThread thread(recordCall, &call, 0, 0);
        }
        ZCore::disableLog();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    const std::string log = readFile(path);
    if (log.find("Start log: test 1.0") == std::string::npos)
        GTEST_SKIP() << "the log of this process was already open";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(std::string::npos, log.find("System: couldn't create thread, ERROR\n")) << log;
}

TEST(ZSysThread, SleepWaitsTheGivenTimeAndOnlyYieldsForNoneOrLess) {
    struct Case {
        long ms;
        milliseconds atLeast;
        milliseconds below;
    } cases[] = {
        {0, milliseconds(0), milliseconds(100)},
        {-5, milliseconds(0), milliseconds(100)},
        {30, milliseconds(30), seconds(5)},
        {1200, milliseconds(1200), seconds(6)},
    };
    for (const Case& c : cases) {
        const auto start = steady_clock::now();
        ZSysThread::sleep(c.ms);
        const auto took = steady_clock::now() - start;
        EXPECT_GE(took, c.atLeast) << c.ms << " ms";
        EXPECT_LT(took, c.below) << c.ms << " ms";
    }
}

namespace {

// A thread that puts itself under SCHED_RR at priority 1, waits, then reads its own scheduling.
struct PriorityProbe {
    Gate ready;
    Gate go;
    bool realTime = false;
    int policy = -1;
    int priority = -1;
};

void probePriority(void* data, long) {
    PriorityProbe* probe = static_cast<PriorityProbe*>(data);
    struct sched_param param;
    param.sched_priority = 1;
    probe->realTime = pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0;
    probe->ready.open();
    probe->go.wait();
    pthread_getschedparam(pthread_self(), &probe->policy, &param);
    probe->priority = param.sched_priority;
}

}  // namespace

TEST(ZSysThread, PriorityLevelsMapTo10_50_99AndKeepThePolicy) {
    struct Case {
        long level;
        int priority;
    } cases[] = {{-1, 10}, {0, 50}, {1, 99}, {5, 1}, {2, 1}, {-2, 1}};
    for (const Case& c : cases) {
        PriorityProbe probe;
        ZSysThread thread(probePriority, &probe, 0, 5);
        ASSERT_TRUE(probe.ready.wait());
        if (!probe.realTime) {
            probe.go.open();
            GTEST_SKIP() << "no permission for real-time scheduling";
        }
        thread.setThreadPriority(c.level);
        probe.go.open();
        thread.waitForCompletion();
        EXPECT_EQ(SCHED_RR, probe.policy) << "level " << c.level;
        EXPECT_EQ(c.priority, probe.priority) << "level " << c.level;
    }
}

// ---------------------------------------------------------------------------------------------
// ZSysLock

namespace {

struct Holder {
    ZSysLock* lock;
    Gate heldTwice, releaseOnce, releasedOnce, releaseAgain;
};

void holdTwice(void* data, long) {
    Holder* holder = static_cast<Holder*>(data);
    holder->lock->acquire();
    holder->lock->acquire();
    holder->heldTwice.open();
    holder->releaseOnce.wait();
    holder->lock->release();
    holder->releasedOnce.open();
    holder->releaseAgain.wait();
    holder->lock->release();
}

void takeAndLeave(void* data, long) {
    ZSysLock* lock = static_cast<ZSysLock*>(data);
    lock->acquire();
    lock->release();
}

}  // namespace

TEST(ZSysLock, StaysHeldAgainstOtherThreadsUntilEveryAcquireIsReleased) {
    ZSysLock lock;
    Holder holder;
    holder.lock = &lock;
    auto owner = std::make_unique<ZSysThread>(holdTwice, &holder, 0, 0);
    if (!holder.heldTwice.wait(seconds(2))) {
        owner.release();  // stuck in its second acquire for good: never join it
        FAIL() << "the owner could not acquire the lock a second time";
    }

    ZSysThread other(takeAndLeave, &lock, 0, 0);
    ZSysThread::sleep(30);
    EXPECT_FALSE(other.hasCompleted()) << "taken while held twice";

    holder.releaseOnce.open();
    ASSERT_TRUE(holder.releasedOnce.wait());
    ZSysThread::sleep(30);
    EXPECT_FALSE(other.hasCompleted()) << "taken while still held once";

    holder.releaseAgain.open();
    EXPECT_TRUE(completesWithin(other, seconds(5))) << "not free after the last release";
    owner->waitForCompletion();
}

TEST(ZSysLock, SerialisesNestedCriticalSectionsOfManyThreads) {
    struct Shared {
        ZSysLock lock;
        long counter = 0;
    } shared;
    const long kRounds = 2000;
    auto work = [](void* data, long rounds) {
        Shared* shared = static_cast<Shared*>(data);
        for (long i = 0; i < rounds; i++) {
            shared->lock.acquire();
            shared->lock.acquire();
            long value = shared->counter;
            ZSysThread::sleep(0);  // invite another thread into the gap
            shared->counter = value + 1;
            shared->lock.release();
            shared->lock.release();
        }
    };
    {
        std::vector<std::unique_ptr<ZSysThread>> threads;
        for (int i = 0; i < 4; i++)
            threads.push_back(std::make_unique<ZSysThread>(work, &shared, kRounds, 0));
    }
    EXPECT_EQ(4 * kRounds, shared.counter);
}
