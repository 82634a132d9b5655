#include "qt/pictures.h"

#include <QFile>
#include <cstdint>
#include <optional>
#include <span>

#include "core/image.h"

namespace qt {
namespace {

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::span<const std::uint8_t> bytesIn(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())};
}

// The decoder's pixels as an image of its own (the decoder's buffer goes when it returns).
QImage imageOf(const std::optional<core::Image>& image) {
    if (!image) return {};
    return QImage(image->rgba.data(), image->width, image->height, image->width * 4, QImage::Format_RGBA8888)
        .copy();
}

}  // namespace

QImage readBitmap(const QString& path) { return imageOf(core::decodeBitmap(bytesIn(contentsOf(path)))); }

QImage readIcon(const QString& path) {
    const QByteArray data = contentsOf(path);
    if (std::optional<core::Image> icon = core::decodeIcon(bytesIn(data))) return imageOf(icon);
    // An icon whose image is a PNG one (the decoder reads bitmaps alone): Qt's PNG decoder reads it.
    const std::span<const std::uint8_t> image = core::iconImage(bytesIn(data));
    return image.empty() ? QImage() : QImage::fromData(image.data(), int(image.size()), "PNG");
}

}  // namespace qt
