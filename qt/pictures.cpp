#include "qt/pictures.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QtEndian>

namespace qt {
namespace {

QImage readAs(QIODevice* device, const char* format) {
    QImageReader reader(device, format);
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

quint16 u16(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}
quint32 u32(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

}  // namespace

QImage readBitmap(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return readAs(&file, "bmp");
}

QImage readIcon(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray data = file.readAll();
    // The directory: reserved 0, type 1 (icon), image count; then 16 bytes per image, whose last
    // two fields are the image's size and its offset in the file.
    if (data.size() < 22 || u16(data, 0) != 0 || u16(data, 2) != 1 || u16(data, 4) == 0) return {};
    const quint32 size = u32(data, 14);
    const quint32 offset = u32(data, 18);
    if (offset > quint32(data.size()) || size > quint32(data.size()) - offset) return {};
    QByteArray image = data.mid(offset, size);
    if (image.startsWith("\x89PNG")) {
        QBuffer buffer(&image);
        return readAs(&buffer, "png");
    }

    // A bitmap without its file header, twice as high as the icon: the colour rows, then a mask
    // of one bit per pixel (set: transparent). Rows are stored bottom-up, each padded to 4 bytes.
    if (image.size() < 40) return {};
    const quint32 headerSize = u32(image, 0);
    const qint32 width = qint32(u32(image, 4));
    const qint32 height = qint32(u32(image, 8)) / 2;
    const quint16 bitCount = u16(image, 14);
    quint32 paletteSize = u32(image, 32);
    if (paletteSize == 0 && bitCount <= 8) paletteSize = 1u << bitCount;
    if (headerSize < 40 || width <= 0 || width > 256 || height <= 0 || height > 256 || paletteSize > 256) {
        return {};
    }
    const qsizetype pixelsAt = qsizetype(headerSize) + qsizetype(paletteSize) * 4;

    // Give the colour rows the file header of a .bmp and the icon's own height, and let the
    // bitmap decoder read them.
    QByteArray bitmap(14, '\0');
    bitmap[0] = 'B';
    bitmap[1] = 'M';
    qToLittleEndian<quint32>(quint32(14 + image.size()), bitmap.data() + 2);
    qToLittleEndian<quint32>(quint32(14 + pixelsAt), bitmap.data() + 10);
    bitmap += image;
    qToLittleEndian<qint32>(height, bitmap.data() + 14 + 8);
    QBuffer buffer(&bitmap);
    QImage icon = readAs(&buffer, "bmp");
    if (icon.isNull()) return {};
    icon = icon.convertToFormat(QImage::Format_ARGB32);

    const qsizetype colourStride = ((qsizetype(width) * bitCount + 31) / 32) * 4;
    const qsizetype maskStride = ((qsizetype(width) + 31) / 32) * 4;
    const qsizetype maskAt = pixelsAt + colourStride * height;
    if (maskAt + maskStride * height > image.size()) return icon;
    for (int y = 0; y < height; ++y) {
        const auto* mask =
            reinterpret_cast<const uchar*>(image.constData() + maskAt + maskStride * (height - 1 - y));
        auto* pixels = reinterpret_cast<QRgb*>(icon.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (mask[x / 8] & (0x80 >> (x % 8))) pixels[x] = qRgba(0, 0, 0, 0);
        }
    }
    return icon;
}

}  // namespace qt
