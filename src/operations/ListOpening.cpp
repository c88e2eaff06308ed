#include "operations/ListOpening.h"

#include "platform/Error.h"
#include "storage/ClientTable.h"
#include "storage/Datapacket.h"

#include <QFuture>
#include <QPromise>
#include <QThreadPool>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace ql {

void shareOneHeapAcrossThreads()
{
#ifdef __GLIBC__
    mallopt(M_ARENA_MAX, 1);
#endif
}

FileIdentity readListFile(ClientTable &table, const QString &path, const ReadMonitor &monitor)
{
    if (monitor.cancel && monitor.cancel->load()) {
        table.Close();
        throw ListOpenCancelled();
    }
    ReadControl control;
    control.progress = monitor.progress;
    control.cancel = monitor.cancel;
    try {
        return table.ReadFromFile(path, &control);
    } catch (const ReadCancelled &) {
        throw ListOpenCancelled();
    }
}

namespace {

// Tables of fewer row versions are freed where they are: it takes no longer than a frame.
constexpr size_t FreedInBackgroundFrom = 20000;

} // namespace

void freeInBackground(std::unique_ptr<ClientTable> table)
{
    if (!table || table->Data().versions.size() < FreedInBackgroundFrom)
        return;
    QThreadPool::globalInstance()->start([doomed = table.release()] { delete doomed; });
}

void emptyInBackground(ClientTable &table)
{
    if (table.Data().versions.size() < FreedInBackgroundFrom || table.IsEditing())
        return;
    auto held = std::make_unique<ClientTable>();
    held->AdoptContents(table);
    freeInBackground(std::move(held));
}

// What the worker and the opening share. The worker never touches the opening itself: the opening
// may be gone by the time the worker ends.
struct ListOpening::Work
{
    std::atomic<bool> cancelled { false };
    std::atomic<int> percent { 0 };
    std::unique_ptr<ClientTable> table;
    FileIdentity identity;
    QString error;
    bool failed = false;
};

ListOpening::ListOpening(
    const QString &path, const std::function<void(ClientTable &)> &define, QObject *parent)
    : QObject(parent)
    , m_path(path)
    , m_work(std::make_shared<Work>())
{
    m_work->table = std::make_unique<ClientTable>();
    if (define)
        define(*m_work->table);

    auto promise = std::make_shared<QPromise<void>>();
    connect(&m_watcher, &QFutureWatcher<void>::progressValueChanged, this, [this](int value) {
        if (m_outcome != Outcome::Running || value == m_percent)
            return;
        m_percent = value;
        emit progressChanged(value);
    });
    connect(&m_watcher, &QFutureWatcher<void>::finished, this, &ListOpening::end);
    m_watcher.setFuture(promise->future());

    QThreadPool::globalInstance()->start([work = m_work, promise, path] {
        promise->start();
        promise->setProgressRange(0, 100);
        ReadMonitor monitor;
        monitor.progress = [&](qint64 done, qint64 total) {
            const int percent = total > 0 ? int(done * 100 / total) : 0;
            if (percent != work->percent.exchange(percent))
                promise->setProgressValue(percent);
        };
        monitor.cancel = &work->cancelled;
        try {
            work->identity = readListFile(*work->table, path, monitor);
        } catch (const ListOpenCancelled &) {
        } catch (const Error &e) {
            work->error = e.message();
            work->failed = true;
        } catch (const std::exception &e) {
            work->error = QString::fromLocal8Bit(e.what());
            work->failed = true;
        }
        // A list nobody waits for is freed here, not on the thread that shows lists: freeing a
        // large table takes a while.
        if (work->cancelled.load() || work->failed)
            work->table.reset();
        promise->finish();
    });
}

ListOpening::~ListOpening()
{
    m_work->cancelled = true;
}

void ListOpening::cancel()
{
    if (m_outcome != Outcome::Running)
        return;
    m_work->cancelled = true;
    m_outcome = Outcome::Cancelled;
    // The worker frees what it read on its own thread when it sees the flag; nobody waits for it.
    disconnect(&m_watcher, nullptr, this, nullptr);
    emit finished();
}

void ListOpening::waitForFinished()
{
    if (m_outcome != Outcome::Running)
        return;
    m_watcher.waitForFinished();
    end();
}

void ListOpening::end()
{
    if (m_outcome != Outcome::Running)
        return;
    if (m_work->failed) {
        m_outcome = Outcome::Failed;
        m_error = m_work->error;
    } else if (m_work->cancelled || !m_work->table) {
        m_outcome = Outcome::Cancelled;
    } else {
        m_outcome = Outcome::Opened;
        m_table = std::move(m_work->table);
        m_identity = m_work->identity;
        m_percent = 100;
    }
    emit finished();
}

std::unique_ptr<ClientTable> ListOpening::takeTable()
{
    return std::move(m_table);
}

} // namespace ql
