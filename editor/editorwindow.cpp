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
#include <QUndoCommand>
#include <QVBoxLayout>
#include <climits>

#include "check/checker.h"
#include "discmenu_version.h"
#include "editor/colourbutton.h"
#include "editor/livemenu.h"
#include "editor/makemedium.h"
#include "editor/savefile.h"
#include "platform/posix/commandline.h"

namespace editor {
namespace {

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// Header fields as numbered in the catalogue: the four texts, the flags by slot, the colours.
constexpr int TitleField = 3;
constexpr int FlagField[5] = {0, 7, 9, 8, 10};  // by document flag slot 1 to 4
constexpr int FirstColourField = 11;
constexpr int HeaderFields = 20;

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

// One edit: the fields before and after it, and the entry it concerns.
class EditCommand final : public QUndoCommand {
public:
    EditCommand(EditorWindow* window, const QString& text, catalogue::Fields before, catalogue::Fields after,
                int mergeKey, int row)
        : QUndoCommand(text),
          window_(window),
          before_(std::move(before)),
          after_(std::move(after)),
          mergeKey_(mergeKey),
          row_(row) {}

    void redo() override { window_->apply(after_, row_); }
    void undo() override { window_->apply(before_, row_); }
    int id() const override { return mergeKey_; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const EditCommand*>(other);
        if (next->mergeKey_ != mergeKey_ || mergeKey_ < 0) return false;
        after_ = next->after_;
        return true;
    }

private:
    EditorWindow* window_;
    catalogue::Fields before_, after_;
    int mergeKey_, row_;
};

constexpr int EntryMergeBase = 1000;

QString entryText(const catalogue::Entry& e, int column) {
    switch (column) {
        case NameColumn:
            return fromUtf8(e.name);
        case CommandColumn:
            return fromUtf8(e.command);
        case FolderColumn:
            return fromUtf8(e.folder);
        case DescriptionColumn:
            return fromUtf8(e.description);
        default:
            return {};
    }
}

}  // namespace

EditorWindow::EditorWindow(const QString& folder, const QString& makeMediumScript, QWidget* parent)
    : QMainWindow(parent),
      folder_(QDir(folder).absolutePath()),
      path_(QDir(folder_).filePath(QString::fromLatin1(catalogue::CatalogueFileName))),
      makeMediumScript_(makeMediumScript),
      document_(catalogue::Document::blank()) {
    setObjectName(QStringLiteral("catalogueEditor"));
    undoKeys_ = new UndoKeysToStack(this);
    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(0);
    connect(&refreshTimer_, &QTimer::timeout, this, &EditorWindow::refresh);

    // The catalogue as it is on disk.
    QString readError;
    onDisk_ = readFile(path_, &readError);
    QString openProblem;
    if (!readError.isEmpty()) {
        unreadable_ = true;
        openProblem = readError;
    } else if (onDisk_) {
        document_ = catalogue::Document::open(*onDisk_);
        unreadable_ = document_.refusal().has_value();
    }
    fields_ = document_.fields();

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
        document_.setRefusedText(text.toStdString());
        mended_ = true;
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
        const int field = item->data(Qt::UserRole).toInt();
        const int row = item->data(Qt::UserRole + 1).toInt();
        if (row >= 0) {
            tabs_->setCurrentIndex(2);
            entries_->setCurrentCell(row, NameColumn);
            entries_->setFocus();
        } else if (field >= TitleField && field <= 6) {
            tabs_->setCurrentIndex(0);
            texts_[std::size_t(field - TitleField)]->setFocus();
        } else if (field >= 7 && field <= 10) {
            tabs_->setCurrentIndex(0);
            for (int slot = 1; slot <= 4; ++slot) {
                if (FlagField[slot] == field) flags_[std::size_t(slot)]->setFocus();
            }
        } else if (field >= FirstColourField && field < HeaderFields) {
            tabs_->setCurrentIndex(1);
            colours_[std::size_t(field - FirstColourField)]->setFocus();
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
    connect(&undo_, &QUndoStack::cleanChanged, this,
            [this](bool clean) { setWindowModified(!clean || mended_); });

    showFields();
    showRefusal();
    entries_->setCurrentCell(0, NameColumn);
    refresh();
    if (const auto& refusal = document_.refusal()) {
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
    } else if (!onDisk_) {
        statusBar()->showMessage(QStringLiteral("%1 does not exist yet: a new catalogue, saved there.")
                                     .arg(QDir::toNativeSeparators(path_)));
    }
}

EditorWindow::~EditorWindow() {
    // The undo commands refer to this window; they go before its widgets.
    undo_.clear();
}

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
    QAction* undo = undo_.createUndoAction(this, QStringLiteral("&Undo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo = undo_.createRedoAction(this, QStringLiteral("&Redo"));
    redo->setShortcut(QKeySequence::Redo);
    edit->addAction(undo);
    edit->addAction(redo);

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
    static constexpr const char* labels[4] = {"&Title:", "&Subtitle:", "P&ublisher:", "&Date:"};
    static constexpr const char* names[4] = {"title", "subtitle", "publisher", "date"};
    static constexpr const char* hints[4] = {
        "The window caption; the subtitle follows it in brackets",
        "In brackets after the title in the window caption",
        "Shown as \"Published by ...\"",
        "Shown as \"Date: ...\", in any form",
    };
    for (int i = 0; i < 4; ++i) {
        const QString label = QString::fromLatin1(labels[i]);
        QLineEdit* line = named(new QLineEdit(texts), QString::fromLatin1(names[i]), plain(label).chopped(1));
        line->setToolTip(QString::fromLatin1(hints[i]));
        line->installEventFilter(undoKeys_);
        texts_[std::size_t(i)] = line;
        auto* caption = new QLabel(label, texts);
        caption->setBuddy(line);
        form->addRow(caption, line);
        QLabel* note = noteLabel(texts);
        headerNotes_[std::size_t(TitleField + i)] = note;
        form->addRow(QString(), note);
        connect(line, &QLineEdit::textEdited, this, [this, i, label](const QString& text) {
            edit(QStringLiteral("Edit %1").arg(plain(label).chopped(1).toLower()), TitleField + i,
                 [i, value = text.toStdString()](catalogue::Fields& f) {
                     std::string* fields[4] = {&f.title, &f.subtitle, &f.publisher, &f.date};
                     *fields[i] = value;
                 });
        });
    }
    layout->addWidget(texts);

    auto* documents = new QGroupBox(QStringLiteral("Documents on the medium"), page);
    auto* docLayout = new QVBoxLayout(documents);
    struct Flag {
        int slot;
        const char* label;
        const char* name;
    };
    static constexpr Flag flagBoxes[] = {
        {1, "Show &Readme button (opens readme.txt)", "readmeButton"},
        {2, "Open readme.txt at st&art-up", "readmeAtStart"},
        {3, "Show &License button (opens license.txt)", "licenseButton"},
        {4, "&Open license.txt at start-up", "licenseAtStart"},
    };
    for (const Flag& flag : flagBoxes) {
        const QString label = QString::fromLatin1(flag.label);
        QCheckBox* box = named(new QCheckBox(label, documents), QString::fromLatin1(flag.name), plain(label));
        flags_[std::size_t(flag.slot)] = box;
        docLayout->addWidget(box);
        QLabel* note = noteLabel(documents);
        headerNotes_[std::size_t(FlagField[flag.slot])] = note;
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
        auto* button = new ColourButton(plain(label), page);
        button->setObjectName(QStringLiteral("colour%1").arg(slot));
        colours_[std::size_t(slot)] = button;
        auto* caption = new QLabel(label + u':', page);
        caption->setBuddy(button);
        form->addRow(caption, button);
        QLabel* note = noteLabel(page);
        headerNotes_[std::size_t(FirstColourField + slot)] = note;
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
    entries_->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size (Kb)"),
                                         QStringLiteral("Set-up command"), QStringLiteral("Folder"),
                                         QStringLiteral("Description"), QStringLiteral("Findings")});
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
    removeButton_ =
        button("&Remove", "removeEntry", "Remove the highlighted program", &EditorWindow::removeEntry);
    duplicateButton_ =
        button("D&uplicate", "duplicateEntry", "Add a copy of the highlighted program after it",
               &EditorWindow::duplicateEntry);
    upButton_ =
        button("Move u&p", "moveUp", "Move the highlighted program up the list", [this] { moveEntry(-1); });
    downButton_ = button("Move do&wn", "moveDown", "Move the highlighted program down the list",
                         [this] { moveEntry(1); });
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
    if (updating_) return;
    catalogue::Fields after = fields_;
    change(after);
    if (after == fields_) return;
    undo_.push(new EditCommand(this, what, fields_, std::move(after), mergeKey, row));
}

void EditorWindow::apply(const catalogue::Fields& fields, int row) {
    fields_ = fields;
    document_.setFields(fields_);
    showFields();
    if (row >= 0 && row < entries_->rowCount() && row != entries_->currentRow()) {
        entries_->setCurrentCell(row, std::max(entries_->currentColumn(), 0));
    }
    scheduleRefresh();
}

int EditorWindow::currentRow() const {
    const int row = entries_->currentRow();
    return row >= 0 && row < int(fields_.entries.size()) ? row : 0;
}

void EditorWindow::showFields() {
    updating_ = true;
    std::string* texts[4] = {&fields_.title, &fields_.subtitle, &fields_.publisher, &fields_.date};
    for (std::size_t i = 0; i < 4; ++i) {
        const QString text = fromUtf8(*texts[i]);
        if (texts_[i]->text() != text) texts_[i]->setText(text);
    }
    for (int slot = 1; slot <= 4; ++slot)
        flags_[std::size_t(slot)]->setChecked(fields_.documentFlags[std::size_t(slot)] == 1);
    for (std::size_t slot = 0; slot < 9; ++slot) colours_[slot]->setValue(fields_.colours[slot]);

    const int rows = int(fields_.entries.size());
    if (entries_->rowCount() != rows) entries_->setRowCount(rows);
    for (int row = 0; row < rows; ++row) {
        const catalogue::Entry& e = fields_.entries[std::size_t(row)];
        for (int column = 0; column < ColumnCount; ++column) {
            QTableWidgetItem* item = entries_->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                if (column == FindingsColumn) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                entries_->setItem(row, column, item);
            }
            if (column == SizeColumn) {
                if (item->data(Qt::EditRole) != QVariant(e.size)) item->setData(Qt::EditRole, e.size);
            } else if (column != FindingsColumn && item->text() != entryText(e, column)) {
                item->setText(entryText(e, column));
            }
        }
    }
    updating_ = false;
    updateEntryButtons();
}

void EditorWindow::updateEntryButtons() {
    const int count = int(fields_.entries.size());
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
    if (updating_ || row < 0 || row >= int(fields_.entries.size()) || column == FindingsColumn) return;
    const QTableWidgetItem* item = entries_->item(row, column);
    if (!item) return;
    const QString header = entries_->horizontalHeaderItem(column)->text().toLower();
    const QVariant value = item->data(Qt::EditRole);
    edit(
        QStringLiteral("Edit %1 of entry %2").arg(header).arg(row + 1),
        EntryMergeBase + row * ColumnCount + column,
        [row, column, value](catalogue::Fields& f) {
            catalogue::Entry& e = f.entries[std::size_t(row)];
            const std::string text = value.toString().toStdString();
            switch (column) {
                case NameColumn:
                    e.name = text;
                    break;
                case SizeColumn: {
                    bool ok = false;
                    const qlonglong size = value.toLongLong(&ok);
                    if (ok && size >= INT_MIN && size <= INT_MAX) e.size = std::int32_t(size);
                    break;
                }
                case CommandColumn:
                    e.command = text;
                    break;
                case FolderColumn:
                    e.folder = text;
                    break;
                case DescriptionColumn:
                    e.description = text;
                    break;
            }
        },
        row);
    // A size typed as text that is no number shows the size kept.
    if (column == SizeColumn) showFields();
}

void EditorWindow::addEntry() {
    if (int(fields_.entries.size()) >= catalogue::MaxEntries) {
        statusBar()->showMessage(limitNote_->text());
        return;
    }
    const int row = entries_->currentRow() + 1;  // after the highlighted one, or first
    const int at = std::clamp(row, 0, int(fields_.entries.size()));
    edit(
        QStringLiteral("Add entry %1").arg(at + 1), -1,
        [at](catalogue::Fields& f) {
            catalogue::Entry entry;
            entry.name = QStringLiteral("Program %1").arg(f.entries.size() + 1).toStdString();
            entry.command = "setup.sh";
            f.entries.insert(f.entries.begin() + at, entry);
        },
        at);
    entries_->setCurrentCell(at, NameColumn);
    entries_->setFocus();
}

void EditorWindow::removeEntry() {
    const int row = entries_->currentRow();
    if (row < 0 || fields_.entries.size() <= 1) return;
    edit(
        QStringLiteral("Remove entry %1 \"%2\"")
            .arg(row + 1)
            .arg(fromUtf8(fields_.entries[std::size_t(row)].name)),
        -1, [row](catalogue::Fields& f) { f.entries.erase(f.entries.begin() + row); },
        std::min(row, int(fields_.entries.size()) - 2));
}

void EditorWindow::duplicateEntry() {
    const int row = entries_->currentRow();
    if (row < 0) return;
    if (int(fields_.entries.size()) >= catalogue::MaxEntries) {
        statusBar()->showMessage(limitNote_->text());
        return;
    }
    edit(
        QStringLiteral("Duplicate entry %1").arg(row + 1), -1,
        [row](catalogue::Fields& f) {
            catalogue::Entry copy = f.entries[std::size_t(row)];
            // The menu selects the first entry of a name: the copy needs a name of its own.
            copy.name += " (copy)";
            f.entries.insert(f.entries.begin() + row + 1, copy);
        },
        row + 1);
}

void EditorWindow::moveEntry(int by) {
    const int row = entries_->currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= int(fields_.entries.size())) return;
    edit(
        QStringLiteral("Move entry %1 %2")
            .arg(row + 1)
            .arg(by < 0 ? QStringLiteral("up") : QStringLiteral("down")),
        -1,
        [row, to](catalogue::Fields& f) {
            std::swap(f.entries[std::size_t(row)], f.entries[std::size_t(to)]);
        },
        to);
}

// `path` relative to `base`, with "/"; nothing when it lies outside `base`.
static std::optional<QString> inside(const QString& base, const QString& path) {
    const QString relative = QDir(base).relativeFilePath(QDir(path).absolutePath());
    if (relative == u".." || relative.startsWith(QStringLiteral("../")) || QDir::isAbsolutePath(relative))
        return std::nullopt;
    return relative;
}

void EditorWindow::pickFolder() {
    const int row = entries_->currentRow();
    if (row < 0) return;
    const QString start = QDir(folder_).filePath(fromUtf8(fields_.entries[std::size_t(row)].folder));
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Folder of entry %1").arg(row + 1), QFileInfo(start).isDir() ? start : folder_);
    if (chosen.isEmpty()) return;
    const auto relative = inside(folder_, chosen);
    if (!relative) {
        ask({QMessageBox::Warning, QStringLiteral("The folder must lie on the medium."),
             QStringLiteral("%1 is outside %2.").arg(chosen, folder_), QMessageBox::Ok});
        return;
    }
    edit(
        QStringLiteral("Pick folder of entry %1").arg(row + 1), -1,
        [row, value = relative->toStdString()](catalogue::Fields& f) {
            f.entries[std::size_t(row)].folder = value;
        },
        row);
}

void EditorWindow::pickCommand() {
    const int row = entries_->currentRow();
    if (row < 0) return;
    const QString entryFolder = QDir(folder_).filePath(fromUtf8(fields_.entries[std::size_t(row)].folder));
    const QString chosen =
        QFileDialog::getOpenFileName(this, QStringLiteral("Set-up program of entry %1").arg(row + 1),
                                     QFileInfo(entryFolder).isDir() ? entryFolder : folder_);
    if (chosen.isEmpty()) return;
    const auto onMedium = inside(folder_, chosen);
    if (!onMedium) {
        ask({QMessageBox::Warning, QStringLiteral("The set-up program must lie on the medium."),
             QStringLiteral("%1 is outside %2.").arg(chosen, folder_), QMessageBox::Ok});
        return;
    }
    // The command runs in the entry's folder: relative to it when the program lies there, else
    // the folder becomes the program's own.
    const auto inFolder = QFileInfo(entryFolder).isDir() && !fields_.entries[std::size_t(row)].folder.empty()
                              ? inside(entryFolder, chosen)
                              : std::nullopt;
    const std::string command = (inFolder ? *inFolder : QFileInfo(chosen).fileName()).toStdString();
    const std::string folder =
        inFolder ? fields_.entries[std::size_t(row)].folder : QFileInfo(*onMedium).path().toStdString();
    edit(
        QStringLiteral("Pick command of entry %1").arg(row + 1), -1,
        [row, command, folder](catalogue::Fields& f) {
            f.entries[std::size_t(row)].command = command;
            f.entries[std::size_t(row)].folder = folder;
        },
        row);
}

void EditorWindow::updateDocumentBoxes() {
    static constexpr const char* files[3] = {nullptr, "readme.txt", "license.txt"};
    for (int doc = 1; doc <= 2; ++doc) {
        const QString name = QString::fromLatin1(files[doc]);
        const auto found = platform::findPath(folder_.toStdString(), name.toStdString());
        const bool present = found && QFileInfo(QString::fromStdString(*found)).isFile();
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
    const auto& refusal = document_.refusal();
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
    refusedField_->setText(fromUtf8(document_.refusedText()));
}

void EditorWindow::refresh() {
    live_->present(fields_, currentRow());
    updateDocumentBoxes();
    const std::vector<std::string> problems = document_.problems();
    if (!problems.empty()) {
        showFindings(nullptr, problems);
        return;
    }
    const check::Report report =
        check::checkCatalogueBytes(document_.write(), folder_, {qEnvironmentVariable("PATH")});
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
        item->setData(Qt::UserRole, 0);
        item->setData(Qt::UserRole + 1, -1);
        findings_->addItem(item);
    }
    int errors = int(problems.size()), warnings = 0;
    if (report) {
        const QStringList lines = check::formatReport(*report);
        const int entryCount = int(fields_.entries.size());
        for (std::size_t i = 0; i < report->findings.size(); ++i) {
            const check::Finding& finding = report->findings[i];
            const bool error = finding.severity == check::Finding::Severity::Error;
            (error ? errors : warnings) += 1;
            const QString text =
                QStringLiteral("line %1: %2: %3")
                    .arg(QString::number(finding.line),
                         error ? QStringLiteral("error") : QStringLiteral("warning"), finding.text);
            // The field or entry on the finding's line.
            int field = 0, row = -1;
            for (int f = 1; f <= HeaderFields && field == 0; ++f) {
                if (document_.lineOfHeaderField(f) == finding.line) field = f;
            }
            if (field == 0) {
                for (int n = entryCount; n >= 1 && row < 0; --n) {
                    if (finding.line >= document_.lineOfEntryField(n, 0) &&
                        finding.line <= document_.lineOfEntryField(n, 5))
                        row = n - 1;
                }
            }
            if (field > 0 && headerNotes_[std::size_t(field)]) {
                QLabel* note = headerNotes_[std::size_t(field)];
                note->setText(note->text().isEmpty() ? text : note->text() + u'\n' + text);
                note->show();
            } else if (row >= 0) {
                QTableWidgetItem* item = entries_->item(row, FindingsColumn);
                item->setText(item->text().isEmpty() ? text : item->text() + QStringLiteral("; ") + text);
                item->setToolTip(item->text());
                if (error || item->icon().isNull()) item->setIcon(error ? errorIcon : warningIcon);
            }
            auto* item = new QListWidgetItem(error ? errorIcon : warningIcon, lines[qsizetype(i)]);
            item->setData(Qt::UserRole, field);
            item->setData(Qt::UserRole + 1, row);
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
    const std::vector<std::string> problems = document_.problems();
    if (!problems.empty()) {
        QStringList texts;
        for (const std::string& p : problems) texts.append(fromUtf8(p));
        ask({QMessageBox::Warning, QStringLiteral("The catalogue cannot be saved as it is."),
             texts.join(u'\n'), QMessageBox::Ok});
        return false;
    }
    const std::string bytes = document_.write();
    const auto& refusal = document_.refusal();
    const check::Report report = check::checkCatalogueBytes(bytes, folder_, {qEnvironmentVariable("PATH")});
    // A refused file is asked about below, where what saving does with it is said.
    if (const int errors = report.count(check::Finding::Severity::Error); errors > 0 && !refusal) {
        const auto answer =
            ask({QMessageBox::Warning,
                 QStringLiteral("The catalogue has %1 error%2: the menu will not start with it. "
                                "Save it anyway?")
                     .arg(errors)
                     .arg(errors == 1 ? "" : "s"),
                 check::formatReport(report).join(u'\n'), QMessageBox::Save | QMessageBox::Cancel,
                 QMessageBox::Cancel});
        if (answer != QMessageBox::Save) return false;
    }

    QString readError;
    const std::optional<std::string> now = readFile(path_, &readError);
    QString why;
    QString replaces = QStringLiteral(" Saving replaces it with the catalogue shown here.");
    if (refusal) {
        why = QStringLiteral("The menu cannot read the file on disk (%1).")
                  .arg(fromUtf8(refusal->error.message()));
        const bool mended = document_.refusedText() != refusal->fieldText;
        if (report.count(check::Finding::Severity::Error) > 0) {
            replaces = QStringLiteral(
                           " Saving writes your edits into the fields shown and keeps every other byte "
                           "of the file as it is; the menu will not start with it until %1.")
                           .arg(mended ? QStringLiteral("its errors are mended")
                                       : QStringLiteral("the field on line %1 is mended").arg(refusal->line));
        } else if (refusal->endsList && !mended) {
            replaces = QStringLiteral(
                           " Saving writes your edits into the fields shown and ends the program list "
                           "after entry %1 with an end marker \"<<\" line; the rest of the file is "
                           "kept after it, where the menu does not read it.")
                           .arg(refusal->entriesRead);
        } else {
            replaces = QStringLiteral(
                " Saving writes your edits and the field mended, and keeps every other byte "
                "of the file as it is.");
        }
    } else if (unreadable_) {
        why = QStringLiteral("The file on disk could not be read as a catalogue when the editor opened it.");
    } else if (!readError.isEmpty() || now != onDisk_) {
        why = onDisk_ ? QStringLiteral("It changed on disk since it was opened or last saved here.")
                      : QStringLiteral("It was created by someone else since the editor started.");
    }
    if (!why.isEmpty()) {
        const auto answer =
            ask({QMessageBox::Warning, QStringLiteral("Replace %1?").arg(QDir::toNativeSeparators(path_)),
                 why + replaces, QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Cancel});
        if (answer != QMessageBox::Save) return false;
    }
    if (const auto error = replaceFile(path_, bytes)) {
        ask({QMessageBox::Critical, QStringLiteral("The catalogue was not saved."), *error, QMessageBox::Ok});
        return false;
    }
    onDisk_ = bytes;
    if (refusal) {
        // Read again: a file mended now reads as any other; the undo history was of the other one.
        document_ = catalogue::Document::open(bytes);
        fields_ = document_.fields();
        undo_.clear();
        mended_ = false;
        showFields();
        showRefusal();
        scheduleRefresh();
    }
    unreadable_ = document_.refusal().has_value();
    setWindowModified(false);
    undo_.setClean();
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
    undo_.setClean();  // asked above
    close();
}

void EditorWindow::makeMedium() {
    // make-medium reads the file on disk: a catalogue that could not be read there is not the one
    // shown here.
    if (modified() || !onDisk_ || unreadable_) {
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
