// Which toolkit the launcher takes, decided on made-up facts: no root, no display, no library
// loaded. Each case is a desktop (what each check would find) and the user's settings; the test
// answers the checks the decision asks for, as the launcher does, and looks at what it asked, the
// path it took and what it says.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "launcher/decision.h"

namespace {

using launcher::Decision;
using launcher::Display;
using launcher::Facts;
using launcher::Finding;
using launcher::Known;
using launcher::Step;
using launcher::ToolkitFacts;

constexpr const char kPluginPath[] = "/usr/lib/qt6/plugins/platforms/libqxcb.so";
constexpr const char kNoWidgets[] =
    "libQt6Widgets.so.6: cannot open shared object file: No such file or directory";
constexpr const char kNoGtk[] = "libgtk-3.so.0: cannot open shared object file: No such file or directory";

// A finding as a check on this desktop would leave it, with the details it quotes.
void found(ToolkitFacts& facts, Finding finding, bool gtk) {
    switch (finding) {
        case Finding::kLibraryMissing:
            facts.set(finding, gtk ? "libgtk-3.so.0" : "libQt6Widgets.so.6", "", gtk ? kNoGtk : kNoWidgets);
            facts.missing.add(gtk ? "libgtk-3.so.0" : "libQt6Widgets.so.6");
            break;
        case Finding::kOldGlibc:
            facts.set(finding, "2.34");
            break;
        case Finding::kNoMenu:
            facts.set(finding, "/media/disc/discmenu/discmenu-gtk.so", "No such file or directory");
            break;
        case Finding::kNoPlugin:
            facts.set(finding, kPluginPath);
            break;
        default:
            facts.set(finding);
    }
    if (finding == Finding::kGtkTooOld) std::snprintf(facts.version, sizeof facts.version, "3.22.30");
    if (finding == Finding::kServes && gtk) std::snprintf(facts.version, sizeof facts.version, "3.24.38");
}

struct Desktop {
    const char* qtSetting = nullptr;
    const char* toolkitSetting = nullptr;
    Display display = Display::kX11;
    Finding qt = Finding::kServes;
    bool qtLeavesQtLoaded = false;
    Finding gtk = Finding::kServes;
    bool carried = true;
    Finding bundledNeeds = Finding::kServes;
    const char* earlier = nullptr;  // DISCMENU_NOT_QT
};

struct Outcome {
    std::string asked;  // the checks made, in order
    Step step = Step::kTell;
    bool forced = false, timed = false;
    std::string said, message;
};

// Decides as main() does: makes each check asked for, until the decision is final.
Outcome decideOn(const Desktop& d) {
    auto facts = std::make_unique<Facts>();
    auto decision = std::make_unique<Decision>();
    facts->qtSetting = d.qtSetting;
    facts->toolkitSetting = d.toolkitSetting;
    facts->display = d.display;
    facts->runningGlibc = "2.31";
    if (d.earlier) launcher::parseEarlierRun(d.earlier, facts->earlier);
    Outcome out;
    for (int round = 0;; ++round) {
        EXPECT_LT(round, 5) << "no final step";
        if (round == 5) return out;
        launcher::decide(*facts, *decision);
        const Step step = decision->step;
        const auto once = [&](bool unknown, const char* name) {
            EXPECT_TRUE(unknown) << "asked again for " << name;
            out.asked += out.asked.empty() ? name : std::string(" ") + name;
        };
        if (step == Step::kCheckQt) {
            once(facts->qt.finding == Finding::kUnknown, "qt");
            found(facts->qt, d.qt, false);
            facts->qt.loadedQt = d.qtLeavesQtLoaded;
        } else if (step == Step::kCheckGtk) {
            once(facts->gtk.finding == Finding::kUnknown, "gtk");
            found(facts->gtk, d.gtk, true);
        } else if (step == Step::kCheckBundle) {
            once(facts->bundleCarried == Known::kUnknown, "bundle");
            facts->bundleCarried = d.carried ? Known::kYes : Known::kNo;
        } else if (step == Step::kReadBundledNeeds) {
            once(facts->bundledNeeds.finding == Finding::kUnknown, "needs");
            found(facts->bundledNeeds, d.bundledNeeds, false);
        } else {
            break;
        }
    }
    out.step = decision->step;
    out.forced = decision->forced;
    out.timed = decision->timed;
    out.said = decision->said;
    out.message = decision->message;
    return out;
}

std::string earlierRun(Finding finding, const char* detail) {
    auto qt = std::make_unique<ToolkitFacts>();
    qt->set(finding, detail);
    char state[4096];
    EXPECT_TRUE(launcher::encodeEarlierRun(1234.5, *qt, state, sizeof state));
    return state;
}

TEST(LauncherDecision, TakesThePathTheFactsAllowAndSaysWhy) {
    const std::string noPlugin = earlierRun(Finding::kNoPlugin, kPluginPath);
    const std::string qtGlibc = earlierRun(Finding::kOldGlibc, "2.34");
    const std::string qtLacks = std::string("the system lacks libQt6Widgets.so.6 (") + kNoWidgets + ")";
    const std::string gtkLacks = std::string("the system lacks libgtk-3.so.0 (") + kNoGtk + ")";
    const std::string oldGlibc = " needs the C library glibc 2.34 or newer; this system has glibc 2.31";
    struct Case {
        const char* name;
        Desktop desktop;
        const char* asked;
        Step step;
        std::string said;     // exact
        std::string message;  // a part of it
    } cases[] = {
        // Deciding by itself.
        {"qt serves", {}, "qt", Step::kRunQt, "runs on the system's Qt", ""},
        {"qt without plugin: afresh",
         {.qt = Finding::kNoPlugin, .qtLeavesQtLoaded = true},
         "qt",
         Step::kStartAfreshForGtk,
         "",
         ""},
        {"fresh run: gtk",
         {.earlier = noPlugin.c_str()},
         "gtk",
         Step::kRunGtk,
         std::string("runs on the system's GTK 3.24.38: the system's Qt has no X11 platform plugin ") +
             kPluginPath,
         ""},
        {"fresh run, no gtk: bundled",
         {.gtk = Finding::kLibraryMissing, .earlier = noPlugin.c_str()},
         "gtk bundle",
         Step::kStartBundled,
         std::string("runs on the bundled Qt: the system's Qt has no X11 platform plugin ") + kPluginPath +
             "; " + gtkLacks,
         ""},
        {"malformed fresh state: checks qt",
         {.earlier = "12.5 the system's Qt has no X11 platform plugin /x"},
         "qt",
         Step::kRunQt,
         "runs on the system's Qt",
         ""},
        {"no qt: gtk at once",
         {.qt = Finding::kLibraryMissing},
         "qt gtk",
         Step::kRunGtk,
         "runs on the system's GTK 3.24.38: " + qtLacks,
         ""},
        {"wayland only: gtk, qt unchecked",
         {.display = Display::kWaylandOnly},
         "gtk",
         Step::kRunGtk,
         "runs on the system's GTK 3.24.38: a Wayland session without X11 (WAYLAND_DISPLAY is set, DISPLAY "
         "is not)",
         ""},
        {"wayland, x unreachable, no gtk: not the bundle",
         {.display = Display::kWaylandXUnreachable, .gtk = Finding::kLibraryMissing},
         "gtk bundle",
         Step::kTell,
         "runs on nothing: a Wayland session without X11 (WAYLAND_DISPLAY is set, DISPLAY cannot be "
         "reached); " +
             gtkLacks + "; the Qt this medium carries needs X11, which this session lacks",
         "sudo apt install libgtk-3-0"},
        {"no display: the bundle, left to Qt",
         {.display = Display::kNone, .qt = Finding::kLibraryMissing, .gtk = Finding::kLibraryMissing},
         "qt gtk bundle",
         Step::kStartBundled,
         "runs on the bundled Qt: " + qtLacks + "; " + gtkLacks,
         ""},
        {"old C library: nothing",
         {.qt = Finding::kOldGlibc, .gtk = Finding::kOldGlibc},
         "qt gtk bundle",
         Step::kTell,
         "runs on nothing: the menu on the system's Qt" + oldGlibc + "; the menu on GTK 3" + oldGlibc +
             "; the Qt this medium carries needs a newer C library",
         "the menu cannot start: the menu on GTK 3" + oldGlibc},
        {"fresh run after qt's core loaded, old C library: nothing",
         {.gtk = Finding::kOldGlibc, .earlier = qtGlibc.c_str()},
         "gtk bundle",
         Step::kTell,
         "runs on nothing: the menu on the system's Qt" + oldGlibc + "; the menu on GTK 3" + oldGlibc +
             "; the Qt this medium carries needs a newer C library",
         ""},
        {"old gtk, no bundle",
         {.qt = Finding::kLibraryMissing, .gtk = Finding::kGtkTooOld, .carried = false},
         "qt gtk bundle",
         Step::kTell,
         "runs on nothing: " + qtLacks +
             "; the system's GTK is 3.22.30; the menu needs GTK 3.24 or newer; this medium carries no Qt of "
             "its own",
         "Install GTK 3 (3.24 or newer)"},
        {"no gtk menu, no bundle",
         {.qt = Finding::kNoPlugin, .gtk = Finding::kNoMenu, .carried = false},
         "qt gtk bundle",
         Step::kTell,
         std::string("runs on nothing: the system's Qt has no X11 platform plugin ") + kPluginPath +
             "; the medium has no GTK menu (/media/disc/discmenu/discmenu-gtk.so: No such file or "
             "directory); this "
             "medium carries no Qt of its own",
         "this medium carries no Qt of its own"},
        {"wrong toolkit: decides",
         {.toolkitSetting = "kde"},
         "qt",
         Step::kRunQt,
         "runs on the system's Qt",
         ""},
        {"empty toolkit: decides",
         {.qtSetting = "", .toolkitSetting = ""},
         "qt",
         Step::kRunQt,
         "runs on the system's Qt",
         ""},
        // Told.
        {"told qt, wayland only",
         {.toolkitSetting = "qt", .display = Display::kWaylandOnly},
         "qt",
         Step::kRunQt,
         "runs on the system's Qt (DISCMENU_TOOLKIT=qt)",
         ""},
        {"told qt without plugin: no fresh run",
         {.toolkitSetting = "qt", .qt = Finding::kNoPlugin, .qtLeavesQtLoaded = true},
         "qt",
         Step::kTell,
         "",
         std::string(
             "the menu cannot start on the system's Qt (DISCMENU_TOOLKIT=qt): the system's Qt has no X11 "
             "platform plugin ") +
             kPluginPath},
        {"told qt, fresh state ignored",
         {.toolkitSetting = "qt", .earlier = noPlugin.c_str()},
         "qt",
         Step::kRunQt,
         "runs on the system's Qt (DISCMENU_TOOLKIT=qt)",
         ""},
        {"told gtk",
         {.toolkitSetting = "gtk"},
         "gtk",
         Step::kRunGtk,
         "runs on the system's GTK 3 (DISCMENU_TOOLKIT=gtk)",
         ""},
        {"told gtk, old C library",
         {.toolkitSetting = "gtk", .gtk = Finding::kOldGlibc},
         "gtk",
         Step::kTell,
         "",
         "the menu cannot start on the system's GTK 3 (DISCMENU_TOOLKIT=gtk): the menu on GTK 3" + oldGlibc},
        {"told gtk, wrong DISCMENU_QT ignored",
         {.qtSetting = "yes", .toolkitSetting = "gtk"},
         "gtk",
         Step::kRunGtk,
         "runs on the system's GTK 3 (DISCMENU_TOOLKIT=gtk)",
         ""},
        {"told bundled",
         {.toolkitSetting = "bundled", .display = Display::kWaylandOnly},
         "bundle needs",
         Step::kRunBundled,
         "runs on the bundled Qt (DISCMENU_TOOLKIT=bundled)",
         ""},
        {"DISCMENU_QT=bundled",
         {.qtSetting = "bundled"},
         "bundle needs",
         Step::kRunBundled,
         "runs on the bundled Qt (DISCMENU_QT=bundled)",
         ""},
        {"DISCMENU_QT=bundled before DISCMENU_TOOLKIT",
         {.qtSetting = "bundled", .toolkitSetting = "gtk"},
         "bundle needs",
         Step::kRunBundled,
         "runs on the bundled Qt (DISCMENU_TOOLKIT=bundled)",
         ""},
        {"told bundled, none carried",
         {.qtSetting = "bundled", .carried = false},
         "bundle",
         Step::kTell,
         "runs on the bundled Qt (DISCMENU_QT=bundled)",
         "the menu cannot start on the bundled Qt: this medium carries no Qt of its own (lib/libQt6Core.so.6 "
         "is "
         "missing)"},
        {"told bundled, old C library",
         {.toolkitSetting = "bundled", .bundledNeeds = Finding::kOldGlibc},
         "bundle needs",
         Step::kTell,
         "runs on the bundled Qt (DISCMENU_TOOLKIT=bundled)",
         "the menu cannot start: the menu on the Qt this medium carries" + oldGlibc},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome out = decideOn(c.desktop);
        EXPECT_EQ(out.asked, c.asked);
        EXPECT_EQ(static_cast<int>(out.step), static_cast<int>(c.step));
        EXPECT_EQ(out.said, c.said);
        const bool told = c.desktop.toolkitSetting && (std::string(c.desktop.toolkitSetting) == "qt" ||
                                                       std::string(c.desktop.toolkitSetting) == "gtk" ||
                                                       std::string(c.desktop.toolkitSetting) == "bundled");
        const bool forced = told || (c.desktop.qtSetting && std::string(c.desktop.qtSetting) == "bundled");
        EXPECT_EQ(out.forced, forced);
        EXPECT_EQ(out.timed, !forced && !out.said.empty())
            << "only a decision of its own says how long it took";
        EXPECT_NE(out.message.find(c.message), std::string::npos) << out.message;
        EXPECT_EQ(out.message.empty(), c.step != Step::kTell) << out.message;
    }
}

TEST(LauncherDecision, SaysOnceThatASettingMeansNothing) {
    const std::string earlier = earlierRun(Finding::kNoPluginFolder, nullptr);
    struct Case {
        const char* qt;
        const char* toolkit;
        const char* earlier;
        std::string lines;
    } cases[] = {
        {nullptr, nullptr, nullptr, ""},
        {"bundled", "kde", nullptr, ""},  // DISCMENU_QT=bundled decides; DISCMENU_TOOLKIT is not read
        {"", "", nullptr, ""},
        {"yes", nullptr, nullptr, "DISCMENU_QT is \"yes\"; expected bundled or nothing; ignored\n"},
        {nullptr, "Qt", nullptr,
         "DISCMENU_TOOLKIT is \"Qt\"; expected qt, gtk or bundled; deciding by itself\n"},
        {"1", "x", nullptr,
         "DISCMENU_QT is \"1\"; expected bundled or nothing; ignored\n"
         "DISCMENU_TOOLKIT is \"x\"; expected qt, gtk or bundled; deciding by itself\n"},
        {"1", "x", earlier.c_str(), ""},  // the first run said it
        {"1", nullptr, "malformed", "DISCMENU_QT is \"1\"; expected bundled or nothing; ignored\n"},
    };
    for (const Case& c : cases) {
        auto facts = std::make_unique<Facts>();
        facts->qtSetting = c.qt;
        facts->toolkitSetting = c.toolkit;
        if (c.earlier) launcher::parseEarlierRun(c.earlier, facts->earlier);
        char lines[2][launcher::kLine];
        const int count = launcher::settingWarnings(*facts, lines);
        std::string said;
        for (int i = 0; i < count; ++i) said += std::string(lines[i]) + "\n";
        EXPECT_EQ(said, c.lines) << (c.qt ? c.qt : "(unset)") << " " << (c.toolkit ? c.toolkit : "(unset)");
    }
}

TEST(LauncherDecision, TheFreshRunReadsBackWhatTheQtCheckFound) {
    // Each finding a Qt check can make after it has loaded some of Qt, with awkward details, and
    // the sentence the fresh run says for it.
    struct Case {
        Finding finding;
        const char* details[3];
        const char* said;
    } cases[] = {
        {Finding::kLibraryMissing,
         {"libxcb-cursor.so.0", "libqxcb.so", "libxcb-cursor.so.0: cannot open: No such file"},
         "the system lacks libxcb-cursor.so.0, which libqxcb.so needs (libxcb-cursor.so.0: cannot open: No "
         "such "
         "file)"},
        {Finding::kOldGlibc,
         {"2.38", "", ""},
         "the menu needs the C library glibc 2.38 or newer; this system has glibc 2.36"},
        {Finding::kUnreadable,
         {"discmenu-app.so: not an ELF file", "", ""},
         "discmenu-app.so: not an ELF file"},
        {Finding::kSymbolMissing,
         {"_ZN7QWidget4showEv", "Qt_6.5", "libQt6Widgets.so.6"},
         "the system's libraries lack _ZN7QWidget4showEv of version Qt_6.5 from libQt6Widgets.so.6"},
        {Finding::kSymbolMissing, {"qt_version_tag", "", ""}, "the system's libraries lack qt_version_tag"},
        {Finding::kNoPluginFolder, {"", "", ""}, "the system's Qt does not name its plugin folder"},
        {Finding::kNoPlugin,
         {"/opt/Qt 6/plugins/platforms/libqxcb.so", "", ""},
         "the system's Qt has no X11 platform plugin /opt/Qt 6/plugins/platforms/libqxcb.so"},
        {Finding::kPluginFails,
         {"/x: undefined symbol: a%b\twith tab\n\xc3\xa9t\xc3\xa9", "", ""},
         "the system's X11 platform plugin does not load (/x: undefined symbol: a%b\twith "
         "tab\n\xc3\xa9t\xc3\xa9)"},
        {Finding::kPluginFails, {"", "", ""}, "the system's X11 platform plugin does not load ()"},
    };
    for (const Case& c : cases) {
        auto qt = std::make_unique<ToolkitFacts>();
        qt->set(c.finding, c.details[0], c.details[1], c.details[2]);
        qt->loadedQt = true;
        char state[8192];
        ASSERT_TRUE(launcher::encodeEarlierRun(98765.4321, *qt, state, sizeof state)) << c.details[0];
        for (const char* p = state; *p; ++p)
            EXPECT_TRUE(*p > ' ' && *p <= '~') << "a byte the shell mangles: " << state;
        auto earlier = std::make_unique<launcher::EarlierRun>();
        ASSERT_TRUE(launcher::parseEarlierRun(state, *earlier)) << state;
        EXPECT_TRUE(earlier->present);
        EXPECT_DOUBLE_EQ(earlier->startedMs, 98765.432);
        EXPECT_EQ(static_cast<int>(earlier->qt.finding), static_cast<int>(c.finding));
        EXPECT_FALSE(earlier->qt.loadedQt) << "nothing of Qt is loaded in the fresh run";
        char said[launcher::kReason];
        launcher::describeFinding(earlier->qt, "the menu", "2.36", said, sizeof said);
        EXPECT_STREQ(said, c.said) << state;
    }
    // Only a finding that leaves Qt loaded starts a fresh run; a state that does not fit is refused.
    auto qt = std::make_unique<ToolkitFacts>();
    for (Finding none : {Finding::kServes, Finding::kNoMenu, Finding::kGtkTooOld, Finding::kUnknown}) {
        qt->set(none, "2.34");
        char state[256];
        EXPECT_FALSE(launcher::encodeEarlierRun(1, *qt, state, sizeof state));
    }
    qt->set(Finding::kNoPlugin, kPluginPath);
    char small[24];
    EXPECT_FALSE(launcher::encodeEarlierRun(1, *qt, small, sizeof small));
}

TEST(LauncherDecision, AMalformedFreshStateCountsAsNone) {
    const std::string tooLong = "1:5:no-plugin:" + std::string(launcher::kDetail, 'x') + "::";
    const char* const cases[] = {
        "",
        "1",
        "1:",
        "12345.678 the system's Qt has no X11 platform plugin /x",  // the sentence it once was
        "2:5:no-plugin:/x::",                                       // another version
        "1::no-plugin:/x::",
        "1:5.5:no-plugin:/x::",
        "1:1234567890123456789:no-plugin:/x::",
        "1:5:no-plugins:/x::",
        "1:5:gtk-too-old:3.22::",  // a finding that loads no Qt
        "1:5:serves:::",
        "1:5:no-plugin:/x:",
        "1:5:no-plugin:/x:::",
        "1:5:no-plugin:/x y::",  // a byte that is escaped
        "1:5:no-plugin:/x%2::",
        "1:5:no-plugin:/x%3a::",  // lower case
        "1:5:no-plugin:%2Fx::",   // an escape where none is needed
        "1:5:no-plugin:/x%00::",
        "1:5:no-plugin:::",      // the path is needed
        "1:5:no-plugin:/x:/y:",  // a detail it has not
        "1:5:no-plugin-folder:/x::",
        "1:5:library-missing:::err",
        tooLong.c_str(),
    };
    for (const char* text : cases) {
        auto earlier = std::make_unique<launcher::EarlierRun>();
        EXPECT_FALSE(launcher::parseEarlierRun(text, *earlier)) << text;
        EXPECT_FALSE(earlier->present) << text;
    }
    auto earlier = std::make_unique<launcher::EarlierRun>();
    ASSERT_TRUE(launcher::parseEarlierRun("1:5:library-missing:libQt6Gui.so.6::%3A", *earlier));
    EXPECT_DOUBLE_EQ(earlier->startedMs, 0.005);
    char reason[launcher::kReason];
    launcher::describeFinding(earlier->qt, "", "", reason, sizeof reason);
    EXPECT_STREQ(reason, "the system lacks libQt6Gui.so.6 (:)");
}

}  // namespace
