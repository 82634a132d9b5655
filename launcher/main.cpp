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
// libraries are all loaded already: they are loaded once. Each menu library is read whole, in one
// sequential pass, before its check reads its tables: the check and the loader then find it in
// memory, where they would otherwise reach a CD drive in several runs out of order, each a seek
// (launcher/preload.h). The Qt check loads Qt's core library first: a desktop without it reads
// nothing of the Qt menu library on the way to GTK. Before it loads a menu library, the
// launcher compares the C library that library needs with the running one (launcher/glibc.h), so
// that an older system gets a message, not the loader's error.
//
// One process never holds two toolkits, nor the system's Qt beside the bundled one:
//   - a Qt check that fails after loading some of the system's Qt libraries (an older Qt 6, one
//     without its X11 plugin, a menu library that needs a newer C library than the system's,
//     which is found after Qt's core has loaded) starts the launcher afresh (exec, same process) to check
//     GTK, with DISCMENU_NOT_QT carrying when the first run started and what its Qt check found, in the
//     strict encoding of launcher/decision.h (a value it does not read counts as none). Where
//     the desktop has no Qt at all, nothing of Qt loads and GTK is checked at once. (Re-running
//     costs one exec of this small program, whose pages are in memory: cheap, and only on
//     systems with an unfit Qt; checking Qt's needs without loading them would mean reading
//     every Qt library's ELF tables and reproducing the loader's search here, slower on every
//     system where Qt serves.)
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
// Which of these paths to take is decided from facts alone in launcher/decision.h; this file
// gathers the facts as the decision asks for them (the checks above, the C library, the display)
// and carries the decision out.
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
#include "launcher/decision.h"
#include "launcher/elfneeds.h"
#include "launcher/glibc.h"
#include "launcher/preload.h"
#include "platform/userenvironment.h"

namespace {

constexpr const char kQtLibrary[] = "discmenu-app.so";
constexpr const char kGtkLibrary[] = "discmenu-gtk.so";
constexpr const char kPlugin[] = "platforms/libqxcb.so";
constexpr const char kBundledPlugin[] = "plugins/platforms/libqxcb.so";
constexpr std::size_t kText = launcher::kDetail;
constexpr std::size_t kReason = launcher::kReason;  // a message that quotes a path or a loader error
using launcher::Finding;
using launcher::Step;

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

// Loads `soname` from the system, for all to use (RTLD_GLOBAL). Where it does not load, the
// library the loader names (`soname` itself or one it needs) goes to `found.missing`, and, when
// `first`, the finding kLibraryMissing to `found`. Notes in `found.loadedQt` a library of Qt that
// loaded.
bool loadFromSystem(const char* soname, launcher::ToolkitFacts& found, bool first) {
    if (dlopen(soname, RTLD_LAZY | RTLD_GLOBAL)) {
        if (std::strncmp(soname, "libQt", 5) == 0) found.loadedQt = true;
        return true;
    }
    const char* said = dlerror();
    char name[launcher::MissingLibraries::kName];
    const bool named = said && launcher::missingFromLoaderError(soname, said, name);
    found.missing.add(named ? name : soname);
    if (first) {
        found.set(Finding::kLibraryMissing, named ? name : soname,
                  named && std::strcmp(name, soname) != 0 ? soname : "", said);
    }
    return false;
}

// Loads every library `needs` names from the system and looks up every symbol version it imports
// (dlopen, dlvsym): the system's own loader answers. Libraries that do not load go to
// `found.missing`; `found.loadedQt` tells whether a library of Qt stayed loaded (a fresh run must
// then take any other toolkit). True when all resolve; otherwise `found` holds the first thing
// found missing.
bool librariesServe(const launcher::ElfNeeds& needs, launcher::ToolkitFacts& found) {
    bool failed = false;
    for (int i = 0; i < needs.neededCount; ++i) {
        if (!loadFromSystem(needs.needed[i], found, !failed)) failed = true;
    }
    if (failed) return false;
    for (int i = 0; i < needs.symbolCount; ++i) {
        const launcher::ImportedSymbol& symbol = needs.symbols[i];
        if (symbol.weak) continue;
        const void* address = symbol.version ? dlvsym(RTLD_DEFAULT, symbol.name, symbol.version)
                                             : dlsym(RTLD_DEFAULT, symbol.name);
        if (!address) {
            found.set(Finding::kSymbolMissing, symbol.name, symbol.version, symbol.library);
            return false;
        }
    }
    return true;
}

// Reads what `library` needs and checks it against the running C library; false with the finding
// in `found` when the file cannot be read or needs a newer glibc.
bool readNeeds(const char* library, launcher::ElfNeeds& needs, launcher::ToolkitFacts& found) {
    char error[kReason];
    if (!launcher::readElfNeeds(library, needs, error, sizeof error)) {
        found.set(Finding::kUnreadable, error);
        return false;
    }
    const char* needed = launcher::newestGlibcNeeded(needs);
    if (!needed || launcher::compareVersions(launcher::runningGlibc(), needed) >= 0) return true;
    found.set(Finding::kOldGlibc, needed);
    launcher::freeElfNeeds(needs);
    return false;
}

// Checks whether the desktop's own Qt serves the menu library `library` (see the top of this file);
// its libraries are then loaded, for all to use. Always leaves a finding in `found`.
void checkSystemQt(const char* library, launcher::ToolkitFacts& found) {
    // Qt's core first, which the Qt menu library needs like every other library of Qt: where the
    // system lacks it, nothing of the menu library is read (a GTK start from a CD would otherwise
    // seek to it), and where it loads, the library is read whole, in one pass, before its tables.
    if (!loadFromSystem(launcher::kQtCore, found, true)) return;
    launcher::readAhead(library);
    launcher::ElfNeeds needs;
    if (!readNeeds(library, needs, found)) return;
    const bool served = librariesServe(needs, found);
    launcher::freeElfNeeds(needs);
    if (!served) return;
    found.loadedQt = true;
    char folder[kText], plugin[kText];
    if (!systemPluginFolder(folder) || !join(plugin, folder, kPlugin))
        return found.set(Finding::kNoPluginFolder);
    if (access(plugin, R_OK) != 0) return found.set(Finding::kNoPlugin, plugin);
    if (!dlopen(plugin, RTLD_LAZY | RTLD_LOCAL)) return found.set(Finding::kPluginFails, dlerror());
    found.set(Finding::kServes);
}

// Checks whether the desktop's GTK 3, 3.24 or newer, serves the GTK menu library `library`: its
// libraries and symbols resolve from the system (loaded, for all to use) and GTK says it is
// compatible with 3.24.0. Always leaves a finding in `found`, and GTK's version ("3.24.38") where
// GTK said it.
void checkSystemGtk(const char* library, launcher::ToolkitFacts& found) {
    if (access(library, R_OK) != 0) return found.set(Finding::kNoMenu, library, std::strerror(errno));
    launcher::readAhead(library);
    launcher::ElfNeeds needs;
    if (!readNeeds(library, needs, found)) return;
    const bool served = librariesServe(needs, found);
    launcher::freeElfNeeds(needs);
    if (!served) return;
    using Check = const char* (*)(unsigned, unsigned, unsigned);
    using Part = unsigned (*)();
    auto* check = reinterpret_cast<Check>(dlsym(RTLD_DEFAULT, "gtk_check_version"));
    auto* major = reinterpret_cast<Part>(dlsym(RTLD_DEFAULT, "gtk_get_major_version"));
    auto* minor = reinterpret_cast<Part>(dlsym(RTLD_DEFAULT, "gtk_get_minor_version"));
    auto* micro = reinterpret_cast<Part>(dlsym(RTLD_DEFAULT, "gtk_get_micro_version"));
    if (!check || !major || !minor || !micro) return found.set(Finding::kNoGtkVersion);
    std::snprintf(found.version, sizeof found.version, "%u.%u.%u", major(), minor(), micro());
    found.set(check(3, launcher::kGtkMinor, 0) ? Finding::kGtkTooOld : Finding::kServes);
}

// Checks the C library the menu library `library` needs, for the bundled Qt; leaves kServes,
// kUnreadable or kOldGlibc in `found`.
void checkBundledNeeds(const char* library, launcher::ToolkitFacts& found) {
    launcher::readAhead(library);
    launcher::ElfNeeds needs;
    if (!readNeeds(library, needs, found)) return;
    launcher::freeElfNeeds(needs);
    found.set(Finding::kServes);
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

// What the session shows windows on: X11 where DISPLAY answers, else Wayland where
// WAYLAND_DISPLAY is set, else nothing the launcher can tell.
launcher::Display displayKind() {
    if (xDisplayUsable()) return launcher::Display::kX11;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!wayland || !*wayland) return launcher::Display::kNone;
    const char* display = std::getenv("DISPLAY");
    return display && *display ? launcher::Display::kWaylandXUnreachable : launcher::Display::kWaylandOnly;
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
    return join(core, folder, launcher::kBundledCore) && access(core, F_OK) == 0;
}

// Runs the menu on the bundled Qt in `folder` (the launcher's), in a fresh run that has loaded no
// library of the system's Qt or GTK; the medium carries the bundle and the C library serves its
// menu library `library` (launcher/decision.h has checked). The bundle's libraries come from their
// pack, or their files are read in one pass in disk order first (preload.list). The menu library
// and the X11 plugin are loaded first (the plugin as Qt loads it, so Qt later finds it loaded):
// where the system lacks what they need, the user is told every missing library at once and the
// status is 1.
int runBundled(const char* folder, const char* library, int argc, char* argv[]) {
    static char message[16384];
    char failure[kReason] = "";
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
    char qtLibrary[kText], gtkLibrary[kText];
    if (!join(qtLibrary, self, kQtLibrary) || !join(gtkLibrary, self, kGtkLibrary)) {
        say("the path of its folder is too long: %s", self);
        return 127;
    }
    const char* verboseSetting = std::getenv("DISCMENU_VERBOSE");
    const bool verbose = verboseSetting && *verboseSetting && std::strcmp(verboseSetting, "0") != 0;

    // The facts known at once; the checks that load libraries are made as the decision asks.
    static launcher::Facts facts;
    facts.qtSetting = std::getenv("DISCMENU_QT");
    facts.toolkitSetting = std::getenv("DISCMENU_TOOLKIT");
    facts.display = displayKind();
    facts.runningGlibc = launcher::runningGlibc();
    if (const char* state = std::getenv("DISCMENU_NOT_QT")) {
        launcher::parseEarlierRun(state, facts.earlier);  // a malformed value counts as none
        unsetenv("DISCMENU_NOT_QT");
    }
    char warnings[2][launcher::kLine];
    const int warningCount = launcher::settingWarnings(facts, warnings);
    for (int i = 0; i < warningCount; ++i) say("%s", warnings[i]);

    static launcher::Decision decision;
    bool decided = false;
    // Each round fills one fact the decision asked for; there are four.
    for (int round = 0; round < 5 && !decided; ++round) {
        launcher::decide(facts, decision);
        switch (decision.step) {
            case Step::kCheckQt:
                checkSystemQt(qtLibrary, facts.qt);
                break;
            case Step::kCheckGtk:
                checkSystemGtk(gtkLibrary, facts.gtk);
                break;
            case Step::kCheckBundle:
                facts.bundleCarried = bundleCarried(self) ? launcher::Known::kYes : launcher::Known::kNo;
                break;
            case Step::kReadBundledNeeds:
                checkBundledNeeds(qtLibrary, facts.bundledNeeds);
                break;
            default:
                decided = true;
        }
    }
    if (!decided) {
        say("cannot decide which toolkit to take");
        return 127;
    }

    // Which path was taken and why, for DISCMENU_VERBOSE: said just before the path is taken.
    const double from = facts.earlier.present ? facts.earlier.startedMs : started;
    const auto sayWhy = [&]() {
        if (!verbose || !decision.said[0]) return;
        if (decision.timed) {
            say("%s (decided in %.1f ms)", decision.said, now() - from);
        } else {
            say("%s", decision.said);
        }
    };
    switch (decision.step) {
        case Step::kRunQt:
            if (!setQtEnvironment()) {
                say("cannot set the menu's environment: %s", std::strerror(errno));
                return 127;
            }
            if (!decision.forced) unsetenv("DISCMENU_QT");
            sayWhy();
            return runMenu(qtLibrary, argc, argv);
        case Step::kRunGtk:
            sayWhy();
            return runMenu(gtkLibrary, argc, argv);
        case Step::kRunBundled:
            // Also the fresh run the launcher starts for the bundled Qt, which says nothing more.
            unsetenv("DISCMENU_QT");
            sayWhy();
            return runBundled(self, qtLibrary, argc, argv);
        case Step::kStartAfreshForGtk: {
            // GTK must not meet the Qt libraries the Qt check loaded: a fresh run checks GTK.
            static char state[3 * 3 * launcher::kDetail + 64];
            if (!launcher::encodeEarlierRun(started, facts.qt, state, sizeof state)) {
                say("cannot say to its fresh run why the system's Qt does not serve");
                return 127;
            }
            return startAfresh(argv, "DISCMENU_NOT_QT", state);
        }
        case Step::kStartBundled:
            sayWhy();
            // The fresh run says nothing more: it was told what to take, and why is said above.
            if (!platform::recordUserValue("DISCMENU_VERBOSE") || unsetenv("DISCMENU_VERBOSE") != 0) {
                say("cannot set the environment of its fresh run: %s", std::strerror(errno));
                return 127;
            }
            return startAfresh(argv, "DISCMENU_QT", "bundled");
        default:
            sayWhy();
            return tellUser(decision.message);
    }
}
