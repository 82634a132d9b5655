// The Qt menu's plain twin, for the start-up benchmark (scripts/bench): the menu's window for the
// sample medium made the way a plain Qt program would make it, with Qt's stock widgets (a
// QListWidget, QLabels, QPushButtons, a QLineEdit, a QPlainTextEdit, a QLabel for the picture),
// the menu's controls, texts, fonts, colours and geometry written out by hand, and the catalogue
// read through the project's reader. Nothing is deferred or drawn by hand, and the pictures are
// read through Qt's own image readers. The menu against this twin says what the menu's own way of
// building its window costs or saves; this twin against the one-label window says what the
// content itself costs.
#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleFactory>
#include <QWidget>
#include <cstdio>
#include <string>
#include <variant>

#include "catalogue/catalogue.h"

namespace {

QString text(const std::string& utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }

// A catalogue colour, 00BBGGRR.
QColor colour(std::int32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

void paint(QWidget* widget, QPalette::ColorRole role, const QColor& value) {
    QPalette palette = widget->palette();
    palette.setColor(role, value);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QFont arial(int pixels, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QWidget* panel(QWidget* parent, int x, int y, int w, int h, const QColor& background) {
    auto* widget = new QWidget(parent);
    widget->setGeometry(x, y, w, h);
    paint(widget, QPalette::Window, background);
    return widget;
}

QLabel* label(QWidget* parent, const QString& caption, int x, int y, int w, int h, const QFont& font) {
    auto* widget = new QLabel(caption, parent);
    widget->setGeometry(x, y, w, h);
    widget->setFont(font);
    widget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return widget;
}

QPushButton* button(QWidget* parent, const QString& caption, int x, int y, int w, int h, const QFont& font) {
    auto* widget = new QPushButton(caption, parent);
    widget->setGeometry(x, y, w, h);
    widget->setFont(font);
    return widget;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("discmenu"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));

    catalogue::Result read = catalogue::loadCatalogue(catalogue::CatalogueFileName);
    if (const auto* error = std::get_if<catalogue::Error>(&read)) {
        std::fprintf(stderr, "twin-qt: %s\n", error->message().c_str());
        return 1;
    }
    const catalogue::Module1& m = std::get<catalogue::Module1>(read);
    const auto& colours = m.ColourTable;

    const QFont regular = arial(10, false), bold = arial(10, true), hint = arial(11, false);
    const QColor grey(0xC0, 0xC0, 0xC0), blue(0, 0, 0xFF), yellow(0xFF, 0xFF, 0);

    QWidget window;
    window.setWindowTitle(text(m.Title + " (" + m.Subtitle + ")"));
    window.setWindowIcon(QIcon(QStringLiteral(DISCMENU_SOURCE_DIR "/resources/discmenu.ico")));
    window.setFixedSize(377, 345);
    paint(&window, QPalette::Window, colour(colours[0]));

    // Back to front: a widget made later lies over the ones before it.
    std::vector<QLabel*> lines;
    const QString count = QString::number(m.ProgramCount);
    lines.push_back(label(
        &window,
        count + (m.ProgramCount == 1 ? " Great Program" : " Great Programs") + " ready for installation!",
        176, 8, 73, 57, bold));
    lines.back()->setWordWrap(true);

    QWidget* sizePanel = panel(&window, 297, 160, 80, 49, grey);
    lines.push_back(label(sizePanel, QStringLiteral("Size in Kb (installed)"), 16, 0, 52, 29, bold));
    lines.back()->setWordWrap(true);
    auto* size = new QLineEdit(QString::number(m.ProgramSize[1]), sizePanel);
    size->setGeometry(16, 25, 49, 20);
    size->setFont(regular);
    size->setReadOnly(true);
    size->setCursorPosition(0);
    paint(size, QPalette::Base, colour(colours[5]));
    paint(size, QPalette::Text, colour(colours[6]));

    QWidget* listPanel = panel(&window, 0, 67, 305, 142, grey);
    lines.push_back(label(listPanel, QStringLiteral("Programs on this CD"), 8, 0, 103, 13, bold));
    QLabel* doubleClick = label(listPanel, QStringLiteral("Double Click to install"), 192, 0, 113, 14, hint);
    paint(doubleClick, QPalette::Window, yellow);
    auto* list = new QListWidget(listPanel);
    list->setGeometry(8, 12, 289, 112);
    list->setFont(bold);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int n = 1; n <= m.ProgramCount; ++n) list->addItem(text(m.ProgramName[n]));
    list->setCurrentRow(0);
    paint(list, QPalette::Base, colour(colours[3]));
    paint(list, QPalette::Text, colour(colours[4]));

    QWidget* descriptionPanel = panel(&window, 0, 208, 377, 137, grey);
    lines.push_back(label(descriptionPanel, QStringLiteral("Program description"), 8, 0, 103, 13, bold));
    lines.push_back(label(descriptionPanel, text("Published by " + m.Publisher), 8, 120, 202, 13, bold));
    lines.push_back(label(descriptionPanel, text("Date: " + m.Date), 240, 120, 125, 13, bold));
    auto* description = new QPlainTextEdit(text(m.ProgramDescription[1]), descriptionPanel);
    description->setGeometry(8, 13, 361, 105);
    description->setFont(regular);
    description->setReadOnly(true);
    paint(description, QPalette::Base, colour(colours[7]));
    paint(description, QPalette::Text, colour(colours[8]));

    QWidget* buttonPanel = panel(&window, 304, 0, 73, 160, blue);
    button(buttonPanel, QStringLiteral("&Browse CD"), 8, 8, 57, 33, regular);
    button(buttonPanel, QStringLiteral("Show\n&Readme"), 8, 48, 57, 33, regular)->setEnabled(m.flagOn(1));
    button(buttonPanel, QStringLiteral("Show\n&License"), 8, 88, 57, 33, regular)->setEnabled(m.flagOn(3));
    button(buttonPanel, QStringLiteral("&Exit"), 8, 128, 57, 25, regular);

    QWidget* installPanel = panel(&window, 232, 0, 81, 66, blue);
    button(installPanel, QStringLiteral("&Install\nhighlighted\nprogram"), 8, 8, 65, 49, bold);

    auto* picture = new QLabel(&window);
    picture->setGeometry(8, 5, 162, 64);
    picture->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    picture->setLineWidth(2);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setPixmap(QPixmap(QStringLiteral(DISCMENU_SOURCE_DIR "/resources/picture.bmp")));

    for (QLabel* line : lines) {
        paint(line, QPalette::Window, colour(colours[1]));
        paint(line, QPalette::WindowText, colour(colours[2]));
    }

    window.show();
    return QApplication::exec();
}
