#pragma once

#include <QString>

namespace ql {

// The caption of every message box, question and error box, and the start of the main window's
// title. A constant: neither the lower-case name of the executable nor a test program's name may
// change it.
inline QString applicationTitle()
{
    return QStringLiteral("Quillon");
}

} // namespace ql
