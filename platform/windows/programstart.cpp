#include "platform/windows/programstart.h"

#include <shellapi.h>

#include <algorithm>
#include <cwctype>
#include <span>

#include "platform/windows/wintext.h"

namespace platform::win {

namespace {

constexpr std::wstring_view Blanks = L" \t";

// ERROR_ELEVATION_REQUIRED, which the headers declare only for builds aimed at Vista and later;
// older Windows never returns it.
constexpr DWORD ElevationRequired = 740;

constexpr char ScriptWithoutCounterpart[] =
    "a shell script cannot start on Windows, and no .exe, .bat or .cmd of its name is beside it";

// Fills a buffer from an API that returns the length it needs (with the NUL) when the buffer is
// too small, and the length it wrote (without the NUL) otherwise.
template <typename Call>
std::wstring fromSizedCall(Call call) {
    std::wstring text(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = call(static_cast<DWORD>(text.size()), text.data());
        if (length == 0) return {};
        if (length < text.size()) {
            text.resize(length);
            return text;
        }
        text.resize(length);
    }
}

std::wstring fullPathOf(const std::wstring& path) {
    const std::wstring full = fromSizedCall(
        [&](DWORD size, wchar_t* buffer) { return GetFullPathNameW(path.c_str(), size, buffer, nullptr); });
    return full.empty() ? path : full;
}

// The extension of a path's last component, in lower case, with its dot; empty when none.
std::wstring extensionOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return {};
    std::wstring extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return extension;
}

bool isAbsolute(const std::wstring& path) {
    return (!path.empty() && path[0] == L'\\') || (path.size() >= 2 && path[1] == L':');
}

bool namesFolder(const std::wstring& path) { return path.find_first_of(L"\\:") != std::wstring::npos; }

// The folders a program name is looked for in: a name with a folder in it only where it points
// (a drive-relative "D:setup" as Windows reads it); a bare name in the current folder alone, or,
// when `everywhere`, in every place in order.
std::vector<std::wstring> foldersFor(const std::wstring& name, const SearchPlaces& places, bool everywhere) {
    if (isAbsolute(name)) return {std::wstring()};
    if (namesFolder(name) || !everywhere) return {places.currentDir};
    std::vector<std::wstring> folders{places.currentDir, places.applicationDir};
    folders.insert(folders.end(), places.systemDirs.begin(), places.systemDirs.end());
    std::erase(folders, std::wstring());  // a place that could not be found out
    return folders;
}

// The first file `name` names in `folders`, each folder tried in full before the next: the name as
// written, or, when `appendExtension`, the name with each of `extensions` in turn.
std::wstring findIn(const std::vector<std::wstring>& folders, const std::wstring& name, bool appendExtension,
                    std::span<const wchar_t* const> extensions) {
    for (const std::wstring& folder : folders) {
        const std::wstring base = folder.empty() ? name : joinPath(folder, name);
        if (!appendExtension) {
            if (isFile(base)) return fullPathOf(base);
            continue;
        }
        for (const wchar_t* extension : extensions) {
            if (isFile(base + extension)) return fullPathOf(base + extension);
        }
    }
    return {};
}

StartResult startElevated(const ResolvedCommand& command, const SearchPlaces& places, int showState,
                          HANDLE* process) {
    const std::size_t first = command.rest.find_first_not_of(Blanks);
    const std::wstring parameters = first == std::wstring::npos ? std::wstring() : command.rest.substr(first);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpFile = command.program.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = places.currentDir.empty() ? nullptr : places.currentDir.c_str();
    info.nShow = showState;
    if (!ShellExecuteExW(&info)) {
        const DWORD error = GetLastError();
        if (error == ERROR_CANCELLED) return {0, "it must run as administrator, and that was not allowed"};
        return {0, describeError(error)};
    }
    if (!info.hProcess) return {0, std::nullopt};
    const std::int64_t id = GetProcessId(info.hProcess);
    if (process) {
        *process = info.hProcess;
    } else {
        CloseHandle(info.hProcess);
    }
    return {id, std::nullopt};
}

bool sameLetters(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    }
    return true;
}

// The document a viewer command line names: its arguments without surrounding blanks and quotes.
std::wstring documentOf(std::wstring_view rest) {
    const std::size_t first = rest.find_first_not_of(Blanks);
    if (first == std::wstring_view::npos) return {};
    const std::size_t last = rest.find_last_not_of(Blanks);
    std::wstring_view document = rest.substr(first, last - first + 1);
    if (document.size() >= 2 && document.front() == L'"' && document.back() == L'"') {
        document = document.substr(1, document.size() - 2);
    }
    return std::wstring(document);
}

}  // namespace

std::vector<ProgramWord> programWords(std::wstring_view commandLine) {
    std::vector<ProgramWord> words;
    const std::size_t begin = commandLine.find_first_not_of(Blanks);
    if (begin == std::wstring_view::npos) return words;
    if (commandLine[begin] == L'"') {
        const std::size_t close = commandLine.find(L'"', begin + 1);
        if (close == std::wstring_view::npos) {
            words.push_back({std::wstring(commandLine.substr(begin + 1)), {}});
        } else {
            words.push_back({std::wstring(commandLine.substr(begin + 1, close - begin - 1)),
                             std::wstring(commandLine.substr(close + 1))});
        }
        return words;
    }
    std::size_t end = begin;
    while (end != std::wstring_view::npos) {
        end = commandLine.find_first_of(Blanks, end);
        if (end == std::wstring_view::npos) {
            words.push_back({std::wstring(commandLine.substr(begin)), {}});
            break;
        }
        words.push_back(
            {std::wstring(commandLine.substr(begin, end - begin)), std::wstring(commandLine.substr(end))});
        end = commandLine.find_first_not_of(Blanks, end);
    }
    return words;
}

SearchPlaces SearchPlaces::ofThisProcess() {
    SearchPlaces places;
    places.currentDir = currentDirectory();
    places.applicationDir = moduleDirectory();
    const std::wstring system = systemDirectory();
    places.systemDirs = {system, windowsDirectory()};
    const std::wstring path = fromSizedCall(
        [](DWORD size, wchar_t* buffer) { return GetEnvironmentVariableW(L"PATH", buffer, size); });
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find(L';', start);
        if (end == std::wstring::npos) end = path.size();
        std::wstring folder = path.substr(start, end - start);
        folder.erase(std::remove(folder.begin(), folder.end(), L'"'), folder.end());
        if (!folder.empty()) places.systemDirs.push_back(withBackslashes(folder));
        start = end + 1;
    }
    places.commandProcessor = joinPath(system, L"cmd.exe");
    return places;
}

ResolvedCommand resolveCommand(std::wstring_view commandLine, const SearchPlaces& places) {
    static constexpr const wchar_t* Programs[] = {L".exe", L".com", L".bat", L".cmd"};
    static constexpr const wchar_t* Counterparts[] = {L".exe", L".bat", L".cmd"};

    const std::vector<ProgramWord> words = programWords(commandLine);
    if (words.empty()) return {{}, {}, "the command is empty"};

    bool script = false;
    for (const ProgramWord& word : words) {
        const std::wstring name = withBackslashes(word.program);
        if (name.empty()) continue;
        const std::wstring found =
            findIn(foldersFor(name, places, true), name, extensionOf(name).empty(), Programs);
        if (found.empty()) continue;
        if (extensionOf(found) == L".sh") {
            script = true;
            continue;
        }
        return {found, word.rest, {}};
    }
    // A script for Linux cannot start here: its Windows counterpart beside it takes its place.
    for (const ProgramWord& word : words) {
        const std::wstring name = withBackslashes(word.program);
        if (extensionOf(name) != L".sh") continue;
        const std::wstring stem = name.substr(0, name.size() - 3);
        const std::wstring found = findIn(foldersFor(stem, places, false), stem, true, Counterparts);
        if (!found.empty()) return {found, word.rest, {}};
    }
    if (script) return {{}, {}, ScriptWithoutCounterpart};
    return {{}, {}, "no such file"};
}

StartResult startCommand(const ResolvedCommand& command, const SearchPlaces& places, int showState,
                         HANDLE* process) {
    if (command.program.empty()) return {0, command.failure.empty() ? "no such file" : command.failure};
    std::wstring application = command.program;
    std::wstring line = L"\"" + command.program + L"\"" + command.rest;
    const std::wstring extension = extensionOf(command.program);
    if (extension == L".bat" || extension == L".cmd") {
        // "cmd /s /c" drops the first and the last quote of what follows and runs the rest, so the
        // batch file's quoted path and the arguments reach it as written.
        application = places.commandProcessor;
        line = L"cmd.exe /d /s /c \"" + line + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showState);
    PROCESS_INFORMATION info{};
    const wchar_t* folder = places.currentDir.empty() ? nullptr : places.currentDir.c_str();
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder,
                        &startup, &info)) {
        const DWORD error = GetLastError();
        // Set-up programs often ask for administrator rights; only the shell can ask the user.
        if (error == ElevationRequired) return startElevated(command, places, showState, process);
        return {0, describeError(error)};
    }
    CloseHandle(info.hThread);
    if (process) {
        *process = info.hProcess;
    } else {
        CloseHandle(info.hProcess);
    }
    return {static_cast<std::int64_t>(info.dwProcessId), std::nullopt};
}

ViewerStart viewerCommand(std::wstring_view commandLine, const SearchPlaces& places) {
    ViewerStart viewer;
    const std::vector<ProgramWord> words = programWords(commandLine);
    if (words.empty()) {
        viewer.message = "Cannot start the text viewer: its command line is empty.";
        return viewer;
    }
    viewer.program = narrow(words.front().program);
    viewer.command = resolveCommand(commandLine, places);

    const std::wstring& program = words.front().program;
    const std::size_t slash = program.find_last_of(L"\\/:");
    const std::wstring_view name =
        std::wstring_view(program).substr(slash == std::wstring::npos ? 0 : slash + 1);
    if (sameLetters(name, L"notepad.exe") || sameLetters(name, L"notepad")) {
        // Notepad offers to create a document that is not there; the menu writes nothing, so a
        // missing document is reported here instead.
        const std::wstring& rest = viewer.command.program.empty() ? words.front().rest : viewer.command.rest;
        const std::wstring document = withBackslashes(documentOf(rest));
        if (!document.empty() &&
            !isFile(isAbsolute(document) ? document : joinPath(places.currentDir, document))) {
            viewer.message = "Cannot open \"" + narrow(documentOf(rest)) + "\": the file does not exist in " +
                             narrow(places.currentDir) + ".";
            return viewer;
        }
        // Windows may live elsewhere than C:\Windows: then its own Notepad opens the document.
        if (viewer.command.program.empty()) {
            for (const std::wstring& folder : {windowsDirectory(), systemDirectory()}) {
                const std::wstring notepad = joinPath(folder, L"notepad.exe");
                if (isFile(notepad)) {
                    viewer.command = {notepad, words.front().rest, {}};
                    break;
                }
            }
        }
    }
    if (viewer.command.program.empty()) {
        viewer.message = "Cannot start \"" + viewer.program + "\": " + viewer.command.failure + ".";
    }
    return viewer;
}

std::wstring withBackslashes(std::wstring path) {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::wstring joinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    const wchar_t last = folder.back();
    return last == L'\\' || last == L'/' ? folder + name : folder + L'\\' + name;
}

bool isFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring currentDirectory() {
    return fromSizedCall([](DWORD size, wchar_t* buffer) { return GetCurrentDirectoryW(size, buffer); });
}

std::wstring moduleDirectory() {
    // GetModuleFileNameW cuts the path to the buffer and says so only by filling it.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return {};
    // The root of a drive keeps its backslash ("D:\"): "D:" alone means D's current folder.
    if (slash == 2 && path[1] == L':') ++slash;
    return path.substr(0, slash);
}

std::wstring systemDirectory() {
    return fromSizedCall([](DWORD size, wchar_t* buffer) { return GetSystemDirectoryW(buffer, size); });
}

std::wstring windowsDirectory() {
    return fromSizedCall([](DWORD size, wchar_t* buffer) { return GetWindowsDirectoryW(buffer, size); });
}

std::string describeError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return "no such file";
        case ERROR_ACCESS_DENIED:
            return "permission denied";
        case ERROR_BAD_EXE_FORMAT:
        case ERROR_EXE_MACHINE_TYPE_MISMATCH:
        case ERROR_BAD_FORMAT:
            return "not a program that Windows can start";
        case ERROR_DIRECTORY:
            return "not a folder";
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return "not enough memory";
        default:
            break;
    }
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length ? std::wstring(text, length) : std::wstring();
    if (text) LocalFree(text);
    while (!message.empty() && (std::iswspace(message.back()) || message.back() == L'.')) message.pop_back();
    if (message.empty()) return "Windows error " + std::to_string(error);
    return narrow(message);
}

}  // namespace platform::win
