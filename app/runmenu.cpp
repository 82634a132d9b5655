#include "app/runmenu.h"

#include <QApplication>

#include "app/display.h"
#include "app/qtsetup.h"
#include "core/menu.h"
#include "qt/menuwindow.h"
#include "qt/qtplatform.h"

namespace app {

int runMenu(int argc, char* argv[]) {
    // The platform plugin is loaded while the QApplication is made: its folder is settled first,
    // and the display check looks for plug-ins where Qt then will.
    const PluginSetup plugins = keepPluginsInBundle();
    if (reportMissingDisplay(argc, argv)) return 1;
    QApplication application(argc, argv);
    restoreEnvironment(plugins);
    QApplication::setApplicationName(QStringLiteral("discmenu"));

    qt::QtPlatform platform;
    qt::MenuWindow window;
    core::Menu menu(window, platform);
    if (const auto error = menu.load()) {
        platform.reportFatal(error->message());
        return 1;
    }
    window.connectTo(menu);
    window.show();
    return QApplication::exec();
}

}  // namespace app
