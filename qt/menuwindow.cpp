#include "qt/menuwindow.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <algorithm>

#include "core/menu.h"
#include "qt/colours.h"
#include "qt/pictures.h"
#include "qt/widgets.h"

// The pictures are compiled into this static library; make sure they are registered.
static void initResources() { Q_INIT_RESOURCE(menu); }

namespace qt {
namespace {

using core::Control;

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

QAccessible::Role qtRole(core::AccessibleRole role) {
    switch (role) {
        case core::AccessibleRole::Frame:
            return QAccessible::Window;
        case core::AccessibleRole::Panel:
            return QAccessible::Pane;
        case core::AccessibleRole::Label:
            return QAccessible::StaticText;
        case core::AccessibleRole::ReadOnlyText:
            return QAccessible::EditableText;
        case core::AccessibleRole::List:
            return QAccessible::List;
        case core::AccessibleRole::Button:
            return QAccessible::PushButton;
        case core::AccessibleRole::Picture:
            return QAccessible::Graphic;
    }
    return QAccessible::Pane;
}

// Qt gives a QFrame (the panels, the picture box) the role "frame", which screen readers take for
// a top-level window: they drop the focus events inside one that is not active. The window itself
// would be a "filler". These three get the role the core gives them; Qt's own classes keep Qt's
// interfaces.
QAccessibleInterface* accessibleFor(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || !(qobject_cast<MenuWindow*>(widget) || qobject_cast<Panel*>(widget) ||
                     qobject_cast<PictureBox*>(widget)))
        return nullptr;
    Control control = Control::Window;
    for (const core::ControlRow& row : core::layoutTable()) {
        if (widget->objectName() == QLatin1String(row.name)) control = row.control;
    }
    return new QAccessibleWidget(widget, qtRole(core::accessibleRole(control)));
}

}  // namespace

MenuWindow::MenuWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      // The classic look the layout was drawn for, with two-pixel sunken borders.
      style_(QStyleFactory::create(QStringLiteral("Windows"))) {
    initResources();
    static const bool accessibleRoles = (QAccessible::installFactory(accessibleFor), true);
    (void)accessibleRoles;
    setObjectName(QStringLiteral("TheMenu"));
    setStyle(style_.get());
    setWindowTitle(QString::fromUtf8(core::PlaceholderCaption));
    setWindowIcon(QIcon(QPixmap::fromImage(readIcon(QStringLiteral(":/discmenu/discmenu.ico")))));
    setFixedSize(core::twipsToPixels(core::ClientWidth), core::twipsToPixels(core::ClientHeight));
    setAutoFillBackground(true);

    controls_ = buildLayout(this, style_.get());
    const auto as = [this]<typename T>(Control c, T*& member) { member = static_cast<T*>(control(c)); };
    as(Control::InstallPanel, installPanel);
    as(Control::ButtonPanel, buttonPanel);
    as(Control::ListPanel, listPanel);
    as(Control::SizePanel, sizePanel);
    as(Control::DescriptionPanel, descriptionPanel);
    as(Control::ListHeading, listHeading);
    as(Control::SizeHeading, sizeHeading);
    as(Control::DescriptionHeading, descriptionHeading);
    as(Control::DateLine, dateLine);
    as(Control::PublisherLine, publisherLine);
    as(Control::CountLine, countLine);
    as(Control::DoubleClickHint, doubleClickHint);
    as(Control::BrowseButton, browseButton);
    as(Control::ReadmeButton, readmeButton);
    as(Control::LicenseButton, licenseButton);
    as(Control::ExitButton, exitButton);
    as(Control::InstallButton, installButton);
    as(Control::ProgramList, programList);
    as(Control::SizeBox, sizeBox);
    as(Control::DescriptionBox, descriptionBox);
    as(Control::Picture, picture);

    picture->setPixmap(QPixmap::fromImage(readBitmap(QStringLiteral(":/discmenu/picture.bmp"))));

    // Names a screen reader speaks where a control is named by another's text (the headings for
    // the boxes they head, the caption for the picture); the others are named by their own.
    for (const core::ControlRow& row : core::layoutTable()) {
        if (core::accessibleNameFrom(row.control) != row.control)
            control(row.control)
                ->setAccessibleName(QString::fromStdString(core::accessibleName(row.control)));
        control(row.control)
            ->setAccessibleDescription(QString::fromUtf8(core::accessibleDescription(row.control)));
    }
    describe();
    programList->installEventFilter(this);
    // The highlight is the list's current item. A screen reader or voice control selects an item
    // through the list's selection alone, which leaves the current item where it was: the current
    // item follows the selection, so that the item selected is the one the menu installs. Mouse
    // and keyboard move both together and are left alone.
    connect(programList, &QListWidget::itemSelectionChanged, this, [list = programList] {
        const QList<QListWidgetItem*> selected = list->selectedItems();
        if (selected.size() == 1 && selected.first() != list->currentItem())
            list->setCurrentItem(selected.first());
    });

    picture->setFocus();
}

MenuWindow::~MenuWindow() = default;

void MenuWindow::connectTo(core::Menu& menu) {
    menu_ = &menu;
    // The highlight changes by mouse and by keyboard; the logic's own highlight is not an event.
    connect(programList, &QListWidget::currentRowChanged, this, [this, &menu](int) {
        if (!selecting_) menu.highlightChanged();
    });
    // A double click highlights the item under the pointer first, as its first click would: when
    // the highlight moved by keyboard between the two clicks, the view would not move it back.
    connect(programList, &QListWidget::itemDoubleClicked, this, [this, &menu](QListWidgetItem* item) {
        if (item) programList->setCurrentItem(item);
        menu.doubleClicked();
    });
    for (Control button : {Control::BrowseButton, Control::ReadmeButton, Control::LicenseButton,
                           Control::ExitButton, Control::InstallButton}) {
        connect(static_cast<QPushButton*>(control(button)), &QPushButton::clicked, this,
                [&menu, button] { menu.clicked(button); });
    }
}

void MenuWindow::setCaption(const std::string& text) {
    // Qt reads "[*]" in a title as a placeholder; doubling it shows it as written.
    QString caption = fromUtf8(text);
    for (const core::ControlRow& row : core::layoutTable()) {
        if (core::accessibleNameFrom(row.control) == Control::Window)
            control(row.control)->setAccessibleName(caption);
    }
    setWindowTitle(caption.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
}

void MenuWindow::setText(Control c, const std::string& text) {
    QWidget* widget = control(c);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(fromUtf8(text));
        if (!label->wordWrap()) widenToFit(label);
        const auto lines = core::windowDescriptionLines();
        if (std::find(lines.begin(), lines.end(), c) != lines.end()) describe();
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        line->setText(fromUtf8(text));
        // The cursor at the start, where a screen reader begins to read (Qt leaves it at the end).
        line->setCursorPosition(0);
    } else if (auto* box = qobject_cast<QPlainTextEdit*>(widget)) {
        box->setPlainText(fromUtf8(text));
    }
}

std::string MenuWindow::text(Control c) const {
    QWidget* widget = control(c);
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text().toStdString();
    if (auto* line = qobject_cast<QLineEdit*>(widget)) return line->text().toStdString();
    if (auto* box = qobject_cast<QPlainTextEdit*>(widget)) return box->toPlainText().toStdString();
    return {};
}

void MenuWindow::describe() {
    setAccessibleDescription(fromUtf8(core::windowDescription([this](Control c) { return text(c); })));
}

void MenuWindow::setVisible(Control c, bool visible) { control(c)->setVisible(visible); }

void MenuWindow::setEnabled(Control c, bool enabled) { control(c)->setEnabled(enabled); }

void MenuWindow::setColour(Control c, core::ColourRole role, core::Colour colour) {
    QWidget* widget = control(c);
    // Labels and the window paint their background and text; the list and the boxes their base.
    const bool boxed = c == Control::ProgramList || c == Control::SizeBox || c == Control::DescriptionBox;
    const QPalette::ColorRole paletteRole = role == core::ColourRole::Background
                                                ? (boxed ? QPalette::Base : QPalette::Window)
                                                : (boxed ? QPalette::Text : QPalette::WindowText);
    applyColour(widget, paletteRole, colour);
}

void MenuWindow::addListItem(const std::string& text) { programList->addItem(fromUtf8(text)); }

void MenuWindow::selectListItem(int index) {
    selecting_ = true;
    programList->setCurrentRow(index);
    selecting_ = false;
}

int MenuWindow::selectedListItem() const { return programList->currentRow(); }

std::string MenuWindow::listItem(int index) const {
    const QListWidgetItem* item = programList->item(index);
    return item ? item->text().toStdString() : std::string();
}

void MenuWindow::close() {
    closed_ = true;
    hide();
}

void MenuWindow::closeEvent(QCloseEvent* event) {
    // Closing the window from its frame ends the program as Exit does, through the logic; the
    // logic hides the window itself.
    if (menu_ && !closed_) {
        event->ignore();
        menu_->closeRequested();
        return;
    }
    QWidget::closeEvent(event);
}

bool MenuWindow::eventFilter(QObject* watched, QEvent* event) {
    // Getting the focus, the list tells screen readers of its current item first and then Qt
    // tells them of the list, so that they say "list" and not which program is highlighted.
    // The current item is told again once the list's own focus event is out.
    if (watched == programList && event->type() == QEvent::FocusIn) {
        QTimer::singleShot(0, programList, [list = programList] {
            if (!QAccessible::isActive() || !list->hasFocus() || list->currentRow() < 0) return;
            QAccessibleEvent focus(list, QAccessible::Focus);
            focus.setChild(list->currentRow());
            QAccessible::updateAccessibility(&focus);
        });
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace qt
