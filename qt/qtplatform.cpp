#include "qt/qtplatform.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QWidget>
#include <algorithm>

namespace qt {
namespace {

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// The window a dialog belongs to: the active one, or else the menu's window that is shown. A
// screen reader presses buttons without activating the window (nor does anything on a desktop
// without a window manager), and a dialog without an owner would be a window of its own to the
// screen reader and the window manager, titled with the program's name.
QWidget* dialogOwner() {
    if (QWidget* active = QApplication::activeWindow()) return active->window();
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto shown = std::find_if(windows.begin(), windows.end(), [](const QWidget* window) {
        return window->isVisible() && window->windowType() == Qt::Window;
    });
    return shown != windows.end() ? *shown : nullptr;
}

}  // namespace

platform::OpenDialogResult QtPlatform::showOpen(const platform::OpenDialogRequest& request) {
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
    const platform::DialogFilter filter = platform::dialogFilter(request.filter);
    const QString label = fromUtf8(filter.label);
    QWidget* owner = dialogOwner();
    dialog->setParent(owner != dialog ? owner : nullptr, dialog->windowFlags());
    dialog->setDirectory(QDir::currentPath());
    dialog->selectFile(QString());
    dialog->setNameFilter(label.section(u'(', 0, 0).trimmed() + QStringLiteral(" (") +
                          fromUtf8(filter.pattern) + u')');
    // Show the filter under its own name, while the pattern that applies is the one above.
    if (auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        combo->setItemText(0, label);
    }
    const int answer = dialog->exec();
    dialog->setParent(nullptr, dialog->windowFlags());
    if (answer != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return {};
    return {false, dialog->selectedFiles().first().toStdString()};
}

void QtPlatform::showMessage(const std::string& text) {
    QWidget* parent = dialogOwner();
    const QString title = parent ? parent->windowTitle() : QCoreApplication::applicationName();
    QMessageBox::warning(parent, title, fromUtf8(text));
}

void QtPlatform::endProgram(int status) { QCoreApplication::exit(status); }

bool QtPlatform::onX11() const { return QGuiApplication::platformName() == u"xcb"; }

void QtPlatform::showFatalBox(const std::string& text) {
    QMessageBox::critical(nullptr, QCoreApplication::applicationName(), fromUtf8(text));
}

}  // namespace qt
