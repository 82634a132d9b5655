#include "editor/savefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "catalogue/systemfile.h"

namespace editor {
namespace {

QString systemError(const QString& what, const QString& file, int error) {
    return QStringLiteral("%1 %2: %3").arg(what, file, QString::fromLocal8Bit(std::strerror(error)));
}

// Calls `call` again while it is interrupted by a signal.
template <typename Call>
auto retrying(Call call) {
    for (;;) {
        const auto result = call();
        if (result >= 0 || errno != EINTR) return result;
    }
}

}  // namespace

std::optional<QString> replaceFile(const QString& path, std::string_view bytes) {
    const QFileInfo info(path);
    const QString target =
        info.isSymLink() && info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QString folder = QFileInfo(target).absolutePath();
    QByteArray temporary = QFile::encodeName(folder + QStringLiteral("/.") + QFileInfo(target).fileName() +
                                             QStringLiteral(".XXXXXX"));

    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return systemError(QStringLiteral("cannot create a file in"), folder, errno);
    const QString temporaryName = QFile::decodeName(temporary);
    const auto fail = [&](const QString& what, int error) {
        ::close(fd);
        ::unlink(temporary.constData());
        return systemError(what, temporaryName, error);
    };

    // The permissions of the file replaced, or those a new file gets.
    struct stat old {};
    mode_t mode;
    if (::stat(QFile::encodeName(target).constData(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0) return fail(QStringLiteral("cannot set the permissions of"), errno);

    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written =
            retrying([&] { return ::write(fd, bytes.data() + done, bytes.size() - done); });
        if (written < 0) return fail(QStringLiteral("cannot write"), errno);
        done += std::size_t(written);
    }
    if (retrying([&] { return ::fsync(fd); }) != 0) return fail(QStringLiteral("cannot flush"), errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return systemError(QStringLiteral("cannot write"), temporaryName, error);
    }
    if (::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return systemError(QStringLiteral("cannot replace"), target, error);
    }
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        retrying([&] { return ::fsync(dir); });
        ::close(dir);
    }
    return std::nullopt;
}

std::optional<std::string> readFile(const QString& path, QString* error) {
    // As the menu reads it: an ordinary file of at most 64 MiB. A pipe or a device could block for
    // ever, and the menu refuses them as it refuses a larger file.
    constexpr std::size_t Limit = 64u * 1024 * 1024;
    const std::string name = QFile::encodeName(path).toStdString();
    const auto failed = [&](const QString& why) -> std::optional<std::string> {
        if (error) *error = QStringLiteral("cannot read %1: %2").arg(path, why);
        return std::nullopt;
    };
    const catalogue::systemfile::Probe probe = catalogue::systemfile::probe(name);
    switch (probe.type) {
        case catalogue::systemfile::Type::Missing:
            return std::nullopt;
        case catalogue::systemfile::Type::File:
            break;
        case catalogue::systemfile::Type::Unknown:
            return failed(QString::fromStdString(probe.reason));
        default:
            return failed(QStringLiteral("it is not an ordinary file"));
    }
    std::string bytes, reason;
    if (!catalogue::systemfile::readAll(name, Limit, bytes, reason))
        return failed(QString::fromStdString(reason));
    if (bytes.size() > Limit)
        return failed(QStringLiteral("it is larger than 64 MiB; a catalogue is a small text file"));
    return bytes;
}

}  // namespace editor
