#pragma once
// Decodes bitmap characters into images for painting.

#include "engines/flashplayer/SwfTypes.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace swf {

// The bitmap as a QImage::Format_ARGB32_Premultiplied image of its own
// pixel size. jpegTables is Movie::jpegTables, used by BitmapKind::Jpeg.
// A null image when it cannot be decoded, with the reason in message; a
// usable image can come with a message too (a damaged alpha plane, a JPEG
// that breaks off). Images over the reader's bitmap limits, or claiming far
// more pixels than their data could hold, are refused before any pixel
// memory is taken.
QImage decodeBitmap(const Bitmap &bitmap, const QByteArray &jpegTables, QString *message = nullptr);

// One JPEG stream from separate table and image streams, and without the
// stray end/start markers some encoders leave between them.
QByteArray joinJpegStreams(const QByteArray &tables, const QByteArray &image);

} // namespace swf
