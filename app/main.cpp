// discmenu: the start-up menu of a software medium. Takes no arguments: it reads "contents.inf"
// from the current directory (or from its own folder) and shows the menu.
#include <QApplication>

#include "actions/actions.h"
#include "app/display.h"
#include "menu/themenu.h"
#include "platform/realplatform.h"

int main(int argc, char* argv[]) {
    if (app::reportMissingDisplay(argc, argv)) return 1;
    QApplication app(argc, argv);
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
