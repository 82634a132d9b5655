#include "launcher/bundlepack.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace launcher {

namespace {

constexpr char kMagic[] = "discmenu-pack 1";
constexpr int kMaxEntries = 256;
// Far more than a bundle holds (some 10 MB packed, 40 MB unpacked): anything larger is not a pack.
constexpr long long kMaxPack = 256LL << 20;
constexpr long long kMaxLibrary = 512LL << 20;
// memfd_create's flags, spelled out for C libraries older than the call (glibc 2.27).
constexpr unsigned kMemfdCloexec = 1;
constexpr unsigned kMemfdExec = 0x10;  // Linux 6.3: executable even where vm.memfd_noexec asks otherwise

struct Entry {
    const char* path;
    long long size;
    long long packed;
    int fd;
    const char* frame;  // its packed bytes in the pack
    bool second;        // unpacked by the second process
};

using Decompress = std::size_t (*)(void*, std::size_t, const void*, std::size_t);
using IsError = unsigned (*)(std::size_t);
using ErrorName = const char* (*)(std::size_t);

struct Zstd {
    Decompress decompress = nullptr;
    IsError isError = nullptr;
    ErrorName errorName = nullptr;
};

// Unpacks the entry's frame into its memory file; false with a message naming it and `pack`
// otherwise.
bool unpack(const Entry& entry, const Zstd& zstd, const char* pack, char* error, std::size_t errorSize) {
    void* memory = mmap(nullptr, std::size_t(entry.size), PROT_READ | PROT_WRITE, MAP_SHARED, entry.fd, 0);
    if (memory == MAP_FAILED) {
        std::snprintf(error, errorSize, "cannot unpack %s into memory: %s", entry.path, std::strerror(errno));
        return false;
    }
    const std::size_t made =
        zstd.decompress(memory, std::size_t(entry.size), entry.frame, std::size_t(entry.packed));
    munmap(memory, std::size_t(entry.size));
    if (zstd.isError(made)) {
        std::snprintf(error, errorSize, "cannot unpack %s from %s: %s", entry.path, pack,
                      zstd.errorName(made));
        return false;
    }
    if (made != std::size_t(entry.size)) {
        std::snprintf(error, errorSize, "%s unpacks to %zu bytes from %s, its list says %lld", entry.path,
                      made, pack, entry.size);
        return false;
    }
    return true;
}

// Unpacks every packed entry; where the machine has a second processor, a second process (fork:
// nothing but this launcher is loaded yet) unpacks half of the bytes meanwhile, into the same
// memory files. Unpacking is most of what the pack costs a start from a fast medium, hence the
// second process (docs/performance.md has the figures). Whatever the second process could not
// unpack is unpacked here again, so that the message is this process's own.
bool unpackAll(Entry* entries, int count, const Zstd& zstd, const char* pack, char* error,
               std::size_t errorSize) {
    // The shares: the largest library first, each to the process with fewer bytes so far.
    static bool shared[kMaxEntries];
    long long share[2] = {0, 0};
    for (int i = 0; i < count; ++i) shared[i] = entries[i].packed == 0;
    for (;;) {
        int largest = -1;
        for (int i = 0; i < count; ++i) {
            if (!shared[i] && (largest < 0 || entries[i].size > entries[largest].size)) largest = i;
        }
        if (largest < 0) break;
        shared[largest] = true;
        entries[largest].second = share[1] < share[0];
        share[entries[largest].second ? 1 : 0] += entries[largest].size;
    }
    const pid_t helper = share[1] > 0 && sysconf(_SC_NPROCESSORS_ONLN) > 1 ? fork() : -1;
    if (helper == 0) {
        char ignored[8];
        for (int i = 0; i < count; ++i) {
            if (entries[i].packed > 0 && entries[i].second &&
                !unpack(entries[i], zstd, pack, ignored, sizeof ignored))
                _exit(1);
        }
        _exit(0);
    }
    bool done = true;
    for (int i = 0; i < count && done; ++i) {
        if (entries[i].packed > 0 && (!entries[i].second || helper < 0))
            done = unpack(entries[i], zstd, pack, error, errorSize);
    }
    if (helper > 0) {
        int status = 0;
        while (waitpid(helper, &status, 0) < 0 && errno == EINTR) {
        }
        const bool helped = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        for (int i = 0; i < count && done && !helped; ++i) {
            if (entries[i].packed > 0 && entries[i].second)
                done = unpack(entries[i], zstd, pack, error, errorSize);
        }
    }
    return done;
}

// A memory file named `name`, executable where the kernel asks for that to be said; -1 and errno
// when the kernel has none.
int memoryFile(const char* name) {
    int fd = int(syscall(SYS_memfd_create, name, kMemfdCloexec | kMemfdExec));
    if (fd < 0 && errno == EINVAL) fd = int(syscall(SYS_memfd_create, name, kMemfdCloexec));
    return fd;
}

// Reads the whole file into `data` (malloc'ed); false with errno when it cannot.
bool readAll(int fd, char*& data, long long& size) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    if (!S_ISREG(info.st_mode) || info.st_size > kMaxPack) {
        errno = EFBIG;
        return false;
    }
    size = info.st_size;
    // One pass in order: the medium reads on instead of seeking.
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    data = static_cast<char*>(std::malloc(std::size_t(size) + 1));
    if (!data) return false;
    long long done = 0;
    while (done < size) {
        const ssize_t n = pread(fd, data + done, std::size_t(size - done), done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;  // shorter than it said
            return false;
        }
        done += n;
    }
    data[size] = '\0';
    return true;
}

// A decimal number of at least `least` that fills [start, stop) of a line; -1 otherwise.
long long number(const char* start, const char* stop, long long least) {
    if (start == stop || stop - start > 18) return -1;
    long long value = 0;
    for (const char* c = start; c < stop; ++c) {
        if (*c < '0' || *c > '9') return -1;
        value = value * 10 + (*c - '0');
    }
    return value >= least ? value : -1;
}

void closeAll(Entry* entries, int count) {
    for (int i = 0; i < count; ++i) {
        if (entries[i].fd >= 0) close(entries[i].fd);
        entries[i].fd = -1;
    }
}

}  // namespace

bool staysInside(const char* path) {
    if (!*path || *path == '/') return false;
    for (const char* part = path; part;) {
        const char* slash = std::strchr(part, '/');
        const std::size_t length = slash ? std::size_t(slash - part) : std::strlen(part);
        if (length == 2 && part[0] == '.' && part[1] == '.') return false;
        part = slash ? slash + 1 : nullptr;
    }
    return true;
}

PackResult loadBundlePack(const char* folder, int& loaded, long long& bytesRead, char* error,
                          std::size_t errorSize) {
    loaded = 0;
    bytesRead = 0;
    char path[PATH_MAX];
    if (std::snprintf(path, sizeof path, "%s/%s", folder, kBundlePack) >= int(sizeof path)) {
        std::snprintf(error, errorSize, "the path of %s in %s is too long", kBundlePack, folder);
        return PackResult::kUnusable;
    }
    const int packFd = open(path, O_RDONLY | O_CLOEXEC);
    if (packFd < 0) {
        if (errno == ENOENT) return PackResult::kAbsent;
        std::snprintf(error, errorSize, "cannot open %s: %s", path, std::strerror(errno));
        return PackResult::kUnusable;
    }
    char* data = nullptr;
    long long size = 0;
    const bool read = readAll(packFd, data, size);
    const int readErrno = errno;
    close(packFd);
    if (!read) {
        std::free(data);
        std::snprintf(error, errorSize, "cannot read %s: %s", path, std::strerror(readErrno));
        return PackResult::kUnusable;
    }
    bytesRead = size;

    static Entry entries[kMaxEntries];
    int count = 0;
    const auto refuse = [&](int line, const char* what) {
        std::snprintf(error, errorSize, "%s, line %d: %s", path, line, what);
        std::free(data);
        return PackResult::kUnusable;
    };
    // The lines: the first names the format, then one a library up to an empty line.
    char* at = data;
    int line = 0;
    long long packedTotal = 0;
    for (;;) {
        char* end = std::strchr(at, '\n');
        ++line;
        if (!end) return refuse(line, "the pack ends before the empty line that ends its list of libraries");
        *end = '\0';
        if (line == 1) {
            if (std::strcmp(at, kMagic) != 0)
                return refuse(line, "expected \"discmenu-pack 1\": not a pack of this launcher");
        } else if (*at == '\0') {
            at = end + 1;
            break;
        } else {
            char* tab1 = std::strchr(at, '\t');
            char* tab2 = tab1 ? std::strchr(tab1 + 1, '\t') : nullptr;
            const long long librarySize = tab2 ? number(tab1 + 1, tab2, 1) : -1;
            const long long packed = tab2 ? number(tab2 + 1, end, 0) : -1;
            if (librarySize < 0 || packed < 0 || librarySize > kMaxLibrary || packed > kMaxPack)
                return refuse(
                    line, "expected a path, a tab, the library's size, a tab and its packed size in bytes");
            *tab1 = '\0';
            if (!staysInside(at)) return refuse(line, "the path leaves the bundle's folder");
            if (count == kMaxEntries) return refuse(line, "more libraries than a bundle holds");
            entries[count++] = {at, librarySize, packed, -1, nullptr, false};
            packedTotal += packed;
        }
        at = end + 1;
    }
    const long long frames = size - (at - data);
    if (frames != packedTotal) {
        std::snprintf(error, errorSize,
                      "%s holds %lld bytes of packed libraries, its list says %lld: it is damaged", path,
                      frames, packedTotal);
        std::free(data);
        return PackResult::kUnusable;
    }

    // The system's zstd library, looked for only when some library is packed.
    Zstd zstd;
    if (packedTotal > 0) {
        void* library = dlopen("libzstd.so.1", RTLD_NOW | RTLD_LOCAL);
        if (library) {
            zstd.decompress = reinterpret_cast<Decompress>(dlsym(library, "ZSTD_decompress"));
            zstd.isError = reinterpret_cast<IsError>(dlsym(library, "ZSTD_isError"));
            zstd.errorName = reinterpret_cast<ErrorName>(dlsym(library, "ZSTD_getErrorName"));
        }
        if (!zstd.decompress || !zstd.isError || !zstd.errorName) {
            std::snprintf(error, errorSize, "cannot unpack %s: %s", path,
                          library ? "libzstd.so.1 lacks ZSTD_decompress" : dlerror());
            std::free(data);
            return PackResult::kUnusable;
        }
    }

    // Every library unpacked before any is loaded: a damaged pack loads nothing.
    const char* frame = at;
    for (int i = 0; i < count; ++i) {
        Entry& entry = entries[i];
        if (entry.packed == 0) continue;
        entry.frame = frame;
        frame += entry.packed;
        const char* base = std::strrchr(entry.path, '/');
        char name[NAME_MAX];
        std::snprintf(name, sizeof name, "%s%s", kPackedPrefix, base ? base + 1 : entry.path);
        entry.fd = memoryFile(name);
        if (entry.fd < 0 || ftruncate(entry.fd, entry.size) != 0) {
            std::snprintf(error, errorSize, "cannot unpack %s into memory: %s", entry.path,
                          std::strerror(errno));
            closeAll(entries, count);
            std::free(data);
            return PackResult::kUnusable;
        }
    }
    if (!unpackAll(entries, count, zstd, path, error, errorSize)) {
        closeAll(entries, count);
        std::free(data);
        return PackResult::kUnusable;
    }

    // Leaves first, so that each library's dependencies are loaded already when the loader looks
    // for them by soname. The memory files stay open: /proc/self/fd/N is the name the loader
    // keeps for each library (what dladdr answers).
    for (int i = 0; i < count; ++i) {
        char file[PATH_MAX];
        if (entries[i].fd >= 0) {
            std::snprintf(file, sizeof file, "/proc/self/fd/%d", entries[i].fd);
        } else if (std::snprintf(file, sizeof file, "%s/%s", folder, entries[i].path) >= int(sizeof file)) {
            continue;
        }
        if (!dlopen(file, RTLD_NOW | RTLD_LOCAL)) {
            std::snprintf(error, errorSize, "%s", dlerror());
            closeAll(entries + i, count - i);
            std::free(data);  // the entries' paths point into it
            return PackResult::kNotLoaded;
        }
        ++loaded;
    }
    std::free(data);
    return PackResult::kLoaded;
}

}  // namespace launcher
