// The environment a started program gets: what autorun.sh, the launcher and the menu recorded in
// DISCMENU_SAVED_VARS and DISCMENU_SAVED_VAR_<NAME> put back, the records themselves gone.
#include "platform/userenvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Env = std::vector<std::string>;

TEST(UserEnvironment, PutsBackWhatWasRecordedAndDropsTheRecords) {
    struct Case {
        const char* what;
        Env current, expected;
    };
    const Case cases[] = {
        {"nothing recorded: unchanged, in order", {"B=2", "A=1", "EMPTY="}, {"B=2", "A=1", "EMPTY="}},
        {"a variable the user had not set goes",
         {"HOME=/h", "QT_QPA_PLATFORM=xcb", "DISCMENU_SAVED_VARS=QT_QPA_PLATFORM"},
         {"HOME=/h"}},
        {"a variable the user had set gets the user's value in its place",
         {"QT_QPA_PLATFORM=xcb", "HOME=/h", "DISCMENU_SAVED_VARS=QT_QPA_PLATFORM",
          "DISCMENU_SAVED_VAR_QT_QPA_PLATFORM=wayland"},
         {"QT_QPA_PLATFORM=wayland", "HOME=/h"}},
        {"a variable that was cleared comes back, last",
         {"HOME=/h", "DISCMENU_SAVED_VARS=QT_PLUGIN_PATH:QT_QPA_PLATFORM_PLUGIN_PATH",
          "DISCMENU_SAVED_VAR_QT_PLUGIN_PATH=/opt/qt/plugins"},
         {"HOME=/h", "QT_PLUGIN_PATH=/opt/qt/plugins"}},
        {"the user's values are kept as they are: empty, with '=' and ':'",
         {"A=changed", "B=changed", "DISCMENU_SAVED_VARS=A:B",
          "DISCMENU_SAVED_VAR_A=", "DISCMENU_SAVED_VAR_B=x=1:y"},
         {"A=", "B=x=1:y"}},
        {"empty and repeated names in the list, a name recorded twice in the environment",
         {"A=changed", "A=again", "DISCMENU_SAVED_VARS=:A::A:", "DISCMENU_SAVED_VAR_A=user"},
         {"A=user"}},
        {"a name only a prefix of a recorded one is not touched",
         {"QT=1", "QT_QPA=2", "DISCMENU_SAVED_VARS=QT_QPA_PLATFORM"},
         {"QT=1", "QT_QPA=2"}},
        {"records without a list, and the launcher's own choice, go too",
         {"DISCMENU_SAVED_VAR_X=1", "DISCMENU_QT=bundled", "DISCMENU_SAVED_VARS=", "DISCMENU_MARKER=/m",
          "X=2"},
         {"DISCMENU_MARKER=/m", "X=2"}},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::userEnvironment(c.current), c.expected) << c.what;
}

}  // namespace
