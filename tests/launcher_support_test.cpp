// What the launcher checks and does before it loads the menu: the C library the menu library needs
// against the running one, and the bundle's files read ahead from the list make-medium writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "launcher/elfneeds.h"
#include "launcher/glibc.h"
#include "launcher/preload.h"

namespace {

TEST(LauncherGlibc, ComparesVersionsPartByPartAsNumbers) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    } cases[] = {
        {"2.31", "2.31", 0},        {"2.31", "2.34", -1},  {"2.4", "2.31", -1},
        {"2.35", "2.2.5", 1},       {"2.31", "2.31.0", 0}, {"3.0", "2.99", 1},
        {"2.31-ubuntu", "2.31", 0}, {"2", "2.0.1", -1},    {"2.99999999999999999999", "2.31", 1},
    };
    for (const Case& c : cases) {
        const int result = launcher::compareVersions(c.a, c.b);
        EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " against " << c.b;
    }
}

TEST(LauncherGlibc, SaysWhichGlibcTheMenuLibraryNeedsWhenTheSystemsIsOlder) {
    launcher::ImportedSymbol symbols[] = {
        {"memcpy", "GLIBC_2.14", "libc.so.6", false},
        {"__libc_start_main", "GLIBC_2.34", "libc.so.6", false},
        {"_ZNSt6chrono3_V212system_clock3nowEv", "GLIBCXX_3.4.30", "libstdc++.so.6", false},
        {"_dl_private", "GLIBC_PRIVATE", "ld-linux-x86-64.so.2", false},
        {"unversioned", nullptr, nullptr, false},
    };
    launcher::ElfNeeds needs;
    needs.symbols = symbols;
    needs.symbolCount = 5;
    ASSERT_STREQ(launcher::newestGlibcNeeded(needs), "2.34");  // not the C++ library's, not PRIVATE
    char reason[512] = "";
    EXPECT_TRUE(launcher::glibcServes(needs, "2.34", "the menu", reason, sizeof reason));
    EXPECT_TRUE(launcher::glibcServes(needs, "2.36", "the menu", reason, sizeof reason));
    EXPECT_FALSE(launcher::glibcServes(needs, "2.31", "the menu on Qt", reason, sizeof reason));
    EXPECT_STREQ(reason,
                 "the menu on Qt needs the C library glibc 2.34 or newer; this system has glibc 2.31");
    needs.symbolCount = 1;
    EXPECT_TRUE(launcher::glibcServes(needs, "2.31", "the menu", reason, sizeof reason));
    // This build's menu library runs here, on the glibc this test runs on.
    launcher::ElfNeeds real;
    char error[512] = "";
    ASSERT_TRUE(launcher::readElfNeeds(DISCMENU_BINARY_DIR "/app/discmenu-app.so", real, error, sizeof error))
        << error;
    ASSERT_NE(launcher::newestGlibcNeeded(real), nullptr);
    EXPECT_TRUE(launcher::glibcServes(real, launcher::runningGlibc(), "the menu", reason, sizeof reason))
        << reason;
    EXPECT_FALSE(launcher::glibcServes(real, "2.17", "the menu", reason, sizeof reason));
    launcher::freeElfNeeds(real);
}

TEST(LauncherPreload, ReadsTheListedFilesAndRefusesPathsOutsideTheFolder) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("preload_test." + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "lib");
    std::ofstream(folder / "lib/a.so") << std::string(300000, 'a');
    std::ofstream(folder / "b.so") << std::string(1000, 'b');
    char error[512] = "";
    EXPECT_EQ(launcher::preloadFiles(folder.c_str(), error, sizeof error), 0) << "no list: nothing to read";

    struct Case {
        const char* list;
        long long bytes;  // -1: refused
        const char* message;
    } cases[] = {
        {"lib/a.so\nb.so\n", 301000, ""},
        {"b.so\nmissing.so\n\nlib/a.so", 301000, ""},  // missing files and empty lines are skipped
        {"b.so\n../b.so\n", -1, "preload.list, line 2: \"../b.so\" is not a path inside"},
        {"/etc/hostname\n", -1, "preload.list, line 1: \"/etc/hostname\" is not a path inside"},
        {"lib/../../x\n", -1, "line 1: \"lib/../../x\""},
        // Parts of a file: offset and length; a part past the end reads what there is.
        {"lib/a.so\t0\t4096\nlib/a.so\t299000\t5000\nb.so\t10\t20\n", 4096 + 1000 + 20, ""},
        {"lib/a.so\t300000\t10\n", 0, ""},
        {"b.so\t10\n", -1, "line 1: \"b.so\" is followed by \"10\", expected a tab, an offset"},
        {"b.so\t-1\t5\n", -1, "line 1: \"b.so\" is followed by \"-1\t5\""},
        {"b.so\t0\t0\n", -1, "line 1: \"b.so\" is followed by"},
        {"b.so\t0\t5x\n", -1, "line 1: \"b.so\" is followed by"},
        {"b.so\n../b.so\t0\t5\n", -1, "line 2: \"../b.so\" is not a path inside"},
    };
    for (const Case& c : cases) {
        std::ofstream(folder / launcher::kPreloadList) << c.list;
        error[0] = '\0';
        EXPECT_EQ(launcher::preloadFiles(folder.c_str(), error, sizeof error), c.bytes) << c.list;
        EXPECT_NE(std::string(error).find(c.message), std::string::npos) << error;
    }
    std::ofstream(folder / launcher::kPreloadList) << std::string(70000, 'x');
    EXPECT_EQ(launcher::preloadFiles(folder.c_str(), error, sizeof error), -1);
    EXPECT_NE(std::string(error).find("is longer than"), std::string::npos) << error;
    fs::remove_all(folder);
}

}  // namespace
