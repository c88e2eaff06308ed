#pragma once

#include "storage/ClientTable.h"

#include <QFutureWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <memory>

namespace ql {

// Builds a table's named orders ahead of their use without holding up the thread that shows the
// table, one order at a time. A small list prepares an order in small steps while the program is
// idle. A large one copies an order's keys in slices while idle and builds the order from the copy
// on a worker thread; the table keeps changing meanwhile, and the finished order takes in the rows
// that changed since the copy (ClientTable::BeginIndexBuild).
//
// An order asked for (request) goes before the others and is told by orderReady when it is built.
// Stopping (or destroying the preparation) cancels a build under way: the worker stops at its next
// step and frees its copy on its own thread.
class OrderPreparation final : public QObject
{
    Q_OBJECT

public:
    // Lists of more rows than this build their orders on a worker thread, and the window waits for
    // none of them: at this size an order is built at once in a few milliseconds.
    static constexpr int BackgroundRows = 4000;

    explicit OrderPreparation(ClientTable &table, QObject *parent = nullptr);
    ~OrderPreparation() override;

    // Whether an order of the table as it is now would be built in the background.
    bool buildsInBackground() const;
    // Starts preparing every named order of the table that is not built yet, in the table's order
    // of definitions, dropping what was being prepared.
    void prepareAll();
    // Puts the order `name` first and starts on it now. Returns true when it is built already.
    // Throws as ClientTable::SetIndexName does for an order the table cannot have.
    bool request(const QString &name);
    // Stops preparing; a build under way is cancelled.
    void stop();
    // The order being built on a worker thread or copied for it; empty when none.
    QString building() const;

signals:
    // The order `name` was built in the background and is in place.
    void orderReady(const QString &name);

private:
    void step();
    void startNext();
    void launch();
    void finished();
    void cancelBuild();
    void schedule();

    ClientTable &m_table;
    QStringList m_queue;
    QTimer m_turn;
    std::shared_ptr<ClientTable::IndexBuild> m_build;
    QString m_buildName;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::unique_ptr<QFutureWatcher<bool>> m_watcher;
};

} // namespace ql
