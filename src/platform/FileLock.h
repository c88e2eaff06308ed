#pragma once

#include "platform/FileAccess.h"
#include "platform/FileWriter.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace ql {

// An exclusive lock on one file that the program reads, changes and writes back. Every such writer
// (each quillon-cli command that changes a list, the window's Save) holds it from before it reads
// the file until the new version is in place, so that two writers run one after the other and
// neither loses the other's change. Readers take no lock: a file is only ever replaced whole, in
// one rename, so they see the old version or the new one.
//
// It is an open file description lock (F_OFD_SETLKW) on the file itself: no lock file is left
// beside the list, and the lock goes with its process however that ends. Since a write puts a new
// file (inode) in place of the locked one, a lock is checked, once granted, to be on the file the
// path still names; a lock on a file that was replaced meanwhile is taken again on the new one.
//
// A path where no file exists is held as absent: a write through the lock then creates the file
// only if it is still absent (WriteMode::CreateOnly), and updateLockedFile runs the change again
// under a lock on the file that another writer created meanwhile.
class FileLock
{
public:
    // Waits until the file at `path` (links followed) is locked. Throws, without waiting, when the
    // file may not be replaced (requireReplaceable: a special or read-only file) or cannot be opened.
    explicit FileLock(const QString &path);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    const QString &path() const { return m_path; }
    bool fileExists() const { return m_fd >= 0; }

    // The whole locked file, read through the lock's own descriptor (readOpenFile). Throws the
    // reader's "Cannot open file" error when there is no file.
    FileContents read() const;
    // Whether the file still holds the version `known` describes. The same file with the same size
    // and modification time is taken as unchanged without reading it; another size is a change; a
    // file of the same size put in place anew (another inode or time) is read and its hash
    // compared, so that a rewrite with the same bytes is no change. False when there is no file.
    bool isUnchanged(const FileIdentity &known) const;
    // Puts `data` in place of the file (or creates it) with writeFileAtomically, first removing what
    // earlier writes of the file, cut off by a kill, left beside it. Throws TargetExists
    // when the file was absent and another writer has created it since.
    FileIdentity write(const QByteArray &data);
    FileIdentity write(const ContentWriter &contents);

private:
    QString m_path;
    int m_fd = -1;
};

// Locks the file at `path`, lets `change` make its new contents (reading the old ones through the
// lock when it needs them) and writes them, all under the lock. `change` gives back nothing to
// leave the file as it is. Gives the identity of the file written, or nothing.
std::optional<FileIdentity> updateLockedFile(
    const QString &path, const std::function<std::optional<QByteArray>(FileLock &)> &change);
// The same, for contents made while they are written (writeFileAtomically's ContentWriter): the
// contents of a large list are never held whole in memory.
std::optional<FileIdentity> updateLockedFileInPieces(
    const QString &path, const std::function<std::optional<ContentWriter>(FileLock &)> &change);

} // namespace ql
