#pragma once
// The real menu window beside the editor: the Qt front end's window, presented by the menu's own
// logic from the tables being edited, on a platform on which nothing happens (its buttons start,
// open and close nothing). Clicking a program in it reports the entry.
#include <QWidget>
#include <memory>

#include "catalogue/catalogue.h"
#include "catalogue/document.h"
#include "platform/inert/inertplatform.h"

class QLabel;
class QScrollArea;

namespace core {
class Menu;
}
namespace qt {
class MenuWindow;
}

namespace editor {

// The tables the menu would hold for `fields`.
catalogue::Module1 tablesFrom(const catalogue::Fields& fields);

class LiveMenu final : public QWidget {
    Q_OBJECT
public:
    // `folder` is the medium's folder, where the menu would run.
    LiveMenu(const QString& folder, QWidget* parent);
    ~LiveMenu() override;

    // Presents `fields` afresh, as the menu's start-up does, then highlights entry `row` (0-based).
    void present(const catalogue::Fields& fields, int row);
    // Highlights entry `row` as the user would, so that its details show.
    void highlight(int row);

    qt::MenuWindow* window() const { return window_; }
    // The window's caption as the menu sets it.
    QString caption() const;

Q_SIGNALS:
    void entryClicked(int row);

private:
    platform::InertPlatform platform_;
    QLabel* caption_;
    QScrollArea* scroll_;
    qt::MenuWindow* window_ = nullptr;  // owned by the scroll area
    std::unique_ptr<core::Menu> menu_;
};

}  // namespace editor
