#pragma once
// The little the catalogue reader needs of the file system, one implementation per system: what a
// path names, and its bytes. Paths are UTF-8. (On Windows this keeps the C++ library's file system
// and stream code, about a megabyte, out of the program.)
#include <cstddef>
#include <string>

namespace catalogue::systemfile {

enum class Type { Missing, File, Folder, Other, Unknown };

struct Probe {
    Type type = Type::Unknown;
    std::string folder;  // the absolute folder the path lies in, for messages
    std::string name;    // the path's last component
    std::string reason;  // why the type is Unknown
};

Probe probe(const std::string& path);

// Reads the whole file into `bytes`, stopping once it holds more than `limit` bytes. On failure
// returns false and says why in `reason`.
bool readAll(const std::string& path, std::size_t limit, std::string& bytes, std::string& reason);

}  // namespace catalogue::systemfile
