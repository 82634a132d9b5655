#include "platform/posix/realplatform.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QWidget>
#include <cstdio>
#include <vector>

#include "platform/posix/commandline.h"
#include "platform/posix/x11activate.h"
#include "platform/userenvironment.h"

namespace platform {
namespace {

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }
std::string toUtf8(const QString& text) { return text.toStdString(); }

// The user's environment for a started program, with what the medium's start-up changed for the
// menu put back (platform/userenvironment.h).
QProcessEnvironment userProcessEnvironment() {
    std::vector<std::string> current;
    for (const QString& entry : QProcess::systemEnvironment()) current.push_back(toUtf8(entry));
    QProcessEnvironment environment;
    for (const std::string& entry : userEnvironment(current)) {
        const std::size_t equals = entry.find('=');
        environment.insert(fromUtf8(entry.substr(0, equals)), fromUtf8(entry.substr(equals + 1)));
    }
    return environment;
}

}  // namespace

std::string RealPlatform::applicationPath() { return toUtf8(QCoreApplication::applicationDirPath()); }

std::string RealPlatform::currentDirectory() { return toUtf8(QDir::currentPath()); }

Failure RealPlatform::changeDirectory(const std::string& folder) {
    const auto found = findPath(QDir::currentPath(), fromUtf8(folder));
    if (!found) return "no such folder";
    if (!QFileInfo(*found).isDir()) return "not a folder";
    if (!QDir::setCurrent(*found)) return "permission denied";
    return std::nullopt;
}

StartResult startDetached(const QString& commandLine, const QString& workingDir) {
    const QStringList words = splitCommandLine(commandLine);
    if (words.isEmpty()) return {0, "the command is empty"};
    const ProgramResolution program = resolveProgram(words.first(), workingDir, qEnvironmentVariable("PATH"));
    if (!program.failure.isEmpty()) return {0, toUtf8(program.failure)};

    QProcess process;
    process.setProgram(program.program);
    process.setArguments(program.leadArgs + words.mid(1));
    process.setWorkingDirectory(workingDir);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessEnvironment(userProcessEnvironment());
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        const QString reason = process.errorString();
        return {0, reason.isEmpty() ? std::string("it could not be started") : toUtf8(reason)};
    }
    return {pid, std::nullopt};
}

StartResult RealPlatform::shell(const std::string& commandLine) {
    return startDetached(fromUtf8(commandLine), QDir::currentPath());
}

void RealPlatform::appActivate(std::int64_t taskId) {
    if (QGuiApplication::platformName() == u"xcb") activateWindowOfProcess(taskId);
}

void RealPlatform::winExec(const std::string& command, int /*showState*/) {
    // A text viewer here always shows its window.
    const QString commandLine = fromUtf8(command);
    const QString cwd = QDir::currentPath();
    const QStringList words = splitCommandLine(commandLine);
    if (words.isEmpty()) return;
    const QString viewer = toLocalSeparators(words.first());
    const bool isWindowsViewer = viewer.section(u'/', -1).compare(u"notepad.exe", Qt::CaseInsensitive) == 0;
    if (!isWindowsViewer || QFileInfo::exists(viewer)) {
        if (const StartResult r = startDetached(commandLine, cwd); r.failure) {
            showMessage(
                toUtf8(QStringLiteral("Cannot start \"%1\": %2.").arg(words.first(), fromUtf8(*r.failure))));
        }
        return;
    }
    // The Windows text viewer is not here: open the document it names with the desktop's opener.
    const QString document = words.mid(1).join(u' ');
    const auto found = findPath(cwd, document);
    if (!found || !QFileInfo(*found).isFile()) {
        showMessage(toUtf8(QStringLiteral("Cannot open \"%1\": the file does not exist in %2.")
                               .arg(document, QDir::toNativeSeparators(cwd))));
        return;
    }
    QProcess opener;
    opener.setProgram(QStringLiteral("xdg-open"));
    opener.setArguments({*found});
    opener.setWorkingDirectory(cwd);
    opener.setProcessEnvironment(userProcessEnvironment());
    if (!opener.startDetached()) {
        showMessage(toUtf8(QStringLiteral("Cannot open \"%1\": no program to show text files was found "
                                          "(xdg-open could not be started).")
                               .arg(document)));
    }
}

DialogFilter dialogFilter(const QString& filter) {
    const QString label = filter.section(u'|', 0, 0);
    QString pattern = filter.section(u'|', 1, 1);
    if (pattern == u"*.*") pattern = QStringLiteral("*");
    return {label, pattern};
}

OpenDialogResult RealPlatform::showOpen(const OpenDialogRequest& request) {
    // Qt's file dialog writes its state (folder history, last folder, view) to
    // ~/.config/QtProject.conf whenever one is destroyed, and nothing turns that off. The menu
    // writes no files, so one dialog serves the whole run and is never destroyed: it is made on
    // first use and has the menu as its parent only while it is open, so that it does not go
    // with the window at exit either.
    static QFileDialog* const dialog = [] {
        auto* made = new QFileDialog(nullptr, QStringLiteral("Open"));
        made->setOption(QFileDialog::DontUseNativeDialog);
        made->setOption(QFileDialog::ReadOnly);
        made->setFileMode(QFileDialog::ExistingFile);
        made->setAcceptMode(QFileDialog::AcceptOpen);
        return made;
    }();
    const DialogFilter filter = dialogFilter(fromUtf8(request.filter));
    QWidget* owner = QApplication::activeWindow();
    dialog->setParent(owner != dialog ? owner : nullptr, dialog->windowFlags());
    dialog->setDirectory(QDir::currentPath());
    dialog->selectFile(QString());
    dialog->setNameFilter(filter.label.section(u'(', 0, 0).trimmed() + QStringLiteral(" (") + filter.pattern +
                          u')');
    // Show the filter under its own name, while the pattern that applies is the one above.
    if (auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        combo->setItemText(0, filter.label);
    }
    const int answer = dialog->exec();
    dialog->setParent(nullptr, dialog->windowFlags());
    if (answer != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return {};
    return {false, toUtf8(dialog->selectedFiles().first())};
}

void RealPlatform::showMessage(const std::string& text) {
    QWidget* parent = QApplication::activeWindow();
    const QString title = parent ? parent->window()->windowTitle() : QCoreApplication::applicationName();
    QMessageBox::warning(parent, title, fromUtf8(text));
}

void RealPlatform::reportFatal(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    QMessageBox::critical(nullptr, QCoreApplication::applicationName(), fromUtf8(text));
}

void RealPlatform::endProgram(int status) { QCoreApplication::exit(status); }

}  // namespace platform
