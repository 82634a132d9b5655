#pragma once
// Writing catalogue files for tests: a file from raw lines, and a builder for a valid catalogue
// with chosen header texts, flags, colours and entries. Header-only; needs QtCore.
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace testcatalogue {

// Writes `lines` to `dir`/contents.inf, each ended by "\n", in UTF-8; returns the file's path,
// or an empty string when it cannot be written.
inline QString writeCatalogue(const QString& dir, const QStringList& lines,
                              const QString& fileName = QStringLiteral("contents.inf")) {
    const QString path = QDir(dir).filePath(fileName);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
    for (const QString& line : lines) file.write(line.toUtf8() + '\n');
    return file.error() == QFile::NoError ? path : QString();
}

// A text field as it must be written: quoted when it holds a comma or begins with a blank or a
// quote, so that it reads back as given.
inline QString field(const QString& text) {
    const bool quote = text.contains(u',') || text.startsWith(u' ') || text.startsWith(u'"');
    return quote ? u'"' + text + u'"' : text;
}

struct Entry {
    QString name;
    QString size = QStringLiteral("1200");  // as written: "0", "-5", "32767"
    QString command = QStringLiteral("setup.sh");
    QString folder = QStringLiteral("editor");
    QString description = QStringLiteral("A small text editor.");
};

// A catalogue one field per line. Flags and colours are kept as written so that a test can use
// any value (a flag of 2, a colour with the high byte set).
struct Catalogue {
    QString title = QStringLiteral("Sample Software Collection");
    QString subtitle = QStringLiteral("Spring Edition");
    QString publisher = QStringLiteral("Sample Publishing");
    QString date = QStringLiteral("1 March 1999");
    // By meaning, not in file order.
    QString readmeButton = QStringLiteral("0");
    QString licenceButton = QStringLiteral("0");
    QString readmeAtStart = QStringLiteral("0");
    QString licenceAtStart = QStringLiteral("0");
    // Slots 0 to 8: window; label background, label text; list background, text; size box
    // background, text; description box background, text.
    std::array<std::int64_t, 9> colours{12632256, 16711680, 16777215, 16777215, 0, 12632256, 0, 16777215, 0};
    QList<Entry> entries;
    QString leadIn = QStringLiteral(">>");
    QString separator = QStringLiteral(">>");

    // A catalogue with `count` entries named "Program 1", "Program 2", ...
    static Catalogue withEntries(int count) {
        Catalogue c;
        for (int n = 1; n <= count; ++n) {
            c.entries.append({QStringLiteral("Program %1").arg(n), QString::number(n * 100),
                              QStringLiteral("setup.sh"), QStringLiteral("program%1").arg(n),
                              QStringLiteral("Description of program %1.").arg(n)});
        }
        return c;
    }

    QStringList lines() const {
        QStringList out{QStringLiteral("any text (ignored)"),
                        QStringLiteral("any text (ignored)"),
                        field(title),
                        field(subtitle),
                        field(publisher),
                        field(date),
                        readmeButton,
                        licenceButton,
                        readmeAtStart,
                        licenceAtStart};
        for (const std::int64_t colour : colours) out << QString::number(colour);
        out << field(leadIn);
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const Entry& e = entries[i];
            out << field(e.name) << e.size << field(e.command) << field(e.folder) << field(e.description);
            out << (i + 1 == entries.size() ? QStringLiteral("<<") : field(separator));
        }
        return out;
    }

    QString writeTo(const QString& dir) const { return writeCatalogue(dir, lines()); }
};

// The catalogue encoding of a colour: 00BBGGRR.
constexpr std::int64_t colourValue(int red, int green, int blue) { return red | (green << 8) | (blue << 16); }

}  // namespace testcatalogue
