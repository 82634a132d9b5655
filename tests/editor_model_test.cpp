// The editor's model without a window: the undo history, the entry-table edits, the rules for
// paths on the medium, where a finding is shown, and what saving asks first.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "editor/cataloguemodel.h"
#include "editor/entryedits.h"
#include "editor/findinglocator.h"
#include "editor/history.h"
#include "editor/mediumpaths.h"
#include "testcatalogue.h"

namespace {

namespace fields = catalogue::fields;
using catalogue::Fields;
using editor::EditHistory;

Fields titled(const char* title) {
    Fields f;
    f.title = title;
    return f;
}

// Each step records (key >= -1), undoes ('u'), redoes ('r') or saves ('s'); after them the history
// must stand at `title` with `undos` steps to undo, clean or not.
TEST(EditorModel, HistoryMergesTypingButNotAcrossASave) {
    struct Step {
        char op;  // 'e' edit, 'u' undo, 'r' redo, 's' save
        int key = -1;
        const char* title = "";
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        const char* title;
        int undos;
        bool clean;
    };
    const Case cases[] = {
        {"typing in one box is one step", {{'e', 3, "a"}, {'e', 3, "ab"}, {'e', 3, "abc"}}, "abc", 1, false},
        {"other boxes are other steps", {{'e', 3, "a"}, {'e', 4, "ab"}}, "ab", 2, false},
        {"no key, no merge", {{'e', -1, "a"}, {'e', -1, "ab"}}, "ab", 2, false},
        {"a save ends the step", {{'e', 3, "a"}, {'s'}, {'e', 3, "ab"}}, "ab", 2, false},
        {"undone to the save is clean", {{'e', 3, "a"}, {'s'}, {'e', 3, "ab"}, {'u'}}, "a", 1, true},
        {"redone", {{'e', 3, "a"}, {'u'}, {'r'}}, "a", 1, false},
        {"an edit after undo drops the redo",
         {{'e', 3, "a"}, {'e', 4, "b"}, {'u'}, {'e', 5, "c"}, {'r'}},
         "c",
         2,
         false},
        {"the saved state dropped is never clean again",
         {{'e', 3, "a"}, {'s'}, {'u'}, {'e', 4, "b"}, {'u'}, {'r'}, {'u'}},
         "",
         0,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditHistory history;
        int changes = 0;
        history.changed = [&] { ++changes; };
        Fields now;
        int effective = 0;  // every step that changes the history tells so once
        for (const Step& s : c.steps) {
            ++effective;
            if (s.op == 'e') {
                history.record(QStringLiteral("Edit"), s.key, now, titled(s.title), -1);
                now = titled(s.title);
            } else if (s.op == 's') {
                history.setClean();
            } else if (auto state = s.op == 'u' ? history.undo() : history.redo()) {
                now = state->fields;
            } else {
                --effective;
            }
        }
        EXPECT_EQ(now.title, c.title);
        EXPECT_EQ(history.isClean(), c.clean);
        EXPECT_EQ(changes, effective);
        int undos = 0;
        while (history.undo()) ++undos;
        EXPECT_EQ(undos, c.undos);
    }
}

std::vector<std::string> names(const Fields& f) {
    std::vector<std::string> out;
    for (const catalogue::Entry& e : f.entries) out.push_back(e.name);
    return out;
}

Fields withEntries(int count) {
    Fields f;
    for (int n = 1; n <= count; ++n) f.entries.push_back({"P" + std::to_string(n), 10, "setup.sh", "", ""});
    return f;
}

TEST(EditorModel, EntryEdits) {
    using Names = std::vector<std::string>;
    struct Case {
        const char* name;
        int entries;
        std::function<std::optional<editor::Edit>(const Fields&)> edit;
        std::optional<Names> expected;  // none: the edit cannot be made
        int row = -1;
        const char* what = "";
    };
    const Case cases[] = {
        {"add after row 1", 3, [](auto& f) { return editor::addEntry(f, 1); },
         Names{"P1", "P2", "Program 4", "P3"}, 2, "Add entry 3"},
        {"add with none highlighted goes first", 1, [](auto& f) { return editor::addEntry(f, -1); },
         Names{"Program 2", "P1"}, 0},
        {"add to a full list", catalogue::MaxEntries, [](auto& f) { return editor::addEntry(f, 0); }, {}},
        {"remove", 3, [](auto& f) { return editor::removeEntry(f, 2); }, Names{"P1", "P2"}, 1,
         "Remove entry 3 \"P3\""},
        {"remove the only one", 1, [](auto& f) { return editor::removeEntry(f, 0); }, {}},
        {"duplicate", 2, [](auto& f) { return editor::duplicateEntry(f, 0); }, Names{"P1", "P1 (copy)", "P2"},
         1},
        {"duplicate into a full list",
         catalogue::MaxEntries,
         [](auto& f) { return editor::duplicateEntry(f, 0); },
         {}},
        {"duplicate with none highlighted", 2, [](auto& f) { return editor::duplicateEntry(f, -1); }, {}},
        {"move down", 3, [](auto& f) { return editor::moveEntry(f, 1, 1); }, Names{"P1", "P3", "P2"}, 2,
         "Move entry 2 down"},
        {"move the first up", 3, [](auto& f) { return editor::moveEntry(f, 0, -1); }, {}},
        {"move the last down", 3, [](auto& f) { return editor::moveEntry(f, 2, 1); }, {}},
        {"name typed", 2,
         [](auto& f) { return editor::setCell(f, 1, editor::NameColumn, QStringLiteral("Q")); },
         Names{"P1", "Q"}, 1, "Edit name of entry 2"},
        {"findings are not edited",
         2,
         [](auto& f) { return editor::setCell(f, 1, editor::FindingsColumn, QStringLiteral("Q")); },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fields f = withEntries(c.entries);
        const auto edit = c.edit(f);
        ASSERT_EQ(edit.has_value(), c.expected.has_value());
        if (!edit) continue;
        edit->change(f);
        EXPECT_EQ(names(f), *c.expected);
        EXPECT_EQ(edit->row, c.row);
        if (*c.what) {
            EXPECT_EQ(edit->what, QString::fromLatin1(c.what));
        }
    }
    // Sizes: a whole number in 32 bits, else the old size stays.
    const std::pair<QVariant, std::int32_t> sizes[] = {{QStringLiteral("2048"), 2048},
                                                       {QStringLiteral("-5"), -5},
                                                       {QStringLiteral("big"), 10},
                                                       {QStringLiteral("4294967296"), 10},
                                                       {qlonglong(2147483647), 2147483647}};
    for (const auto& [value, size] : sizes) {
        Fields f = withEntries(1);
        editor::setCell(f, 0, editor::SizeColumn, value)->change(f);
        EXPECT_EQ(f.entries[0].size, size) << value.toString().toStdString();
        EXPECT_EQ(editor::cellValue(f.entries[0], editor::SizeColumn), QVariant(size));
    }
}

TEST(EditorModel, PathsLieOnTheMedium) {
    QTemporaryDir dir;
    const QString medium = dir.path();
    ASSERT_TRUE(QDir(medium).mkpath(QStringLiteral("tools/sub")));
    const std::pair<QString, std::optional<QString>> inside[] = {
        {medium + QStringLiteral("/tools/sub"), QStringLiteral("tools/sub")},
        {medium, QStringLiteral(".")},
        {medium + QStringLiteral("/../x"), std::nullopt},
        {QStringLiteral("/"), std::nullopt},
        {medium + QStringLiteral("x/y"), std::nullopt},  // a sibling whose name begins alike
    };
    for (const auto& [path, relative] : inside)
        EXPECT_EQ(editor::inside(medium, path), relative) << path.toStdString();

    struct Case {
        std::string entryFolder;
        QString chosen;
        std::optional<std::pair<std::string, std::string>> fields;  // command, folder
    };
    const Case cases[] = {
        // In the entry's folder: relative to it, the folder kept.
        {"tools", medium + QStringLiteral("/tools/sub/setup.sh"), std::pair{"sub/setup.sh", "tools"}},
        // Elsewhere on the medium: the program's own folder becomes the entry's.
        {"tools", medium + QStringLiteral("/other/run.sh"), std::pair{"run.sh", "other"}},
        {"", medium + QStringLiteral("/setup.sh"), std::pair{"setup.sh", "."}},
        {"missing", medium + QStringLiteral("/tools/setup.sh"), std::pair{"setup.sh", "tools"}},
        {"tools", QStringLiteral("/elsewhere/setup.sh"), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        const auto got = editor::commandFields(medium, c.entryFolder, c.chosen);
        ASSERT_EQ(got.has_value(), c.fields.has_value());
        if (got) {
            EXPECT_EQ(std::pair(got->command, got->folder), *c.fields);
        }
    }
    EXPECT_EQ(editor::pickerStart(medium, "tools"), QDir(medium).filePath(QStringLiteral("tools")));
    EXPECT_EQ(editor::pickerStart(medium, "missing"), medium);
    QFile readme(QDir(medium).filePath(QStringLiteral("README.TXT")));
    ASSERT_TRUE(readme.open(QIODevice::WriteOnly));
    EXPECT_TRUE(editor::documentPresent(medium, QStringLiteral("readme.txt")));  // as the menu finds it
    EXPECT_FALSE(editor::documentPresent(medium, QStringLiteral("license.txt")));
    EXPECT_FALSE(editor::documentPresent(medium, QStringLiteral("tools")));  // a folder
}

TEST(EditorModel, FindingsGoBesideTheirField) {
    using editor::Page;
    using fields::Place;
    const struct {
        Place field;
        int header, row;
        Page page;
    } cases[] = {
        {Place::header(fields::headerIndex(fields::Kind::Text, 0)), 2, -1, Page::General},
        {Place::header(fields::headerIndex(fields::Kind::Flag, 4)), 9, -1, Page::General},
        {Place::header(fields::headerIndex(fields::Kind::Colour, 0)), 10, -1, Page::Colours},
        {Place::header(fields::headerIndex(fields::Kind::LeadIn)), 19, -1, Page::None},
        {Place::entry(3, fields::Command), -1, 2, Page::Programs},
        {Place::entry(3, fields::Separator), -1, 2, Page::Programs},
        {Place::entry(4, fields::Name), -1, -1, Page::None},  // beyond the entries
        {Place{}, -1, -1, Page::None},
    };
    for (const auto& c : cases) {
        const editor::FindingPlace place = editor::locate(c.field, 3);
        EXPECT_EQ(std::tuple(place.header, place.row, place.page), std::tuple(c.header, c.row, c.page))
            << c.field.index;
    }
}

TEST(EditorModel, SavingAsksWhenTheFileIsNotTheOneRead) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("contents.inf"));
    const auto bytes = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? std::optional(f.readAll().toStdString()) : std::nullopt;
    };
    editor::CatalogueModel fresh(path);
    EXPECT_FALSE(fresh.onDisk());
    EXPECT_EQ(fresh.replaceReason(std::nullopt, false, 0), std::nullopt);
    EXPECT_TRUE(
        fresh.replaceReason("x", false, 0)->startsWith(QStringLiteral("It was created by someone else")));

    testcatalogue::Catalogue::withEntries(2).writeTo(dir.path());
    editor::CatalogueModel read(path);
    EXPECT_EQ(read.replaceReason(bytes(), false, 0), std::nullopt);
    EXPECT_TRUE(
        read.replaceReason(*bytes() + "x", false, 0)->startsWith(QStringLiteral("It changed on disk")));
    EXPECT_TRUE(read.replaceReason(bytes(), true, 0)->startsWith(QStringLiteral("It changed on disk")));
    EXPECT_EQ(read.errorsQuestion(0), std::nullopt);
    EXPECT_TRUE(read.errorsQuestion(1)->startsWith(QStringLiteral("The catalogue has 1 error:")));
    EXPECT_TRUE(read.errorsQuestion(2)->startsWith(QStringLiteral("The catalogue has 2 errors:")));
    // An edit makes it modified, undone it is not; a step that changes nothing is not recorded.
    EXPECT_FALSE(read.make({QStringLiteral("None"), -1, -1, [](Fields&) {}}));
    EXPECT_TRUE(read.make({QStringLiteral("Title"), 3, -1, [](Fields& f) { f.title = "New"; }}));
    EXPECT_TRUE(read.modified());
    EXPECT_EQ(read.document().fields().title, "New");
    EXPECT_EQ(read.undo(), -1);
    EXPECT_FALSE(read.modified());

    // A file the menu refuses: saving says so, whatever is on disk, and the errors question is
    // left to that; saved mended, it is read again and the history starts afresh.
    testcatalogue::Catalogue::withEntries(catalogue::MaxEntries + 1).writeTo(dir.path());
    editor::CatalogueModel refused(path);
    ASSERT_TRUE(refused.unreadable());
    EXPECT_TRUE(refused.replaceReason(bytes(), false, 0)->startsWith(QStringLiteral("The menu cannot read")));
    EXPECT_EQ(refused.errorsQuestion(3), std::nullopt);
    refused.make({QStringLiteral("Title"), 3, -1, [](Fields& f) { f.title = "New"; }});
    const std::string written = refused.document().write();
    EXPECT_TRUE(refused.saved(written));
    EXPECT_FALSE(refused.unreadable());
    EXPECT_FALSE(refused.history().canUndo());
    EXPECT_FALSE(refused.modified());
    EXPECT_EQ(refused.fields().title, "New");
    EXPECT_EQ(int(refused.fields().entries.size()), catalogue::MaxEntries);
}

}  // namespace
