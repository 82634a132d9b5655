// The catalogue checker: a table of media (catalogue plus the files it names), each with the
// findings and the exit status it must give; then the real discmenu-check binary for its output
// format, exit statuses, arguments and the preview.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QThread>
#include <cctype>
#include <functional>
#include <map>

#include "check/checker.h"
#include "core/layout.h"
#include "discmenu_version.h"
#include "qt/layout.h"
#include "qt/menuwindow.h"
#include "testcatalogue.h"

namespace {

using check::Finding;
using Severity = Finding::Severity;
using testcatalogue::Catalogue;

// One field per line: entry k's name is on line 21 + 6 (k - 1), its separator 5 lines later.
constexpr int entryLine(int k) { return 21 + 6 * (k - 1); }

struct File {
    QByteArray content;
    bool executable = false;
};

const QByteArray Script = "#!/bin/sh\nexit 0\n";
const QByteArray WindowsProgram = "MZ";  // only its name matters here

// A medium: the catalogue, raw edits of its lines, and the files beside it.
struct Medium {
    Catalogue catalogue;
    std::function<void(QStringList&)> editLines;
    std::map<QString, File> files;  // relative path; a path ending in "/" is a folder
    bool writeCatalogue = true;
    // The catalogue's encoding; other than UTF-8 it is written with a byte-order mark and CR LF, as
    // Windows Notepad saves "Unicode".
    QStringConverter::Encoding encoding = QStringConverter::Utf8;

    // Two entries whose folders hold their set-up script and its Windows counterpart, both
    // documents present and enabled.
    static Medium clean() {
        Medium m;
        m.catalogue.readmeButton = QStringLiteral("1");
        m.catalogue.licenceButton = QStringLiteral("1");
        m.catalogue.entries = {
            {QStringLiteral("Text Editor"), QStringLiteral("1200"), QStringLiteral("setup.sh"),
             QStringLiteral("editor"), QStringLiteral("A small text editor.")},
            {QStringLiteral("Card Game"), QStringLiteral("800"), QStringLiteral("setup.sh"),
             QStringLiteral("cards"), QStringLiteral("Eight patience games.")},
        };
        m.files = {
            {QStringLiteral("readme.txt"), {"Read me.\n"}},
            {QStringLiteral("license.txt"), {"Licence.\n"}},
            {QStringLiteral("editor/setup.sh"), {Script, true}},
            {QStringLiteral("editor/setup.exe"), {WindowsProgram}},
            {QStringLiteral("cards/setup.sh"), {Script, true}},
            {QStringLiteral("cards/setup.exe"), {WindowsProgram}},
        };
        return m;
    }

    void writeTo(const QString& dir) const {
        for (const auto& [path, file] : files) {
            const QString full = QDir(dir).filePath(path);
            ASSERT_TRUE(QDir().mkpath(path.endsWith(u'/') ? full : QFileInfo(full).path()))
                << full.toStdString();
            if (path.endsWith(u'/')) continue;
            QFile f(full);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << full.toStdString();
            f.write(file.content);
            f.close();
            if (file.executable)
                f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
        }
        if (!writeCatalogue) return;
        QStringList lines = catalogue.lines();
        if (editLines) editLines(lines);
        if (encoding != QStringConverter::Utf8) {
            QFile f(QDir(dir).filePath(QStringLiteral("contents.inf")));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            QStringEncoder encode(encoding, QStringConverter::Flag::WriteBom);
            f.write(encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
            return;
        }
        ASSERT_FALSE(testcatalogue::writeCatalogue(dir, lines).isEmpty());
    }
};

struct Expect {
    Severity severity;
    int line;
    const char* phrase;
};

std::string describe(const std::vector<Finding>& findings) {
    std::string out;
    for (const Finding& f : findings) {
        out += (f.severity == Severity::Error ? "  error " : "  warning ") + std::to_string(f.line) + ": " +
               f.text.toStdString() + "\n";
    }
    return out.empty() ? "  (none)\n" : out;
}

// Every expected finding is there (kind, line, phrase) and nothing else is.
void expectFindings(const std::vector<Finding>& findings, const std::vector<Expect>& expected) {
    std::vector<bool> used(findings.size(), false);
    for (const Expect& e : expected) {
        bool found = false;
        for (std::size_t i = 0; i < findings.size() && !found; ++i) {
            const Finding& f = findings[i];
            if (!used[i] && f.severity == e.severity && f.line == e.line &&
                f.text.contains(QString::fromUtf8(e.phrase))) {
                used[i] = found = true;
            }
        }
        EXPECT_TRUE(found) << "missing " << (e.severity == Severity::Error ? "error" : "warning")
                           << " on line " << e.line << " with \"" << e.phrase << "\"; found:\n"
                           << describe(findings);
    }
    EXPECT_EQ(findings.size(), expected.size()) << describe(findings);
}

// The list's font, from a real menu window.
QFont listFont() {
    qt::MenuWindow window;
    return window.programList->font();
}

// A name wider than the list's room beside a scroll bar but not without one.
QString nameForScrollBarOnly() {
    const QFontMetricsF metrics(listFont());
    QString name = QStringLiteral("Program name that is long enough x");
    while (metrics.horizontalAdvance(name) <= 272) name += u'i';
    return name;
}

void removeFolder(Medium& m, const char* folder) {
    std::erase_if(
        m.files, [&](const auto& file) { return file.first.startsWith(QString::fromLatin1(folder) + u'/'); });
}

void addEntries(Medium& m, int total) {
    for (int n = int(m.catalogue.entries.size()) + 1; n <= total; ++n) {
        m.catalogue.entries.append({QStringLiteral("Program %1").arg(n), QStringLiteral("100"),
                                    QStringLiteral("setup.sh"), QStringLiteral("editor"),
                                    QStringLiteral("More.")});
    }
}

struct Case {
    const char* name;
    std::function<void(Medium&)> setUp;
    std::vector<Expect> expected;
    int exitStatus;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Severity W = Severity::Warning;
const Severity E = Severity::Error;

const std::vector<Case>& cases() {
    static const std::vector<Case> table = {
        {"clean", [](Medium&) {}, {}, 0},

        // Numbers the menu reads as 0.
        {"size without a number",
         [](Medium& m) { m.catalogue.entries[1].size = QStringLiteral("-"); },
         {{W, entryLine(2) + 1, "size of entry 2 (\"-\") holds no number"}},
         1},
        {"colour without a number",
         [](Medium& m) { m.editLines = [](QStringList& lines) { lines[10] = QStringLiteral("grey"); }; },
         {{W, 11, "(\"grey\") holds no number"}},
         1},

        {"second entry with the same name",
         [](Medium& m) { m.catalogue.entries[1].name = QStringLiteral("Text Editor"); },
         {{W, entryLine(2), "same name as entry 1 on line 21; the menu always selects entry 1"}},
         1},

        // Folders.
        {"missing folder",
         [](Medium& m) { removeFolder(m, "cards"); },
         {{W, entryLine(2), "entry 2 \"Card Game\": folder \"cards\" does not exist"}},
         1},
        {"folder in other letter case",
         [](Medium& m) { m.catalogue.entries[1].folder = QStringLiteral("Cards"); },
         {{W, entryLine(2),
           "folder \"Cards\" exists as \"cards\" (other letter case); the menu uses it, but a case-sensitive "
           "medium needs the exact name"}},
         1},
        {"folder that is a file",
         [](Medium& m) { m.catalogue.entries[1].folder = QStringLiteral("readme.txt"); },
         {{W, entryLine(2), "folder \"readme.txt\" is a file, not a folder"}},
         1},
        {"empty folder is the medium's own",
         [](Medium& m) {
             m.catalogue.entries[1].folder = QString();
             m.files[QStringLiteral("setup.sh")] = {Script, true};
             m.files[QStringLiteral("setup.exe")] = {WindowsProgram};
         },
         {},
         0},

        // Programs.
        {"missing program",
         [](Medium& m) { m.catalogue.entries[1].command = QStringLiteral("install.sh --all"); },
         {{W, entryLine(2), "program \"install.sh\" does not exist in folder \"cards\" nor on PATH"}},
         1},
        {"program with a Windows path",
         [](Medium& m) {
             m.catalogue.entries[1].command = QStringLiteral("bin\\setup.sh /quiet");
             m.files[QStringLiteral("cards/bin/setup.sh")] = {Script, true};
             m.files[QStringLiteral("cards/bin/setup.exe")] = {WindowsProgram};
         },
         {},
         0},
        {"program in other letter case",
         [](Medium& m) { m.catalogue.entries[0].command = QStringLiteral("SETUP.SH"); },
         {{W, entryLine(1),
           "program \"SETUP.SH\" in folder \"editor\" exists as \"setup.sh\" (other letter case)"}},
         1},
        {"bare name found on PATH",
         [](Medium& m) {
             m.catalogue.entries[1].command = QStringLiteral("installer --all");
             m.files[QStringLiteral("tools/installer")] = {Script, true};
         },
         {},
         0},
        {"script without execute permission runs through sh",
         [](Medium& m) {
             m.files[QStringLiteral("cards/setup.sh")] = {"echo set up\n", false};
         },
         {},
         0},
        {"program that is not executable",
         [](Medium& m) {
             m.catalogue.entries[1].command = QStringLiteral("setup.bin");
             m.files[QStringLiteral("cards/setup.bin")] = {"not a script", false};
         },
         {{W, entryLine(2), "command \"setup.bin\" will not start here: not executable"}},
         1},

        // Entries that install on one system only, and the counterparts that make them install on both.
        {"Windows program without a counterpart",
         [](Medium& m) {
             m.catalogue.entries[1].command = QStringLiteral("Setup.EXE /S");
             m.files.erase(QStringLiteral("cards/setup.exe"));
             m.files.erase(QStringLiteral("cards/setup.sh"));
             m.files[QStringLiteral("cards/Setup.EXE")] = {WindowsProgram, true};
         },
         {{W, entryLine(2),
           "command \"Setup.EXE /S\" will not start here: \".exe\" is a Windows program, which this system "
           "cannot run; it installs on Windows only (put \"Setup.sh\" or \"Setup\" beside it for Linux)"}},
         1},
        {"Windows program with its counterpart",
         [](Medium& m) { m.catalogue.entries[1].command = QStringLiteral("setup.exe /S"); },
         {},
         0},
        {"script without a Windows counterpart",
         [](Medium& m) { m.files.erase(QStringLiteral("cards/setup.exe")); },
         {{W, entryLine(2),
           "command \"setup.sh\" installs on Linux only: there is no \"setup.exe\", \"setup.bat\" or "
           "\"setup.cmd\" in folder \"cards\" for Windows"}},
         1},
        {"script with a .cmd counterpart",
         [](Medium& m) {
             m.files.erase(QStringLiteral("cards/setup.exe"));
             m.files[QStringLiteral("cards/SETUP.CMD")] = {"@echo off\r\n"};
         },
         {},
         0},
        {"script whose interpreter is missing",
         [](Medium& m) {
             m.files[QStringLiteral("cards/setup.sh")] = {"#!/nonexistent/shell\n", true};
         },
         {{W, entryLine(2), "its interpreter \"/nonexistent/shell\" does not exist"}},
         1},
        {"empty command line",
         [](Medium& m) { m.catalogue.entries[1].command = QString(); },
         {{W, entryLine(2), "the command line is empty"}},
         1},

        // Documents: only the flags that are exactly 1 ask for them.
        {"readme missing while its button is enabled",
         [](Medium& m) { m.files.erase(QStringLiteral("readme.txt")); },
         {{W, 7, "\"readme.txt\" does not exist, but the readme button is enabled"}},
         1},
        {"licence missing while it opens at start-up",
         [](Medium& m) {
             m.catalogue.licenceButton = QStringLiteral("0");
             m.catalogue.licenceAtStart = QStringLiteral("1");
             m.files.erase(QStringLiteral("license.txt"));
         },
         {{W, 10, "\"license.txt\" does not exist, but the licence opens at start-up"}},
         1},
        {"documents missing with flags of 2",
         [](Medium& m) {
             m.catalogue.readmeButton = m.catalogue.readmeAtStart = QStringLiteral("2");
             m.catalogue.licenceButton = QStringLiteral("0");
             m.files.erase(QStringLiteral("readme.txt"));
             m.files.erase(QStringLiteral("license.txt"));
         },
         {},
         0},
        {"readme in other letter case",
         [](Medium& m) {
             m.files.erase(QStringLiteral("readme.txt"));
             m.files[QStringLiteral("README.TXT")] = {"Read me.\n"};
         },
         {{W, 7, "\"readme.txt\" exists as \"README.TXT\" (other letter case)"}},
         1},

        // Contrast of text on background.
        {"white list text on white",
         [](Medium& m) { m.catalogue.colours[3] = m.catalogue.colours[4] = 16777215; },
         {{W, 15,
           "the program list: text colour 16777215 (#ffffff) on background colour 16777215 (#ffffff, line "
           "14) "
           "has a contrast ratio of 1.00:1"}},
         1},
        {"grey size box text on white",
         [](Medium& m) {
             m.catalogue.colours[5] = 16777215;
             m.catalogue.colours[6] = testcatalogue::colourValue(0x99, 0x99, 0x99);
         },
         {{W, 17, "contrast ratio of 2.84:1, below 3:1"}},
         1},
        {"darker grey size box text on white is readable",
         [](Medium& m) {
             m.catalogue.colours[5] = 16777215;
             m.catalogue.colours[6] = testcatalogue::colourValue(0x80, 0x80, 0x80);
         },
         {},
         0},
        {"system colours resolved",
         [](Medium& m) { m.catalogue.colours[1] = m.catalogue.colours[2] = 0x80000005; },
         {{W, 13, "the labels: text colour system colour 5"}},
         1},
        {"value that is no colour is left alone",
         [](Medium& m) { m.catalogue.colours[7] = 0x01000000; },
         {},
         0},

        // Names the list cuts short.
        {"name wider than the list",
         [](Medium& m) { m.catalogue.entries[0].name = QString(50, u'W'); },
         {{W, entryLine(1), "pixels wide, but the program list has room for 279;"}},
         1},
        {"name that fits a list without a scroll bar",
         [](Medium& m) { m.catalogue.entries[1].name = nameForScrollBarOnly(); },
         {},
         0},
        {"same name in a list with a scroll bar",
         [](Medium& m) {
             m.catalogue.entries[1].name = nameForScrollBarOnly();
             addEntries(m, 12);
         },
         {{W, entryLine(2), "the program list has room for 265 beside its scroll bar"}},
         1},

        {"text after the end marker",
         [](Medium& m) {
             m.editLines = [](QStringList& lines) { lines << QString() << QStringLiteral("stray"); };
         },
         {{W, entryLine(3) + 1, "text after the end marker \"<<\" on line 32 is never read"}},
         1},

        // Saved as UTF-16: read as the same text, on the same lines.
        {"UTF-16 little endian",
         [](Medium& m) {
             m.encoding = QStringConverter::Utf16LE;
             m.catalogue.title = QStringLiteral("Caf\u00E9 \U0001F4BF");
             m.catalogue.entries[1].size = QStringLiteral("-");
         },
         {{W, entryLine(2) + 1, "size of entry 2 (\"-\") holds no number"}},
         1},

        // What stops the menu from starting.
        {"truncated catalogue",
         [](Medium& m) { m.editLines = [](QStringList& lines) { lines.removeLast(); }; },
         {{E, entryLine(2) + 4, "the file ends before the end marker \"<<\""}},
         2},
        {"202 entries",
         [](Medium& m) { addEntries(m, 202); },
         {{E, entryLine(202), "a 202nd entry begins here"}},
         2},
        {"no catalogue", [](Medium& m) { m.writeCatalogue = false; }, {{E, 0, "the file does not exist"}}, 2},
    };
    return table;
}

class CheckTable : public ::testing::TestWithParam<Case> {};

TEST_P(CheckTable, FindingsAndExitStatus) {
    const Case& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Medium medium = Medium::clean();
    c.setUp(medium);
    medium.writeTo(dir.path());

    const check::Options options{QDir(dir.path()).filePath(QStringLiteral("tools")) + ":/nonexistent"};
    const check::Report report = check::checkCatalogue(dir.path(), options);
    expectFindings(report.findings, c.expected);
    EXPECT_EQ(report.exitStatus(), c.exitStatus);
    EXPECT_EQ(report.tables.has_value(), c.exitStatus < 2);

    // The same bytes, checked before they are written (as the editor does), give the same findings.
    QFile file(QDir(dir.path()).filePath(QStringLiteral("contents.inf")));
    if (QFileInfo(file).isFile() && file.open(QIODevice::ReadOnly)) {
        SCOPED_TRACE("checked as bytes");
        const check::Report fromBytes =
            check::checkCatalogueBytes(file.readAll().toStdString(), dir.path(), options);
        expectFindings(fromBytes.findings, c.expected);
        EXPECT_EQ(fromBytes.exitStatus(), c.exitStatus);
    }
}

INSTANTIATE_TEST_SUITE_P(Media, CheckTable, ::testing::ValuesIn(cases()), [](const auto& info) {
    std::string name = info.param.name;
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    }
    return name;
});

// Each finding names the field it concerns (what the editor shows it beside), whatever line that
// field stands on.
TEST(Check, FindingsNameTheirField) {
    namespace fields = catalogue::fields;
    using fields::Place;
    const auto flag = [](int slot) { return Place::header(fields::headerIndex(fields::Kind::Flag, slot)); };
    const auto colour = [](int slot) {
        return Place::header(fields::headerIndex(fields::Kind::Colour, slot));
    };
    const struct {
        const char* name;
        std::function<void(Medium&)> setUp;
        Place field;
    } table[] = {
        {"size without a number", [](Medium& m) { m.catalogue.entries[1].size = QStringLiteral("-"); },
         Place::entry(2, fields::Size)},
        {"colour without a number",
         [](Medium& m) { m.editLines = [](QStringList& lines) { lines[10] = QStringLiteral("grey"); }; },
         colour(0)},
        {"same name", [](Medium& m) { m.catalogue.entries[1].name = QStringLiteral("Text Editor"); },
         Place::entry(2, fields::Name)},
        {"missing folder", [](Medium& m) { removeFolder(m, "cards"); }, Place::entry(2, fields::Folder)},
        {"empty command line", [](Medium& m) { m.catalogue.entries[1].command = QString(); },
         Place::entry(2, fields::Command)},
        {"readme missing", [](Medium& m) { m.files.erase(QStringLiteral("readme.txt")); }, flag(1)},
        {"licence at start-up missing",
         [](Medium& m) {
             m.catalogue.licenceButton = QStringLiteral("0");
             m.catalogue.licenceAtStart = QStringLiteral("1");
             m.files.erase(QStringLiteral("license.txt"));
         },
         flag(4)},
        {"white on white", [](Medium& m) { m.catalogue.colours[3] = m.catalogue.colours[4] = 16777215; },
         colour(4)},
        {"truncated", [](Medium& m) { m.editLines = [](QStringList& lines) { lines.removeLast(); }; },
         Place::entry(2, fields::Separator)},
        {"202 entries", [](Medium& m) { addEntries(m, 202); }, Place::entry(201, fields::Separator)},
        {"text after the end marker",
         [](Medium& m) { m.editLines = [](QStringList& lines) { lines << QStringLiteral("stray"); }; },
         Place{}},
        {"no catalogue", [](Medium& m) { m.writeCatalogue = false; }, Place{}},
    };
    for (const auto& c : table) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        Medium medium = Medium::clean();
        c.setUp(medium);
        medium.writeTo(dir.path());
        const check::Report report = check::checkCatalogue(dir.path(), {QStringLiteral("/nonexistent")});
        ASSERT_EQ(report.findings.size(), 1u) << describe(report.findings);
        EXPECT_EQ(report.findings[0].field.index, c.field.index);
    }
}

const QString SampleMedium = QStringLiteral(DISCMENU_SOURCE_DIR "/examples/sample-cd");

// The sample medium installs on both systems and is clean.
TEST(Check, SampleMediumIsClean) {
    const check::Report report = check::checkCatalogue(SampleMedium, {qEnvironmentVariable("PATH")});
    EXPECT_TRUE(report.findings.empty()) << describe(report.findings);
    EXPECT_EQ(report.exitStatus(), 0);
}

// The real binary, as a publisher runs it.
struct Outcome {
    int status = -1;
    QString out, err;
};

Outcome runCheck(const QStringList& arguments, const QString& workingDir = {}, const QString& path = {}) {
    QProcess process;
    if (!workingDir.isEmpty()) process.setWorkingDirectory(workingDir);
    if (!path.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), path);
        process.setProcessEnvironment(env);
    }
    process.start(QStringLiteral(DISCMENU_CHECK_BINARY), arguments);
    if (!process.waitForFinished(60000)) return {};
    Outcome run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

TEST(CheckBinary, SampleMediumFromItsFolder) {
    const Outcome run = runCheck({}, SampleMedium);
    QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty()) << run.err.toStdString();
    EXPECT_EQ(lines, QStringList{QStringLiteral("contents.inf: 0 errors, 0 warnings")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, QString());
}

TEST(CheckBinary, WarningsAndErrorsOneLineEach) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Medium medium = Medium::clean();
    medium.catalogue.entries[1].size = QStringLiteral("many");
    removeFolder(medium, "cards");
    medium.editLines = [](QStringList& lines) { lines << QStringLiteral("stray"); };
    medium.writeTo(dir.path());

    Outcome run = runCheck({dir.path()});
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << run.out.toStdString();
    EXPECT_EQ(lines.takeLast(), QStringLiteral("contents.inf: 0 errors, 3 warnings"));
    const QRegularExpression form(QStringLiteral("^contents\\.inf:(\\d+): warning: \\S.*$"));
    int previous = 0;
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = form.match(line);
        ASSERT_TRUE(match.hasMatch()) << line.toStdString();
        EXPECT_GE(match.captured(1).toInt(), previous) << "not sorted by line: " << run.out.toStdString();
        previous = match.captured(1).toInt();
    }
    EXPECT_EQ(
        lines.first(),
        QStringLiteral("contents.inf:27: warning: entry 2 \"Card Game\": folder \"cards\" does not exist"));

    medium.editLines = [](QStringList& lines) { lines.removeLast(); };
    medium.writeTo(dir.path());
    run = runCheck({dir.path()});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out,
              QStringLiteral("contents.inf:31: error: the file ends before the end marker \"<<\" of the "
                             "program list\ncontents.inf: 1 error, 0 warnings\n"));
}

TEST(CheckBinary, BadArgumentsGiveUsage) {
    const std::vector<QStringList> bad = {
        {QStringLiteral("--colour")},
        {QStringLiteral("/nonexistent/medium")},
        {SampleMedium, SampleMedium},
        {QStringLiteral("--preview")},
    };
    for (const QStringList& arguments : bad) {
        const Outcome run = runCheck(arguments);
        EXPECT_EQ(run.status, 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("usage: discmenu-check"))) << run.err.toStdString();
        EXPECT_EQ(run.out, QString()) << arguments.join(u' ').toStdString();
    }
}

// Both publisher tools name the project's version, and their usage says how to ask.
TEST(CheckBinary, ToolsPrintTheirVersion) {
    for (const char* tool : {DISCMENU_CHECK_BINARY, DISCMENU_EDIT_BINARY}) {
        const QString name = QFileInfo(QString::fromUtf8(tool)).fileName();
        SCOPED_TRACE(name.toStdString());
        for (const char* option : {"--version", "--help"}) {
            QProcess process;
            process.start(QString::fromUtf8(tool), {QString::fromLatin1(option)});
            ASSERT_TRUE(process.waitForFinished(60000));
            EXPECT_EQ(process.exitCode(), 0) << option;
            const QString out = QString::fromUtf8(process.readAllStandardOutput());
            if (std::string_view(option) == "--version") {
                EXPECT_EQ(out, name + QStringLiteral(" " DISCMENU_VERSION_STRING "\n"));
            } else {
                EXPECT_TRUE(out.contains(name + QStringLiteral(" --version"))) << out.toStdString();
            }
        }
    }
}

// The preview shows the catalogue's colours; documents flagged for start-up stay closed (a
// desktop opener on PATH would leave a mark).
TEST(CheckBinary, PreviewShowsTheCatalogueColours) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Medium medium = Medium::clean();
    medium.catalogue.readmeAtStart = medium.catalogue.licenceAtStart = QStringLiteral("1");
    medium.catalogue.colours[0] = testcatalogue::colourValue(255, 0, 0);
    medium.catalogue.colours[3] = testcatalogue::colourValue(0, 255, 0);
    const QString mark = QDir(dir.path()).filePath(QStringLiteral("opened"));
    medium.files[QStringLiteral("bin/xdg-open")] = {"#!/bin/sh\ntouch '" + mark.toUtf8() + "'\n", true};
    medium.writeTo(dir.path());

    const QString png = QDir(dir.path()).filePath(QStringLiteral("shot.png"));
    const Outcome run =
        runCheck({QStringLiteral("--preview"), png, dir.path()}, {},
                 QDir(dir.path()).filePath(QStringLiteral("bin")) + QStringLiteral(":/usr/bin:/bin"));
    EXPECT_EQ(run.status, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("preview: ")));

    QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(377, 345));
    // Left of the picture, above the list panel: the window itself.
    EXPECT_EQ(image.pixelColor(2, 2), QColor(255, 0, 0));
    // Low in the list, below the two items.
    const QRect list = qt::twipsRect(core::rowOf(core::Control::ProgramList))
                           .translated(qt::twipsRect(core::rowOf(core::Control::ListPanel)).topLeft());
    EXPECT_EQ(image.pixelColor(list.left() + 100, list.bottom() - 10), QColor(0, 255, 0));

    QThread::msleep(300);
    EXPECT_FALSE(QFileInfo::exists(mark)) << "a document was opened";
}

TEST(CheckBinary, NoPreviewWithErrors) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Medium medium = Medium::clean();
    medium.editLines = [](QStringList& lines) { lines.removeLast(); };
    medium.writeTo(dir.path());
    const QString png = QDir(dir.path()).filePath(QStringLiteral("shot.png"));

    const Outcome run = runCheck({QStringLiteral("--preview"), png, dir.path()});
    EXPECT_EQ(run.status, 2);
    EXPECT_FALSE(QFileInfo::exists(png));
}

TEST(CheckBinary, UnwritablePreviewIsAnError) {
    const Outcome run = runCheck({QStringLiteral("--preview=/nonexistent/folder/shot.png"), SampleMedium});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("cannot write the preview"))) << run.err.toStdString();
}

}  // namespace
