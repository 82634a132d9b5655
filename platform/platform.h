#pragma once
// The services the window logic relies on outside itself: directories, process start and
// activation, the document viewer, the file-open dialog and messages to the user. One real
// implementation (RealPlatform) and one that records every call for tests (FakePlatform).
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

class QWidget;

namespace platform {

// The outcome of an operation that can fail: empty on success, otherwise a short reason
// ("no such file", "permission denied") that the caller puts into its own message.
using Failure = std::optional<QString>;

struct StartResult {
    std::int64_t taskId = 0;  // the process id of the started program; 0 when it did not start
    Failure failure;          // why the program could not be started
};

// What the file-open dialog is asked for. The members mirror what the browse action sets.
struct OpenDialogRequest {
    bool cancelError = true;  // Cancel is reported to the caller as a failure
    std::int32_t flags = 4;   // hide the read-only check box
    QString filter;           // "All Files (*.*)|*.*"
    std::int16_t filterIndex = 1;
};

struct OpenDialogResult {
    bool cancelled = true;
    QString fileName;  // the picked file when not cancelled
};

class Platform {
public:
    virtual ~Platform() = default;

    // The folder that holds the running menu program (not the current directory). Never fails.
    virtual QString applicationPath() = 0;

    // The current directory. Never fails.
    virtual QString currentDirectory() = 0;

    // Makes `folder` the current directory. Backslashes are read as "/"; a relative folder is
    // relative to the current directory; when the folder does not exist as written but does with
    // other letter case, that one is used. On failure the current directory is unchanged.
    virtual Failure changeDirectory(const QString& folder) = 0;

    // Starts a command line (split as a Windows command line is split, never through a shell)
    // in the current directory as a normal window that takes the focus; does not wait for it.
    virtual StartResult shell(const QString& commandLine) = 0;

    // Asks the desktop to bring the top-level window of process `taskId` to the front, once, at
    // once. Does nothing when that process has no window yet or the desktop cannot be asked.
    virtual void appActivate(std::int64_t taskId) = 0;

    // Runs a document viewer command line (e.g. "C:\Windows\Notepad.exe readme.txt") with a show
    // state. Where the named viewer is not on this system, the file it names is opened, relative
    // to the current directory, with the desktop's opener, detached. The viewer reports nothing
    // back; where the file is missing or no opener can start, the user is told in a message box.
    virtual void winExec(const QString& commandLine, int showState) = 0;

    // Shows the modal file-open dialog; returns when it is closed.
    virtual OpenDialogResult showOpen(const OpenDialogRequest& request) = 0;

    // Tells the user about a failure that the menu survives (modal message box, owned by `parent`).
    virtual void showMessage(QWidget* parent, const QString& text) = 0;

    // Reports a failure that ends the program: a message box and the same text on standard error.
    virtual void reportFatal(const QString& text) = 0;

    // Ends the program at once with `status`; no further handlers run.
    virtual void endProgram(int status) = 0;
};

}  // namespace platform
