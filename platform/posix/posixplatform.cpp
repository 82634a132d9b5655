#include "platform/posix/posixplatform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/posix/commandline.h"
#include "platform/posix/x11activate.h"
#include "platform/userenvironment.h"

extern char** environ;

namespace platform {
namespace {

std::string searchPath() {
    const char* path = std::getenv("PATH");
    return path ? path : "";
}

// The system's text for an error number, starting with a small letter to go inside a sentence.
std::string reason(int error) {
    std::string text = std::strerror(error);
    if (!text.empty()) text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

// What the started process reports to the menu through the pipe: one record per write, small
// enough to arrive whole.
struct Report {
    char what;  // 'P': the program's process id; 'N', 'C', 'F', 'X': an error number from opening
                // /dev/null, entering the folder, the second fork, the exec
    int value;
};

void report(int fd, char what, int value) {
    const Report r{what, value};
    while (::write(fd, &r, sizeof r) < 0 && errno == EINTR) {
    }
}

// In a new process before exec: signals back to their defaults and none blocked, whatever the
// menu's toolkit set for itself.
void resetSignals() {
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP) ::sigaction(signal, &defaults, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

}  // namespace

std::vector<std::string> programsEnvironment() {
    std::vector<std::string> current;
    for (char** variable = environ; variable && *variable; ++variable) current.emplace_back(*variable);
    return userEnvironment(current);
}

StartResult spawnDetached(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& workingDir) {
    // All that the new processes need is made before fork: after it, the menu's other threads are
    // gone mid-way and only async-signal-safe calls may be made.
    const std::vector<std::string> environment = programsEnvironment();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& variable : environment) envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);

    // The pipe closes on exec: the menu reads until every writer is gone, that is until the
    // program runs or its start has failed.
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) return {0, "no pipe to the new process: " + reason(errno)};
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(pipe[0]);
        ::close(pipe[1]);
        return {0, "no new process could be made: " + reason(error)};
    }
    if (child == 0) {
        // The intermediate process: a session of its own, as a detached program has, and a second
        // fork whose process the system reaps, since this one ends at once.
        ::close(pipe[0]);
        resetSignals();
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            const int null = ::open("/dev/null", O_RDONLY);
            if (null < 0 || ::dup2(null, STDIN_FILENO) < 0) {
                report(pipe[1], 'N', errno);
                ::_exit(127);
            }
            if (null != STDIN_FILENO) ::close(null);
            if (::chdir(workingDir.c_str()) != 0) {
                report(pipe[1], 'C', errno);
                ::_exit(127);
            }
            ::execve(program.c_str(), argv.data(), envp.data());
            report(pipe[1], 'X', errno);
            ::_exit(127);
        }
        if (grandchild < 0) {
            report(pipe[1], 'F', errno);
        } else {
            report(pipe[1], 'P', grandchild);
        }
        ::_exit(0);
    }
    ::close(pipe[1]);
    std::int64_t pid = 0;
    Failure failure;
    Report r{};
    ssize_t n = 0;
    while ((n = ::read(pipe[0], &r, sizeof r)) != 0) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (n != sizeof r) break;
        switch (r.what) {
            case 'P':
                pid = r.value;
                break;
            case 'N':
                failure = "standard input cannot be set to /dev/null: " + reason(r.value);
                break;
            case 'C':
                failure = "the working folder cannot be entered: " + reason(r.value);
                break;
            case 'F':
                failure = "no new process could be made: " + reason(r.value);
                break;
            default:
                failure = reason(r.value);
                break;
        }
    }
    ::close(pipe[0]);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (!failure && pid <= 0) failure = "it could not be started";
    if (failure) return {0, failure};
    return {pid, std::nullopt};
}

StartResult startDetached(const std::string& commandLine, const std::string& workingDir) {
    const std::vector<std::string> words = splitCommandLine(commandLine);
    if (words.empty()) return {0, "the command is empty"};
    const ProgramResolution program = resolveProgram(words.front(), workingDir, searchPath());
    if (!program.failure.empty()) return {0, program.failure};
    std::vector<std::string> arguments = program.leadArgs;
    arguments.insert(arguments.end(), words.begin() + 1, words.end());
    return spawnDetached(program.program, arguments, workingDir);
}

std::string PosixPlatform::applicationPath() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return currentDirectory();
    return program.parent_path().string();
}

std::string PosixPlatform::currentDirectory() {
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    return error ? std::string() : current.string();
}

Failure PosixPlatform::changeDirectory(const std::string& folder) {
    const auto found = findPath(currentDirectory(), folder);
    if (!found) return "no such folder";
    if (!isDirectory(*found)) return "not a folder";
    if (::chdir(found->c_str()) != 0) return "permission denied";
    return std::nullopt;
}

StartResult PosixPlatform::shell(const std::string& commandLine) {
    return startDetached(commandLine, currentDirectory());
}

void PosixPlatform::appActivate(std::int64_t taskId) {
    if (onX11()) activateWindowOfProcess(taskId);
}

void PosixPlatform::winExec(const std::string& commandLine, int /*showState*/) {
    // A text viewer here always shows its window.
    const std::string cwd = currentDirectory();
    const std::vector<std::string> words = splitCommandLine(commandLine);
    if (words.empty()) return;
    const std::string viewer = toLocalSeparators(words.front());
    const bool isWindowsViewer = sameIgnoringCase(viewer.substr(viewer.rfind('/') + 1), "notepad.exe");
    struct stat st {};
    if (!isWindowsViewer || ::stat(viewer.c_str(), &st) == 0) {
        if (const StartResult r = startDetached(commandLine, cwd); r.failure) {
            showMessage("Cannot start \"" + words.front() + "\": " + *r.failure + ".");
        }
        return;
    }
    // The Windows text viewer is not here: open the document it names with the desktop's opener.
    std::string document;
    for (std::size_t i = 1; i < words.size(); ++i) document += (i > 1 ? " " : "") + words[i];
    const auto found = findPath(cwd, document);
    if (!found || !isFile(*found)) {
        showMessage("Cannot open \"" + document + "\": the file does not exist in " + cwd + ".");
        return;
    }
    const auto opener = findOnSearchPath("xdg-open", searchPath());
    if (!opener || spawnDetached(*opener, {*found}, cwd).failure) {
        showMessage("Cannot open \"" + document +
                    "\": no program to show text files was found (xdg-open could not be started).");
    }
}

void PosixPlatform::reportFatal(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    showFatalBox(text);
}

DialogFilter dialogFilter(const std::string& filter) {
    const std::size_t bar = filter.find('|');
    DialogFilter result{filter.substr(0, bar), {}};
    if (bar != std::string::npos) {
        const std::size_t end = filter.find('|', bar + 1);
        result.pattern = filter.substr(bar + 1, end == std::string::npos ? end : end - bar - 1);
    }
    if (result.pattern == "*.*") result.pattern = "*";
    return result;
}

}  // namespace platform
