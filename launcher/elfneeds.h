// What a program needs from the dynamic loader, read from its ELF file: the libraries it names
// (DT_NEEDED) and every symbol it imports, with the symbol version and the library that version
// is required from. The launcher checks these against the libraries the system offers before it
// decides which Qt the menu runs on.
//
// Plain C++ on the C library alone (no exceptions, no standard C++ library): the launcher must
// start, and explain itself, even where the C++ library is older than the menu needs.
#pragma once

#include <cstddef>

namespace launcher {

struct ImportedSymbol {
    const char* name;
    const char* version;  // nullptr for an unversioned reference
    const char* library;  // soname the version is required from; nullptr when unversioned
    bool weak;            // a weak reference: the program also starts without it
};

struct ElfNeeds {
    char* strings = nullptr;  // the file's dynamic string table; every pointer below points into it
    const char** needed = nullptr;
    int neededCount = 0;
    ImportedSymbol* symbols = nullptr;
    int symbolCount = 0;
};

// Reads the needs of the 64-bit ELF file `path` (of this machine's byte order). On failure
// returns false, leaves `needs` empty and writes a message that names the file and what is wrong
// with it into `error`.
bool readElfNeeds(const char* path, ElfNeeds& needs, char* error, std::size_t errorSize);

void freeElfNeeds(ElfNeeds& needs);

}  // namespace launcher
