#include "operations/ViewFiltering.h"

#include "operations/TaskViews.h"

#include <algorithm>
#include <ctime>

namespace ql {

namespace {

// The processor time one slice aims at, in ns: with the grid's own work, a turn stays well under
// 16 ms.
constexpr qint64 SliceTarget = 6'000'000;
// The rows of the first slice, and the bounds of those after it.
constexpr int FirstSlice = 16384;
constexpr int SmallestSlice = 1024;
constexpr int LargestSlice = 1 << 20;
// While a task is being edited the new view waits, looking again after this many ms.
constexpr int EditWait = 50;

// The processor time this thread has used: a slice is sized by its own work, not by the time the
// thread waited for a processor that other programs had.
qint64 threadCpuNs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace

ViewFiltering::ViewFiltering(ClientTable &table, QObject *parent)
    : QObject(parent)
    , m_table(table)
    , m_slice(FirstSlice)
{
    m_turn.setSingleShot(true);
    m_turn.setInterval(0);
    connect(&m_turn, &QTimer::timeout, this, &ViewFiltering::step);
}

ViewFiltering::~ViewFiltering() = default;

bool ViewFiltering::apply(const QString &expression)
{
    if (!m_table.Active()) {
        stop();
        TaskViews::ApplyFilter(m_table, expression);
        return true;
    }
    // Begun first, so that an expression that fails leaves a build under way running.
    std::shared_ptr<ClientTable::FilterBuild> build = m_table.BeginFilterBuild(expression);
    if (ClientTable::FilterBuildRows(*build) <= BackgroundRows) {
        // Few rows to test: at once, exactly as before (which drops the build just begun).
        stop();
        TaskViews::ApplyFilter(m_table, expression);
        return true;
    }
    m_build = std::move(build);
    m_tested = false;
    m_slice = FirstSlice;
    m_turn.start(0);
    return false;
}

void ViewFiltering::showAll()
{
    stop();
    m_table.SetFiltered(false);
}

void ViewFiltering::stop()
{
    m_turn.stop();
    m_build.reset();
    m_tested = false;
}

void ViewFiltering::end(bool shown)
{
    stop();
    emit finished(shown);
}

// One idle turn: a slice of the tasks, or, once all are tested, the new view put in place.
void ViewFiltering::step()
{
    if (!m_build)
        return;
    if (!m_table.FilterBuildCurrent(*m_build)) {
        end(false);
        return;
    }
    if (!m_tested) {
        const qint64 cpu0 = threadCpuNs();
        m_tested = m_table.FilterBuildStep(*m_build, m_slice);
        const qint64 took = std::max<qint64>(threadCpuNs() - cpu0, 1);
        // At most twice as many rows as the last slice: one that went quicker than usual does
        // not make the next one overshoot by much.
        m_slice = int(std::clamp<qint64>(qint64(m_slice) * SliceTarget / took,
            std::max(SmallestSlice, m_slice / 4), std::min<qint64>(LargestSlice, qint64(m_slice) * 2)));
        // Putting the view in place and showing it is a turn of its own.
        m_turn.start(0);
        return;
    }
    // A task half edited is not stored from under the user: the view waits until it is posted or
    // cancelled.
    if (m_table.IsEditing()) {
        m_turn.start(EditWait);
        return;
    }
    const std::shared_ptr<ClientTable::FilterBuild> build = std::move(m_build);
    stop();
    emit finished(m_table.FinishFilterBuild(*build));
}

} // namespace ql
