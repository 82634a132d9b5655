#include "editor/editorwindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "check/checker.h"
#include "discmenu_version.h"
#include "editor/colourbutton.h"
#include "editor/findinglocator.h"
#include "editor/livemenu.h"
#include "editor/makemedium.h"
#include "editor/mediumpaths.h"
#include "editor/savefile.h"

namespace editor {
namespace {

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

namespace fields = catalogue::fields;

// The colours, by slot, as the publisher reads them; the access key of each.
constexpr const char* ColourLabels[9] = {
    "&Window background",        "&Headings and lines, background",
    "Headings and lines, te&xt", "Program &list, background",
    "Program list, &text",       "&Size box, background",
    "Si&ze box, text",           "&Description box, background",
    "Desc&ription box, text",
};

QString plain(QString text) { return text.remove(u'&'); }

template <typename W>
W* named(W* widget, const QString& objectName, const QString& accessibleName) {
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessibleName);
    return widget;
}

QLabel* noteLabel(QWidget* parent) {
    auto* note = new QLabel(parent);
    note->setWordWrap(true);
    note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    note->hide();
    return note;
}

// Leaves Ctrl+Z and its kin to the editor's undo stack in the text boxes it is installed on, which
// would otherwise undo their own typing apart from every other edit.
class UndoKeysToStack final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)) {
                event->ignore();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

// Table cells that hand every keystroke to the table, so that the menu and the findings follow
// the typing, not only the finished cell.
class LiveDelegate final : public QStyledItemDelegate {
public:
    LiveDelegate(QObject* undoKeys, QObject* parent) : QStyledItemDelegate(parent), undoKeys_(undoKeys) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        auto* self = const_cast<LiveDelegate*>(this);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            connect(line, &QLineEdit::textEdited, self, [self, line] { Q_EMIT self->commitData(line); });
        } else if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
            spin->setRange(INT_MIN, INT_MAX);
            spin->setSuffix(QStringLiteral(" Kb"));
            connect(spin, &QSpinBox::valueChanged, self, [self, spin] { Q_EMIT self->commitData(spin); });
        }
        if (editor) {
            editor->setAccessibleName(index.model()->headerData(index.column(), Qt::Horizontal).toString());
            editor->installEventFilter(undoKeys_);
        }
        return editor;
    }

private:
    QObject* undoKeys_;
};

}  // namespace

EditorWindow::EditorWindow(const QString& folder, const QString& makeMediumScript, QWidget* parent)
    : QMainWindow(parent),
      folder_(QDir(folder).absolutePath()),
      path_(QDir(folder_).filePath(QString::fromLatin1(catalogue::CatalogueFileName))),
      makeMediumScript_(makeMediumScript),
      model_(path_) {
    setObjectName(QStringLiteral("catalogueEditor"));
    undoKeys_ = new UndoKeysToStack(this);
    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(0);
    connect(&refreshTimer_, &QTimer::timeout, this, &EditorWindow::refresh);

    const QString openProblem = model_.openProblem();
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    auto* left = new QWidget(splitter);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    // Why the menu refuses the file, and the field it stops at, to mend.
    refusalBox_ = new QGroupBox(QStringLiteral("The menu cannot read this catalogue"), left);
    refusalBox_->setObjectName(QStringLiteral("refusal"));
    auto* refusalLayout = new QFormLayout(refusalBox_);
    refusalText_ = new QLabel(refusalBox_);
    refusalText_->setObjectName(QStringLiteral("refusalMessage"));
    refusalText_->setWordWrap(true);
    refusalText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    refusalLayout->addRow(refusalText_);
    refusedField_ = named(new QLineEdit(refusalBox_), QStringLiteral("refusedField"),
                          QStringLiteral("The field the menu stops at, as it stands in the file"));
    refusalLayout->addRow(QStringLiteral("&Mend it here:"), refusedField_);
    connect(refusedField_, &QLineEdit::textEdited, this, [this](const QString& text) {
        model_.setRefusedText(text.toStdString());
        setWindowModified(true);
        scheduleRefresh();
    });
    leftLayout->addWidget(refusalBox_);

    tabs_ = named(new QTabWidget(left), QStringLiteral("pages"), QStringLiteral("Catalogue fields"));
    tabs_->addTab(buildGeneralPage(), QStringLiteral("&General"));
    tabs_->addTab(buildColoursPage(), QStringLiteral("&Colours"));
    tabs_->addTab(buildEntriesPage(), QStringLiteral("&Programs"));
    leftLayout->addWidget(tabs_, 3);

    summary_ = new QLabel(left);
    summary_->setObjectName(QStringLiteral("findingsSummary"));
    leftLayout->addWidget(summary_);
    findings_ = named(new QListWidget(left), QStringLiteral("findings"), QStringLiteral("Checker findings"));
    findings_->setWordWrap(true);
    findings_->setIconSize(QSize(1, 1) * findings_->fontMetrics().height());
    summary_->setBuddy(findings_);
    leftLayout->addWidget(findings_, 1);
    // A finding leads to its field.
    connect(findings_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const FindingPlace place =
            locate(fields::Place{item->data(Qt::UserRole).toInt()}, int(model_.fields().entries.size()));
        if (place.page == Page::None) return;
        tabs_->setCurrentIndex(int(place.page));
        if (place.row >= 0) {
            entries_->setCurrentCell(place.row, NameColumn);
            entries_->setFocus();
        } else if (QWidget* widget = headerWidgets_[std::size_t(place.header)]) {
            widget->setFocus();
        }
    });

    live_ = new LiveMenu(folder_, splitter);
    connect(live_, &LiveMenu::entryClicked, this,
            [this](int row) { entries_->setCurrentCell(row, NameColumn); });
    splitter->addWidget(left);
    splitter->addWidget(live_);
    splitter->setStretchFactor(0, 1);
    setCentralWidget(splitter);
    buildMenus();

    setWindowTitle(QStringLiteral("%1[*] - discmenu-edit").arg(QDir::toNativeSeparators(path_)));
    model_.history().changed = [this] { historyChanged(); };
    historyChanged();

    showFields();
    showRefusal();
    entries_->setCurrentCell(0, NameColumn);
    refresh();
    if (const auto& refusal = model_.document().refusal()) {
        const QString message = fromUtf8(refusal->error.message());
        statusBar()->showMessage(QStringLiteral("The menu cannot read this catalogue: %1").arg(message));
        QTimer::singleShot(0, this, [this, message, editable = refusal->fieldsEditable] {
            ask({QMessageBox::Warning,
                 QStringLiteral("The catalogue cannot be read by the menu as it stands."),
                 message +
                     (editable
                          ? QStringLiteral("\n\nEvery field that could be read is shown; the field the menu "
                                           "stops at is shown as it stands in the file, to mend.")
                          : QStringLiteral("\n\nThe fields before that place are shown; mend the field the "
                                           "menu stops at, then save, to edit the others.")) +
                     QStringLiteral(" Saving keeps every part of the file the editor does not show."),
                 QMessageBox::Ok});
        });
    } else if (!openProblem.isEmpty()) {
        statusBar()->showMessage(QStringLiteral("Started a new catalogue: %1").arg(openProblem));
        QTimer::singleShot(0, this, [this, openProblem] {
            ask({QMessageBox::Warning,
                 QStringLiteral("The catalogue cannot be read, so a new one was started."),
                 openProblem + QStringLiteral("\n\nSaving replaces the file; you will be asked first."),
                 QMessageBox::Ok});
        });
    } else if (!model_.onDisk()) {
        statusBar()->showMessage(QStringLiteral("%1 does not exist yet: a new catalogue, saved there.")
                                     .arg(QDir::toNativeSeparators(path_)));
    }
}

EditorWindow::~EditorWindow() { model_.history().changed = nullptr; }

void EditorWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Open folder..."), QKeySequence::Open, this, &EditorWindow::openFolder);
    QAction* saveAction =
        file->addAction(QStringLiteral("&Save"), QKeySequence::Save, this, [this] { save(); });
    saveAction->setObjectName(QStringLiteral("saveAction"));
    file->addAction(QStringLiteral("&Make medium..."), QKeySequence(Qt::CTRL | Qt::Key_M), this,
                    &EditorWindow::makeMedium);
    file->addSeparator();
    file->addAction(QStringLiteral("&Quit"), QKeySequence::Quit, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    undoAction_ = edit->addAction(QStringLiteral("&Undo"), QKeySequence::Undo, this, &EditorWindow::undo);
    redoAction_ = edit->addAction(QStringLiteral("&Redo"), QKeySequence::Redo, this, &EditorWindow::redo);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* about = help->addAction(QStringLiteral("&About discmenu-edit"), this, [this] {
        ask({QMessageBox::Information, QStringLiteral("discmenu-edit " DISCMENU_VERSION_STRING),
             QStringLiteral("The publisher's editor for the catalogue (contents.inf) of a discmenu start-up "
                            "menu.\nMIT licence"),
             QMessageBox::Ok});
    });
    about->setObjectName(QStringLiteral("aboutAction"));
}

QWidget* EditorWindow::buildGeneralPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* texts = new QGroupBox(QStringLiteral("Window caption and lines"), page);
    auto* form = new QFormLayout(texts);
    // The text fields in file order, each with its label and hint.
    struct TextBox {
        const char* key;  // as in the field table
        const char* label;
        const char* hint;
    };
    static constexpr TextBox boxes[] = {
        {"title", "&Title:", "The window caption; the subtitle follows it in brackets"},
        {"subtitle", "&Subtitle:", "In brackets after the title in the window caption"},
        {"publisher", "P&ublisher:", "Shown as \"Published by ...\""},
        {"date", "&Date:", "Shown as \"Date: ...\", in any form"},
    };
    for (int i = 0; i < fields::HeaderCount; ++i) {
        const fields::HeaderField& h = fields::Header[i];
        if (h.kind != fields::Kind::Text) continue;
        const auto box = std::find_if(std::begin(boxes), std::end(boxes),
                                      [&](const TextBox& b) { return std::string_view(b.key) == h.key; });
        const QString label =
            box != std::end(boxes) ? QString::fromLatin1(box->label) : QString::fromLatin1(h.name) + u':';
        QLineEdit* line = named(new QLineEdit(texts), QString::fromLatin1(h.key), plain(label).chopped(1));
        if (box != std::end(boxes)) line->setToolTip(QString::fromLatin1(box->hint));
        line->installEventFilter(undoKeys_);
        texts_[std::size_t(i)] = line;
        headerWidgets_[std::size_t(i)] = line;
        auto* caption = new QLabel(label, texts);
        caption->setBuddy(line);
        form->addRow(caption, line);
        QLabel* note = noteLabel(texts);
        headerNotes_[std::size_t(i)] = note;
        form->addRow(QString(), note);
        connect(line, &QLineEdit::textEdited, this, [this, i, label](const QString& text) {
            // Typing into one box is undone as one edit.
            edit(QStringLiteral("Edit %1").arg(plain(label).chopped(1).toLower()), i + 1,
                 [member = fields::Header[i].edited, value = text.toStdString()](catalogue::Fields& f) {
                     f.*member = value;
                 });
        });
    }
    layout->addWidget(texts);

    auto* documents = new QGroupBox(QStringLiteral("Documents on the medium"), page);
    auto* docLayout = new QVBoxLayout(documents);
    // The flags by slot, each document's two together.
    struct Flag {
        int slot;
        const char* label;
    };
    static constexpr Flag flagBoxes[] = {
        {1, "Show &Readme button (opens readme.txt)"},
        {2, "Open readme.txt at st&art-up"},
        {3, "Show &License button (opens license.txt)"},
        {4, "&Open license.txt at start-up"},
    };
    for (const Flag& flag : flagBoxes) {
        const QString label = QString::fromLatin1(flag.label);
        const auto field = std::size_t(fields::headerIndex(fields::Kind::Flag, flag.slot));
        QCheckBox* box = named(new QCheckBox(label, documents),
                               QString::fromLatin1(fields::Header[field].key), plain(label));
        flags_[std::size_t(flag.slot)] = box;
        headerWidgets_[field] = box;
        docLayout->addWidget(box);
        QLabel* note = noteLabel(documents);
        headerNotes_[field] = note;
        docLayout->addWidget(note);
        connect(box, &QCheckBox::toggled, this, [this, slot = flag.slot, label](bool on) {
            edit(QStringLiteral("%1 \"%2\"")
                     .arg(on ? QStringLiteral("Turn on") : QStringLiteral("Turn off"), plain(label)),
                 -1, [slot, on](catalogue::Fields& f) { f.documentFlags[std::size_t(slot)] = on ? 1 : 0; });
        });
        // The note on a missing document goes after the slot's second box.
        if (flag.slot == 2 || flag.slot == 4) {
            QLabel* missing = noteLabel(documents);
            missing->setObjectName(flag.slot == 2 ? QStringLiteral("readmeMissing")
                                                  : QStringLiteral("licenseMissing"));
            documentNotes_[std::size_t(flag.slot / 2)] = missing;
            docLayout->addWidget(missing);
        }
    }
    layout->addWidget(documents);
    layout->addStretch(1);
    return page;
}

QWidget* EditorWindow::buildColoursPage() {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    for (int slot = 0; slot < 9; ++slot) {
        const QString label = QString::fromLatin1(ColourLabels[slot]);
        const auto field = std::size_t(fields::headerIndex(fields::Kind::Colour, slot));
        auto* button = new ColourButton(plain(label), page);
        button->setObjectName(QString::fromLatin1(fields::Header[field].key));
        colours_[std::size_t(slot)] = button;
        headerWidgets_[field] = button;
        auto* caption = new QLabel(label + u':', page);
        caption->setBuddy(button);
        form->addRow(caption, button);
        QLabel* note = noteLabel(page);
        headerNotes_[field] = note;
        form->addRow(QString(), note);
        connect(button, &ColourButton::valueChosen, this, [this, slot, label](std::int32_t value) {
            edit(QStringLiteral("Change %1 colour").arg(plain(label).toLower()), -1,
                 [slot, value](catalogue::Fields& f) { f.colours[std::size_t(slot)] = value; });
        });
    }
    auto* hint = new QLabel(
        QStringLiteral("System colours follow the desktop's colour scheme. Keep a contrast of at least 3:1 "
                       "between a text and its background."),
        page);
    hint->setWordWrap(true);
    form->addRow(hint);
    return page;
}

QWidget* EditorWindow::buildEntriesPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* caption = new QLabel(QStringLiteral("Program e&ntries, in the order of the menu's list:"), page);
    layout->addWidget(caption);

    entries_ = named(new QTableWidget(0, ColumnCount, page), QStringLiteral("entries"),
                     QStringLiteral("Program entries"));
    caption->setBuddy(entries_);
    QStringList headings;
    for (int column = 0; column < ColumnCount; ++column) headings.append(columnHeading(column));
    entries_->setHorizontalHeaderLabels(headings);
    entries_->setItemDelegate(new LiveDelegate(undoKeys_, entries_));
    entries_->setSelectionBehavior(QAbstractItemView::SelectItems);
    entries_->setSelectionMode(QAbstractItemView::SingleSelection);
    entries_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed);
    entries_->setTabKeyNavigation(false);  // Tab leaves the table, as in every other control
    entries_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    entries_->horizontalHeader()->setStretchLastSection(true);
    entries_->setWordWrap(false);
    layout->addWidget(entries_, 1);
    connect(entries_, &QTableWidget::cellChanged, this, &EditorWindow::entryCellChanged);
    connect(entries_, &QTableWidget::currentCellChanged, this, [this](int row) {
        updateEntryButtons();
        if (live_) live_->highlight(row);
    });

    limitNote_ =
        new QLabel(QStringLiteral("The menu takes at most %1 programs: remove one before adding another.")
                       .arg(catalogue::MaxEntries),
                   page);
    limitNote_->setObjectName(QStringLiteral("limitNote"));
    limitNote_->setWordWrap(true);
    limitNote_->hide();
    layout->addWidget(limitNote_);

    auto* buttons = new QHBoxLayout;
    const auto button = [&](const char* text, const char* name, const char* tip, auto slot) {
        const QString label = QString::fromLatin1(text);
        QPushButton* b = named(new QPushButton(label, page), QString::fromLatin1(name), plain(label));
        b->setToolTip(QString::fromLatin1(tip));
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    addButton_ =
        button("&Add", "addEntry", "Add a program after the highlighted one", &EditorWindow::addEntry);
    removeButton_ = button("&Remove", "removeEntry", "Remove the highlighted program",
                           [this] { edit(removeEntry(model_.fields(), entries_->currentRow())); });
    duplicateButton_ =
        button("D&uplicate", "duplicateEntry", "Add a copy of the highlighted program after it", [this] {
            if (entries_->currentRow() < 0) return;
            if (int(model_.fields().entries.size()) >= catalogue::MaxEntries) {
                statusBar()->showMessage(limitNote_->text());
                return;
            }
            edit(duplicateEntry(model_.fields(), entries_->currentRow()));
        });
    upButton_ = button("Move u&p", "moveUp", "Move the highlighted program up the list",
                       [this] { edit(moveEntry(model_.fields(), entries_->currentRow(), -1)); });
    downButton_ = button("Move do&wn", "moveDown", "Move the highlighted program down the list",
                         [this] { edit(moveEntry(model_.fields(), entries_->currentRow(), 1)); });
    buttons->addStretch(1);
    button("Pick f&older...", "pickFolder", "Choose the program's folder on the medium",
           &EditorWindow::pickFolder);
    button("Pick co&mmand...", "pickCommand", "Choose the program's set-up program on the medium",
           &EditorWindow::pickCommand);
    layout->addLayout(buttons);
    return page;
}

QMessageBox::StandardButton EditorWindow::ask(const Question& question) {
    if (asker_) return asker_(question);
    QMessageBox box(question.icon, QStringLiteral("discmenu-edit"), question.text, question.buttons, this);
    box.setInformativeText(question.detail);
    if (question.defaultButton != QMessageBox::NoButton) box.setDefaultButton(question.defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

void EditorWindow::edit(const QString& what, int mergeKey,
                        const std::function<void(catalogue::Fields&)>& change, int row) {
    edit(Edit{what, mergeKey, row, change});
}

void EditorWindow::edit(const std::optional<Edit>& edit) {
    if (updating_ || !edit) return;
    if (model_.make(*edit)) showState(edit->row);
}

void EditorWindow::undo() {
    if (const auto row = model_.undo()) showState(*row);
}

void EditorWindow::redo() {
    if (const auto row = model_.redo()) showState(*row);
}

void EditorWindow::historyChanged() {
    EditHistory& history = model_.history();
    if (undoAction_) {
        undoAction_->setEnabled(history.canUndo());
        undoAction_->setText(QStringLiteral("&Undo %1").arg(history.undoText()).trimmed());
        redoAction_->setEnabled(history.canRedo());
        redoAction_->setText(QStringLiteral("&Redo %1").arg(history.redoText()).trimmed());
    }
    setWindowModified(modified());
}

void EditorWindow::showState(int row) {
    showFields();
    if (row >= 0 && row < entries_->rowCount() && row != entries_->currentRow()) {
        entries_->setCurrentCell(row, std::max(entries_->currentColumn(), 0));
    }
    scheduleRefresh();
}

int EditorWindow::currentRow() const {
    const int row = entries_->currentRow();
    return row >= 0 && row < int(model_.fields().entries.size()) ? row : 0;
}

void EditorWindow::showFields() {
    updating_ = true;
    const catalogue::Fields& now = model_.fields();
    for (int i = 0; i < fields::HeaderCount; ++i) {
        if (QLineEdit* box = texts_[std::size_t(i)]) {
            const QString text = fromUtf8(now.*fields::Header[i].edited);
            if (box->text() != text) box->setText(text);
        }
    }
    for (int slot = 1; slot <= 4; ++slot)
        flags_[std::size_t(slot)]->setChecked(now.documentFlags[std::size_t(slot)] == 1);
    for (std::size_t slot = 0; slot < 9; ++slot) colours_[slot]->setValue(now.colours[slot]);

    const int rows = int(now.entries.size());
    if (entries_->rowCount() != rows) entries_->setRowCount(rows);
    for (int row = 0; row < rows; ++row) {
        const catalogue::Entry& e = now.entries[std::size_t(row)];
        for (int column = 0; column < ColumnCount; ++column) {
            QTableWidgetItem* item = entries_->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                if (column == FindingsColumn) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                entries_->setItem(row, column, item);
            }
            if (column == SizeColumn) {
                if (item->data(Qt::EditRole) != QVariant(e.size)) item->setData(Qt::EditRole, e.size);
            } else if (column != FindingsColumn && item->text() != cellValue(e, column).toString()) {
                item->setText(cellValue(e, column).toString());
            }
        }
    }
    updating_ = false;
    updateEntryButtons();
}

void EditorWindow::updateEntryButtons() {
    const int count = int(model_.fields().entries.size());
    const int row = entries_->currentRow();
    const bool full = count >= catalogue::MaxEntries;
    addButton_->setEnabled(!full);
    duplicateButton_->setEnabled(!full && row >= 0);
    removeButton_->setEnabled(count > 1 && row >= 0);
    upButton_->setEnabled(row > 0);
    downButton_->setEnabled(row >= 0 && row + 1 < count);
    limitNote_->setVisible(full);
}

void EditorWindow::entryCellChanged(int row, int column) {
    if (updating_) return;
    const QTableWidgetItem* item = entries_->item(row, column);
    if (!item) return;
    edit(setCell(model_.fields(), row, column, item->data(Qt::EditRole)));
    // A size typed as text that is no number shows the size kept.
    if (column == SizeColumn) showFields();
}

void EditorWindow::addEntry() {
    const auto add = editor::addEntry(model_.fields(), entries_->currentRow());
    if (!add) {
        statusBar()->showMessage(limitNote_->text());
        return;
    }
    edit(add);
    entries_->setCurrentCell(add->row, NameColumn);
    entries_->setFocus();
}

void EditorWindow::pickFolder() {
    const int row = entries_->currentRow();
    if (row < 0) return;
    const catalogue::Entry& entry = model_.fields().entries[std::size_t(row)];
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Folder of entry %1").arg(row + 1), pickerStart(folder_, entry.folder));
    if (chosen.isEmpty()) return;
    const auto folder = folderField(folder_, chosen);
    if (!folder) {
        ask({QMessageBox::Warning, QStringLiteral("The folder must lie on the medium."),
             QStringLiteral("%1 is outside %2.").arg(chosen, folder_), QMessageBox::Ok});
        return;
    }
    edit(
        QStringLiteral("Pick folder of entry %1").arg(row + 1), -1,
        [row, value = *folder](catalogue::Fields& f) { f.entries[std::size_t(row)].folder = value; }, row);
}

void EditorWindow::pickCommand() {
    const int row = entries_->currentRow();
    if (row < 0) return;
    const std::string entryFolder = model_.fields().entries[std::size_t(row)].folder;
    const QString chosen = QFileDialog::getOpenFileName(
        this, QStringLiteral("Set-up program of entry %1").arg(row + 1), pickerStart(folder_, entryFolder));
    if (chosen.isEmpty()) return;
    const auto picked = commandFields(folder_, entryFolder, chosen);
    if (!picked) {
        ask({QMessageBox::Warning, QStringLiteral("The set-up program must lie on the medium."),
             QStringLiteral("%1 is outside %2.").arg(chosen, folder_), QMessageBox::Ok});
        return;
    }
    edit(
        QStringLiteral("Pick command of entry %1").arg(row + 1), -1,
        [row, picked = *picked](catalogue::Fields& f) {
            f.entries[std::size_t(row)].command = picked.command;
            f.entries[std::size_t(row)].folder = picked.folder;
        },
        row);
}

void EditorWindow::updateDocumentBoxes() {
    static constexpr const char* files[3] = {nullptr, "readme.txt", "license.txt"};
    for (int doc = 1; doc <= 2; ++doc) {
        const QString name = QString::fromLatin1(files[doc]);
        const bool present = documentPresent(folder_, name);
        QLabel* note = documentNotes_[std::size_t(doc)];
        note->setText(present ? QString()
                              : QStringLiteral("%1 is not in %2: put it there to offer it.")
                                    .arg(name, QDir::toNativeSeparators(folder_)));
        note->setVisible(!present);
        for (int slot : {2 * doc - 1, 2 * doc}) {
            QCheckBox* box = flags_[std::size_t(slot)];
            // A box that is on stays usable, so that it can be turned off.
            box->setEnabled(present || box->isChecked());
            box->setAccessibleDescription(note->text());
        }
    }
}

void EditorWindow::showRefusal() {
    const auto& refusal = model_.document().refusal();
    refusalBox_->setVisible(refusal.has_value());
    tabs_->setEnabled(!refusal || refusal->fieldsEditable);
    if (!refusal) return;
    const bool mendable = refusal->error.kind != catalogue::Error::Kind::BrokenText &&
                          refusal->error.kind != catalogue::Error::Kind::CannotRead;
    QString text = fromUtf8(refusal->error.message());
    if (mendable) {
        text += refusal->fieldText.empty()
                    ? QStringLiteral("\nThe file ends there: type what belongs at its end below.")
                    : QStringLiteral("\nLine %1 of the file, as it stands there:").arg(refusal->line);
    }
    refusalText_->setText(text);
    refusedField_->setVisible(mendable);
    if (QWidget* label = static_cast<QFormLayout*>(refusalBox_->layout())->labelForField(refusedField_))
        label->setVisible(mendable);
    refusedField_->setText(fromUtf8(model_.document().refusedText()));
}

void EditorWindow::refresh() {
    live_->present(model_.fields(), currentRow());
    updateDocumentBoxes();
    const std::vector<std::string> problems = model_.document().problems();
    if (!problems.empty()) {
        showFindings(nullptr, problems);
        return;
    }
    const check::Report report =
        check::checkCatalogueBytes(model_.document().write(), folder_, {qEnvironmentVariable("PATH")});
    showFindings(&report, problems);
}

void EditorWindow::showFindings(const check::Report* report, const std::vector<std::string>& problems) {
    for (QLabel* note : headerNotes_) {
        if (note) {
            note->clear();
            note->hide();
        }
    }
    updating_ = true;
    for (int row = 0; row < entries_->rowCount(); ++row) {
        if (QTableWidgetItem* item = entries_->item(row, FindingsColumn)) {
            item->setText({});
            item->setIcon({});
            item->setToolTip({});
        }
    }
    findings_->clear();
    const QIcon errorIcon = style()->standardIcon(QStyle::SP_MessageBoxCritical);
    const QIcon warningIcon = style()->standardIcon(QStyle::SP_MessageBoxWarning);

    for (const std::string& problem : problems) {
        auto* item =
            new QListWidgetItem(errorIcon, QStringLiteral("cannot be written: %1").arg(fromUtf8(problem)));
        item->setData(Qt::UserRole, -1);
        findings_->addItem(item);
    }
    int errors = int(problems.size()), warnings = 0;
    if (report) {
        const QStringList lines = check::formatReport(*report);
        const int entryCount = int(model_.fields().entries.size());
        for (std::size_t i = 0; i < report->findings.size(); ++i) {
            const check::Finding& finding = report->findings[i];
            const bool error = finding.severity == check::Finding::Severity::Error;
            (error ? errors : warnings) += 1;
            const QString text = findingNote(finding.line, error, finding.text);
            // Beside the field the finding concerns, or in its entry's row.
            const FindingPlace place = locate(finding.field, entryCount);
            if (place.header >= 0 && headerNotes_[std::size_t(place.header)]) {
                QLabel* note = headerNotes_[std::size_t(place.header)];
                note->setText(note->text().isEmpty() ? text : note->text() + u'\n' + text);
                note->show();
            } else if (place.row >= 0) {
                QTableWidgetItem* item = entries_->item(place.row, FindingsColumn);
                item->setText(item->text().isEmpty() ? text : item->text() + QStringLiteral("; ") + text);
                item->setToolTip(item->text());
                if (error || item->icon().isNull()) item->setIcon(error ? errorIcon : warningIcon);
            }
            auto* item = new QListWidgetItem(error ? errorIcon : warningIcon, lines[qsizetype(i)]);
            item->setData(Qt::UserRole, finding.field.index);
            findings_->addItem(item);
        }
    }
    updating_ = false;
    summary_->setText(
        errors + warnings == 0
            ? QStringLiteral("Chec&ker findings: none, the menu reads this catalogue as shown.")
            : QStringLiteral("Chec&ker findings: %1 %2, %3 %4 (line numbers of the file as saved)")
                  .arg(QString::number(errors),
                       errors == 1 ? QStringLiteral("error") : QStringLiteral("errors"),
                       QString::number(warnings),
                       warnings == 1 ? QStringLiteral("warning") : QStringLiteral("warnings")));
}

bool EditorWindow::save() {
    refreshTimer_.stop();
    refresh();
    const std::vector<std::string> problems = model_.document().problems();
    if (!problems.empty()) {
        QStringList texts;
        for (const std::string& p : problems) texts.append(fromUtf8(p));
        ask({QMessageBox::Warning, QStringLiteral("The catalogue cannot be saved as it is."),
             texts.join(u'\n'), QMessageBox::Ok});
        return false;
    }
    const std::string bytes = model_.document().write();
    const check::Report report = check::checkCatalogueBytes(bytes, folder_, {qEnvironmentVariable("PATH")});
    const int errors = report.count(check::Finding::Severity::Error);
    if (const auto question = model_.errorsQuestion(errors)) {
        const auto answer = ask({QMessageBox::Warning, *question, check::formatReport(report).join(u'\n'),
                                 QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Cancel});
        if (answer != QMessageBox::Save) return false;
    }

    QString readError;
    const std::optional<std::string> now = readFile(path_, &readError);
    if (const auto why = model_.replaceReason(now, !readError.isEmpty(), errors)) {
        const auto answer =
            ask({QMessageBox::Warning, QStringLiteral("Replace %1?").arg(QDir::toNativeSeparators(path_)),
                 *why, QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Cancel});
        if (answer != QMessageBox::Save) return false;
    }
    if (const auto error = replaceFile(path_, bytes)) {
        ask({QMessageBox::Critical, QStringLiteral("The catalogue was not saved."), *error, QMessageBox::Ok});
        return false;
    }
    if (model_.saved(bytes)) {
        showFields();
        showRefusal();
        scheduleRefresh();
    }
    setWindowModified(false);
    statusBar()->showMessage(QStringLiteral("Saved %1").arg(QDir::toNativeSeparators(path_)));
    return true;
}

bool EditorWindow::maybeSave() {
    if (!modified()) return true;
    const auto answer =
        ask({QMessageBox::Question, QStringLiteral("Save the changes to the catalogue?"),
             QStringLiteral("Unsaved changes are lost otherwise."),
             QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save});
    if (answer == QMessageBox::Save) return save();
    return answer == QMessageBox::Discard;
}

void EditorWindow::closeEvent(QCloseEvent* event) {
    if (maybeSave()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void EditorWindow::changeEvent(QEvent* event) {
    // readme.txt and license.txt may have been put into the folder meanwhile.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && flags_[1]) updateDocumentBoxes();
    QMainWindow::changeEvent(event);
}

void EditorWindow::openFolder() {
    if (!maybeSave()) return;
    const QString chosen =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Open a medium's folder"), folder_);
    if (chosen.isEmpty()) return;
    auto* other = new EditorWindow(chosen, makeMediumScript_);
    other->setAttribute(Qt::WA_DeleteOnClose);
    other->setAsker(asker_);
    other->show();
    model_.history().setClean();  // asked above
    close();
}

void EditorWindow::makeMedium() {
    // make-medium reads the file on disk: a catalogue that could not be read there is not the one
    // shown here.
    if (modified() || !model_.onDisk() || model_.unreadable()) {
        const auto answer =
            ask({QMessageBox::Question,
                 QStringLiteral("The medium is made from the catalogue on disk. Save it first?"), QString(),
                 QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Save});
        if (answer != QMessageBox::Save || !save()) return;
    }
    if (const QFileInfo script(makeMediumScript_); !script.isFile() || !script.isExecutable()) {
        ask({QMessageBox::Warning, QStringLiteral("discmenu-make-medium is missing."),
             QStringLiteral("The editor runs discmenu-make-medium from its own folder, but there is no "
                            "such program at %1. Install it there to make media from the editor.")
                 .arg(QDir::toNativeSeparators(makeMediumScript_)),
             QMessageBox::Ok});
        return;
    }
    auto* dialog = new MakeMediumDialog(folder_, makeMediumScript_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

}  // namespace editor
