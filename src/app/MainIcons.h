#pragma once

#include <QIcon>

namespace ql {

// The main window's icons, drawn in code so that no desktop theme is needed. The 32 by 32 tool bar
// pictures are addressed by their slot in the tool bar's icon list; equal slots give the same
// picture.
enum class MainIcon {
    None = -1, // no picture
    Open = 0,
    Print = 1,
    Import = 2,
    Categories = 3,
    Close = 4,
    Batch = 5,
    Save = 10,
    New = 15,
    Exit = 16,
};

QIcon mainIcon(MainIcon slot);

// The 16 by 16 picture every tab of a task list shows.
QIcon tabIcon();

} // namespace ql
