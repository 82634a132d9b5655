#pragma once
// Where a checker finding is shown: beside the header field it concerns, on the page that holds
// that field, or in the row of its entry. No widgets.
#include <QString>

#include "catalogue/fields.h"

namespace editor {

// The editor's pages, in tab order.
enum class Page { None = -1, General, Colours, Programs };

// The page that shows header field `header` (an index in fields::Header); None for the fields
// nothing edits.
Page pageOf(int header);

struct FindingPlace {
    int header = -1;  // the header field (index in fields::Header), or -1
    int row = -1;     // the entry's row (0-based), or -1
    Page page = Page::None;
};

// Where to show a finding on `field` of a catalogue with `entries` entries.
FindingPlace locate(catalogue::fields::Place field, int entries);

// "line 12: warning: ..." as shown beside a field.
QString findingNote(int line, bool error, const QString& text);

}  // namespace editor
