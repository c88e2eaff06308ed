#pragma once

#include <QByteArray>
#include <QImage>

namespace ql {

// Decodes a whole JPEG file held in memory into an image (RGB32, or Grayscale8 for a grey
// picture). Damaged or cut-off data throws ql::Error with the decoder's reason, for example
// "Cannot read the JPEG picture: Premature end of JPEG file": data that the decoder would only
// warn about is refused too, so no half-grey picture is ever shown. The program never ends or
// crashes on bad bytes.
QImage decodeJpeg(const QByteArray &bytes);

} // namespace ql
