// Loads the bundled Qt's libraries from the bundle's packed copy: one file of zstd-compressed
// libraries that the launcher reads in one pass, unpacks into memory (memfd) and loads from there,
// leaves first. A library's compressed copy is about a third of it, so a start from a CD reads
// some 10 MB instead of the 27 MB the libraries' own files would take, and a CD drive's transfer
// is most of such a start's time. The libraries loaded here are then found by their sonames when
// the menu library and the X11 plugin are loaded, and the loader reads nothing more of lib/.
//
// The pack, written by packaging/pack-bundle:
//   discmenu-pack 1
//   PATH<tab>SIZE<tab>PACKED      one line a library, in the order they are loaded (dependencies
//   ...                           first); PACKED bytes of zstd frame hold its SIZE bytes, or, with
//                                 PACKED 0, it is loaded from PATH on the medium as it lies
//   <empty line>
//   the frames, one after the other, in the lines' order
//
// Plain C++ on the C library alone, like the rest of the launcher; the zstd library is the
// system's (libzstd.so.1, which the bundled Qt needs from the system anyway), loaded when needed.
#pragma once

#include <cstddef>

namespace launcher {

constexpr char kBundlePack[] = "bundle.pack";

// What became of loading `folder`/kBundlePack.
enum class PackResult {
    kLoaded,    // every library of the pack is loaded
    kAbsent,    // no pack: the medium has none (nothing was loaded)
    kUnusable,  // the pack cannot be used here (damaged, no zstd library, no memfd): `error` says
                // why; nothing was loaded, the libraries' own files serve instead
    kNotLoaded  // a library would not load (`error` holds the loader's words): the libraries
                // before it stay loaded; loading from the medium's files says what is missing
};

// The name each unpacked library has in memory (/proc/PID/maps shows "/memfd:" + the prefix +
// its file name + " (deleted)"); the menu tells the bundled Qt by it.
constexpr char kPackedPrefix[] = "discmenu-bundle:";

// Loads the pack's libraries; `loaded` counts them and `bytesRead` the bytes read of the pack.
PackResult loadBundlePack(const char* folder, int& loaded, long long& bytesRead, char* error,
                          std::size_t errorSize);

// True when `path` (relative to the bundle's folder) stays inside it: not absolute, no ".." part.
bool staysInside(const char* path);

}  // namespace launcher
