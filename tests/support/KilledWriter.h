#pragma once

#include <functional>

// Kills a child process that writes one file over and over, at random moments, and checks each
// time what it left on disk. The child writes generations from the last one seen plus one
// upwards; readBack returns the generation the file holds whole, or -1 when it holds anything
// else. Each kill must leave a whole generation, never older than the one seen before.
// A gtest failure is reported (and the loop stops) at the first kill that breaks this.
class KilledWriter {
public:
    static void run(long kills, unsigned seed, long initialGeneration,
                    const std::function<void(long generation)>& write,
                    const std::function<long()>& readBack);
};
