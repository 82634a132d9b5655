// A slow medium for cold-start measurements: serves one image file through FUSE as the file
// "medium.img", taking as long for each read request as a CD drive or a USB stick would.
//
// Each request costs its bytes at the medium's transfer rate, plus the cost of a seek when it does
// not begin within 64 KiB of where the previous one ended (a scattered read). Requests are served one at a
// time, in the order they come, as one drive serves them. The kernel caches nothing of the image (direct
// I/O), so every read that reaches the medium's file system reaches this program.
//
// The file "stats" reads as the counts so far: requests, scattered requests, bytes, and the
// modelled time in milliseconds, one "name value" pair a line.
//
// Usage: slowmedium IMAGE MOUNTPOINT MB_PER_SECOND SEEK_MS [FUSE OPTIONS...]
// (runs in the foreground; unmount with fusermount3 -u MOUNTPOINT or umount).
#define FUSE_USE_VERSION 31
#include <fcntl.h>
#include <fuse.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kImage[] = "/medium.img";
constexpr char kStats[] = "/stats";
constexpr off_t kNear = 64 * 1024;

struct Medium {
    int fd = -1;
    off_t size = 0;
    double bytesPerMs = 0;
    double seekMs = 0;
    off_t next = -1;  // where the previous request ended
    long long requests = 0, scattered = 0, bytes = 0;
    double modelledMs = 0;
    FILE* log = nullptr;  // each request, when SLOWMEDIUM_LOG names a file
};

Medium medium;

std::string statsText() {
    char text[256];
    std::snprintf(text, sizeof text, "requests %lld\nscattered %lld\nbytes %lld\nmodelled_ms %.0f\n",
                  medium.requests, medium.scattered, medium.bytes, medium.modelledMs);
    return text;
}

void sleepMs(double ms) {
    timespec wait{static_cast<time_t>(ms / 1000),
                  static_cast<long>((ms - double(long(ms / 1000)) * 1000) * 1e6)};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

int getattr(const char* path, struct stat* info, fuse_file_info*) {
    std::memset(info, 0, sizeof *info);
    if (std::strcmp(path, "/") == 0) {
        info->st_mode = S_IFDIR | 0755;
        info->st_nlink = 2;
    } else if (std::strcmp(path, kImage) == 0) {
        info->st_mode = S_IFREG | 0444;
        info->st_nlink = 1;
        info->st_size = medium.size;
    } else if (std::strcmp(path, kStats) == 0) {
        info->st_mode = S_IFREG | 0444;
        info->st_nlink = 1;
        info->st_size = 4096;  // read with direct I/O: the size only bounds what is asked for
    } else {
        return -ENOENT;
    }
    return 0;
}

int readdir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
            fuse_readdir_flags) {
    if (std::strcmp(path, "/") != 0) return -ENOENT;
    for (const char* name : {".", "..", kImage + 1, kStats + 1})
        fill(buffer, name, nullptr, 0, fuse_fill_dir_flags{});
    return 0;
}

int open(const char* path, fuse_file_info* file) {
    if (std::strcmp(path, kImage) != 0 && std::strcmp(path, kStats) != 0) return -ENOENT;
    if ((file->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
    file->direct_io = 1;  // no page cache for the image: every read costs what the medium costs
    return 0;
}

int read(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info*) {
    if (std::strcmp(path, kStats) == 0) {
        const std::string text = statsText();
        if (offset >= off_t(text.size())) return 0;
        const size_t n = std::min(size, text.size() - size_t(offset));
        std::memcpy(buffer, text.data() + offset, n);
        return int(n);
    }
    if (offset >= medium.size) return 0;
    const ssize_t n = pread(medium.fd, buffer, std::min<off_t>(off_t(size), medium.size - offset), offset);
    if (n < 0) return -errno;
    // A read that starts a little behind where the last one ended comes from the drive's buffer
    // (the file system reads a few bytes past its blocks); one that starts a little ahead costs
    // the gap's transfer, as the drive reads on through it. Anything else is a seek.
    const bool onTrack = medium.next >= 0 && offset >= medium.next - kNear && offset <= medium.next + kNear;
    double cost =
        double(n + (onTrack && offset > medium.next ? offset - medium.next : 0)) / medium.bytesPerMs;
    if (!onTrack) {
        cost += medium.seekMs;
        ++medium.scattered;
    }
    if (medium.log) std::fprintf(medium.log, "%lld %zd%s\n", (long long)offset, n, onTrack ? "" : " seek");
    medium.next = offset + n;
    ++medium.requests;
    medium.bytes += n;
    medium.modelledMs += cost;
    sleepMs(cost);
    return int(n);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: slowmedium IMAGE MOUNTPOINT MB_PER_SECOND SEEK_MS [FUSE OPTIONS...]\n");
        return 2;
    }
    medium.fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    if (medium.fd < 0) {
        std::fprintf(stderr, "slowmedium: cannot open %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    struct stat info {};
    fstat(medium.fd, &info);
    medium.size = info.st_size;
    const double rate = std::atof(argv[3]);
    medium.seekMs = std::atof(argv[4]);
    if (rate <= 0 || medium.seekMs < 0) {
        std::fprintf(stderr, "slowmedium: MB_PER_SECOND must be above 0 and SEEK_MS 0 or more\n");
        return 2;
    }
    medium.bytesPerMs = rate * 1e6 / 1e3;
    if (const char* log = std::getenv("SLOWMEDIUM_LOG")) {
        medium.log = std::fopen(log, "w");
        if (medium.log) setvbuf(medium.log, nullptr, _IOLBF, 0);
    }

    fuse_operations operations{};
    operations.getattr = getattr;
    operations.readdir = readdir;
    operations.open = open;
    operations.read = read;
    // Foreground, one request at a time (-s), readable by every user.
    std::vector<char*> args = {argv[0], argv[2], const_cast<char*>("-f"), const_cast<char*>("-s"),
                               const_cast<char*>("-oallow_other,ro")};
    for (int i = 5; i < argc; ++i) args.push_back(argv[i]);
    return fuse_main(int(args.size()), args.data(), &operations, nullptr);
}
