#pragma once

#include <QByteArray>
#include <QString>

namespace ql {

// Every file the program writes goes through here, so that a failed write never leaves a damaged
// file behind:
//
//  1. the bytes are written to a new temporary file beside the target, named after it with
//     TemporaryFileMarker and six random characters ("plan.ql1.quillon-unfinished-Ab3xYz");
//  2. every byte is checked to have been written, and the file is flushed to the disk (fdatasync)
//     and closed, each step checked, before anything else happens;
//  3. only then is the temporary file renamed over the target, in one step.
//
// When any step fails, the temporary file is removed, the target stays byte for byte as it was,
// and ql::Error is thrown with a message that names the file, says why (a full disk is called
// that) and says that the previous file was kept. A target that is a symbolic link is written
// through the link, which stays.
//
// A temporary file is left behind only when the program is stopped during a write (killed, or the
// machine loses power); the target is then as it was before that write, and the leftover can be
// deleted.
void writeFileAtomically(const QString &path, const QByteArray &data);

// What the name of a temporary file holds between the target's name and its random characters.
inline constexpr char TemporaryFileMarker[] = ".quillon-unfinished-";

// Failures that tests inject (tests run as root, where a read-only folder stops nothing). Each one
// stands for a system call failing at that step, with the error number given to inject() or the
// step's usual one.
enum class FileFault {
    None,
    CannotCreate, // the temporary file cannot be created (EACCES)
    FailsHalfway, // half of the bytes reach the temporary file, then write() fails (ENOSPC)
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
    static void clear() { inject(FileFault::None); }
    static FileFault active() { return s_fault; }
    static int error() { return s_error; }

private:
    static inline FileFault s_fault = FileFault::None;
    static inline int s_error = 0;
};

} // namespace ql
