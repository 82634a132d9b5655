#pragma once
// The platform services on Windows, through the wide (UTF-16) APIs: directories, process start
// with the menu's own program lookup (programstart.h), window activation, Notepad as the text
// viewer, the common file-open dialog and message boxes.
//
// Folders: "/" and "\" both separate. A folder with a drive letter ("D:\setup") also makes that
// drive current, as SetCurrentDirectoryW does; a drive-relative folder ("D:setup") is read against
// that drive's own current folder.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

class WindowsPlatform final : public Platform {
public:
    // The menu window: the owner of message boxes and the file-open dialog, and the caption of
    // message boxes. Without one, the active window of this thread is taken.
    void setOwner(HWND owner) { owner_ = owner; }

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

private:
    HWND owner() const;
    void messageBox(const std::string& text, UINT icon);

    HWND owner_ = nullptr;
};

}  // namespace platform
