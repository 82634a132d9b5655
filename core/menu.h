#pragma once
// The menu's behaviour, written once for every front end: what start-up writes where, the
// selection of a program, installing it, the documents, browsing and exit. It reaches the window
// only through core::Window and the system only through platform::Platform.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "catalogue/catalogue.h"
#include "core/window.h"
#include "platform/platform.h"

namespace core {

// The document viewer command lines, the same at start-up and from the buttons.
inline constexpr char ReadmeCommand[] = "C:\\Windows\\Notepad.exe readme.txt";
inline constexpr char LicenseCommand[] = "C:\\Windows\\Notepad.exe license.txt";

// The show state the viewer is started with: a normal window. (The hidden state would leave an
// invisible viewer running where the viewer honours it.)
inline constexpr int ViewerShowState = 1;

// The highlighted program: a copy of its catalogue entry, taken whole from one slot.
struct Selection {
    std::int32_t size = 0;
    std::string command;
    std::string folder;
    std::string description;
};

class Menu {
public:
    Menu(Window& window, platform::Platform& platform);
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    // Start-up. Reads "contents.inf" from the current directory; when it is not there, from the
    // program's folder or, failing that, the folder above it (the medium's root when the program
    // lies in a folder of its own), and the folder where it is found becomes current. Then writes
    // it into the window. On failure returns the error and writes nothing: the window must not
    // show.
    std::optional<catalogue::Error> load();

    // Writes already read tables into the window, as start-up does after reading: caption, lines,
    // list, first selection, count line, colours, document buttons, documents at start-up.
    void present(catalogue::Module1 tables);

    // Maps the highlighted item to its catalogue entry (the first slot with that name) and copies
    // the entry into the selection; keeps the selection when no entry matches.
    void findSelectedEntry();

    // Events, forwarded by the front end.
    void highlightChanged();       // the highlighted item changed, by mouse or keyboard
    void doubleClicked();          // a double click on an item (already highlighted by the front end)
    void clicked(Control button);  // a button was pressed (mouse, space bar or access key)
    // The window's frame asked to close it (the close box, Alt+F4, the window manager's request):
    // the menu ends as Exit ends it.
    void closeRequested();

    // What the buttons do.
    // Runs the highlighted program's set-up command in its folder; then the folder current before
    // (where start-up found the catalogue) is current again, whether the set-up started or not.
    void install();
    void browse();       // the file-open dialog on the medium; nothing picked is used
    void showReadme();   // readme.txt in the text viewer
    void showLicense();  // license.txt in the text viewer
    void exit();         // unloads the window and ends the program with status 0

    const catalogue::Module1& tables() const { return *tables_; }
    const Selection& selection() const { return selection_; }

private:
    void showDocument(const char* commandLine);
    void refreshDetails();

    Window& window_;
    platform::Platform& platform_;
    std::unique_ptr<catalogue::Module1> tables_;
    Selection selection_;
};

}  // namespace core
