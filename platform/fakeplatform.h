#pragma once
// A platform that records every call, in order, as one line of text, and answers from values
// that a test sets in advance. It starts nothing, shows nothing and changes no real directory.
#include <QSet>
#include <QStringList>

#include "platform/platform.h"

namespace platform {

class FakePlatform final : public Platform {
public:
    // What the fake answers.
    QString appPath = QStringLiteral("/media/cdrom");
    QString cwd = QStringLiteral("/media/cdrom");
    QSet<QString> missingFolders;       // changeDirectory fails for these (as written)
    QSet<QString> unstartableCommands;  // shell fails for these command lines
    std::int64_t nextTaskId = 1001;
    OpenDialogResult openAnswer;  // what the file-open dialog returns

    // What was called, e.g. "changeDirectory editor", "shell setup.sh", "appActivate 1001".
    QStringList calls;

    QString applicationPath() override;
    QString currentDirectory() override;
    Failure changeDirectory(const QString& folder) override;
    StartResult shell(const QString& commandLine) override;
    void appActivate(std::int64_t taskId) override;
    void winExec(const QString& commandLine, int showState) override;
    OpenDialogResult showOpen(const OpenDialogRequest& request) override;
    void showMessage(QWidget* parent, const QString& text) override;
    void reportFatal(const QString& text) override;
    void endProgram(int status) override;
};

}  // namespace platform
