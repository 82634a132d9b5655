// discmenu: the start-up menu of a software medium. Takes no arguments: it reads "contents.inf"
// from the current directory (or from its own folder, or the one above) and shows the menu.
#include <QApplication>

#include "app/display.h"
#include "core/menu.h"
#include "platform/posix/realplatform.h"
#include "qt/menuwindow.h"

int main(int argc, char* argv[]) {
    if (app::reportMissingDisplay(argc, argv)) return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("discmenu"));

    platform::RealPlatform platform;
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
