// The Windows platform services, run under Wine: text conversion, the dialog filter, how a command
// line's program is read and found, directory changes, and real starts of the recorder program.
#include "platform/windows/windowsplatform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "platform/windows/programstart.h"
#include "platform/windows/wintext.h"

namespace fs = std::filesystem;
using namespace std::string_literals;
using platform::win::narrow;
using platform::win::widen;

namespace {

// A folder tree of its own under the temporary folder, removed afterwards.
class TempTree {
public:
    TempTree() {
        root_ = fs::temp_directory_path() / ("discmenu-test-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(root_);
        fs::create_directories(root_);
        root_ = fs::canonical(root_);
    }
    ~TempTree() {
        SetCurrentDirectoryW(fs::temp_directory_path().c_str());
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    std::wstring path(const std::wstring& relative = {}) const {
        return relative.empty() ? root_.wstring() : (root_ / relative).make_preferred().wstring();
    }
    void add(const std::wstring& relative, const std::string& content = {}) const {
        const fs::path file = root_ / relative;
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }
    void folder(const std::wstring& relative) const { fs::create_directories(root_ / relative); }
    void copy(const fs::path& from, const std::wstring& relative) const {
        fs::create_directories((root_ / relative).parent_path());
        fs::copy_file(from, root_ / relative);
    }

private:
    fs::path root_;
};

fs::path besideTest(const wchar_t* name) { return fs::path(platform::win::moduleDirectory()) / name; }

TEST(WindowsText, ConvertsBetweenUtf8AndUtf16) {
    const struct {
        std::string utf8;
        std::wstring utf16;
    } cases[] = {
        {"", L""},
        {"readme.txt", L"readme.txt"},
        {"\xC3\x9C"
         "bersicht",
         L"\u00DC"
         L"bersicht"},
        {"\xE6\x97\xA5\xE6\x9C\xAC", L"\u65E5\u672C"},
        {"\xF0\x9F\x92\xBF disc", L"\xD83D\xDCBF disc"},  // outside the BMP: a surrogate pair
    };
    for (const auto& c : cases) {
        EXPECT_EQ(widen(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(narrow(c.utf16), c.utf8) << c.utf8;
    }
    EXPECT_EQ(widen("a\xFF"
                    "b"),
              L"a\uFFFD"
              L"b");
}

TEST(WindowsText, BuildsTheDialogFilterList) {
    const struct {
        std::string filter;
        std::wstring list;
    } cases[] = {
        {"All Files (*.*)|*.*", L"All Files (*.*)\0*.*\0\0"s},
        {"Text (*.txt)|*.txt|All Files|*.*", L"Text (*.txt)\0*.txt\0All Files\0*.*\0\0"s},
        {"\xC3\x9C"
         "berall|*.*",
         L"\u00DC"
         L"berall\0*.*\0\0"s},
        {"All Files", L"All Files\0*.*\0\0"s},
        {"All Files|", L"All Files\0*.*\0\0"s},
        {"|*.txt", L"*.txt\0*.txt\0\0"s},
        {"", L"*.*\0*.*\0\0"s},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::win::dialogFilter(c.filter), c.list) << c.filter;
}

TEST(ProgramWords, ReadsTheProgramWordAsWindowsDoes) {
    using Words = std::vector<std::pair<std::wstring, std::wstring>>;
    const struct {
        std::wstring line;
        Words words;
    } cases[] = {
        {L"setup.exe /q", {{L"setup.exe", L" /q"}, {L"setup.exe /q", L""}}},
        {L"  setup.exe  ", {{L"setup.exe", L"  "}}},
        {L"\"C:\\Program Files\\a.exe\" /q \"x y\"", {{L"C:\\Program Files\\a.exe", L" /q \"x y\""}}},
        {L"\"no end", {{L"no end", L""}}},
        {L"C:\\My Tools\\a.exe /q",
         {{L"C:\\My", L" Tools\\a.exe /q"},
          {L"C:\\My Tools\\a.exe", L" /q"},
          {L"C:\\My Tools\\a.exe /q", L""}}},
        {L" \t ", {}},
    };
    for (const auto& c : cases) {
        Words words;
        for (const auto& w : platform::win::programWords(c.line)) words.emplace_back(w.program, w.rest);
        EXPECT_EQ(words, c.words) << narrow(c.line);
    }
}

TEST(ResolveCommand, LooksInTheEntryFolderFirstAndFindsCounterparts) {
    TempTree tree;
    for (const wchar_t* file :
         {L"menu\\setup.exe", L"menu\\tool2.exe", L"entry\\setup.exe", L"path\\tool.exe", L"path\\setup.exe",
          L"batch\\setup.bat", L"linux\\setup.sh", L"linux\\setup.bat", L"cmd\\install.sh",
          L"cmd\\install.cmd", L"both\\setup.sh", L"both\\setup.exe", L"both\\setup.bat", L"shonly\\setup.sh",
          L"my tools\\a b.exe", L"plain\\setup"}) {
        tree.add(file);
    }
    tree.folder(L"empty");
    tree.folder(L"entry\\sub.exe");
    platform::win::SearchPlaces places;
    places.applicationDir = tree.path(L"menu");
    places.systemDirs = {tree.path(L"path")};

    const struct {
        const wchar_t* folder;
        std::wstring command;
        const wchar_t* program;  // relative to the tree; empty when nothing can start
        std::wstring rest;
        const char* failure;
    } cases[] = {
        // A bare name: the entry's folder, the menu's folder, then the system folders and PATH.
        {L"entry", L"setup.exe /q", L"entry\\setup.exe", L" /q", ""},
        {L"entry", L"setup /q", L"entry\\setup.exe", L" /q", ""},
        {L"empty", L"setup.exe", L"menu\\setup.exe", L"", ""},
        {L"empty", L"tool2", L"menu\\tool2.exe", L"", ""},
        {L"entry", L"tool.exe a", L"path\\tool.exe", L" a", ""},
        {L"batch", L"setup", L"batch\\setup.bat", L"", ""},  // every extension here before the menu's .exe
        // A name with a folder only where it points.
        {L"entry", L"..\\batch\\setup.bat x", L"batch\\setup.bat", L" x", ""},
        {L"entry", L"../linux/setup.sh --typical", L"linux\\setup.bat", L" --typical", ""},
        {L"entry", L".\\tool.exe", L"", L"", "no such file"},
        {L"entry", L"\"..\\my tools\\a b.exe\" -x", L"my tools\\a b.exe", L" -x", ""},
        {L"entry", L"..\\my tools\\a b.exe -x \"y z\"", L"my tools\\a b.exe", L" -x \"y z\"", ""},
        // A script for Linux runs its counterpart from its own folder, with its arguments.
        {L"linux", L"setup.sh --typical \"a b\"", L"linux\\setup.bat", L" --typical \"a b\"", ""},
        {L"cmd", L"install.sh", L"cmd\\install.cmd", L"", ""},
        {L"both", L"setup.sh", L"both\\setup.exe", L"", ""},
        {L"shonly", L"setup.sh", L"", L"", "a shell script cannot start on Windows"},
        {L"empty", L"setup.sh", L"", L"", "no such file"},
        // A file without an extension cannot start; a folder is no program.
        {L"plain", L"setup", L"menu\\setup.exe", L"", ""},
        {L"empty", L"missing.exe", L"", L"", "no such file"},
        {L"entry", L"sub.exe", L"", L"", "no such file"},
        {L"entry", L"   ", L"", L"", "the command is empty"},
    };
    for (const auto& c : cases) {
        places.currentDir = tree.path(c.folder);
        const platform::win::ResolvedCommand resolved = platform::win::resolveCommand(c.command, places);
        const std::string where = narrow(c.command) + " in " + narrow(c.folder);
        EXPECT_EQ(resolved.program, *c.program ? tree.path(c.program) : L"") << where;
        EXPECT_EQ(resolved.rest, c.rest) << where;
        EXPECT_EQ(resolved.failure.substr(0, std::strlen(c.failure)), c.failure) << where;
    }
}

TEST(ViewerCommand, StartsNotepadWhereverWindowsIsAndOnlyForADocumentThatExists) {
    TempTree tree;
    tree.add(L"docs\\readme.txt");
    tree.add(L"docs\\read me.txt");
    tree.add(L"docs\\viewer.exe");
    platform::win::SearchPlaces places;
    places.currentDir = tree.path(L"docs");
    const std::wstring notepad = platform::win::joinPath(platform::win::windowsDirectory(), L"notepad.exe");
    ASSERT_TRUE(platform::win::isFile(notepad));
    const std::string missing =
        "Cannot open \"license.txt\": the file does not exist in " + narrow(places.currentDir) + ".";

    const struct {
        std::wstring command;
        std::wstring program;
        std::wstring rest;
        std::string message;
    } cases[] = {
        {notepad + L" readme.txt", notepad, L" readme.txt", ""},
        {L"Q:\\Elsewhere\\Notepad.exe readme.txt", notepad, L" readme.txt", ""},
        {L"Q:\\Elsewhere\\NOTEPAD \"read me.txt\"", notepad, L" \"read me.txt\"", ""},
        {notepad + L" license.txt", L"", L"", missing},
        {L"Q:\\Elsewhere\\Notepad.exe license.txt", L"", L"", missing},
        {L"viewer.exe license.txt", tree.path(L"docs\\viewer.exe"), L" license.txt", ""},
        {L"missing.exe readme.txt", L"", L"", "Cannot start \"missing.exe\": no such file."},
    };
    for (const auto& c : cases) {
        const platform::win::ViewerStart viewer = platform::win::viewerCommand(c.command, places);
        EXPECT_EQ(viewer.message, c.message) << narrow(c.command);
        if (!c.message.empty()) continue;
        EXPECT_EQ(viewer.command.program, c.program) << narrow(c.command);
        EXPECT_EQ(viewer.command.rest, c.rest) << narrow(c.command);
    }
}

TEST(WindowsPlatform, ChangesDirectoryOrKeepsTheCurrentOne) {
    TempTree tree;
    tree.folder(L"\u03A9 folder\\inner");
    tree.add(L"a file.txt");
    platform::WindowsPlatform system;
    ASSERT_FALSE(system.changeDirectory(narrow(tree.path())));
    const std::string root = system.currentDirectory();
    EXPECT_EQ(root, narrow(tree.path()));

    const struct {
        std::string folder;
        const char* failure;  // empty: the change succeeds
        std::string after;    // the current directory afterwards, relative to the tree
    } cases[] = {
        {"\xCE\xA9 folder/inner", "", "\\\xCE\xA9 folder\\inner"},
        {"..\\..", "", ""},
        {"", "", ""},
        {"missing", "no such folder", ""},
        {"\xCE\xA9 folder\\missing\\deeper", "no such folder", ""},
        {"a file.txt", "not a folder", ""},
        {narrow(tree.path(L"\u03A9 folder")), "", "\\\xCE\xA9 folder"},
        {"..", "", ""},
    };
    for (const auto& c : cases) {
        const platform::Failure failure = system.changeDirectory(c.folder);
        EXPECT_EQ(failure.value_or(""), c.failure) << c.folder;
        EXPECT_EQ(system.currentDirectory(), root + c.after) << c.folder;
    }
}

// Runs `command` with shell() in `folder` and returns the lines the recorder wrote, split at tabs.
std::vector<std::vector<std::string>> runRecorded(const TempTree& tree, const std::wstring& folder,
                                                  const std::string& command, platform::StartResult* result) {
    const std::wstring record = tree.path(L"record.txt");
    DeleteFileW(record.c_str());
    SetEnvironmentVariableW(L"DISCMENU_RECORD", record.c_str());
    platform::WindowsPlatform system;
    EXPECT_FALSE(system.changeDirectory(narrow(tree.path(folder))));
    *result = system.shell(command);
    if (result->taskId) {
        if (const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(result->taskId))) {
            EXPECT_EQ(WaitForSingleObject(process, 30000), WAIT_OBJECT_0);
            CloseHandle(process);
        }
    }
    std::vector<std::vector<std::string>> lines;
    std::ifstream in{fs::path(record)};
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
        lines.push_back(fields);
    }
    return lines;
}

TEST(WindowsPlatform, ShellStartsTheEntrysOwnProgramWithItsArguments) {
    // The build puts a setup.exe beside this test program, where the menu would sit: the entry's
    // own must start instead.
    ASSERT_TRUE(fs::exists(besideTest(L"setup.exe")));
    TempTree tree;
    tree.copy(besideTest(L"recorder.exe"), L"\u03A9 entry\\setup.exe");
    tree.copy(besideTest(L"recorder.exe"), L"batch dir\\rec.exe");
    tree.add(L"batch dir\\setup.bat", "@\"%~dp0rec.exe\" %*\r\n");
    const std::string entry = narrow(tree.path(L"\u03A9 entry"));
    const std::string batch = narrow(tree.path(L"batch dir"));

    const struct {
        std::wstring folder;
        std::string command;
        std::vector<std::string> recorded;  // folder, program, arguments
    } cases[] = {
        {L"\u03A9 entry", "setup.exe one \"two words\"", {entry, entry + "\\setup.exe", "one", "two words"}},
        {L"\u03A9 entry", "setup.sh --typical", {entry, entry + "\\setup.exe", "--typical"}},
        {L"batch dir", "setup.sh --typical \"a b\"", {batch, batch + "\\rec.exe", "--typical", "a b"}},
    };
    for (const auto& c : cases) {
        platform::StartResult result;
        const auto lines = runRecorded(tree, c.folder, c.command, &result);
        EXPECT_FALSE(result.failure) << c.command << ": " << result.failure.value_or("");
        EXPECT_NE(result.taskId, 0) << c.command;
        ASSERT_EQ(lines.size(), 1u) << c.command;
        EXPECT_EQ(lines[0], c.recorded) << c.command;
    }
}

TEST(WindowsPlatform, ShellOfAMissingProgramFailsWithAReason) {
    TempTree tree;
    tree.folder(L"entry");
    for (const std::string command : {"missing.exe /q", "setup.sh", "\"\""}) {
        platform::StartResult result;
        EXPECT_TRUE(runRecorded(tree, L"entry", command, &result).empty()) << command;
        EXPECT_EQ(result.taskId, 0) << command;
        EXPECT_TRUE(result.failure && !result.failure->empty()) << command;
    }
}

// Needs a display (the test runs once more on a virtual X server for this).
TEST(OnDisplay, AppActivateBringsTheStartedProgramsWindowToTheFront) {
    TempTree tree;
    tree.copy(besideTest(L"recorder.exe"), L"app\\app.exe");
    platform::WindowsPlatform system;
    ASSERT_FALSE(system.changeDirectory(narrow(tree.path(L"app"))));
    const HWND own = CreateWindowW(L"STATIC", L"test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300, 200, 100,
                                   nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(own);
    const auto pump = [] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    };
    const auto foregroundProcess = [] {
        DWORD process = 0;
        GetWindowThreadProcessId(GetForegroundWindow(), &process);
        return process;
    };

    const platform::StartResult started = system.shell("app.exe --window");
    ASSERT_FALSE(started.failure) << *started.failure;
    HWND theirs = nullptr;
    for (int i = 0; i < 200 && !theirs; ++i) {
        pump();
        Sleep(50);
        theirs = FindWindowW(L"DiscmenuRecorder", nullptr);
    }
    ASSERT_TRUE(theirs);

    for (const std::int64_t nobody : {std::int64_t{0}, std::int64_t{-1}, std::int64_t{0x7FFFFFF0}}) {
        SetForegroundWindow(own);
        pump();
        ASSERT_EQ(GetForegroundWindow(), own);
        system.appActivate(nobody);
        pump();
        EXPECT_EQ(GetForegroundWindow(), own) << nobody;
    }
    // The other process takes the focus when it handles the request.
    system.appActivate(started.taskId);
    for (int i = 0; i < 100 && foregroundProcess() != static_cast<DWORD>(started.taskId); ++i) {
        pump();
        Sleep(50);
    }
    EXPECT_EQ(foregroundProcess(), static_cast<DWORD>(started.taskId));

    PostMessageW(theirs, WM_CLOSE, 0, 0);
    if (const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(started.taskId))) {
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
    }
    DestroyWindow(own);
}

std::wstring windowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

std::wstring className(HWND window) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    return name;
}

BOOL CALLBACK findOwnDialog(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window) || className(window) != L"#32770")
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

BOOL CALLBACK addLabelText(HWND child, LPARAM all) {
    if (_wcsicmp(className(child).c_str(), L"Static") == 0)
        *reinterpret_cast<std::wstring*>(all) += windowText(child);
    return TRUE;
}

// Answers the next dialog box of this process from a thread of its own, once it shows.
class DialogAnswer {
public:
    explicit DialogAnswer(std::function<void(HWND)> answer)
        : thread_([answer] {
              for (int i = 0; i < 400; ++i) {
                  HWND dialog = nullptr;
                  EnumWindows(findOwnDialog, reinterpret_cast<LPARAM>(&dialog));
                  if (dialog) return answer(dialog);
                  Sleep(50);
              }
          }) {}
    ~DialogAnswer() { thread_.join(); }

private:
    std::thread thread_;
};

// The caption of a message box and the texts of its labels, one after the other; then it is closed.
std::wstring readAndClose(HWND box) {
    std::wstring text = windowText(box) + L"|";
    EnumChildWindows(box, addLabelText, reinterpret_cast<LPARAM>(&text));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return text;
}

TEST(OnDisplay, MessagesShowOverTheMenuWindowWithItsCaption) {
    TempTree tree;
    platform::WindowsPlatform system;
    ASSERT_FALSE(system.changeDirectory(narrow(tree.path())));
    const HWND menu = CreateWindowW(L"STATIC", L"Sample \u00DC (Winter)", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                    0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    system.setOwner(menu);
    const struct {
        std::function<void()> call;
        std::wstring shown;
    } cases[] = {
        {[&] { system.showMessage("Cannot install \"\xC3\x9C\": no such file."); },
         L"Sample \u00DC (Winter)|Cannot install \"\u00DC\": no such file."},
        // The document is looked for before Notepad starts, which would offer to create it.
        {[&] { system.winExec("C:\\Windows\\Notepad.exe license.txt", 1); },
         L"Sample \u00DC (Winter)|Cannot open \"license.txt\": the file does not exist in " + tree.path() +
             L"."},
    };
    for (const auto& c : cases) {
        std::wstring shown;
        {
            DialogAnswer answer([&](HWND box) { shown = readAndClose(box); });
            c.call();
        }
        EXPECT_EQ(shown, c.shown);
    }
    DestroyWindow(menu);
}

TEST(OnDisplay, OpenDialogStartsInTheCurrentFolderAndLeavesIt) {
    TempTree tree;
    tree.add(L"top.txt");
    tree.add(L"sub\\inner.txt");
    platform::WindowsPlatform system;
    ASSERT_FALSE(system.changeDirectory(narrow(tree.path())));
    platform::OpenDialogRequest request;
    request.filter = "All Files (*.*)|*.*";

    // Type into the dialog's file name box and press Open: a folder is entered, a file is picked.
    const auto type = [](HWND dialog, const wchar_t* text) {
        for (const int box : {0x47c, 0x480}) SetDlgItemTextW(dialog, box, text);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        Sleep(500);
    };
    const struct {
        std::vector<const wchar_t*> typed;  // nullptr: Cancel
        platform::OpenDialogResult result;
    } cases[] = {
        {{L"top.txt"}, {false, narrow(tree.path(L"top.txt"))}},
        {{L"sub", L"inner.txt"}, {false, narrow(tree.path(L"sub\\inner.txt"))}},
        {{L"sub", nullptr}, {true, ""}},
    };
    for (const auto& c : cases) {
        platform::OpenDialogResult result;
        {
            DialogAnswer answer([&](HWND dialog) {
                for (const wchar_t* text : c.typed) {
                    if (text) {
                        type(dialog, text);
                    } else {
                        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                    }
                }
            });
            result = system.showOpen(request);
        }
        EXPECT_EQ(result.cancelled, c.result.cancelled);
        EXPECT_EQ(result.fileName, c.result.fileName);
        EXPECT_EQ(system.currentDirectory(), narrow(tree.path()));
    }
}

}  // namespace
