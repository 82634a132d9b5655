#include "launcher/decision.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "launcher/glibc.h"

namespace launcher {

namespace {

// Copies `text` (nullptr: nothing) into `out` of `size` bytes, cut to fit.
void copy(char* out, std::size_t size, const char* text) { std::snprintf(out, size, "%s", text ? text : ""); }

bool waylandWithoutX(Display display) {
    return display == Display::kWaylandOnly || display == Display::kWaylandXUnreachable;
}

// What the user's settings ask for: DISCMENU_QT=bundled, else DISCMENU_TOOLKIT=qt|gtk|bundled, else
// nothing (also for a value that means nothing).
enum class Told : unsigned char { kDecide, kQt, kGtk, kBundled };

struct Setting {
    Told told = Told::kDecide;
    bool wrongQt = false;       // DISCMENU_QT is set to something other than bundled
    bool wrongToolkit = false;  // DISCMENU_TOOLKIT is set to something other than qt, gtk, bundled
};

Setting readSetting(const Facts& facts) {
    Setting setting;
    const char* qt = facts.qtSetting;
    if (qt && std::strcmp(qt, "bundled") == 0) {
        setting.told = Told::kBundled;
        return setting;
    }
    setting.wrongQt = qt && *qt;
    const char* toolkit = facts.toolkitSetting;
    if (!toolkit || !*toolkit) return setting;
    if (std::strcmp(toolkit, "qt") == 0) {
        setting.told = Told::kQt;
    } else if (std::strcmp(toolkit, "gtk") == 0) {
        setting.told = Told::kGtk;
    } else if (std::strcmp(toolkit, "bundled") == 0) {
        setting.told = Told::kBundled;
    } else {
        setting.wrongToolkit = true;
    }
    return setting;
}

void ask(Decision& out, Step step) {
    out.step = step;
    out.said[0] = '\0';
    out.message[0] = '\0';
}

// A final step: `said` from the format, `message` empty.
__attribute__((format(printf, 4, 5))) void finish(Decision& out, Step step, bool timed, const char* format,
                                                  ...) {
    out.step = step;
    out.timed = timed;
    out.message[0] = '\0';
    va_list args;
    va_start(args, format);
    std::vsnprintf(out.said, sizeof out.said, format, args);
    va_end(args);
}

constexpr const char kOnSystemQt[] = "the menu on the system's Qt";
constexpr const char kOnGtk[] = "the menu on GTK 3";
constexpr const char kOnBundledQt[] = "the menu on the Qt this medium carries";

// The user told the launcher which toolkit to take: that one, or a message why it cannot.
void decideTold(const Facts& facts, Told told, Decision& out) {
    out.forced = true;
    char reason[kReason];
    if (told == Told::kBundled) {
        if (facts.bundleCarried == Known::kUnknown) return ask(out, Step::kCheckBundle);
        if (facts.bundleCarried == Known::kYes && facts.bundledNeeds.finding == Finding::kUnknown)
            return ask(out, Step::kReadBundledNeeds);
        // DISCMENU_TOOLKIT is named whenever it is set at all, as the launcher always has.
        finish(out, Step::kRunBundled, false, "runs on the bundled Qt (%s=bundled)",
               facts.toolkitSetting ? "DISCMENU_TOOLKIT" : "DISCMENU_QT");
        if (facts.bundleCarried == Known::kNo) {
            out.step = Step::kTell;
            std::snprintf(
                out.message, sizeof out.message,
                "the menu cannot start on the bundled Qt: this medium carries no Qt of its own (%s is "
                "missing)",
                kBundledCore);
        } else if (facts.bundledNeeds.finding != Finding::kServes) {
            out.step = Step::kTell;
            describeFinding(facts.bundledNeeds, kOnBundledQt, facts.runningGlibc, reason, sizeof reason);
            std::snprintf(out.message, sizeof out.message, "the menu cannot start: %s", reason);
        }
        return;
    }
    const bool qt = told == Told::kQt;
    const ToolkitFacts& found = qt ? facts.qt : facts.gtk;
    if (found.finding == Finding::kUnknown) return ask(out, qt ? Step::kCheckQt : Step::kCheckGtk);
    const char* name = qt ? "Qt" : "GTK 3";
    const char* value = qt ? "qt" : "gtk";
    if (found.finding == Finding::kServes) {
        finish(out, qt ? Step::kRunQt : Step::kRunGtk, false, "runs on the system's %s (DISCMENU_TOOLKIT=%s)",
               name, value);
        return;
    }
    describeFinding(found, qt ? kOnSystemQt : kOnGtk, facts.runningGlibc, reason, sizeof reason);
    out.step = Step::kTell;
    out.said[0] = '\0';
    std::snprintf(out.message, sizeof out.message,
                  "the menu cannot start on the system's %s (DISCMENU_TOOLKIT=%s): %s", name, value, reason);
}

// Deciding by itself: the desktop's Qt, else its GTK 3, else the bundled Qt, else a message.
void decideAlone(const Facts& facts, Decision& out) {
    out.forced = false;
    char qtReason[kReason], gtkReason[kReason], bundleReason[kReason];
    const ToolkitFacts* qt = &facts.qt;
    if (facts.earlier.present) {
        // The fresh run after a Qt check that left Qt loaded: that check's finding, GTK next.
        qt = &facts.earlier.qt;
        describeFinding(*qt, kOnSystemQt, facts.runningGlibc, qtReason, sizeof qtReason);
    } else if (waylandWithoutX(facts.display)) {
        // The menu's Qt shows through X11 alone; GTK runs on Wayland itself.
        std::snprintf(
            qtReason, sizeof qtReason, "a Wayland session without X11 (WAYLAND_DISPLAY is set, %s)",
            facts.display == Display::kWaylandXUnreachable ? "DISPLAY cannot be reached" : "DISPLAY is not");
    } else {
        if (qt->finding == Finding::kUnknown) return ask(out, Step::kCheckQt);
        if (qt->finding == Finding::kServes) {
            finish(out, Step::kRunQt, true, "runs on the system's Qt");
            return;
        }
        // GTK must not meet the Qt libraries this check loaded: a fresh run checks GTK.
        if (qt->loadedQt) return ask(out, Step::kStartAfreshForGtk);
        describeFinding(*qt, kOnSystemQt, facts.runningGlibc, qtReason, sizeof qtReason);
    }

    if (facts.gtk.finding == Finding::kUnknown) return ask(out, Step::kCheckGtk);
    describeFinding(facts.gtk, kOnGtk, facts.runningGlibc, gtkReason, sizeof gtkReason);
    if (facts.gtk.finding == Finding::kServes) {
        finish(out, Step::kRunGtk, true, "runs on the system's GTK %s: %s", facts.gtk.version, qtReason);
        return;
    }

    if (facts.bundleCarried == Known::kUnknown) return ask(out, Step::kCheckBundle);
    const bool x11 = !waylandWithoutX(facts.display);
    // The bundled Qt's menu is the system Qt's menu library: a C library too old for one is too
    // old for the other.
    const bool glibcTooOld =
        qt->finding == Finding::kOldGlibc || facts.bundledNeeds.finding == Finding::kOldGlibc;
    if (facts.bundleCarried == Known::kYes && x11 && !glibcTooOld) {
        finish(out, Step::kStartBundled, true, "runs on the bundled Qt: %s; %s", qtReason, gtkReason);
        return;
    }
    if (facts.bundleCarried == Known::kNo) {
        copy(bundleReason, sizeof bundleReason, "this medium carries no Qt of its own");
    } else if (!x11) {
        copy(bundleReason, sizeof bundleReason,
             "the Qt this medium carries needs X11, which this session lacks");
    } else {
        copy(bundleReason, sizeof bundleReason, "the Qt this medium carries needs a newer C library");
    }
    finish(out, Step::kTell, true, "runs on nothing: %s; %s; %s", qtReason, gtkReason, bundleReason);
    describeNoToolkit(facts.gtk.missing, gtkReason, qtReason, bundleReason, out.message, sizeof out.message);
}

// The findings a Qt check can make after it has loaded some of Qt (its core library loads first,
// before the menu library is read), by their names in DISCMENU_NOT_QT, with how many details each
// has and whether the first must be given.
struct StateFinding {
    Finding finding;
    const char* name;
    int details;
    bool firstNeeded;
};
constexpr StateFinding kStateFindings[] = {
    {Finding::kUnreadable, "unreadable", 1, true},
    {Finding::kOldGlibc, "old-glibc", 1, true},
    {Finding::kLibraryMissing, "library-missing", 3, true},
    {Finding::kSymbolMissing, "symbol-missing", 3, true},
    {Finding::kNoPluginFolder, "no-plugin-folder", 0, false},
    {Finding::kNoPlugin, "no-plugin", 1, true},
    {Finding::kPluginFails, "plugin-fails", 1, false},
};

bool encodedAsIs(unsigned char c) { return c >= '!' && c <= '~' && c != '%' && c != ':'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // lower case is not what encodeEarlierRun writes
}

// Decodes one field of `text` up to the next ':' or the end into `out` (kDetail bytes); moves
// `text` to that ':' or end. False for a stray byte, a bad or needless escape, or a field too long.
bool decodeField(const char*& text, char* out) {
    std::size_t used = 0;
    for (; *text && *text != ':'; ++text) {
        unsigned char c = static_cast<unsigned char>(*text);
        if (c == '%') {
            const int high = hexValue(text[1]);
            const int low = high < 0 ? -1 : hexValue(text[2]);
            if (low < 0) return false;
            c = static_cast<unsigned char>(high * 16 + low);
            if (encodedAsIs(c) || c == '\0') return false;
            text += 2;
        } else if (!encodedAsIs(c)) {
            return false;
        }
        if (used + 1 >= kDetail) return false;
        out[used++] = static_cast<char>(c);
    }
    out[used] = '\0';
    return true;
}

}  // namespace

void ToolkitFacts::set(Finding what, const char* a, const char* b, const char* c) {
    finding = what;
    copy(detail[0], kDetail, a);
    copy(detail[1], kDetail, b);
    copy(detail[2], kDetail, c);
}

void decide(const Facts& facts, Decision& out) {
    const Setting setting = readSetting(facts);
    out.timed = false;
    if (setting.told == Told::kDecide) {
        decideAlone(facts, out);
    } else {
        decideTold(facts, setting.told, out);
    }
}

int settingWarnings(const Facts& facts, char (*lines)[kLine]) {
    if (facts.earlier.present) return 0;
    const Setting setting = readSetting(facts);
    int count = 0;
    if (setting.wrongQt)
        std::snprintf(lines[count++], kLine, "DISCMENU_QT is \"%s\"; expected bundled or nothing; ignored",
                      facts.qtSetting);
    if (setting.wrongToolkit)
        std::snprintf(lines[count++], kLine,
                      "DISCMENU_TOOLKIT is \"%s\"; expected qt, gtk or bundled; deciding by itself",
                      facts.toolkitSetting);
    return count;
}

void describeFinding(const ToolkitFacts& found, const char* what, const char* runningGlibc, char* out,
                     std::size_t size) {
    const char* a = found.detail[0];
    const char* b = found.detail[1];
    const char* c = found.detail[2];
    switch (found.finding) {
        case Finding::kUnknown:
        case Finding::kServes:
            copy(out, size, "");
            return;
        case Finding::kNoMenu:
            std::snprintf(out, size, "the medium has no GTK menu (%s: %s)", a, b);
            return;
        case Finding::kUnreadable:
            copy(out, size, a);
            return;
        case Finding::kOldGlibc:
            describeOldGlibc(what, a, runningGlibc, out, size);
            return;
        case Finding::kLibraryMissing:
            if (*b) {
                std::snprintf(out, size, "the system lacks %s, which %s needs (%s)", a, b, c);
            } else {
                std::snprintf(out, size, "the system lacks %s (%s)", a, c);
            }
            return;
        case Finding::kSymbolMissing:
            std::snprintf(out, size, "the system's libraries lack %s%s%s%s%s", a, *b ? " of version " : "", b,
                          *c ? " from " : "", c);
            return;
        case Finding::kNoGtkVersion:
            copy(out, size, "the system's GTK does not say its version");
            return;
        case Finding::kGtkTooOld:
            std::snprintf(out, size, "the system's GTK is %s; the menu needs GTK 3.%u or newer",
                          found.version, kGtkMinor);
            return;
        case Finding::kNoPluginFolder:
            copy(out, size, "the system's Qt does not name its plugin folder");
            return;
        case Finding::kNoPlugin:
            std::snprintf(out, size, "the system's Qt has no X11 platform plugin %s", a);
            return;
        case Finding::kPluginFails:
            std::snprintf(out, size, "the system's X11 platform plugin does not load (%s)", a);
            return;
    }
    copy(out, size, "");
}

bool encodeEarlierRun(double startedMs, const ToolkitFacts& qt, char* out, std::size_t size) {
    const StateFinding* kind = nullptr;
    for (const StateFinding& f : kStateFindings)
        if (f.finding == qt.finding) kind = &f;
    if (!kind || startedMs < 0 || size == 0) return false;
    const int n =
        std::snprintf(out, size, "1:%lld:%s", static_cast<long long>(startedMs * 1000.0 + 0.5), kind->name);
    if (n < 0 || static_cast<std::size_t>(n) >= size) return false;
    std::size_t used = static_cast<std::size_t>(n);
    for (int i = 0; i < 3; ++i) {
        if (used + 1 >= size) return false;
        out[used++] = ':';
        for (const char* p = qt.detail[i]; i < kind->details && *p; ++p) {
            const unsigned char c = static_cast<unsigned char>(*p);
            if (used + 4 > size) return false;
            if (encodedAsIs(c)) {
                out[used++] = static_cast<char>(c);
            } else {
                std::snprintf(out + used, 4, "%%%02X", c);
                used += 3;
            }
        }
    }
    out[used] = '\0';
    return true;
}

bool parseEarlierRun(const char* text, EarlierRun& earlier) {
    earlier.present = false;
    if (!text || std::strncmp(text, "1:", 2) != 0) return false;
    text += 2;
    long long micros = 0;
    int digits = 0;
    for (; *text >= '0' && *text <= '9'; ++text, ++digits) {
        if (digits == 18) return false;  // no monotonic clock reads that far
        micros = micros * 10 + (*text - '0');
    }
    if (digits == 0 || *text++ != ':') return false;
    const StateFinding* kind = nullptr;
    for (const StateFinding& f : kStateFindings) {
        const std::size_t length = std::strlen(f.name);
        if (std::strncmp(text, f.name, length) == 0 && text[length] == ':') kind = &f;
    }
    if (!kind) return false;
    text += std::strlen(kind->name);
    ToolkitFacts& qt = earlier.qt;
    for (int i = 0; i < 3; ++i) {
        if (*text++ != ':' || !decodeField(text, qt.detail[i])) return false;
        if (i >= kind->details && qt.detail[i][0]) return false;
    }
    if (*text || (kind->firstNeeded && !qt.detail[0][0])) return false;
    qt.finding = kind->finding;
    qt.loadedQt = false;
    qt.version[0] = '\0';
    qt.missing.count = 0;
    qt.missing.more = false;
    earlier.startedMs = static_cast<double>(micros) / 1000.0;
    earlier.present = true;
    return true;
}

}  // namespace launcher
