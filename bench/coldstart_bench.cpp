// Cold start benchmark: what a menu reads from its medium before its window shows, when nothing
// of the medium is in memory yet (the medium has just been inserted).
//
// Each run first writes back and drops every file of the medium from the page cache
// (posix_fadvise POSIX_FADV_DONTNEED) and checks that none of their pages is resident any more,
// then starts PROGRAM (such as the medium's autorun.sh) in MEDIUM and watches for its first frame
// (firstframe.h). At that moment it sums the resident size of the process's mappings of medium
// files (/proc/PID/smaps); after the process is gone it counts the pages of every medium file
// that are resident now (mmap + mincore): what was read from the medium, the kernel's read-ahead
// included. A warm run of the same program follows each cold one.
//
// On a slow medium (scripts/bench coldstart-media) the medium is made cold differently: a command
// (--cold COMMAND, run by the shell) mounts it afresh before each cold run, as a medium just
// inserted, and a counter file of the slow medium (--counters FILE, bench/slowmedium's "stats")
// says what the run read from it: requests, scattered requests and bytes. One run after each
// remount that is not measured warms the system's libraries first; there are no warm runs.
// --last-run FILE writes the numbers of the last cold run's first request and of the one after
// its last ("FIRST END", counted from 0 as the slow medium's log counts its lines).
// --preload makes the started process read the bundle's files listed in discmenu/preload.list
// (launcher/preload.h) before it runs PROGRAM, as the launcher does when it takes the bundled Qt.
//
// Usage: coldstart_bench [--runs N] [--verbose] [--cold COMMAND --counters FILE [--last-run FILE]]
//                        [--preload] [--timeout SECONDS] MEDIUM PROGRAM
// Prints tab-separated rows: metric, median. With --verbose, the medium files read in the last
// cold run, largest first, go to standard error.
#include <fcntl.h>
#include <ftw.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "firstframe.h"
#include "launcher/preload.h"

using firstframe::die;
using firstframe::median;
using firstframe::Watcher;

namespace {

std::vector<std::string> mediumFiles;

int collect(const char* path, const struct stat* info, int type, FTW*) {
    if (type == FTW_F && S_ISREG(info->st_mode)) mediumFiles.emplace_back(path);
    return 0;
}

// Writes back and drops the file's cached pages.
void drop(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) die("cannot open " + path + ": " + std::strerror(errno));
    fdatasync(fd);
    const int error = posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
    if (error != 0) die("cannot drop the cached pages of " + path + ": " + std::strerror(error));
}

// Bytes of the file that are in the page cache.
long long residentBytes(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) die("cannot open " + path + ": " + std::strerror(errno));
    struct stat info {};
    fstat(fd, &info);
    long long bytes = 0;
    if (info.st_size > 0) {
        const long page = sysconf(_SC_PAGESIZE);
        const size_t length = static_cast<size_t>(info.st_size);
        void* map = mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, 0);
        if (map == MAP_FAILED) die("cannot map " + path + ": " + std::strerror(errno));
        std::vector<unsigned char> pages((length + page - 1) / page);
        if (mincore(map, length, pages.data()) != 0)
            die("mincore failed on " + path + ": " + std::strerror(errno));
        for (unsigned char p : pages) bytes += (p & 1) ? page : 0;
        munmap(map, length);
    }
    close(fd);
    return bytes;
}

// Sum of the Rss of the process's mappings of files under `medium` (a path ending in '/').
long long mappedMediumBytes(pid_t pid, const std::string& medium) {
    std::ifstream smaps("/proc/" + std::to_string(pid) + "/smaps");
    std::string line;
    bool ofMedium = false;
    long long kb = 0;
    while (std::getline(smaps, line)) {
        // A mapping's first line is "start-end perms offset dev inode [path]"; its fields are "Name: value".
        const size_t colon = line.find(':');
        const bool field =
            colon != std::string::npos && line.find(' ') == colon + 1 && line.find('-') > colon;
        if (!field) {
            const size_t path = line.find('/');
            ofMedium = path != std::string::npos && line.compare(path, medium.size(), medium) == 0;
        } else if (ofMedium && line.compare(0, 4, "Rss:") == 0) {
            kb += std::atoll(line.c_str() + 4);
        }
    }
    return kb * 1024;
}

// The slow medium's counters: "name value" lines.
std::map<std::string, long long> readCounters(const std::string& path) {
    std::ifstream in(path);
    if (!in) die("cannot read the counters " + path);
    std::map<std::string, long long> counters;
    std::string name;
    long long value = 0;
    while (in >> name >> value) counters[name] = value;
    return counters;
}

void runShell(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status != 0) die("\"" + command + "\" failed (status " + std::to_string(status) + ")");
}

// The slow medium: remounted before each cold run, counted by its counters.
int slowMedium(Watcher& watcher, int runs, const std::string& cold, const std::string& counters,
               const std::string& lastRun, const std::string& medium, const std::string& program) {
    std::vector<double> ms, bytes, requests, scattered;
    runShell(cold);
    watcher.run(program, medium);  // warms the system's libraries; not counted
    long long first = 0, end = 0;
    for (int i = 0; i < runs; ++i) {
        runShell(cold);
        const auto before = readCounters(counters);
        ms.push_back(watcher.run(program, medium).ms);
        auto after = readCounters(counters);
        first = before.at("requests");
        end = after["requests"];
        bytes.push_back(double(after["bytes"] - before.at("bytes")));
        requests.push_back(double(after["requests"] - before.at("requests")));
        scattered.push_back(double(after["scattered"] - before.at("scattered")));
    }
    std::printf("start-up to first frame, medium just mounted (ms, median of %d)\t%.0f\n", runs, median(ms));
    std::printf("read from the medium (KB, median of %d)\t%.0f\n", runs, median(bytes) / 1024);
    std::printf("read requests (median of %d)\t%.0f\n", runs, median(requests));
    std::printf("of them scattered, each a seek (median of %d)\t%.0f\n", runs, median(scattered));
    if (!lastRun.empty()) {
        std::ofstream out(lastRun);
        out << first << ' ' << end << '\n';
        if (!out) die("cannot write " + lastRun);
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    int runs = 5;
    bool verbose = false;
    bool preload = false;
    int timeout = 20;
    std::string cold, counters, lastRun;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (arg == "--verbose") {
            verbose = true;
        } else if (arg == "--preload") {
            preload = true;
        } else if (arg == "--cold" && i + 1 < argc) {
            cold = argv[++i];
        } else if (arg == "--counters" && i + 1 < argc) {
            counters = argv[++i];
        } else if (arg == "--last-run" && i + 1 < argc) {
            lastRun = argv[++i];
        } else if (arg == "--timeout" && i + 1 < argc) {
            timeout = std::atoi(argv[++i]);
        } else {
            args.push_back(arg);
        }
    }
    if (args.size() != 2 || runs < 1 || timeout < 1 || cold.empty() != counters.empty() ||
        (!lastRun.empty() && cold.empty())) {
        std::fprintf(stderr,
                     "usage: coldstart_bench [--runs N] [--verbose] [--cold COMMAND --counters FILE "
                     "[--last-run FILE]]\n"
                     "                       [--preload] [--timeout SECONDS] MEDIUM PROGRAM\n");
        return 2;
    }
    char* full = realpath(args[0].c_str(), nullptr);
    if (!full) die("cannot find the medium " + args[0] + ": " + std::strerror(errno));
    const std::string medium = std::string(full) + "/";
    std::free(full);
    full = realpath(args[1].c_str(), nullptr);
    if (!full) die("cannot find the program " + args[1] + ": " + std::strerror(errno));
    const std::string program = full;
    std::free(full);

    Watcher watcher;
    watcher.timeoutSeconds = timeout;
    if (preload) {
        const std::string folder = medium + "discmenu";
        watcher.beforeExec = [folder] {
            char error[1024] = "";
            if (launcher::preloadFiles(folder.c_str(), error, sizeof error) < 0) {
                std::fprintf(stderr, "coldstart_bench: %s\n", error);
                _exit(125);
            }
        };
    }
    if (!cold.empty()) return slowMedium(watcher, runs, cold, counters, lastRun, medium, program);
    if (nftw(medium.c_str(), collect, 32, FTW_PHYS) != 0) die("cannot list the files of " + medium);

    std::vector<double> coldMs, warmMs, readBytes, mappedBytes;
    std::map<std::string, long long> lastRead;
    for (int i = 0; i < runs; ++i) {
        long long before = 0;
        for (const std::string& file : mediumFiles) drop(file);
        for (const std::string& file : mediumFiles) before += residentBytes(file);
        if (before != 0)
            die("the medium's pages could not be dropped (" + std::to_string(before) + " bytes stay)");

        long long mapped = 0;
        const auto cold =
            watcher.run(program, medium, [&](pid_t pid) { mapped = mappedMediumBytes(pid, medium); });
        long long read = 0;
        lastRead.clear();
        for (const std::string& file : mediumFiles) {
            const long long bytes = residentBytes(file);
            read += bytes;
            if (bytes) lastRead[file] = bytes;
        }
        coldMs.push_back(cold.ms);
        readBytes.push_back(double(read));
        mappedBytes.push_back(double(mapped));
        warmMs.push_back(watcher.run(program, medium).ms);
    }

    std::printf("start-up to first frame, warm (ms, median of %d)\t%.1f\n", runs, median(warmMs));
    std::printf("start-up to first frame, cold medium (ms, median of %d)\t%.1f\n", runs, median(coldMs));
    std::printf("medium read before the first frame (KB, resident after it, median of %d)\t%.0f\n", runs,
                median(readBytes) / 1024);
    std::printf("medium mapped and resident at the first frame (KB, smaps Rss, median of %d)\t%.0f\n", runs,
                median(mappedBytes) / 1024);
    if (verbose) {
        std::vector<std::pair<long long, std::string>> files;
        for (const auto& [file, bytes] : lastRead) files.emplace_back(bytes, file);
        std::sort(files.rbegin(), files.rend());
        for (const auto& [bytes, file] : files) {
            std::fprintf(stderr, "%9lld KB  %s\n", bytes / 1024, file.c_str() + medium.size());
        }
    }
    return 0;
}
