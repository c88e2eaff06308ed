#pragma once

#include "storage/ClientTable.h"

#include <QObject>
#include <QTimer>
#include <memory>

namespace ql {

// Applies a view or a search to a task list without holding up the thread that shows it. A list of
// few tasks is filtered at once (TaskViews::ApplyFilter). A large one tests its tasks in slices in
// idle turns of the event loop, each slice sized by the time the one before took so that a turn
// stays well under a frame; the table keeps showing the view it has meanwhile, and the new view is
// put in place in one step when every task is tested (ClientTable::BeginFilterBuild).
//
// The slices run on the table's own thread rather than on a worker over a copy of the fields the
// filter reads: taking that copy on this thread costs about as much as testing the tasks (at a
// million tasks, copying Status and Priority takes longer than the High Priority view itself, and
// copying the task texts half as long as a search), so a worker would save this thread little.
//
// A later view or search replaces one under way, as does switching filtering off; the table drops
// a build itself when it is closed, read again or filtered by other means.
class ViewFiltering final : public QObject
{
    Q_OBJECT

public:
    // Lists of more tasks than this are filtered in the background: at this size a view is built
    // at once in about a millisecond.
    static constexpr int BackgroundRows = 4000;

    explicit ViewFiltering(ClientTable &table, QObject *parent = nullptr);
    ~ViewFiltering() override;

    // Sets `expression` as the table's filter and switches filtering on, as TaskViews::ApplyFilter
    // does. Returns true when the new view is in place; false when it is being built, ending with
    // finished. Throws the filter's error at once, leaving the table, and a build under way, as
    // they were.
    bool apply(const QString &expression);
    // Switches filtering off at once ("All", "Show all"), dropping a build under way.
    void showAll();
    // Drops a build under way; finished is not emitted.
    void stop();
    // Whether a view is being built.
    bool busy() const { return bool(m_build); }

signals:
    // The build under way ended: with `shown`, its view is in place; without, it was dropped
    // because the table was closed, read again or filtered by other means.
    void finished(bool shown);

private:
    void step();
    void end(bool shown);

    ClientTable &m_table;
    QTimer m_turn;
    std::shared_ptr<ClientTable::FilterBuild> m_build;
    bool m_tested = false;
    int m_slice;
};

} // namespace ql
