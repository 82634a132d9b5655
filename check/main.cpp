// discmenu-check: checks a medium's catalogue the way the menu reads it and reports each problem
// with its line; with --preview it also renders the menu window into a PNG file. It reads the
// medium and writes nothing but the PNG the publisher names.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <cstdio>
#include <cstring>

#include "check/checker.h"
#include "discmenu_version.h"

namespace {

constexpr int StatusErrors = 2;

const char Usage[] =
    "usage: discmenu-check [--preview FILE.png] [FOLDER]\n"
    "       discmenu-check --version\n"
    "Checks FOLDER/contents.inf (default: the current directory) as the menu reads it, and the\n"
    "folders, programs and documents it names. Reports errors (the menu will not start) and\n"
    "warnings, one line each, then a summary.\n"
    "  --preview FILE.png  also render the menu window as it looks after start-up into FILE.png\n"
    "  --version           print the version and exit\n"
    "Exit status: 0 clean, 1 warnings, 2 errors or bad arguments.\n";

void print(std::FILE* stream, const QString& line) {
    std::fputs(line.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

int usageError(const QString& what) {
    print(stderr, QStringLiteral("discmenu-check: ") + what);
    std::fputs(Usage, stderr);
    return StatusErrors;
}

// Qt's own remarks about the offscreen platform and the environment say nothing about the
// catalogue; only serious ones are passed on.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) print(stderr, text);
}

bool platformRequested(int argc, char* argv[]) {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The checks measure, and the preview renders, a real menu window; neither needs a display.
    if (!platformRequested(argc, argv)) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietMessages);
    QApplication app(argc, argv);  // takes Qt's own options out of argv

    QString preview;
    QString folder;
    bool folderGiven = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (!optionsEnded && arg == u"--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == u"--help" || arg == u"-h")) {
            std::fputs(Usage, stdout);
            return 0;
        } else if (!optionsEnded && arg == u"--version") {
            std::fputs("discmenu-check " DISCMENU_VERSION_STRING "\n", stdout);
            return 0;
        } else if (!optionsEnded && (arg == u"--preview" || arg.startsWith(QStringLiteral("--preview=")))) {
            if (arg == u"--preview" && i + 1 < argc) {
                preview = QString::fromLocal8Bit(argv[++i]);
            } else {
                preview = arg.section(u'=', 1);
            }
            if (preview.isEmpty())
                return usageError(QStringLiteral("--preview needs the name of a PNG file"));
        } else if (!optionsEnded && arg.startsWith(u'-') && arg.size() > 1) {
            return usageError(QStringLiteral("unknown option \"%1\"").arg(arg));
        } else if (folderGiven) {
            return usageError(
                QStringLiteral("only one FOLDER may be given (\"%1\" is a second one)").arg(arg));
        } else {
            folder = arg;
            folderGiven = true;
        }
    }
    if (!folderGiven) folder = QDir::currentPath();
    if (!QFileInfo(folder).isDir()) {
        return usageError(
            QStringLiteral("\"%1\" is not a folder (FOLDER is the folder that holds contents.inf)")
                .arg(folder));
    }

    const check::Report report = check::checkCatalogue(folder, {qEnvironmentVariable("PATH")});
    int status = report.exitStatus();

    // With errors the menu would not start: there is no window to preview.
    std::optional<QString> previewLine;
    if (!preview.isEmpty() && report.tables) {
        const QImage image = check::renderPreview(*report.tables, folder);
        QImageWriter writer(preview, "png");
        if (writer.write(image)) {
            const catalogue::Module1& m = *report.tables;
            previewLine = QStringLiteral("preview: %1 (%2 x %3 pixels); the window caption reads \"%4 (%5)\"")
                              .arg(preview, QString::number(image.width()), QString::number(image.height()),
                                   QString::fromStdString(m.Title), QString::fromStdString(m.Subtitle));
        } else {
            print(stderr, QStringLiteral("discmenu-check: cannot write the preview \"%1\": %2")
                              .arg(preview, writer.errorString()));
            status = StatusErrors;
        }
    }

    QStringList lines = check::formatReport(report);
    if (previewLine) lines.insert(lines.size() - 1, *previewLine);
    for (const QString& line : lines) print(stdout, line);
    return status;
}
