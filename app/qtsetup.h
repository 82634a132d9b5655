// Which Qt this process runs on: the desktop's own, or the one a medium bundles in lib/ beside
// the menu (launcher/main.cpp decides). On the bundled Qt, every plugin must come from the bundle
// too, since a plugin of another Qt build does not fit the bundled libraries.
#pragma once

#include <QByteArray>
#include <optional>

namespace app {

struct PluginSetup {
    bool bundled = false;
    // The QT_QPA_PLATFORM_PLUGIN_PATH taken out of the environment while the QApplication is made.
    std::optional<QByteArray> platformPluginPath;
};

// To be called before the QApplication is made. When Qt's core library was loaded from lib/
// beside the program, or unpacked from the bundle's pack of lib/, Qt is told to look for plugins
// only in plugins/ beside the program, and a QT_QPA_PLATFORM_PLUGIN_PATH, which would point it at
// another tree, is taken out of the environment.
PluginSetup keepPluginsInBundle();

// To be called once the QApplication is made, before any program is started: puts back what
// keepPluginsInBundle took out, so that the programs the menu starts see the user's environment.
void restoreEnvironment(const PluginSetup& setup);

}  // namespace app
