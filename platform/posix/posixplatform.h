#pragma once
// The platform services on Linux that need no toolkit: plain C++, POSIX and xcb. Programs are
// started directly (never through a shell), X11 windows activated, xdg-open is the text viewer.
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

// The Linux services that need no toolkit: directories, starting and activating programs, the
// text viewer. The front end's toolkit supplies the dialogs: a subclass implements showOpen,
// showMessage and endProgram from Platform, and the two hooks below.
class PosixPlatform : public Platform {
public:
    std::string applicationPath() override;  // folder of /proc/self/exe
    std::string currentDirectory() override;
    Failure changeDirectory(const std::string& folder) override;
    StartResult shell(const std::string& commandLine) override;
    void appActivate(std::int64_t taskId) override;                        // X11 only, when onX11()
    void winExec(const std::string& commandLine, int showState) override;  // failures through showMessage
    void reportFatal(const std::string& text) override;  // standard error, then showFatalBox(text)
protected:
    virtual bool onX11() const = 0;                          // the menu's window is on an X11 display
    virtual void showFatalBox(const std::string& text) = 0;  // a modal error box with no parent window
};

// Starts `commandLine` detached in `workingDir`, resolving its program as `shell` does (the
// program word looked for in `workingDir` first, then on PATH).
StartResult startDetached(const std::string& commandLine, const std::string& workingDir);

// Starts `program` (a path) with `arguments` detached: the menu does not wait for it and leaves no
// process behind to be reaped. It runs in `workingDir`, with standard input from /dev/null and the
// environment that programsEnvironment() gives. The task id is the started program's own process
// id; a failure says why it did not start (the folder or the program could not be used).
StartResult spawnDetached(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& workingDir);

// The environment ("NAME=value") that the programs the menu starts get: this process's, with what
// the medium's start-up changed for the menu put back (platform/userenvironment.h).
std::vector<std::string> programsEnvironment();

// The label a file-open dialog shows for a filter text "Name|pattern", and the pattern it really
// uses here ("*.*" would hide files without a dot on this system).
struct DialogFilter {
    std::string label;
    std::string pattern;
};
DialogFilter dialogFilter(const std::string& filter);

}  // namespace platform
