#pragma once

#include <QByteArrayView>
#include <QString>

namespace ql {

// Text in the system encoding without a declaration: UTF-8 on Linux. Files written by the Windows
// program hold Windows-1252 instead, so bytes that are not valid UTF-8 are read as Windows-1252.
QString decodeSystemText(QByteArrayView bytes);

// The character of one Windows-1252 byte.
char16_t windows1252Char(unsigned char byte);

} // namespace ql
