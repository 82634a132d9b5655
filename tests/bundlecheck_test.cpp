// The launcher's account of a bundle that cannot run here: which library the loader says is
// missing, the one message with the packages to install, and the search through a bundle's files
// with the system's real loader.
#include "launcher/bundlecheck.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using launcher::MissingLibraries;

MissingLibraries missingOf(const std::vector<std::string>& names) {
    MissingLibraries missing;
    for (const std::string& name : names) missing.add(name.c_str());
    return missing;
}

std::string describe(const std::vector<std::string>& names) {
    static MissingLibraries missing;
    missing = missingOf(names);
    char text[8192];
    launcher::describeMissing(missing, text, sizeof text);
    return text;
}

TEST(BundleCheck, TheLibraryTheLoaderSaysIsMissing) {
    struct Case {
        const char* asked;
        const char* error;
        const char* missing;  // nullptr: no library named
    };
    const Case cases[] = {
        {"libharfbuzz.so.0", "libharfbuzz.so.0: cannot open shared object file: No such file or directory",
         "libharfbuzz.so.0"},
        // Found, but not a library (hidden, damaged), under its real file name.
        {"libharfbuzz.so.0", "/usr/lib/x86_64-linux-gnu/libharfbuzz.so.0.60000.0: file too short",
         "libharfbuzz.so.0"},
        // What the library asked for needs in turn.
        {"libharfbuzz.so.0", "libgraphite2.so.3: cannot open shared object file: No such file or directory",
         "libgraphite2.so.3"},
        {"libQt6Core.so.6", "/lib/x86_64-linux-gnu/libm.so.6: version `GLIBC_2.38' not found (required by x)",
         nullptr},
        {"libx.so.1", "no colon here", nullptr},
        {"libx.so.1", ": nothing before it", nullptr},
    };
    for (const Case& c : cases) {
        char name[MissingLibraries::kName] = "";
        const bool found = launcher::missingFromLoaderError(c.asked, c.error, name);
        EXPECT_EQ(found, c.missing != nullptr) << c.error;
        if (c.missing) {
            EXPECT_STREQ(name, c.missing) << c.error;
        }
    }
}

TEST(BundleCheck, OneMessageNamesEveryLibraryAndThePackagesOnEachSystem) {
    EXPECT_EQ(describe({"libOpenGL.so.0", "libxcb-shape.so.0", "libxcb-render.so.0"}),
              "the menu cannot start: this system lacks libraries that the menu needs: libOpenGL.so.0, "
              "libxcb-shape.so.0 and libxcb-render.so.0.\n"
              "Install them with the system's package manager, then start the menu again:\n"
              "  Debian, Ubuntu:  sudo apt install libopengl0 libxcb-shape0 libxcb-render0\n"
              "  Fedora:          sudo dnf install libglvnd-opengl libxcb\n"
              "  openSUSE:        sudo zypper install libOpenGL0 libxcb-shape0 libxcb-render0\n"
              "  Arch Linux:      sudo pacman -S libglvnd libxcb\n");
    struct Case {
        std::vector<std::string> names;
        std::vector<std::string> holds, lacks;
    };
    const Case cases[] = {
        {{"libSM.so.6"},
         {"lacks a library that the menu needs: libSM.so.6.\nInstall it ", "apt install libsm6\n"},
         {"For "}},
        {{"libfoo.so.1", "libgomp.so.1", "libbar.so.2"},
         {"libfoo.so.1, libgomp.so.1 and libbar.so.2.", "apt install libgomp1\n", "pacman -S gcc-libs\n",
          "  For libfoo.so.1 and libbar.so.2, look for the package that holds each"},
         {"libfoo1", "libbar2", "libbar\n"}},
        {{"libfoo.so.1"}, {"  For libfoo.so.1, look for the package that holds it"}, {"apt install"}},
        // Not a protocol extension of the usual form: no package is made up.
        {{"libxcb-.so.0", "libxcb-x.so"}, {"  For libxcb-.so.0 and libxcb-x.so, look"}, {"apt install"}},
    };
    for (const Case& c : cases) {
        const std::string text = describe(c.names);
        for (const std::string& part : c.holds)
            EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
        for (const std::string& part : c.lacks)
            EXPECT_EQ(text.find(part), std::string::npos) << part << "\n" << text;
    }
    // Many libraries: the message is cut to its buffer, never written past it.
    std::vector<std::string> many;
    for (int i = 0; i < 60; ++i) many.push_back("libmany" + std::to_string(i) + ".so.1");
    const MissingLibraries lots = missingOf(many);
    EXPECT_EQ(lots.count, MissingLibraries::kMax);
    EXPECT_TRUE(lots.more);
    char small[64];
    std::fill(std::begin(small), std::end(small), 'x');
    launcher::describeMissing(lots, small, 40);
    EXPECT_EQ(std::string(small).size(), 39u);
    EXPECT_EQ(small[40], 'x');
}

// Where no path serves: GTK's missing libraries (or, when GTK is there but unfit, its package)
// with the packages to install, then why Qt and the bundled Qt do not serve; cut to its buffer.
TEST(BundleCheck, WithNothingToRunOnTheMessageNamesGtksPackages) {
    struct Case {
        std::vector<std::string> missing;
        const char* gtkReason;
        std::vector<std::string> holds, lacks;
    };
    const Case cases[] = {
        {{"libgtk-3.so.0", "libgdk-3.so.0"},
         "the system lacks libgtk-3.so.0",
         {"lacks libraries that the menu needs: libgtk-3.so.0 and libgdk-3.so.0.\n",
          "  Debian, Ubuntu:  sudo apt install libgtk-3-0\n", "  Fedora:          sudo dnf install gtk3\n",
          "  Arch Linux:      sudo pacman -S gtk3\n",
          "Qt: the system lacks libQt6Widgets.so.6; no Qt of its own.\n"},
         {"For "}},
        {{"libpango-1.0.so.0", "libcairo.so.2"},
         "",
         {"sudo apt install libpango-1.0-0 libcairo2\n", "sudo zypper install libpango-1_0-0 libcairo2\n"},
         {"libgtk-3-0"}},
        {{},
         "the system's GTK is 3.22.30; the menu needs GTK 3.24 or newer",
         {"the menu cannot start: the system's GTK is 3.22.30; the menu needs GTK 3.24 or newer.\nInstall "
          "GTK 3",
          "sudo apt install libgtk-3-0\n", "sudo dnf install gtk3\n",
          "Qt: the system lacks libQt6Widgets.so.6"},
         {"lacks a library"}},
    };
    for (const Case& c : cases) {
        static MissingLibraries missing;
        missing = missingOf(c.missing);
        char text[8192];
        launcher::describeNoToolkit(missing, c.gtkReason, "the system lacks libQt6Widgets.so.6",
                                    "no Qt of its own", text, sizeof text);
        const std::string said = text;
        EXPECT_EQ(said.rfind("the menu cannot start: ", 0), 0u) << said;
        EXPECT_EQ(said.find("the menu cannot start", 1), std::string::npos) << said;
        for (const std::string& part : c.holds)
            EXPECT_NE(said.find(part), std::string::npos) << part << "\n" << said;
        for (const std::string& part : c.lacks)
            EXPECT_EQ(said.find(part), std::string::npos) << part << "\n" << said;
        char small[48];
        std::fill(std::begin(small), std::end(small), 'x');
        launcher::describeNoToolkit(missing, c.gtkReason, "q", "b", small, 40);
        EXPECT_EQ(std::string(small).size(), 39u);
        EXPECT_EQ(small[40], 'x');
    }
}

// A bundle made of this build's menu library with one of its libraries renamed to one no system
// has, and a lib/ that holds Qt's core library: the renamed one is missing, the bundled one is
// not looked for on the system, and the absent plugin is named as a file that cannot be read.
TEST(BundleCheck, FindsWhatTheBundlesFilesNeedAndNeitherTheBundleNorTheSystemHas) {
    const fs::path folder = fs::temp_directory_path() / ("bundlecheck-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "lib");
    std::ifstream in(DISCMENU_BINARY_DIR "/app/discmenu-app.so", std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string renamed[][2] = {{"libQt6Gui.so.6", "libQt6Gux.so.6"},
                                      {"libQt6Core.so.6", "libQt6Corx.so.6"}};
    for (const auto& [from, to] : renamed) {
        const std::size_t at = bytes.find(std::string(from) + '\0');
        ASSERT_NE(at, std::string::npos) << from;
        bytes.replace(at, to.size(), to);
    }
    std::ofstream(folder / "discmenu-app.so", std::ios::binary) << bytes;
    fs::copy_file(DISCMENU_BINARY_DIR "/app/discmenu-app.so", folder / "lib" / "libQt6Corx.so.6");

    static MissingLibraries missing;
    missing = MissingLibraries{};
    char problem[1024];
    launcher::findMissingLibraries(folder.c_str(), missing, problem, sizeof problem);
    ASSERT_EQ(missing.count, 1);
    EXPECT_STREQ(missing.names[0], "libQt6Gux.so.6");
    EXPECT_NE(std::string(problem).find("plugins/platforms/libqxcb.so: cannot read it"), std::string::npos)
        << problem;
    fs::remove_all(folder);
}

}  // namespace
