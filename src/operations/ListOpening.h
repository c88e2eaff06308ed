#pragma once

#include "platform/FileAccess.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

namespace ql {

class ClientTable;

// What a read of a list file tells while it runs, and how it is asked to stop. `progress(done,
// total)` counts the bytes of the file read so far, on the reading thread; when `*cancel` is set
// (from any thread), the read stops by throwing ListOpenCancelled. Either may be left empty.
struct ReadMonitor
{
    std::function<void(qint64 done, qint64 total)> progress;
    const std::atomic<bool> *cancel = nullptr;
};

// Thrown by readListFile when its monitor asked it to stop.
struct ListOpenCancelled
{
};

// Reads the list file at `path` into `table` and gives the identity of what it read: the same read
// as ClientTable::ReadFromFile, told to `monitor`. The table is closed first and must not be shared
// with another thread while it is read. Throws the reader's errors as ReadFromFile does.
FileIdentity readListFile(ClientTable &table, const QString &path, const ReadMonitor &monitor = {});

// Has every thread allocate from the program's one heap. The C library otherwise gives a worker
// thread a heap of its own, which it grows a little at a time: a large list read on a worker took
// 60 % longer than the same read on the main thread. Call once at start, before any thread runs.
void shareOneHeapAcrossThreads();

// Frees a table, a large one on a worker thread: a list of a million tasks takes a moment to free,
// which the window would otherwise spend frozen as a tab closes or a list is read again. The table
// must have nothing following it (no data source) any more.
void freeInBackground(std::unique_ptr<ClientTable> table);
// For a table about to go: takes everything a large `table` holds, leaving it closed and empty as
// AdoptContents leaves its source, and frees it as freeInBackground does. Its followers are told, as
// when it is closed. A small table, or one with a row being edited, is left as it is.
void emptyInBackground(ClientTable &table);

// Reads a list file into a table of its own on a worker thread, so that the window stays alive
// while a large list is read; the finished table is then handed to whoever shows the list (the
// table is never shared while it is read). The read can be cancelled at any time: the worker
// stops at its next step and frees what it read there, away from the caller's thread.
//
// Progress and the end are told as signals on the thread that made the opening.
class ListOpening final : public QObject
{
    Q_OBJECT

public:
    enum class Outcome { Running, Opened, Failed, Cancelled };

    // Starts reading `path` at once. `define` gives the new table its definitions (its orders and
    // the order it opens in) on this thread, before the read.
    ListOpening(
        const QString &path, const std::function<void(ClientTable &)> &define, QObject *parent = nullptr);
    // Cancels a read still running, without waiting for it.
    ~ListOpening() override;

    const QString &path() const { return m_path; }
    Outcome outcome() const { return m_outcome; }
    // 0 to 100.
    int percent() const { return m_percent; }
    // Stops the read; finished follows at once with the outcome Cancelled, unless the read has
    // already ended.
    void cancel();
    // Waits until the read has ended and finished was sent, for callers that must have the list
    // before they go on.
    void waitForFinished();

    // After an outcome of Opened: the table read and the identity of the file, once.
    std::unique_ptr<ClientTable> takeTable();
    const FileIdentity &identity() const { return m_identity; }
    // After an outcome of Failed: the reader's message.
    const QString &errorMessage() const { return m_error; }

signals:
    void progressChanged(int percent);
    void finished();

private:
    struct Work;
    void end();

    QString m_path;
    std::shared_ptr<Work> m_work;
    QFutureWatcher<void> m_watcher;
    Outcome m_outcome = Outcome::Running;
    int m_percent = 0;
    std::unique_ptr<ClientTable> m_table;
    FileIdentity m_identity;
    QString m_error;
};

} // namespace ql
