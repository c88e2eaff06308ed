#pragma once

#include <QStringList>

namespace ql {

// Makes the windows' Tahoma available to the program. Debian's fonts-wine package ships it in
// wine's own folder (share/wine/fonts), which the system's font configuration does not search, so
// the program adds it itself when the system has no Tahoma of its own; otherwise Qt falls back to
// a similar face.
void installWindowFonts();

// The Tahoma files that a font package installed: share/wine/fonts/tahoma.ttf and tahomabd.ttf in
// the first of the data folders (~/.local/share, then XDG_DATA_DIRS: /usr/local/share, /usr/share)
// that holds them.
QStringList windowFontFiles();

} // namespace ql
