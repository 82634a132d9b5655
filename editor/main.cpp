// discmenu-edit: the publisher's catalogue editor. Opens FOLDER/contents.inf (or starts a new one)
// with the menu beside it as it will look.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "editor/editorwindow.h"

namespace {

const char Usage[] =
    "usage: discmenu-edit [FOLDER]\n"
    "Edits FOLDER/contents.inf (default: the current directory), or starts a new catalogue there,\n"
    "with the menu beside it as it will look and the checker's findings as you type.\n";

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);  // takes Qt's own options out of argv
    QApplication::setApplicationName(QStringLiteral("discmenu-edit"));

    QString folder = QDir::currentPath();
    bool folderGiven = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == u"--help" || arg == u"-h") {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (folderGiven || (arg.startsWith(u'-') && arg.size() > 1)) {
            std::fprintf(stderr, "discmenu-edit: unexpected argument \"%s\"\n%s", argv[i], Usage);
            return 2;
        }
        folder = arg;
        folderGiven = true;
    }
    if (!QFileInfo(folder).isDir()) {
        std::fprintf(stderr,
                     "discmenu-edit: \"%s\" is not a folder (FOLDER is the medium's folder, which holds "
                     "contents.inf)\n",
                     folder.toLocal8Bit().constData());
        return 2;
    }

    // make-medium is taken from the source tree this program was built from.
    editor::EditorWindow window(folder, QStringLiteral(DISCMENU_MAKE_MEDIUM));
    window.show();
    return app.exec();
}
