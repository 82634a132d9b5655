// Command lines and paths written for Windows, read on this system: word splitting, the letter-case
// fallback of paths and where a program word is started from.
#include "platform/posix/commandline.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "tests/testfiles.h"

using platform::findPath;
using platform::resolveProgram;
using platform::splitCommandLine;

namespace {

using testfiles::kExecutable;
using testfiles::kReadable;
using testfiles::show;
using testfiles::writeFile;

TEST(SplitCommandLine, SplitsAsWindowsProgramsDo) {
    struct Case {
        const char* line;
        QStringList words;
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
        EXPECT_EQ(show(splitCommandLine(QString::fromUtf8(c.line))), show(c.words)) << "line: " << c.line;
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
    }
    QTemporaryDir dir;
    QString base;
};

TEST_F(PathTest, FindsAsWrittenOrWithOtherLetterCase) {
    struct Case {
        QString path;
        QString expected;  // relative to base; "-" for not found
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
        {"plain.txt/x", "-"},  // a file is no folder
        {"dat", "-"},          // no prefix matching
    };
    for (const auto& c : cases) {
        const auto found = findPath(base, c.path);
        const QString expected = c.expected == u"-" ? QString() : QDir::cleanPath(base + u'/' + c.expected);
        EXPECT_EQ(found.value_or(QString()).toStdString(), expected.toStdString())
            << "path: " << c.path.toStdString();
    }
    // An absolute path ignores the base, and gets the same fallback.
    EXPECT_EQ(findPath(QStringLiteral("/nonexistent"), base + "/EDITOR/setup.sh").value_or(QString()),
              base + "/Editor/Setup.SH");
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
        ASSERT_TRUE(QDir().mkpath(cur + "/folder"));
    }
    QTemporaryDir dir;
    QString cur;
    QString pathDir;
};

TEST_F(ResolveProgramTest, FindsTheProgramAndItsInterpreter) {
    struct Case {
        const char* word;
        QString program;  // "=" + name: that file in cur; "@" + name: in pathDir; else literal
        QStringList leadArgs;
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
    const QString searchPath = "/nonexistent:" + pathDir;
    auto expand = [&](const QString& s) {
        if (s.startsWith(u'=')) return cur + u'/' + s.mid(1);
        if (s.startsWith(u'@')) return pathDir + u'/' + s.mid(1);
        return s;
    };
    for (const auto& c : cases) {
        const auto r = resolveProgram(QString::fromUtf8(c.word), cur, searchPath);
        QStringList lead;
        for (const QString& a : c.leadArgs) lead.append(expand(a));
        EXPECT_EQ(r.failure.toStdString(), "") << "word: " << c.word;
        EXPECT_EQ(r.program.toStdString(), expand(c.program).toStdString()) << "word: " << c.word;
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
    const QString searchPath = pathDir;
    for (const auto& c : cases) {
        const auto r = resolveProgram(QString::fromUtf8(c.word), cur, searchPath);
        if (*c.failure) {
            EXPECT_EQ(r.failure.toStdString(), c.failure) << "word: " << c.word;
        } else {
            EXPECT_FALSE(r.failure.isEmpty()) << "word: " << c.word;
        }
        EXPECT_TRUE(r.program.isEmpty()) << "word: " << c.word;
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
        const auto r = resolveProgram(QString::fromUtf8(c.word), cur, pathDir);
        EXPECT_EQ(r.failure.isEmpty(), *c.program != 0)
            << "word: " << c.word << ": " << r.failure.toStdString();
        if (*c.program) {
            EXPECT_EQ(r.program.toStdString(), (cur + u'/' + c.program).toStdString()) << c.word;
        }
    }
}

}  // namespace
