// The C library a program needs against the one it runs on: a menu library built for a newer glibc
// than the system has would stop in the dynamic loader with "version `GLIBC_2.34' not found";
// the launcher checks first and says so in its own words.
//
// Plain C++ on the C library alone, like the rest of the launcher.
#pragma once

#include <cstddef>

#include "launcher/elfneeds.h"

namespace launcher {

// Compares two dotted version numbers ("2.31", "2.2.5") part by part as numbers: negative when
// `a` is older than `b`, 0 when equal, positive when newer. Missing parts count as 0.
int compareVersions(const char* a, const char* b);

// The newest GLIBC_ version among the symbols `needs` imports (from libc.so.6, libm.so.6 and the
// other libraries of glibc), without its "GLIBC_" prefix; nullptr when it imports none. Points
// into `needs`.
const char* newestGlibcNeeded(const ElfNeeds& needs);

// The version of the C library this process runs on ("2.31"), as glibc reports it.
const char* runningGlibc();

// True when glibc `running` is at least as new as every GLIBC_ version `needs` imports. Otherwise
// writes into `reason` (of `reasonSize` bytes) what `what` (e.g. "the menu on Qt") needs and what
// the system has, and returns false.
bool glibcServes(const ElfNeeds& needs, const char* running, const char* what, char* reason,
                 std::size_t reasonSize);

// The sentence glibcServes writes: `what` needs glibc `needed` or newer, the system has `running`.
void describeOldGlibc(const char* what, const char* needed, const char* running, char* out, std::size_t size);

}  // namespace launcher
