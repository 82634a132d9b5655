#include "editor/cataloguemodel.h"

#include "editor/savefile.h"

namespace editor {
namespace {

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

}  // namespace

CatalogueModel::CatalogueModel(QString path)
    : path_(std::move(path)), document_(catalogue::Document::blank()) {
    QString readError;
    onDisk_ = readFile(path_, &readError);
    if (!readError.isEmpty()) {
        unreadable_ = true;
        openProblem_ = readError;
    } else if (onDisk_) {
        document_ = catalogue::Document::open(*onDisk_);
        unreadable_ = document_.refusal().has_value();
    }
    fields_ = document_.fields();
}

bool CatalogueModel::make(const Edit& edit) {
    catalogue::Fields after = fields_;
    edit.change(after);
    if (after == fields_) return false;
    history_.record(edit.what, edit.mergeKey, fields_, after, edit.row);
    apply(after);
    return true;
}

std::optional<int> CatalogueModel::undo() {
    auto state = history_.undo();
    if (!state) return std::nullopt;
    apply(state->fields);
    return state->row;
}

std::optional<int> CatalogueModel::redo() {
    auto state = history_.redo();
    if (!state) return std::nullopt;
    apply(state->fields);
    return state->row;
}

void CatalogueModel::apply(const catalogue::Fields& fields) {
    fields_ = fields;
    document_.setFields(fields_);
}

void CatalogueModel::setRefusedText(std::string text) {
    document_.setRefusedText(std::move(text));
    mended_ = true;
}

std::optional<QString> CatalogueModel::errorsQuestion(int errors) const {
    if (errors <= 0 || document_.refusal()) return std::nullopt;
    return QStringLiteral("The catalogue has %1 error%2: the menu will not start with it. Save it anyway?")
        .arg(errors)
        .arg(errors == 1 ? "" : "s");
}

std::optional<QString> CatalogueModel::replaceReason(const std::optional<std::string>& now, bool readFailed,
                                                     int errors) const {
    QString why;
    QString replaces = QStringLiteral(" Saving replaces it with the catalogue shown here.");
    if (const auto& refusal = document_.refusal()) {
        why = QStringLiteral("The menu cannot read the file on disk (%1).")
                  .arg(fromUtf8(refusal->error.message()));
        const bool mended = document_.refusedText() != refusal->fieldText;
        if (errors > 0) {
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
    } else if (readFailed || now != onDisk_) {
        why = onDisk_ ? QStringLiteral("It changed on disk since it was opened or last saved here.")
                      : QStringLiteral("It was created by someone else since the editor started.");
    }
    if (why.isEmpty()) return std::nullopt;
    return why + replaces;
}

bool CatalogueModel::saved(const std::string& bytes) {
    onDisk_ = bytes;
    const bool reread = document_.refusal().has_value();
    if (reread) {
        // Read again: a file mended now reads as any other; the undo history was of the other one.
        document_ = catalogue::Document::open(bytes);
        fields_ = document_.fields();
        history_.clear();
        mended_ = false;
    }
    unreadable_ = document_.refusal().has_value();
    history_.setClean();
    return reread;
}

}  // namespace editor
