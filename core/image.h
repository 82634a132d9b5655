#pragma once
// The window's two pictures (a .bmp and a .ico), decoded without any toolkit into plain RGBA
// pixels, so that a front end needs no image plug-in to show them.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace core {

struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;  // rows top-down, 4 bytes per pixel, alpha not premultiplied

    // The pixel at (x, y) as 0xRRGGBBAA.
    std::uint32_t pixel(int x, int y) const;
};

// A Windows bitmap file (uncompressed, 1, 4, 8, 24 or 32 bits per pixel, bottom-up or top-down);
// nothing when the bytes are not one or are cut short.
std::optional<Image> decodeBitmap(std::span<const std::uint8_t> file);

// The bytes of the first image of a Windows icon file (a bitmap without its file header, or a PNG
// image); empty when the bytes are not an icon's directory or it points outside them.
std::span<const std::uint8_t> iconImage(std::span<const std::uint8_t> file);

// The first image of a Windows icon file, stored as a bitmap (1 to 32 bits per pixel) with its
// transparency mask applied; nothing when the bytes are not such an icon (a PNG image inside an
// icon is not read here).
std::optional<Image> decodeIcon(std::span<const std::uint8_t> file);

}  // namespace core
