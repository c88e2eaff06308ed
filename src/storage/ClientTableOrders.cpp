// The table's named orders: building an order over the live rows, ranking rows by their keys
// (collation sort keys for texts), and keeping every built order up to date as rows are posted and
// deleted, so that no change re-sorts a list.

#include "storage/ClientTable.h"

#include "platform/Error.h"
#include "platform/SystemFormats.h"
#include "storage/ClientTableOrder.h"

#include <QHash>
#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>

namespace ql {

namespace {

[[noreturn]] void fail(const QString &message)
{
    throw Error(message);
}

int compareValues(const Value &a, const Value &b)
{
    auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    switch (a.kind()) {
    case Value::Kind::Integer:
        return sign(a.toInteger(), b.toInteger());
    case Value::Kind::Float:
        return sign(a.toFloat(), b.toFloat());
    case Value::Kind::Boolean:
        return sign(int(a.toBoolean()), int(b.toBoolean()));
    case Value::Kind::Date:
        return sign(a.days(), b.days());
    case Value::Kind::DateTime:
        return sign(a.msecs(), b.msecs());
    case Value::Kind::Time:
        return sign(a.msecsOfDay(), b.msecsOfDay());
    case Value::Kind::Text:
        return sign(a.text(), b.text());
    case Value::Kind::Null:
        return 0;
    }
    return 0;
}

} // namespace

ClientTable::Order *ClientTable::findOrder(const QString &name)
{
    for (auto &order : m_orders)
        if (order->def.name.compare(name, Qt::CaseInsensitive) == 0)
            return order.get();
    return nullptr;
}

ClientTable::Order &ClientTable::activeOrder()
{
    return *findOrder(m_indexName);
}

const ClientTable::Order &ClientTable::activeOrder() const
{
    return *const_cast<ClientTable *>(this)->findOrder(m_indexName);
}

namespace {

// An integer that orders as the value does, for the non-text kinds.
qint64 orderedInteger(const Value &v)
{
    if (v.kind() != Value::Kind::Float)
        return v.integralKey();
    const double d = v.toFloat() == 0 ? 0.0 : v.toFloat(); // -0 equals 0
    qint64 bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits >= 0 ? bits : bits ^ std::numeric_limits<qint64>::max();
}

} // namespace

// Fetches ahead the key value of a row a few places on, and the characters of a text key nearer
// still: each row's values live in an allocation of their own, and a walk over a large list would
// otherwise wait on memory at every row.
void ClientTable::prefetchKey(const std::vector<int> &rows, size_t i, size_t field) const
{
    constexpr size_t ValuesAhead = 8;
    constexpr size_t TextsAhead = 4;
    if (i + ValuesAhead < rows.size())
        __builtin_prefetch(rowValues(rows[i + ValuesAhead]).data() + field);
    if (i + TextsAhead < rows.size()) {
        const Value &v = rowValues(rows[i + TextsAhead])[field];
        if (v.kind() == Value::Kind::Text)
            __builtin_prefetch(v.textView().data());
    }
}

namespace {

// Compares two texts of a text key: as their collation sort keys compare, and an empty text before
// any other (as QCollator::compare has it, which the build below follows).
int compareTexts(const QCollator &collator, QStringView a, QStringView b)
{
    if (a == b)
        return 0;
    return collator.compare(a, b);
}

// How many distinct texts have their collation sort keys worked out at once while an order is
// built: a sort key takes about as much memory again as its text, and with a batch this size the
// keys of a million distinct task texts never hold more than about 20 MB at once. Batches sorted
// by their keys are then merged by comparing their texts.
constexpr size_t SortKeyBatch = 1 << 17;
// How many distinct texts of a key are looked up to be shared while an order is built: past this,
// a field's texts rarely repeat (the task names), and a table of all of them would cost more than
// working out the odd repeated key twice.
constexpr int SharedTextLimit = 1 << 16;

// Ranks and sorts rows by an order's keys, the work of building an order. Every key is first turned
// into an integer rank per row: texts get the rank of their collation among the distinct texts of
// the field (so a list whose statuses are five words computes five sort keys, not one per row),
// other kinds order by value. Equal ranks mean equal keys, exactly as compareRows sees them, so the
// orders that posts keep up to date afterwards by binary search agree with this build.
//
// `rows` holds the ids of the rows to order, ascending, and receives them in order; every id is
// below `idSpan`. `valueAt(k, i)` is the value of key k of the row rows[i] as given, `sortKeyOf(k,
// text)` the collation sort key of a text of key k, `compareText(k, a, b)` compares two texts of key
// k as their sort keys do, `ahead(k, i)` may fetch row i's key ahead of its use. Returns false, with
// `rows` unusable, when `cancelled()` answered true on the way.
template <typename ValueAt, typename SortKeyOf, typename CompareText, typename Ahead, typename Cancelled>
bool sortByKeys(const IndexDef &def, const std::vector<bool> &textKey, std::vector<int> &rows, size_t idSpan,
    ValueAt valueAt, SortKeyOf sortKeyOf, CompareText compareText, Ahead ahead, Cancelled cancelled)
{
    // How many rows go by between two looks at `cancelled`.
    constexpr size_t CancelEvery = 8192;
    const size_t keyCount = textKey.size();
    std::vector<std::vector<qint64>> ranks(keyCount, std::vector<qint64>(idSpan));
    std::vector<std::vector<bool>> nulls(keyCount, std::vector<bool>(idSpan));
    // The ranks of a text key run from 0 to this count less one; other keys rank by value.
    std::vector<qint64> textRankCount(keyCount, 0);
    for (size_t k = 0; k < keyCount; ++k) {
        if (!textKey[k]) {
            for (size_t i = 0; i < rows.size(); ++i) {
                ahead(k, i);
                const int id = rows[i];
                const Value &v = valueAt(k, i);
                nulls[k][size_t(id)] = v.isNull();
                ranks[k][size_t(id)] = v.isNull() ? 0 : orderedInteger(v);
            }
            continue;
        }
        // The distinct texts, each by the position in `rows` of its first row.
        std::vector<int> distinct;
        std::vector<int> textOf(idSpan, -1);
        {
            QHash<QStringView, int> shared;
            for (size_t i = 0; i < rows.size(); ++i) {
                ahead(k, i);
                const int id = rows[i];
                const Value &v = valueAt(k, i);
                if (v.isNull()) {
                    nulls[k][size_t(id)] = true;
                    continue;
                }
                const QStringView text = v.textView();
                const auto it = shared.constFind(text);
                if (it != shared.constEnd()) {
                    textOf[size_t(id)] = *it;
                    continue;
                }
                textOf[size_t(id)] = int(distinct.size());
                if (shared.size() < SharedTextLimit)
                    shared.insert(text, int(distinct.size()));
                distinct.push_back(int(i));
            }
        }
        const auto textAt = [&](int d) { return valueAt(k, size_t(distinct[size_t(d)])).textView(); };
        // The distinct texts in collation order: sorted by their sort keys batch by batch, then the
        // sorted batches merged.
        std::vector<int> byKey(distinct.size());
        std::iota(byKey.begin(), byKey.end(), 0);
        std::vector<qint64> rankOf(distinct.size());
        qint64 rank = 0;
        const bool oneBatch = distinct.size() <= SortKeyBatch;
        for (size_t from = 0; from < distinct.size(); from += SortKeyBatch) {
            const size_t to = std::min(distinct.size(), from + SortKeyBatch);
            std::vector<QCollatorSortKey> keys;
            keys.reserve(to - from);
            for (size_t d = from; d < to; ++d) {
                if (keys.size() % CancelEvery == 0 && cancelled())
                    return false;
                keys.push_back(sortKeyOf(k, valueAt(k, size_t(distinct[d])).text()));
            }
            const auto before = [&](int a, int b) {
                const bool emptyA = textAt(a).isEmpty();
                const bool emptyB = textAt(b).isEmpty();
                if (emptyA || emptyB)
                    return emptyA && !emptyB;
                return keys[size_t(a) - from].compare(keys[size_t(b) - from]) < 0;
            };
            std::sort(byKey.begin() + long(from), byKey.begin() + long(to), before);
            if (oneBatch) {
                // One batch: its keys tell the equal texts apart at once.
                for (size_t i = 0; i < byKey.size(); ++i) {
                    if (i > 0 && before(byKey[i - 1], byKey[i]))
                        ++rank;
                    rankOf[size_t(byKey[i])] = rank;
                }
            }
            if (cancelled())
                return false;
        }
        if (!oneBatch) {
            std::vector<int> merged(byKey.size());
            const auto before = [&](int a, int b) { return compareText(k, textAt(a), textAt(b)) < 0; };
            for (size_t width = SortKeyBatch; width < byKey.size(); width *= 2) {
                for (size_t from = 0; from < byKey.size(); from += 2 * width) {
                    const auto first = byKey.begin() + long(from);
                    const auto middle = byKey.begin() + long(std::min(byKey.size(), from + width));
                    const auto last = byKey.begin() + long(std::min(byKey.size(), from + 2 * width));
                    std::merge(first, middle, middle, last, merged.begin() + long(from), before);
                    if (cancelled())
                        return false;
                }
                byKey.swap(merged);
            }
            for (size_t i = 0; i < byKey.size(); ++i) {
                if (i > 0 && compareText(k, textAt(byKey[i - 1]), textAt(byKey[i])) != 0)
                    ++rank;
                rankOf[size_t(byKey[i])] = rank;
                if (i % CancelEvery == 0 && cancelled())
                    return false;
            }
        }
        textRankCount[k] = byKey.empty() ? 0 : rank + 1;
        for (int id : rows) {
            const int t = textOf[size_t(id)];
            if (t >= 0)
                ranks[k][size_t(id)] = rankOf[size_t(t)];
        }
    }
    if (cancelled())
        return false;
    const bool descending = def.options.descending;
    if (keyCount == 1 && textKey[0]) {
        // One text key: its ranks are few and dense, so a counting sort places the rows without
        // comparing them, and rows with equal keys keep the order they were added in.
        const std::vector<qint64> &rank = ranks[0];
        const std::vector<bool> &isNull = nulls[0];
        std::vector<int> bucketStart(size_t(textRankCount[0]) + 1, 0);
        std::vector<int> empty;
        for (int id : rows) {
            if (isNull[size_t(id)])
                empty.push_back(id);
            else
                ++bucketStart[size_t(rank[size_t(id)]) + 1];
        }
        std::partial_sum(bucketStart.begin(), bucketStart.end(), bucketStart.begin());
        std::vector<int> byRank(rows.size() - empty.size());
        std::vector<int> next(bucketStart.begin(), bucketStart.end() - 1);
        for (int id : rows)
            if (!isNull[size_t(id)])
                byRank[size_t(next[size_t(rank[size_t(id)])]++)] = id;
        rows.clear();
        if (!descending) {
            rows.insert(rows.end(), empty.begin(), empty.end());
            rows.insert(rows.end(), byRank.begin(), byRank.end());
        } else {
            for (size_t r = textRankCount[0]; r-- > 0;)
                rows.insert(rows.end(), byRank.begin() + bucketStart[r], byRank.begin() + bucketStart[r + 1]);
            rows.insert(rows.end(), empty.begin(), empty.end());
        }
        return true;
    }
    if (keyCount == 1) {
        // One key: sort (rank, row) pairs held side by side, and put the empty keys first (last
        // when descending) in the order the rows were added.
        std::vector<std::pair<qint64, int>> keyed;
        std::vector<int> empty;
        keyed.reserve(rows.size());
        for (int id : rows) {
            if (nulls[0][size_t(id)])
                empty.push_back(id);
            else
                keyed.emplace_back(ranks[0][size_t(id)], id);
        }
        const auto before = [descending](const std::pair<qint64, int> &a, const std::pair<qint64, int> &b) {
            if (a.first != b.first)
                return descending ? a.first > b.first : a.first < b.first;
            return a.second < b.second;
        };
        // Lists are often already in key order (the task number): then there is nothing to sort.
        if (!std::is_sorted(keyed.begin(), keyed.end(), before))
            std::sort(keyed.begin(), keyed.end(), before);
        rows.clear();
        if (!descending)
            rows.insert(rows.end(), empty.begin(), empty.end());
        for (const auto &k : keyed)
            rows.push_back(k.second);
        if (descending)
            rows.insert(rows.end(), empty.begin(), empty.end());
        return true;
    }
    std::sort(rows.begin(), rows.end(), [&](int a, int b) {
        for (size_t k = 0; k < keyCount; ++k) {
            const bool na = nulls[k][size_t(a)];
            const bool nb = nulls[k][size_t(b)];
            int c;
            if (na || nb) {
                c = int(!na) - int(!nb);
            } else {
                const qint64 ra = ranks[k][size_t(a)];
                const qint64 rb = ranks[k][size_t(b)];
                c = ra < rb ? -1 : (ra > rb ? 1 : 0);
            }
            if (c != 0)
                return descending ? c > 0 : c < 0;
        }
        return a < b;
    });
    return true;
}

// Tells every order build that began before it that it is out of date.
std::atomic<quint64> nextBuildTicket { 1 };

} // namespace

// Builds an order at once, from the table's own rows.
void ClientTable::buildOrder(Order &order)
{
    // The keys worked out ahead are used once, here.
    const std::vector<QHash<QString, QCollatorSortKey>> preparedKeys = std::move(order.preparedKeys);
    order.preparedKeys.clear();
    order.preparedUpTo.clear();
    order.rows.clear();
    order.keyFields.clear();
    order.textKey.clear();
    order.collators.clear();
    // A build away from the table that is still under way is no longer needed.
    order.buildTicket = 0;
    order.changedSinceSnapshot.clear();
    const bool caseSensitive = !order.def.options.caseInsensitive;
    for (const QString &name : order.def.fields) {
        const Field &field = RequireField(name);
        order.keyFields.push_back(field.index());
        order.textKey.push_back(field.isText());
        order.collators.push_back(SystemFormats::current().newCollator(caseSensitive));
    }
    std::vector<int> rows;
    rows.reserve(m_rows.size());
    for (size_t id = 0; id < m_rows.size(); ++id)
        if (m_rows[id].alive)
            rows.push_back(int(id));

    if (!order.isDefault) {
        const auto valueAt = [&](size_t k, size_t i) -> const Value & {
            return rowValues(rows[i])[size_t(order.keyFields[k])];
        };
        const auto sortKeyOf = [&](size_t k, const QString &text) {
            if (k < preparedKeys.size()) {
                const auto found = preparedKeys[k].constFind(text);
                if (found != preparedKeys[k].constEnd())
                    return *found;
            }
            return order.collators[k].sortKey(text);
        };
        const auto compareText
            = [&](size_t k, QStringView a, QStringView b) { return compareTexts(order.collators[k], a, b); };
        const auto ahead = [&](size_t k, size_t i) { prefetchKey(rows, i, size_t(order.keyFields[k])); };
        sortByKeys(order.def, order.textKey, rows, m_rows.size(), valueAt, sortKeyOf, compareText, ahead,
            [] { return false; });
    }
    order.rows.assign(rows);
    order.built = true;
}

// Compares two rows by the order's keys; nulls first (last when descending).
int ClientTable::compareRows(const Order &order, int a, int b, bool withTieBreak) const
{
    if (!order.isDefault) {
        const auto &va = rowValues(a);
        const auto &vb = rowValues(b);
        for (size_t k = 0; k < order.keyFields.size(); ++k) {
            const Value &x = va[size_t(order.keyFields[k])];
            const Value &y = vb[size_t(order.keyFields[k])];
            int c;
            if (x.isNull() || y.isNull())
                c = int(!x.isNull()) - int(!y.isNull());
            else if (order.textKey[k])
                c = compareTexts(order.collators[k], x.textView(), y.textView());
            else
                c = compareValues(x, y);
            if (c != 0)
                return order.def.options.descending ? -c : c;
        }
    }
    if (!withTieBreak)
        return 0;
    return a < b ? -1 : (a > b ? 1 : 0);
}

int ClientTable::lowerBound(const Order &order, const RowSequence &rows, int rowId) const
{
    return rows.lowerBound([&](int x) { return compareRows(order, x, rowId, true) < 0; });
}

void ClientTable::removeFromOrders(int rowId)
{
    for (auto &order : m_orders) {
        if (!order->built) {
            if (order->buildTicket != 0)
                order->changedSinceSnapshot.push_back(rowId);
            continue;
        }
        const int pos = lowerBound(*order, order->rows, rowId);
        if (pos < order->rows.size() && order->rows[pos] == rowId)
            order->rows.erase(pos);
    }
}

void ClientTable::insertIntoOrders(int rowId)
{
    for (auto &order : m_orders) {
        if (!order->built) {
            if (order->buildTicket != 0)
                order->changedSinceSnapshot.push_back(rowId);
            continue;
        }
        const int pos = lowerBound(*order, order->rows, rowId);
        order->rows.insert(pos, rowId);
    }
}

// A key that equals another live row's key in a built unique order is refused.
void ClientTable::checkUnique(int rowId) const
{
    for (const auto &order : m_orders) {
        if (!order->built || order->isDefault || !order->def.options.unique)
            continue;
        const RowSequence &rows = order->rows;
        int pos = rows.lowerBound([&](int x) { return compareRows(*order, x, rowId, false) < 0; });
        for (; pos < rows.size() && compareRows(*order, rows[pos], rowId, false) == 0; ++pos)
            if (rows[pos] != rowId)
                fail(QStringLiteral("Key violation."));
    }
}

void ClientTable::SetIndexName(const QString &name)
{
    if (!Active()) {
        // A closed table only remembers the name; opening builds the order.
        m_indexName = name;
        return;
    }
    endPendingImplicitly();
    Order *order = findOrder(name);
    if (!order)
        fail(QStringLiteral("Index '%1' not found").arg(name));
    if (!order->built)
        buildOrder(*order);
    const int current = m_cursor >= 0 ? m_view[m_cursor] : -1;
    if (m_filter) {
        // Every row that passes the filter is in view (a posted row that no longer passes may be
        // there too): the rows in view that pass, laid out in the new order, are the view a test
        // of every row gives, without testing the rows a large list keeps out of view. They are
        // tested by ascending id, the order in which their values lie in memory.
        std::vector<char> keep(m_rows.size(), 0);
        m_view.forEach([&](int id) { keep[size_t(id)] = 1; });
        std::vector<int> ids;
        ids.reserve(size_t(m_view.size()));
        for (size_t id = 0; id < keep.size(); ++id)
            if (keep[id])
                ids.push_back(int(id));
        testFilterRows(m_filter.get(), ids, keep);
        RowSequence view;
        order->rows.forEach([&](int id) {
            if (keep[size_t(id)])
                view.push_back(id);
        });
        m_view = std::move(view);
        m_indexName = order->def.name;
        if (m_cursor >= m_view.size())
            m_cursor = m_view.empty() ? -1 : 0;
        m_atEnd = m_view.empty();
    } else {
        m_indexName = order->def.name;
        rebuildView(false);
    }
    // The current row stays current; the cursor does not scroll.
    if (current >= 0) {
        const int pos = lowerBound(*order, m_view, current);
        if (pos < m_view.size() && m_view[pos] == current)
            m_cursor = pos;
    }
    fireRowsChange(RowsChange::Kind::Reset);
}

void ClientTable::PrepareIndex(const QString &name)
{
    requireActive();
    Order *order = findOrder(name);
    if (!order)
        fail(QStringLiteral("Index '%1' not found").arg(name));
    if (!order->built)
        buildOrder(*order);
}

bool ClientTable::PrepareIndexStep(const QString &name, int budget)
{
    requireActive();
    Order *order = findOrder(name);
    if (!order)
        fail(QStringLiteral("Index '%1' not found").arg(name));
    if (order->built)
        return true;
    if (!order->isDefault) {
        const bool caseSensitive = !order->def.options.caseInsensitive;
        const size_t keyCount = size_t(order->def.fields.size());
        order->preparedKeys.resize(keyCount);
        order->preparedUpTo.resize(keyCount, 0);
        for (size_t k = 0; k < keyCount; ++k) {
            const Field &field = RequireField(order->def.fields[int(k)]);
            if (!field.isText())
                continue;
            const size_t f = size_t(field.index());
            QHash<QString, QCollatorSortKey> &prepared = order->preparedKeys[k];
            size_t &id = order->preparedUpTo[k];
            for (; id < m_rows.size(); ++id) {
                if (!m_rows[id].alive)
                    continue;
                if (budget-- <= 0)
                    return false;
                const Value &v = rowValues(int(id))[f];
                if (v.kind() == Value::Kind::Text && !prepared.contains(v.text()))
                    prepared.insert(v.text(), SystemFormats::current().sortKey(v.text(), caseSensitive));
            }
        }
    }
    buildOrder(*order);
    return true;
}

std::shared_ptr<ClientTable::IndexBuild> ClientTable::BeginIndexBuild(const QString &name)
{
    requireActive();
    Order *order = findOrder(name);
    if (!order)
        fail(QStringLiteral("Index '%1' not found").arg(name));
    if (order->built)
        return nullptr;
    auto build = std::make_shared<IndexBuild>();
    build->name = order->def.name;
    build->def = order->def;
    build->ticket = nextBuildTicket++;
    if (!order->isDefault) {
        const bool caseSensitive = !order->def.options.caseInsensitive;
        for (const QString &fieldName : order->def.fields) {
            const Field &field = RequireField(fieldName);
            build->keyFields.push_back(field.index());
            build->textKey.push_back(field.isText());
            build->collators.push_back(SystemFormats::current().newCollator(caseSensitive));
        }
    }
    build->values.resize(build->keyFields.size());
    build->idSpan = m_rows.size();
    // Room for every row at once: growing the copy as it fills would move it whole at each
    // doubling, in one step, and take the memory of a large list's keys afresh each time.
    build->rows.reserve(build->idSpan);
    for (std::vector<Value> &keyValues : build->values)
        keyValues.reserve(build->idSpan);
    // A build begun again replaces the one before: rows are tracked from this snapshot on.
    order->buildTicket = build->ticket;
    order->changedSinceSnapshot.clear();
    return build;
}

bool ClientTable::SnapshotIndexStep(IndexBuild &build, int budget) const
{
    for (; build.nextId < build.idSpan && build.nextId < m_rows.size(); ++build.nextId) {
        const size_t id = build.nextId;
        if (!m_rows[id].alive)
            continue;
        if (budget-- <= 0)
            return false;
        build.rows.push_back(int(id));
        const std::vector<Value> &values = rowValues(int(id));
        for (size_t k = 0; k < build.keyFields.size(); ++k)
            build.values[k].push_back(values[size_t(build.keyFields[k])]);
    }
    build.snapshotDone = true;
    return true;
}

bool ClientTable::RunIndexBuild(IndexBuild &build, const std::atomic<bool> &cancel)
{
    if (!build.snapshotDone)
        return false;
    if (!build.keyFields.empty()) {
        // The values are copied by position in build.rows, which the ranking reads before it
        // reorders the rows.
        const auto valueAt = [&](size_t k, size_t i) -> const Value & { return build.values[k][i]; };
        const auto sortKeyOf
            = [&](size_t k, const QString &text) { return build.collators[k].sortKey(text); };
        const auto compareText
            = [&](size_t k, QStringView a, QStringView b) { return compareTexts(build.collators[k], a, b); };
        const bool done = sortByKeys(
            build.def, build.textKey, build.rows, build.idSpan, valueAt, sortKeyOf, compareText,
            [](size_t, size_t) {}, [&] { return cancel.load(std::memory_order_relaxed); });
        if (!done)
            return false;
    }
    // The copy is no longer needed; the texts it shares with the table are let go of here.
    build.values.clear();
    // Laid out here as the order keeps its rows, so that a large order is put in place at once.
    build.sequence.assign(build.rows);
    build.built = true;
    return true;
}

bool ClientTable::FinishIndexBuild(IndexBuild &build)
{
    if (!Active() || !build.built)
        return false;
    Order *order = findOrder(build.name);
    if (!order || order->built || order->buildTicket != build.ticket)
        return false;
    // The rows that changed since the snapshot began leave the result, and go back in at their
    // places by their values now, as a post puts a row.
    std::vector<int> toPlace;
    if (order->changedSinceSnapshot.empty()) {
        order->rows = std::move(build.sequence);
    } else {
        std::vector<char> changed(m_rows.size(), 0);
        for (int id : order->changedSinceSnapshot) {
            if (!changed[size_t(id)] && m_rows[size_t(id)].alive)
                toPlace.push_back(id);
            changed[size_t(id)] = 1;
        }
        std::vector<int> rows;
        rows.reserve(build.rows.size());
        for (int id : build.rows)
            if (!changed[size_t(id)])
                rows.push_back(id);
        order->rows.assign(rows);
    }
    order->keyFields = build.keyFields;
    order->textKey = build.textKey;
    // The worker is done with its collators: they serve the order's comparisons from now on.
    order->collators = std::move(build.collators);
    order->preparedKeys.clear();
    order->preparedUpTo.clear();
    order->built = true;
    order->buildTicket = 0;
    order->changedSinceSnapshot.clear();
    for (int id : toPlace)
        order->rows.insert(lowerBound(*order, order->rows, id), id);
    build.built = false;
    return true;
}

bool ClientTable::IndexPrepared(const QString &name) const
{
    const Order *order = const_cast<ClientTable *>(this)->findOrder(name);
    return Active() && order && order->built;
}

void ClientTable::AddIndex(const QString &name, const QStringList &fields, const IndexOptions &options)
{
    IndexDef def { name, fields, options };
    m_indexDefs.push_back(def);
    if (!Active())
        return;
    auto order = std::make_unique<Order>();
    order->def = def;
    buildOrder(*order);
    m_orders.push_back(std::move(order));
}

QStringList ClientTable::IndexNames() const
{
    QStringList names;
    for (const IndexDef &def : m_indexDefs)
        names << def.name;
    return names;
}

} // namespace ql
