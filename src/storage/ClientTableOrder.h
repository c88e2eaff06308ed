#pragma once

// What the table keeps for each named order. Internal to the table: ClientTable.cpp keeps the rows
// and the view, ClientTableOrders.cpp builds, ranks and maintains the orders.

#include "storage/ClientTable.h"
#include "storage/RowSequence.h"

#include <QCollatorSortKey>
#include <QHash>
#include <optional>
#include <vector>

namespace ql {

// A named order: its definition, its key fields resolved against the current field set, and, once
// built, the row ids of the live rows in key order. Text keys compare by precomputed collation sort
// keys, cached per row. Rows with equal keys keep the order in which they were added (ties go by
// row id), so every row has exactly one place and binary search finds it.
struct ClientTable::Order
{
    IndexDef def;
    bool isDefault = false;
    bool built = false;
    std::vector<int> keyFields;
    std::vector<bool> textKey;
    std::vector<std::vector<std::optional<QCollatorSortKey>>> sortKeys; // [key][rowId]
    std::vector<QHash<QString, QCollatorSortKey>> keyCache; // [key]: text -> sort key
    RowSequence rows;

    // Before the order is built: the sort keys of texts worked out ahead in small steps
    // (PrepareIndexStep), [key] text -> sort key, and the row id up to which each key's texts
    // were visited. A key depends on nothing but its text, so rows that change in between leave
    // what was worked out valid; the build works out the rest and drops these.
    std::vector<QHash<QString, QCollatorSortKey>> preparedKeys;
    std::vector<size_t> preparedUpTo;
};

} // namespace ql
