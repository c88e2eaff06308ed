#pragma once

#include <QString>

namespace ql {

// What the build knows about this release, set once in the top CMakeLists.txt.

// The version as the package and --version give it: "1.0.0~beta" for the beta of 1.0.0, "1.0.0"
// for the final release.
QString programVersion();

// The About box's words for it: "Version 1.00 beta" (major, minor with two digits, then the stage).
QString aboutVersionText();

// The desktop's name for the program, "org.example.Quillon": the base name of its desktop entry,
// icon and AppStream component.
QString desktopId();

} // namespace ql
