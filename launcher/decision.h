// Which toolkit the launcher runs the menu on, decided from facts alone: what the display is, what
// the checks of the desktop's Qt 6 and GTK 3 found, what the medium carries, what the user set and
// what an earlier run found before it started the launcher afresh. main.cpp gathers the facts
// (dlopen, dlvsym, the C library, the display) and carries the decision out; this file does no
// input or output, so that every path can be tried on made-up facts.
//
// The facts are gathered as the decision needs them: deciding on facts still unknown returns the
// check to make next (kCheckQt, kCheckGtk, ...), and the caller decides again once it has made it.
// That keeps the checks in the order the launcher has always made them, and skips those whose
// answer would not change the path (a Wayland session without X11 never loads Qt).
//
// Plain C++ on the C library alone, like the rest of the launcher.
#pragma once

#include <climits>
#include <cstddef>

#include "launcher/bundlecheck.h"

namespace launcher {

#define DISCMENU_QT_CORE "libQt6Core.so.6"
constexpr const char kQtCore[] = DISCMENU_QT_CORE;              // the Qt library every other one of Qt needs
constexpr const char kBundledCore[] = "lib/" DISCMENU_QT_CORE;  // present when the medium carries Qt
#undef DISCMENU_QT_CORE
constexpr unsigned kGtkMinor = 24;               // GTK 3.24: the oldest the GTK menu is built for
constexpr std::size_t kDetail = PATH_MAX + 512;  // one path or loader message a finding quotes
constexpr std::size_t kReason = 2 * kDetail;     // one finding as a sentence

// What the session shows windows on.
enum class Display : unsigned char {
    kX11,                  // DISPLAY answers (with or without Wayland beside it)
    kWaylandOnly,          // WAYLAND_DISPLAY set, DISPLAY not
    kWaylandXUnreachable,  // WAYLAND_DISPLAY set, DISPLAY set but nobody answers there
    kNone,                 // no Wayland, and DISPLAY unset or not answering: left to the toolkit
};

// What checking a menu library against the desktop found: whether the medium has it, whether its
// C library fits, whether the desktop's libraries and symbols it needs resolve, and, for Qt, its
// X11 plugin; for GTK, its version.
enum class Finding : unsigned char {
    kUnknown,         // not checked (yet)
    kServes,          // every check passed
    kNoMenu,          // the medium lacks the GTK menu library: detail[0] its path, [1] the error
    kUnreadable,      // the menu library cannot be read: detail[0] the reader's message
    kOldGlibc,        // it needs a newer C library: detail[0] the newest version it needs ("2.34")
    kLibraryMissing,  // detail[0] the library that did not load, [1] the one needing it (or
                      // empty: the menu library itself), [2] the loader's message
    kSymbolMissing,   // (an older Qt than the one built with) detail[0] the symbol, [1] its
                      // version, [2] its library; [1] and [2] may be empty
    kNoGtkVersion,    // GTK does not say its version
    kGtkTooOld,       // GTK is older than 3.24: `version` says which
    kNoPluginFolder,  // Qt does not name its plugin folder
    kNoPlugin,        // Qt has no X11 platform plugin: detail[0] where it was looked for
    kPluginFails,     // the X11 platform plugin does not load: detail[0] the loader's message
};

struct ToolkitFacts {
    Finding finding = Finding::kUnknown;
    bool loadedQt = false;  // the check left libraries of Qt loaded in this process
    char detail[3][kDetail] = {};
    char version[32] = "";     // GTK's own version ("3.24.38"), once it said it
    MissingLibraries missing;  // every library that did not load

    // Sets the finding and its details (nullptr for none), each cut to kDetail bytes.
    void set(Finding what, const char* a = nullptr, const char* b = nullptr, const char* c = nullptr);
};

enum class Known : unsigned char { kUnknown, kYes, kNo };

// What a run found before it started the launcher afresh (DISCMENU_NOT_QT): when it started and
// why the desktop's Qt did not serve.
struct EarlierRun {
    bool present = false;
    double startedMs = 0;  // on the monotonic clock
    ToolkitFacts qt;       // loadedQt is false: nothing of Qt is loaded in the fresh process
};

struct Facts {
    const char* qtSetting = nullptr;       // DISCMENU_QT, nullptr when unset
    const char* toolkitSetting = nullptr;  // DISCMENU_TOOLKIT, nullptr when unset
    Display display = Display::kX11;
    const char* runningGlibc = "";          // "2.36"
    ToolkitFacts qt;                        // the menu library on the desktop's Qt (discmenu-app.so)
    ToolkitFacts gtk;                       // the menu library on the desktop's GTK (discmenu-gtk.so)
    ToolkitFacts bundledNeeds;              // the Qt menu library's C library, for the bundled Qt
    Known bundleCarried = Known::kUnknown;  // the medium carries a Qt of its own (kBundledCore)
    EarlierRun earlier;
};

enum class Step : unsigned char {
    // A fact to find first, then decide again:
    kCheckQt,           // fill Facts::qt
    kCheckGtk,          // fill Facts::gtk
    kCheckBundle,       // fill Facts::bundleCarried
    kReadBundledNeeds,  // fill Facts::bundledNeeds (kServes, kUnreadable or kOldGlibc)
    // What to do:
    kRunQt,              // the menu on the desktop's Qt, whose libraries are loaded
    kRunGtk,             // the menu on the desktop's GTK
    kRunBundled,         // the menu on the bundled Qt, in this process
    kStartAfreshForGtk,  // start afresh, DISCMENU_NOT_QT carrying encodeEarlierRun(...)
    kStartBundled,       // start afresh with DISCMENU_QT=bundled, without DISCMENU_VERBOSE
    kTell,               // tell the user `message`; the status is 1
};

struct Decision {
    static constexpr std::size_t kSaid = 3 * kReason + 128;
    static constexpr std::size_t kMessage = 16384;
    Step step = Step::kCheckQt;
    bool forced = false;          // the user's setting chose the toolkit
    bool timed = false;           // `said` is followed by how long deciding took
    char said[kSaid] = "";        // the DISCMENU_VERBOSE line without "discmenu: "; empty for none
    char message[kMessage] = "";  // for kTell
};

// The next step for `facts` (see the top of this file). Asks only for facts still unknown, so a
// caller that fills what it is asked for reaches a final step in at most four rounds.
void decide(const Facts& facts, Decision& out);

// The lines to say on standard error about a DISCMENU_QT or DISCMENU_TOOLKIT of a value that means
// nothing (not in the fresh run after a Qt check: the first one said them). Returns how many of
// `lines` (each kLine bytes, without "discmenu: ") were written, 0 to 2.
constexpr std::size_t kLine = 512;
int settingWarnings(const Facts& facts, char (*lines)[kLine]);

// `finding` as the sentence the launcher says ("the system lacks libQt6Core.so.6 (...)"); `what`
// names the menu in a message about the C library ("the menu on GTK 3").
void describeFinding(const ToolkitFacts& finding, const char* what, const char* runningGlibc, char* out,
                     std::size_t size);

// DISCMENU_NOT_QT: the run's start on the monotonic clock and a Qt check's finding that left Qt
// loaded, as "1:<microseconds>:<finding>:<detail>:<detail>:<detail>" with each detail
// percent-encoded (every byte outside '!'..'~', and '%' and ':'). False when it does not fit in
// `size` bytes or the finding is not one that loads Qt.
bool encodeEarlierRun(double startedMs, const ToolkitFacts& qt, char* out, std::size_t size);

// Reads what encodeEarlierRun wrote. Anything else (another version, a finding that loads no Qt,
// a stray byte, a bad escape, a detail too long) leaves `earlier` absent and returns false.
bool parseEarlierRun(const char* text, EarlierRun& earlier);

}  // namespace launcher
