// The window's pictures, read without Qt's image plug-ins: the same pixels as Qt's own readers
// (the ico plug-in for the icon), and a null image, never a crash, for a file that is not one.
#include "qt/pictures.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QIcon>
#include <QTemporaryDir>
#include <QtEndian>
#include <functional>

#include "core/image.h"
#include "qt/menuwindow.h"
#include "qt/widgets.h"

namespace {

QImage argb(const QImage& image) { return image.convertToFormat(QImage::Format_ARGB32); }

std::span<const std::uint8_t> bytesIn(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())};
}

// What the toolkit-free decoder (core/image.h, used by the GTK window) makes of a file, as a QImage.
QImage fromCore(const std::optional<core::Image>& image) {
    if (!image) return {};
    return argb(
        QImage(image->rgba.data(), image->width, image->height, image->width * 4, QImage::Format_RGBA8888));
}

class PicturesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    QString write(const QString& name, const QByteArray& bytes) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    static QByteArray bytesOf(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    qt::MenuWindow window;  // it also registers the compiled-in pictures
    QTemporaryDir folder;
};

TEST_F(PicturesTest, SamePixelsAsQtsOwnReaders) {
    struct Case {
        const char* path;
        std::function<QImage(const QString&)> read;
    };
    const Case cases[] = {
        {":/discmenu/discmenu.ico", qt::readIcon},
        {":/discmenu/picture.bmp", qt::readBitmap},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const QImage expected = argb(QImage(QString::fromLatin1(c.path)));
        ASSERT_FALSE(expected.isNull());
        const QImage image = argb(c.read(QString::fromLatin1(c.path)));
        EXPECT_EQ(image.size(), expected.size());
        EXPECT_TRUE(image == expected);
        // The decoder without a toolkit gives the same pixels.
        QFile file(QString::fromLatin1(c.path));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const bool isIcon = QString::fromLatin1(c.path).endsWith(u".ico");
        EXPECT_TRUE(fromCore(isIcon ? core::decodeIcon(bytesIn(bytes))
                                    : core::decodeBitmap(bytesIn(bytes))) == expected);
    }
    // The icon's disc is opaque, its corners and centre hole are not; the window and its picture
    // box show these very images.
    const QImage icon = qt::readIcon(QStringLiteral(":/discmenu/discmenu.ico"));
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(16, 16)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(8, 16)), 255);
    EXPECT_TRUE(argb(window.windowIcon().pixmap(32, 32).toImage()) == argb(icon));
    EXPECT_TRUE(argb(window.picture->pixmap().toImage()) ==
                argb(QImage(QStringLiteral(":/discmenu/picture.bmp"))));
}

TEST_F(PicturesTest, IconWithAPngImage) {
    QImage drawn(16, 16, QImage::Format_ARGB32);
    drawn.fill(qRgba(10, 20, 30, 128));
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(drawn.save(&buffer, "PNG"));
    QByteArray icon(22, '\0');
    qToLittleEndian<quint16>(1, icon.data() + 2);
    qToLittleEndian<quint16>(1, icon.data() + 4);
    qToLittleEndian<quint32>(quint32(png.size()), icon.data() + 14);
    qToLittleEndian<quint32>(22, icon.data() + 18);
    icon += png;
    EXPECT_TRUE(argb(qt::readIcon(write(QStringLiteral("png.ico"), icon))) == drawn);
}

TEST_F(PicturesTest, NotAPictureGivesANullImage) {
    const QByteArray icon = bytesOf(QStringLiteral(":/discmenu/discmenu.ico"));
    const QByteArray bitmap = bytesOf(QStringLiteral(":/discmenu/picture.bmp"));
    ASSERT_EQ(icon.size(), 766);
    QByteArray badOffset = icon;
    qToLittleEndian<quint32>(5000, badOffset.data() + 18);
    QByteArray hugeWidth = icon;
    qToLittleEndian<quint32>(100000, hugeWidth.data() + 22 + 4);

    struct Case {
        const char* name;
        QByteArray bytes;
        bool icon;
    };
    const Case cases[] = {
        {"empty icon", {}, true},
        {"icon directory only", icon.left(22), true},
        {"icon cut in its header", icon.left(40), true},
        {"icon image outside the file", badOffset, true},
        {"icon far too wide", hugeWidth, true},
        {"bitmap as icon", bitmap, true},
        {"empty bitmap", {}, false},
        {"bitmap cut in its header", bitmap.left(20), false},
        {"icon as bitmap", icon, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = write(QString::fromLatin1(c.name), c.bytes);
        EXPECT_TRUE((c.icon ? qt::readIcon(path) : qt::readBitmap(path)).isNull());
        EXPECT_FALSE(c.icon ? core::decodeIcon(bytesIn(c.bytes)) : core::decodeBitmap(bytesIn(c.bytes)));
    }
    // Cut anywhere, a file is no picture to the toolkit-free decoder (and reading it stays inside
    // the bytes given: the sanitizer build checks that).
    for (std::size_t size = 0; size < std::size_t(icon.size()); ++size)
        EXPECT_FALSE(core::decodeIcon(bytesIn(icon).first(size))) << "icon cut to " << size;
    for (std::size_t size = 0; size < std::size_t(bitmap.size()); size += 7)
        EXPECT_FALSE(core::decodeBitmap(bytesIn(bitmap).first(size))) << "bitmap cut to " << size;
    EXPECT_TRUE(qt::readIcon(folder.filePath(QStringLiteral("missing.ico"))).isNull());
    EXPECT_TRUE(qt::readBitmap(folder.filePath(QStringLiteral("missing.bmp"))).isNull());
}

}  // namespace
