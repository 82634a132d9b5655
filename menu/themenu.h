#pragma once
// The menu window: its controls, the start-up presentation of the catalogue (Form_Load) and the
// selection of a program (List1_Click). The buttons' actions are wired in from outside.
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>

#include "catalogue/catalogue.h"
#include "platform/platform.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStyle;

namespace menu {

class Panel;
class PictureBox;

// The document viewer command lines, the same at start-up and from the buttons.
inline constexpr char ReadmeCommand[] = "C:\\Windows\\Notepad.exe readme.txt";
inline constexpr char LicenseCommand[] = "C:\\Windows\\Notepad.exe license.txt";

// Runs a viewer command line with the hidden show state; its outcome is not examined here.
void ShowDocument(platform::Platform& platform, const QString& commandLine);

class TheMenu final : public QWidget {
    Q_OBJECT
public:
    explicit TheMenu(platform::Platform& platform, QWidget* parent = nullptr);
    ~TheMenu() override;
    TheMenu(const TheMenu&) = delete;
    TheMenu& operator=(const TheMenu&) = delete;

    // Reads "contents.inf" from the current directory (or, when it is not there but beside the
    // program, from the program's folder, which then becomes current) and writes it into the
    // window. On failure returns the error; the window is then left as it is and must not show.
    std::optional<catalogue::Error> Form_Load();

    // Writes an already read catalogue into the window, as Form_Load does after reading.
    void present(catalogue::Module1 tables);

    // Maps the highlighted item to its catalogue entry (the first with that name) and copies the
    // entry into the selection fields; keeps them when no entry matches.
    void FindSelectedEntry();

    // Refreshes the size and description boxes from the highlighted entry.
    void List1_Click();

    const catalogue::Module1& Module1() const { return *module1_; }
    platform::Platform& platform() { return platform_; }

    // The selection: a copy of the highlighted entry.
    std::int32_t SelectedSize = 0;
    QString SelectedCommand;
    QString SelectedFolder;
    QString SelectedDescription;

    // The controls, named as in the layout.
    Panel *Frame1, *Frame2, *Frame3, *Frame4, *Frame5;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7;
    QPushButton *Command1, *Command2, *Command3, *Command4, *Command5;
    QListWidget* List1;
    QLineEdit* Text1;
    QPlainTextEdit* Text2;
    PictureBox* Picture1;

Q_SIGNALS:
    // A double click on an item of the list.
    void List1_DblClick();

private:
    platform::Platform& platform_;
    std::unique_ptr<QStyle> style_;
    std::unique_ptr<catalogue::Module1> module1_;
};

}  // namespace menu
