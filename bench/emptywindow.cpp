// The yardstick for the start-up benchmark: an empty Qt window of the menu's size, created with the
// same application set-up as the menu, so that the difference between the two is what the menu adds.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("discmenu"));

    // The menu's client area: 5655 x 5175 twips at 15 twips to the pixel.
    QWidget window;
    window.setWindowTitle(QStringLiteral("Empty window"));
    window.setFixedSize(377, 345);
    window.show();
    return QApplication::exec();
}
