#include "KilledWriter.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

void KilledWriter::run(long kills, unsigned seed, long initialGeneration,
                       const std::function<void(long generation)>& write,
                       const std::function<long()>& readBack) {
    std::mt19937 random(seed);
    long lastSeen = initialGeneration;
    for (long kill = 0; kill < kills; kill++) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (long n = lastSeen + 1;; n++) write(n);
        }
        usleep(std::uniform_int_distribution<useconds_t>(0, 15000)(random));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself, status " << status;

        long seen = readBack();
        ASSERT_GE(seen, 0) << "the file is neither the old nor the new one after kill " << kill;
        ASSERT_GE(seen, lastSeen) << "an older generation came back after kill " << kill;
        lastSeen = seen;
    }
}
