#pragma once
// Command lines and paths as catalogues written for Windows give them, read on this system.
#include <QString>
#include <QStringList>
#include <optional>

namespace platform {

// Splits a command line the way Windows programs split theirs: blanks separate words, double
// quotes group words that hold blanks, 2n backslashes before a quote give n backslashes and the
// quote groups, 2n+1 give n backslashes and a literal quote, other backslashes are literal.
QStringList splitCommandLine(const QString& commandLine);

// A path written with backslashes, read with "/".
QString toLocalSeparators(const QString& path);

// Finds `path` (relative to `base` unless absolute) as written or, failing that, with other
// letter case in any of its components, as media written for case-insensitive systems expect.
// Returns the absolute path that exists, or nothing.
std::optional<QString> findPath(const QString& base, const QString& path);

// Where a program named in a command line is started from: the file, and the interpreter that
// must run it when the system cannot start the file itself: a "#!" script without execute
// permission (media are often mounted without it) or whose "#!" line ends in CR LF, and a ".sh"
// file without a "#!" line, which goes to /bin/sh.
struct ProgramResolution {
    QString program;       // what to execute
    QStringList leadArgs;  // arguments to put before the command line's own (interpreter case)
    QString failure;       // empty on success: why the program cannot be started
};

// Resolves the program word of a command line: a name with a "/" relative to `currentDir`, a
// bare name in `currentDir` first, then on `searchPath` (a PATH value). A Windows program
// (X.exe, X.bat, X.cmd) that cannot run here is replaced by its counterpart in the same folder,
// X.sh or X (a "#!" script or a program of this system), when there is one.
ProgramResolution resolveProgram(const QString& word, const QString& currentDir, const QString& searchPath);

}  // namespace platform
