// The medium's discmenu/discmenu: runs the menu on what the desktop has, so that a desktop reads
// almost nothing of the medium, and on the Qt the medium carries (lib/) only where nothing serves:
//   1. the desktop's Qt 6: discmenu-app.so beside it, when every library it names and every
//      symbol version it imports (among them Qt_6.N of the Qt it was built with, so an older Qt
//      does not serve) resolve from the system alone, and the desktop's X11 platform plugin loads
//      beside them. Skipped in a Wayland session without X11 (WAYLAND_DISPLAY set, DISPLAY unset
//      or not answering): the menu's Qt shows through X11 alone.
//   2. the desktop's GTK 3, 3.24 or newer: discmenu-gtk.so beside it, checked the same way, and
//      GTK's own version check. GTK runs on Wayland and on X11 alike.
//   3. the bundled Qt, when the medium carries it.
//   4. otherwise one message that names what is missing and what to install (in a dialog too,
//      where there is no terminal), and status 1.
// The checks load what the menu would load (dlopen, dlvsym), so the system's own loader answers
// and nothing of the menu has run yet; a path that is taken then loads its menu library, whose
// libraries are all loaded already: they are loaded once. Before it loads a menu library, the
// launcher compares the C library that library needs with the running one (launcher/glibc.h), so
// that an older system gets a message, not the loader's error.
//
// One process never holds two toolkits, nor the system's Qt beside the bundled one:
//   - a Qt check that fails after loading some of the system's Qt libraries (an older Qt 6, one
//     without its X11 plugin) starts the launcher afresh (exec, same process) to check GTK, with
//     DISCMENU_NOT_QT carrying why Qt did not serve. Where the desktop has no Qt at all, nothing
//     of Qt loads and GTK is checked at once. (Re-running costs one exec of this small program,
//     whose pages are in memory: cheap, and only on systems with an unfit Qt;
//     checking Qt's needs without loading them would mean reading every Qt library's ELF tables
//     and reproducing the loader's search here, slower on every system where Qt serves.)
//   - the bundled Qt always runs afresh with DISCMENU_QT=bundled: the fresh run loads the bundled
//     libraries from their packed copy (bundle.pack, launcher/bundlepack.h), or, where that does
//     not serve, reads their files in one pass in disk order (preload.list, launcher/preload.h).
//     It then loads the menu library, whose libraries are those loaded already or those its run
//     path (DT_RPATH $ORIGIN/lib, searched before LD_LIBRARY_PATH and the system) finds. The menu
//     then takes its plugins from plugins/ beside it alone (app/qtsetup.cpp). The fresh run loads
//     the menu library and the bundled X11 plugin first; where either does not load, it names
//     every library the bundle needs and this system lacks in one message with the packages that
//     hold them, and exits with 1.
// On the Qt paths the menu takes the X11 plugin (QT_QPA_PLATFORM=xcb) and no plugin path meant for
// another Qt (QT_PLUGIN_PATH, QT_QPA_PLATFORM_PLUGIN_PATH). The environment of the programs the
// menu starts is the user's: what the launcher changes is recorded first (see
// platform/userenvironment.h), DISCMENU_VERBOSE too, which the bundled fresh run goes without, so
// that the menu gives it back to them.
//
// DISCMENU_TOOLKIT=qt|gtk|bundled takes that path or says why it cannot (status 1);
// DISCMENU_QT=bundled is the same as DISCMENU_TOOLKIT=bundled. DISCMENU_VERBOSE=1 says on
// standard error which path was taken, why, and how long the decision took.
//
// Plain C++ on the C library alone (no exceptions, no standard C++ library), so that it starts
// and can say what is missing even where the desktop lacks what the menu needs.
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "launcher/bundlecheck.h"
#include "launcher/bundlepack.h"
#include "launcher/elfneeds.h"
#include "launcher/glibc.h"
#include "launcher/preload.h"
#include "platform/userenvironment.h"

namespace {

constexpr const char kQtLibrary[] = "discmenu-app.so";
constexpr const char kGtkLibrary[] = "discmenu-gtk.so";
constexpr const char kBundledCore[] = "lib/libQt6Core.so.6";
constexpr unsigned kGtkMinor = 24;  // GTK 3.24: the oldest the GTK menu is built for
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

// Loads every library `needs` names from the system and looks up every symbol version it imports
// (dlopen, dlvsym): the system's own loader answers. Libraries that do not load go to `missing`;
// `loadedQt` tells whether a library of Qt stayed loaded (a fresh run must then take any other
// toolkit). True when all resolve; otherwise `reason` says what is missing, the first thing found.
bool librariesServe(const launcher::ElfNeeds& needs, char* reason, launcher::MissingLibraries& missing,
                    bool& loadedQt) {
    reason[0] = '\0';
    for (int i = 0; i < needs.neededCount; ++i) {
        const char* soname = needs.needed[i];
        if (dlopen(soname, RTLD_LAZY | RTLD_GLOBAL)) {
            if (std::strncmp(soname, "libQt", 5) == 0) loadedQt = true;
            continue;
        }
        const char* said = dlerror();
        char name[launcher::MissingLibraries::kName];
        const bool named = said && launcher::missingFromLoaderError(soname, said, name);
        missing.add(named ? name : soname);
        if (reason[0]) continue;
        if (named && std::strcmp(name, soname) != 0) {
            std::snprintf(reason, kReason, "the system lacks %s, which %s needs (%s)", name, soname, said);
        } else {
            std::snprintf(reason, kReason, "the system lacks %s (%s)", soname, said ? said : "");
        }
    }
    if (reason[0]) return false;
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
    return true;
}

// Reads what `library` needs and checks it against the running C library; false with `reason`
// when the file cannot be read or needs a newer glibc (`glibcTooOld` then tells which).
bool readNeeds(const char* library, const char* what, launcher::ElfNeeds& needs, char* reason,
               bool* glibcTooOld = nullptr) {
    if (!launcher::readElfNeeds(library, needs, reason, kReason)) return false;
    if (launcher::glibcServes(needs, launcher::runningGlibc(), what, reason, kReason)) return true;
    if (glibcTooOld) *glibcTooOld = true;
    launcher::freeElfNeeds(needs);
    return false;
}

// True when the desktop's own Qt serves the menu library `library` (see the top of this file); its
// libraries are then loaded, for all to use. Otherwise `reason` says what is missing.
bool systemQtServes(const char* library, char* reason, bool& loadedQt, bool& glibcTooOld) {
    launcher::ElfNeeds needs;
    if (!readNeeds(library, "the menu on the system's Qt", needs, reason, &glibcTooOld)) return false;
    static launcher::MissingLibraries missing;
    const bool served = librariesServe(needs, reason, missing, loadedQt);
    launcher::freeElfNeeds(needs);
    if (!served) return false;
    loadedQt = true;
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

// True when the desktop's GTK 3, 3.24 or newer, serves the GTK menu library `library`: its
// libraries and symbols resolve from the system (loaded, for all to use) and GTK says it is
// compatible with 3.24.0. Otherwise `reason` says why, and `missing` names the libraries that
// did not load. `version` receives GTK's version ("3.24.38").
bool systemGtkServes(const char* library, char* reason, launcher::MissingLibraries& missing, char* version) {
    if (access(library, R_OK) != 0) {
        std::snprintf(reason, kReason, "the medium has no GTK menu (%s: %s)", library, std::strerror(errno));
        return false;
    }
    launcher::ElfNeeds needs;
    if (!readNeeds(library, "the menu on GTK 3", needs, reason)) return false;
    bool loadedQt = false;
    const bool served = librariesServe(needs, reason, missing, loadedQt);
    launcher::freeElfNeeds(needs);
    if (!served) return false;
    using Check = const char* (*)(unsigned, unsigned, unsigned);
    using Part = unsigned (*)();
    auto* check = reinterpret_cast<Check>(dlsym(RTLD_DEFAULT, "gtk_check_version"));
    auto* major = reinterpret_cast<Part>(dlsym(RTLD_DEFAULT, "gtk_get_major_version"));
    auto* minor = reinterpret_cast<Part>(dlsym(RTLD_DEFAULT, "gtk_get_minor_version"));
    auto* micro = reinterpret_cast<Part>(dlsym(RTLD_DEFAULT, "gtk_get_micro_version"));
    if (!check || !major || !minor || !micro) {
        std::snprintf(reason, kReason, "the system's GTK does not say its version");
        return false;
    }
    std::snprintf(version, 32, "%u.%u.%u", major(), minor(), micro());
    if (check(3, kGtkMinor, 0)) {
        std::snprintf(reason, kReason, "the system's GTK is %s; the menu needs GTK 3.%u or newer", version,
                      kGtkMinor);
        return false;
    }
    return true;
}

// True when the X display DISPLAY names can be reached: for a local display (":N", "unix:N"), its
// socket answers (the abstract one or the file); a display on another host counts as reachable.
bool xDisplayUsable() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return false;
    const char* number = std::strncmp(display, "unix:", 5) == 0 ? display + 5
                         : display[0] == ':'                    ? display + 1
                                                                : nullptr;
    if (!number) return true;
    char* end = nullptr;
    const long n = std::strtol(number, &end, 10);
    if (end == number || (*end && *end != '.') || n < 0) return false;
    for (int abstract = 1; abstract >= 0; --abstract) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const int length =
            std::snprintf(address.sun_path + abstract, sizeof address.sun_path - 1, "/tmp/.X11-unix/X%ld", n);
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return true;  // cannot tell: leave it to the toolkit
        const socklen_t size = socklen_t(offsetof(sockaddr_un, sun_path) + abstract + length);
        const bool reached = connect(fd, reinterpret_cast<sockaddr*>(&address), size) == 0;
        close(fd);
        if (reached) return true;
    }
    return false;
}

// The Qt paths take the X11 platform plugin (every Wayland desktop also runs X11 programs; the
// medium carries no other) and keep plugin paths meant for some other Qt away from the menu. The
// user's values are recorded first, so that the programs the menu starts get them back.
bool setQtEnvironment() {
    for (const char* name : {"QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH", "QT_QPA_PLATFORM"}) {
        if (!platform::recordUserValue(name)) return false;
    }
    return unsetenv("QT_PLUGIN_PATH") == 0 && unsetenv("QT_QPA_PLATFORM_PLUGIN_PATH") == 0 &&
           setenv("QT_QPA_PLATFORM", "xcb", 1) == 0;
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

// Says `message` on standard error and, started from a desktop's autorun (no terminal to read
// standard error on), in a dialog; the status is 1.
int tellUser(const char* message) {
    say("%s", message);
    if (!isatty(STDERR_FILENO)) launcher::showDialog(message, 600);
    return 1;
}

// True when the medium carries a Qt of its own (make-medium without --no-bundled-qt).
bool bundleCarried(const char* folder) {
    char core[kText];
    return join(core, folder, kBundledCore) && access(core, F_OK) == 0;
}

// Runs the menu on the bundled Qt in `folder` (the launcher's), in a fresh run that has loaded no
// library of the system's Qt or GTK. The bundle's files are read in one pass in disk order first
// (preload.list). The menu library and the X11 plugin are loaded first (the plugin as Qt loads
// it, so Qt later finds it loaded): where the system lacks what they need, the user is told every
// missing library at once and the status is 1.
int runBundled(const char* folder, const char* library, int argc, char* argv[]) {
    static char message[16384];
    char failure[kReason] = "";
    if (!bundleCarried(folder)) {
        std::snprintf(
            message, sizeof message,
            "the menu cannot start on the bundled Qt: this medium carries no Qt of its own (%s is missing)",
            kBundledCore);
        return tellUser(message);
    }
    launcher::ElfNeeds needs;
    if (!readNeeds(library, "the menu on the Qt this medium carries", needs, failure)) {
        std::snprintf(message, sizeof message, "the menu cannot start: %s", failure);
        return tellUser(message);
    }
    launcher::freeElfNeeds(needs);
    if (!setQtEnvironment()) {
        say("cannot set the menu's environment: %s", std::strerror(errno));
        return 127;
    }
    // The libraries from their packed copy where the medium has one and it serves here, else from
    // their own files, read ahead in one pass. Where a library of the pack would not load (some
    // library of the system missing), loading the menu below says so in full.
    char error[kReason];
    int packed = 0;
    long long packBytes = 0;
    const launcher::PackResult pack =
        launcher::loadBundlePack(folder, packed, packBytes, error, sizeof error);
    if (pack == launcher::PackResult::kUnusable)
        say("loads the bundled libraries from their own files: %s", error);
    if (pack != launcher::PackResult::kLoaded && launcher::preloadFiles(folder, error, sizeof error) < 0)
        say("reads the bundle as needed: %s", error);

    void* menu = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!menu) std::snprintf(failure, sizeof failure, "%s", dlerror());
    char plugin[kText];
    if (menu && join(plugin, folder, kBundledPlugin) && !dlopen(plugin, RTLD_LAZY | RTLD_LOCAL))
        std::snprintf(failure, sizeof failure, "%s", dlerror());
    if (!failure[0]) return callMenu(menu, library, argc, argv);

    static launcher::MissingLibraries missing;
    static char problem[kReason];
    launcher::findMissingLibraries(folder, missing, problem, sizeof problem);
    if (missing.count > 0) {
        launcher::describeMissing(missing, message, sizeof message);
    } else {
        std::snprintf(message, sizeof message, "the menu cannot start on the Qt this medium carries: %s",
                      problem[0] ? problem : failure);
    }
    return tellUser(message);
}

// Starts this launcher afresh (exec, same process) with `name`=`value`, for a path that must not
// meet libraries the checks so far have loaded.
int startAfresh(char* argv[], const char* name, const char* value) {
    if (setenv(name, value, 1) != 0) {
        say("cannot set the environment of its fresh run: %s", std::strerror(errno));
        return 127;
    }
    execv("/proc/self/exe", argv);
    say("cannot start itself afresh: %s", std::strerror(errno));
    return 127;
}

// What the launcher was told to take: DISCMENU_TOOLKIT=qt|gtk|bundled, or DISCMENU_QT=bundled.
enum class Choice { kDecide, kQt, kGtk, kBundled };

Choice toldChoice() {
    // A fresh run after the Qt check says nothing of a wrong setting: the first run said it.
    const bool fresh = std::getenv("DISCMENU_NOT_QT") != nullptr;
    const char* qt = std::getenv("DISCMENU_QT");
    if (qt && std::strcmp(qt, "bundled") == 0) return Choice::kBundled;
    if (qt && *qt && !fresh) say("DISCMENU_QT is \"%s\"; expected bundled or nothing; ignored", qt);
    const char* toolkit = std::getenv("DISCMENU_TOOLKIT");
    if (!toolkit || !*toolkit) return Choice::kDecide;
    if (std::strcmp(toolkit, "qt") == 0) return Choice::kQt;
    if (std::strcmp(toolkit, "gtk") == 0) return Choice::kGtk;
    if (std::strcmp(toolkit, "bundled") == 0) return Choice::kBundled;
    if (!fresh) say("DISCMENU_TOOLKIT is \"%s\"; expected qt, gtk or bundled; deciding by itself", toolkit);
    return Choice::kDecide;
}

}  // namespace

int main(int argc, char* argv[]) {
    double started = now();
    char self[kText];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        say("cannot find its own folder through /proc/self/exe: %s", std::strerror(errno));
        return 127;
    }
    self[length] = '\0';
    *std::strrchr(self, '/') = '\0';
    char qtLibrary[kText], gtkLibrary[kText];
    if (!join(qtLibrary, self, kQtLibrary) || !join(gtkLibrary, self, kGtkLibrary)) {
        say("the path of its folder is too long: %s", self);
        return 127;
    }
    const char* verboseSetting = std::getenv("DISCMENU_VERBOSE");
    const bool verbose = verboseSetting && *verboseSetting && std::strcmp(verboseSetting, "0") != 0;
    const Choice choice = toldChoice();
    static char qtReason[kReason], gtkReason[kReason], message[16384];
    static launcher::MissingLibraries gtkMissing;
    char gtkVersion[32] = "";

    if (choice == Choice::kBundled) {
        // Also the fresh run the launcher starts for the bundled Qt; it says nothing more.
        unsetenv("DISCMENU_QT");
        if (verbose)
            say("runs on the bundled Qt (%s=bundled)",
                std::getenv("DISCMENU_TOOLKIT") ? "DISCMENU_TOOLKIT" : "DISCMENU_QT");
        return runBundled(self, qtLibrary, argc, argv);
    }
    if (choice == Choice::kQt || choice == Choice::kGtk) {
        const bool qt = choice == Choice::kQt;
        bool loadedQt = false, glibcTooOld = false;
        const bool served = qt ? systemQtServes(qtLibrary, qtReason, loadedQt, glibcTooOld)
                               : systemGtkServes(gtkLibrary, gtkReason, gtkMissing, gtkVersion);
        if (!served) {
            std::snprintf(message, sizeof message,
                          "the menu cannot start on the system's %s (DISCMENU_TOOLKIT=%s): %s",
                          qt ? "Qt" : "GTK 3", qt ? "qt" : "gtk", qt ? qtReason : gtkReason);
            return tellUser(message);
        }
        if (qt && !setQtEnvironment()) {
            say("cannot set the menu's environment: %s", std::strerror(errno));
            return 127;
        }
        if (verbose)
            say("runs on the system's %s (DISCMENU_TOOLKIT=%s)", qt ? "Qt" : "GTK 3", qt ? "qt" : "gtk");
        return runMenu(qt ? qtLibrary : gtkLibrary, argc, argv);
    }

    // Deciding by itself: the desktop's Qt, else its GTK 3, else the bundled Qt, else a message.
    // A fresh run after a Qt check that left Qt libraries loaded starts at GTK: DISCMENU_NOT_QT
    // carries when the first run started and why Qt did not serve.
    bool glibcTooOld = false;
    bool checkQt = true;
    if (const char* notQt = std::getenv("DISCMENU_NOT_QT")) {
        char* rest = nullptr;
        started = std::strtod(notQt, &rest);
        std::snprintf(qtReason, sizeof qtReason, "%s", *rest == ' ' ? rest + 1 : rest);
        unsetenv("DISCMENU_NOT_QT");
        checkQt = false;
    }
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (checkQt && wayland && *wayland && !xDisplayUsable()) {
        // The menu's Qt shows through X11 alone; GTK runs on Wayland itself.
        std::snprintf(qtReason, sizeof qtReason, "a Wayland session without X11 (WAYLAND_DISPLAY is set, %s)",
                      std::getenv("DISPLAY") && *std::getenv("DISPLAY") ? "DISPLAY cannot be reached"
                                                                        : "DISPLAY is not");
        checkQt = false;
    }
    if (checkQt) {
        bool loadedQt = false;
        if (systemQtServes(qtLibrary, qtReason, loadedQt, glibcTooOld)) {
            if (!setQtEnvironment()) {
                say("cannot set the menu's environment: %s", std::strerror(errno));
                return 127;
            }
            unsetenv("DISCMENU_QT");
            if (verbose) say("runs on the system's Qt (decided in %.1f ms)", now() - started);
            return runMenu(qtLibrary, argc, argv);
        }
        if (loadedQt) {
            // GTK must not meet the Qt libraries this check loaded: a fresh run checks GTK.
            static char state[kReason + 64];
            std::snprintf(state, sizeof state, "%.3f %s", started, qtReason);
            return startAfresh(argv, "DISCMENU_NOT_QT", state);
        }
    }
    if (systemGtkServes(gtkLibrary, gtkReason, gtkMissing, gtkVersion)) {
        if (verbose)
            say("runs on the system's GTK %s: %s (decided in %.1f ms)", gtkVersion, qtReason,
                now() - started);
        return runMenu(gtkLibrary, argc, argv);
    }
    const bool x11 = !(wayland && *wayland) || xDisplayUsable();
    const bool carried = bundleCarried(self);
    if (carried && x11 && !glibcTooOld) {
        if (verbose)
            say("runs on the bundled Qt: %s; %s (decided in %.1f ms)", qtReason, gtkReason, now() - started);
        // The fresh run says nothing more: it was told what to take, and why is said above.
        if (!platform::recordUserValue("DISCMENU_VERBOSE") || unsetenv("DISCMENU_VERBOSE") != 0) {
            say("cannot set the environment of its fresh run: %s", std::strerror(errno));
            return 127;
        }
        return startAfresh(argv, "DISCMENU_QT", "bundled");
    }
    char bundleReason[kReason];
    if (!carried) {
        std::snprintf(bundleReason, sizeof bundleReason, "this medium carries no Qt of its own");
    } else if (!x11) {
        std::snprintf(bundleReason, sizeof bundleReason,
                      "the Qt this medium carries needs X11, which this session lacks");
    } else {
        std::snprintf(bundleReason, sizeof bundleReason,
                      "the Qt this medium carries needs a newer C library");
    }
    if (verbose)
        say("runs on nothing: %s; %s; %s (decided in %.1f ms)", qtReason, gtkReason, bundleReason,
            now() - started);
    launcher::describeNoToolkit(gtkMissing, gtkReason, qtReason, bundleReason, message, sizeof message);
    return tellUser(message);
}
