// The Windows platform services, run under Wine: the dialog filter, how a command line's program
// is found, the text viewer, directory changes, real starts of the recorder program and, on a
// virtual X server, window activation and the file-open dialog.
#include "platform/windows/windowsplatform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/windows/programstart.h"
#include "platform/windows/wintext.h"

namespace fs = std::filesystem;
using namespace std::string_literals;
using platform::win::narrow;

namespace {

// A folder tree of its own under the temporary folder, removed afterwards.
class TempTree {
public:
    TempTree() {
        static int made = 0;
        root_ = fs::temp_directory_path() /
                ("discmenu-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++made));
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
    std::string path8(const std::wstring& relative = {}) const { return narrow(path(relative)); }
    // Adds a file (a copy of `from` when given) or, for a name ending in "\", a folder.
    void add(const std::wstring& relative, const std::string& content = {}, const fs::path& from = {}) const {
        fs::create_directories((root_ / relative).parent_path());
        if (!from.empty()) {
            fs::copy_file(from, root_ / relative);
        } else if (!relative.ends_with(L'\\')) {
            std::ofstream(root_ / relative, std::ios::binary) << content;
        }
    }

private:
    fs::path root_;
};

fs::path besideTest(const wchar_t* name) { return fs::path(platform::win::moduleDirectory()) / name; }

TEST(WindowsText, BuildsTheDialogFilterList) {
    const std::pair<std::string, std::wstring> cases[] = {
        {"All Files (*.*)|*.*", L"All Files (*.*)\0*.*\0\0"s},
        {"Text|*.txt|\xC3\x9C"
         "berall|*.*",
         L"Text\0*.txt\0\u00DC"
         L"berall\0*.*\0\0"s},
        {"All Files", L"All Files\0*.*\0\0"s},
        {"All Files|", L"All Files\0*.*\0\0"s},
        {"", L"*.*\0*.*\0\0"s},
    };
    for (const auto& [filter, list] : cases) EXPECT_EQ(platform::win::dialogFilter(filter), list) << filter;
}

TEST(ResolveCommand, LooksInTheEntryFolderFirstAndFindsCounterparts) {
    TempTree tree;
    for (const wchar_t* file :
         {L"menu\\setup.exe", L"menu\\tool2.exe", L"entry\\setup.exe", L"entry\\sub.exe\\", L"path\\tool.exe",
          L"path\\setup.exe", L"batch\\setup.bat", L"linux\\setup.sh", L"linux\\setup.bat",
          L"cmd\\install.sh", L"cmd\\install.cmd", L"both\\setup.sh", L"both\\setup.exe", L"both\\setup.bat",
          L"shonly\\setup.sh", L"my tools\\a b.exe", L"empty\\"}) {
        tree.add(file);
    }
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
        {L"entry", L"  setup /q", L"entry\\setup.exe", L" /q", ""},
        {L"empty", L"setup.exe", L"menu\\setup.exe", L"", ""},
        {L"empty", L"tool2", L"menu\\tool2.exe", L"", ""},
        {L"entry", L"tool.exe a", L"path\\tool.exe", L" a", ""},
        {L"batch", L"setup", L"batch\\setup.bat", L"", ""},  // every extension here before the menu's .exe
        // A name with a folder only where it points; quoted or not, its path may hold blanks.
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
        {L"entry", L"sub.exe", L"", L"", "no such file"},  // a folder
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
    tree.add(L"docs\\read me.txt");
    tree.add(L"docs\\viewer.exe");
    platform::win::SearchPlaces places;
    places.currentDir = tree.path(L"docs");
    const std::wstring notepad = platform::win::joinPath(platform::win::windowsDirectory(), L"notepad.exe");
    const std::string missing =
        "Cannot open \"license.txt\": the file does not exist in " + tree.path8(L"docs") + ".";

    const struct {
        std::wstring command;
        std::wstring program;
        std::string message;
    } cases[] = {
        {notepad + L" \"read me.txt\"", notepad, ""},
        {L"Q:\\Elsewhere\\Notepad.exe \"read me.txt\"", notepad, ""},
        {notepad + L" license.txt", L"", missing},
        {L"Q:\\Elsewhere\\NOTEPAD license.txt", L"", missing},
        {L"viewer.exe license.txt", tree.path(L"docs\\viewer.exe"), ""},
        {L"missing.exe license.txt", L"", "Cannot start \"missing.exe\": no such file."},
    };
    for (const auto& c : cases) {
        const platform::win::ViewerStart viewer = platform::win::viewerCommand(c.command, places);
        EXPECT_EQ(viewer.message, c.message) << narrow(c.command);
        EXPECT_EQ(viewer.message.empty() ? viewer.command.program : L"", c.program) << narrow(c.command);
    }
}

TEST(WindowsPlatform, ChangesDirectoryOrKeepsTheCurrentOne) {
    TempTree tree;
    tree.add(L"\u03A9 folder\\inner\\");
    tree.add(L"a file.txt");
    platform::WindowsPlatform system;
    ASSERT_FALSE(system.changeDirectory(tree.path8()));
    const struct {
        std::string folder;
        const char* failure;  // empty: the change succeeds
        std::wstring after;   // the current directory afterwards, in the tree
    } cases[] = {
        {"\xCE\xA9 folder/inner", "", L"\u03A9 folder\\inner"},
        {"..\\..", "", L""},
        {"", "", L""},
        {"missing", "no such folder", L""},
        {"\xCE\xA9 folder\\missing\\deeper", "no such folder", L""},
        {"a file.txt", "not a folder", L""},
        {tree.path8(L"\u03A9 folder"), "", L"\u03A9 folder"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(system.changeDirectory(c.folder).value_or(""), c.failure) << c.folder;
        EXPECT_EQ(system.currentDirectory(), tree.path8(c.after)) << c.folder;
    }
}

TEST(WindowsPlatform, ShellStartsTheEntrysOwnProgramWithItsArguments) {
    // The build puts a setup.exe beside this test program, where the menu would sit: the entry's
    // own must start instead.
    ASSERT_TRUE(fs::exists(besideTest(L"setup.exe")));
    TempTree tree;
    tree.add(L"\u03A9 entry\\setup.exe", {}, besideTest(L"recorder.exe"));
    tree.add(L"batch dir\\rec.exe", {}, besideTest(L"recorder.exe"));
    tree.add(L"batch dir\\setup.bat", "@\"%~dp0rec.exe\" %*\r\n");
    const std::string entry = tree.path8(L"\u03A9 entry"), batch = tree.path8(L"batch dir");
    const std::wstring record = tree.path(L"record.txt");
    SetEnvironmentVariableW(L"DISCMENU_RECORD", record.c_str());

    const struct {
        std::wstring folder;
        std::string command;
        std::string recorded;  // folder, program, arguments; empty when nothing starts
    } cases[] = {
        {L"\u03A9 entry", "setup.exe one \"two words\"",
         entry + "\t" + entry + "\\setup.exe\tone\ttwo words\n"},
        {L"\u03A9 entry", "setup.sh --typical", entry + "\t" + entry + "\\setup.exe\t--typical\n"},
        {L"batch dir", "setup.sh --typical \"a b\"", batch + "\t" + batch + "\\rec.exe\t--typical\ta b\n"},
        {L"batch dir", "missing.exe /q", ""},
        {L"\u03A9 entry", "\"\"", ""},
    };
    for (const auto& c : cases) {
        DeleteFileW(record.c_str());
        platform::WindowsPlatform system;
        ASSERT_FALSE(system.changeDirectory(tree.path8(c.folder)));
        const platform::StartResult result = system.shell(c.command);
        if (const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(result.taskId))) {
            EXPECT_EQ(WaitForSingleObject(process, 30000), WAIT_OBJECT_0);
            CloseHandle(process);
        }
        std::ostringstream recorded;
        recorded << std::ifstream(fs::path(record), std::ios::binary).rdbuf();
        EXPECT_EQ(recorded.str(), c.recorded) << c.command;
        EXPECT_EQ(result.taskId != 0, !c.recorded.empty()) << c.command;
        EXPECT_EQ(result.failure.has_value(), c.recorded.empty()) << c.command;
    }
}

// The tests below need a display: they run once more on a virtual X server.

void pumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

DWORD foregroundProcess() {
    DWORD process = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &process);
    return process;
}

TEST(OnDisplay, AppActivateBringsTheStartedProgramsWindowToTheFront) {
    TempTree tree;
    tree.add(L"app\\app.exe", {}, besideTest(L"recorder.exe"));
    platform::WindowsPlatform system;
    ASSERT_FALSE(system.changeDirectory(tree.path8(L"app")));
    const HWND own = CreateWindowW(L"STATIC", L"test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300, 200, 100,
                                   nullptr, nullptr, nullptr, nullptr);
    const platform::StartResult started = system.shell("app.exe --window");
    ASSERT_FALSE(started.failure) << *started.failure;
    HWND theirs = nullptr;
    for (int i = 0; i < 200 && !theirs; ++i, Sleep(50)) theirs = FindWindowW(L"DiscmenuRecorder", nullptr);
    ASSERT_TRUE(theirs);

    for (const std::int64_t nobody : {std::int64_t{0}, std::int64_t{-1}, std::int64_t{0x7FFFFFF0}}) {
        SetForegroundWindow(own);
        system.appActivate(nobody);
        pumpMessages();
        EXPECT_EQ(GetForegroundWindow(), own) << nobody;
    }
    // The other process takes the focus when it handles the request.
    system.appActivate(started.taskId);
    const DWORD expected = static_cast<DWORD>(started.taskId);
    for (int i = 0; i < 100 && foregroundProcess() != expected; ++i, Sleep(50)) pumpMessages();
    EXPECT_EQ(foregroundProcess(), expected);

    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, expected);
    PostMessageW(theirs, WM_CLOSE, 0, 0);
    if (process) {
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
    }
    DestroyWindow(own);
}

BOOL CALLBACK findOwnDialog(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t type[16] = {};
    GetClassNameW(window, type, 16);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window) || std::wstring(type) != L"#32770")
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

TEST(OnDisplay, OpenDialogStartsInTheCurrentFolderAndLeavesIt) {
    TempTree tree;
    tree.add(L"top.txt");
    tree.add(L"sub\\inner.txt");
    platform::WindowsPlatform system;
    ASSERT_FALSE(system.changeDirectory(tree.path8()));
    platform::OpenDialogRequest request;
    request.filter = "All Files (*.*)|*.*";

    // What is typed into the file name box before Open is pressed: a folder is entered, a file is
    // picked; nullptr presses Cancel.
    const struct {
        std::vector<const wchar_t*> typed;
        platform::OpenDialogResult result;
    } cases[] = {
        {{L"top.txt"}, {false, tree.path8(L"top.txt")}},
        {{L"sub", L"inner.txt"}, {false, tree.path8(L"sub\\inner.txt")}},
        {{L"sub", nullptr}, {true, ""}},
    };
    for (const auto& c : cases) {
        std::thread user([&] {
            HWND dialog = nullptr;
            for (int i = 0; i < 400 && !dialog; ++i, Sleep(50))
                EnumWindows(findOwnDialog, reinterpret_cast<LPARAM>(&dialog));
            for (const wchar_t* text : c.typed) {
                for (const int box : {0x47c, 0x480}) SetDlgItemTextW(dialog, box, text);
                PostMessageW(dialog, WM_COMMAND, text ? IDOK : IDCANCEL, 0);
                Sleep(500);
            }
        });
        const platform::OpenDialogResult result = system.showOpen(request);
        user.join();
        EXPECT_EQ(result.cancelled, c.result.cancelled);
        EXPECT_EQ(result.fileName, c.result.fileName);
        EXPECT_EQ(system.currentDirectory(), tree.path8());
    }
}

}  // namespace
