#pragma once
// What the list's double click and the buttons do: install the highlighted program, show the
// readme or the licence, browse the medium, and exit.
#include <QObject>

namespace menu {
class TheMenu;
}
namespace platform {
class Platform;
}

namespace actions {

class Actions final : public QObject {
    Q_OBJECT
public:
    // Connects the window's buttons and double click to the handlers below.
    Actions(menu::TheMenu& menu, platform::Platform& platform);

    // Installs the highlighted program: changes into its folder, starts its command, brings the
    // started program forward and makes the menu's own folder current again. A folder or command
    // that fails is reported to the user; the menu stays open with its selection.
    void Command5_Click();
    // Runs List1_Click, then Command5_Click.
    void List1_DblClick();
    // Opens the file-open dialog on the medium; whatever is picked is neither opened nor kept.
    void Command1_Click();
    // Shows the readme / the licence in the text viewer.
    void Command2_Click();
    void Command3_Click();
    // Unloads the window and ends the program.
    void Command4_Click();

private:
    menu::TheMenu& menu_;
    platform::Platform& platform_;
};

}  // namespace actions
