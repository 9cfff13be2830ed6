// Decoding of JPEG bytes with libjpeg-turbo into a QImage, for the pictures built into the program.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace qvn::ui {

// Decodes a JPEG held in memory to a QImage in Format_RGBA8888 (opaque). Returns a null image
// for empty, truncated or corrupt data (anything the library warns about) or a colour model other
// than grey or colour; never ends the program (libjpeg's default error handler calls exit()).
QImage DecodeJpeg(const QByteArray& bytes);
// Reads a resource (e.g. ":/qvn/VER.jpg") or file and decodes it; a null image when it is
// missing or does not decode.
QImage LoadJpeg(const QString& name);

} // namespace qvn::ui
