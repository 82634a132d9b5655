#include "platform/posix/commandline.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <memory>

namespace platform {

std::vector<std::string> splitCommandLine(std::string_view commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    const std::size_t n = commandLine.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = commandLine[i];
        if (c == '\\') {
            std::size_t slashes = 0;
            while (i < n && commandLine[i] == '\\') {
                ++slashes;
                ++i;
            }
            inWord = true;
            if (i < n && commandLine[i] == '"') {
                word.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    word += '"';
                } else {
                    quoted = !quoted;
                }
            } else {
                word.append(slashes, '\\');
                --i;
            }
        } else if (c == '"') {
            inWord = true;
            // Inside quotes, "" stands for one literal quote.
            if (quoted && i + 1 < n && commandLine[i + 1] == '"') {
                word += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

std::string toLocalSeparators(std::string_view path) {
    std::string p(path);
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

std::string cleanPath(std::string_view path) {
    const bool absolute = path.starts_with('/');
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..") {
                parts.pop_back();
                continue;
            }
            if (absolute) continue;  // nothing lies above the root
        }
        parts.push_back(part);
    }
    std::string clean = absolute ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) clean += '/';
        clean += parts[i];
    }
    if (clean.empty() && !path.empty()) clean = ".";
    return clean;
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

namespace {

// The next character of UTF-8 text at `i`, advancing `i`; a byte that starts no valid sequence
// stands for itself, apart from every character.
char32_t nextCharacter(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    const int length = lead < 0x80           ? 1
                       : (lead >> 5) == 0x6  ? 2
                       : (lead >> 4) == 0xE  ? 3
                       : (lead >> 3) == 0x1E ? 4
                                             : 0;
    if (length > 1 && i + length <= text.size()) {
        char32_t c = lead & (0x7F >> length);
        bool valid = true;
        for (int k = 1; k < length; ++k) {
            valid = valid && (byte(i + k) & 0xC0) == 0x80;
            c = (c << 6) | (byte(i + k) & 0x3F);
        }
        if (valid) {
            i += length;
            return c;
        }
    }
    ++i;
    return lead < 0x80 ? char32_t(lead) : char32_t(0x80000000u | lead);
}

// The case fold of one character: its small letter where it has one in the blocks named in the
// header, else itself.
char32_t foldCase(char32_t c) {
    const auto pairedEvenUpper = [](char32_t ch) { return ch % 2 == 0 ? ch + 1 : ch; };
    const auto pairedOddUpper = [](char32_t ch) { return ch % 2 == 1 ? ch + 1 : ch; };
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
        return pairedEvenUpper(c);
    }
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return pairedOddUpper(c);
    if (c == 0x178) return 0xFF;
    if (c == 0x17F) return 's';
    if ((c >= 0x391 && c <= 0x3AB && c != 0x3A2)) return c + 0x20;
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return c + 0x25;
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return c + 0x3F;
    if (c == 0x3C2) return 0x3C3;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F)) {
        return pairedEvenUpper(c);
    }
    if (c == 0x4C0) return 0x4CF;
    if (c >= 0x4C1 && c <= 0x4CE) return pairedOddUpper(c);
    return c;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool isExecutable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && sameIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string joinPath(const std::string& folder, std::string_view name) {
    if (folder.empty()) return std::string(name);
    return folder.ends_with('/') ? folder + std::string(name) : folder + '/' + std::string(name);
}

// The names in `folder` (not "." and ".."), in byte order.
std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Up to `size` bytes from the start of `file`; empty when it cannot be read.
std::string fileHead(const std::string& file, std::size_t size) {
    std::string head(size, '\0');
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, head.data() + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += std::size_t(n);
    }
    ::close(fd);
    head.resize(got);
    return head;
}

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view blanks = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (foldCase(nextCharacter(a, i)) != foldCase(nextCharacter(b, j))) return false;
    }
    return i == a.size() && j == b.size();
}

std::optional<std::string> findPath(const std::string& base, std::string_view path) {
    const std::string local = toLocalSeparators(path);
    const std::string joined = local.starts_with('/') ? local : base + '/' + local;
    const std::string clean = cleanPath(joined);
    if (exists(clean)) return clean;

    // Walk the components, taking each as written when it exists and otherwise the one entry of
    // the folder whose name differs only in letter case.
    std::string current = clean.starts_with('/') ? "/" : "";
    std::size_t start = 0;
    while (start < clean.size()) {
        std::size_t end = clean.find('/', start);
        if (end == std::string::npos) end = clean.size();
        const std::string_view part = std::string_view(clean).substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        const std::string candidate = joinPath(current, part);
        if (part == "." || part == ".." || exists(candidate)) {
            current = candidate;
            continue;
        }
        std::optional<std::string> match;
        for (const std::string& entry : folderEntries(current.empty() ? "." : current)) {
            if (sameIgnoringCase(entry, part)) {
                match = entry;
                break;
            }
        }
        if (!match) return std::nullopt;
        current = joinPath(current, *match);
    }
    return cleanPath(current);
}

std::optional<std::string> findOnSearchPath(std::string_view name, std::string_view searchPath) {
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string_view::npos) end = searchPath.size();
        const std::string folder(searchPath.substr(start, end - start));
        start = end + 1;
        if (folder.empty()) continue;
        std::string candidate = joinPath(folder, name);
        if (!isFile(candidate) || !isExecutable(candidate)) continue;
        if (!candidate.starts_with('/')) {
            std::array<char, PATH_MAX> cwd{};
            if (!::getcwd(cwd.data(), cwd.size())) continue;
            candidate = joinPath(cwd.data(), candidate);
        }
        return cleanPath(candidate);
    }
    return std::nullopt;
}

namespace {

// The interpreter named by a "#!" line: its program and at most one argument, as the kernel
// reads it. Empty when the file does not start with "#!".
std::vector<std::string> shebang(const std::string& file, bool* windowsLineEnd = nullptr) {
    const std::string head = fileHead(file, 256);
    if (!head.starts_with("#!")) return {};
    std::size_t end = head.find('\n');
    if (end == std::string::npos) end = head.size();
    if (windowsLineEnd) *windowsLineEnd = end > 0 && head[end - 1] == '\r';
    const std::string_view line = trimmed(std::string_view(head).substr(2, end - 2));
    if (line.empty()) return {};
    const std::size_t blank = line.find_first_of(" \t");
    if (blank == std::string_view::npos) return {std::string(line)};
    return {std::string(line.substr(0, blank)), std::string(trimmed(line.substr(blank + 1)))};
}

ProgramResolution resolveFile(const std::string& file) {
    if (isDirectory(file)) return {{}, {}, "is a folder, not a program"};
    bool windowsLineEnd = false;
    const std::vector<std::string> interpreter = shebang(file, &windowsLineEnd);
    // A ".sh" file without a "#!" line is for /bin/sh, whatever its permissions: the system cannot
    // start it by itself, and media often mark every file executable.
    if (interpreter.empty() && endsWithIgnoringCase(file, ".sh")) return {"/bin/sh", {file}, {}};
    // A "#!" line that ends in CR LF names an interpreter the system cannot find ("/bin/sh\r"):
    // run it through the interpreter named, as for a file without execute permission.
    if (isExecutable(file) && !(windowsLineEnd && !interpreter.empty())) return {file, {}, {}};
    if (!interpreter.empty()) {
        std::vector<std::string> lead(interpreter.begin() + 1, interpreter.end());
        lead.push_back(file);
        return {interpreter.front(), lead, {}};
    }
    return {{}, {}, "not executable"};
}

// A program written for Windows: it cannot run here unless it is in fact a script or a program
// of this system under that name.
bool namesWindowsProgram(std::string_view word) {
    for (const char* suffix : {".exe", ".bat", ".cmd"}) {
        if (endsWithIgnoringCase(word, suffix)) return true;
    }
    return false;
}

bool runsHere(const std::string& file) {
    const std::string head = fileHead(file, 4);
    return head.starts_with("#!") || head ==
                                         "\x7f"
                                         "ELF";
}

ProgramResolution resolveAsWritten(const std::string& local, const std::string& currentDir,
                                   std::string_view searchPath) {
    if (local.find('/') != std::string::npos) {
        if (const auto found = findPath(currentDir, local)) return resolveFile(*found);
        return {{}, {}, "no such file"};
    }
    if (const auto found = findPath(currentDir, local); found && isFile(*found)) return resolveFile(*found);
    if (auto found = findOnSearchPath(local, searchPath)) return {std::move(*found), {}, {}};
    return {{}, {}, "no such file"};
}

}  // namespace

ProgramResolution resolveProgram(std::string_view word, const std::string& currentDir,
                                 std::string_view searchPath) {
    if (word.empty()) return {{}, {}, "empty command"};
    const std::string local = toLocalSeparators(word);
    ProgramResolution asWritten = resolveAsWritten(local, currentDir, searchPath);
    if (!namesWindowsProgram(local) || (asWritten.failure.empty() && runsHere(asWritten.program))) {
        return asWritten;
    }
    // A medium made for both systems: setup.exe (or .bat, .cmd) has its counterpart for this system
    // beside it, setup.sh or setup, which runs in its place with the same arguments.
    const std::string stem = local.substr(0, local.rfind('.'));
    for (const std::string& candidate : {stem + ".sh", stem}) {
        const auto found = findPath(currentDir, candidate);
        if (!found || !isFile(*found)) continue;
        ProgramResolution counterpart = resolveFile(*found);
        if (counterpart.failure.empty() && (candidate.ends_with(".sh") || runsHere(*found))) {
            return counterpart;
        }
    }
    if (asWritten.failure.empty()) asWritten.failure = "a Windows program cannot run on this system";
    return asWritten;
}

}  // namespace platform
