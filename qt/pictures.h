#pragma once
// The window's two pictures, decoded by the toolkit-free decoder the other windows use too
// (core/image.h). Qt's own image reader would look through its image plug-ins first (the icon
// would need the ico plug-in), which at start-up is time for nothing.
#include <QImage>
#include <QString>

namespace qt {

// A Windows bitmap (.bmp) file or resource; a null image when it cannot be read.
QImage readBitmap(const QString& path);

// The first image of a Windows icon (.ico) file or resource, uncompressed or PNG, with its
// transparency mask applied; a null image when it cannot be read.
QImage readIcon(const QString& path);

}  // namespace qt
