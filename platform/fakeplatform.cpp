#include "platform/fakeplatform.h"

#include <QDir>

#include "platform/commandline.h"

namespace platform {

QString FakePlatform::applicationPath() {
    calls << QStringLiteral("applicationPath");
    return appPath;
}

QString FakePlatform::currentDirectory() { return cwd; }

Failure FakePlatform::changeDirectory(const QString& folder) {
    calls << QStringLiteral("changeDirectory ") + folder;
    if (missingFolders.contains(folder)) return QStringLiteral("no such folder");
    const QString local = toLocalSeparators(folder);
    cwd = QDir::cleanPath(QDir::isAbsolutePath(local) ? local : cwd + u'/' + local);
    return std::nullopt;
}

StartResult FakePlatform::shell(const QString& commandLine) {
    calls << QStringLiteral("shell ") + commandLine + QStringLiteral(" in ") + cwd;
    if (unstartableCommands.contains(commandLine)) return {0, QStringLiteral("no such file")};
    return {nextTaskId++, std::nullopt};
}

void FakePlatform::appActivate(std::int64_t taskId) { calls << QStringLiteral("appActivate %1").arg(taskId); }

void FakePlatform::winExec(const QString& commandLine, int showState) {
    calls << QStringLiteral("winExec %1 (%2) in %3").arg(commandLine).arg(showState).arg(cwd);
}

OpenDialogResult FakePlatform::showOpen(const OpenDialogRequest& request) {
    calls << QStringLiteral("showOpen cancelError=%1 flags=%2 filter=%3 filterIndex=%4")
                 .arg(request.cancelError)
                 .arg(request.flags)
                 .arg(request.filter)
                 .arg(request.filterIndex);
    return openAnswer;
}

void FakePlatform::showMessage(QWidget* /*parent*/, const QString& text) {
    calls << QStringLiteral("showMessage ") + text;
}

void FakePlatform::reportFatal(const QString& text) { calls << QStringLiteral("reportFatal ") + text; }

void FakePlatform::endProgram(int status) { calls << QStringLiteral("endProgram %1").arg(status); }

}  // namespace platform
