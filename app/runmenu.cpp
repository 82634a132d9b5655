#include "app/runmenu.h"

#include <QApplication>

#include "actions/actions.h"
#include "app/qtsetup.h"
#include "menu/themenu.h"
#include "platform/realplatform.h"

namespace app {

int runMenu(int argc, char* argv[]) {
    // The platform plugin is loaded while the QApplication is made: its folder is settled first.
    const PluginSetup plugins = keepPluginsInBundle();
    QApplication application(argc, argv);
    restoreEnvironment(plugins);
    QApplication::setApplicationName(QStringLiteral("discmenu"));

    platform::RealPlatform platform;
    menu::TheMenu menu(platform);
    if (const auto error = menu.Form_Load()) {
        platform.reportFatal(QString::fromStdString(error->message()));
        return 1;
    }
    actions::Actions handlers(menu, platform);
    menu.show();
    return QApplication::exec();
}

}  // namespace app
