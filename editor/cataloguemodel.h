#pragma once
// The catalogue being edited, apart from the widgets that show it: the file on disk, the document
// that writes it back, the fields as edited, their undo history, and what saving must ask first.
// QtCore only.
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/document.h"
#include "editor/entryedits.h"
#include "editor/history.h"

namespace editor {

class CatalogueModel {
public:
    // Reads `path`. A catalogue the menu refuses opens with its refusal (see catalogue::Document::open);
    // one that cannot be read at all, or none, starts a new catalogue.
    explicit CatalogueModel(QString path);

    const QString& path() const { return path_; }
    const catalogue::Document& document() const { return document_; }
    const catalogue::Fields& fields() const { return fields_; }
    EditHistory& history() { return history_; }

    // Why the file could not be read at all (a new catalogue was started); empty otherwise.
    const QString& openProblem() const { return openProblem_; }
    bool onDisk() const { return onDisk_.has_value(); }
    // The file on disk was not read as a catalogue (refused, or unreadable).
    bool unreadable() const { return unreadable_; }
    // Edited or mended since read or saved.
    bool modified() const { return !history_.isClean() || mended_; }

    // Makes `edit` as one step of the history; false when it changes nothing.
    bool make(const Edit& edit);
    // Undoes or redoes one step; the entry it concerned (-1: none), or nothing when there is none.
    std::optional<int> undo();
    std::optional<int> redo();
    // The field the menu stops at in a refused file, as mended.
    void setRefusedText(std::string text);

    // Why saving must ask before replacing the file, which now holds `now` (nothing: no file) or
    // could not be read (`readFailed`); nothing when it need not ask. `errors`: the checker's
    // errors in what would be written.
    std::optional<QString> replaceReason(const std::optional<std::string>& now, bool readFailed,
                                         int errors) const;
    // The question before saving a catalogue with `errors` the menu stops at; nothing when there
    // are none, or the file is refused (replaceReason says what saving does with it).
    std::optional<QString> errorsQuestion(int errors) const;
    // `bytes` are now on disk. True when the document was read again from them (it was refused):
    // the history then starts afresh.
    bool saved(const std::string& bytes);

private:
    void apply(const catalogue::Fields& fields);

    QString path_;
    catalogue::Document document_;
    catalogue::Fields fields_;
    EditHistory history_;
    std::optional<std::string> onDisk_;  // the file's bytes when read or last saved; none: no file
    QString openProblem_;
    bool unreadable_ = false;
    bool mended_ = false;  // the field the menu stops at was edited since the last save
};

}  // namespace editor
