#include "platform/fake/fakeplatform.h"

#include <filesystem>

namespace platform {

std::vector<std::string> FakePlatform::callsTo(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& call : calls) {
        if (call.starts_with(prefix)) found.push_back(call);
    }
    return found;
}

std::string FakePlatform::applicationPath() {
    calls.push_back("applicationPath");
    return appPath;
}

std::string FakePlatform::currentDirectory() { return cwd; }

Failure FakePlatform::changeDirectory(const std::string& folder) {
    calls.push_back("changeDirectory " + folder);
    if (missingFolders.contains(folder)) return "no such folder";
    std::string local = folder;
    for (char& c : local) {
        if (c == '\\') c = '/';
    }
    const std::filesystem::path path(local);
    std::string next =
        (path.is_absolute() ? path : std::filesystem::path(cwd) / path).lexically_normal().string();
    if (next.size() > 1 && next.back() == '/') next.pop_back();
    cwd = next;
    return std::nullopt;
}

StartResult FakePlatform::shell(const std::string& commandLine) {
    calls.push_back("shell " + commandLine + " in " + cwd);
    if (unstartableCommands.contains(commandLine)) return {0, "no such file"};
    return {nextTaskId++, std::nullopt};
}

void FakePlatform::appActivate(std::int64_t taskId) {
    calls.push_back("appActivate " + std::to_string(taskId));
}

void FakePlatform::winExec(const std::string& commandLine, int showState) {
    calls.push_back("winExec " + commandLine + " (" + std::to_string(showState) + ") in " + cwd);
}

OpenDialogResult FakePlatform::showOpen(const OpenDialogRequest& request) {
    calls.push_back("showOpen cancelError=" + std::to_string(int(request.cancelError)) +
                    " flags=" + std::to_string(request.flags) + " filter=" + request.filter +
                    " filterIndex=" + std::to_string(request.filterIndex));
    return openAnswer;
}

void FakePlatform::showMessage(const std::string& text) { calls.push_back("showMessage " + text); }

void FakePlatform::reportFatal(const std::string& text) { calls.push_back("reportFatal " + text); }

void FakePlatform::endProgram(int status) { calls.push_back("endProgram " + std::to_string(status)); }

}  // namespace platform
