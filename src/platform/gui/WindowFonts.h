#pragma once

namespace ql {

// Makes the windows' Tahoma available to the program. Debian's fonts-wine package ships it in a
// folder that the system's font configuration does not search, so the program adds it itself when
// it is there; otherwise Qt falls back to a similar face.
void installWindowFonts();

} // namespace ql
