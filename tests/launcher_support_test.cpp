// What the launcher checks and does before it loads the menu: the C library the menu library needs
// against the running one, the bundle's files read ahead from the list make-medium writes, and its
// libraries loaded from its pack.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "launcher/bundlepack.h"
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

std::string fileBytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// `bytes` as one zstd frame of stored (raw) blocks, which any zstd decoder reads: the frame's
// magic number, a header saying "one segment, 4-byte content size", then blocks of at most
// 128 KiB, each with a 3-byte header (last block flag, type 0 = raw, size).
std::string zstdFrame(const std::string& bytes) {
    const auto le = [](std::uint32_t v, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) out += char((v >> (8 * i)) & 0xff);
        return out;
    };
    std::string frame = le(0xFD2FB528u, 4) + char(0xA0) + le(std::uint32_t(bytes.size()), 4);
    std::size_t at = 0;
    do {
        const std::size_t n = std::min<std::size_t>(bytes.size() - at, 128 * 1024);
        const bool last = at + n == bytes.size();
        frame += le(std::uint32_t(n << 3 | (last ? 1 : 0)), 3) + bytes.substr(at, n);
        at += n;
    } while (at < bytes.size());
    return frame;
}

bool loadedBySoname(const char* soname) {
    void* handle = dlopen(soname, RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

TEST(LauncherPack, LoadsThePacksLibrariesLeavesFirstAndNothingOfADamagedOne) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("pack_test." + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "lib");
    const std::string leaf = fileBytes(PACK_LEAF), top = fileBytes(PACK_TOP);
    ASSERT_FALSE(leaf.empty() || top.empty());
    fs::copy_file(PACK_LEAF, folder / "lib/leaf.so");
    const std::string magic = "discmenu-pack 1\n";
    const auto line = [](const char* path, std::size_t size, std::size_t packed) {
        return std::string(path) + "\t" + std::to_string(size) + "\t" + std::to_string(packed) + "\n";
    };
    const std::string leafFrame = zstdFrame(leaf), topFrame = zstdFrame(top);
    std::string garbled = topFrame;
    garbled[0] = 'x';  // no longer a zstd frame
    char error[1024];
    int loaded = -1;
    long long bytes = -1;
    EXPECT_EQ(launcher::loadBundlePack(folder.c_str(), loaded, bytes, error, sizeof error),
              launcher::PackResult::kAbsent);

    struct Case {
        std::string pack;
        launcher::PackResult result;
        const char* message;
    } cases[] = {
        {"not a pack\n\n", launcher::PackResult::kUnusable,
         "bundle.pack, line 1: expected \"discmenu-pack 1\""},
        {magic + "lib/leaf.so\t12\n\n", launcher::PackResult::kUnusable, "line 2: expected a path, a tab"},
        {magic + "lib/leaf.so\t0\t0\n\n", launcher::PackResult::kUnusable, "line 2: expected a path"},
        {magic + "lib/../../leaf.so\t10\t0\n\n", launcher::PackResult::kUnusable, "line 2: the path leaves"},
        {magic + "lib/leaf.so\t10\t0\n", launcher::PackResult::kUnusable, "line 3: the pack ends before"},
        {magic + line("leaf.so", leaf.size(), leafFrame.size()) + "\n" + leafFrame.substr(1),
         launcher::PackResult::kUnusable, "bytes of packed libraries, its list says"},
        // The leaf unpacks well, but the top's frame is damaged: neither is loaded.
        {magic + line("leaf.so", leaf.size(), leafFrame.size()) + line("top.so", top.size(), garbled.size()) +
             "\n" + leafFrame + garbled,
         launcher::PackResult::kUnusable, "cannot unpack top.so from"},
        {magic + line("leaf.so", leaf.size() + 1, leafFrame.size()) + "\n" + leafFrame,
         launcher::PackResult::kUnusable, "bytes from"},
        // The top alone: the loader does not find the leaf it needs.
        {magic + line("top.so", top.size(), topFrame.size()) + "\n" + topFrame,
         launcher::PackResult::kNotLoaded, "libdiscmenu-packleaf.so.1"},
    };
    for (const Case& c : cases) {
        std::ofstream(folder / launcher::kBundlePack, std::ios::binary) << c.pack;
        error[0] = '\0';
        EXPECT_EQ(launcher::loadBundlePack(folder.c_str(), loaded, bytes, error, sizeof error), c.result)
            << c.pack;
        EXPECT_EQ(loaded, 0);
        EXPECT_NE(std::string(error).find(c.message), std::string::npos) << error;
        EXPECT_FALSE(loadedBySoname("libdiscmenu-packleaf.so.1"));
    }

    // The leaf as it lies in the folder, then the top unpacked into memory, which finds it.
    const std::string pack = magic + line("lib/leaf.so", leaf.size(), 0) +
                             line("top.so", top.size(), topFrame.size()) + "\n" + topFrame;
    std::ofstream(folder / launcher::kBundlePack, std::ios::binary) << pack;
    ASSERT_EQ(launcher::loadBundlePack(folder.c_str(), loaded, bytes, error, sizeof error),
              launcher::PackResult::kLoaded)
        << error;
    EXPECT_EQ(loaded, 2);
    EXPECT_EQ(bytes, static_cast<long long>(pack.size()));
    void* handle = dlopen("libdiscmenu-packtop.so.1", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr) << "the top is not known by its soname";
    auto* function = reinterpret_cast<int (*)()>(dlsym(handle, "packFixtureTop"));
    ASSERT_NE(function, nullptr);
    EXPECT_EQ(function(), 42);
    const std::string maps = fileBytes("/proc/self/maps");
    EXPECT_NE(maps.find("/memfd:discmenu-bundle:top.so"), std::string::npos);
    EXPECT_NE(maps.find((folder / "lib/leaf.so").string()), std::string::npos);
    fs::remove_all(folder);
}

}  // namespace
