// The floor for the Qt menu's start-up benchmark: a Qt window of the menu's size with one label,
// created with the same application set-up as the menu, so that the difference between the two is
// what the menu adds over the least a Qt program with text pays (the GTK pair has its own,
// emptywindow_gtk.cpp).
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("discmenu"));

    // The menu's client area: 5655 x 5175 twips at 15 twips to the pixel.
    QWidget window;
    window.setWindowTitle(QStringLiteral("Empty window"));
    window.setFixedSize(377, 345);
    auto* label = new QLabel(QStringLiteral("One label"), &window);
    label->move(8, 8);
    window.show();
    return QApplication::exec();
}
