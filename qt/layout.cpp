#include "qt/layout.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <span>

#include "qt/colours.h"
#include "qt/widgets.h"

namespace qt {

QRect twipsRect(const core::ControlRow& row) {
    const core::PixelRect r = core::pixelRect(row);
    return {r.x, r.y, r.width, r.height};
}

namespace {

using core::Control;
using core::ControlRow;
using core::FontKind;
using core::Kind;

QFont fontFor(FontKind kind) {
    // Arial at 7.5 pt and 8.25 pt are 10 and 11 pixels at 96 dpi; pixel sizes keep the layout
    // independent of the desktop's font resolution, while Qt's scaling still applies.
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(core::fontPixels(kind));
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

void widenToFit(QLabel* label) {
    const int room = label->parentWidget() ? label->parentWidget()->width() - label->x() : label->width();
    const int wanted = std::min(label->sizeHint().width(), room);
    if (wanted > label->width()) label->resize(wanted, label->height());
}

Controls buildLayout(QWidget* window, QStyle* style) {
    Controls made{};
    made[int(Control::Window)] = window;
    for (const ControlRow& row : core::layoutTable()) {
        QWidget* widget = create(row, made[int(row.container)]);
        widget->setObjectName(QString::fromUtf8(row.name));
        widget->setStyle(style);
        widget->setGeometry(twipsRect(row));
        if (row.font != FontKind::None) widget->setFont(fontFor(row.font));
        if (row.background) applyColour(widget, QPalette::Window, *row.background);
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            // The one-line labels widen to fit a longer text rather than cut it.
            label->setWordWrap(core::wrapsText(row));
            if (!label->wordWrap()) widenToFit(label);
        }
        if (!core::takesFocus(row)) widget->setFocusPolicy(Qt::NoFocus);
        widget->setEnabled(row.enabled);
        made[int(row.control)] = widget;
    }
    for (Control c : core::FrontOrder) made[int(c)]->raise();
    for (const ControlRow& row : core::layoutTable()) {
        if (core::liesBeneath(row)) made[int(row.control)]->lower();
    }
    const std::span<const Control> order = core::keyboardOrder();
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(made[int(order[i - 1])], made[int(order[i])]);
    return made;
}

}  // namespace qt
