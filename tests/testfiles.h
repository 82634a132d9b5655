#pragma once
// Writing files with chosen permissions for the tests that start programs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <string>

namespace testfiles {

constexpr QFile::Permissions kReadable =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
constexpr QFile::Permissions kExecutable = kReadable | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;

// Writes `content` to `path` (creating its folder) with the given permissions.
inline void writeFile(const QString& path, const QByteArray& content, QFile::Permissions permissions) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path())) << path.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(content);
    f.close();
    ASSERT_TRUE(f.setPermissions(permissions)) << path.toStdString();
}

// Words shown with their bounds, so that blanks and empty words are visible in a failure.
inline std::string show(const QStringList& words) {
    std::string s;
    for (const QString& w : words) s += "[" + w.toStdString() + "]";
    return s;
}

}  // namespace testfiles
