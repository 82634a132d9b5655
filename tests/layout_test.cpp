// The Qt menu window as built from its layout: geometry to the pixel at 96 dpi, the window frame,
// keyboard order and access keys, fonts, the picture and the icon, which control covers which
// label, the colours of the rendered window after start-up, and the user's events reaching the
// menu's logic (core::Menu on the recording platform).
#include "qt/layout.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <memory>
#include <vector>

#include "core/menu.h"
#include "platform/fake/fakeplatform.h"
#include "qt/menuwindow.h"
#include "qt/qtplatform.h"
#include "qt/widgets.h"
#include "tests/threeentries.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

using qt::MenuWindow;

// The design-time layout in twips: Left and Top from the container's inner top-left corner.
struct Placement {
    const char* name;
    const char* container;  // nullptr: the window's client area
    int left, top, width, height;
};

constexpr Placement placements[] = {
    {"Frame5", nullptr, 0, 3120, 5652, 2052},    {"Text2", "Frame5", 120, 200, 5415, 1572},
    {"Label4", "Frame5", 3600, 1800, 1872, 192}, {"Label5", "Frame5", 120, 1800, 3024, 192},
    {"Label3", "Frame5", 120, 0, 1548, 192},     {"Frame4", nullptr, 4450, 2400, 1212, 732},
    {"Text1", "Frame4", 240, 380, 732, 288},     {"Label2", "Frame4", 240, 0, 780, 432},
    {"Frame3", nullptr, 0, 1000, 4572, 2136},    {"List1", "Frame3", 120, 180, 4332, 1680},
    {"Label7", "Frame3", 2880, 0, 1500, 210},    {"Label1", "Frame3", 120, 0, 1548, 192},
    {"Frame2", nullptr, 4560, 0, 1092, 2402},    {"Command4", "Frame2", 120, 1920, 852, 372},
    {"Command3", "Frame2", 120, 1320, 852, 492}, {"Command2", "Frame2", 120, 720, 852, 492},
    {"Command1", "Frame2", 120, 120, 852, 492},  {"Frame1", nullptr, 3480, 0, 1212, 987},
    {"Command5", "Frame1", 120, 120, 975, 732},  {"Picture1", nullptr, 120, 80, 2430, 960},
    {"Label6", nullptr, 2640, 120, 1095, 855},
};

// One-line labels may widen to show a longer text; everything else has exactly its size.
bool mayWiden(const QString& name) {
    return name == u"Label1" || name == u"Label3" || name == u"Label4" || name == u"Label5" ||
           name == u"Label7";
}

// Each edge converted on its own, so that neighbours that share an edge in twips share it in pixels.
QRect expectedRect(const Placement& p) {
    const int x = core::twipsToPixels(p.left), y = core::twipsToPixels(p.top);
    return QRect(x, y, core::twipsToPixels(p.left + p.width) - x, core::twipsToPixels(p.top + p.height) - y);
}

const Placement& placementOf(const char* name) {
    for (const Placement& p : placements) {
        if (qstrcmp(p.name, name) == 0) return p;
    }
    throw std::logic_error(name);
}

// Where a control lies in window coordinates, from the table alone.
QRect windowRect(const char* name) {
    const Placement& p = placementOf(name);
    QRect r = expectedRect(p);
    if (p.container) r.translate(windowRect(p.container).topLeft());
    return r;
}

QWidget* child(MenuWindow& menu, const char* name) {
    return menu.findChild<QWidget*>(QString::fromLatin1(name));
}

// Shows the window and waits until it is active, so that focus and shortcuts work.
void showActive(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

class LayoutTest : public ::testing::Test {
protected:
    platform::FakePlatform fake;
    MenuWindow menu;
    core::Menu logic{menu, fake};
};

TEST(TwipsTest, FifteenTwipsToThePixelRoundingHalfUp) {
    const std::pair<int, int> cases[] = {{0, 0},   {7, 0},    {8, 1},      {15, 1},     {22, 1},    {23, 2},
                                         {120, 8}, {987, 66}, {5655, 377}, {5175, 345}, {5652, 377}};
    for (const auto& [twips, pixels] : cases)
        EXPECT_EQ(core::twipsToPixels(twips), pixels) << twips << " twips";
    // Edges are rounded, not sizes: a 975-twip button at 120 ends at 1095 twips (73 px).
    EXPECT_EQ(qt::twipsRect(core::rowOf(core::Control::InstallButton)), QRect(8, 8, 65, 49));
    EXPECT_EQ(qt::twipsRect(core::rowOf(core::Control::SizePanel)), QRect(297, 160, 80, 49));
}

TEST_F(LayoutTest, EveryControlSitsInItsContainerExactlyWhereTheLayoutSays) {
    for (const Placement& p : placements) {
        SCOPED_TRACE(p.name);
        QWidget* widget = child(menu, p.name);
        ASSERT_NE(widget, nullptr);
        ASSERT_NE(widget->parentWidget(), nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(),
                  QString::fromLatin1(p.container ? p.container : "TheMenu"));
        const QRect want = expectedRect(p);
        const QRect got = widget->geometry();
        if (mayWiden(widget->objectName())) {
            EXPECT_EQ(got.topLeft(), want.topLeft());
            EXPECT_EQ(got.height(), want.height());
            EXPECT_GE(got.width(), want.width());
            EXPECT_LE(got.right(), widget->parentWidget()->width() - 1) << "widened past its panel";
        } else {
            EXPECT_EQ(got, want);
        }
    }
    // Nothing else is drawn in the window: the table lists every visible control.
    int widgets = 0;
    for (QWidget* w : menu.findChildren<QWidget*>())
        widgets += w->objectName().startsWith(u"Frame") || w->objectName().startsWith(u"Label") ||
                   w->objectName().startsWith(u"Command") || w->objectName().startsWith(u"Text") ||
                   w->objectName() == u"List1" || w->objectName() == u"Picture1";
    EXPECT_EQ(widgets, int(std::size(placements)));
}

TEST_F(LayoutTest, ClientAreaIsFixedWithMinimiseButNoMaximise) {
    EXPECT_EQ(menu.size(), QSize(377, 345));
    EXPECT_EQ(menu.minimumSize(), QSize(377, 345));
    EXPECT_EQ(menu.maximumSize(), QSize(377, 345));
    const Qt::WindowFlags flags = menu.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);

    showActive(menu);
    menu.resize(600, 500);
    QApplication::processEvents();
    EXPECT_EQ(menu.size(), QSize(377, 345));
    EXPECT_EQ(child(menu, "Frame5")->geometry(), windowRect("Frame5"));
}

TEST_F(LayoutTest, DesignTimeCaptionsAndState) {
    EXPECT_EQ(menu.windowTitle(), u"Here will be you CD's title (subtitle in brackets)");
    const std::pair<QPushButton*, const char*> buttons[] = {
        {menu.browseButton, "&Browse CD"},
        {menu.readmeButton, "Show &Readme"},
        {menu.licenseButton, "Show &License"},
        {menu.exitButton, "&Exit"},
        {menu.installButton, "&Install highlighted program"}};
    for (const auto& [button, caption] : buttons) {
        EXPECT_EQ(button->text(), QString::fromLatin1(caption));
        EXPECT_FALSE(button->isDefault()) << caption;
        EXPECT_FALSE(button->autoDefault()) << caption;
    }
    const std::pair<QLabel*, const char*> labels[] = {{menu.listHeading, "Programs on this CD"},
                                                      {menu.sizeHeading, "Size in Kb (installed)"},
                                                      {menu.descriptionHeading, "Program description"},
                                                      {menu.dateLine, "Date: 31. December 1999"},
                                                      {menu.doubleClickHint, "Double Click to install"}};
    for (const auto& [label, caption] : labels) EXPECT_EQ(label->text(), QString::fromLatin1(caption));
    EXPECT_TRUE(menu.countLine->text().startsWith(u"2 Great Programs ready for installation"));
    EXPECT_TRUE(menu.countLine->wordWrap());
    EXPECT_TRUE(menu.sizeHeading->wordWrap());

    for (const Placement& p : placements) {
        QWidget* widget = child(menu, p.name);
        EXPECT_FALSE(widget->isHidden()) << p.name;
        const bool disabled = widget == menu.readmeButton || widget == menu.licenseButton;
        EXPECT_EQ(widget->isEnabled(), !disabled) << p.name;
    }
    EXPECT_EQ(menu.programList->count(), 0);
    EXPECT_FALSE(menu.programList->isSortingEnabled());
    EXPECT_EQ(menu.programList->selectionMode(), QAbstractItemView::SingleSelection);

    const QColor blue(0, 0, 255), grey(0xC0, 0xC0, 0xC0), yellow(255, 255, 0);
    const std::pair<QWidget*, QColor> panels[] = {
        {menu.installPanel, blue}, {menu.buttonPanel, blue},      {menu.listPanel, grey},
        {menu.sizePanel, grey},    {menu.descriptionPanel, grey}, {menu.doubleClickHint, yellow}};
    for (const auto& [widget, colour] : panels) {
        EXPECT_EQ(widget->palette().color(QPalette::Window), colour) << widget->objectName().toStdString();
        EXPECT_TRUE(widget->autoFillBackground()) << widget->objectName().toStdString();
    }
}

TEST_F(LayoutTest, FontsHaveArialMetricsAtTheirSizes) {
    struct Case {
        QWidget* widget;
        int pixels;
        bool bold;
    };
    const Case cases[] = {
        {menu.listHeading, 10, true},        {menu.sizeHeading, 10, true},
        {menu.descriptionHeading, 10, true}, {menu.dateLine, 10, true},
        {menu.publisherLine, 10, true},      {menu.countLine, 10, true},
        {menu.doubleClickHint, 11, false},   {menu.programList, 10, true},
        {menu.sizeBox, 10, false},           {menu.descriptionBox, 10, false},
        {menu.browseButton, 10, false},      {menu.readmeButton, 10, false},
        {menu.licenseButton, 10, false},     {menu.exitButton, 10, false},
        {menu.installButton, 10, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.widget->objectName().toStdString());
        const QFontInfo info = c.widget->fontInfo();
        EXPECT_TRUE(info.family() == u"Liberation Sans" || info.family() == u"Arial")
            << info.family().toStdString();
        EXPECT_EQ(info.pixelSize(), c.pixels);
        EXPECT_EQ(info.bold(), c.bold);
        EXPECT_FALSE(info.italic());
        EXPECT_FALSE(info.underline());
        EXPECT_FALSE(info.strikeOut());
    }
}

TEST_F(LayoutTest, PictureIsTheBitmapInsideATwoPixelBorder) {
    EXPECT_EQ(menu.picture->size(), QSize(162, 64));
    EXPECT_EQ(menu.picture->contentsRect(), QRect(2, 2, 158, 60));
    const QImage bitmap = menu.picture->pixmap().toImage();
    ASSERT_EQ(bitmap.size(), QSize(158, 60));
    int notBlue = 0;
    for (int x = 0; x < 158; ++x) {
        notBlue += bitmap.pixelColor(x, 0) != QColor(0, 0, 255);
        notBlue += bitmap.pixelColor(x, 59) != QColor(0, 0, 255);
    }
    for (int y = 0; y < 60; ++y) {
        notBlue += bitmap.pixelColor(0, y) != QColor(0, 0, 255);
        notBlue += bitmap.pixelColor(157, y) != QColor(0, 0, 255);
    }
    EXPECT_EQ(notBlue, 0);

    const QList<QSize> iconSizes = menu.windowIcon().availableSizes();
    EXPECT_TRUE(iconSizes.contains(QSize(32, 32))) << iconSizes.size() << " sizes";
    EXPECT_FALSE(menu.windowIcon().pixmap(32, 32).isNull());
}

// A label lies beneath the windowed controls that overlap it: there the click and the paint go
// to the control in front.
TEST_F(LayoutTest, LabelsLieBeneathTheControlsThatOverlapThem) {
    struct Case {
        const char* label;
        const char* cover;
        QPoint point;  // window coordinates, inside both
    };
    const Case cases[] = {
        {"Label6", "Frame1", windowRect("Label6").topRight() - QPoint(2, -10)},   // right-hand 255 twips
        {"Label2", "Text1", windowRect("Label2").bottomLeft() + QPoint(10, -1)},  // bottom 52 twips
        {"Label7", "List1", windowRect("Label7").bottomLeft() + QPoint(10, 0)},   // bottom 30 twips
        {"Label1", "List1", windowRect("Label1").bottomLeft() + QPoint(10, 0)},   // bottom 12 twips
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(windowRect(c.label).contains(c.point));
        ASSERT_TRUE(windowRect(c.cover).contains(c.point));
        QWidget* top = menu.childAt(c.point);
        ASSERT_NE(top, nullptr);
        QWidget* cover = child(menu, c.cover);
        EXPECT_TRUE(top == cover || cover->isAncestorOf(top)) << top->objectName().toStdString();
    }
    // Where nothing covers them, the labels are on top of their panels.
    // (The picture, in front of Frame3, covers the top two rows of Label1.)
    for (const char* label : {"Label1", "Label2", "Label3", "Label6", "Label7"}) {
        EXPECT_EQ(menu.childAt(windowRect(label).topLeft() + QPoint(2, 4)), child(menu, label)) << label;
    }
}

class KeyboardTest : public LayoutTest {
protected:
    void SetUp() override { showActive(menu); }

    QString focused() const {
        QWidget* w = QApplication::focusWidget();
        // The list and the text boxes take the focus on their viewport's owner.
        return w ? w->objectName() : QStringLiteral("(none)");
    }

    std::vector<QString> walk(Qt::KeyboardModifiers modifiers, int steps) {
        std::vector<QString> seen;
        for (int i = 0; i < steps; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
            seen.push_back(focused());
        }
        return seen;
    }
};

TEST_F(KeyboardTest, FocusStartsOnThePictureAndTabFollowsTheLayoutOrder) {
    EXPECT_EQ(focused(), u"Picture1");
    const std::vector<QString> forward = walk(Qt::NoModifier, 7);
    EXPECT_EQ(forward, (std::vector<QString>{"Command5", "Command1", "Command4", "List1", "Text1", "Text2",
                                             "Picture1"}))
        << "Command2 and Command3 are disabled";

    menu.readmeButton->setEnabled(true);
    menu.licenseButton->setEnabled(true);
    EXPECT_EQ(walk(Qt::NoModifier, 9),
              (std::vector<QString>{"Command5", "Command1", "Command2", "Command3", "Command4", "List1",
                                    "Text1", "Text2", "Picture1"}));
    EXPECT_EQ(walk(Qt::ShiftModifier, 9),
              (std::vector<QString>{"Text2", "Text1", "List1", "Command4", "Command3", "Command2", "Command1",
                                    "Command5", "Picture1"}));

    menu.sizeBox->hide();
    EXPECT_EQ(walk(Qt::NoModifier, 8), (std::vector<QString>{"Command5", "Command1", "Command2", "Command3",
                                                             "Command4", "List1", "Text2", "Picture1"}));
    EXPECT_EQ(walk(Qt::ShiftModifier, 2), (std::vector<QString>{"Text2", "List1"}));
}

struct ButtonSpies {
    explicit ButtonSpies(MenuWindow& menu)
        : buttons{menu.browseButton, menu.readmeButton, menu.licenseButton, menu.exitButton,
                  menu.installButton} {
        for (QPushButton* b : buttons)
            spies.push_back(std::make_unique<QSignalSpy>(b, &QPushButton::clicked));
    }
    // Which buttons were clicked since the last call, as "Command1 Command5". An access key
    // presses its button at once and releases (clicks) it a moment later: wait for that.
    QString take() {
        for (QPushButton* b : buttons) {
            if (b->isDown()) {
                EXPECT_TRUE(QTest::qWaitFor([b] { return !b->isDown(); }, 2000));
            }
        }
        QStringList names;
        for (std::size_t i = 0; i < spies.size(); ++i) {
            for (qsizetype n = 0; n < spies[i]->count(); ++n) names << buttons[i]->objectName();
            spies[i]->clear();
        }
        return names.join(u' ');
    }
    std::vector<QPushButton*> buttons;
    std::vector<std::unique_ptr<QSignalSpy>> spies;
};

TEST_F(KeyboardTest, AltWithTheUnderlinedLetterPressesAnEnabledButtonOnly) {
    ButtonSpies spies(menu);
    struct Case {
        Qt::Key key;
        const char* pressed;
    };
    const Case whileDisabled[] = {{Qt::Key_B, "Command1"}, {Qt::Key_R, ""},         {Qt::Key_L, ""},
                                  {Qt::Key_E, "Command4"}, {Qt::Key_I, "Command5"}, {Qt::Key_X, ""}};
    for (const Case& c : whileDisabled) {
        QTest::keyClick(&menu, c.key, Qt::AltModifier);
        EXPECT_EQ(spies.take(), QString::fromLatin1(c.pressed))
            << QKeySequence(c.key).toString().toStdString();
    }
    menu.readmeButton->setEnabled(true);
    menu.licenseButton->setEnabled(true);
    QTest::keyClick(&menu, Qt::Key_R, Qt::AltModifier);
    EXPECT_EQ(spies.take(), u"Command2");
    QTest::keyClick(&menu, Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(spies.take(), u"Command3");
    // Without Alt the letters are plain keys.
    QTest::keyClick(&menu, Qt::Key_B);
    EXPECT_EQ(spies.take(), u"");
}

TEST_F(KeyboardTest, EnterAndEscapePressNoButton) {
    logic.present(threeEntries());
    menu.connectTo(logic);
    fake.calls.clear();
    ButtonSpies spies(menu);
    for (QWidget* focus :
         std::initializer_list<QWidget*>{menu.picture, menu.programList, menu.sizeBox, menu.descriptionBox}) {
        SCOPED_TRACE(focus->objectName().toStdString());
        focus->setFocus();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(QApplication::focusWidget(), key);
            EXPECT_EQ(spies.take(), u"") << QKeySequence(key).toString().toStdString();
        }
        EXPECT_TRUE(menu.isVisible());
    }
    EXPECT_TRUE(fake.calls.empty()) << fake.calls.front();
}

// The rendered window after start-up: grabbed, and read at points away from any text.
class RenderTest : public ::testing::Test {
protected:
    static constexpr QRgb window = 0x336699, labelBack = 0xFFEEDD, labelText = 0x102030, listBack = 0xCCFFCC,
                          listText = 0x400000, sizeBack = 0xFFCCEE, sizeText = 0x004000, descBack = 0xEEEEFF,
                          descText = 0x000040;

    static std::int32_t value(QRgb rgb) { return qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16); }

    QImage render(std::int32_t firstSize) {
        catalogue::Module1 m = threeEntries();
        m.ProgramSize[1] = firstSize;
        m.ColourTable = {value(window),   value(labelBack), value(labelText),
                         value(listBack), value(listText),  value(sizeBack),
                         value(sizeText), value(descBack),  value(descText)};
        logic.present(std::move(m));
        showActive(menu);
        return menu.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // The colour that covers most of `rect` (window coordinates): the background under any text.
    static QRgb dominant(const QImage& image, const QRect& rect) {
        QHash<QRgb, int> count;
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x) ++count[image.pixel(x, y) & 0xFFFFFF];
        }
        QRgb best = 0;
        int most = -1;
        for (auto it = count.cbegin(); it != count.cend(); ++it) {
            if (it.value() > most) std::tie(best, most) = std::pair(it.key(), it.value());
        }
        return best;
    }

    // The inside of a control with a two-pixel border.
    static QRect inner(const char* name) { return windowRect(name).adjusted(2, 2, -2, -2); }

    platform::FakePlatform fake;
    MenuWindow menu;
    core::Menu logic{menu, fake};
};

TEST_F(RenderTest, ColoursOfTheWindowPanelsBoxesAndPicture) {
    const QImage image = render(1200);
    ASSERT_EQ(image.size(), QSize(377, 345));

    const QRgb blue = 0x0000FF, grey = 0xC0C0C0, yellow = 0xFFFF00;
    struct Case {
        const char* where;
        QPoint point;
        QRgb colour;
    };
    const Case cases[] = {
        {"window, top left corner", {3, 3}, window},
        {"window, between picture and count line", windowRect("Picture1").topRight() + QPoint(3, 30), window},
        {"window, left of the picture", windowRect("Picture1").topLeft() + QPoint(-4, 40), window},
        {"Frame1 above the install button", windowRect("Frame1").topLeft() + QPoint(20, 3), blue},
        {"Frame1 below the install button", windowRect("Command5").bottomLeft() + QPoint(10, 4), blue},
        {"Frame2 right of the buttons", windowRect("Command1").topRight() + QPoint(4, 40), blue},
        {"Frame2 below the exit button", windowRect("Command4").bottomLeft() + QPoint(20, 3), blue},
        {"Frame3 left of the list", windowRect("List1").topLeft() + QPoint(-4, 50), grey},
        {"Frame3 below the list", windowRect("List1").bottomLeft() + QPoint(30, 8), grey},
        {"Frame4 right of the size box", windowRect("Text1").topRight() + QPoint(6, 10), grey},
        {"Frame5 left of the description", windowRect("Text2").topLeft() + QPoint(-4, 50), grey},
        {"Frame5 right of the description", windowRect("Text2").topRight() + QPoint(3, 50), grey},
        {"Frame5 at the bottom edge", {200, 344}, grey},
        {"picture, top left bitmap pixel", windowRect("Picture1").topLeft() + QPoint(2, 2), blue},
        {"picture, bottom right bitmap pixel", windowRect("Picture1").bottomRight() - QPoint(2, 2), blue},
        {"list, lower part", inner("List1").bottomRight() - QPoint(40, 10), listBack},
        {"size box, right end", inner("Text1").bottomRight() - QPoint(2, 2), sizeBack},
        {"description box, lower part", inner("Text2").bottomRight() - QPoint(40, 10), descBack},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(image.pixel(c.point) & 0xFFFFFF, c.colour)
            << c.where << " at " << c.point.x() << "," << c.point.y() << ": " << std::hex
            << (image.pixel(c.point) & 0xFFFFFF);
    }

    // Where text is drawn, its background still covers most of the box.
    const std::pair<const char*, QRgb> areas[] = {
        {"Label6", labelBack}, {"Label1", labelBack}, {"Label3", labelBack}, {"Label5", labelBack},
        {"Label7", yellow},    {"List1", listBack},   {"Text2", descBack},
    };
    for (const auto& [name, colour] : areas) {
        // The real geometry, since one-line labels may be wider; the bottom rows may be covered.
        QWidget* widget = child(menu, name);
        const QRect rect(widget->mapTo(&menu, QPoint(0, 0)), widget->size() - QSize(0, 3));
        const QRgb got = dominant(image, rect);
        EXPECT_EQ(got, colour) << name << ": " << std::hex << got;
    }
    if (HasFailure()) {
        const QString saved = QDir::temp().filePath(QStringLiteral("discmenu-render-test.png"));
        image.save(saved);
        ADD_FAILURE() << "the rendered window is in " << saved.toStdString();
    }
}

TEST_F(RenderTest, ASizeOfZeroLeavesAnEmptyGreyPanel) {
    const QImage image = render(0);
    // Frame3 and Frame5 overlap its left and bottom edges, the window cuts off its right edge; the
    // rest is Frame4 alone.
    const QRect visible(QPoint(windowRect("Frame3").right() + 1, windowRect("Frame4").top()),
                        QPoint(376, windowRect("Frame5").top() - 1));
    ASSERT_TRUE(windowRect("Frame4").contains(visible));
    int notGrey = 0;
    for (int y = visible.top(); y <= visible.bottom(); ++y) {
        for (int x = visible.left(); x <= visible.right(); ++x)
            notGrey += (image.pixel(x, y) & 0xFFFFFF) != 0xC0C0C0;
    }
    EXPECT_EQ(notGrey, 0) << "in " << visible.x() << "," << visible.y() << " " << visible.width() << "x"
                          << visible.height();
}

// The user's keys, clicks and double clicks reach the logic; what the logic writes shows.
class EventTest : public LayoutTest {
protected:
    void SetUp() override {
        logic.present(threeEntries());
        menu.connectTo(logic);
        fake.calls.clear();
        menu.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    }
};

TEST_F(EventTest, ArrowKeysRefreshTheDetailsAsClicksDo) {
    menu.programList->setFocus();
    const std::pair<Qt::Key, int> presses[] = {{Qt::Key_Down, 2}, {Qt::Key_Down, 3}, {Qt::Key_Up, 2}};
    for (const auto& [key, n] : presses) {
        QTest::keyClick(menu.programList, key);
        EXPECT_EQ(menu.programList->currentRow(), n - 1);
        EXPECT_EQ(menu.sizeBox->text(), QString::number(n * 100));
        EXPECT_EQ(menu.descriptionBox->toPlainText(), QStringLiteral("Description of program %1.").arg(n));
    }
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(EventTest, ADoubleClickInstallsTheItemUnderThePointer) {
    const QPoint centre = menu.programList->visualItemRect(menu.programList->item(2)).center();
    // A real double click: press and release, then the second press arrives as a double click.
    QTest::mouseClick(menu.programList->viewport(), Qt::LeftButton, {}, centre);
    // The highlight moved by keyboard between the two clicks: the double click still counts where it is.
    menu.programList->setCurrentRow(0);
    QTest::mouseDClick(menu.programList->viewport(), Qt::LeftButton, {}, centre);
    EXPECT_EQ(menu.programList->currentRow(), 2);
    EXPECT_EQ(menu.descriptionBox->toPlainText(), "Description of program 3.");
    EXPECT_EQ(fake.callsTo("shell "), std::vector<std::string>{"shell setup.sh in /media/cdrom/program3"});
}

// A screen reader or voice control selects an item through the list's accessible table (a row,
// or a cell's action) without moving the current item: the highlight, the details and the install
// follow what it selected.
TEST_F(EventTest, AnItemSelectedThroughTheAccessibleListIsHighlightedAndInstalled) {
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(menu.programList);
    ASSERT_TRUE(list && list->tableInterface());
    const auto toggleCell = [list](int row) {
        QAccessibleInterface* cell = list->tableInterface()->cellAt(row, 0);
        if (!cell || !cell->actionInterface()) return false;
        cell->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        return true;
    };
    const std::pair<std::function<bool(int)>, int> selections[] = {
        {[list](int row) { return list->tableInterface()->selectRow(row); }, 2},
        {[list](int row) { return list->tableInterface()->selectRow(row); }, 0},
        {toggleCell, 1},
    };
    for (const auto& [select, row] : selections) {
        SCOPED_TRACE(row);
        fake.calls.clear();
        ASSERT_TRUE(select(row));
        EXPECT_EQ(menu.programList->currentRow(), row);
        EXPECT_EQ(menu.sizeBox->text(), QString::number((row + 1) * 100));
        QTest::mouseClick(menu.installButton, Qt::LeftButton);
        EXPECT_EQ(fake.callsTo("shell "), std::vector<std::string>{"shell setup.sh in /media/cdrom/program" +
                                                                   std::to_string(row + 1)});
    }
}

TEST_F(EventTest, ButtonsReachTheirActionsOnlyWhenEnabled) {
    menu.setEnabled(core::Control::ReadmeButton, false);
    menu.setEnabled(core::Control::LicenseButton, false);
    QTest::mouseClick(menu.readmeButton, Qt::LeftButton);
    QTest::mouseClick(menu.licenseButton, Qt::LeftButton);
    EXPECT_TRUE(fake.calls.empty());

    menu.setEnabled(core::Control::ReadmeButton, true);
    menu.setEnabled(core::Control::LicenseButton, true);
    const std::pair<QPushButton*, const char*> cases[] = {
        {menu.browseButton, "showOpen "},
        {menu.readmeButton, "winExec C:\\Windows\\Notepad.exe readme.txt (1)"},
        {menu.licenseButton, "winExec C:\\Windows\\Notepad.exe license.txt (1)"},
        {menu.installButton, "shell setup.sh in /media/cdrom/program1"},
        {menu.exitButton, "endProgram 0"},
    };
    for (const auto& [button, call] : cases) {
        fake.calls.clear();
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(fake.callsTo(call).size(), 1u) << button->objectName().toStdString();
    }
    EXPECT_FALSE(menu.isVisible()) << "Exit unloads the window";
}

TEST(MenuWindow, ExitEndsTheEventLoopWithStatusZero) {
    qt::QtPlatform real;
    MenuWindow menu;
    core::Menu logic(menu, real);
    logic.present(threeEntries());
    menu.connectTo(logic);
    menu.show();
    QTimer::singleShot(0, &menu, [&] { menu.exitButton->click(); });
    // A second timer would fail the test if the loop were still running.
    QTimer::singleShot(5000, &menu, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
}

TEST(MenuWindow, CaptionIsShownAsWritten) {
    for (const char* caption : {"Title (Sub)", "Win [*] Pack (x)", "Éditions Été (Übersicht)"}) {
        MenuWindow menu;
        menu.setCaption(caption);
        menu.winId();  // the frame's title is set on the native window
        EXPECT_EQ(menu.windowHandle()->title().toStdString(), caption);
    }
}

// Each colour lands in the palette role its widget paints with; system colours are the desktop's.
TEST_F(LayoutTest, ColoursLandInThePaletteRoleEachWidgetPaintsWith) {
    using core::ColourRole;
    using core::Control;
    struct Case {
        Control control;
        ColourRole role;
        QWidget* widget;
        QPalette::ColorRole paletteRole;
    };
    const Case cases[] = {
        {Control::Window, ColourRole::Background, &menu, QPalette::Window},
        {Control::CountLine, ColourRole::Background, menu.countLine, QPalette::Window},
        {Control::CountLine, ColourRole::Text, menu.countLine, QPalette::WindowText},
        {Control::ProgramList, ColourRole::Background, menu.programList, QPalette::Base},
        {Control::ProgramList, ColourRole::Text, menu.programList, QPalette::Text},
        {Control::SizeBox, ColourRole::Text, menu.sizeBox, QPalette::Text},
        {Control::DescriptionBox, ColourRole::Background, menu.descriptionBox, QPalette::Base},
    };
    const QPalette desktop = QApplication::palette();
    const std::pair<core::Colour, QColor> colours[] = {
        {{false, 0, 0x12, 0x34, 0x56}, QColor(0x12, 0x34, 0x56)},
        {{true, 15}, desktop.color(QPalette::Active, QPalette::Button)},  // button face
        {{true, 5}, desktop.color(QPalette::Active, QPalette::Base)},     // window background
        {{true, 8}, desktop.color(QPalette::Active, QPalette::Text)},     // window text
    };
    for (const Case& c : cases) {
        for (const auto& [colour, shown] : colours) {
            menu.setColour(c.control, c.role, colour);
            EXPECT_EQ(c.widget->palette().color(c.paletteRole), shown)
                << c.widget->objectName().toStdString() << " role " << c.paletteRole << " colour "
                << colour.systemIndex;
        }
    }
}

}  // namespace
