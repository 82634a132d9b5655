// What the launcher does when the Qt a medium carries cannot run here: it finds every library
// that the bundle's files (the menu library, lib/, the X11 platform plugin) need and neither the
// bundle nor the system has, names them in one message with the packages that hold them on
// common systems, and shows that message in a dialog where a desktop offers one.
//
// Plain C++ on the C library alone, like the rest of the launcher.
#pragma once

#include <cstddef>

namespace launcher {

// The libraries found missing, each once, in the order found.
struct MissingLibraries {
    static constexpr int kMax = 48;
    static constexpr std::size_t kName = 256;
    char names[kMax][kName];
    int count = 0;
    bool more = false;  // more were missing than kMax

    void add(const char* name);
};

// The library that the loader's message `error` says is missing, when it was asked for `asked`
// (a soname): the library named before the first ": " (its file name, without the folder), which
// is `asked` itself or one that `asked` needs in turn. Writes it into `out` (kName bytes); false
// when the message names no library.
bool missingFromLoaderError(const char* asked, const char* error, char* out);

// Loads, from the system, every library that a file of the bundle in `folder` needs and that lib/
// does not hold, and adds those that do not load to `missing`. Files that cannot be read are
// named in `problem` (kText bytes), the first one only.
void findMissingLibraries(const char* folder, MissingLibraries& missing, char* problem,
                          std::size_t problemSize);

// The message for the user: the missing libraries and the packages to install on Debian and
// Ubuntu, Fedora, openSUSE and Arch Linux (for libraries not in the launcher's table, how to find
// the package). Cut to `size` bytes.
void describeMissing(const MissingLibraries& missing, char* out, std::size_t size);

// Shows `text` to the user in a dialog when there is a display and one of zenity, kdialog,
// gxmessage and xmessage starts (tried in that order); returns when the user closes it or after
// `timeoutSeconds`, when the dialog is ended. True when a dialog was shown.
bool showDialog(const char* text, int timeoutSeconds);

}  // namespace launcher
