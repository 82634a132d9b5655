#include "menu/layout.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <array>
#include <map>
#include <vector>

#include "menu/colours.h"
#include "menu/widgets.h"

namespace menu {

int twipsToPixels(int twips) { return twips >= 0 ? (twips * 2 + 15) / 30 : -((-twips * 2 + 14) / 30); }

QRect twipsRect(int left, int top, int width, int height) {
    const int x = twipsToPixels(left);
    const int y = twipsToPixels(top);
    return {x, y, twipsToPixels(left + width) - x, twipsToPixels(top + height) - y};
}

namespace {

constexpr std::int32_t Blue = 0x00FF0000;
constexpr std::int32_t LightGrey = 0x00C0C0C0;
constexpr std::int32_t Yellow = 0x0000FFFF;
constexpr auto none = std::nullopt;

using K = Kind;
using F = FontKind;

// clang-format off
// name, kind, container, left, top, width, height, tab index, caption, font, background
constexpr ControlRow rows[] = {
    {"Frame5", K::Frame, nullptr, 0, 3120, 5652, 2052, 16, "Frame5", F::None, LightGrey},
    {"Text2", K::MultiLineTextBox, "Frame5", 120, 200, 5415, 1572, 18, "Text2", F::Regular, none},
    {"Label4", K::Label, "Frame5", 3600, 1800, 1872, 192, 20, "Date: 31. December 1999", F::Bold, none},
    {"Label5", K::Label, "Frame5", 120, 1800, 3024, 192, 19, "Published by Here will be the publisher", F::Bold, none},
    {"Label3", K::Label, "Frame5", 120, 0, 1548, 192, 17, "Program description", F::Bold, none},
    {"Frame4", K::Frame, nullptr, 4450, 2400, 1212, 732, 13, "Frame4", F::None, LightGrey},
    {"Text1", K::TextBox, "Frame4", 240, 380, 732, 288, 15, "Text1", F::Regular, none},
    {"Label2", K::Label, "Frame4", 240, 0, 780, 432, 14, "Size in Kb (installed)", F::Bold, none},
    {"Frame3", K::Frame, nullptr, 0, 1000, 4572, 2136, 9, "Frame3", F::None, LightGrey},
    {"List1", K::ListBox, "Frame3", 120, 180, 4332, 1680, 12, "", F::Bold, none},
    {"Label7", K::Label, "Frame3", 2880, 0, 1500, 210, 11, "Double Click to install", F::Hint, Yellow},
    {"Label1", K::Label, "Frame3", 120, 0, 1548, 192, 10, "Programs on this CD", F::Bold, none},
    {"Frame2", K::Frame, nullptr, 4560, 0, 1092, 2402, 4, "Frame2", F::None, Blue},
    {"Command4", K::Button, "Frame2", 120, 1920, 852, 372, 8, "&Exit", F::Regular, none},
    {"Command3", K::Button, "Frame2", 120, 1320, 852, 492, 7, "Show &License", F::Regular, none},
    {"Command2", K::Button, "Frame2", 120, 720, 852, 492, 6, "Show &Readme", F::Regular, none},
    {"Command1", K::Button, "Frame2", 120, 120, 852, 492, 5, "&Browse CD", F::Regular, none},
    {"Frame1", K::Frame, nullptr, 3480, 0, 1212, 987, 2, "Frame1", F::None, Blue},
    {"Command5", K::Button, "Frame1", 120, 120, 975, 732, 3, "&Install highlighted program", F::Bold, none},
    {"Picture1", K::Picture, nullptr, 120, 80, 2430, 960, 0, "", F::None, none},
    {"Label6", K::Label, nullptr, 2640, 120, 1095, 855, 1, "2 Great Programs ready for installation", F::Bold, none},
};
// clang-format on

QFont fontFor(FontKind kind) {
    // Arial at 7.5 pt and 8.25 pt are 10 and 11 pixels at 96 dpi; pixel sizes keep the layout
    // independent of the desktop's font resolution, while Qt's scaling still applies.
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kind == FontKind::Hint ? 11 : 10);
    font.setWeight(kind == FontKind::Bold ? QFont::Bold : QFont::Normal);
    return font;
}

QWidget* create(const ControlRow& row, QWidget* parent) {
    const QString caption = QString::fromUtf8(row.caption);
    switch (row.kind) {
        case Kind::Frame:
            return new Panel(parent);
        case Kind::Label: {
            auto* label = new QLabel(caption, parent);
            label->setTextFormat(Qt::PlainText);  // catalogue text is shown as written
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setAutoFillBackground(true);
            return label;
        }
        case Kind::TextBox: {
            auto* box = new QLineEdit(caption, parent);
            box->setReadOnly(true);
            return box;
        }
        case Kind::MultiLineTextBox: {
            auto* box = new QPlainTextEdit(caption, parent);
            box->setReadOnly(true);
            box->setTabChangesFocus(true);
            box->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
            return box;
        }
        case Kind::ListBox: {
            auto* list = new QListWidget(parent);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            list->setSortingEnabled(false);
            list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            list->setUniformItemSizes(true);
            return list;
        }
        case Kind::Button: {
            return new Button(caption, parent);
        }
        case Kind::Picture:
            return new PictureBox(parent);
    }
    return nullptr;
}

}  // namespace

std::span<const ControlRow> layoutTable() { return rows; }

void widenToFit(QLabel* label) {
    const int room = label->parentWidget() ? label->parentWidget()->width() - label->x() : label->width();
    const int wanted = std::min(label->sizeHint().width(), room);
    if (wanted > label->width()) label->resize(wanted, label->height());
}

void buildLayout(QWidget* window, QStyle* style) {
    std::map<std::string, QWidget*> made;
    std::vector<std::pair<int, QWidget*>> keyboardOrder;
    for (const ControlRow& row : rows) {
        QWidget* parent = row.container ? made.at(row.container) : window;
        QWidget* widget = create(row, parent);
        widget->setObjectName(QString::fromUtf8(row.name));
        widget->setStyle(style);
        widget->setGeometry(twipsRect(row.left, row.top, row.width, row.height));
        if (row.font != FontKind::None) widget->setFont(fontFor(row.font));
        if (row.background) applyColour(widget, QPalette::Window, *row.background);
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            // The count line and the size heading wrap within their boxes; the one-line labels
            // widen to fit a longer text rather than cut it.
            const bool wraps = row.height >= 2 * 192;
            label->setWordWrap(wraps);
            if (!wraps) widenToFit(label);
        }
        if (row.kind == Kind::Label || row.kind == Kind::Frame) {
            widget->setFocusPolicy(Qt::NoFocus);
        } else {
            keyboardOrder.emplace_back(row.tabIndex, widget);
        }
        made[row.name] = widget;
    }
    // Where windowed controls overlap, the panels that hold the list, the description and the
    // install button are in front, so that none of their own controls is cut; the picture's
    // border shows in full. Labels lie beneath every windowed control.
    for (const char* name : {"Frame4", "Frame3", "Frame5", "Frame2", "Frame1", "Picture1"})
        made.at(name)->raise();
    for (const ControlRow& row : rows) {
        if (row.kind == Kind::Label) made.at(row.name)->lower();
    }
    std::sort(keyboardOrder.begin(), keyboardOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < keyboardOrder.size(); ++i) {
        QWidget::setTabOrder(keyboardOrder[i - 1].second, keyboardOrder[i].second);
    }
}

}  // namespace menu
