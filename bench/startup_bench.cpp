// Start-up benchmark: the time from process start until a program's window first gets content on
// the X server, and the program's peak memory by then, for two or more programs run alternately
// (the menu, then the windows it is measured against).
//
// The first frame is watched from outside the programs, the same way for both (firstframe.h).
// CPU time is the steadier figure on a busy machine; the elapsed time is what a user waits.
//
// Usage: startup_bench [--runs N] [--warmup N] [--dir FOLDER] [--verbose] PROGRAM_A PROGRAM_B [PROGRAM...]
// Prints tab-separated rows: metric, the median of each program, then the ratio of A's median to
// each other program's (A/B, A/C, ...).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "alternation.h"
#include "firstframe.h"

using firstframe::median;
using firstframe::Sample;
using firstframe::Watcher;

int main(int argc, char* argv[]) {
    int runs = 20;
    int warmup = 2;
    bool verbose = false;
    std::string folder;
    std::vector<std::string> programs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (arg == "--warmup" && i + 1 < argc) {
            warmup = std::atoi(argv[++i]);
        } else if (arg == "--dir" && i + 1 < argc) {
            folder = argv[++i];
        } else if (arg == "--verbose") {
            verbose = true;
        } else {
            programs.push_back(arg);
        }
    }
    if (programs.size() < 2 || runs < 1) {
        std::fprintf(stderr,
                     "usage: startup_bench [--runs N] [--warmup N] [--dir FOLDER] [--verbose] PROGRAM_A "
                     "PROGRAM_B [PROGRAM...]\n");
        return 2;
    }
    for (std::string& program : programs) {
        if (program.find('/') == std::string::npos) continue;
        if (char* full = realpath(program.c_str(), nullptr)) {
            program = full;
            std::free(full);
        }
    }

    const int count = int(programs.size());
    Watcher watcher;
    std::vector<std::vector<Sample>> samples(programs.size());
    for (int i = 0; i < warmup; ++i) {
        for (const std::string& program : programs) watcher.run(program, folder);
    }
    // Each round runs every program once, each round in another order, so that none gains from
    // another's caching (alternation.h).
    for (int i = 0; i < runs; ++i) {
        for (const int which : alternation::roundOrder(i, count)) {
            const Sample sample = watcher.run(programs[which], folder);
            samples[which].push_back(sample);
            if (verbose) {
                std::fprintf(stderr, "run %2d %s: %.1f ms, %ld KB\n", i + 1, programs[which].c_str(),
                             sample.ms, sample.maxRssKb);
            }
        }
    }

    // One row per metric: each program's median, then the first program's against each other's.
    const auto row = [&](const char* metric, const char* format, double (*value)(const Sample&)) {
        std::vector<double> medians;
        for (const std::vector<Sample>& own : samples) {
            std::vector<double> values;
            for (const Sample& s : own) values.push_back(value(s));
            medians.push_back(median(values));
        }
        std::printf("%s, median of %d)", metric, runs);
        for (const double m : medians) std::printf(format, m);
        for (int k = 1; k < count; ++k) std::printf("\t%.3f", medians[0] / medians[k]);
        std::printf("\n");
    };
    row("start-up to first frame (ms", "\t%.1f", [](const Sample& s) { return s.ms; });
    row("CPU time to first frame (ms", "\t%.1f", [](const Sample& s) { return s.cpuMs; });
    row("peak memory at first frame (max RSS, KB", "\t%.0f",
        [](const Sample& s) { return double(s.maxRssKb); });
    return 0;
}
