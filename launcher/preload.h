// Reads a bundle's libraries into memory in one pass, in the order they lie on the medium, before
// the loader maps them. The loader touches a library's pages here and there (headers, symbol and
// relocation tables, code as it runs), and on an optical drive each jump costs a seek, the slowest
// thing such a drive does; read whole and in disk order, the same libraries cost one seek and their
// transfer.
//
// Plain C++ on the C library alone, like the rest of the launcher.
#pragma once

#include <cstddef>

namespace launcher {

// The list that make-medium writes beside the launcher, in the order the bytes lie on the medium:
// one path a line, relative to the folder that holds the list, for a whole file, or the path, a
// tab, an offset, a tab and a length (decimal bytes) for part of a file (a path may come on several
// lines, one for each part).
constexpr char kPreloadList[] = "preload.list";

// Reads every file or part named in `folder`/kPreloadList into the page cache, in the list's
// order, and returns the bytes read. A missing list reads nothing and returns 0 (a medium without the bundle
// has none); a file that is missing or cannot be read is skipped, since the loader will report it
// in its own words when it needs it. Returns -1 and writes a message naming the list into `error`
// when the list itself cannot be read, holds a path that leaves `folder` or a part that is not an
// offset and a positive length.
long long preloadFiles(const char* folder, char* error, std::size_t errorSize);

// Reads the whole file at `path` into the page cache in one sequential pass, for a library the
// launcher is about to check and load: reading its tables (which lie at both of its ends) and then
// the loader's faults would reach the medium in five or six runs out of file order, each a seek on
// an optical drive. Returns the bytes read, or -1 when the file cannot be read (the caller's own
// reading of it then says why).
long long readAhead(const char* path);

}  // namespace launcher
