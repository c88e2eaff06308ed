#pragma once

#include <QIcon>

namespace ql {

// The program's icon, the picture its desktop entry shows, at every size it is drawn at (16 to 256
// pixels). Every window of the program carries it as its window icon.
QIcon programIcon();

} // namespace ql
