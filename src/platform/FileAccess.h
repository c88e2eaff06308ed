#pragma once

#include <QByteArray>
#include <QString>

namespace ql {

// What the program may read and what it may replace. Every file the user names (lists, the
// settings file, the recent-files store) is read through readRegularFile, and every write checks
// its target with requireReplaceable first.

// One version of a file on disk as the program last read or wrote it: which file it is (device and
// inode), its size and modification time, and a hash of its bytes. The program's writer always puts
// a new file in place, so another writer's save shows as another inode; the hash tells a change
// made in place within one tick of the file system's clock.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0; // nanoseconds since the epoch
    quint64 hash = 0;

    // Same file, same size, same modification time: what can be told without reading the file.
    bool sameMetadata(const FileIdentity &other) const
    {
        return device == other.device && inode == other.inode && size == other.size
            && modifiedNs == other.modifiedNs;
    }
    bool operator==(const FileIdentity &other) const { return sameMetadata(other) && hash == other.hash; }
    bool operator!=(const FileIdentity &other) const { return !(*this == other); }
};

// The hash a FileIdentity holds for these bytes: fast, not cryptographic, stable within a run.
quint64 contentHash(const QByteArray &bytes);

// The same hash, of bytes given in pieces of any size: a file written piece by piece is hashed as
// it is written, and gets the hash its bytes would get read whole.
class ContentHasher
{
public:
    void add(const char *data, qsizetype size);
    quint64 result() const;

private:
    void addBlock(const char *block, qsizetype size);

    // The bytes are hashed in blocks of a fixed size, so the pieces they come in do not matter.
    static constexpr qsizetype BlockSize = 64 * 1024;
    quint64 m_hash = 0;
    QByteArray m_partial; // the start of the block still to be filled
};

struct FileContents
{
    QByteArray bytes;
    FileIdentity identity;
};

// Reads the whole file at `path`. Only a regular file is read: a named pipe, a device, a folder or
// a socket, also at the end of a link, is refused before a byte is read, since reading one may wait
// forever or never end. The file is opened without waiting (opening a pipe that has no writer would
// block), looked at through the open descriptor and read from that same descriptor, so what was
// looked at is what is read.
//
// Throws ql::Error "Cannot open file "PATH". REASON" when the file cannot be opened or read, for
// instance "... It is a named pipe, not a regular file" or, through a link, "... It leads to
// "/dev/zero", a character device, not a regular file".
FileContents readRegularFile(const QString &path);

// The whole regular file open on `fd`, read from its start whatever the descriptor's offset;
// `path` names it in errors. Refuses a descriptor of anything but a regular file as above.
FileContents readOpenFile(int fd, const QString &path);

// At most `limit` bytes from the start of the file at `path`, by the rules of readRegularFile.
QByteArray readFileHead(const QString &path, qsizetype limit);

// The file a write to `path` replaces: the end of the chain of symbolic links that starts at
// `path`, or `path` itself. A link that leads nowhere gives the path where its file would be
// created, so that the link stays a link.
QString writeTarget(const QString &path);

// Throws unless a write to `path`, whose file is `target` (writeTarget), may put a new file there:
// nothing may be there, or a regular file that the user may write. A file without any write
// permission is read-only for every user, root included, as careful editors treat it. Messages:
//   "Cannot write file "PATH". It is a named pipe, not a regular file; nothing was written."
//   "Cannot write file "PATH". It leads to "TARGET", a character device, not a regular file;
//    nothing was written."
//   "The file "PATH" is read-only."
void requireReplaceable(const QString &path, const QString &target);

// The system's text for an error number, with a full disk and a used-up quota said plainly.
QString fileErrorText(int error);

} // namespace ql
