#include "editor/findinglocator.h"

namespace editor {

namespace fields = catalogue::fields;

Page pageOf(int header) {
    if (header < 0 || header >= fields::HeaderCount) return Page::None;
    switch (fields::Header[header].kind) {
        case fields::Kind::Text:
        case fields::Kind::Flag:
            return Page::General;
        case fields::Kind::Colour:
            return Page::Colours;
        default:
            return Page::None;
    }
}

FindingPlace locate(fields::Place field, int entries) {
    if (field.inHeader()) return {field.index, -1, pageOf(field.index)};
    const int entry = field.entryNumber();
    if (entry >= 1 && entry <= entries) return {-1, entry - 1, Page::Programs};
    return {};
}

QString findingNote(int line, bool error, const QString& text) {
    return QStringLiteral("line %1: %2: %3")
        .arg(QString::number(line), error ? QStringLiteral("error") : QStringLiteral("warning"), text);
}

}  // namespace editor
