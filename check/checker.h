#pragma once
// The publisher's catalogue checker: reads a medium's "contents.inf" with the menu's own reader
// and reports what stops the menu from starting (errors) and what the menu tolerates but a
// publisher will want to fix (warnings), each with its line. Also renders the menu window as it
// looks right after start-up.
//
// Needs a QApplication: the room in the program list is measured on a real menu window, and the
// preview is one. Nothing is ever written into the medium's folder and nothing is started.
#include <QImage>
#include <QString>
#include <QStringList>
#include <optional>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/fields.h"

namespace check {

struct Finding {
    enum class Severity { Error, Warning };
    Severity severity;
    int line = 0;  // 0: the file as a whole (it is missing or cannot be read)
    QString text;
    catalogue::fields::Place field;  // the field it concerns; none for the file as a whole
};

struct Options {
    // The PATH on which a command's bare program name is looked up when the entry's folder does
    // not hold it.
    QString searchPath;
};

struct Report {
    std::vector<Finding> findings;             // sorted by line, in order of discovery within one
    std::optional<catalogue::Module1> tables;  // what the menu reads, when it can start

    int count(Finding::Severity severity) const;
    // 0 when clean, 1 with warnings only, 2 with errors.
    int exitStatus() const;
};

// Checks `folder`/contents.inf and everything it refers to in `folder`.
Report checkCatalogue(const QString& folder, const Options& options);

// Checks `bytes` as if they were `folder`/contents.inf (the file itself is not read): what an
// editor would write there, before it does.
Report checkCatalogueBytes(std::string_view bytes, const QString& folder, const Options& options);

// The report as text: one "contents.inf:LINE: error: ..." or "...: warning: ..." line per finding,
// then the summary "contents.inf: 0 errors, 2 warnings".
QStringList formatReport(const Report& report, const QString& fileName = QStringLiteral("contents.inf"));

// The menu window for `tables` right after start-up, client area only. Documents flagged for
// start-up are not opened.
QImage renderPreview(const catalogue::Module1& tables, const QString& folder);

}  // namespace check
