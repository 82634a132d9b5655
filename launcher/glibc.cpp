#include "launcher/glibc.h"

#include <gnu/libc-version.h>

#include <cstdio>
#include <cstring>

namespace launcher {

namespace {

constexpr char kPrefix[] = "GLIBC_";
constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;

// Reads the number at `text`, moves `text` past it and past one following dot.
unsigned long nextPart(const char*& text) {
    unsigned long value = 0;
    while (*text >= '0' && *text <= '9') {
        // Saturates instead of wrapping: a damaged file's "2.99999999999999999999" stays huge.
        const unsigned long digit = static_cast<unsigned long>(*text - '0');
        value = value > (~0ul - digit) / 10 ? ~0ul : value * 10 + digit;
        ++text;
    }
    if (*text == '.') ++text;
    return value;
}

}  // namespace

int compareVersions(const char* a, const char* b) {
    while (*a || *b) {
        const unsigned long left = nextPart(a), right = nextPart(b);
        if (left != right) return left < right ? -1 : 1;
        // Anything that is neither a digit nor a dot ends the comparison ("2.31-ubuntu").
        const bool aDone = *a && (*a < '0' || *a > '9');
        const bool bDone = *b && (*b < '0' || *b > '9');
        if (aDone || bDone) break;
    }
    return 0;
}

const char* newestGlibcNeeded(const ElfNeeds& needs) {
    const char* newest = nullptr;
    for (int i = 0; i < needs.symbolCount; ++i) {
        const char* version = needs.symbols[i].version;
        // GLIBC_PRIVATE is no release; GLIBCXX_ (the C++ library) starts with "GLIBC" but not "GLIBC_".
        if (!version || std::strncmp(version, kPrefix, kPrefixLength) != 0) continue;
        const char* number = version + kPrefixLength;
        if (*number < '0' || *number > '9') continue;
        if (!newest || compareVersions(number, newest) > 0) newest = number;
    }
    return newest;
}

const char* runningGlibc() { return gnu_get_libc_version(); }

bool glibcServes(const ElfNeeds& needs, const char* running, const char* what, char* reason,
                 std::size_t reasonSize) {
    const char* needed = newestGlibcNeeded(needs);
    if (!needed || compareVersions(running, needed) >= 0) return true;
    describeOldGlibc(what, needed, running, reason, reasonSize);
    return false;
}

void describeOldGlibc(const char* what, const char* needed, const char* running, char* out,
                      std::size_t size) {
    std::snprintf(out, size, "%s needs the C library glibc %s or newer; this system has glibc %s", what,
                  needed, running);
}

}  // namespace launcher
