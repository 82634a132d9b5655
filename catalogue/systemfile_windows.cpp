#include <windows.h>

#include "catalogue/systemfile.h"
#include "platform/windows/wintext.h"

namespace catalogue::systemfile {
namespace {

using platform::win::narrow;
using platform::win::widen;

std::string describe(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
            return "permission denied";
        case ERROR_SHARING_VIOLATION:
            return "another program holds it open";
        case ERROR_NOT_READY:
            return "the drive is not ready";
        default:
            return "Windows error " + std::to_string(error);
    }
}

}  // namespace

Probe probe(const std::string& path) {
    Probe result;
    const std::wstring file = widen(path);
    const DWORD size = GetFullPathNameW(file.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    wchar_t* namePart = nullptr;
    const DWORD written = size ? GetFullPathNameW(file.c_str(), size, full.data(), &namePart) : 0;
    if (written > 0 && written < size) {
        full.resize(written);
        const std::size_t nameAt = namePart ? std::size_t(namePart - full.data()) : full.size();
        result.name = narrow(full.substr(nameAt));
        std::wstring folder = full.substr(0, nameAt);
        if (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
        result.folder = narrow(folder);
    } else {
        result.name = path;
    }

    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME) {
            result.type = Type::Missing;
        } else {
            result.type = Type::Unknown;
            result.reason = describe(error);
        }
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        result.type = Type::Folder;
    } else if (attributes & FILE_ATTRIBUTE_DEVICE) {
        result.type = Type::Other;
    } else {
        result.type = Type::File;
    }
    return result;
}

bool readAll(const std::string& path, std::size_t limit, std::string& bytes, std::string& reason) {
    const HANDLE file =
        CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason = "the file cannot be opened (" + describe(GetLastError()) + ")";
        return false;
    }
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while (bytes.size() <= limit) {
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            reason = "reading the file failed (" + describe(GetLastError()) + ")";
            ok = false;
            break;
        }
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return ok;
}

}  // namespace catalogue::systemfile
