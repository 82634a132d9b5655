#pragma once
// The edits of the entries table, on the fields alone: each says what it does (for the undo
// history), which entry to show afterwards, and changes a copy of the fields. No widgets.
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

#include "catalogue/fields.h"

namespace editor {

// The columns of the entries table: the entry fields in the file's order, then the findings.
enum Column {
    NameColumn = catalogue::fields::Name,
    SizeColumn = catalogue::fields::Size,
    CommandColumn = catalogue::fields::Command,
    FolderColumn = catalogue::fields::Folder,
    DescriptionColumn = catalogue::fields::Description,
    FindingsColumn,
    ColumnCount
};
static_assert(int(FindingsColumn) == int(catalogue::fields::Separator),
              "one column per entry field but the separator");

struct Edit {
    QString what;       // "Add entry 3"
    int mergeKey = -1;  // edits with the same key >= 0 in a row are undone together
    int row = -1;       // the entry to show afterwards (0-based)
    std::function<void(catalogue::Fields&)> change;
};

// The column headings ("Name", "Size (Kb)", ..., "Findings").
QString columnHeading(int column);
// What a cell of entry `e` shows: text, or the size as a number.
QVariant cellValue(const catalogue::Entry& e, int column);

// Each takes the highlighted row (-1: none); nothing when the edit cannot be made (the list is
// full, or would be empty, or the row has nowhere to go).
std::optional<Edit> addEntry(const catalogue::Fields& f, int row);
std::optional<Edit> removeEntry(const catalogue::Fields& f, int row);
std::optional<Edit> duplicateEntry(const catalogue::Fields& f, int row);
std::optional<Edit> moveEntry(const catalogue::Fields& f, int row, int by);
// A value typed into a cell. A size that is not a whole number in the 32-bit range keeps the old
// size.
std::optional<Edit> setCell(const catalogue::Fields& f, int row, int column, const QVariant& value);

}  // namespace editor
