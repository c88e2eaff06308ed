#pragma once

#include <QString>

namespace ql {

// The folder that holds the program's own files, "Recent.XML" and Quillon.ini. Every reader and
// writer of those files asks here, and nowhere else decides where they are.
//
// The rule (choose):
// - Beside the executable, when that folder can be written and the program is not installed: the
//   portable layout of a build tree or of a copy unpacked into a folder of its own.
// - Otherwise the user's configuration folder, $XDG_CONFIG_HOME/Quillon (normally ~/.config/Quillon).
//   An installed program, whose executable sits in PREFIX/bin beside
//   PREFIX/share/applications/<desktop id>.desktop as `cmake --install` and the package lay it out,
//   always uses it, even when its folder could be written (by root, say).
//
// The choice is made once per run, at the first call of path(), which also creates the configuration
// folder when it is the one chosen; a first start there finds no files and starts empty. Tests point
// the folder elsewhere with set().
class ProgramFolder
{
public:
    static QString path();
    static QString filePath(const QString &fileName);

    // The folder of the running executable.
    static QString executableFolder();
    // $XDG_CONFIG_HOME/Quillon, or ~/.config/Quillon when that variable is not set.
    static QString configurationFolder();
    // Whether an executable in this folder belongs to an installation (see above).
    static bool isInstalled(const QString &executableFolder);
    // The rule above, for an executable in `executableFolder`; creates nothing.
    static QString choose(const QString &executableFolder);
    // The rule's folder, with the configuration folder created when it is the one chosen: what
    // path() takes at its first call.
    static QString settle(const QString &executableFolder);

    // Where the Open dialog starts: the program folder in the portable layout (where its lists were
    // kept beside it), the user's home folder for an installed program.
    static QString initialListFolder();

    static void set(const QString &folder);
    static void reset();

private:
    static QString s_override;
    static QString s_chosen;
};

} // namespace ql
