// Start-up benchmark: the time from process start until a program's window first gets content on
// the X server, and the program's peak memory by then, for two programs run alternately.
//
// The first frame is watched from outside the programs, the same way for both (firstframe.h).
// CPU time is the steadier figure on a busy machine; the elapsed time is what a user waits.
//
// Usage: startup_bench [--runs N] [--warmup N] [--dir FOLDER] [--verbose] PROGRAM_A PROGRAM_B
// Prints tab-separated rows: metric, median of A, median of B, ratio A/B.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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
    if (programs.size() != 2 || runs < 1) {
        std::fprintf(stderr,
                     "usage: startup_bench [--runs N] [--warmup N] [--dir FOLDER] [--verbose] PROGRAM_A "
                     "PROGRAM_B\n");
        return 2;
    }
    for (std::string& program : programs) {
        if (program.find('/') == std::string::npos) continue;
        if (char* full = realpath(program.c_str(), nullptr)) {
            program = full;
            std::free(full);
        }
    }

    Watcher watcher;
    std::vector<Sample> samples[2];
    for (int i = 0; i < warmup; ++i) {
        watcher.run(programs[0], folder);
        watcher.run(programs[1], folder);
    }
    // Alternate, and alternate which goes first, so that neither gains from the other's caching.
    for (int i = 0; i < runs; ++i) {
        for (int k = 0; k < 2; ++k) {
            const int which = (i % 2 == 0) ? k : 1 - k;
            const Sample sample = watcher.run(programs[which], folder);
            samples[which].push_back(sample);
            if (verbose) {
                std::fprintf(stderr, "run %2d %s: %.1f ms, %ld KB\n", i + 1, programs[which].c_str(),
                             sample.ms, sample.maxRssKb);
            }
        }
    }

    double ms[2], cpu[2], rss[2];
    for (int k = 0; k < 2; ++k) {
        std::vector<double> times, cpuTimes, sizes;
        for (const Sample& s : samples[k]) {
            times.push_back(s.ms);
            cpuTimes.push_back(s.cpuMs);
            sizes.push_back(double(s.maxRssKb));
        }
        ms[k] = median(times);
        cpu[k] = median(cpuTimes);
        rss[k] = median(sizes);
    }
    std::printf("start-up to first frame (ms, median of %d)\t%.1f\t%.1f\t%.3f\n", runs, ms[0], ms[1],
                ms[0] / ms[1]);
    std::printf("CPU time to first frame (ms, median of %d)\t%.1f\t%.1f\t%.3f\n", runs, cpu[0], cpu[1],
                cpu[0] / cpu[1]);
    std::printf("peak memory at first frame (max RSS, KB, median of %d)\t%.0f\t%.0f\t%.3f\n", runs, rss[0],
                rss[1], rss[0] / rss[1]);
    return 0;
}
