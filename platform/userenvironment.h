#pragma once
// The environment of the programs the menu starts (set-ups, the document viewer): the user's,
// not the one the menu runs in.
//
// autorun.sh, the medium's launcher and the menu change some variables for the menu's own sake
// (the Qt platform, plugin paths). Each stage that changes a variable NAME first records the
// user's value, unless NAME is recorded already: it appends NAME to DISCMENU_SAVED_VARS (names
// separated by ':') and, when NAME was set, sets DISCMENU_SAVED_VAR_<NAME> to the user's value
// (for an unset NAME there is no such variable). No toolkit: plain strings.
#include <string>
#include <vector>

namespace platform {

// `current`, as "NAME=value" strings, with every recorded NAME put back (to the value of
// DISCMENU_SAVED_VAR_<NAME>, or removed when that is not set), and DISCMENU_SAVED_VARS, every
// DISCMENU_SAVED_VAR_* and DISCMENU_QT (the launcher's own) removed. The order of the other
// variables is kept; a put-back variable takes the place where it was, or comes last.
std::vector<std::string> userEnvironment(const std::vector<std::string>& current);

// Records the value `name` has in this process's environment as the user's, unless `name` is
// recorded already; to be called before the variable is changed for the menu's sake. False when
// the environment cannot be changed (no memory). C library only (platform/recorduservalue.cpp),
// so that the medium's launcher, which needs the C library alone, can use it.
bool recordUserValue(const char* name);

}  // namespace platform
