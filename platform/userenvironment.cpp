#include "platform/userenvironment.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace platform {
namespace {

constexpr std::string_view kSavedNames = "DISCMENU_SAVED_VARS";
constexpr std::string_view kSavedPrefix = "DISCMENU_SAVED_VAR_";
constexpr std::string_view kLauncherChoice = "DISCMENU_QT";

std::string_view nameOf(std::string_view entry) { return entry.substr(0, entry.find('=')); }

// The value of `name` in `environment`; the first entry wins, as getenv finds it.
std::optional<std::string_view> valueOf(const std::vector<std::string>& environment, std::string_view name) {
    for (const std::string& entry : environment) {
        const std::size_t equals = entry.find('=');
        if (equals != std::string::npos && std::string_view(entry).substr(0, equals) == name)
            return std::string_view(entry).substr(equals + 1);
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::string> userEnvironment(const std::vector<std::string>& current) {
    // The recorded names, each once; empty names (from "::" or a leading ':') are skipped.
    std::vector<std::string_view> recorded;
    if (const auto names = valueOf(current, kSavedNames)) {
        std::size_t start = 0;
        while (start <= names->size()) {
            const std::size_t end = std::min(names->find(':', start), names->size());
            const std::string_view name = names->substr(start, end - start);
            if (!name.empty() && std::find(recorded.begin(), recorded.end(), name) == recorded.end())
                recorded.push_back(name);
            start = end + 1;
        }
    }
    const auto isRecorded = [&](std::string_view name) {
        return std::find(recorded.begin(), recorded.end(), name) != recorded.end();
    };

    std::vector<std::string> result;
    std::vector<std::string_view> placed;
    for (const std::string& entry : current) {
        const std::string_view name = nameOf(entry);
        if (name == kSavedNames || name.starts_with(kSavedPrefix) || name == kLauncherChoice) continue;
        if (!isRecorded(name)) {
            result.push_back(entry);
            continue;
        }
        // A recorded name set now: the user's value in its place, or nothing when it was unset.
        if (std::find(placed.begin(), placed.end(), name) != placed.end()) continue;
        placed.push_back(name);
        if (const auto saved = valueOf(current, std::string(kSavedPrefix) + std::string(name)))
            result.push_back(std::string(name) + "=" + std::string(*saved));
    }
    // Recorded names that are unset now but were set by the user.
    for (const std::string_view name : recorded) {
        if (std::find(placed.begin(), placed.end(), name) != placed.end()) continue;
        if (const auto saved = valueOf(current, std::string(kSavedPrefix) + std::string(name)))
            result.push_back(std::string(name) + "=" + std::string(*saved));
    }
    return result;
}

}  // namespace platform
