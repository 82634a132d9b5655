// The medium's discmenu/discmenu: runs the menu (the library discmenu-app.so beside it) on the
// desktop's own Qt when that can serve it, and on the Qt bundled in lib/ otherwise, so that a
// desktop with Qt reads almost nothing of the bundle from the (slow) medium.
//
// The desktop's Qt serves when every library the menu names and every symbol version it imports
// (among them Qt_6.N of the Qt it was built with, so an older Qt does not serve) resolve from the
// system alone, and the desktop's X11 platform plugin loads beside them. The launcher finds this
// out by loading them (dlopen, dlvsym), so the system's own loader answers and nothing of the menu
// has run yet. Then:
//   system:  it loads the menu library, whose libraries are all loaded already and so are taken
//            as they are, and calls its discmenu_main: the libraries are loaded once;
//   bundled: libraries of the system may be loaded by now, so it starts itself afresh (exec, same
//            process) with DISCMENU_QT=bundled; the fresh run loads the menu library at once, and
//            its run path (DT_RPATH $ORIGIN/lib, searched before LD_LIBRARY_PATH and the system)
//            finds the bundled Qt. The menu then takes its plugins from plugins/ beside it alone
//            (app/qtsetup.cpp). Before it runs, the fresh run loads the menu library and the
//            bundled X11 plugin; where either does not load, it finds every library that the
//            bundle needs and this system lacks, names them all in one message with the packages
//            that hold them (also in a dialog, where there is no terminal) and exits with 1,
//            rather than let Qt abort on the first one.
// The environment of the programs the menu starts is the user's: the launcher's own DISCMENU_QT
// goes, and DISCMENU_VERBOSE, which the fresh run does without, is recorded first (see
// platform/userenvironment.h), so that the menu gives it back to them.
//
// DISCMENU_QT=bundled skips the test and takes the bundled Qt; DISCMENU_VERBOSE=1 says on standard
// error which Qt was taken, why, and how long the decision took.
//
// Plain C++ on the C library alone (no exceptions, no standard C++ library), so that it starts
// and can say what is missing even where the desktop lacks what the menu needs.
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "launcher/bundlecheck.h"
#include "launcher/elfneeds.h"
#include "platform/userenvironment.h"

namespace {

constexpr const char kLibrary[] = "discmenu-app.so";
constexpr const char kPlugin[] = "platforms/libqxcb.so";
constexpr const char kBundledPlugin[] = "plugins/platforms/libqxcb.so";
constexpr std::size_t kText = PATH_MAX + 512;
constexpr std::size_t kReason = 2 * kText;  // a message that quotes a path or a loader error

__attribute__((format(printf, 1, 2))) void say(const char* format, ...) {
    std::fputs("discmenu: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

// Joins `folder` and `name` into `out` (kText bytes); false when the result does not fit.
bool join(char* out, const char* folder, const char* name) {
    const int n = std::snprintf(out, kText, "%s/%s", folder, name);
    return n > 0 && static_cast<std::size_t>(n) < kText;
}

// The desktop Qt's plugin folder, as that Qt reports it (QLibraryInfo::path(PluginsPath)),
// written into `out` (kText bytes) in UTF-8; false when it cannot say.
//
// QLibraryInfo::path is part of Qt 6's stable interface: it takes the enum value PluginsPath (6)
// and returns a QString, which is three words on every Qt 6 (data header, UTF-16 text, length)
// and, being larger than two words, returned through a pointer the caller passes. The text is
// only read; the string (a few bytes, once) is never freed.
bool systemPluginFolder(char* out) {
    struct QStringWords {
        void* header;
        const char16_t* text;
        long long length;
    };
    using PathFunction = QStringWords (*)(int);
    auto* path =
        reinterpret_cast<PathFunction>(dlsym(RTLD_DEFAULT, "_ZN12QLibraryInfo4pathENS_11LibraryPathE"));
    if (!path) return false;
    constexpr int kPluginsPath = 6;
    const QStringWords folder = path(kPluginsPath);
    if (!folder.text || folder.length <= 0) return false;
    std::size_t used = 0;
    for (long long i = 0; i < folder.length; ++i) {
        unsigned code = folder.text[i];
        if (code >= 0xd800 && code < 0xdc00 && i + 1 < folder.length) {
            code = 0x10000 + ((code - 0xd800) << 10) + (folder.text[++i] - 0xdc00u);
        }
        char bytes[4];
        std::size_t n = 0;
        if (code < 0x80) {
            bytes[n++] = static_cast<char>(code);
        } else if (code < 0x800) {
            bytes[n++] = static_cast<char>(0xc0 | (code >> 6));
            bytes[n++] = static_cast<char>(0x80 | (code & 0x3f));
        } else if (code < 0x10000) {
            bytes[n++] = static_cast<char>(0xe0 | (code >> 12));
            bytes[n++] = static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            bytes[n++] = static_cast<char>(0x80 | (code & 0x3f));
        } else {
            bytes[n++] = static_cast<char>(0xf0 | (code >> 18));
            bytes[n++] = static_cast<char>(0x80 | ((code >> 12) & 0x3f));
            bytes[n++] = static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            bytes[n++] = static_cast<char>(0x80 | (code & 0x3f));
        }
        if (used + n + 1 > kText) return false;
        std::memcpy(out + used, bytes, n);
        used += n;
    }
    out[used] = '\0';
    return true;
}

// True when the desktop's own libraries serve the menu (see the top of this file); they are then
// loaded, for all to use. Otherwise `reason` says what is missing.
bool systemServes(const launcher::ElfNeeds& needs, char* reason) {
    for (int i = 0; i < needs.neededCount; ++i) {
        if (!dlopen(needs.needed[i], RTLD_LAZY | RTLD_GLOBAL)) {
            std::snprintf(reason, kReason, "the system lacks %s (%s)", needs.needed[i], dlerror());
            return false;
        }
    }
    for (int i = 0; i < needs.symbolCount; ++i) {
        const launcher::ImportedSymbol& symbol = needs.symbols[i];
        if (symbol.weak) continue;
        const void* found = symbol.version ? dlvsym(RTLD_DEFAULT, symbol.name, symbol.version)
                                           : dlsym(RTLD_DEFAULT, symbol.name);
        if (!found) {
            std::snprintf(reason, kReason, "the system's libraries lack %s%s%s%s%s", symbol.name,
                          symbol.version ? " of version " : "", symbol.version ? symbol.version : "",
                          symbol.library ? " from " : "", symbol.library ? symbol.library : "");
            return false;
        }
    }
    char folder[kText], plugin[kText];
    if (!systemPluginFolder(folder) || !join(plugin, folder, kPlugin)) {
        std::snprintf(reason, kReason, "the system's Qt does not name its plugin folder");
        return false;
    }
    if (access(plugin, R_OK) != 0) {
        std::snprintf(reason, kReason, "the system's Qt has no X11 platform plugin %s", plugin);
        return false;
    }
    if (!dlopen(plugin, RTLD_LAZY | RTLD_LOCAL)) {
        std::snprintf(reason, kReason, "the system's X11 platform plugin does not load (%s)", dlerror());
        return false;
    }
    return true;
}

// Milliseconds on the monotonic clock.
double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Calls the loaded menu library's discmenu_main; returns its exit status.
int callMenu(void* menu, const char* library, int argc, char* argv[]) {
    using Entry = int (*)(int, char**);
    auto* entry = reinterpret_cast<Entry>(dlsym(menu, "discmenu_main"));
    if (!entry) {
        say("%s holds no discmenu_main: it is not the menu library", library);
        return 127;
    }
    return entry(argc, argv);
}

// Loads the menu library and runs the menu; returns its exit status.
int runMenu(const char* library, int argc, char* argv[]) {
    // Every symbol is bound now, so that anything missing is reported here and not in mid-run.
    void* menu = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!menu) {
        say("cannot load the menu: %s", dlerror());
        return 127;
    }
    return callMenu(menu, library, argc, argv);
}

// Runs the menu on the bundled Qt in `folder` (the launcher's). The menu library and the X11
// plugin are loaded first (the plugin as Qt loads it, so Qt later finds it loaded): where the
// system lacks what they need, the user is told every missing library at once and the status is 1.
int runBundled(const char* folder, const char* library, int argc, char* argv[]) {
    char failure[kReason] = "";
    void* menu = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!menu) std::snprintf(failure, sizeof failure, "%s", dlerror());
    char plugin[kText];
    if (menu && join(plugin, folder, kBundledPlugin) && !dlopen(plugin, RTLD_LAZY | RTLD_LOCAL))
        std::snprintf(failure, sizeof failure, "%s", dlerror());
    if (!failure[0]) return callMenu(menu, library, argc, argv);

    static launcher::MissingLibraries missing;
    static char problem[kReason], message[16384];
    launcher::findMissingLibraries(folder, missing, problem, sizeof problem);
    if (missing.count > 0) {
        launcher::describeMissing(missing, message, sizeof message);
    } else {
        std::snprintf(message, sizeof message, "the menu cannot start on the Qt this medium carries: %s",
                      problem[0] ? problem : failure);
    }
    say("%s", message);
    // Started from a desktop's autorun there is no terminal to read standard error on.
    if (!isatty(STDERR_FILENO)) launcher::showDialog(message, 600);
    return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    const double started = now();
    char self[kText];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        say("cannot find its own folder through /proc/self/exe: %s", std::strerror(errno));
        return 127;
    }
    self[length] = '\0';
    *std::strrchr(self, '/') = '\0';
    char library[kText];
    if (!join(library, self, kLibrary)) {
        say("the path of its folder is too long: %s", self);
        return 127;
    }

    const char* choice = std::getenv("DISCMENU_QT");
    const char* verboseSetting = std::getenv("DISCMENU_VERBOSE");
    const bool verbose = verboseSetting && *verboseSetting && std::strcmp(verboseSetting, "0") != 0;
    if (choice && std::strcmp(choice, "bundled") == 0) {
        unsetenv("DISCMENU_QT");
        if (verbose) say("runs on the bundled Qt (DISCMENU_QT=bundled)");
        return runBundled(self, library, argc, argv);
    }
    if (choice && *choice)
        say("DISCMENU_QT is \"%s\"; expected bundled or nothing; deciding by itself", choice);

    launcher::ElfNeeds needs;
    char error[kReason];
    if (!launcher::readElfNeeds(library, needs, error, sizeof error)) {
        say("cannot start the menu: %s", error);
        return 127;
    }
    char reason[kReason];
    const bool system = systemServes(needs, reason);
    launcher::freeElfNeeds(needs);
    if (system) {
        unsetenv("DISCMENU_QT");
        if (verbose) say("runs on the system's Qt (decided in %.1f ms)", now() - started);
        return runMenu(library, argc, argv);
    }
    if (verbose) say("runs on the bundled Qt: %s (decided in %.1f ms)", reason, now() - started);
    // The fresh run says nothing more: it was told what to take, and why is said above.
    if (!platform::recordUserValue("DISCMENU_VERBOSE") || unsetenv("DISCMENU_VERBOSE") != 0 ||
        setenv("DISCMENU_QT", "bundled", 1) != 0) {
        say("cannot set the environment of its fresh run: %s", std::strerror(errno));
        return 127;
    }
    execv("/proc/self/exe", argv);
    say("cannot start itself afresh on the bundled Qt: %s", std::strerror(errno));
    return 127;
}
