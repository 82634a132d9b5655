#include "editor/colourbutton.h"

#include <QActionGroup>
#include <QApplication>
#include <QColorDialog>
#include <QEvent>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <array>

#include "core/colour.h"
#include "qt/colours.h"

namespace editor {
namespace {

constexpr std::uint32_t SystemBit = 0x80000000u;

constexpr std::array<const char*, core::SystemColourCount> systemColourNames{
    "scroll bar",
    "desktop",
    "active title bar",
    "inactive title bar",
    "menu bar",
    "window background",
    "window frame",
    "menu text",
    "window text",
    "title bar text",
    "active border",
    "inactive border",
    "application workspace",
    "highlight (selected item)",
    "highlighted text",
    "button face",
    "button shadow",
    "grey (disabled) text",
    "button text",
    "inactive title bar text",
    "button highlight",
    "3D dark shadow",
    "3D light",
    "tooltip text",
    "tooltip background",
};

std::int32_t systemValue(int index) { return std::int32_t(SystemBit | std::uint32_t(index)); }

// A swatch as tall as the button's text, framed so that a colour like the background still shows.
QIcon swatch(const std::optional<QColor>& colour, const QFontMetrics& metrics, qreal ratio) {
    const int side = metrics.height();
    QPixmap pixmap(QSize(side * 2, side) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const QRectF box(0.5, 0.5, side * 2 - 1, side - 1);
    if (colour) {
        painter.fillRect(box, *colour);
    } else {
        painter.drawLine(box.bottomLeft(), box.topRight());
    }
    painter.setPen(QApplication::palette().color(QPalette::WindowText));
    painter.drawRect(box);
    return QIcon(pixmap);
}

}  // namespace

QString systemColourName(int index) {
    if (index < 0 || index >= core::SystemColourCount) return {};
    return QString::fromLatin1(systemColourNames[std::size_t(index)]);
}

QString describeColourValue(std::int32_t value) {
    const auto decoded = core::decodeColour(value);
    if (!decoded) {
        return QStringLiteral("%1: no colour (the control keeps its own)").arg(value);
    }
    if (decoded->system) {
        return QStringLiteral("system colour %1, %2")
            .arg(QString::number(decoded->systemIndex), systemColourName(decoded->systemIndex));
    }
    return QStringLiteral("%1 (%2)").arg(QColor(decoded->red, decoded->green, decoded->blue).name(),
                                         QString::number(value));
}

std::int32_t plainColourValue(const QColor& colour) {
    return std::int32_t(std::uint32_t(colour.red()) | std::uint32_t(colour.green()) << 8 |
                        std::uint32_t(colour.blue()) << 16);
}

ColourButton::ColourButton(const QString& what, QWidget* parent) : QToolButton(parent), what_(what) {
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setPopupMode(QToolButton::InstantPopup);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(what + QStringLiteral(" colour"));

    auto* menu = new QMenu(this);
    menu->addAction(QStringLiteral("&Any colour..."), this, &ColourButton::chooseAnyColour);
    QMenu* system = menu->addMenu(QStringLiteral("&System colour (follows the desktop)"));
    for (int index = 0; index < core::SystemColourCount; ++index) {
        system->addAction(QStringLiteral("%1 %2").arg(QString::number(index), systemColourName(index)), this,
                          [this, index] {
                              setValue(systemValue(index));
                              Q_EMIT valueChosen(value_);
                          });
    }
    setMenu(menu);
    refresh();
}

void ColourButton::setValue(std::int32_t value) {
    if (value == value_) return;
    value_ = value;
    refresh();
}

void ColourButton::changeEvent(QEvent* event) {
    // System colours follow the desktop's palette, and the swatch its font.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) refresh();
    QToolButton::changeEvent(event);
}

void ColourButton::chooseAnyColour() {
    const QColor start = qt::colourFromValue(value_, QApplication::palette()).value_or(Qt::white);
    const QColor chosen = QColorDialog::getColor(start, this, what_ + QStringLiteral(" colour"));
    if (!chosen.isValid()) return;
    setValue(plainColourValue(chosen));
    Q_EMIT valueChosen(value_);
}

void ColourButton::refresh() {
    const QString description = describeColourValue(value_);
    setText(description);
    setIcon(swatch(qt::colourFromValue(value_, QApplication::palette()), fontMetrics(), devicePixelRatioF()));
    setIconSize(QSize(fontMetrics().height() * 2, fontMetrics().height()));
    setAccessibleDescription(description);
    setToolTip(QStringLiteral("%1 colour: %2 (value %3)").arg(what_, description, QString::number(value_)));
}

}  // namespace editor
