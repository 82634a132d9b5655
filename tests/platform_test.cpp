// The real platform layer against the real system: programs started in their folder with their
// arguments and no shell between, the current directory, the document viewer through a stand-in
// xdg-open, and Qt's file-open dialog, driven while it is open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <functional>
#include <optional>

#include "platform/posix/realplatform.h"
#include "tests/testfiles.h"

using platform::RealPlatform;

// Test output shows QStrings as text.
void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

constexpr int kWaitMs = 10000;

using testfiles::kExecutable;
using testfiles::kReadable;
using testfiles::show;
using testfiles::writeFile;

// A shell script body that writes its process id, its working directory and its arguments, one
// per line, to `record`. The file appears at once complete (written aside, then renamed).
QByteArray recorderBody(const QString& record) {
    return "out='" + record.toUtf8() +
           "'\n"
           "{ echo \"$$\"; pwd -P; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$out.part\" && "
           "mv \"$out.part\" \"$out\"\n";
}

// Waits, up to kWaitMs, until `path` exists, and returns its lines (without the last newline).
std::optional<QStringList> waitForFile(const QString& path, int lines = 0) {
    const QDeadlineTimer deadline(kWaitMs);
    while (!deadline.hasExpired()) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly)) {
            QString text = QString::fromUtf8(f.readAll());
            if (text.endsWith(u'\n')) text.chop(1);
            const QStringList result = text.split(u'\n');
            if (result.size() >= lines) return result;
        }
        QThread::msleep(20);
    }
    return std::nullopt;
}

// Closes every message box that opens while it lives, keeping its text, so that the real
// message box of the platform can run in a test.
class MessageBoxCloser {
public:
    MessageBoxCloser() {
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.append(box->text());
                box->accept();
            }
        });
        timer_.start(20);
    }
    QStringList texts;

private:
    QTimer timer_;
};

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedCwd_ = QDir::currentPath();
        savedPath_ = qgetenv("PATH");
        ASSERT_TRUE(tmp_.isValid());
        root = QFileInfo(tmp_.path()).canonicalFilePath();
    }
    void TearDown() override {
        QDir::setCurrent(savedCwd_);
        qputenv("PATH", savedPath_);
    }

    RealPlatform platform;
    QString root;

private:
    QTemporaryDir tmp_;
    QString savedCwd_;
    QByteArray savedPath_;
};

// --- Shell: the process start -------------------------------------------------------------

TEST_F(PlatformTest, ShellStartsTheProgramInItsFolderWithItsArgumentsAndNoShell) {
    struct Case {
        const char* name;
        QString file;       // the program on disk, relative to the medium root
        QByteArray header;  // its first line, if any ("" for none)
        QFile::Permissions permissions;
        QString folder;       // the folder the catalogue names
        QString workDir;      // that folder on disk, relative to the medium root
        QString commandLine;  // the command the catalogue names
        QStringList args;     // what the program must receive
    };
    const QByteArray sh = "#!/bin/sh\n";
    const Case cases[] = {
        {"quoted words",
         "editor/setup.sh",
         sh,
         kExecutable,
         "editor",
         "editor",
         "setup.sh \"two words\" plain \"\" end",
         {"two words", "plain", "", "end"}},
        {"no shell",
         "editor/setup.sh",
         sh,
         kExecutable,
         "editor",
         "editor",
         "setup.sh \"a; b\" $(x) `id` * \"> out\" > out | cat && echo $HOME '~' %PATH%",
         {"a; b", "$(x)", "`id`", "*", "> out", ">", "out", "|", "cat", "&&", "echo", "$HOME", "'~'",
          "%PATH%"}},
        {"letter case of folder and program",
         "Editor/SETUP.SH",
         sh,
         kExecutable,
         "EDITOR",
         "Editor",
         "setup.sh /s",
         {"/s"}},
        {"backslashes",
         "apps/editor/bin/setup.sh",
         sh,
         kExecutable,
         "apps\\editor",
         "apps/editor",
         "bin\\setup.sh x",
         {"x"}},
        {"program name with blanks",
         "editor/my setup.sh",
         sh,
         kExecutable,
         "editor",
         "editor",
         "\"my setup.sh\" x",
         {"x"}},
        {"#! without execute permission",
         "editor/setup",
         sh,
         kReadable,
         "editor",
         "editor",
         "setup x",
         {"x"}},
        {"#!/usr/bin/env sh without execute permission",
         "editor/setup",
         "#!/usr/bin/env sh\n",
         kReadable,
         "editor",
         "editor",
         "setup x",
         {"x"}},
        {".sh without execute permission or #!",
         "editor/setup.sh",
         "",
         kReadable,
         "editor",
         "editor",
         "setup.sh x",
         {"x"}},
        {"Windows program run by its counterpart",
         "editor/setup.sh",
         sh,
         kReadable,
         "editor",
         "editor",
         "setup.exe /S \"C:\\Program Files\"",
         {"/S", "C:\\Program Files"}},
        {".sh with execute permission but no #!",
         "editor/setup.sh",
         "",
         kExecutable,
         "editor",
         "editor",
         "setup.sh x",
         {"x"}},
    };
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString medium = root + QStringLiteral("/medium%1").arg(++i);
        const QString record = root + QStringLiteral("/record%1").arg(i);
        writeFile(medium + u'/' + c.file, c.header + recorderBody(record), c.permissions);
        ASSERT_TRUE(QDir::setCurrent(medium));
        const QString folder = medium + u'/' + c.workDir;

        ASSERT_EQ(platform.changeDirectory(c.folder.toStdString()), std::nullopt);
        const auto started = platform.shell(c.commandLine.toStdString());
        ASSERT_EQ(started.failure.value_or(""), "");
        EXPECT_GT(started.taskId, 0);

        const auto lines = waitForFile(record);
        ASSERT_TRUE(lines) << "the program did not run";
        ASSERT_GE(lines->size(), 2);
        EXPECT_EQ(lines->at(0).toLongLong(), started.taskId) << "the task id is the process id";
        EXPECT_EQ(lines->at(1).toStdString(), folder.toStdString());
        EXPECT_EQ(show(lines->mid(2)), show(c.args));
        // Nothing but the program's own entry in the folder: no redirection made a file.
        const QString programEntry =
            QDir(folder).relativeFilePath(medium + u'/' + c.file).section(u'/', 0, 0);
        EXPECT_EQ(show(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)),
                  show({programEntry}));
    }
}

TEST_F(PlatformTest, ShellReturnsWithoutWaitingForTheProgram) {
    // The program records only after the test has seen shell() return (or gives up after a while
    // and records that it was waited for).
    const QString record = root + "/record";
    writeFile(root + "/editor/setup.sh",
              "#!/bin/sh\n"
              "n=0\n"
              "while [ ! -e '" +
                  root.toUtf8() +
                  "/go' ] && [ $n -lt 200 ]; do sleep 0.05; n=$((n+1)); done\n"
                  "[ -e '" +
                  root.toUtf8() + "/go' ] && set -- returned || set -- waited\n" + recorderBody(record),
              kExecutable);
    ASSERT_TRUE(QDir::setCurrent(root + "/editor"));
    const auto started = platform.shell("setup.sh");
    ASSERT_EQ(started.failure, std::nullopt);
    writeFile(root + "/go", "", kReadable);
    const auto lines = waitForFile(record);
    ASSERT_TRUE(lines);
    EXPECT_EQ(lines->value(2).toStdString(), "returned");
}

TEST_F(PlatformTest, ShellReportsAProgramThatCannotStart) {
    writeFile(root + "/editor/notes.txt", "hello\n", kReadable);
    writeFile(root + "/editor/broken", "#!/nonexistent/interpreter\n", kReadable);
    writeFile(root + "/editor/unknown", QByteArray("\0\1\2\3 no known format", 21), kExecutable);
    ASSERT_TRUE(QDir().mkpath(root + "/editor/folder"));
    ASSERT_TRUE(QDir::setCurrent(root + "/editor"));
    const char* commands[] = {"missing.exe", "notes.txt x", "folder", "./folder", "",
                              "   ",         "broken",      "\"\" x", "unknown"};
    for (const char* command : commands) {
        const auto started = platform.shell(command);
        EXPECT_TRUE(started.failure) << "command: " << command;
        EXPECT_FALSE(started.failure.value_or("").empty()) << "command: " << command;
        EXPECT_EQ(started.taskId, 0) << "command: " << command;
    }
    EXPECT_EQ(platform.currentDirectory(), (root + "/editor").toStdString());
}

// --- Change directory ----------------------------------------------------------------------

TEST_F(PlatformTest, ChangeDirectoryFollowsTheCatalogueOrStaysPut) {
    ASSERT_TRUE(QDir().mkpath(root + "/medium/Editor/Sub"));
    ASSERT_TRUE(QDir().mkpath(root + "/medium/cards"));
    writeFile(root + "/medium/readme.txt", "x", kReadable);
    struct Case {
        QString folder;
        QString expected;  // relative to the medium; "-" for a failure
    };
    const Case cases[] = {
        {"cards", "cards"},
        {root + "/medium/cards", "cards"},  // absolute
        {"Editor\\Sub", "Editor/Sub"},
        {"editor\\SUB\\", "Editor/Sub"},
        {"EDITOR", "Editor"},
        {"cards\\..\\editor", "Editor"},
        {".", ""},
        {"missing", "-"},
        {"cards\\missing", "-"},
        {"readme.txt", "-"},  // a file is no folder
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(QDir::setCurrent(root + "/medium"));
        const auto failure = platform.changeDirectory(c.folder.toStdString());
        if (c.expected == u"-") {
            EXPECT_TRUE(failure) << "folder: " << c.folder.toStdString();
            EXPECT_EQ(platform.currentDirectory(), (root + "/medium").toStdString())
                << "folder: " << c.folder.toStdString();
        } else {
            EXPECT_EQ(failure, std::nullopt) << "folder: " << c.folder.toStdString();
            EXPECT_EQ(platform.currentDirectory(),
                      QDir::cleanPath(root + "/medium/" + c.expected).toStdString())
                << "folder: " << c.folder.toStdString();
        }
    }
}

// --- Document viewer ---------------------------------------------------------------------

class ViewerTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        log = root + "/opened.log";
        // A stand-in desktop opener, first on PATH, that records where and with what it ran.
        writeFile(root + "/bin/xdg-open",
                  "#!/bin/sh\nprintf '%s|%s\\n' \"$(pwd -P)\" \"$*\" >> '" + log.toUtf8() + "'\n",
                  kExecutable);
        qputenv("PATH", (root + "/bin:").toUtf8() + qgetenv("PATH"));
        ASSERT_TRUE(QDir().mkpath(root + "/medium"));
        ASSERT_TRUE(QDir::setCurrent(root + "/medium"));
    }
    QString log;
};

TEST_F(ViewerTest, OpensTheDocumentRelativeToTheCurrentDirectoryEachTime) {
    writeFile(root + "/medium/readme.txt", "Read me.\n", kReadable);
    writeFile(root + "/medium/LICENSE.TXT", "Licence.\n", kReadable);
    MessageBoxCloser closer;
    platform.winExec("C:\\Windows\\Notepad.exe readme.txt", 1);
    platform.winExec("C:\\Windows\\Notepad.exe readme.txt", 1);
    platform.winExec("C:\\Windows\\Notepad.exe license.txt", 1);
    const auto lines = waitForFile(log, 3);
    ASSERT_TRUE(lines);
    QStringList sorted = *lines;
    sorted.sort();
    const QString medium = root + "/medium";
    EXPECT_EQ(show(sorted),
              show({medium + "|" + medium + "/LICENSE.TXT", medium + "|" + medium + "/readme.txt",
                    medium + "|" + medium + "/readme.txt"}));
    EXPECT_EQ(show(closer.texts), "");
}

TEST_F(ViewerTest, TellsTheUserWhenTheDocumentOrTheOpenerIsMissing) {
    MessageBoxCloser closer;
    platform.winExec("C:\\Windows\\Notepad.exe readme.txt", 1);
    ASSERT_EQ(closer.texts.size(), 1);
    EXPECT_TRUE(closer.texts[0].contains(u"readme.txt")) << closer.texts[0].toStdString();

    writeFile(root + "/medium/readme.txt", "Read me.\n", kReadable);
    qputenv("PATH", (root + "/nothing-here").toUtf8());
    platform.winExec("C:\\Windows\\Notepad.exe readme.txt", 1);
    ASSERT_EQ(closer.texts.size(), 2);
    EXPECT_TRUE(closer.texts[1].contains(u"xdg-open")) << closer.texts[1].toStdString();

    QThread::msleep(200);
    EXPECT_FALSE(QFileInfo::exists(log)) << "the opener ran";
}

// --- File-open dialog ----------------------------------------------------------------------

// What a test saw of the file-open dialog while it was open.
struct DialogSeen {
    bool found = false;
    bool modal = false;
    QString directory;
    QStringList listed;
    QStringList filters;
    QString filterShown;
    bool closeAttempted = false;
    bool leftOpen = false;  // the dialog stayed open after the test closed it
};

// Runs showOpen while a timer looks at the dialog, waits until it lists `expected`, and then
// closes it with `close`. A dialog that `close` leaves open is rejected after a while, so that a
// failing test does not hang.
platform::OpenDialogResult showOpenAndLook(RealPlatform& platform, const QStringList& expected,
                                           DialogSeen& seen, const std::function<void(QFileDialog*)>& close) {
    QTimer timer;
    const QDeadlineTimer deadline(kWaitMs);
    QDeadlineTimer closing;
    QObject::connect(&timer, &QTimer::timeout, &timer, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (deadline.hasExpired()) timer.stop();
            return;
        }
        if (seen.closeAttempted) {
            if (closing.hasExpired()) {
                seen.leftOpen = true;
                dialog->reject();
            }
            return;
        }
        seen.found = true;
        seen.modal = dialog->isModal();
        seen.directory = dialog->directory().absolutePath();
        seen.listed.clear();
        if (auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"))) {
            const QModelIndex parent = view->rootIndex();
            for (int row = 0; row < view->model()->rowCount(parent); ++row) {
                seen.listed.append(view->model()->index(row, 0, parent).data().toString());
            }
        }
        seen.listed.sort();
        bool complete = true;
        for (const QString& name : expected) complete = complete && seen.listed.contains(name);
        if (!complete && !deadline.hasExpired()) return;  // the folder is read in the background
        if (auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
            for (int k = 0; k < combo->count(); ++k) seen.filters.append(combo->itemText(k));
            seen.filterShown = combo->currentText();
        }
        seen.closeAttempted = true;
        closing.setRemainingTime(2000);
        close(dialog);
    });
    timer.start(20);
    return platform.showOpen({true, 4, "All Files (*.*)|*.*", 1});
}

TEST_F(PlatformTest, FileOpenDialogListsEveryFileAndReportsCancel) {
    writeFile(root + "/medium/README", "x", kReadable);
    writeFile(root + "/medium/setup.sh", "x", kExecutable);
    writeFile(root + "/medium/notes.txt", "x", kReadable);
    ASSERT_TRUE(QDir::setCurrent(root + "/medium"));
    const QStringList files = {"README", "notes.txt", "setup.sh"};

    struct Case {
        const char* name;
        std::function<void(QFileDialog*)> close;
        bool cancelled;
        QString fileName;
    };
    const Case cases[] = {
        {"Cancel", [](QFileDialog* d) { d->reject(); }, true, ""},
        {"closed", [](QFileDialog* d) { d->close(); }, true, ""},
        {"Open README",
         [](QFileDialog* d) {
             // Typed, as a user does: selectFile() leaves the name box alone while it has the focus.
             if (auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                 name->setText(QStringLiteral("README"));
             }
             QMetaObject::invokeMethod(d, "accept");
         },
         false, root + "/medium/README"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DialogSeen seen;
        const auto result = showOpenAndLook(platform, files, seen, c.close);
        ASSERT_TRUE(seen.found) << "no modal file dialog";
        EXPECT_FALSE(seen.leftOpen);
        EXPECT_TRUE(seen.modal);
        EXPECT_EQ(seen.directory.toStdString(), (root + "/medium").toStdString());
        EXPECT_EQ(show(seen.listed), show(files));
        EXPECT_EQ(show(seen.filters), "[All Files (*.*)]");
        EXPECT_EQ(seen.filterShown.toStdString(), "All Files (*.*)");
        EXPECT_EQ(result.cancelled, c.cancelled);
        EXPECT_EQ(result.fileName, c.fileName.toStdString());
        EXPECT_EQ(platform.currentDirectory(), (root + "/medium").toStdString());
    }
}

}  // namespace
