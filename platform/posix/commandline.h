#pragma once
// Command lines and paths as catalogues written for Windows give them, read on this system. Plain
// C++ and POSIX; all text is UTF-8.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Splits a command line the way Windows programs split theirs: blanks separate words, double
// quotes group words that hold blanks, 2n backslashes before a quote give n backslashes and the
// quote groups, 2n+1 give n backslashes and a literal quote, other backslashes are literal.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// A path written with backslashes, read with "/".
std::string toLocalSeparators(std::string_view path);

// `path` with "." and ".." components and repeated or trailing "/" taken out, as written (no
// file system access): "a/./b/../c/" gives "a/c", "" stays "".
std::string cleanPath(std::string_view path);

// Whether two names are the same but for letter case: ASCII and the letters of the Latin-1,
// Latin Extended-A, Greek and Cyrillic blocks, compared on their UTF-8 text.
bool sameIgnoringCase(std::string_view a, std::string_view b);

// Whether `path` names a folder, or an ordinary file (following symbolic links).
bool isDirectory(const std::string& path);
bool isFile(const std::string& path);

// Finds `path` (relative to `base` unless absolute) as written or, failing that, with other
// letter case in any of its components, as media written for case-insensitive systems expect.
// Returns the absolute path that exists, or nothing.
std::optional<std::string> findPath(const std::string& base, std::string_view path);

// Where a program named in a command line is started from: the file, and the interpreter that
// must run it when the system cannot start the file itself: a "#!" script without execute
// permission (media are often mounted without it) or whose "#!" line ends in CR LF, and a ".sh"
// file without a "#!" line, which goes to /bin/sh.
struct ProgramResolution {
    std::string program;                // what to execute
    std::vector<std::string> leadArgs;  // arguments to put before the command line's own (interpreter case)
    std::string failure;                // empty on success: why the program cannot be started
};

// Resolves the program word of a command line: a name with a "/" relative to `currentDir`, a
// bare name in `currentDir` first, then on `searchPath` (a PATH value). A Windows program
// (X.exe, X.bat, X.cmd) that cannot run here is replaced by its counterpart in the same folder,
// X.sh or X (a "#!" script or a program of this system), when there is one.
ProgramResolution resolveProgram(std::string_view word, const std::string& currentDir,
                                 std::string_view searchPath);

// The first executable file called `name` in the folders of `searchPath` (a PATH value), as an
// absolute path; nothing when there is none.
std::optional<std::string> findOnSearchPath(std::string_view name, std::string_view searchPath);

}  // namespace platform
