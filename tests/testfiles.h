#pragma once
// Files with chosen permissions in a temporary folder, for the tests that start programs. No
// toolkit: the tests of the toolkit-free platform services use it too.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace testfiles {

namespace fs = std::filesystem;

constexpr fs::perms kReadable =
    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
constexpr fs::perms kExecutable =
    kReadable | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;

// Writes `content` to `path` (creating its folder) with the given permissions.
inline void writeFile(const std::string& path, const std::string& content, fs::perms permissions) {
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    ASSERT_FALSE(error) << path << ": " << error.message();
    {
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        ASSERT_TRUE(f) << path;
        f << content;
    }
    fs::permissions(path, permissions, error);
    ASSERT_FALSE(error) << path << ": " << error.message();
}

// Words shown with their bounds, so that blanks and empty words are visible in a failure.
inline std::string show(const std::vector<std::string>& words) {
    std::string s;
    for (const std::string& w : words) s += "[" + w + "]";
    return s;
}

// A new folder in the system's temporary folder, by its real path (no symbolic links), removed
// with its content at the end.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "discmenu-test-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = fs::canonical(pattern).string();
    }
    ~TempDir() {
        std::error_code error;
        if (!path_.empty()) fs::remove_all(path_, error);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    bool isValid() const { return !path_.empty(); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace testfiles
