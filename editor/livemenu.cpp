#include "editor/livemenu.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <QVBoxLayout>

#include "core/menu.h"
#include "qt/menuwindow.h"

namespace editor {

catalogue::Module1 tablesFrom(const catalogue::Fields& fields) {
    return catalogue::fields::tablesFromFields(fields);
}

LiveMenu::LiveMenu(const QString& folder, QWidget* parent)
    : QWidget(parent), platform_(folder.toStdString()) {
    setObjectName(QStringLiteral("liveMenu"));
    auto* layout = new QVBoxLayout(this);
    // The title bar is the desktop's: its text is shown above the window.
    caption_ = new QLabel(this);
    caption_->setObjectName(QStringLiteral("liveCaption"));
    caption_->setTextFormat(Qt::PlainText);
    caption_->setWordWrap(true);
    QFont bold = caption_->font();
    bold.setBold(true);
    caption_->setFont(bold);
    layout->addWidget(caption_);
    scroll_ = new QScrollArea(this);
    scroll_->setAccessibleName(QStringLiteral("The menu as it will look"));
    scroll_->setWidgetResizable(false);
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll_->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(scroll_, 1);
}

QString LiveMenu::caption() const { return window_ ? window_->windowTitle() : QString(); }

LiveMenu::~LiveMenu() = default;

void LiveMenu::present(const catalogue::Fields& fields, int row) {
    // The menu window is presented once, as at start-up (it appends to its list and only ever
    // enables its buttons): a new window for every change.
    QWidget* focus = QApplication::focusWidget();
    auto* window = new qt::MenuWindow;
    auto menu = std::make_unique<core::Menu>(*window, platform_);
    menu->present(tablesFrom(fields));

    // A picture of the menu, not a second program in the editor: it takes no focus and no access
    // keys (Alt+E would press its Exit button), and its buttons do nothing.
    for (QWidget* child : window->findChildren<QWidget*>()) child->setFocusPolicy(Qt::NoFocus);
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        button->setShortcut(QKeySequence());
        button->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    connect(window->programList, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int clicked = window_->programList->row(item);
        menu_->highlightChanged();
        Q_EMIT entryClicked(clicked);
    });

    menu_ = std::move(menu);     // the previous logic goes before its window
    scroll_->setWidget(window);  // deletes the previous window
    window_ = window;
    scroll_->setMinimumSize(window->size() + QSize(2, 2) * scroll_->frameWidth());
    caption_->setText(QStringLiteral("Window caption: ") +
                      window->windowTitle().replace(QStringLiteral("[*][*]"), QStringLiteral("[*]")));
    highlight(row);
    if (focus && QApplication::focusWidget() != focus) focus->setFocus();
}

void LiveMenu::highlight(int row) {
    if (!window_ || row < 0 || row >= window_->programList->count()) return;
    if (window_->selectedListItem() == row) return;
    window_->selectListItem(row);
    menu_->highlightChanged();
}

}  // namespace editor
