// recordUserValue (platform/userenvironment.h) on the C library alone: the medium's launcher,
// which must start where the C++ library is missing or old, records what it changes with it.
#include <cstdlib>
#include <cstring>

#include "platform/userenvironment.h"

namespace platform {

bool recordUserValue(const char* name) {
    constexpr char kNames[] = "DISCMENU_SAVED_VARS";
    constexpr char kPrefix[] = "DISCMENU_SAVED_VAR_";
    const std::size_t length = std::strlen(name);
    const char* names = std::getenv(kNames);
    const std::size_t namesLength = names ? std::strlen(names) : 0;
    for (const char* at = names; at && *at;) {
        const char* end = std::strchr(at, ':');
        const std::size_t size = end ? std::size_t(end - at) : std::strlen(at);
        if (size == length && std::memcmp(at, name, length) == 0) return true;
        at = end ? end + 1 : nullptr;
    }

    // The new list and the record's name are made first: setenv copies them, and `names` points
    // into the environment, which setenv may change.
    char* list = static_cast<char*>(std::malloc(namesLength + 1 + length + 1));
    char* key = static_cast<char*>(std::malloc(sizeof kPrefix + length));
    bool done = list && key;
    if (done) {
        std::memcpy(list, names ? names : "", namesLength);
        const std::size_t used = namesLength + (namesLength ? 1 : 0);
        if (namesLength) list[namesLength] = ':';
        std::memcpy(list + used, name, length + 1);
        std::memcpy(key, kPrefix, sizeof kPrefix - 1);
        std::memcpy(key + sizeof kPrefix - 1, name, length + 1);
        const char* value = std::getenv(name);
        done = (!value || setenv(key, value, 1) == 0) && setenv(kNames, list, 1) == 0;
    }
    std::free(list);
    std::free(key);
    return done;
}

}  // namespace platform
