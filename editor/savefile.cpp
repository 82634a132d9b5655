#include "editor/savefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

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
    QFile file(path);
    if (!file.exists()) return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error) *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return bytes.toStdString();
}

}  // namespace editor
