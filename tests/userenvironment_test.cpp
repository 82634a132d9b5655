// The environment a started program gets: what autorun.sh, the launcher and the menu recorded in
// DISCMENU_SAVED_VARS and DISCMENU_SAVED_VAR_<NAME> put back, the records themselves gone.
#include "platform/userenvironment.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Env = std::vector<std::string>;

Env sorted(Env env) {
    std::sort(env.begin(), env.end());
    return env;
}

// This process's environment, sorted.
Env processEnvironment() {
    Env env;
    for (char** entry = environ; entry && *entry; ++entry) env.emplace_back(*entry);
    return sorted(env);
}

void setEnvironment(const Env& env) {
    clearenv();
    for (const std::string& entry : env) {
        const std::size_t equals = entry.find('=');
        setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
    }
}

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

// Each stage records a variable, then changes it (as autorun.sh, the launcher and the menu do):
// what a started program gets is the environment the first stage found.
TEST(UserEnvironment, WhatIsRecordedBeforeEachChangeComesBack) {
    struct Change {
        const char* name;
        const char* value;  // nullptr: unset
    };
    struct Case {
        const char* what;
        Env user;
        std::vector<Change> changes;
    };
    const std::vector<Change> autorun{
        {"QT_PLUGIN_PATH", nullptr}, {"QT_QPA_PLATFORM_PLUGIN_PATH", nullptr}, {"QT_QPA_PLATFORM", "xcb"}};
    const Case cases[] = {
        {"autorun.sh's changes, nothing of them set by the user", {"HOME=/h"}, autorun},
        {"autorun.sh's changes over the user's Wayland platform and plugin path",
         {"HOME=/h", "QT_QPA_PLATFORM=wayland", "QT_PLUGIN_PATH=/opt/a:/opt/b=c",
          "QT_QPA_PLATFORM_PLUGIN_PATH="},
         autorun},
        {"two stages change one variable, and the second record is not taken",
         {"DISCMENU_VERBOSE=1"},
         {{"DISCMENU_VERBOSE", "2"}, {"DISCMENU_VERBOSE", nullptr}, {"NEW", "x"}, {"NEW", "y"}}},
    };
    const Env saved = processEnvironment();
    for (const Case& c : cases) {
        setEnvironment(c.user);
        for (const Change& change : c.changes) {
            ASSERT_TRUE(platform::recordUserValue(change.name)) << c.what;
            if (change.value)
                setenv(change.name, change.value, 1);
            else
                unsetenv(change.name);
        }
        EXPECT_NE(processEnvironment(), sorted(c.user)) << c.what;
        EXPECT_EQ(sorted(platform::userEnvironment(processEnvironment())), sorted(c.user)) << c.what;
    }
    setEnvironment(saved);
}

}  // namespace
