#pragma once

#include "storage/ClientTable.h"

#include "platform/Error.h"
#include "platform/FileWriter.h"

#include <QByteArray>
#include <atomic>
#include <functional>

namespace ql {

// The datapacket document: one table written as XML without line breaks. The writer reproduces the
// byte layout exactly; the reader accepts that layout and other writers' documents of the format.
//
// With change logging on, every stored version is written with its state and the log goes into
// PARAMS; with logging off only the current rows are written, without states and without a log.
QByteArray writeDatapacket(const TableData &data, DataFormat format, bool changeLogging);
// The same document handed to `put` in pieces of a few megabytes, in order, as it is written: the
// rows of a large table are written on up to `threads` threads (0: as many as the machine runs at
// once, up to four), and the whole document is never held in memory. `put` is called on the
// calling thread only; an exception from it, or from the writing, ends the writing and passes on.
void writeDatapacket(
    const TableData &data, DataFormat format, bool changeLogging, const PutBytes &put, int threads = 0);

// The work of one read, counted so that tests can check that reading grows with the size of the
// document and no faster, without timing it.
struct ReadCounts
{
    // Comparisons of a name with a field's name, and look-ups of a name in a hash: checking that the
    // field names differ (without regard to case), and matching each row attribute to its field.
    qint64 nameProbes = 0;
    // Versions looked at while finding the version that a modified version without a change-log
    // entry replaces.
    qint64 versionSteps = 0;
};

// What a caller may follow and stop while a document is read, say from another thread while a window
// shows how far reading has come. Both are looked at every thousand rows or so.
struct ReadControl
{
    // Told how far reading has come: `done` bytes of the document's `total`. Called on the reading
    // thread.
    std::function<void(qint64 done, qint64 total)> progress;
    // When it is set, reading stops with ReadCancelled. May be set from any thread.
    const std::atomic<bool> *cancel = nullptr;
};

// The error of a read that was cancelled through its ReadControl.
class ReadCancelled : public Error
{
public:
    ReadCancelled();
};

// Reads a whole document. Throws ql::Error for anything malformed; never returns a partial table.
// With `counts`, adds the work of the read to it; with `control`, reports progress and stops when
// asked. The document is read in place: its bytes are not copied.
TableData readDatapacket(
    const QByteArray &bytes, ReadCounts *counts = nullptr, const ReadControl *control = nullptr);
TableData readDatapacket(
    const char *bytes, qint64 size, ReadCounts *counts = nullptr, const ReadControl *control = nullptr);

// Reads the list file at `path` (a regular file only, as readRegularFile reads it) and gives the
// identity of what it read. The memory of a large file (at least four steps long) is given back a
// step at a time as its rows are read, so that reading takes little more memory than the table it
// fills.
constexpr qint64 DefaultDiscardStep = 4 << 20;
TableData readDatapacketFile(const QString &path, FileIdentity &identity,
    const ReadControl *control = nullptr, qint64 discardStep = DefaultDiscardStep);

// The reader of any document that pugixml accepts, through the document's whole tree, as
// readDatapacket falls back on for documents of an unusual shape and for every error. The two give
// the same table, or the same error, for every document.
TableData readDatapacketThroughTree(const QByteArray &bytes, ReadCounts *counts = nullptr);

// Whether `head`, the first bytes of a file, begin a datapacket: the binary form's four bytes, or
// XML whose first element (after the declaration, comments and blanks) is DATAPACKET or METADATA.
// The whole document need not be there, nor be valid.
bool startsAsDatapacket(const QByteArray &head);

// The ROW attribute that lists the fields a modified version set back to empty.
extern const char NullMarkAttribute[];

} // namespace ql
