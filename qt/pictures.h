#pragma once
// The window's two pictures, read with Qt's built-in bitmap decoder only. Left to itself, Qt would
// offer each file to every image plug-in (loading them all) before its own decoders, and the icon
// would need the ico plug-in; at start-up that is time and memory for nothing.
#include <QImage>
#include <QString>

namespace qt {

// A Windows bitmap (.bmp) file or resource; a null image when it cannot be read.
QImage readBitmap(const QString& path);

// The first image of a Windows icon (.ico) file or resource, uncompressed or PNG, with its
// transparency mask applied; a null image when it cannot be read.
QImage readIcon(const QString& path);

}  // namespace qt
