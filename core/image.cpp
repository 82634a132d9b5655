#include "core/image.h"

#include <cstddef>

namespace core {
namespace {

using Bytes = std::span<const std::uint8_t>;

std::uint32_t u16(Bytes b, std::size_t at) { return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8; }
std::uint32_t u32(Bytes b, std::size_t at) { return u16(b, at) | u16(b, at + 2) << 16; }

// The pixels of a device-independent bitmap: its header at the start of `dib`, the colour table
// after the header, the rows at `pixelsAt` (from the start of `dib`). An icon's header counts its
// rows twice (colour rows, then a mask of one bit per pixel, set where it is transparent), and
// its rows follow the colour table.
std::optional<Image> decodeDib(Bytes dib, std::size_t pixelsAt, bool icon) {
    if (dib.size() < 40) return std::nullopt;
    const std::uint32_t headerSize = u32(dib, 0);
    const auto width = std::int32_t(u32(dib, 4));
    auto height = std::int32_t(u32(dib, 8));
    const std::uint32_t planes = u16(dib, 12), bitCount = u16(dib, 14), compression = u32(dib, 16);
    std::uint32_t paletteSize = u32(dib, 32);
    // BI_RGB, or BI_BITFIELDS with the standard masks of 32-bit pixels.
    if (headerSize < 40 || headerSize > dib.size() || planes != 1) return std::nullopt;
    if (compression != 0 && !(compression == 3 && bitCount == 32)) return std::nullopt;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)
        return std::nullopt;
    const bool topDown = height < 0;
    if (topDown) {
        if (icon || height == INT32_MIN) return std::nullopt;
        height = -height;
    }
    if (icon) height /= 2;
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return std::nullopt;
    if (bitCount <= 8 && paletteSize == 0) paletteSize = 1u << bitCount;
    if (paletteSize > 256) return std::nullopt;
    const std::size_t paletteAt = headerSize + (compression == 3 && headerSize == 40 ? 12 : 0);
    if (bitCount <= 8 && paletteAt + std::size_t(paletteSize) * 4 > dib.size()) return std::nullopt;
    if (icon) pixelsAt = paletteAt + (bitCount <= 8 ? std::size_t(paletteSize) * 4 : 0);

    const auto w = std::size_t(width), h = std::size_t(height);
    const std::size_t stride = (w * bitCount + 31) / 32 * 4;
    if (pixelsAt > dib.size() || stride * h > dib.size() - pixelsAt) return std::nullopt;
    const std::size_t maskStride = (w + 31) / 32 * 4;
    const std::size_t maskAt = pixelsAt + stride * h;
    const bool masked = icon && maskAt <= dib.size() && maskStride * h <= dib.size() - maskAt;

    Image image;
    image.width = width;
    image.height = height;
    image.rgba.resize(w * h * 4);
    for (std::size_t y = 0; y < h; ++y) {
        const std::size_t stored = topDown ? y : h - 1 - y;
        const Bytes row = dib.subspan(pixelsAt + stride * stored, stride);
        std::uint8_t* out = image.rgba.data() + y * w * 4;
        for (std::size_t x = 0; x < w; ++x, out += 4) {
            std::uint8_t r = 0, g = 0, b = 0, a = 255;
            if (bitCount <= 8) {
                const std::size_t bit = x * bitCount;
                const unsigned index = (row[bit / 8] >> (8 - bitCount - bit % 8)) & ((1u << bitCount) - 1);
                if (index < paletteSize) {
                    const std::size_t at = paletteAt + index * 4;
                    b = dib[at], g = dib[at + 1], r = dib[at + 2];
                }
            } else {
                const std::size_t at = x * (bitCount / 8);
                b = row[at], g = row[at + 1], r = row[at + 2];
                // An icon's 32-bit pixels carry their own alpha; a bitmap's fourth byte is unused.
                if (bitCount == 32 && icon) a = row[at + 3];
            }
            if (masked) {
                const std::uint8_t maskByte = dib[maskAt + maskStride * stored + x / 8];
                if (maskByte & (0x80 >> (x % 8))) r = g = b = a = 0;
            }
            out[0] = r, out[1] = g, out[2] = b, out[3] = a;
        }
    }
    return image;
}

}  // namespace

std::uint32_t Image::pixel(int x, int y) const {
    const std::uint8_t* p = rgba.data() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::optional<Image> decodeBitmap(Bytes file) {
    // The file header: "BM", the file's size, two reserved words, where the rows begin.
    if (file.size() < 14 + 40 || file[0] != 'B' || file[1] != 'M') return std::nullopt;
    const Bytes dib = file.subspan(14);
    const std::uint32_t pixelsAt = u32(file, 10);
    if (pixelsAt < 14) return std::nullopt;
    return decodeDib(dib, pixelsAt - 14, false);
}

Bytes iconImage(Bytes file) {
    // The directory: reserved 0, type 1 (icon), image count; then 16 bytes per image, whose last
    // two fields are the image's size and its offset in the file.
    if (file.size() < 22 || u16(file, 0) != 0 || u16(file, 2) != 1 || u16(file, 4) == 0) return {};
    const std::uint32_t size = u32(file, 14), offset = u32(file, 18);
    if (offset > file.size() || size > file.size() - offset) return {};
    return file.subspan(offset, size);
}

std::optional<Image> decodeIcon(Bytes file) {
    const Bytes dib = iconImage(file);
    if (dib.size() >= 4 && dib[0] == 0x89 && dib[1] == 'P' && dib[2] == 'N' && dib[3] == 'G')
        return std::nullopt;
    return decodeDib(dib, 0, true);
}

}  // namespace core
