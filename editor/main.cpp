// discmenu-edit: the publisher's catalogue editor. Opens FOLDER/contents.inf (or starts a new one)
// with the menu beside it as it will look.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

#include "discmenu_version.h"
#include "editor/editorwindow.h"

namespace {

const char Usage[] =
    "usage: discmenu-edit [FOLDER]\n"
    "       discmenu-edit --version\n"
    "Edits FOLDER/contents.inf (default: the current directory), or starts a new catalogue there,\n"
    "with the menu beside it as it will look and the checker's findings as you type.\n"
    "File > Make medium runs discmenu-make-medium from the folder of this program.\n"
    "  --version  print the version and exit\n";

}  // namespace

int main(int argc, char* argv[]) {
    // Answered before Qt starts: printing the version needs no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("discmenu-edit " DISCMENU_VERSION_STRING "\n", stdout);
            return 0;
        }
    }
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

    // discmenu-make-medium lies beside the editor: in /usr/bin when installed, and as a link to
    // scripts/make-medium in a build tree.
    const QString makeMedium =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("discmenu-make-medium"));
    editor::EditorWindow window(folder, makeMedium);
    window.show();
    return app.exec();
}
