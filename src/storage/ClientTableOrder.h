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
};

} // namespace ql
