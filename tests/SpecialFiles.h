#pragma once

// Files that are not regular files, made in a test's temporary folder: a named pipe, and a character
// device node that stands in for a real device. The node has the numbers of the null device, which
// reads nothing and swallows what is written, so even a faulty program that opened it could neither
// hang, nor fill the memory, nor destroy anything. Making device nodes needs a privilege; a test
// that cannot make one skips that case.

#include <QFile>
#include <QString>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace testing_fs {

inline bool makeNamedPipe(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

inline bool makeDeviceStandIn(const QString &path)
{
    return ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0644, makedev(1, 3)) == 0;
}

// What is at a path, the link itself when it is one: enough to see that a file was left alone (not
// replaced, not turned into another kind of file).
struct Node
{
    mode_t type = 0;
    ino_t inode = 0;
    uid_t owner = 0;
    mode_t permissions = 0;

    bool operator==(const Node &other) const
    {
        return type == other.type && inode == other.inode && owner == other.owner
            && permissions == other.permissions;
    }
};

inline Node nodeAt(const QString &path)
{
    struct stat info
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return Node();
    return Node { info.st_mode & S_IFMT, info.st_ino, info.st_uid, info.st_mode & 07777 };
}

} // namespace testing_fs
