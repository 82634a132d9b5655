#pragma once
// Writing a file so that nothing is lost when writing fails or the machine stops half-way.
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace editor {

// Replaces the file `path` with `bytes`: writes a new file beside it, flushes it to the disk,
// renames it over `path` and flushes the folder, so that `path` holds either the old bytes or the
// new ones, never a part. A symbolic link is followed (the file it names is replaced); the old
// file's permissions are kept, a new file gets the usual ones (0666 less the umask). On failure
// `path` is unchanged, nothing is left beside it, and the result says what failed.
std::optional<QString> replaceFile(const QString& path, std::string_view bytes);

// The bytes of `path`; nothing when there is no such file. `error` is set when it exists but
// cannot be read, or is no ordinary file of at most 64 MiB (the menu reads no other).
std::optional<std::string> readFile(const QString& path, QString* error = nullptr);

}  // namespace editor
