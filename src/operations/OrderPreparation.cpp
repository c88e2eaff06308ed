#include "operations/OrderPreparation.h"

#include <QFuture>
#include <QPromise>
#include <QThreadPool>

namespace ql {

namespace {

// Rows whose texts one idle turn of a small list works out the sort keys of: a few milliseconds.
constexpr int RowsPerTurn = 4000;
// Rows whose keys one idle turn of a large list copies for its worker: about a millisecond.
constexpr int SnapshotRowsPerTurn = 50000;

} // namespace

OrderPreparation::OrderPreparation(ClientTable &table, QObject *parent)
    : QObject(parent)
    , m_table(table)
{
    m_turn.setSingleShot(true);
    m_turn.setInterval(0);
    connect(&m_turn, &QTimer::timeout, this, &OrderPreparation::step);
}

OrderPreparation::~OrderPreparation()
{
    cancelBuild();
}

bool OrderPreparation::buildsInBackground() const
{
    return m_table.Active() && m_table.RowCount() > BackgroundRows;
}

void OrderPreparation::prepareAll()
{
    cancelBuild();
    m_queue = m_table.IndexNames();
    schedule();
}

bool OrderPreparation::request(const QString &name)
{
    if (m_table.IndexPrepared(name))
        return true;
    // Begun here so that an order the table cannot have fails now, as choosing it would.
    if (m_build && m_buildName.compare(name, Qt::CaseInsensitive) == 0)
        return false;
    // The order this one goes before is built again after it.
    const QString interrupted = m_build ? m_buildName : QString();
    cancelBuild();
    if (!interrupted.isEmpty())
        m_queue.prepend(interrupted);
    m_build = m_table.BeginIndexBuild(name);
    if (!m_build)
        return true;
    m_buildName = name;
    m_queue.removeIf([&](const QString &queued) { return queued.compare(name, Qt::CaseInsensitive) == 0; });
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    schedule();
    return false;
}

void OrderPreparation::stop()
{
    cancelBuild();
    m_queue.clear();
    m_turn.stop();
}

QString OrderPreparation::building() const
{
    return m_build ? m_buildName : QString();
}

void OrderPreparation::schedule()
{
    if (!m_turn.isActive())
        m_turn.start();
}

void OrderPreparation::cancelBuild()
{
    if (m_cancel)
        *m_cancel = true;
    // The worker keeps its own hold on the copy and frees it when it stops.
    m_watcher.reset();
    m_build.reset();
    m_cancel.reset();
}

// One turn of the event loop's idle time: a step of the current order, or the start of the next.
void OrderPreparation::step()
{
    if (!m_table.Active()) {
        stop();
        return;
    }
    if (m_watcher)
        return; // a worker is building; its end starts the next order
    if (m_build) {
        if (m_table.SnapshotIndexStep(*m_build, SnapshotRowsPerTurn))
            launch();
        else
            schedule();
        return;
    }
    startNext();
}

void OrderPreparation::startNext()
{
    while (!m_queue.isEmpty()) {
        const QString name = m_queue.takeFirst();
        if (m_table.IndexPrepared(name))
            continue;
        try {
            if (!buildsInBackground()) {
                if (!m_table.PrepareIndexStep(name, RowsPerTurn))
                    m_queue.prepend(name);
            } else {
                m_build = m_table.BeginIndexBuild(name);
                m_buildName = name;
                m_cancel = std::make_shared<std::atomic<bool>>(false);
            }
        } catch (...) {
            // An order the list cannot have (its file lacks the field) is reported when the user
            // chooses it, not now.
            m_build.reset();
            continue;
        }
        break;
    }
    if (m_build || !m_queue.isEmpty())
        schedule();
}

void OrderPreparation::launch()
{
    auto promise = std::make_shared<QPromise<bool>>();
    m_watcher = std::make_unique<QFutureWatcher<bool>>();
    connect(m_watcher.get(), &QFutureWatcher<bool>::finished, this, &OrderPreparation::finished);
    m_watcher->setFuture(promise->future());
    QThreadPool::globalInstance()->start([build = m_build, cancel = m_cancel, promise] {
        promise->start();
        const bool built = ClientTable::RunIndexBuild(*build, *cancel);
        promise->addResult(built);
        promise->finish();
    });
}

void OrderPreparation::finished()
{
    const std::shared_ptr<ClientTable::IndexBuild> build = std::move(m_build);
    const QString name = m_buildName;
    const bool built = m_watcher && m_watcher->future().resultCount() > 0 && m_watcher->result();
    m_watcher.reset();
    m_cancel.reset();
    if (built && m_table.FinishIndexBuild(*build))
        emit orderReady(name);
    else if (m_table.Active() && !m_table.IndexPrepared(name))
        m_queue.prepend(name); // the table changed under the build: build it again
    schedule();
}

} // namespace ql
