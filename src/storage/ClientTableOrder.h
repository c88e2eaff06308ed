#pragma once

// What the table keeps for each named order. Internal to the table: ClientTable.cpp keeps the rows
// and the view, ClientTableOrders.cpp builds, ranks and maintains the orders.

#include "storage/ClientTable.h"
#include "storage/RowSequence.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QHash>
#include <vector>

namespace ql {

// A named order: its definition, its key fields resolved against the current field set, and, once
// built, the row ids of the live rows in key order. Text keys compare by collation, with a collator
// of the order's own per key; the order keeps nothing per row but its place, so that nine orders of
// a million tasks take 4 MB each. Rows with equal keys keep the order in which they were added (ties
// go by row id), so every row has exactly one place and binary search finds it.
struct ClientTable::Order
{
    IndexDef def;
    bool isDefault = false;
    bool built = false;
    std::vector<int> keyFields;
    std::vector<bool> textKey;
    std::vector<QCollator> collators; // [key]
    RowSequence rows;

    // Before the order is built: the sort keys of texts worked out ahead in small steps
    // (PrepareIndexStep), [key] text -> sort key, and the row id up to which each key's texts
    // were visited. A key depends on nothing but its text, so rows that change in between leave
    // what was worked out valid; the build works out the rest and drops these.
    std::vector<QHash<QString, QCollatorSortKey>> preparedKeys;
    std::vector<size_t> preparedUpTo;

    // While the order is built away from the table (BeginIndexBuild): the ticket of that build,
    // and the rows posted or deleted since its snapshot began, which its result knows in their old
    // state or not at all. 0 when no such build is under way.
    quint64 buildTicket = 0;
    std::vector<int> changedSinceSnapshot;
};

// An order being built away from its table: a copy of the key values of the live rows, taken in
// steps on the table's thread, and what the build works out from it on another thread. It refers
// to nothing of the table, so the table may change, close or go while it is built.
class ClientTable::IndexBuild
{
public:
    QString name; // the order's name as the table has it
    quint64 ticket = 0;
    IndexDef def;
    std::vector<int> keyFields;
    std::vector<bool> textKey;
    // The snapshot: the live rows' ids, ascending, and their key values [key][position]; the ids
    // below idSpan (the rows there were when the build began) are looked at, up to nextId so far.
    std::vector<int> rows;
    std::vector<std::vector<Value>> values;
    size_t idSpan = 0;
    size_t nextId = 0;
    bool snapshotDone = false;
    // One collator per text key, of the build's own: a collator serves one thread at a time.
    std::vector<QCollator> collators;
    // The result: `rows` in order, also as the order keeps them.
    bool built = false;
    RowSequence sequence;
};

} // namespace ql
