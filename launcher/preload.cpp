#include "launcher/preload.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "launcher/bundlepack.h"

namespace launcher {

namespace {

constexpr std::size_t kMaxList = 64 * 1024;
constexpr std::size_t kChunk = 1024 * 1024;

// Reads `length` bytes from `offset` (to the end for a negative length) of the file into the page
// cache; the bytes read, or -1 when it cannot be read.
long long readRange(const char* path, long long offset, long long length) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    // The range is wanted, in order: plain reads through a large buffer, each waited for, reach
    // the medium as one run of requests in disk order. (readahead() and POSIX_FADV_WILLNEED
    // return before the data is in, read part of it only on some file systems, and let requests
    // reach the drive out of order: seeks; measured with scripts/bench coldstart-media.) A whole
    // file is read with the kernel's read-ahead; for a part it is turned off, since it would read
    // on past the part's end into what the list leaves out (3 MB more for the bundled Qt).
    posix_fadvise(fd, 0, 0, length < 0 ? POSIX_FADV_SEQUENTIAL : POSIX_FADV_RANDOM);
    static char buffer[kChunk];
    long long done = 0;
    ssize_t n;
    while (length < 0 || done < length) {
        const std::size_t want = length < 0 || length - done > static_cast<long long>(sizeof buffer)
                                     ? sizeof buffer
                                     : static_cast<std::size_t>(length - done);
        n = pread(fd, buffer, want, offset + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    close(fd);
    return done;
}

}  // namespace

long long readAhead(const char* path) { return readRange(path, 0, -1); }

long long preloadFiles(const char* folder, char* error, std::size_t errorSize) {
    char path[PATH_MAX];
    if (std::snprintf(path, sizeof path, "%s/%s", folder, kPreloadList) >= int(sizeof path)) {
        std::snprintf(error, errorSize, "the path of %s in %s is too long", kPreloadList, folder);
        return -1;
    }
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return 0;
        std::snprintf(error, errorSize, "cannot open %s: %s", path, std::strerror(errno));
        return -1;
    }
    static char list[kMaxList + 1];
    std::size_t used = 0;
    ssize_t n;
    while (used < kMaxList &&
           ((n = read(fd, list + used, kMaxList - used)) > 0 || (n < 0 && errno == EINTR))) {
        if (n > 0) used += static_cast<std::size_t>(n);
    }
    char extra;
    const bool tooLong = used == kMaxList && read(fd, &extra, 1) > 0;
    close(fd);
    if (tooLong) {
        std::snprintf(error, errorSize, "%s is longer than %zu bytes: it is not a list of the bundle's files",
                      path, kMaxList);
        return -1;
    }
    list[used] = '\0';

    long long total = 0;
    int line = 0;
    for (char* start = list; *start;) {
        char* end = std::strchr(start, '\n');
        if (end) *end = '\0';
        ++line;
        // "PATH" reads the whole file; "PATH<tab>OFFSET<tab>LENGTH" the bytes the start needs of it.
        long long offset = 0, length = -1;
        if (char* tab = std::strchr(start, '\t')) {
            *tab = '\0';
            char* rest = tab + 1;
            char* stop = nullptr;
            errno = 0;
            offset = std::strtoll(rest, &stop, 10);
            const bool offsetOk = stop != rest && *stop == '\t' && offset >= 0 && errno == 0;
            rest = offsetOk ? stop + 1 : rest;
            length = offsetOk ? std::strtoll(rest, &stop, 10) : -1;
            if (!offsetOk || stop == rest || *stop != '\0' || length <= 0 || errno != 0) {
                std::snprintf(
                    error, errorSize,
                    "%s, line %d: \"%s\" is followed by \"%s\", expected a tab, an offset, a tab and a "
                    "length in bytes",
                    path, line, start, tab + 1);
                return -1;
            }
        }
        // Paths stay inside the folder: relative, and no ".." part.
        if (*start && !staysInside(start)) {
            std::snprintf(error, errorSize, "%s, line %d: \"%s\" is not a path inside %s", path, line, start,
                          folder);
            return -1;
        }
        char file[PATH_MAX];
        if (*start && std::snprintf(file, sizeof file, "%s/%s", folder, start) < int(sizeof file)) {
            const long long bytes = readRange(file, offset, length);
            if (bytes > 0) total += bytes;
        }
        if (!end) break;
        start = end + 1;
    }
    return total;
}

}  // namespace launcher
