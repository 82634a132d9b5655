#pragma once
// The services the menu's logic relies on outside itself: directories, process start and
// activation, the document viewer, the file-open dialog and messages to the user. One real
// implementation per system and one that records every call for tests (FakePlatform). No
// toolkit: all text is UTF-8, paths use the system's own separators or "/" (and "\" on Windows).
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The outcome of an operation that can fail: empty on success, otherwise a short reason
// ("no such file", "permission denied") that the caller puts into its own message.
using Failure = std::optional<std::string>;

struct StartResult {
    std::int64_t taskId = 0;  // the process id of the started program; 0 when it did not start
    Failure failure;          // why the program could not be started
};

// What the file-open dialog is asked for. The members mirror what the browse action sets.
struct OpenDialogRequest {
    bool cancelError = true;  // Cancel is reported to the caller as a failure
    std::int32_t flags = 4;   // hide the read-only check box
    std::string filter;       // "All Files (*.*)|*.*": display name and pattern
    std::int16_t filterIndex = 1;
};

struct OpenDialogResult {
    bool cancelled = true;
    std::string fileName;  // the picked file when not cancelled
};

class Platform {
public:
    virtual ~Platform() = default;

    // The folder that holds the running menu program (not the current directory). Never fails.
    virtual std::string applicationPath() = 0;

    // The current directory. Never fails.
    virtual std::string currentDirectory() = 0;

    // Makes `folder` the current directory; a relative folder is relative to the current
    // directory. Catalogues written for Windows use "\": it is read as a separator everywhere, and
    // where the system's names are case-sensitive, a folder that exists only with other letter
    // case is used. On failure the current directory is unchanged.
    virtual Failure changeDirectory(const std::string& folder) = 0;

    // Starts a command line in the current directory as a normal window that takes the focus;
    // does not wait for it. The program is looked for in the current directory first. A command
    // that cannot start on this system is resolved to its counterpart in the same folder where one
    // is there (setup.exe and setup.sh). Fails when nothing can be started.
    virtual StartResult shell(const std::string& commandLine) = 0;

    // Brings the top-level window of process `taskId` to the front, once, at once. Does nothing
    // when that process has no window yet or the desktop cannot be asked.
    virtual void appActivate(std::int64_t taskId) = 0;

    // Runs a document viewer command line (e.g. "C:\Windows\Notepad.exe readme.txt") with a show
    // state, relative to the current directory. Where the named viewer is not on this system, the
    // file it names is opened with the system's own viewer. Reports nothing back; where the file
    // is missing or no viewer can start, the user is told in a message box.
    virtual void winExec(const std::string& commandLine, int showState) = 0;

    // Shows the modal file-open dialog in the current directory; returns when it is closed. Does
    // not change the current directory.
    virtual OpenDialogResult showOpen(const OpenDialogRequest& request) = 0;

    // Tells the user about a failure that the menu survives: a modal message box over the menu.
    virtual void showMessage(const std::string& text) = 0;

    // Reports a failure that ends the program: a message box, and the same text on standard error
    // where there is one.
    virtual void reportFatal(const std::string& text) = 0;

    // Ends the program's event loop with `status`; no further handlers run.
    virtual void endProgram(int status) = 0;
};

}  // namespace platform
