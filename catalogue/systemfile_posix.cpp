#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "catalogue/systemfile.h"

namespace catalogue::systemfile {

namespace fs = std::filesystem;

Probe probe(const std::string& path) {
    const fs::path file(path);
    Probe result;
    std::error_code ignored;
    fs::path folder = fs::absolute(file, ignored).parent_path();
    if (folder.empty()) folder = file.parent_path();
    result.folder = folder.lexically_normal().string();
    result.name = file.filename().string();

    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    switch (status.type()) {
        case fs::file_type::not_found:
            result.type = Type::Missing;
            break;
        case fs::file_type::regular:
            result.type = Type::File;
            break;
        case fs::file_type::directory:
            result.type = Type::Folder;
            break;
        default:
            result.type = ec ? Type::Unknown : Type::Other;
            result.reason = ec.message();
    }
    return result;
}

bool readAll(const std::string& path, std::size_t limit, std::string& bytes, std::string& reason) {
    errno = 0;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(path.c_str(), "rb"),
                                                                 &std::fclose);
    if (!stream) {
        reason = "the file cannot be opened (" + std::generic_category().message(errno) + ")";
        return false;
    }
    char buffer[65536];
    std::size_t got = 0;
    while (bytes.size() <= limit && (got = std::fread(buffer, 1, sizeof buffer, stream.get())) > 0) {
        bytes.append(buffer, got);
    }
    if (std::ferror(stream.get())) {
        reason = "reading the file failed (" + std::generic_category().message(errno) + ")";
        return false;
    }
    return true;
}

}  // namespace catalogue::systemfile
