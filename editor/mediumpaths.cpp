#include "editor/mediumpaths.h"

#include <QDir>
#include <QFileInfo>

#include "platform/posix/commandline.h"

namespace editor {

std::optional<QString> inside(const QString& base, const QString& path) {
    const QString relative = QDir(base).relativeFilePath(QDir(path).absolutePath());
    if (relative == u".." || relative.startsWith(QStringLiteral("../")) || QDir::isAbsolutePath(relative))
        return std::nullopt;
    return relative;
}

QString pickerStart(const QString& medium, const std::string& entryFolder) {
    const QString start = QDir(medium).filePath(QString::fromStdString(entryFolder));
    return QFileInfo(start).isDir() ? start : medium;
}

std::optional<std::string> folderField(const QString& medium, const QString& chosen) {
    const auto relative = inside(medium, chosen);
    if (!relative) return std::nullopt;
    return relative->toStdString();
}

std::optional<CommandFields> commandFields(const QString& medium, const std::string& entryFolder,
                                           const QString& chosen) {
    const auto onMedium = inside(medium, chosen);
    if (!onMedium) return std::nullopt;
    const QString folder = QDir(medium).filePath(QString::fromStdString(entryFolder));
    const auto inFolder =
        QFileInfo(folder).isDir() && !entryFolder.empty() ? inside(folder, chosen) : std::nullopt;
    if (inFolder) return CommandFields{inFolder->toStdString(), entryFolder};
    return CommandFields{QFileInfo(chosen).fileName().toStdString(),
                         QFileInfo(*onMedium).path().toStdString()};
}

bool documentPresent(const QString& medium, const QString& name) {
    const auto found = platform::findPath(medium.toStdString(), name.toStdString());
    return found && QFileInfo(QString::fromStdString(*found)).isFile();
}

}  // namespace editor
