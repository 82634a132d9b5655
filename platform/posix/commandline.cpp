#include "platform/posix/commandline.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace platform {

QStringList splitCommandLine(const QString& commandLine) {
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    const qsizetype n = commandLine.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = commandLine.at(i);
        if (c == u'\\') {
            qsizetype slashes = 0;
            while (i < n && commandLine.at(i) == u'\\') {
                ++slashes;
                ++i;
            }
            inWord = true;
            if (i < n && commandLine.at(i) == u'"') {
                word.append(QString(slashes / 2, u'\\'));
                if (slashes % 2 == 1) {
                    word.append(u'"');
                } else {
                    quoted = !quoted;
                }
            } else {
                word.append(QString(slashes, u'\\'));
                --i;
            }
        } else if (c == u'"') {
            inWord = true;
            // Inside quotes, "" stands for one literal quote.
            if (quoted && i + 1 < n && commandLine.at(i + 1) == u'"') {
                word.append(u'"');
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if ((c == u' ' || c == u'\t') && !quoted) {
            if (inWord) {
                words.append(word);
                word.clear();
                inWord = false;
            }
        } else {
            word.append(c);
            inWord = true;
        }
    }
    if (inWord) words.append(word);
    return words;
}

QString toLocalSeparators(const QString& path) {
    QString p = path;
    p.replace(u'\\', u'/');
    return p;
}

std::optional<QString> findPath(const QString& base, const QString& path) {
    const QString local = toLocalSeparators(path);
    const QString joined = QDir::isAbsolutePath(local) ? local : base + u'/' + local;
    const QString clean = QDir::cleanPath(joined);
    if (QFileInfo::exists(clean)) return clean;

    // Walk the components, taking each as written when it exists and otherwise the one entry of
    // the folder whose name differs only in letter case.
    QStringList parts = clean.split(u'/', Qt::SkipEmptyParts);
    QString current = clean.startsWith(u'/') ? QStringLiteral("/") : QString();
    for (const QString& part : parts) {
        const QString candidate = current.endsWith(u'/') ? current + part : current + u'/' + part;
        if (part == u"." || part == u".." || QFileInfo::exists(candidate)) {
            current = candidate;
            continue;
        }
        const QStringList entries =
            QDir(current.isEmpty() ? QStringLiteral(".") : current)
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        QString match;
        for (const QString& entry : entries) {
            if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                match = entry;
                break;
            }
        }
        if (match.isEmpty()) return std::nullopt;
        current = current.endsWith(u'/') ? current + match : current + u'/' + match;
    }
    return QDir::cleanPath(current);
}

namespace {

// The interpreter named by a "#!" line: its program and at most one argument, as the kernel
// reads it. Empty when the file does not start with "#!".
QStringList shebang(const QString& file, bool* windowsLineEnd = nullptr) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray head = f.read(256);
    if (!head.startsWith("#!")) return {};
    qsizetype end = head.indexOf('\n');
    if (end < 0) end = head.size();
    if (windowsLineEnd) *windowsLineEnd = end > 0 && head.at(end - 1) == '\r';
    const QString line = QString::fromUtf8(head.mid(2, end - 2)).trimmed();
    if (line.isEmpty()) return {};
    const qsizetype blank = line.indexOf(QRegularExpression(QStringLiteral("[ \t]")));
    if (blank < 0) return {line};
    return {line.left(blank), line.mid(blank + 1).trimmed()};
}

ProgramResolution resolveFile(const QString& file) {
    const QFileInfo info(file);
    if (info.isDir()) return {{}, {}, QStringLiteral("is a folder, not a program")};
    bool windowsLineEnd = false;
    const QStringList interpreter = shebang(file, &windowsLineEnd);
    // A ".sh" file without a "#!" line is for /bin/sh, whatever its permissions: the system cannot
    // start it by itself, and media often mark every file executable.
    if (interpreter.isEmpty() && file.endsWith(QStringLiteral(".sh"), Qt::CaseInsensitive)) {
        return {QStringLiteral("/bin/sh"), {file}, {}};
    }
    // A "#!" line that ends in CR LF names an interpreter the system cannot find ("/bin/sh\r"):
    // run it through the interpreter named, as for a file without execute permission.
    if (info.isExecutable() && !(windowsLineEnd && !interpreter.isEmpty())) return {file, {}, {}};
    if (!interpreter.isEmpty()) {
        QStringList lead = interpreter.mid(1);
        lead.append(file);
        return {interpreter.first(), lead, {}};
    }
    return {{}, {}, QStringLiteral("not executable")};
}

}  // namespace

namespace {

// A program written for Windows: it cannot run here unless it is in fact a script or a program
// of this system under that name.
bool namesWindowsProgram(const QString& word) {
    for (const char* suffix : {".exe", ".bat", ".cmd"}) {
        if (word.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) return true;
    }
    return false;
}

bool runsHere(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = f.read(4);
    return head.startsWith("#!") || head ==
                                        "\x7f"
                                        "ELF";
}

ProgramResolution resolveAsWritten(const QString& local, const QString& currentDir,
                                   const QString& searchPath) {
    if (local.contains(u'/')) {
        if (const auto found = findPath(currentDir, local)) return resolveFile(*found);
        return {{}, {}, QStringLiteral("no such file")};
    }
    if (const auto found = findPath(currentDir, local); found && QFileInfo(*found).isFile()) {
        return resolveFile(*found);
    }
    for (const QString& dir : searchPath.split(u':', Qt::SkipEmptyParts)) {
        const QFileInfo candidate(dir + u'/' + local);
        if (candidate.isFile() && candidate.isExecutable()) return {candidate.absoluteFilePath(), {}, {}};
    }
    return {{}, {}, QStringLiteral("no such file")};
}

}  // namespace

ProgramResolution resolveProgram(const QString& word, const QString& currentDir, const QString& searchPath) {
    if (word.isEmpty()) return {{}, {}, QStringLiteral("empty command")};
    const QString local = toLocalSeparators(word);
    ProgramResolution asWritten = resolveAsWritten(local, currentDir, searchPath);
    if (!namesWindowsProgram(local) || (asWritten.failure.isEmpty() && runsHere(asWritten.program))) {
        return asWritten;
    }
    // A medium made for both systems: setup.exe (or .bat, .cmd) has its counterpart for this system
    // beside it, setup.sh or setup, which runs in its place with the same arguments.
    const QString stem = local.left(local.lastIndexOf(u'.'));
    for (const QString& candidate : {stem + QStringLiteral(".sh"), stem}) {
        const auto found = findPath(currentDir, candidate);
        if (!found || !QFileInfo(*found).isFile()) continue;
        ProgramResolution counterpart = resolveFile(*found);
        if (counterpart.failure.isEmpty() &&
            (candidate.endsWith(QStringLiteral(".sh")) || runsHere(*found))) {
            return counterpart;
        }
    }
    if (asWritten.failure.isEmpty())
        asWritten.failure = QStringLiteral("a Windows program cannot run on this system");
    return asWritten;
}

}  // namespace platform
