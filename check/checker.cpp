#include "check/checker.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QListWidget>
#include <QPixmap>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "core/menu.h"
#include "platform/inert/inertplatform.h"
#include "platform/platform.h"
#include "platform/posix/commandline.h"
#include "qt/colours.h"
#include "qt/menuwindow.h"

namespace check {
namespace {

using Severity = Finding::Severity;
namespace fields = catalogue::fields;
using fields::Place;

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

QString quoted(const QString& text) { return u'"' + text + u'"'; }

// The menu's own reading of command lines and paths (platform/posix/commandline.h), on QStrings.
namespace cmd {

QString toLocalSeparators(const QString& path) {
    return QString::fromStdString(platform::toLocalSeparators(path.toStdString()));
}

std::optional<QString> findPath(const QString& base, const QString& path) {
    const auto found = platform::findPath(base.toStdString(), path.toStdString());
    return found ? std::optional(QString::fromStdString(*found)) : std::nullopt;
}

QStringList splitCommandLine(const QString& commandLine) {
    QStringList words;
    for (const std::string& word : platform::splitCommandLine(commandLine.toStdString())) {
        words.append(QString::fromStdString(word));
    }
    return words;
}

// Only why the program cannot start: empty when it can.
struct ProgramResolution {
    QString failure;
};

ProgramResolution resolveProgram(const QString& word, const QString& currentDir, const QString& searchPath) {
    return {QString::fromStdString(
        platform::resolveProgram(word.toStdString(), currentDir.toStdString(), searchPath.toStdString())
            .failure)};
}

}  // namespace cmd

// The interpreter that a script's "#!" line names; empty for anything else.
QString interpreterOf(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray head = f.readLine(256);
    if (!head.startsWith("#!")) return {};
    return QString::fromUtf8(head.mid(2)).simplified().section(u' ', 0, 0);
}

// Relative luminance of an sRGB colour.
double luminance(const QColor& colour) {
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.red()) + 0.7152 * channel(colour.green()) +
           0.0722 * channel(colour.blue());
}

// WCAG 2 contrast ratio of two colours, from 1 (same luminance) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A menu window presenting `tables` as after start-up, laid out but never put on a screen.
class PresentedMenu {
public:
    PresentedMenu(const catalogue::Module1& tables, const QString& folder)
        : platform_(folder.toStdString()), menu_(window_, platform_) {
        window_.setAttribute(Qt::WA_DontShowOnScreen);
        menu_.present(tables);
        window_.show();
        // Let the list finish any layout it left to the event loop before it is measured or drawn.
        QCoreApplication::processEvents();
    }
    qt::MenuWindow& window() { return window_; }

private:
    platform::InertPlatform platform_;
    qt::MenuWindow window_;
    core::Menu menu_;
};

// Whether Windows can start `word` in `folder`: a Windows program there as written, or the
// counterpart of a script (setup.sh: setup.exe, setup.bat or setup.cmd beside it). Nothing
// when it cannot be told (a bare name that is not in the folder may be on Windows' path).
std::optional<bool> startsOnWindows(const QString& folder, const QString& word) {
    const QString local = cmd::toLocalSeparators(word);
    const QString suffix = QFileInfo(local).suffix().toLower();
    const bool windowsProgram = suffix == u"exe" || suffix == u"bat" || suffix == u"cmd" || suffix == u"com";
    const auto asWritten = cmd::findPath(folder, local);
    if (windowsProgram && asWritten && QFileInfo(*asWritten).isFile()) return true;
    const QString stem = suffix.isEmpty() || !(windowsProgram || suffix == u"sh")
                             ? local
                             : local.left(local.size() - suffix.size() - 1);
    for (const char* counterpart : {".exe", ".bat", ".cmd"}) {
        if (const auto found = cmd::findPath(folder, stem + QLatin1String(counterpart));
            found && QFileInfo(*found).isFile())
            return true;
    }
    if (!local.contains(u'/') && !asWritten) return std::nullopt;
    return false;
}

// The checks that need the tables the menu read.
class Checker {
public:
    Checker(const catalogue::Module1& tables, const QString& folder, const Options& options, Report& report)
        : m_(tables), folder_(QDir(folder).absolutePath()), options_(options), report_(report) {}

    void run() {
        notes();
        duplicateNames();
        for (int n = 1; n <= m_.ProgramCount; ++n) entryFiles(n);
        documents();
        contrast();
        nameWidths();
    }

private:
    void warn(int line, Place field, const QString& text) {
        report_.findings.push_back({Severity::Warning, line, text, field});
    }

    QString entry(int n) const {
        return QStringLiteral("entry %1 %2").arg(n).arg(quoted(fromUtf8(m_.ProgramName[n])));
    }

    // The reader's notes: fields without a number, text after the end marker.
    void notes() {
        for (const catalogue::Note& note : m_.Notes) warn(note.line, Place{note.field}, fromUtf8(note.text));
    }

    // The menu maps the highlighted name to the first entry with that name.
    void duplicateNames() {
        std::map<std::string, int> first;
        for (int n = 1; n <= m_.ProgramCount; ++n) {
            const auto [it, inserted] = first.emplace(m_.ProgramName[n], n);
            if (inserted) continue;
            const int earlier = it->second;
            warn(m_.EntryLine[n], Place::entry(n, fields::Name),
                 QStringLiteral("%1 has the same name as entry %2 on line %3; the menu always "
                                "selects entry %2, so entry %4 can never be installed")
                     .arg(entry(n), QString::number(earlier), QString::number(m_.EntryLine[earlier]),
                          QString::number(n)));
        }
    }

    // `written` relative to `base` as the menu finds it: the path found, and a warning text when
    // it exists only in other letter case.
    static QString caseHint(const QString& base, const QString& written, const QString& found) {
        const QString local = cmd::toLocalSeparators(written);
        const QString exact = QDir::cleanPath(QDir::isAbsolutePath(local) ? local : base + u'/' + local);
        if (found == exact) return {};
        const QString shown = QDir::isAbsolutePath(local) ? found : QDir(base).relativeFilePath(found);
        return QStringLiteral(
                   "exists as %1 (other letter case); the menu uses it, but a case-sensitive "
                   "medium needs the exact name")
            .arg(quoted(shown));
    }

    // The entry's folder and the program its command line starts.
    void entryFiles(int n) {
        const int line = m_.EntryLine[n];
        const Place folderField = Place::entry(n, fields::Folder),
                    commandField = Place::entry(n, fields::Command);
        const QString folderText = fromUtf8(m_.ProgramFolder[n]);
        const auto folder = cmd::findPath(folder_, folderText);
        if (!folder) {
            warn(line, folderField,
                 QStringLiteral("%1: folder %2 does not exist").arg(entry(n), quoted(folderText)));
            return;
        }
        if (!QFileInfo(*folder).isDir()) {
            warn(line, folderField,
                 QStringLiteral("%1: folder %2 is a file, not a folder").arg(entry(n), quoted(folderText)));
            return;
        }
        if (const QString hint = caseHint(folder_, folderText, *folder); !hint.isEmpty()) {
            warn(line, folderField,
                 QStringLiteral("%1: folder %2 %3").arg(entry(n), quoted(folderText), hint));
        }

        const QString command = fromUtf8(m_.ProgramCommand[n]);
        const QStringList words = cmd::splitCommandLine(command);
        if (words.isEmpty()) {
            warn(line, commandField,
                 QStringLiteral("%1: the command line is empty; installing starts nothing").arg(entry(n)));
            return;
        }
        const QString word = words.first();
        const QString local = cmd::toLocalSeparators(word);
        const bool bare = !local.contains(u'/');
        const QString inFolder = QStringLiteral(" in folder %1").arg(quoted(folderText));

        // A bare name is taken from the entry's folder first, then from PATH; a name with a "/"
        // only from the folder.
        auto file = cmd::findPath(*folder, local);
        if (file && bare && !QFileInfo(*file).isFile()) file.reset();
        if (!file) {
            if (bare && cmd::resolveProgram(word, *folder, options_.searchPath).failure.isEmpty()) return;
            warn(line, commandField,
                 QStringLiteral("%1: program %2 does not exist%3%4")
                     .arg(entry(n), quoted(word), inFolder,
                          bare ? QStringLiteral(" nor on PATH") : QString()));
            return;
        }
        if (const QString hint = caseHint(*folder, local, *file); !hint.isEmpty()) {
            warn(line, commandField,
                 QStringLiteral("%1: program %2%3 %4").arg(entry(n), quoted(word), inFolder, hint));
        }

        const QString suffix = QFileInfo(local).suffix().toLower();
        const cmd::ProgramResolution program = cmd::resolveProgram(word, *folder, options_.searchPath);
        const bool windowsProgram =
            suffix == u"exe" || suffix == u"com" || suffix == u"bat" || suffix == u"cmd";
        if (windowsProgram && !program.failure.isEmpty()) {
            const QString stem = QFileInfo(local).completeBaseName();
            warn(line, commandField,
                 QStringLiteral("%1: command %2 will not start here: \".%3\" is a Windows program, which "
                                "this system cannot run; it installs on Windows only (put %4 or %5 "
                                "beside it for Linux)")
                     .arg(entry(n), quoted(command), suffix, quoted(stem + QStringLiteral(".sh")),
                          quoted(stem)));
            return;
        }
        // A command that cannot start here gets that warning alone: it does not install on Linux either.
        if (!program.failure.isEmpty()) {
            warn(line, commandField,
                 QStringLiteral("%1: command %2 will not start here: %3")
                     .arg(entry(n), quoted(command), program.failure));
            return;
        }
        if (startsOnWindows(*folder, word) == false) {
            const QString stem = windowsProgram || suffix == u"sh" ? QFileInfo(local).completeBaseName()
                                                                   : QFileInfo(local).fileName();
            warn(line, commandField,
                 QStringLiteral("%1: command %2 installs on Linux only: there is no %3, %4 or %5 in "
                                "folder %6 for Windows")
                     .arg(entry(n), quoted(command), quoted(stem + QStringLiteral(".exe")),
                          quoted(stem + QStringLiteral(".bat")), quoted(stem + QStringLiteral(".cmd")),
                          quoted(folderText)));
        }
        // A script names its interpreter; the kernel needs it to exist.
        const QString interpreter = interpreterOf(*file);
        if (QDir::isAbsolutePath(interpreter) && !QFileInfo(interpreter).isExecutable()) {
            warn(line, commandField,
                 QStringLiteral("%1: command %2 will not start here: its interpreter %3 does not exist")
                     .arg(entry(n), quoted(command), quoted(interpreter)));
        }
    }

    // "readme.txt" and "license.txt", when a flag asks for them.
    void documents() {
        struct Document {
            const char* file;
            int buttonSlot, startSlot;
            const char* button;
            const char* atStart;
        };
        static constexpr Document docs[] = {
            {"readme.txt", 1, 2, "the readme button is enabled", "the readme opens at start-up"},
            {"license.txt", 3, 4, "the licence button is enabled", "the licence opens at start-up"},
        };
        for (const Document& doc : docs) {
            QStringList why;
            int line = 0;
            Place field;
            for (const auto& [slot, reason] :
                 {std::pair{doc.buttonSlot, doc.button}, {doc.startSlot, doc.atStart}}) {
                if (!m_.flagOn(slot)) continue;
                why.append(QString::fromLatin1(reason));
                const int flagLine = m_.FlagLine[slot];
                if (line == 0 || flagLine < line) {
                    line = flagLine;
                    field = Place::header(fields::headerIndex(fields::Kind::Flag, slot));
                }
            }
            if (why.isEmpty()) continue;
            const QString name = QString::fromLatin1(doc.file);
            const QString because = why.join(QStringLiteral(" and "));
            const auto found = cmd::findPath(folder_, name);
            if (!found) {
                warn(line, field, QStringLiteral("%1 does not exist, but %2").arg(quoted(name), because));
            } else if (!QFileInfo(*found).isFile()) {
                warn(line, field,
                     QStringLiteral("%1 is a folder, not a text file, but %2").arg(quoted(name), because));
            } else if (const QString hint = caseHint(folder_, name, *found); !hint.isEmpty()) {
                warn(line, field, QStringLiteral("%1 %2").arg(quoted(name), hint));
            }
        }
    }

    // "16777215 (#ffffff)", or "system colour 5 (#ffffff with the default palette)"; `more` goes
    // inside the brackets.
    static QString describeColour(std::int32_t value, const QColor& colour, const QString& more = {}) {
        const auto bits = static_cast<std::uint32_t>(value);
        if (bits & 0x80000000u) {
            return QStringLiteral("system colour %1 (%2 with the default palette%3)")
                .arg(QString::number(bits & 0xFFu), colour.name(), more);
        }
        return QStringLiteral("%1 (%2%3)").arg(QString::number(value), colour.name(), more);
    }

    // Text colour against background colour for each coloured control.
    void contrast() {
        struct Pair {
            int background, text;
            const char* what;
        };
        static constexpr Pair pairs[] = {
            {1, 2, "the labels"},
            {3, 4, "the program list"},
            {5, 6, "the size box"},
            {7, 8, "the description box"},
        };
        const QPalette palette = QApplication::palette();
        for (const Pair& pair : pairs) {
            const std::int32_t bgValue = m_.ColourTable[pair.background];
            const std::int32_t textValue = m_.ColourTable[pair.text];
            // A value that stands for no colour leaves the control's own colour; nothing to judge.
            const auto bg = qt::colourFromValue(bgValue, palette);
            const auto text = qt::colourFromValue(textValue, palette);
            if (!bg || !text) continue;
            const double ratio = contrastRatio(*bg, *text);
            if (ratio >= 3.0) continue;
            warn(m_.ColourLine[pair.text],
                 Place::header(fields::headerIndex(fields::Kind::Colour, pair.text)),
                 QStringLiteral("%1: text colour %2 on background colour %3 has a contrast ratio of %4:1, "
                                "below 3:1; the text is hard to read")
                     .arg(QString::fromLatin1(pair.what), describeColour(textValue, *text),
                          describeColour(bgValue, *bg,
                                         QStringLiteral(", line %1").arg(m_.ColourLine[pair.background])),
                          QString::number(std::floor(ratio * 100) / 100, 'f', 2)));
        }
    }

    // The list cuts off, with "…", a name wider than the room its viewport leaves for text. The
    // room is read from a real menu window: the list's frame, the item margins and the scroll bar
    // that appears when the entries exceed the visible rows.
    void nameWidths() {
        PresentedMenu presented(m_, folder_);
        QListWidget* list = presented.window().programList;
        const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
        const int room = list->viewport()->width() - 2 * margin;
        const bool scrollBar = list->verticalScrollBar()->isVisible();
        const QFontMetricsF metrics(list->font());
        for (int n = 1; n <= m_.ProgramCount; ++n) {
            const qreal width = metrics.horizontalAdvance(fromUtf8(m_.ProgramName[n]));
            if (width <= room) continue;
            warn(m_.EntryLine[n], Place::entry(n, fields::Name),
                 QStringLiteral("%1 is %2 pixels wide, but the program list has room for %3%4; "
                                "the menu cuts the name short")
                     .arg(entry(n), QString::number(std::ceil(width)), QString::number(room),
                          scrollBar ? QStringLiteral(" beside its scroll bar") : QString()));
        }
    }

    const catalogue::Module1& m_;
    QString folder_;
    const Options& options_;
    Report& report_;
};

}  // namespace

int Report::count(Finding::Severity severity) const {
    return int(std::count_if(findings.begin(), findings.end(),
                             [severity](const Finding& f) { return f.severity == severity; }));
}

int Report::exitStatus() const {
    if (count(Severity::Error) > 0) return 2;
    return count(Severity::Warning) > 0 ? 1 : 0;
}

namespace {

// The findings for what the reader made of a catalogue in `folder`.
Report checkRead(catalogue::Result result, const QString& folder, const Options& options) {
    Report report;
    if (const auto* error = std::get_if<catalogue::Error>(&result)) {
        report.findings.push_back(
            {Severity::Error, error->line, QString::fromStdString(error->what), Place{error->field}});
        return report;
    }
    report.tables = std::get<catalogue::Module1>(std::move(result));
    Checker(*report.tables, folder, options, report).run();
    std::stable_sort(report.findings.begin(), report.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return report;
}

}  // namespace

Report checkCatalogue(const QString& folder, const Options& options) {
    const QString file = QDir(folder).filePath(QString::fromLatin1(catalogue::CatalogueFileName));
    return checkRead(catalogue::loadCatalogue(file.toStdString()), folder, options);
}

Report checkCatalogueBytes(std::string_view bytes, const QString& folder, const Options& options) {
    return checkRead(catalogue::readCatalogue(bytes), folder, options);
}

QStringList formatReport(const Report& report, const QString& fileName) {
    QStringList lines;
    for (const Finding& f : report.findings) {
        const QString where =
            f.line > 0 ? QStringLiteral("%1:%2").arg(fileName, QString::number(f.line)) : fileName;
        const QString kind =
            f.severity == Severity::Error ? QStringLiteral("error") : QStringLiteral("warning");
        lines.append(QStringLiteral("%1: %2: %3").arg(where, kind, f.text));
    }
    const int errors = report.count(Severity::Error);
    const int warnings = report.count(Severity::Warning);
    lines.append(QStringLiteral("%1: %2 %3, %4 %5")
                     .arg(fileName, QString::number(errors),
                          errors == 1 ? QStringLiteral("error") : QStringLiteral("errors"),
                          QString::number(warnings),
                          warnings == 1 ? QStringLiteral("warning") : QStringLiteral("warnings")));
    return lines;
}

QImage renderPreview(const catalogue::Module1& tables, const QString& folder) {
    PresentedMenu presented(tables, QDir(folder).absolutePath());
    return presented.window().grab().toImage();
}

}  // namespace check
