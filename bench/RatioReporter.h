#pragma once

// What the benchmark programs share: a reporter that keeps each benchmark's time, so that a
// program can print its own code's throughput against the bare library's once all have run.
#include <benchmark/benchmark.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

// Prints as usual and keeps the time per iteration of each benchmark: the median of its
// repetitions when --benchmark_repetitions asks for several.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Takes the command line before benchmark::Initialize takes the library's flags out of it.
    // Colours only a terminal, unless --benchmark_color says otherwise. argc and argv come back
    // with "--benchmark_min_time=<minTime>" in front of the given flags, so that a
    // --benchmark_min_time of the command line (or BENCHMARK_MIN_TIME) wins; the benchmarks
    // must then not set their own.
    RatioReporter(int& argc, char**& argv, const char* minTime)
        : ConsoleReporter(outputOptions(argc, argv)) {
        m_minTime = std::string("--benchmark_min_time=") + minTime;
        m_arguments.assign(argv, argv + argc);
        if (!getenv("BENCHMARK_MIN_TIME"))
            m_arguments.insert(m_arguments.begin() + (argc > 0 ? 1 : 0), &m_minTime[0]);
        m_arguments.push_back(nullptr);
        argc = static_cast<int>(m_arguments.size()) - 1;
        argv = m_arguments.data();
    }

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations <= 0) continue;
            Times& times = m_times[run.run_name.function_name];
            double perIteration = run.real_accumulated_time / static_cast<double>(run.iterations);
            // The other aggregates (mean, deviation, variation) are no times to compare.
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") times.median.push_back(perIteration);
            } else {
                times.runs.push_back(perIteration);
            }
        }
    }

    // Prints "<label> throughput: <ratio>x", the library's time over the own code's, or "not
    // measured" when either benchmark did not run.
    void printRatio(const std::string& label, const std::string& own,
                    const std::string& library) const {
        double ownTime = seconds(own), libraryTime = seconds(library);
        if (ownTime > 0 && libraryTime > 0)
            printf("%s throughput: %.3fx\n", label.c_str(), libraryTime / ownTime);
        else
            printf("%s throughput: not measured\n", label.c_str());
    }

    // Seconds per iteration of the benchmark, 0 when it did not run.
    double seconds(const std::string& name) const {
        auto found = m_times.find(name);
        if (found == m_times.end()) return 0;
        // The library's median when it reported one (it may report nothing else), else the
        // median of the runs seen.
        std::vector<double> values = found->second.median;
        if (values.empty()) values = found->second.runs;
        if (values.empty()) return 0;
        std::sort(values.begin(), values.end());
        size_t middle = values.size() / 2;
        return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    }

private:
    struct Times {
        std::vector<double> runs;
        std::vector<double> median;
    };

    // Counters in columns; colour codes only for a terminal that shows them, as the library's own
    // console does: --benchmark_color (or BENCHMARK_COLOR) is "auto", true or false.
    static OutputOptions outputOptions(int argc, char** argv) {
        const char* fromEnvironment = getenv("BENCHMARK_COLOR");
        std::string value = fromEnvironment ? fromEnvironment : "auto";
        const char kFlag[] = "--benchmark_color";
        for (int i = 1; i < argc; i++) {
            if (strcmp(argv[i], kFlag) == 0)
                value = "true";
            else if (strncmp(argv[i], kFlag, sizeof(kFlag) - 1) == 0 &&
                     argv[i][sizeof(kFlag) - 1] == '=')
                value = argv[i] + sizeof(kFlag);
        }
        bool color;
        if (strcasecmp(value.c_str(), "auto") == 0) {
            const char* term = getenv("TERM");
            color = isatty(fileno(stdout)) && term && *term && strcmp(term, "dumb") != 0;
        } else {
            color = false;
            for (const char* truth : {"1", "t", "true", "y", "yes", "on"})
                color = color || strcasecmp(value.c_str(), truth) == 0;
        }
        return color ? OO_ColorTabular : OO_Tabular;
    }

    std::map<std::string, Times> m_times;
    std::string m_minTime;
    std::vector<char*> m_arguments;
};
