// The toolkit-free platform layer against the real system: programs started detached in their
// folder with their arguments and no shell between, with the user's environment and standard
// input from /dev/null, the current directory, and the document viewer through a stand-in
// xdg-open. The dialogs are recorded by a small subclass; the Qt ones are tested in
// platform_test.
#include "platform/posix/posixplatform.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "platform/posix/commandline.h"
#include "tests/testfiles.h"

namespace {

namespace fs = std::filesystem;
using testfiles::kExecutable;
using testfiles::kReadable;
using testfiles::show;
using testfiles::TempDir;
using testfiles::writeFile;

// The toolkit's part, recorded.
class RecordingPlatform final : public platform::PosixPlatform {
public:
    bool x11 = false;  // what onX11 answers
    std::vector<std::string> messages;
    std::vector<std::string> fatalBoxes;
    platform::OpenDialogResult showOpen(const platform::OpenDialogRequest&) override { return {}; }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void endProgram(int) override {}

protected:
    bool onX11() const override { return x11; }
    void showFatalBox(const std::string& text) override { fatalBoxes.push_back(text); }
};

// A shell script body that writes, one per line, its process id, its working directory, where its
// standard input comes from, the values of DISCMENU_SEEN and DISCMENU_SAVED_VARS, and its
// arguments to `record`. The file appears at once complete (written aside, then renamed).
std::string recorderBody(const std::string& record) {
    return "out='" + record +
           "'\n"
           "{ echo \"$$\"; pwd -P; readlink /proc/$$/fd/0; echo \"${DISCMENU_SEEN-unset}\"; "
           "echo \"${DISCMENU_SAVED_VARS-unset}\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } "
           "> \"$out.part\" && mv \"$out.part\" \"$out\"\n";
}
constexpr std::size_t kArgumentsLine = 5;

// Waits, up to ten seconds, until `path` exists with at least `lines` lines, and returns them.
std::optional<std::vector<std::string>> waitForFile(const std::string& path, std::size_t lines = 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::ifstream f(path); f) {
            std::vector<std::string> result;
            for (std::string line; std::getline(f, line);) result.push_back(line);
            if (result.size() >= lines) return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

// The test process has no child left: every process the platform made was reaped or handed on.
bool noChildLeft() {
    int status = 0;
    return ::waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

// While it lives, this process's standard input is a pipe, which started programs must not get.
class InputFromPipe {
public:
    InputFromPipe() : saved_(::dup(STDIN_FILENO)) {
        if (::pipe(pipe_) == 0) ::dup2(pipe_[0], STDIN_FILENO);
    }
    ~InputFromPipe() {
        ::dup2(saved_, STDIN_FILENO);
        for (const int fd : {saved_, pipe_[0], pipe_[1]}) ::close(fd);
    }
    InputFromPipe(const InputFromPipe&) = delete;
    InputFromPipe& operator=(const InputFromPipe&) = delete;

private:
    int saved_;
    int pipe_[2] = {-1, -1};
};

class PosixPlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedCwd_ = fs::current_path();
        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "";
        ASSERT_TRUE(tmp_.isValid());
        root = tmp_.path();
    }
    void TearDown() override {
        fs::current_path(savedCwd_);
        ::setenv("PATH", savedPath_.c_str(), 1);
        for (const char* name :
             {"DISCMENU_SEEN", "DISCMENU_SAVED_VARS", "DISCMENU_SAVED_VAR_DISCMENU_SEEN"}) {
            ::unsetenv(name);
        }
    }

    RecordingPlatform platform;
    std::string root;

private:
    TempDir tmp_;
    fs::path savedCwd_;
    std::string savedPath_;
};

// --- Shell: the process start -------------------------------------------------------------

TEST_F(PosixPlatformTest, ShellStartsTheProgramInItsFolderWithItsArgumentsAndNoShell) {
    struct Case {
        const char* name;
        std::string file;    // the program on disk, relative to the medium root
        std::string header;  // its first line, if any ("" for none)
        fs::perms permissions;
        std::string folder;             // the folder the catalogue names
        std::string workDir;            // that folder on disk, relative to the medium root
        std::string commandLine;        // the command the catalogue names
        std::vector<std::string> args;  // what the program must receive
    };
    const std::string sh = "#!/bin/sh\n";
    const Case cases[] = {
        {"quoted words",
         "editor/setup.sh",
         sh,
         kExecutable,
         "editor",
         "editor",
         "setup.sh \"two words\" plain \"\" end",
         {"two words", "plain", "", "end"}},
        {"no shell",
         "editor/setup.sh",
         sh,
         kExecutable,
         "editor",
         "editor",
         "setup.sh \"a; b\" $(x) `id` * \"> out\" > out | cat && echo $HOME '~' %PATH%",
         {"a; b", "$(x)", "`id`", "*", "> out", ">", "out", "|", "cat", "&&", "echo", "$HOME", "'~'",
          "%PATH%"}},
        {"letter case of folder and program",
         "Editor/SETUP.SH",
         sh,
         kExecutable,
         "EDITOR",
         "Editor",
         "setup.sh /s",
         {"/s"}},
        {"backslashes",
         "apps/editor/bin/setup.sh",
         sh,
         kExecutable,
         "apps\\editor",
         "apps/editor",
         "bin\\setup.sh x",
         {"x"}},
        {"program name with blanks",
         "editor/my setup.sh",
         sh,
         kExecutable,
         "editor",
         "editor",
         "\"my setup.sh\" x",
         {"x"}},
        {"#! without execute permission",
         "editor/setup",
         sh,
         kReadable,
         "editor",
         "editor",
         "setup x",
         {"x"}},
        {"#!/usr/bin/env sh without execute permission",
         "editor/setup",
         "#!/usr/bin/env sh\n",
         kReadable,
         "editor",
         "editor",
         "setup x",
         {"x"}},
        {".sh without execute permission or #!",
         "editor/setup.sh",
         "",
         kReadable,
         "editor",
         "editor",
         "setup.sh x",
         {"x"}},
        {"Windows program run by its counterpart",
         "editor/setup.sh",
         sh,
         kReadable,
         "editor",
         "editor",
         "setup.exe /S \"C:\\Program Files\"",
         {"/S", "C:\\Program Files"}},
        {".sh with execute permission but no #!",
         "editor/setup.sh",
         "",
         kExecutable,
         "editor",
         "editor",
         "setup.sh x",
         {"x"}},
    };
    // What the menu's start-up changed for itself goes back to the user's value for the program.
    ::setenv("DISCMENU_SEEN", "by the menu", 1);
    ::setenv("DISCMENU_SAVED_VARS", "DISCMENU_SEEN", 1);
    ::setenv("DISCMENU_SAVED_VAR_DISCMENU_SEEN", "the user's", 1);
    const InputFromPipe input;
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string medium = root + "/medium" + std::to_string(++i);
        const std::string record = root + "/record" + std::to_string(i);
        writeFile(medium + '/' + c.file, c.header + recorderBody(record), c.permissions);
        fs::current_path(medium);
        const std::string folder = medium + '/' + c.workDir;

        ASSERT_EQ(platform.changeDirectory(c.folder), std::nullopt);
        const auto started = platform.shell(c.commandLine);
        ASSERT_EQ(started.failure.value_or(""), "");
        EXPECT_GT(started.taskId, 0);
        EXPECT_TRUE(noChildLeft());

        const auto lines = waitForFile(record);
        ASSERT_TRUE(lines) << "the program did not run";
        ASSERT_GE(lines->size(), kArgumentsLine);
        EXPECT_EQ(lines->at(0), std::to_string(started.taskId)) << "the task id is the process id";
        EXPECT_EQ(lines->at(1), folder);
        EXPECT_EQ(lines->at(2), "/dev/null");
        EXPECT_EQ(lines->at(3), "the user's");
        EXPECT_EQ(lines->at(4), "unset");
        EXPECT_EQ(show({lines->begin() + kArgumentsLine, lines->end()}), show(c.args));
        // Nothing but the program's own entry in the folder: no redirection made a file.
        std::vector<std::string> entries;
        for (const auto& entry : fs::directory_iterator(folder)) entries.push_back(entry.path().filename());
        const std::string programEntry = fs::relative(medium + '/' + c.file, folder).begin()->string();
        EXPECT_EQ(show(entries), show({programEntry}));
    }
}

TEST_F(PosixPlatformTest, ShellReturnsWithoutWaitingForTheProgram) {
    // The program records only after the test has seen shell() return (or gives up after a while
    // and records that it was waited for).
    const std::string record = root + "/record";
    writeFile(root + "/editor/setup.sh",
              "#!/bin/sh\nn=0\nwhile [ ! -e '" + root +
                  "/go' ] && [ $n -lt 200 ]; do sleep 0.05; n=$((n+1)); done\n" + "[ -e '" + root +
                  "/go' ] && set -- returned || set -- waited\n" + recorderBody(record),
              kExecutable);
    fs::current_path(root + "/editor");
    const auto started = platform.shell("setup.sh");
    ASSERT_EQ(started.failure, std::nullopt);
    writeFile(root + "/go", "", kReadable);
    const auto lines = waitForFile(record);
    ASSERT_TRUE(lines);
    ASSERT_GT(lines->size(), kArgumentsLine);
    EXPECT_EQ(lines->at(kArgumentsLine), "returned");
    EXPECT_TRUE(noChildLeft());
}

TEST_F(PosixPlatformTest, ShellReportsWhyAProgramCannotStart) {
    writeFile(root + "/editor/notes.txt", "hello\n", kReadable);
    writeFile(root + "/editor/broken", "#!/nonexistent/interpreter\n", kReadable);
    writeFile(root + "/editor/unknown", std::string("\0\1\2\3 no known format", 21), kExecutable);
    fs::create_directories(root + "/editor/folder");
    fs::current_path(root + "/editor");
    const std::pair<const char*, const char*> cases[] = {
        {"missing.exe", "no such file"},
        {"notes.txt x", "not executable"},
        {"folder", "no such file"},
        {"./folder", "is a folder, not a program"},
        {"", "the command is empty"},
        {"   ", "the command is empty"},
        {"broken", "no such file or directory"},  // the exec's own reason
        {"\"\" x", "empty command"},
        {"unknown", "exec format error"},
    };
    for (const auto& [command, failure] : cases) {
        const auto started = platform.shell(command);
        EXPECT_EQ(started.failure.value_or("(none)"), failure) << "command: " << command;
        EXPECT_EQ(started.taskId, 0) << "command: " << command;
    }
    EXPECT_EQ(platform.currentDirectory(), root + "/editor");
    // A working folder that cannot be entered, found by the new process.
    const auto started = platform::spawnDetached("/bin/true", {}, root + "/missing");
    EXPECT_EQ(started.failure.value_or("(none)"),
              "the working folder cannot be entered: no such file or directory");
    EXPECT_TRUE(noChildLeft());
}

// --- Change directory ----------------------------------------------------------------------

TEST_F(PosixPlatformTest, ChangeDirectoryFollowsTheCatalogueOrStaysPut) {
    fs::create_directories(root + "/medium/Editor/Sub");
    fs::create_directories(root + "/medium/cards");
    writeFile(root + "/medium/readme.txt", "x", kReadable);
    struct Case {
        std::string folder;
        std::string expected;  // relative to the medium; "-" for a failure
    };
    const Case cases[] = {
        {"cards", "cards"},
        {root + "/medium/cards", "cards"},  // absolute
        {"Editor\\Sub", "Editor/Sub"},
        {"editor\\SUB\\", "Editor/Sub"},
        {"EDITOR", "Editor"},
        {"cards\\..\\editor", "Editor"},
        {".", ""},
        {"missing", "-"},
        {"cards\\missing", "-"},
        {"readme.txt", "-"},  // a file is no folder
    };
    for (const auto& c : cases) {
        fs::current_path(root + "/medium");
        const auto failure = platform.changeDirectory(c.folder);
        if (c.expected == "-") {
            EXPECT_TRUE(failure) << "folder: " << c.folder;
            EXPECT_EQ(platform.currentDirectory(), root + "/medium") << "folder: " << c.folder;
        } else {
            EXPECT_EQ(failure, std::nullopt) << "folder: " << c.folder;
            EXPECT_EQ(platform.currentDirectory(), platform::cleanPath(root + "/medium/" + c.expected))
                << "folder: " << c.folder;
        }
    }
}

TEST_F(PosixPlatformTest, ApplicationPathIsTheFolderOfTheRunningProgram) {
    EXPECT_EQ(platform.applicationPath(), fs::canonical("/proc/self/exe").parent_path().string());
}

// --- Document viewer ---------------------------------------------------------------------

class ViewerTest : public PosixPlatformTest {
protected:
    void SetUp() override {
        PosixPlatformTest::SetUp();
        log = root + "/opened.log";
        // A stand-in desktop opener, first on PATH, that records where and with what it ran.
        writeFile(root + "/bin/xdg-open",
                  "#!/bin/sh\nprintf '%s|%s\\n' \"$(pwd -P)\" \"$*\" >> '" + log + "'\n", kExecutable);
        ::setenv("PATH", (root + "/bin:" + std::getenv("PATH")).c_str(), 1);
        fs::create_directories(root + "/medium");
        fs::current_path(root + "/medium");
    }
    std::string log;
};

TEST_F(ViewerTest, OpensTheDocumentRelativeToTheCurrentDirectoryEachTime) {
    writeFile(root + "/medium/readme.txt", "Read me.\n", kReadable);
    writeFile(root + "/medium/LICENSE.TXT", "Licence.\n", kReadable);
    // An opener in the medium's folder is not the desktop's.
    writeFile(root + "/medium/xdg-open", "#!/bin/sh\necho medium >> '" + log + "'\n", kExecutable);
    platform.winExec("C:\\Windows\\Notepad.exe readme.txt", 1);
    platform.winExec("C:\\Windows\\Notepad.exe readme.txt", 1);
    platform.winExec("C:\\Windows\\Notepad.exe license.txt", 1);
    const auto lines = waitForFile(log, 3);
    ASSERT_TRUE(lines);
    std::vector<std::string> sorted = *lines;
    std::sort(sorted.begin(), sorted.end());
    const std::string medium = root + "/medium";
    EXPECT_EQ(show(sorted),
              show({medium + "|" + medium + "/LICENSE.TXT", medium + "|" + medium + "/readme.txt",
                    medium + "|" + medium + "/readme.txt"}));
    EXPECT_EQ(show(platform.messages), "");
    EXPECT_TRUE(noChildLeft());
}

TEST_F(ViewerTest, TellsTheUserWhenTheDocumentTheOpenerOrTheViewerIsMissing) {
    platform.winExec("C:\\Windows\\Notepad.exe readme.txt", 1);
    writeFile(root + "/medium/readme.txt", "Read me.\n", kReadable);
    platform.winExec("tools\\viewer.exe readme.txt", 1);
    ::setenv("PATH", (root + "/nothing-here").c_str(), 1);
    platform.winExec("C:\\Windows\\Notepad.exe readme.txt", 1);
    EXPECT_EQ(
        show(platform.messages),
        show({"Cannot open \"readme.txt\": the file does not exist in " + root + "/medium.",
              "Cannot start \"tools\\viewer.exe\": no such file.",
              "Cannot open \"readme.txt\": no program to show text files was found (xdg-open could not be "
              "started)."}));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(fs::exists(log)) << "the opener ran";
}

// --- Window activation ---------------------------------------------------------------------

// A private X server (Xvfb, display chosen by the server) for the test's lifetime, named in
// DISPLAY, with the test's own connection to it.
class XServerTest : public PosixPlatformTest {
protected:
    void SetUp() override {
        PosixPlatformTest::SetUp();
        int pipe[2];
        ASSERT_EQ(::pipe(pipe), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe[1], 3);
        const char* argv[] = {"Xvfb",    "-displayfd", "3",          "-nolisten", "tcp",
                              "-screen", "0",          "320x200x24", nullptr};
        const int error =
            ::posix_spawnp(&server_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipe[1]);
        std::string number;
        char c = 0;
        while (error == 0 && ::read(pipe[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(pipe[0]);
        ASSERT_EQ(error, 0) << "Xvfb: " << std::strerror(error);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        const char* display = std::getenv("DISPLAY");
        savedDisplay_ = display ? std::optional<std::string>(display) : std::nullopt;
        ::setenv("DISPLAY", (":" + number).c_str(), 1);
        connection = xcb_connect(nullptr, nullptr);
        ASSERT_EQ(xcb_connection_has_error(connection), 0);
        screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    }
    void TearDown() override {
        if (connection) xcb_disconnect(connection);
        if (server_ > 0) {
            ::kill(server_, SIGTERM);
            ::waitpid(server_, nullptr, 0);
        }
        if (savedDisplay_) {
            ::setenv("DISPLAY", savedDisplay_->c_str(), 1);
        } else {
            ::unsetenv("DISPLAY");
        }
        PosixPlatformTest::TearDown();
    }

    xcb_atom_t atom(const char* name) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name),
                                  nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    // Waits until the server has done what the test asked for on its connection.
    void sync() {
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }

    // A top-level window that says it belongs to process `pid`.
    xcb_window_t windowOf(std::uint32_t pid) {
        const xcb_window_t window = xcb_generate_id(connection);
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL,
                            32, 1, &pid);
        sync();
        return window;
    }

    // The windows that activation was asked for while the test stood in for the window manager:
    // what arrives within `wait` (the request comes over another connection).
    std::vector<xcb_window_t> activationRequests(std::chrono::milliseconds wait) {
        std::vector<xcb_window_t> windows;
        const xcb_atom_t active = atom("_NET_ACTIVE_WINDOW");
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (windows.empty() && std::chrono::steady_clock::now() < deadline) {
            sync();
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
                const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
                if ((event->response_type & 0x7F) == XCB_CLIENT_MESSAGE && message->type == active) {
                    windows.push_back(message->window);
                }
                std::free(event);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return windows;
    }

    xcb_connection_t* connection = nullptr;
    xcb_screen_t* screen = nullptr;

private:
    pid_t server_ = 0;
    std::optional<std::string> savedDisplay_;
};

TEST_F(XServerTest, AppActivateAsksTheWindowManagerForTheProcesssWindowOnX11Only) {
    // The test takes the window manager's part: it gets the requests sent to the root window.
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    ASSERT_EQ(xcb_request_check(connection, xcb_change_window_attributes_checked(connection, screen->root,
                                                                                 XCB_CW_EVENT_MASK, &mask)),
              nullptr);
    windowOf(4001);
    const xcb_window_t wanted = windowOf(4002);
    struct Case {
        bool x11;
        std::int64_t pid;
        std::vector<xcb_window_t> requests;
    };
    const Case cases[] = {{true, 4002, {wanted}}, {true, 4003, {}}, {false, 4002, {}}, {true, 0, {}}};
    for (const auto& c : cases) {
        platform.x11 = c.x11;
        platform.appActivate(c.pid);
        const auto wait = std::chrono::milliseconds(c.requests.empty() ? 300 : 5000);
        EXPECT_EQ(activationRequests(wait), c.requests)
            << "pid " << c.pid << (c.x11 ? " on X11" : " elsewhere");
    }
}

// --- Fatal errors and the dialog filter ------------------------------------------------------

TEST_F(PosixPlatformTest, ReportFatalWritesStandardErrorAndShowsTheBox) {
    testing::internal::CaptureStderr();
    platform.reportFatal("Cannot read \"contents.inf\".");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Cannot read \"contents.inf\".\n");
    EXPECT_EQ(show(platform.fatalBoxes), "[Cannot read \"contents.inf\".]");
}

TEST(DialogFilter, ShowsTheLabelAndMatchesEveryFileForStarDotStar) {
    struct Case {
        const char* filter;
        const char* label;
        const char* pattern;
    };
    const Case cases[] = {
        {"All Files (*.*)|*.*", "All Files (*.*)", "*"},
        {"Text (*.txt)|*.txt", "Text (*.txt)", "*.txt"},
        {"Two|*.a|Other|*.b", "Two", "*.a"},
        {"No pattern", "No pattern", ""},
    };
    for (const auto& c : cases) {
        const auto filter = platform::dialogFilter(c.filter);
        EXPECT_EQ(filter.label, c.label) << c.filter;
        EXPECT_EQ(filter.pattern, c.pattern) << c.filter;
    }
}

}  // namespace
