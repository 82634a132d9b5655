// The Qt front end's part of the platform services (qt::QtPlatform) against the real toolkit on
// the offscreen platform: Qt's file-open dialog, driven while it is open, and the message boxes.
// The toolkit-free services under it are tested in posixplatform_test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "qt/qtplatform.h"
#include "tests/testfiles.h"

using qt::QtPlatform;

// Test output shows QStrings as text.
void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

constexpr int kWaitMs = 10000;

using testfiles::kExecutable;
using testfiles::kReadable;
using testfiles::TempDir;
using testfiles::writeFile;

std::string show(const QStringList& words) {
    std::vector<std::string> list;
    for (const QString& w : words) list.push_back(w.toStdString());
    return testfiles::show(list);
}

// Closes every message box that opens while it lives, keeping its icon and text, so that the
// real message box of the platform can run in a test.
class MessageBoxCloser {
public:
    MessageBoxCloser() {
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.append(QStringLiteral("%1: %2").arg(box->icon() == QMessageBox::Critical
                                                              ? QStringLiteral("critical")
                                                              : QStringLiteral("warning"),
                                                          box->text()));
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
        ASSERT_TRUE(tmp_.isValid());
        root = QString::fromStdString(tmp_.path());
    }
    void TearDown() override { QDir::setCurrent(savedCwd_); }

    QtPlatform platform;
    QString root;

private:
    TempDir tmp_;
    QString savedCwd_;
};

// --- Message boxes -------------------------------------------------------------------------

TEST_F(PlatformTest, MessagesAndFatalErrorsAreModalBoxes) {
    ASSERT_TRUE(QDir().mkpath(root + "/medium"));
    ASSERT_TRUE(QDir::setCurrent(root + "/medium"));
    MessageBoxCloser closer;
    platform.winExec("C:\\Windows\\Notepad.exe readme.txt", 1);
    testing::internal::CaptureStderr();
    platform.reportFatal("The catalogue is damaged.");
    // The offscreen plug-in adds notes of its own after the line.
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(written.starts_with("The catalogue is damaged.\n")) << written;
    EXPECT_EQ(show(closer.texts),
              show({"warning: Cannot open \"readme.txt\": the file does not exist in " + root + "/medium.",
                    "critical: The catalogue is damaged."}));
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
platform::OpenDialogResult showOpenAndLook(QtPlatform& platform, const QStringList& expected,
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
    writeFile((root + "/medium/README").toStdString(), "x", kReadable);
    writeFile((root + "/medium/setup.sh").toStdString(), "x", kExecutable);
    writeFile((root + "/medium/notes.txt").toStdString(), "x", kReadable);
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

// A screen reader presses the menu's buttons without activating its window: the dialogs still
// belong to the menu's window (its owner to the window manager, its title on the box), whether
// the window is active or not.
TEST_F(PlatformTest, DialogsBelongToTheMenuWindowActiveOrNot) {
    QWidget menu;
    menu.setWindowTitle(QStringLiteral("Menu caption"));
    menu.show();
    for (const bool active : {true, false}) {
        SCOPED_TRACE(active ? "active" : "inactive");
        QApplication::setActiveWindow(active ? &menu : nullptr);
        ASSERT_EQ(QApplication::activeWindow(), active ? &menu : nullptr);
        QWidget* owner = nullptr;
        QString title;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, &timer, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                owner = dialog->parentWidget();
                title = dialog->windowTitle();
                dialog->reject();
            }
        });
        timer.start(20);
        platform.showMessage("Cannot install.");
        EXPECT_EQ(owner, &menu) << "the message box";
        EXPECT_EQ(title, QStringLiteral("Menu caption"));
        owner = nullptr;
        platform.showOpen({true, 4, "All Files (*.*)|*.*", 1});
        EXPECT_EQ(owner, &menu) << "the file-open dialog";
    }
}

}  // namespace
