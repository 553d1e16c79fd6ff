#pragma once

// What the benchmark programs share: a reporter that keeps each benchmark's time, so that a
// program can print its own code's throughput against the bare library's once all have run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

// Prints as usual and keeps the mean time per iteration of each benchmark.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(OutputOptions options = OO_Defaults) : ConsoleReporter(options) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.iterations > 0)
                seconds[run.run_name.function_name] = run.real_accumulated_time / run.iterations;
    }

    // Prints "<label> throughput: <ratio>x", the library's time over the own code's, when both
    // benchmarks ran.
    void printRatio(const std::string& label, const std::string& own,
                    const std::string& library) const {
        auto ownTime = seconds.find(own);
        auto libraryTime = seconds.find(library);
        if (ownTime == seconds.end() || libraryTime == seconds.end()) return;
        printf("%s throughput: %.3fx\n", label.c_str(), libraryTime->second / ownTime->second);
    }

    std::map<std::string, double> seconds;
};
