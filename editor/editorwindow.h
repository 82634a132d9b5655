#pragma once
// The publisher's catalogue editor: every field of a medium's "contents.inf" by name, the entries
// as a table, the checker's findings beside the fields they concern, and the real menu beside it
// all, redrawn as the publisher types. Every edit can be undone; saving replaces the file
// atomically and asks first when the catalogue has errors or the file changed on disk since it
// was read. The window binds widgets to the model (CatalogueModel and the rules beside it), which
// holds the fields, their history and what saving asks.
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "catalogue/document.h"
#include "editor/cataloguemodel.h"
#include "editor/entryedits.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;
class QTabWidget;

namespace check {
struct Report;
}

namespace editor {

class ColourButton;
class LiveMenu;

// A question or a notice for the publisher; the answer is one of `buttons`.
struct Question {
    QMessageBox::Icon icon = QMessageBox::Question;
    QString text;
    QString detail;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};
using Asker = std::function<QMessageBox::StandardButton(const Question&)>;

class EditorWindow final : public QMainWindow {
    Q_OBJECT
public:
    // Opens `folder`/contents.inf; starts a new catalogue when there is none (or the file cannot be
    // read at all, which the publisher is told, and asked about before it is replaced). A catalogue
    // the menu refuses opens with every field that could be read and the field the menu stops at
    // shown as it stands in the file, to mend; saving keeps every byte the editor does not show.
    // `makeMediumScript` is the make-medium script the editor runs.
    explicit EditorWindow(const QString& folder, const QString& makeMediumScript, QWidget* parent = nullptr);
    ~EditorWindow() override;

    // Who answers the editor's questions; by default a message box.
    void setAsker(Asker asker) { asker_ = std::move(asker); }

    // Saves the catalogue; false when it was not saved (refused, cancelled or failed, which the
    // publisher was told).
    bool save();

    const catalogue::Fields& fields() const { return model_.fields(); }
    QString catalogueFile() const { return path_; }
    EditHistory& history() { return model_.history(); }
    LiveMenu* liveMenu() const { return live_; }

    // Undoes or redoes one edit, as Edit > Undo and Redo do.
    void undo();
    void redo();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenus();
    QWidget* buildGeneralPage();
    QWidget* buildColoursPage();
    QWidget* buildEntriesPage();

    // Records an edit (undoable): `change` applied to the current fields. Consecutive edits with
    // the same `mergeKey` (>= 0), such as typing into one field, are undone together.
    void edit(const QString& what, int mergeKey, const std::function<void(catalogue::Fields&)>& change,
              int row = -1);
    void edit(const std::optional<Edit>& edit);
    // The widgets show the fields, the menu and the findings follow; `row` is the entry to show.
    void showState(int row);
    void historyChanged();
    void entryCellChanged(int row, int column);
    void addEntry();
    void pickFolder();
    void pickCommand();
    void makeMedium();
    void openFolder();

    int currentRow() const;
    void showFields();
    void updateEntryButtons();
    void updateDocumentBoxes();
    void scheduleRefresh() { refreshTimer_.start(); }
    void refresh();
    void showFindings(const check::Report* report, const std::vector<std::string>& problems);
    QMessageBox::StandardButton ask(const Question& question);
    bool maybeSave();
    // Shows why the menu refuses the file, and the field it stops at, when it does.
    void showRefusal();
    bool modified() const { return model_.modified(); }

    QString folder_, path_, makeMediumScript_;
    CatalogueModel model_;
    QTimer refreshTimer_;
    bool updating_ = false;  // the widgets are being set from the fields
    Asker asker_;
    QObject* undoKeys_ = nullptr;  // sends undo keys in text boxes to the undo stack

    QWidget* refusalBox_ = nullptr;
    QLabel* refusalText_ = nullptr;
    QLineEdit* refusedField_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QAction *undoAction_ = nullptr, *redoAction_ = nullptr;
    // By header field (index in catalogue::fields::Header): the widget that edits it and the note
    // with its findings; none for the fields nothing edits.
    std::array<QWidget*, catalogue::fields::HeaderCount> headerWidgets_{};
    std::array<QLabel*, catalogue::fields::HeaderCount> headerNotes_{};
    std::array<QLineEdit*, catalogue::fields::HeaderCount> texts_{};  // the Text fields
    std::array<QCheckBox*, 5> flags_{};                               // by document flag slot 1 to 4
    std::array<QLabel*, 3> documentNotes_{};                          // 1 readme, 2 licence
    std::array<ColourButton*, 9> colours_{};                          // by colour slot
    QTableWidget* entries_ = nullptr;
    QPushButton *addButton_ = nullptr, *removeButton_ = nullptr, *duplicateButton_ = nullptr,
                *upButton_ = nullptr, *downButton_ = nullptr;
    QLabel* limitNote_ = nullptr;
    QLabel* summary_ = nullptr;
    QListWidget* findings_ = nullptr;
    LiveMenu* live_ = nullptr;
};

}  // namespace editor
