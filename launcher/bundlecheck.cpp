#include "launcher/bundlecheck.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "launcher/elfneeds.h"

namespace launcher {
namespace {

constexpr std::size_t kPath = 4096 + 256;

// The packages that hold a library on Debian and Ubuntu, Fedora, openSUSE and Arch Linux: the
// libraries that Qt and its X11 plugin take from the system, and what those need in turn. (The
// protocol libraries libxcb-NAME.so.N follow one rule; see packageOf.)
struct Packages {
    const char* soname;
    const char* debian;
    const char* fedora;
    const char* opensuse;
    const char* arch;
};
constexpr Packages kPackages[] = {
    {"libOpenGL.so.0", "libopengl0", "libglvnd-opengl", "libOpenGL0", "libglvnd"},
    {"libGLX.so.0", "libglx0", "libglvnd-glx", "libGLX0", "libglvnd"},
    {"libGL.so.1", "libgl1", "libglvnd-glx", "libGL1", "libglvnd"},
    {"libEGL.so.1", "libegl1", "libglvnd-egl", "libEGL1", "libglvnd"},
    {"libGLdispatch.so.0", "libglvnd0", "libglvnd", "libglvnd0", "libglvnd"},
    {"libharfbuzz.so.0", "libharfbuzz0b", "harfbuzz", "libharfbuzz0", "harfbuzz"},
    {"libgraphite2.so.3", "libgraphite2-3", "graphite2", "libgraphite2-3", "graphite2"},
    {"libfontconfig.so.1", "libfontconfig1", "fontconfig", "libfontconfig1", "fontconfig"},
    {"libfreetype.so.6", "libfreetype6", "freetype", "libfreetype6", "freetype2"},
    {"libpng16.so.16", "libpng16-16", "libpng", "libpng16-16", "libpng"},
    {"libz.so.1", "zlib1g", "zlib", "libz1", "zlib"},
    {"libzstd.so.1", "libzstd1", "libzstd", "libzstd1", "zstd"},
    {"libbrotlidec.so.1", "libbrotli1", "libbrotli", "libbrotlidec1", "brotli"},
    {"libexpat.so.1", "libexpat1", "expat", "libexpat1", "expat"},
    {"libglib-2.0.so.0", "libglib2.0-0", "glib2", "libglib-2_0-0", "glib2"},
    {"libpcre2-8.so.0", "libpcre2-8-0", "pcre2", "libpcre2-8-0", "pcre2"},
    {"libdbus-1.so.3", "libdbus-1-3", "dbus-libs", "libdbus-1-3", "dbus"},
    {"libsystemd.so.0", "libsystemd0", "systemd-libs", "libsystemd0", "systemd-libs"},
    {"libxkbcommon.so.0", "libxkbcommon0", "libxkbcommon", "libxkbcommon0", "libxkbcommon"},
    {"libX11.so.6", "libx11-6", "libX11", "libX11-6", "libx11"},
    {"libX11-xcb.so.1", "libx11-xcb1", "libX11-xcb", "libX11-xcb1", "libx11"},
    {"libxcb.so.1", "libxcb1", "libxcb", "libxcb1", "libxcb"},
    {"libXau.so.6", "libxau6", "libXau", "libXau6", "libxau"},
    {"libXdmcp.so.6", "libxdmcp6", "libXdmcp", "libXdmcp6", "libxdmcp"},
    {"libSM.so.6", "libsm6", "libSM", "libSM6", "libsm"},
    {"libICE.so.6", "libice6", "libICE", "libICE6", "libice"},
    {"libuuid.so.1", "libuuid1", "libuuid", "libuuid1", "util-linux-libs"},
    {"libbsd.so.0", "libbsd0", "libbsd", "libbsd0", "libbsd"},
    {"libgomp.so.1", "libgomp1", "libgomp", "libgomp1", "gcc-libs"},
    {"libstdc++.so.6", "libstdc++6", "libstdc++", "libstdc++6", "gcc-libs"},
    {"libgcc_s.so.1", "libgcc-s1", "libgcc", "libgcc_s1", "gcc-libs"},
};
constexpr const char* kSystems[] = {"Debian, Ubuntu:  sudo apt install", "Fedora:          sudo dnf install",
                                    "openSUSE:        sudo zypper install",
                                    "Arch Linux:      sudo pacman -S"};
constexpr int kSystemCount = 4;

// The package of `soname` on system `system` (an index into kSystems), written into `out`
// (kName bytes); false when the table does not know it.
bool packageOf(const char* soname, int system, char* out) {
    for (const Packages& p : kPackages) {
        if (std::strcmp(p.soname, soname) == 0) {
            const char* names[] = {p.debian, p.fedora, p.opensuse, p.arch};
            std::snprintf(out, MissingLibraries::kName, "%s", names[system]);
            return true;
        }
    }
    // An X protocol extension, libxcb-NAME.so.N: package libxcb-NAMEN on Debian and openSUSE,
    // part of libxcb on Fedora and Arch.
    const char* so = std::strstr(soname, ".so.");
    if (std::strncmp(soname, "libxcb-", 7) != 0 || !so || so - soname <= 7 || std::strchr(so + 4, '.') ||
        !so[4])
        return false;
    if (system == 1 || system == 3) {
        std::snprintf(out, MissingLibraries::kName, "libxcb");
    } else {
        std::snprintf(out, MissingLibraries::kName, "%.*s%s", int(so - soname), soname, so + 4);
    }
    return true;
}

// Appends to a text of `size` bytes, cutting what does not fit.
class Text {
public:
    Text(char* out, std::size_t size) : out_(out), size_(size) {
        if (size_) out_[0] = '\0';
    }
    __attribute__((format(printf, 2, 3))) void add(const char* format, ...) {
        if (used_ + 1 >= size_) return;
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(out_ + used_, size_ - used_, format, args);
        va_end(args);
        if (n > 0) used_ = used_ + std::size_t(n) < size_ ? used_ + std::size_t(n) : size_ - 1;
    }

private:
    char* out_;
    std::size_t size_;
    std::size_t used_ = 0;
};

// "a", "a and b", "a, b and c": the names of `list` (count entries).
void addList(Text& text, const char (*list)[MissingLibraries::kName], int count) {
    for (int i = 0; i < count; ++i) text.add("%s%s", i == 0 ? "" : i + 1 == count ? " and " : ", ", list[i]);
}

bool exists(const char* folder, const char* name) {
    char path[kPath];
    const int n = std::snprintf(path, sizeof path, "%s/%s", folder, name);
    return n > 0 && std::size_t(n) < sizeof path && access(path, F_OK) == 0;
}

double seconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

}  // namespace

void MissingLibraries::add(const char* name) {
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(names[i], name) == 0) return;
    }
    if (count == kMax) {
        more = true;
        return;
    }
    std::snprintf(names[count++], kName, "%s", name);
}

bool missingFromLoaderError(const char* asked, const char* error, char* out) {
    const char* colon = std::strstr(error, ": ");
    // A version that a library lacks is not a missing library.
    if (!colon || colon == error || std::strstr(colon, "version `")) return false;
    const char* name = colon;
    while (name > error && name[-1] != '/') --name;
    const std::size_t length = std::size_t(colon - name);
    if (length == 0 || length >= MissingLibraries::kName) return false;
    // The file of `asked` itself, perhaps under the name of the file its soname points to.
    if (std::strncmp(name, asked, std::strlen(asked)) == 0) {
        std::snprintf(out, MissingLibraries::kName, "%s", asked);
    } else {
        std::snprintf(out, MissingLibraries::kName, "%.*s", int(length), name);
    }
    return true;
}

void findMissingLibraries(const char* folder, MissingLibraries& missing, char* problem,
                          std::size_t problemSize) {
    if (problemSize) problem[0] = '\0';
    char lib[kPath];
    std::snprintf(lib, sizeof lib, "%s/lib", folder);

    // The files: the menu library, the plugin, and every file in lib/.
    constexpr int kFiles = 96;
    static char files[kFiles][kPath];
    int fileCount = 0;
    std::snprintf(files[fileCount++], kPath, "%s/discmenu-app.so", folder);
    std::snprintf(files[fileCount++], kPath, "%s/plugins/platforms/libqxcb.so", folder);
    if (DIR* dir = opendir(lib)) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.' || fileCount == kFiles) continue;
            const int n = std::snprintf(files[fileCount], kPath, "%s/%s", lib, entry->d_name);
            if (n > 0 && std::size_t(n) < kPath) ++fileCount;
        }
        closedir(dir);
    }
    // In name order, so that the message names the libraries in the same order on every system.
    for (int i = 3; i < fileCount; ++i) {
        for (int k = i; k > 2 && std::strcmp(files[k - 1], files[k]) > 0; --k) {
            char swap[kPath];
            std::memcpy(swap, files[k], kPath);
            std::memcpy(files[k], files[k - 1], kPath);
            std::memcpy(files[k - 1], swap, kPath);
        }
    }

    // Each library needed from outside lib/ is tried once (and any beyond this many, every time).
    constexpr int kTried = 256;
    static char tried[kTried][MissingLibraries::kName];
    int triedCount = 0;
    const auto firstTry = [&](const char* soname) {
        for (int i = 0; i < triedCount; ++i) {
            if (std::strcmp(tried[i], soname) == 0) return false;
        }
        if (triedCount < kTried) std::snprintf(tried[triedCount++], MissingLibraries::kName, "%s", soname);
        return true;
    };
    for (int f = 0; f < fileCount; ++f) {
        ElfNeeds needs;
        char error[2 * kPath];
        if (!readElfNeeds(files[f], needs, error, sizeof error)) {
            if (problemSize && !problem[0]) std::snprintf(problem, problemSize, "%s", error);
            continue;
        }
        for (int i = 0; i < needs.neededCount; ++i) {
            const char* soname = needs.needed[i];
            if (exists(lib, soname) || !firstTry(soname)) continue;
            if (dlopen(soname, RTLD_LAZY | RTLD_LOCAL)) continue;
            const char* said = dlerror();
            char name[MissingLibraries::kName];
            if (said && missingFromLoaderError(soname, said, name)) {
                missing.add(name);
            } else {
                missing.add(soname);
                if (said && problemSize && !problem[0]) std::snprintf(problem, problemSize, "%s", said);
            }
        }
        freeElfNeeds(needs);
    }
}

void describeMissing(const MissingLibraries& missing, char* out, std::size_t size) {
    Text text(out, size);
    const bool one = missing.count == 1 && !missing.more;
    text.add("the menu cannot start: this system lacks %s that the menu needs: ",
             one ? "a library" : "libraries");
    addList(text, missing.names, missing.count);
    text.add("%s.\nInstall %s with the system's package manager, then start the menu again:\n",
             missing.more ? " and more" : "", one ? "it" : "them");

    static char unknown[MissingLibraries::kMax][MissingLibraries::kName];
    int unknownCount = 0;
    for (int i = 0; i < missing.count; ++i) {
        char package[MissingLibraries::kName];
        if (!packageOf(missing.names[i], 0, package))
            std::snprintf(unknown[unknownCount++], MissingLibraries::kName, "%s", missing.names[i]);
    }
    if (unknownCount < missing.count) {
        for (int system = 0; system < kSystemCount; ++system) {
            static char listed[MissingLibraries::kMax][MissingLibraries::kName];
            int listedCount = 0;
            text.add("  %s", kSystems[system]);
            for (int i = 0; i < missing.count; ++i) {
                char package[MissingLibraries::kName];
                if (!packageOf(missing.names[i], system, package)) continue;
                bool seen = false;
                for (int k = 0; k < listedCount && !seen; ++k) seen = std::strcmp(listed[k], package) == 0;
                if (seen) continue;
                std::snprintf(listed[listedCount++], MissingLibraries::kName, "%s", package);
                text.add(" %s", package);
            }
            text.add("\n");
        }
    }
    if (unknownCount > 0) {
        text.add("  For ");
        addList(text, unknown, unknownCount);
        text.add(
            ", look for the package that holds %s (apt-file search, dnf provides, zypper search --provides, "
            "pacman -F).\n",
            unknownCount == 1 ? "it" : "each");
    }
}

bool showDialog(const char* text, int timeoutSeconds) {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x || !*x) && (!wayland || !*wayland)) return false;

    char timeout[16], zenityTimeout[32], zenityText[16384];
    std::snprintf(timeout, sizeof timeout, "%d", timeoutSeconds);
    std::snprintf(zenityTimeout, sizeof zenityTimeout, "--timeout=%d", timeoutSeconds);
    std::snprintf(zenityText, sizeof zenityText, "--text=%s", text);
    const char* const zenity[] = {"zenity",           "--error",     "--no-markup", "--no-wrap",
                                  "--title=discmenu", zenityTimeout, zenityText,    nullptr};
    const char* const kdialog[] = {"kdialog", "--title", "discmenu", "--error", text, nullptr};
    const char* const gxmessage[] = {"gxmessage", "-title", "discmenu", "-center", "-buttons", "OK:0",
                                     "-default",  "OK",     "-timeout", timeout,   text,       nullptr};
    const char* const xmessage[] = {"xmessage", "-title", "discmenu", "-center", "-buttons", "OK:0",
                                    "-default", "OK",     "-timeout", timeout,   text,       nullptr};
    const char* const* const tools[] = {zenity, kdialog, gxmessage, xmessage};
    for (const char* const* tool : tools) {
        const double started = seconds();
        const pid_t child = fork();
        if (child < 0) return false;
        if (child == 0) {
            // The message is on standard error already; the tools' own warnings are not wanted there.
            const int null = open("/dev/null", O_RDWR);
            if (null >= 0) {
                dup2(null, STDIN_FILENO);
                dup2(null, STDOUT_FILENO);
                dup2(null, STDERR_FILENO);
            }
            execvp(tool[0], const_cast<char* const*>(tool));
            _exit(127);
        }
        int status = 0;
        pid_t ended = 0;
        while ((ended = waitpid(child, &status, WNOHANG)) == 0 && seconds() - started < timeoutSeconds) {
            const timespec pause{0, 20 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
        if (ended == 0) {  // nobody closed it: end it rather than wait for ever
            kill(child, SIGTERM);
            waitpid(child, &status, 0);
            return true;
        }
        // A tool that is missing or cannot reach the display fails at once: try the next one.
        const bool failed = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
        if (!(failed && seconds() - started < 1.0)) return true;
    }
    return false;
}

}  // namespace launcher
