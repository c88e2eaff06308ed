#pragma once

#include <QIcon>

namespace ql {

// The frame's 16 by 16 icon list, drawn in code so that no desktop theme is needed. Slots are the
// numbers the tool bar and the grid's popup menu share; equal numbers give the same picture.
enum class TaskIcon {
    None = -1, // no picture
    SetDate = 1,
    Pause = 2,
    Start = 3,
    Delete = 5,
    Bookmark = 7,
    Progress = 9,
    Cancel = 10,
    Date = 12,
    Link = 13,
    Complete = 14,
    Add = 16,
    // The two buttons of the filter bar, outside the shared list.
    Search = 100,
    ShowAll = 101,
};

QIcon taskIcon(TaskIcon slot);

} // namespace ql
