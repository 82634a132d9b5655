#include "editor/entryedits.h"

#include <climits>

namespace editor {
namespace {

namespace fields = catalogue::fields;

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

constexpr int EntryMergeBase = 1000;

bool full(const catalogue::Fields& f) { return int(f.entries.size()) >= catalogue::MaxEntries; }
bool valid(const catalogue::Fields& f, int row) { return row >= 0 && row < int(f.entries.size()); }

}  // namespace

QString columnHeading(int column) {
    static constexpr const char* headings[ColumnCount] = {"Name",   "Size (Kb)",   "Set-up command",
                                                          "Folder", "Description", "Findings"};
    return column >= 0 && column < ColumnCount ? QString::fromLatin1(headings[column]) : QString();
}

QVariant cellValue(const catalogue::Entry& e, int column) {
    if (column < 0 || column >= FindingsColumn) return {};
    const fields::EntryField& field = fields::EntryFields[column];
    if (field.kind == fields::Kind::Number) return e.size;
    return fromUtf8(e.*field.edited);
}

std::optional<Edit> addEntry(const catalogue::Fields& f, int row) {
    if (full(f)) return std::nullopt;
    const int at = std::clamp(row + 1, 0, int(f.entries.size()));  // after the highlighted one, or first
    return Edit{QStringLiteral("Add entry %1").arg(at + 1), -1, at, [at](catalogue::Fields& f) {
                    catalogue::Entry entry;
                    entry.name = QStringLiteral("Program %1").arg(f.entries.size() + 1).toStdString();
                    entry.command = "setup.sh";
                    f.entries.insert(f.entries.begin() + at, entry);
                }};
}

std::optional<Edit> removeEntry(const catalogue::Fields& f, int row) {
    if (!valid(f, row) || f.entries.size() <= 1) return std::nullopt;
    return Edit{
        QStringLiteral("Remove entry %1 \"%2\"").arg(row + 1).arg(fromUtf8(f.entries[std::size_t(row)].name)),
        -1, std::min(row, int(f.entries.size()) - 2),
        [row](catalogue::Fields& f) { f.entries.erase(f.entries.begin() + row); }};
}

std::optional<Edit> duplicateEntry(const catalogue::Fields& f, int row) {
    if (!valid(f, row) || full(f)) return std::nullopt;
    return Edit{QStringLiteral("Duplicate entry %1").arg(row + 1), -1, row + 1, [row](catalogue::Fields& f) {
                    catalogue::Entry copy = f.entries[std::size_t(row)];
                    // The menu selects the first entry of a name: the copy needs a name of its own.
                    copy.name += " (copy)";
                    f.entries.insert(f.entries.begin() + row + 1, copy);
                }};
}

std::optional<Edit> moveEntry(const catalogue::Fields& f, int row, int by) {
    const int to = row + by;
    if (!valid(f, row) || !valid(f, to)) return std::nullopt;
    return Edit{QStringLiteral("Move entry %1 %2")
                    .arg(row + 1)
                    .arg(by < 0 ? QStringLiteral("up") : QStringLiteral("down")),
                -1, to, [row, to](catalogue::Fields& f) {
                    std::swap(f.entries[std::size_t(row)], f.entries[std::size_t(to)]);
                }};
}

std::optional<Edit> setCell(const catalogue::Fields& f, int row, int column, const QVariant& value) {
    if (!valid(f, row) || column < 0 || column >= FindingsColumn) return std::nullopt;
    return Edit{QStringLiteral("Edit %1 of entry %2").arg(columnHeading(column).toLower()).arg(row + 1),
                EntryMergeBase + row * ColumnCount + column, row, [row, column, value](catalogue::Fields& f) {
                    catalogue::Entry& e = f.entries[std::size_t(row)];
                    const fields::EntryField& field = fields::EntryFields[column];
                    if (field.kind != fields::Kind::Number) {
                        e.*field.edited = value.toString().toStdString();
                        return;
                    }
                    bool ok = false;
                    const qlonglong size = value.toLongLong(&ok);
                    if (ok && size >= INT_MIN && size <= INT_MAX) e.size = std::int32_t(size);
                }};
}

}  // namespace editor
