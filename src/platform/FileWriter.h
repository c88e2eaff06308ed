#pragma once

#include "platform/FileAccess.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace ql {

// Every file the program writes goes through here, so that a failed write never leaves a damaged
// file behind:
//
//  1. the target (links followed) must be a regular file the user may write, or nothing
//     (requireReplaceable): a named pipe, a device, a folder or a read-only file is refused and
//     left as it is;
//  2. the bytes are written to a new temporary file in the target's folder: an unnamed one
//     (O_TMPFILE) where the file system allows, so that a write cut off by a kill or a power loss
//     leaves nothing behind; elsewhere one named after the target with TemporaryFileMarker and six
//     random characters ("plan.ql1.quillon-unfinished-Ab3xYz");
//  3. every byte is checked to have been written, and the file is flushed to the disk (fdatasync),
//     each step checked, before anything else happens;
//  4. only then does the file take its place: an unnamed file is given a temporary name, and the
//     temporary file is renamed over the target in one step.
//
// When any step fails, the temporary file is removed, the target stays byte for byte as it was,
// and ql::Error is thrown with a message that names the file, says why (a full disk is called
// that) and says that the previous file was kept. A target that is a symbolic link is written
// through the link, which stays. Gives the identity of the file written.
//
// A named temporary file is left behind only when the program is stopped during a write on a file
// system without unnamed files (or in the moment between naming and renaming); the target is then
// as it was before that write, and the next write of it under its lock removes the leftover.
//
// CreateOnly puts the file in place only if nothing is at the target by then (a link, not a
// rename), and throws TargetExists otherwise, having written nothing: how a writer that found no
// file, and so could lock none, keeps from replacing a file that another writer created meanwhile.
enum class WriteMode { Replace, CreateOnly };
struct TargetExists
{
};
FileIdentity writeFileAtomically(
    const QString &path, const QByteArray &data, WriteMode mode = WriteMode::Replace);

// Bytes of a file, handed over in pieces in their order.
using PutBytes = std::function<void(const char *data, qsizetype size)>;
// Makes a file's contents by handing them, in order, to `put`.
using ContentWriter = std::function<void(const PutBytes &put)>;

// The same write, of contents made while they are written: a large file never has to be held
// whole in memory, and the disk starts on the first pieces while the rest are made. An exception
// from `contents` ends the write as a failed step does, and passes on unchanged.
FileIdentity writeFileAtomically(
    const QString &path, const ContentWriter &contents, WriteMode mode = WriteMode::Replace);

// Removes the named temporary files that writes of `path` cut off by a kill or a power loss left
// beside its target. Only for the holder of the file's lock (FileLock): every writer of a list holds
// it for as long as its temporary file has a name, so none of them is still in use.
void removeStrandedTemporaryFiles(const QString &path);

// What the name of a temporary file holds between the target's name and its random characters.
inline constexpr char TemporaryFileMarker[] = ".quillon-unfinished-";

// Failures that tests inject (tests run as root, where a read-only folder stops nothing). Each one
// stands for a system call failing at that step, with the error number given to inject() or the
// step's usual one.
enum class FileFault {
    None,
    CannotCreate, // the temporary file cannot be created (EACCES)
    FailsHalfway, // half of the first piece reaches the temporary file, then write() fails (ENOSPC)
    KilledHalfway, // half of the first piece reaches the temporary file, then the process is killed
    FailsAtFlush, // every write() succeeds, then the final flush to the disk fails (ENOSPC)
    CannotRename, // the finished temporary file cannot be renamed over the target (EACCES)
};

class FileFaults
{
public:
    // The fault applies to every write until cleared. `error` is the errno the failing call reports;
    // 0 takes the step's usual one.
    static void inject(FileFault fault, int error = 0)
    {
        s_fault = fault;
        s_error = error;
    }
    // Clears the fault and the refusal of unnamed files.
    static void clear()
    {
        inject(FileFault::None);
        s_noUnnamedFiles = false;
    }
    static FileFault active() { return s_fault; }
    static int error() { return s_error; }

    // Stands for a file system that has no unnamed temporary files (O_TMPFILE), so that the named
    // ones are used: every fault above applies to both kinds.
    static void refuseUnnamedFiles(bool refuse) { s_noUnnamedFiles = refuse; }
    static bool unnamedFilesRefused() { return s_noUnnamedFiles; }

private:
    static inline FileFault s_fault = FileFault::None;
    static inline int s_error = 0;
    static inline bool s_noUnnamedFiles = false;
};

} // namespace ql
