// Command lines and paths written for Windows, read on this system: word splitting, the letter-case
// fallback of paths and where a program word is started from.
#include "platform/posix/commandline.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/testfiles.h"

using platform::cleanPath;
using platform::findPath;
using platform::resolveProgram;
using platform::splitCommandLine;

namespace {

using testfiles::kExecutable;
using testfiles::kReadable;
using testfiles::show;
using testfiles::TempDir;
using testfiles::writeFile;

TEST(SplitCommandLine, SplitsAsWindowsProgramsDo) {
    struct Case {
        const char* line;
        std::vector<std::string> words;
    };
    const Case cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"setup.exe", {"setup.exe"}},
        {"  setup.exe   /s\t\t/v  ", {"setup.exe", "/s", "/v"}},
        {"\"my setup.exe\" \"two words\" three", {"my setup.exe", "two words", "three"}},
        {"setup.exe a\"b c\"d", {"setup.exe", "ab cd"}},  // quotes group inside a word
        {"\"a b\"c d", {"a bc", "d"}},
        {"a \"\" b", {"a", "", "b"}},  // an empty quoted word is still a word
        {"\"a\"\"b c\"", {"a\"b c"}},  // "" inside quotes is one literal quote
        {"\"unterminated text", {"unterminated text"}},
        {"\"tab\tinside\"", {"tab\tinside"}},
        // Backslashes not before a quote are literal, however many.
        {"C:\\Program\\setup.exe a\\\\b\\c trailing\\",
         {"C:\\Program\\setup.exe", "a\\\\b\\c", "trailing\\"}},
        // 2n+1 backslashes before a quote: n backslashes and a literal quote.
        {"a\\\"b", {"a\"b"}},
        {"a\\\\\\\"b c", {"a\\\"b", "c"}},
        {"\"say \\\"hi\\\" now\"", {"say \"hi\" now"}},
        // 2n backslashes before a quote: n backslashes, and the quote groups.
        {"a\\\\\"b c\"", {"a\\b c"}},
        {"\"C:\\dir\\\\\" next", {"C:\\dir\\", "next"}},
        {"\"a\\\\\\\\\" b", {"a\\\\", "b"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(show(splitCommandLine(c.line)), show(c.words)) << "line: " << c.line;
    }
}

class PathTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        base = dir.path();
        writeFile(base + "/Editor/Setup.SH", "#!/bin/sh\n", kExecutable);
        writeFile(base + "/data/Sub/file.txt", "x", kReadable);
        writeFile(base + "/plain.txt", "x", kReadable);
        writeFile(base + "/Éditions/Übersicht Ÿ.txt", "x", kReadable);
        writeFile(base + "/Κείμενα/Файл.txt", "x", kReadable);
    }
    TempDir dir;
    std::string base;
};

TEST_F(PathTest, FindsAsWrittenOrWithOtherLetterCase) {
    struct Case {
        std::string path;
        std::string expected;  // relative to base; "-" for not found
    };
    const Case cases[] = {
        {"plain.txt", "plain.txt"},
        {".", ""},
        {"./editor/../plain.txt", "plain.txt"},
        {"editor", "Editor"},                          // last component
        {"EDITOR/SETUP.sh", "Editor/Setup.SH"},        // every component
        {"DATA/sub/file.txt", "data/Sub/file.txt"},    // middle components
        {"Editor\\Setup.SH", "Editor/Setup.SH"},       // backslashes, as written
        {"data\\SUB\\FILE.TXT", "data/Sub/file.txt"},  // backslashes and letter case
        {"missing", "-"},
        {"editor/missing.sh", "-"},
        {"plain.txt/x", "-"},                                       // a file is no folder
        {"dat", "-"},                                               // no prefix matching
        {"éditions\\übersicht ÿ.TXT", "Éditions/Übersicht Ÿ.txt"},  // letters beyond ASCII
        {"ΚΕΊΜΕΝΑ/файл.txt", "Κείμενα/Файл.txt"},
        {"editions", "-"},  // an accent is no letter case
    };
    for (const auto& c : cases) {
        const auto found = findPath(base, c.path);
        const std::string expected = c.expected == "-" ? "" : cleanPath(base + '/' + c.expected);
        EXPECT_EQ(found.value_or(""), expected) << "path: " << c.path;
    }
    // An absolute path ignores the base, and gets the same fallback.
    EXPECT_EQ(findPath("/nonexistent", base + "/EDITOR/setup.sh").value_or(""), base + "/Editor/Setup.SH");
}

TEST(CleanPath, TakesOutDotsAndRepeatedSeparators) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},         {"/", "/"},
        {"a//b/", "a/b"}, {"/a/./b/../c", "/a/c"},
        {"a/..", "."},    {"../a/../../b", "../../b"},
        {"/../a", "/a"},  {"./", "."},
    };
    for (const auto& [path, clean] : cases) EXPECT_EQ(cleanPath(path), clean) << "path: " << path;
}

TEST(SameIgnoringCase, FoldsLettersOfTheCommonAlphabets) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    };
    const Case cases[] = {
        {"Setup.EXE", "setup.exe", true},
        {"ÀÉÎÕÜ", "àéîõü", true},
        {"ŁÓDŹ Ÿ", "łódź ÿ", true},
        {"ΣΟΦΊΑ", "σοφία", true},
        {"ЁЛКА", "ёлка", true},
        {"é", "e", false},
        {"ab", "abc", false},
        {"\xc3", "\xc3", true},
        {"\xc3", "\xe3", false},
        {"×", "÷", false},  // not letters: the pair U+00D7/U+00F7
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::sameIgnoringCase(c.a, c.b), c.same) << c.a << " / " << c.b;
    }
}

class ResolveProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        cur = dir.path() + "/medium/editor";
        pathDir = dir.path() + "/bin";
        writeFile(cur + "/here", "#!/bin/sh\n", kExecutable);
        writeFile(pathDir + "/here", "#!/bin/sh\n", kExecutable);
        writeFile(pathDir + "/onlypath", "#!/bin/sh\n", kExecutable);
        writeFile(pathDir + "/plainfile", "#!/bin/sh\n", kReadable);
        writeFile(cur + "/tools/prog", "#!/bin/sh\n", kExecutable);
        writeFile(cur + "/Setup.exe",
                  "\x7f"
                  "ELF",
                  kExecutable);
        writeFile(cur + "/script", "#!/bin/sh\necho hi\n", kReadable);
        writeFile(cur + "/spaced", "#! /bin/sh  \necho hi\n", kReadable);
        writeFile(cur + "/envscript", "#!/usr/bin/env sh\necho hi\n", kReadable);
        writeFile(cur + "/crlf", "#!/bin/sh\r\necho hi\r\n", kReadable);
        writeFile(cur + "/crlfexec", "#!/bin/sh\r\necho hi\r\n", kExecutable);
        writeFile(cur + "/install.sh", "echo hi\n", kReadable);
        writeFile(cur + "/plain.sh", "echo hi\n", kExecutable);
        writeFile(cur + "/direct.sh", "#!/bin/bash\necho hi\n", kExecutable);
        writeFile(cur + "/notes.txt", "hello\n", kReadable);
        ASSERT_TRUE(std::filesystem::create_directories(cur + "/folder"));
    }
    TempDir dir;
    std::string cur;
    std::string pathDir;
};

TEST_F(ResolveProgramTest, FindsTheProgramAndItsInterpreter) {
    struct Case {
        const char* word;
        std::string program;  // "=" + name: that file in cur; "@" + name: in pathDir; else literal
        std::vector<std::string> leadArgs;
    };
    const Case cases[] = {
        {"here", "=here", {}},  // the current folder comes before PATH
        {"onlypath", "@onlypath", {}},
        {"tools/prog", "=tools/prog", {}},
        {"tools\\prog", "=tools/prog", {}},
        {"TOOLS\\PROG", "=tools/prog", {}},
        {"./here", "=here", {}},
        {"setup.exe", "=Setup.exe", {}},  // letter case, bare name
        {"script", "/bin/sh", {"=script"}},
        {"spaced", "/bin/sh", {"=spaced"}},
        {"crlf", "/bin/sh", {"=crlf"}},
        {"crlfexec", "/bin/sh", {"=crlfexec"}},  // the system would look for "/bin/sh\r"
        {"envscript", "/usr/bin/env", {"sh", "=envscript"}},
        {"install.sh", "/bin/sh", {"=install.sh"}},
        {"INSTALL.SH", "/bin/sh", {"=install.sh"}},
        {"plain.sh", "/bin/sh", {"=plain.sh"}},  // executable, but no "#!": the system cannot start it
        {"direct.sh", "=direct.sh", {}},
    };
    const std::string searchPath = "/nonexistent:" + pathDir;
    auto expand = [&](const std::string& s) {
        if (s.starts_with('=')) return cur + '/' + s.substr(1);
        if (s.starts_with('@')) return pathDir + '/' + s.substr(1);
        return s;
    };
    for (const auto& c : cases) {
        const auto r = resolveProgram(c.word, cur, searchPath);
        std::vector<std::string> lead;
        for (const std::string& a : c.leadArgs) lead.push_back(expand(a));
        EXPECT_EQ(r.failure, "") << "word: " << c.word;
        EXPECT_EQ(r.program, expand(c.program)) << "word: " << c.word;
        EXPECT_EQ(show(r.leadArgs), show(lead)) << "word: " << c.word;
    }
}

TEST_F(ResolveProgramTest, ReportsWhyAProgramCannotStart) {
    struct Case {
        const char* word;
        const char* failure;  // "" for any non-empty reason
    };
    const Case cases[] = {
        {"notes.txt", "not executable"},
        {"missing", "no such file"},
        {"tools/missing", "no such file"},
        {"plainfile", "no such file"},  // PATH offers only executable files
        {"folder/", "is a folder, not a program"},
        {"./folder", "is a folder, not a program"},
        {"folder", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        const auto r = resolveProgram(c.word, cur, pathDir);
        if (*c.failure) {
            EXPECT_EQ(r.failure, c.failure) << "word: " << c.word;
        } else {
            EXPECT_FALSE(r.failure.empty()) << "word: " << c.word;
        }
        EXPECT_TRUE(r.program.empty()) << "word: " << c.word;
    }
}

// A medium made for both systems: a Windows program named in the catalogue runs its counterpart
// for this system from the same folder, when there is one that can run here.
TEST_F(ResolveProgramTest, WindowsProgramsRunTheirCounterpart) {
    writeFile(cur + "/both.exe", "MZ", kReadable);
    writeFile(cur + "/both.sh", "#!/bin/sh\n", kExecutable);
    writeFile(cur + "/bare.bat", "@echo off\r\n", kReadable);
    writeFile(cur + "/bare", "#!/bin/sh\n", kExecutable);
    writeFile(cur + "/lone.exe", "MZ", kExecutable);
    writeFile(cur + "/text.cmd", "@echo off\r\n", kReadable);
    writeFile(cur + "/text", "just notes\n", kExecutable);
    writeFile(cur + "/real.exe", "#!/bin/sh\n", kExecutable);
    struct Case {
        const char* word;
        const char* program;  // in cur; "" for a failure
    };
    const Case cases[] = {
        {"both.exe", "both.sh"},
        {"BOTH.EXE", "both.sh"},
        {"only.exe", ""},          // neither the program nor a counterpart
        {"bare.bat", "bare"},      // a "#!" script without suffix
        {"lone.exe", ""},          // no counterpart
        {"text.cmd", ""},          // a counterpart that cannot run here
        {"real.exe", "real.exe"},  // really a script for this system: runs as itself
        {"tools\\..\\both.exe", "both.sh"},
    };
    for (const Case& c : cases) {
        const auto r = resolveProgram(c.word, cur, pathDir);
        EXPECT_EQ(r.failure.empty(), *c.program != 0) << "word: " << c.word << ": " << r.failure;
        if (*c.program) {
            EXPECT_EQ(r.program, cur + '/' + c.program) << c.word;
        }
    }
}

}  // namespace
