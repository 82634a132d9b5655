#pragma once
// The menu window on Linux: Qt widgets built from the layout table, shown as the menu's logic
// (core::Menu) writes them, with the user's events forwarded to it.
#include <QWidget>
#include <memory>

#include "core/window.h"
#include "qt/layout.h"

class QCloseEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStyle;

namespace core {
class Menu;
}

namespace qt {

class Panel;
class PictureBox;

class MenuWindow final : public QWidget, public core::Window {
    Q_OBJECT
public:
    explicit MenuWindow(QWidget* parent = nullptr);
    ~MenuWindow() override;
    MenuWindow(const MenuWindow&) = delete;
    MenuWindow& operator=(const MenuWindow&) = delete;

    // Forwards the user's events (highlight, double click, buttons, closing) to `menu` from now on.
    void connectTo(core::Menu& menu);

    QWidget* control(core::Control control) const { return controls_[int(control)]; }

    // core::Window
    void setCaption(const std::string& text) override;
    void setText(core::Control control, const std::string& text) override;
    std::string text(core::Control control) const override;
    void setVisible(core::Control control, bool visible) override;
    void setEnabled(core::Control control, bool enabled) override;
    void setColour(core::Control control, core::ColourRole role, core::Colour colour) override;
    void addListItem(const std::string& text) override;
    void selectListItem(int index) override;
    int selectedListItem() const override;
    std::string listItem(int index) const override;
    void close() override;

    // The controls, by what they are for.
    Panel *installPanel, *buttonPanel, *listPanel, *sizePanel, *descriptionPanel;
    QLabel *listHeading, *sizeHeading, *descriptionHeading, *dateLine, *publisherLine, *countLine,
        *doubleClickHint;
    QPushButton *browseButton, *readmeButton, *licenseButton, *exitButton, *installButton;
    QListWidget* programList;
    QLineEdit* sizeBox;
    QPlainTextEdit* descriptionBox;
    PictureBox* picture;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void describe();  // the window's description for screen readers, from its lines

    std::unique_ptr<QStyle> style_;
    Controls controls_;
    core::Menu* menu_ = nullptr;
    bool selecting_ = false;  // the logic is setting the highlight itself
    bool closed_ = false;
};

}  // namespace qt
