#pragma once
// The platform services on a Linux desktop: QDir for directories, direct process start (never
// through a shell), X11 window activation, xdg-open as the text viewer, Qt's file dialog.
#include <QString>

#include "platform/platform.h"

namespace platform {

class RealPlatform final : public Platform {
public:
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

// Starts `commandLine` detached in `workingDir`, resolving its program as `shell` does.
StartResult startDetached(const QString& commandLine, const QString& workingDir);

// The label the file-open dialog shows for a filter text "Name|pattern", and the pattern it
// really uses here ("*.*" would hide files without a dot on this system).
struct DialogFilter {
    QString label;
    QString pattern;
};
DialogFilter dialogFilter(const QString& filter);

}  // namespace platform
