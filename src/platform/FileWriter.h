#pragma once

#include <QByteArray>
#include <QString>

namespace ql {

// Every file the program writes goes through here: the bytes are written whole to a temporary file
// in the target's folder and then renamed over the target, so a failed write never leaves a damaged
// file behind. Throws ql::Error carrying the file system's message.
void writeFileAtomically(const QString &path, const QByteArray &data);

// Failures that tests inject (tests run as root, where a read-only folder stops nothing).
enum class FileFault { None, CannotCreate, FailsHalfway, CannotRename };

class FileFaults
{
public:
    // The fault applies to every write until cleared.
    static void inject(FileFault fault) { s_fault = fault; }
    static void clear() { s_fault = FileFault::None; }
    static FileFault active() { return s_fault; }

private:
    static inline FileFault s_fault = FileFault::None;
};

} // namespace ql
