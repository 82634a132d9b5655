#pragma once
// Where the files an entry names may lie: on the medium, written relative to it, with "/". QtCore
// only; no widgets.
#include <QString>
#include <optional>
#include <string>

namespace editor {

// `path` relative to `base`, with "/"; nothing when it lies outside `base`.
std::optional<QString> inside(const QString& base, const QString& path);

// The folder a picker of entry files starts in: the entry's folder on `medium` when it exists,
// else the medium.
QString pickerStart(const QString& medium, const std::string& entryFolder);

// The folder field for a folder `chosen` on `medium`; nothing when it lies outside.
std::optional<std::string> folderField(const QString& medium, const QString& chosen);

// The command and folder fields for a set-up program `chosen`: the command relative to the
// entry's folder when the program lies in it (the command runs there), else the program's own
// name with its folder as the entry's. Nothing when it lies outside `medium`.
struct CommandFields {
    std::string command, folder;
};
std::optional<CommandFields> commandFields(const QString& medium, const std::string& entryFolder,
                                           const QString& chosen);

// Whether `name` (readme.txt, license.txt) is a file in `medium`, found as the menu finds it
// (in any letter case).
bool documentPresent(const QString& medium, const QString& name);

}  // namespace editor
