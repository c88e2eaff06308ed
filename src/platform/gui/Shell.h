#pragma once

#include <QString>
#include <QUrl>

namespace ql {

// Hand-offs to the desktop: open a file or web address with the program the desktop chooses, show a
// folder in the file browser. Tests install a recorder, so nothing is ever launched from a test.
class Shell
{
public:
    virtual ~Shell() = default;

    // Opens a file or a web address. Returns whether the desktop took it.
    virtual bool open(const QString &target) = 0;
    // Shows `folder` in the desktop's file browser (an empty folder: nothing). Returns whether the
    // desktop took it.
    virtual bool explore(const QString &folder) = 0;

    static Shell &current();
    // Makes `shell` current (nullptr: the desktop again) and gives back the one it replaces, or
    // nullptr when that was the desktop. The caller keeps ownership.
    static Shell *install(Shell *shell);

protected:
    Shell() = default;
    Shell(const Shell &) = delete;
    Shell &operator=(const Shell &) = delete;
};

// The desktop's own hand-off, through QDesktopServices.
class DesktopShell final : public Shell
{
public:
    bool open(const QString &target) override;
    bool explore(const QString &folder) override;

    // What open() hands over for `target`:
    //   "https://example.com/a", "mailto:me@example.com"   as written (a scheme of two or more letters)
    //   "www.example.com", "ftp.example.com"               with "http://" or "ftp://" in front
    //   "/home/me/notes.txt", "notes.txt", "C:\notes.txt"  a local file, relative to the current folder
    //   "" or blanks only                                  nothing (an empty address)
    static QUrl targetUrl(const QString &target);
};

} // namespace ql
