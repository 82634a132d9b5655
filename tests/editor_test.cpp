// The catalogue editor through its window (offscreen): typing into a field and an entry, saving,
// undo, the questions it asks, the entry buttons and their limit, the findings beside the fields,
// the live menu; and making the medium with a stand-in for make-medium (progress, stop).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "catalogue/document.h"
#include "discmenu_version.h"
#include "editor/colourbutton.h"
#include "editor/editorwindow.h"
#include "editor/livemenu.h"
#include "editor/makemedium.h"
#include "editor/savefile.h"
#include "qt/menuwindow.h"
#include "testcatalogue.h"

namespace {

using editor::EditorWindow;
using editor::Question;

const QString SampleMedium = QStringLiteral(DISCMENU_SOURCE_DIR "/examples/sample-cd");

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// A copy of the sample medium, exec bits kept.
void copySample(const QString& to) {
    QDirIterator it(SampleMedium, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString from = it.next();
        const QString target = QDir(to).filePath(QDir(SampleMedium).relativeFilePath(from));
        if (it.fileInfo().isDir()) {
            ASSERT_TRUE(QDir().mkpath(target));
        } else {
            ASSERT_TRUE(QFile::copy(from, target)) << target.toStdString();
        }
    }
}

catalogue::Fields fieldsOf(const QByteArray& bytes) {
    auto read = catalogue::Document::read(bytes.toStdString());
    if (auto* error = std::get_if<catalogue::Error>(&read)) {
        ADD_FAILURE() << error->message();
        return {};
    }
    return std::get<catalogue::Document>(read).fields();
}

std::vector<std::string> names(const catalogue::Fields& f) {
    std::vector<std::string> out;
    for (const catalogue::Entry& e : f.entries) out.push_back(e.name);
    return out;
}

// An editor on a copy of the sample medium whose questions are answered from a list, in order.
struct Editing {
    QTemporaryDir dir;
    QByteArray original;
    std::unique_ptr<EditorWindow> window;
    std::vector<QString> asked;
    std::vector<QMessageBox::StandardButton> answers;

    explicit Editing(bool sample = true) {
        if (sample) copySample(dir.path());
        original = readAll(file());
        open();
    }
    void open() {
        window = std::make_unique<EditorWindow>(dir.path(), QStringLiteral("/nonexistent/make-medium"));
        window->setAsker([this](const Question& q) {
            asked.push_back(q.text);
            if (answers.empty()) return QMessageBox::Cancel;
            const auto answer = answers.front();
            answers.erase(answers.begin());
            return answer;
        });
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    QString file() const { return dir.filePath(QStringLiteral("contents.inf")); }
    template <typename T>
    T* find(const char* name) const {
        T* child = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QTableWidget* table() const { return find<QTableWidget>("entries"); }
    // Lets the coalesced refresh of the menu and the findings run.
    static void settle() { QTest::qWait(1); }
};

QStringList lines(const QByteArray& bytes) { return QString::fromUtf8(bytes).split(u'\n'); }

TEST(Editor, EditsAFieldAndAnEntryThroughTheWindow) {
    Editing e;
    const catalogue::Fields before = fieldsOf(e.original);
    ASSERT_GE(before.entries.size(), 3u);

    auto* title = e.find<QLineEdit>("title");
    title->setFocus();
    QTest::keyClick(title, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(title, QStringLiteral("Autumn, Collection"));
    e.settle();
    // The menu beside it follows the typing.
    EXPECT_EQ(e.window->liveMenu()->caption(),
              QStringLiteral("Autumn, Collection (%1)").arg(QString::fromStdString(before.subtitle)));

    // The programs page by its access key; entry 2's command, typed into its cell.
    QTest::keyClick(e.window.get(), Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(e.find<QTabWidget>("pages")->currentIndex(), 2);
    QTableWidget* table = e.table();
    table->setFocus();
    table->setCurrentCell(0, editor::NameColumn);
    QTest::keyClick(table, Qt::Key_Down);
    QTest::keyClick(table, Qt::Key_Right);
    QTest::keyClick(table, Qt::Key_Right);
    ASSERT_EQ(table->currentColumn(), editor::CommandColumn);
    QTest::keyClick(table, Qt::Key_F2);
    QWidget* cell = QApplication::focusWidget();
    ASSERT_NE(cell, table);
    QTest::keyClick(cell, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(cell, QStringLiteral("install.sh --quiet"));
    e.settle();
    // The menu highlights the entry being edited, live.
    EXPECT_EQ(e.window->liveMenu()->window()->selectedListItem(), 1);
    EXPECT_EQ(e.window->fields().entries[1].command, "install.sh --quiet");
    QTest::keyClick(cell, Qt::Key_Return);
    EXPECT_TRUE(e.window->isWindowModified());

    QTest::keyClick(e.window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(e.asked.empty()) << e.asked.front().toStdString();
    EXPECT_FALSE(e.window->isWindowModified());

    // The file holds the edits, and nothing else changed: only their two lines differ.
    const QByteArray saved = readAll(e.file());
    catalogue::Fields expected = before;
    expected.title = "Autumn, Collection";
    expected.entries[1].command = "install.sh --quiet";
    EXPECT_EQ(fieldsOf(saved), expected);
    auto document = std::get<catalogue::Document>(catalogue::Document::read(e.original.toStdString()));
    const QStringList was = lines(e.original), now = lines(saved);
    ASSERT_EQ(was.size(), now.size());
    QList<int> changed;
    for (int i = 0; i < was.size(); ++i) {
        if (was[i] != now[i]) changed.append(i + 1);
    }
    EXPECT_EQ(changed, (QList<int>{document.lineOfHeaderField(3), document.lineOfEntryField(2, 2)}));

    // Both edits undo with Ctrl+Z, even from the title's box (whose own undo would know only its
    // own typing); saved again, the file is the original byte for byte.
    title->setFocus();
    QTest::keyClick(title, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(table->item(1, editor::CommandColumn)->text().toStdString(), before.entries[1].command);
    QTest::keyClick(title, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(title->text().toStdString(), before.title);
    EXPECT_EQ(table->item(1, editor::CommandColumn)->text().toStdString(), before.entries[1].command);
    ASSERT_TRUE(e.window->save());
    EXPECT_EQ(readAll(e.file()), e.original);
}

// The entry buttons, each on entry 2, and undo after each.
TEST(Editor, EntryButtonsEditTheListAndUndo) {
    struct Case {
        const char* button;
        std::function<void(std::vector<std::string>&)> expect;
        int rowAfter;
    };
    const std::vector<Case> cases = {
        {"addEntry", [](auto& n) { n.insert(n.begin() + 2, "Program 6"); }, 2},
        {"duplicateEntry", [](auto& n) { n.insert(n.begin() + 2, n[1] + " (copy)"); }, 2},
        {"removeEntry", [](auto& n) { n.erase(n.begin() + 1); }, 1},
        {"moveUp", [](auto& n) { std::swap(n[0], n[1]); }, 0},
        {"moveDown", [](auto& n) { std::swap(n[1], n[2]); }, 2},
    };
    Editing e;
    const std::vector<std::string> original = names(e.window->fields());
    ASSERT_EQ(original.size(), 5u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        e.table()->setCurrentCell(1, editor::NameColumn);
        QTest::mouseClick(e.find<QPushButton>(c.button), Qt::LeftButton);
        e.settle();
        std::vector<std::string> expected = original;
        c.expect(expected);
        EXPECT_EQ(names(e.window->fields()), expected);
        // The menu beside it lists them so, with the entry the button acted on highlighted.
        QListWidget* list = e.window->liveMenu()->window()->programList;
        ASSERT_EQ(list->count(), int(expected.size()));
        for (int i = 0; i < list->count(); ++i) EXPECT_EQ(list->item(i)->text().toStdString(), expected[i]);
        EXPECT_EQ(e.table()->currentRow(), c.rowAfter);
        EXPECT_EQ(list->currentRow(), c.rowAfter);
        e.window->undo();
        EXPECT_EQ(names(e.window->fields()), original);
    }
    EXPECT_FALSE(e.window->isWindowModified());
}

TEST(Editor, EntriesStopAtTheMenusLimit) {
    Editing e(false);
    testcatalogue::Catalogue full = testcatalogue::Catalogue::withEntries(catalogue::MaxEntries);
    ASSERT_FALSE(testcatalogue::writeCatalogue(e.dir.path(), full.lines()).isEmpty());
    e.open();
    e.find<QTabWidget>("pages")->setCurrentIndex(2);
    auto* add = e.find<QPushButton>("addEntry");
    auto* duplicate = e.find<QPushButton>("duplicateEntry");
    auto* limit = e.find<QLabel>("limitNote");
    EXPECT_FALSE(add->isEnabled());
    EXPECT_FALSE(duplicate->isEnabled());
    EXPECT_TRUE(limit->isVisibleTo(e.window.get()));
    EXPECT_TRUE(limit->text().contains(QStringLiteral("at most 201")));

    e.table()->setCurrentCell(5, editor::NameColumn);
    QTest::mouseClick(e.find<QPushButton>("removeEntry"), Qt::LeftButton);
    EXPECT_EQ(e.window->fields().entries.size(), std::size_t(catalogue::MaxEntries - 1));
    EXPECT_TRUE(add->isEnabled());
    EXPECT_FALSE(limit->isVisibleTo(e.window.get()));
    QTest::mouseClick(add, Qt::LeftButton);
    EXPECT_EQ(e.window->fields().entries.size(), std::size_t(catalogue::MaxEntries));
    EXPECT_FALSE(add->isEnabled());
}

// Each finding beside the field or entry it concerns, with the line of the file as it would be
// written.
TEST(Editor, FindingsShowBesideTheirFields) {
    Editing e;
    const auto tables = std::get<catalogue::Module1>(catalogue::readCatalogue(e.original.toStdString()));
    ASSERT_TRUE(tables.flagOn(1));
    ASSERT_EQ(tables.ColourTable[3], 16777215);  // a white list

    // A folder that is not on the medium.
    e.table()->item(2, editor::FolderColumn)->setText(QStringLiteral("nowhere"));
    // White text on the white list: the desktop's window background, a system colour.
    auto* listText = e.find<editor::ColourButton>("colour4");
    QMenu* system = listText->menu()->actions().at(1)->menu();
    ASSERT_NE(system, nullptr);
    system->actions().at(5)->trigger();
    EXPECT_EQ(e.window->fields().colours[4], std::int32_t(0x80000005u));
    // The readme is enabled but gone.
    ASSERT_TRUE(QFile::remove(e.dir.filePath(QStringLiteral("readme.txt"))));
    e.find<QLineEdit>("date")->setText(QStringLiteral("unchanged"));  // no edit: the file check follows any
    QTest::keyClicks(e.find<QLineEdit>("date"), QStringLiteral("!"));
    e.settle();

    const QString entry = e.table()->item(2, editor::FindingsColumn)->text();
    EXPECT_TRUE(entry.startsWith(QStringLiteral("line %1: warning: ").arg(tables.EntryLine[3])))
        << entry.toStdString();
    EXPECT_TRUE(entry.contains(QStringLiteral("\"nowhere\" does not exist"))) << entry.toStdString();
    for (int row : {0, 1, 3, 4}) EXPECT_EQ(e.table()->item(row, editor::FindingsColumn)->text(), QString());

    const auto noteAfter = [&](QWidget* field) {
        // The note is the next label in the field's layout.
        QList<QLabel*> labels = field->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        for (QLabel* label : labels) {
            if (label->isVisibleTo(e.window.get()) && label->text().startsWith(QStringLiteral("line ")) &&
                label->geometry().top() >= field->geometry().bottom() - 1 &&
                label->geometry().top() <= field->geometry().bottom() + 2 * field->height())
                return label->text();
        }
        return QString();
    };
    e.find<QTabWidget>("pages")->setCurrentIndex(1);
    const QString colourNote = noteAfter(listText);
    EXPECT_TRUE(
        colourNote.startsWith(QStringLiteral("line %1: warning: the program list").arg(tables.ColourLine[4])))
        << colourNote.toStdString();
    e.find<QTabWidget>("pages")->setCurrentIndex(0);
    const QString readmeNote = noteAfter(e.find<QCheckBox>("readmeButton"));
    EXPECT_TRUE(readmeNote.startsWith(
        QStringLiteral("line %1: warning: \"readme.txt\" does not exist").arg(tables.FlagLine[1])))
        << readmeNote.toStdString();
    // The document boxes say why: the one that is on can still be turned off.
    EXPECT_TRUE(e.find<QLabel>("readmeMissing")->isVisibleTo(e.window.get()));
    EXPECT_TRUE(e.find<QCheckBox>("readmeButton")->isEnabled());
    EXPECT_FALSE(e.find<QCheckBox>("readmeAtStart")->isEnabled());
    EXPECT_FALSE(e.find<QLabel>("licenseMissing")->isVisibleTo(e.window.get()));

    // The list below names them all in the checker's own words.
    auto* list = e.find<QListWidget>("findings");
    EXPECT_EQ(list->count(), 3);
}

// The questions of saving and closing, and what each answer does to the file. A catalogue the reader
// refuses opens as a new one, and is replaced only when the publisher says so.
TEST(Editor, AsksBeforeLosingOrOverwritingWork) {
    struct Case {
        const char* name;
        bool refused;  // the file holds a 202nd entry when the editor opens it
        bool changeOnDisk;
        bool close;  // close the window instead of saving
        QMessageBox::StandardButton answer;
        bool edited;  // the file holds the edit afterwards
        bool open;    // the window is still open
    };
    const Case cases[] = {
        {"changed on disk, keep it", false, true, false, QMessageBox::Cancel, false, true},
        {"changed on disk, replace it", false, true, false, QMessageBox::Save, true, true},
        {"refused, keep it", true, false, false, QMessageBox::Cancel, false, true},
        {"refused, replace it", true, false, false, QMessageBox::Save, true, true},
        {"close, cancel", false, false, true, QMessageBox::Cancel, false, true},
        {"close, discard", false, false, true, QMessageBox::Discard, false, false},
        {"close, save", false, false, true, QMessageBox::Save, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Editing e;
        if (c.refused) {
            testcatalogue::Catalogue::withEntries(catalogue::MaxEntries + 1).writeTo(e.dir.path());
            e.original = readAll(e.file());
            e.open();
            QTRY_VERIFY(!e.asked.empty());  // that it cannot be read
            // Making the medium asks to save first: make-medium would read the refused file.
            QTest::keyClick(e.window.get(), Qt::Key_M, Qt::ControlModifier);
            ASSERT_EQ(e.asked.size(), 2u);
            EXPECT_TRUE(e.asked[0].contains(QStringLiteral("cannot be read")) &&
                        e.asked[1].contains(QStringLiteral("Save it first")));
            e.asked.clear();
        }
        QTest::keyClicks(e.find<QLineEdit>("publisher"), QStringLiteral(" Ltd"));
        const QByteArray onDisk = c.changeOnDisk ? e.original + "trailing note\n" : e.original;
        writeAll(e.file(), onDisk);
        e.answers = {c.answer};
        if (c.close) {
            e.window->close();
        } else {
            EXPECT_EQ(e.window->save(), c.answer == QMessageBox::Save);
        }
        ASSERT_EQ(e.asked.size(), 1u);
        EXPECT_TRUE(
            e.asked[0].contains(c.close ? QStringLiteral("Save the changes") : QStringLiteral("Replace")))
            << e.asked[0].toStdString();
        const QByteArray now = readAll(e.file());
        if (c.edited) {
            EXPECT_TRUE(fieldsOf(now).publisher.ends_with(" Ltd"));
        } else {
            EXPECT_EQ(now, onDisk);
        }
        EXPECT_EQ(e.window->isVisible(), c.open);
        // Nothing is left beside the catalogue.
        EXPECT_EQ(QDir(e.dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("contents")),
                  QStringList{QStringLiteral("contents.inf")});
        e.answers = {QMessageBox::Discard};
    }
}

// A catalogue the menu refuses opens with the fields it has and the field the menu stops at, to
// mend; saved, the file is the one read with only the fields edited replaced, and the window then
// edits it as any other.
TEST(Editor, MendsARefusedCatalogue) {
    const struct {
        const char* name;
        int line;  // the line broken, and what it holds
        QString broken;
        std::string faulty, mended;
        bool editable;
        int rowsAfter;
    } cases[] = {
        {"size out of range", 27, QStringLiteral("20000000000"), "20000000000", "250", true, 3},
        {"end marker missing", 37, {}, "", "<<", true, 3},
        {"closing quote missing in the title", 2, QStringLiteral("\"Sample Software Collection"),
         "\"Sample Software Collection", "\"Sample Software Collection\"", false, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Editing e(false);
        QStringList lines = testcatalogue::Catalogue::withEntries(3).lines();
        if (c.broken.isNull()) {
            lines.removeAt(c.line);
        } else {
            lines[c.line] = c.broken;
        }
        testcatalogue::writeCatalogue(e.dir.path(), lines);
        const std::string broken = readAll(e.file()).toStdString();
        e.open();
        QTRY_VERIFY(!e.asked.empty());
        EXPECT_TRUE(e.asked[0].contains(QStringLiteral("cannot be read")));
        const auto refused = catalogue::readCatalogue(broken);
        ASSERT_TRUE(std::holds_alternative<catalogue::Error>(refused));
        EXPECT_TRUE(e.find<QLabel>("refusalMessage")
                        ->text()
                        .startsWith(QString::fromStdString(std::get<catalogue::Error>(refused).message())));
        auto* field = e.find<QLineEdit>("refusedField");
        EXPECT_EQ(field->text().toStdString(), c.faulty);
        EXPECT_EQ(e.find<QTabWidget>("pages")->isEnabled(), c.editable);

        std::string expected = broken;
        const std::size_t fault = c.faulty.empty() ? broken.size() : broken.find(c.faulty);
        expected.replace(fault, c.faulty.size(), c.mended);
        if (c.editable) {
            QTest::keyClicks(e.find<QLineEdit>("publisher"), QStringLiteral(" Ltd"));
            expected.insert(expected.find("Sample Publishing") + 17, " Ltd");
        }
        field->selectAll();
        QTest::keyClicks(field, QString::fromStdString(c.mended));
        EXPECT_TRUE(e.window->isWindowModified());
        e.asked.clear();
        e.answers = {QMessageBox::Save};
        EXPECT_TRUE(e.window->save());
        ASSERT_EQ(e.asked.size(), 1u);
        EXPECT_TRUE(e.asked[0].contains(QStringLiteral("Replace")));
        EXPECT_EQ(readAll(e.file()).toStdString(), expected);

        // Now an ordinary catalogue in the window.
        EXPECT_FALSE(e.find<QWidget>("refusal")->isVisibleTo(e.window.get()));
        EXPECT_TRUE(e.find<QTabWidget>("pages")->isEnabled());
        EXPECT_EQ(e.table()->rowCount(), c.rowsAfter);
        EXPECT_FALSE(e.window->isWindowModified());
        QTest::keyClicks(e.find<QLineEdit>("date"), QStringLiteral("!"));
        e.asked.clear();
        EXPECT_TRUE(e.window->save());
        EXPECT_TRUE(e.asked.empty());
        EXPECT_TRUE(fieldsOf(readAll(e.file())).date.ends_with("!"));
    }
}

// A refused catalogue saved without mending keeps every byte of the file but for the field edited.
TEST(Editor, SavesARefusedCatalogueWithoutLosingIt) {
    Editing e(false);
    QStringList lines = testcatalogue::Catalogue::withEntries(3).lines();
    lines[12] = QStringLiteral("167772150000");  // a colour out of range
    testcatalogue::writeCatalogue(e.dir.path(), lines);
    const QByteArray broken = readAll(e.file());
    e.open();
    QTRY_VERIFY(!e.asked.empty());
    QTest::keyClicks(e.find<QLineEdit>("publisher"), QStringLiteral(" Ltd"));
    e.asked.clear();
    e.answers = {QMessageBox::Save};
    EXPECT_TRUE(e.window->save());
    ASSERT_EQ(e.asked.size(), 1u);
    EXPECT_TRUE(e.asked[0].contains(QStringLiteral("Replace")));
    QByteArray expected = broken;
    expected.replace("Sample Publishing", "Sample Publishing Ltd");
    EXPECT_EQ(readAll(e.file()), expected);
    // Still refused, still shown so.
    EXPECT_TRUE(e.find<QWidget>("refusal")->isVisibleTo(e.window.get()));
    EXPECT_EQ(e.find<QLineEdit>("refusedField")->text(), QStringLiteral("167772150000"));
}

// A text the catalogue cannot hold (a double quote and a comma) is named at once and never saved.
TEST(Editor, RefusesToSaveWhatTheFormatCannotHold) {
    Editing e;
    auto* title = e.find<QLineEdit>("title");
    title->selectAll();
    QTest::keyClicks(title, QStringLiteral("Say \"hi\", all"));
    e.settle();
    auto* findings = e.find<QListWidget>("findings");
    ASSERT_GE(findings->count(), 1);
    EXPECT_TRUE(findings->item(0)->text().startsWith(QStringLiteral("cannot be written: ")))
        << findings->item(0)->text().toStdString();
    e.answers = {QMessageBox::Ok};
    EXPECT_FALSE(e.window->save());
    ASSERT_EQ(e.asked.size(), 1u);
    EXPECT_TRUE(e.asked[0].contains(QStringLiteral("cannot be saved")));
    EXPECT_EQ(readAll(e.file()), e.original);
    e.window->history().setClean();
}

// Every control that takes the keyboard has a name a screen reader speaks, in the editor and in
// the make-medium dialog.
TEST(Editor, EveryControlHasAName) {
    Editing e;
    editor::MakeMediumDialog dialog(e.dir.path(), QStringLiteral("/nonexistent"), e.window.get());
    int controls = 0;
    for (QWidget* top : std::initializer_list<QWidget*>{e.window.get(), &dialog}) {
        for (QWidget* w : top->findChildren<QWidget*>()) {
            if (!(w->focusPolicy() & Qt::TabFocus) || w->inherits("QScrollBar")) continue;
            ++controls;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            ASSERT_NE(a, nullptr);
            EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty())
                << w->metaObject()->className() << " " << w->objectName().toStdString();
        }
    }
    EXPECT_GE(controls, 35);  // the fields, colours, table, buttons, findings; the dialog's controls
}

// make-medium's job through the dialog, with a stand-in script: the choices become its arguments,
// its steps drive the progress bar, and stopping ends the script and everything it started.
TEST(MakeMedium, ShowsProgressAndStops) {
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("make-medium"));
    const QString pidFile = dir.filePath(QStringLiteral("pid"));
    const QString argsFile = dir.filePath(QStringLiteral("args"));
    writeAll(script, QStringLiteral("#!/bin/bash\n"
                                    "echo \"$@\" > '%1'\n"
                                    "echo 'Building the menu (release preset)...'\n"
                                    "echo 'Building the Windows menu (windows preset)...'\n"
                                    "if [ -n \"$STOP_HERE\" ]; then sleep 300 & echo $! > '%2'; wait; fi\n"
                                    "echo \"Copying $1 to $2...\"\n"
                                    "[ \"$3\" != --iso ] || echo \"Writing the image $4...\"\n"
                                    "echo \"Medium assembled in $2\"\n")
                         .arg(argsFile, pidFile)
                         .toUtf8());
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const QString out = dir.filePath(QStringLiteral("out")), iso = dir.filePath(QStringLiteral("out.iso"));
    const struct {
        bool stop, image, bundledQt;
        QString arguments;
    } cases[] = {
        {false, true, true, QStringLiteral("/media/src %1 --iso %2").arg(out, iso)},
        {false, false, false, QStringLiteral("/media/src %1 --no-bundled-qt").arg(out)},
        {true, true, true, {}},
    };
    for (const auto& c : cases) {
        const bool stop = c.stop;
        SCOPED_TRACE(stop ? "stopped" : c.arguments.toStdString());
        qputenv("STOP_HERE", stop ? "1" : "");
        editor::MakeMediumDialog dialog(QStringLiteral("/media/src"), script, nullptr);
        EXPECT_TRUE(dialog.bundledQtButton()->isChecked());  // make-medium's default
        dialog.outputEdit()->setText(out);
        dialog.imageBox()->setChecked(c.image);
        dialog.imageEdit()->setText(iso);
        if (!c.bundledQt) QTest::mouseClick(dialog.noBundledQtButton(), Qt::LeftButton);
        QTest::mouseClick(dialog.startButton(), Qt::LeftButton);
        if (stop) {
            QTRY_VERIFY(QFileInfo(pidFile).size() > 0);
            QTRY_COMPARE(dialog.progressBar()->value(), 2);
            const pid_t sleeper = readAll(pidFile).trimmed().toInt();
            QTest::mouseClick(dialog.stopButton(), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!dialog.running(), 10000);
            // The script's child went with it (gone, or waiting only to be reaped).
            const QByteArray state = readAll(QStringLiteral("/proc/%1/stat").arg(sleeper));
            EXPECT_TRUE(state.isEmpty() || state.contains(") Z ")) << state.toStdString();
            EXPECT_TRUE(dialog.resultLabel()->text().startsWith(QStringLiteral("Stopped")));
        } else {
            QTRY_VERIFY(!dialog.running());
            EXPECT_EQ(dialog.progressBar()->value(), dialog.progressBar()->maximum());
            EXPECT_EQ(dialog.progressBar()->maximum(), c.image ? 5 : 4);
            EXPECT_EQ(readAll(argsFile).trimmed().toStdString(), c.arguments.toStdString());
            EXPECT_TRUE(
                dialog.resultLabel()->text().contains(dir.filePath(QStringLiteral("out/autorun.sh"))));
        }
        EXPECT_TRUE(dialog.startButton()->isEnabled());
    }
    qunsetenv("STOP_HERE");
    // A script that cannot start leaves the choices open to change.
    editor::MakeMediumDialog dialog(QStringLiteral("/media/src"), dir.filePath(QStringLiteral("none")),
                                    nullptr);
    QTest::mouseClick(dialog.startButton(), Qt::LeftButton);
    QTRY_VERIFY(dialog.resultLabel()->text().contains(QStringLiteral("could not be started")));
    EXPECT_TRUE(dialog.outputEdit()->isEnabled() && dialog.noBundledQtButton()->isEnabled());
}

// Help > About names the editor and its version; File > Make medium without discmenu-make-medium
// says so and where it looked, and opens no dialog.
TEST(Editor, AboutAndAMissingMakeMedium) {
    Editing e;
    e.window->findChild<QAction*>(QStringLiteral("aboutAction"))->trigger();
    QTest::keyClick(e.window.get(), Qt::Key_M, Qt::ControlModifier);
    ASSERT_EQ(e.asked.size(), 2u);
    EXPECT_EQ(e.asked[0], QStringLiteral("discmenu-edit " DISCMENU_VERSION_STRING));
    EXPECT_EQ(e.asked[1], QStringLiteral("discmenu-make-medium is missing."));
    EXPECT_EQ(e.window->findChild<editor::MakeMediumDialog*>(), nullptr);
}

// A pipe named contents.inf is refused, not read: reading it would block the editor for ever.
TEST(Editor, RefusesAPipe) {
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral("contents.inf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QString error;
    EXPECT_EQ(editor::readFile(pipe, &error), std::nullopt);
    EXPECT_TRUE(error.endsWith(QStringLiteral("it is not an ordinary file"))) << error.toStdString();
}

}  // namespace
