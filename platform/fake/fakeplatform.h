#pragma once
// A platform that records every call, in order, as one line of text, and answers from values
// that a test sets in advance. It starts nothing, shows nothing and changes no real directory.
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

class FakePlatform final : public Platform {
public:
    // What the fake answers.
    std::string appPath = "/media/cdrom";
    std::string cwd = "/media/cdrom";
    std::set<std::string> missingFolders;       // changeDirectory fails for these (as written)
    std::set<std::string> unstartableCommands;  // shell fails for these command lines
    std::int64_t nextTaskId = 1001;
    OpenDialogResult openAnswer;  // what the file-open dialog returns

    // What was called, e.g. "changeDirectory editor", "shell setup.sh in /media/cdrom/editor",
    // "appActivate 1001".
    std::vector<std::string> calls;

    // The calls that start with `prefix`.
    std::vector<std::string> callsTo(const std::string& prefix) const;

    std::string applicationPath() override;
    std::string currentDirectory() override;
    Failure changeDirectory(const std::string& folder) override;
    StartResult shell(const std::string& commandLine) override;
    void appActivate(std::int64_t taskId) override;
    void winExec(const std::string& commandLine, int showState) override;
    OpenDialogResult showOpen(const OpenDialogRequest& request) override;
    void showMessage(const std::string& text) override;
    void reportFatal(const std::string& text) override;
    void endProgram(int status) override;
};

}  // namespace platform
