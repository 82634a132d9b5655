#pragma once
// A platform on which nothing happens, for a menu window that is only looked at (the checker's
// measurements and preview, the editor's live menu): the window can be built, presented and
// clicked without starting a viewer or a program, changing a directory or showing a dialog.
// Every operation that would act reports that it did not; messages are dropped.
#include <string>

#include "platform/platform.h"

namespace platform {

class InertPlatform final : public Platform {
public:
    // `folder` is what the menu is told is both its own folder and the current directory.
    explicit InertPlatform(std::string folder) : folder_(std::move(folder)) {}

    std::string applicationPath() override { return folder_; }
    std::string currentDirectory() override { return folder_; }
    Failure changeDirectory(const std::string&) override { return "nothing changes in a preview"; }
    StartResult shell(const std::string&) override { return {0, "nothing starts in a preview"}; }
    void appActivate(std::int64_t) override {}
    void winExec(const std::string&, int) override {}
    OpenDialogResult showOpen(const OpenDialogRequest&) override { return {}; }
    void showMessage(const std::string&) override {}
    void reportFatal(const std::string&) override {}
    void endProgram(int) override {}

private:
    std::string folder_;
};

}  // namespace platform
