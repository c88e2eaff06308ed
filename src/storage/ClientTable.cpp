#include "storage/ClientTable.h"

#include "platform/Error.h"
#include "platform/FileWriter.h"
#include "platform/SystemFormats.h"
#include "storage/ClientTableOrder.h"
#include "storage/Datapacket.h"
#include "storage/FilterExpr.h"
#include "storage/RowSequence.h"
#include "storage/ValueText.h"

#include <QFileInfo>
#include <QHash>
#include <QIODevice>
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

QString cutText(const Field &field, QString text)
{
    // A zero character ends a text, as a zero byte did.
    const int zero = text.indexOf(QChar(0));
    if (zero >= 0)
        text.truncate(zero);
    const int width = field.width();
    if ((field.type() == FieldType::Text || field.type() == FieldType::WideText) && width > 0
        && text.size() > width) {
        int cut = width;
        // Never cut between the two halves of a surrogate pair.
        if (text.at(cut - 1).isHighSurrogate())
            --cut;
        text.truncate(cut);
    }
    return text;
}

QString rangeError(qint64 value, const Field &field)
{
    return QStringLiteral("%1 is not a valid value for field '%2'. The allowed range is %3 to %4")
        .arg(value)
        .arg(field.name())
        .arg(field.minimum())
        .arg(field.maximum());
}

} // namespace

ClientTable::ClientTable(QString name)
    : m_name(std::move(name))
{
}

ClientTable::~ClientTable()
{
    // What follows the table lets go of it now, whatever goes first, the table or its followers.
    const std::vector<TableSubscriber *> subscribers = std::move(m_subscribers);
    m_subscribers.clear();
    for (TableSubscriber *subscriber : subscribers)
        subscriber->tableDestroyed(*this);
}

void ClientTable::Subscribe(TableSubscriber *subscriber)
{
    if (std::find(m_subscribers.begin(), m_subscribers.end(), subscriber) == m_subscribers.end())
        m_subscribers.push_back(subscriber);
}

void ClientTable::Unsubscribe(TableSubscriber *subscriber)
{
    m_subscribers.erase(
        std::remove(m_subscribers.begin(), m_subscribers.end(), subscriber), m_subscribers.end());
}

template <typename Notice> void ClientTable::tellSubscribers(const Notice &notice)
{
    if (m_subscribers.empty())
        return;
    // A copy: a subscriber may come or go while the others are told.
    const std::vector<TableSubscriber *> subscribers = m_subscribers;
    for (TableSubscriber *subscriber : subscribers)
        if (std::find(m_subscribers.begin(), m_subscribers.end(), subscriber) != m_subscribers.end())
            notice(*subscriber);
}

// ---------------------------------------------------------------------------------------------
// Definitions and life cycle

void ClientTable::AddFieldDef(const FieldDef &def)
{
    m_fieldDefs.push_back(def);
}

void ClientTable::AddIndexDef(const IndexDef &def)
{
    m_indexDefs.push_back(def);
}

void ClientTable::ClearFields()
{
    if (Active())
        fail(QStringLiteral("Cannot perform this operation on an open dataset"));
    m_fieldDefs.clear();
    m_data = TableData();
}

void ClientTable::CreateEmpty()
{
    if (m_fieldDefs.empty())
        fail(QStringLiteral("No fields defined.  Cannot create dataset"));
    Close();
    TableData data;
    for (const FieldDef &def : m_fieldDefs) {
        data.fields.emplace_back(def, int(data.fields.size()));
        if (def.type == FieldType::Counter)
            data.hasCounter = true;
    }
    installData(std::move(data));
    m_loadedFromFile = false;
    try {
        // A new table builds all of its named orders at once.
        for (auto &order : m_orders)
            buildOrder(*order);
        resetView();
    } catch (...) {
        Close();
        throw;
    }
}

void ClientTable::Open()
{
    if (Active())
        return;
    if (!m_fileName.isEmpty() && QFileInfo::exists(m_fileName)) {
        ReadFromFile(m_fileName);
        m_loadedFromFile = true;
        return;
    }
    CreateEmpty();
}

void ClientTable::Close()
{
    if (!Active())
        return;
    if (IsEditing())
        CancelRow();
    if (!m_fileName.isEmpty() && m_loadedFromFile && m_changedSinceOpen)
        WriteToFile(m_fileName, DataFormat::Binary);
    m_state = State::Inactive;
    m_pending.clear();
    m_written.clear();
    m_rows.clear();
    m_view.clear();
    m_cursor = -1;
    m_atEnd = true;
    for (auto &order : m_orders) {
        order->built = false;
        order->buildTicket = 0;
        order->changedSinceSnapshot.clear();
    }
    dropFilterBuild();
    fireRowsChange(RowsChange::Kind::Reset);
}

void ClientTable::requireActive() const
{
    if (!Active())
        fail(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void ClientTable::requireEditing() const
{
    requireActive();
    if (!IsEditing())
        fail(QStringLiteral("Dataset not in edit or insert mode"));
}

// Takes over a document's data: the live rows are the versions that were neither superseded nor
// deleted, in the order in which their first versions were stored.
void ClientTable::installData(TableData data)
{
    m_data = std::move(data);
    m_state = State::Browse;
    m_pending.clear();
    m_written.clear();
    m_pendingRow = -1;
    m_changedSinceOpen = false;

    const auto &versions = m_data.versions;
    // The counter never gives out a number that a stored version holds, whatever the document's
    // counter says (a foreign or damaged file would otherwise refuse every new row).
    for (const Field &field : m_data.fields) {
        if (field.type() != FieldType::Counter)
            continue;
        for (const RowVersion &v : versions) {
            const Value &id = v.values[size_t(field.index())];
            if (id.kind() == Value::Kind::Integer && id.toInteger() >= m_data.counter)
                m_data.counter = id.toInteger() + 1;
        }
    }
    std::vector<int> root(versions.size());
    std::vector<int> live;
    for (size_t v = 0; v < versions.size(); ++v) {
        const int replaced = versions[v].replaces;
        root[v] = replaced >= 0 && replaced < int(v) ? root[size_t(replaced)] : int(v);
        if (!(versions[v].state & (RowVersion::Superseded | RowVersion::Deleted)))
            live.push_back(int(v));
    }
    std::stable_sort(
        live.begin(), live.end(), [&](int a, int b) { return root[size_t(a)] < root[size_t(b)]; });
    m_rows.clear();
    m_rows.reserve(live.size());
    for (int v : live)
        m_rows.push_back({ v, true });

    m_orders.clear();
    auto defaultOrder = std::make_unique<Order>();
    defaultOrder->isDefault = true;
    m_orders.push_back(std::move(defaultOrder));
    for (const IndexDef &def : m_indexDefs) {
        auto order = std::make_unique<Order>();
        order->def = def;
        m_orders.push_back(std::move(order));
    }
    buildOrder(*m_orders.front());
}

void ClientTable::resetView()
{
    dropFilterBuild();
    Order *order = findOrder(m_indexName);
    if (!order) {
        const QString name = m_indexName;
        m_indexName.clear();
        fail(QStringLiteral("Index '%1' not found").arg(name));
    }
    if (!order->built)
        buildOrder(*order);
    if (m_filtered && !m_filterText.trimmed().isEmpty())
        m_filter = FilterExpr::parse(m_filterText, m_data.fields, SystemFormats::current());
    else
        m_filter.reset();
    rebuildView(true);
    fireRowsChange(RowsChange::Kind::Reset);
    fireScroll();
}

void ClientTable::SetChangeLogging(bool on)
{
    if (on == m_logging)
        return;
    m_logging = on;
    if (!on && Active())
        mergeChangeLog();
}

// The live rows become plain rows in place of all versions, and the log is emptied.
void ClientTable::mergeChangeLog()
{
    std::vector<RowVersion> merged;
    merged.reserve(m_rows.size());
    for (Row &row : m_rows) {
        if (!row.alive)
            continue;
        RowVersion version;
        version.values = std::move(m_data.versions[size_t(row.version)].values);
        row.version = int(merged.size());
        merged.push_back(std::move(version));
    }
    m_data.versions = std::move(merged);
    m_data.log.clear();
}

// ---------------------------------------------------------------------------------------------
// Documents

FileIdentity ClientTable::ReadFromFile(const QString &path, const ReadControl *control)
{
    Close();
    m_state = State::Inactive;
    FileIdentity identity;
    installDocument(readDatapacketFile(path, identity, control));
    return identity;
}

void ClientTable::ReadFromStream(QIODevice &device)
{
    const QByteArray bytes = device.readAll();
    ReadFromBytes(bytes);
}

void ClientTable::ReadFromBytes(const QByteArray &bytes, const ReadControl *control)
{
    Close();
    m_state = State::Inactive;
    installDocument(readDatapacket(bytes, nullptr, control));
}

void ClientTable::installDocument(TableData doc)
{
    if (!m_fieldDefs.empty()) {
        // A table with fields of its own takes the document's values by field name.
        TableData own;
        std::vector<int> source;
        for (const FieldDef &def : m_fieldDefs) {
            own.fields.emplace_back(def, int(own.fields.size()));
            if (def.type == FieldType::Counter)
                own.hasCounter = true;
            int match = -1;
            for (const Field &f : doc.fields)
                if (f.name().compare(def.name, Qt::CaseInsensitive) == 0
                    && f.valueKind() == Field::kindOf(def.type))
                    match = f.index();
            source.push_back(match);
        }
        own.counter = doc.counter;
        own.log = std::move(doc.log);
        own.versions.reserve(doc.versions.size());
        for (RowVersion &v : doc.versions) {
            RowVersion mapped;
            mapped.state = v.state;
            mapped.replaces = v.replaces;
            mapped.values.resize(own.fields.size());
            for (size_t i = 0; i < source.size(); ++i)
                if (source[i] >= 0)
                    mapped.values[i] = std::move(v.values[size_t(source[i])]);
            own.versions.push_back(std::move(mapped));
        }
        doc = std::move(own);
    }

    installData(std::move(doc));
    if (!m_logging)
        mergeChangeLog();
    try {
        resetView();
    } catch (...) {
        Close();
        throw;
    }
}

void ClientTable::AdoptContents(ClientTable &source)
{
    if (IsEditing() || source.IsEditing())
        fail(QStringLiteral("Dataset not in browse mode"));
    Close();
    std::swap(m_fieldDefs, source.m_fieldDefs);
    std::swap(m_indexDefs, source.m_indexDefs);
    std::swap(m_data, source.m_data);
    std::swap(m_rows, source.m_rows);
    std::swap(m_orders, source.m_orders);
    std::swap(m_indexName, source.m_indexName);
    std::swap(m_view, source.m_view);
    std::swap(m_cursor, source.m_cursor);
    std::swap(m_atEnd, source.m_atEnd);
    std::swap(m_state, source.m_state);
    std::swap(m_logging, source.m_logging);
    std::swap(m_changedSinceOpen, source.m_changedSinceOpen);
    std::swap(m_loadedFromFile, source.m_loadedFromFile);
    std::swap(m_filterText, source.m_filterText);
    std::swap(m_filtered, source.m_filtered);
    std::swap(m_filter, source.m_filter);
    // What the source's followers saw is gone; this table's followers see what it now holds.
    source.fireRowsChange(RowsChange::Kind::Reset);
    if (!Active())
        return;
    fireRowsChange(RowsChange::Kind::Reset);
    fireScroll();
}

QByteArray ClientTable::WriteToBytes(DataFormat format)
{
    requireActive();
    endPendingImplicitly();
    if (format == DataFormat::Binary)
        fail(QStringLiteral("Binary datapackets are not supported; save as XML."));
    return writeDatapacket(m_data, format, m_logging);
}

void ClientTable::WriteTo(DataFormat format, const PutBytes &put)
{
    requireActive();
    endPendingImplicitly();
    if (format == DataFormat::Binary)
        fail(QStringLiteral("Binary datapackets are not supported; save as XML."));
    writeDatapacket(m_data, format, m_logging, put);
}

FileIdentity ClientTable::WriteToFile(const QString &path, DataFormat format)
{
    if (format == DataFormat::Binary && path.endsWith(QStringLiteral(".xml"), Qt::CaseInsensitive))
        format = DataFormat::Xml;
    // Checked before a temporary file is made, which the write would otherwise make first.
    requireActive();
    endPendingImplicitly();
    if (format == DataFormat::Binary)
        fail(QStringLiteral("Binary datapackets are not supported; save as XML."));
    return writeFileAtomically(
        path, [&](const PutBytes &put) { writeDatapacket(m_data, format, m_logging, put); });
}

void ClientTable::WriteToStream(QIODevice &device, DataFormat format)
{
    const QByteArray bytes = WriteToBytes(format);
    if (device.write(bytes) != bytes.size())
        fail(device.errorString());
}

// ---------------------------------------------------------------------------------------------
// View and filter

const std::vector<Value> &ClientTable::rowValues(int rowId) const
{
    return m_data.versions[size_t(m_rows[size_t(rowId)].version)].values;
}

void ClientTable::rebuildView(bool moveToFirst, bool fromView)
{
    const Order &order = activeOrder();
    if (!m_filter) {
        m_view = order.rows;
    } else {
        // A narrowing filter tests only the rows in view: no row outside it can pass.
        const RowSequence &candidates = fromView ? m_view : order.rows;
        std::vector<int> ids;
        ids.reserve(size_t(candidates.size()));
        candidates.forEach([&](int id) { ids.push_back(id); });
        std::vector<char> passes(m_rows.size());
        testFilterRows(m_filter.get(), ids, passes);
        m_view.clear();
        for (int id : ids)
            if (passes[size_t(id)])
                m_view.push_back(id);
    }
    if (moveToFirst || m_cursor >= m_view.size())
        m_cursor = m_view.empty() ? -1 : 0;
    m_atEnd = m_view.empty();
}

void ClientTable::fireScroll()
{
    if (m_afterScroll)
        m_afterScroll(*this);
    tellSubscribers([this](TableSubscriber &s) { s.afterScroll(*this); });
}

void ClientTable::fireRowsChange(RowsChange::Kind kind, int from, int to)
{
    const RowsChange change { kind, from, to };
    if (m_afterRowsChange)
        m_afterRowsChange(*this, change);
    tellSubscribers([&](TableSubscriber &s) { s.afterRowsChange(*this, change); });
}

void ClientTable::fireInsert()
{
    if (m_afterInsert)
        m_afterInsert(*this);
    tellSubscribers([this](TableSubscriber &s) { s.afterInsert(*this); });
}

void ClientTable::fireEdit()
{
    if (m_afterEdit)
        m_afterEdit(*this);
    tellSubscribers([this](TableSubscriber &s) { s.afterEdit(*this); });
}

void ClientTable::firePost()
{
    tellSubscribers([this](TableSubscriber &s) { s.afterPost(*this); });
}

void ClientTable::fireCancel()
{
    if (m_afterCancel)
        m_afterCancel(*this);
    tellSubscribers([this](TableSubscriber &s) { s.afterCancel(*this); });
}

void ClientTable::SetFilter(const QString &expression)
{
    if (expression == m_filterText)
        return;
    dropFilterBuild();
    if (!Active() || !m_filtered) {
        m_filterText = expression;
        return;
    }
    endPendingImplicitly();
    // Parse first: an expression that fails leaves the text and the view as they were.
    std::unique_ptr<FilterExpr> parsed;
    if (!expression.trimmed().isEmpty())
        parsed = FilterExpr::parse(expression, m_data.fields, SystemFormats::current());
    // Every row that passes the old filter is in the view (a posted row that no longer passes may
    // be there too), so a filter that only narrows the old one need search no further.
    const bool narrows = parsed && m_filter && parsed->narrows(*m_filter);
    m_filterText = expression;
    m_filter = std::move(parsed);
    rebuildView(true, narrows);
    fireRowsChange(RowsChange::Kind::Reset);
    fireScroll();
}

void ClientTable::SetFiltered(bool on)
{
    dropFilterBuild();
    if (!Active()) {
        m_filtered = on;
        return;
    }
    endPendingImplicitly();
    std::unique_ptr<FilterExpr> parsed;
    if (on && !m_filterText.trimmed().isEmpty())
        parsed = FilterExpr::parse(m_filterText, m_data.fields, SystemFormats::current());
    m_filtered = on;
    m_filter = std::move(parsed);
    rebuildView(true);
    fireRowsChange(RowsChange::Kind::Reset);
    fireScroll();
}

// ---------------------------------------------------------------------------------------------
// Cursor

void ClientTable::MoveFirst()
{
    requireActive();
    endPendingImplicitly();
    m_cursor = m_view.empty() ? -1 : 0;
    m_atEnd = m_view.empty();
    fireScroll();
}

void ClientTable::MoveLast()
{
    requireActive();
    endPendingImplicitly();
    m_cursor = m_view.size() - 1;
    m_atEnd = m_view.empty();
    fireScroll();
}

void ClientTable::MoveNext()
{
    requireActive();
    endPendingImplicitly();
    if (m_cursor + 1 < m_view.size())
        ++m_cursor;
    else
        m_atEnd = true;
    fireScroll();
}

void ClientTable::MovePrior()
{
    requireActive();
    endPendingImplicitly();
    if (m_cursor > 0)
        --m_cursor;
    m_atEnd = m_view.empty();
    fireScroll();
}

void ClientTable::MoveTo(int rowNumber)
{
    requireActive();
    endPendingImplicitly();
    if (!m_view.empty())
        m_cursor = std::clamp(rowNumber, 1, m_view.size()) - 1;
    m_atEnd = m_view.empty();
    fireScroll();
}

bool ClientTable::AtEnd() const
{
    return m_atEnd || m_view.empty();
}

int ClientTable::RowCount() const
{
    return Active() ? m_view.size() : 0;
}

int ClientTable::RowNumber() const
{
    if (m_state == State::Insert)
        return (m_pendingAppend ? m_view.size() : std::max(m_cursor, 0)) + 1;
    return m_cursor + 1;
}

bool ClientTable::LocateRow(const QString &fieldName, const Value &value)
{
    requireActive();
    const Field &field = RequireField(fieldName);
    endPendingImplicitly();
    Value wanted = value;
    if (!wanted.isNull() && wanted.kind() != field.valueKind())
        wanted = ValueFromText(
            field, wanted.kind() == Value::Kind::Text ? wanted.text() : ValueText(field, wanted));
    int found = -1;
    int pos = 0;
    m_view.forEach([&](int id) {
        if (found < 0 && rowValues(id)[size_t(field.index())] == wanted)
            found = pos;
        ++pos;
    });
    if (found < 0)
        return false;
    m_cursor = found;
    m_atEnd = false;
    fireScroll();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Editing

void ClientTable::runBeforePost()
{
    if ((!m_beforePost && m_subscribers.empty()) || m_inBeforePost || !IsEditing())
        return;
    m_inBeforePost = true;
    try {
        if (m_beforePost)
            m_beforePost(*this);
        tellSubscribers([this](TableSubscriber &s) { s.beforePost(*this); });
    } catch (...) {
        m_inBeforePost = false;
        throw;
    }
    m_inBeforePost = false;
}

void ClientTable::endPendingImplicitly()
{
    if (!IsEditing())
        return;
    // What a bound editor still holds counts as written.
    runBeforePost();
    if (!IsEditing())
        return;
    // A pending row is stored when any field was written (insert defaults count), else dropped.
    if (std::find(m_written.begin(), m_written.end(), true) != m_written.end())
        PostRow();
    else
        CancelRow();
}

void ClientTable::beginInsert(bool append)
{
    requireActive();
    endPendingImplicitly();
    m_state = State::Insert;
    m_pendingAppend = append || m_view.empty();
    m_pendingRow = -1;
    m_pending.assign(m_data.fields.size(), Value());
    m_written.assign(m_data.fields.size(), false);
    fireRowsChange(RowsChange::Kind::Inserted, -1, RowNumber() - 1);
    fireInsert();
    fireScroll();
}

void ClientTable::AppendRow()
{
    beginInsert(true);
}

void ClientTable::InsertRow()
{
    beginInsert(false);
}

void ClientTable::EditRow()
{
    requireActive();
    if (IsEditing())
        return;
    if (m_view.empty()) {
        InsertRow();
        return;
    }
    m_state = State::Edit;
    m_pendingRow = m_view[m_cursor];
    m_pending = rowValues(m_pendingRow);
    m_written.assign(m_data.fields.size(), false);
    fireEdit();
}

void ClientTable::PostRow()
{
    runBeforePost();
    if (m_state == State::Insert)
        postInsert();
    else if (m_state == State::Edit)
        postEdit();
}

void ClientTable::postInsert()
{
    const int counterField = [&] {
        for (const Field &f : m_data.fields)
            if (f.type() == FieldType::Counter)
                return f.index();
        return -1;
    }();
    if (counterField >= 0 && m_data.counter > std::numeric_limits<qint32>::max())
        fail(QStringLiteral("The counter of this list has run out of numbers."));
    const int pendingPos = RowNumber() - 1;

    const int rowId = int(m_rows.size());
    const int versionPos = int(m_data.versions.size());
    RowVersion version;
    version.state = m_logging ? RowVersion::Inserted : 0;
    version.values = m_pending;
    if (counterField >= 0)
        version.values[size_t(counterField)] = Value::integer(m_data.counter);
    m_data.versions.push_back(std::move(version));
    m_rows.push_back({ versionPos, true });
    try {
        checkUnique(rowId);
    } catch (...) {
        // Refused: the row stays pending and nothing was stored.
        m_rows.pop_back();
        m_data.versions.pop_back();
        throw;
    }

    if (m_logging)
        m_data.log.push_back({ versionPos + 1, 0, RowVersion::Inserted });
    if (counterField >= 0)
        ++m_data.counter;
    insertIntoOrders(rowId);
    noteRowChanged(rowId);
    const int pos = lowerBound(activeOrder(), m_view, rowId);
    m_view.insert(pos, rowId);
    m_cursor = pos;
    m_atEnd = false;
    m_state = State::Browse;
    m_pending.clear();
    m_written.clear();
    m_changedSinceOpen = true;
    if (pos == pendingPos)
        fireRowsChange(RowsChange::Kind::Changed, -1, pos);
    else
        fireRowsChange(RowsChange::Kind::Moved, pendingPos, pos);
    firePost();
}

// Stores an edit. A row that stops passing the filter stays in the view until the view is rebuilt,
// so the row the user just changed does not vanish under the cursor.
void ClientTable::postEdit()
{
    const int rowId = m_pendingRow;
    if (std::find(m_written.begin(), m_written.end(), true) == m_written.end()) {
        // Nothing was written: there is no change to record.
        CancelRow();
        return;
    }
    const int oldVersion = m_rows[size_t(rowId)].version;

    // Check the new keys against the unique orders before anything is changed.
    const int probeVersion = int(m_data.versions.size());
    m_data.versions.push_back({ 0, -1, m_pending });
    m_rows[size_t(rowId)].version = probeVersion;
    auto restore = [&] {
        m_rows[size_t(rowId)].version = oldVersion;
        m_data.versions.pop_back();
    };
    try {
        checkUnique(rowId);
    } catch (...) {
        restore();
        throw;
    }
    restore();

    const int viewPos = [&] {
        const int pos = lowerBound(activeOrder(), m_view, rowId);
        return pos < m_view.size() && m_view[pos] == rowId ? pos : -1;
    }();
    removeFromOrders(rowId);
    if (viewPos >= 0)
        m_view.erase(viewPos);

    if (m_logging) {
        RowVersion &old = m_data.versions[size_t(oldVersion)];
        old.state |= RowVersion::Superseded;
        RowVersion version;
        version.state = RowVersion::Modified | (old.state & RowVersion::Inserted);
        version.replaces = oldVersion;
        version.values = std::move(m_pending);
        const int pos = int(m_data.versions.size());
        m_data.versions.push_back(std::move(version));
        m_rows[size_t(rowId)].version = pos;
        m_data.log.push_back({ pos + 1, oldVersion + 1, RowVersion::Modified });
    } else {
        m_data.versions[size_t(oldVersion)].values = std::move(m_pending);
    }

    insertIntoOrders(rowId);
    noteRowChanged(rowId);
    const int pos = lowerBound(activeOrder(), m_view, rowId);
    m_view.insert(pos, rowId);
    m_cursor = pos;
    m_atEnd = false;
    m_state = State::Browse;
    m_pending.clear();
    m_written.clear();
    m_pendingRow = -1;
    m_changedSinceOpen = true;
    if (viewPos < 0)
        fireRowsChange(RowsChange::Kind::Reset);
    else if (viewPos == pos)
        fireRowsChange(RowsChange::Kind::Changed, -1, pos);
    else
        fireRowsChange(RowsChange::Kind::Moved, viewPos, pos);
    firePost();
}

void ClientTable::CancelRow()
{
    const bool wasInsert = m_state == State::Insert;
    if (!IsEditing())
        return;
    const int pos = RowNumber() - 1;
    m_state = State::Browse;
    m_pending.clear();
    m_written.clear();
    m_pendingRow = -1;
    if (wasInsert)
        fireRowsChange(RowsChange::Kind::Removed, pos, -1);
    else
        fireRowsChange(RowsChange::Kind::Changed, -1, pos);
    if (wasInsert)
        fireScroll();
    fireCancel();
}

void ClientTable::DeleteRow()
{
    requireActive();
    if (m_state == State::Insert) {
        CancelRow();
        return;
    }
    if (m_view.empty())
        fail(QStringLiteral("Cannot perform this operation on an empty dataset"));
    if (m_state == State::Edit) {
        m_state = State::Browse;
        m_pending.clear();
        m_written.clear();
        m_pendingRow = -1;
    }
    const int rowId = m_view[m_cursor];
    const int removedPos = m_cursor;
    removeFromOrders(rowId);
    m_view.erase(m_cursor);
    Row &row = m_rows[size_t(rowId)];
    RowVersion &version = m_data.versions[size_t(row.version)];
    version.state |= RowVersion::Deleted;
    if (m_logging)
        m_data.log.push_back({ row.version + 1, 0, RowVersion::Deleted });
    row.alive = false;
    noteRowChanged(rowId);
    if (m_cursor >= m_view.size())
        m_cursor = m_view.size() - 1;
    m_atEnd = m_view.empty();
    m_changedSinceOpen = true;
    fireRowsChange(RowsChange::Kind::Removed, removedPos, -1);
    fireScroll();
}

// ---------------------------------------------------------------------------------------------
// Fields

const Field *ClientTable::LookupField(const QString &name) const
{
    for (const Field &f : m_data.fields)
        if (f.name().compare(name, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

const Field &ClientTable::RequireField(const QString &name) const
{
    if (const Field *f = LookupField(name))
        return *f;
    fail(QStringLiteral("Field '%1' not found").arg(name));
}

Value ClientTable::GetValue(const Field &field) const
{
    if (IsEditing())
        return m_pending[size_t(field.index())];
    if (!Active() || m_cursor < 0)
        return Value();
    return rowValues(m_view[m_cursor])[size_t(field.index())];
}

Value ClientTable::ViewValue(int rowNumber, const Field &field) const
{
    int index = rowNumber - 1;
    if (m_state == State::Insert) {
        const int insertAt = m_pendingAppend ? m_view.size() : std::max(m_cursor, 0);
        if (index == insertAt)
            return m_pending[size_t(field.index())];
        if (index > insertAt)
            --index;
    }
    if (index < 0 || index >= m_view.size())
        return Value();
    const int rowId = m_view[index];
    if (m_state == State::Edit && rowId == m_pendingRow)
        return m_pending[size_t(field.index())];
    return rowValues(rowId)[size_t(field.index())];
}

QString ClientTable::AsText(const QString &name) const
{
    const Field &field = RequireField(name);
    return ValueText(field, GetValue(field));
}

qint64 ClientTable::AsInteger(const QString &name) const
{
    const Field &field = RequireField(name);
    const Value v = GetValue(field);
    switch (v.kind()) {
    case Value::Kind::Null:
        return 0;
    case Value::Kind::Integer:
        return v.toInteger();
    case Value::Kind::Float:
        return qRound64(v.toFloat());
    case Value::Kind::Boolean:
        return v.toBoolean() ? 1 : 0;
    case Value::Kind::Text: {
        bool ok = false;
        const qint64 n = v.text().trimmed().toLongLong(&ok);
        if (!ok)
            fail(QStringLiteral("'%1' is not a valid integer value for field '%2'")
                     .arg(v.text(), field.name()));
        return n;
    }
    default:
        fail(QStringLiteral("'%1' is not a valid integer value for field '%2'")
                 .arg(ValueText(field, v), field.name()));
    }
}

QDateTime ClientTable::AsDateTime(const QString &name) const
{
    const Field &field = RequireField(name);
    const Value v = GetValue(field);
    switch (v.kind()) {
    case Value::Kind::Null:
        return QDateTime();
    case Value::Kind::Date:
        return QDateTime(v.toDate(), QTime(0, 0));
    case Value::Kind::DateTime:
        return QDateTime(v.toDate(), v.toTime());
    case Value::Kind::Time:
        return QDateTime(Value::dateFromDays(0), v.toTime());
    default: {
        const Value converted
            = ValueFromText(Field({ field.name(), FieldType::DateTime }, field.index()), ValueText(field, v));
        return converted.isNull() ? QDateTime() : QDateTime(converted.toDate(), converted.toTime());
    }
    }
}

bool ClientTable::AsBoolean(const QString &name) const
{
    const Field &field = RequireField(name);
    const Value v = GetValue(field);
    switch (v.kind()) {
    case Value::Kind::Null:
        return false;
    case Value::Kind::Boolean:
        return v.toBoolean();
    case Value::Kind::Integer:
        return v.toInteger() != 0;
    default: {
        const Value b
            = ValueFromText(Field({ field.name(), FieldType::Boolean }, field.index()), ValueText(field, v));
        return !b.isNull() && b.toBoolean();
    }
    }
}

void ClientTable::SetValue(const Field &field, const Value &value)
{
    requireEditing();
    if (field.def().readOnly)
        fail(QStringLiteral("Field '%1' cannot be modified").arg(field.name()));
    Value stored;
    if (!value.isNull()) {
        const Value::Kind want = field.valueKind();
        if (value.kind() == want) {
            stored = value;
        } else if (want == Value::Kind::Text) {
            stored = Value::text(value.kind() == Value::Kind::Integer ? QString::number(value.toInteger())
                                                                      : ValueText(field, value));
        } else if (value.kind() == Value::Kind::Text) {
            stored = ValueFromText(field, value.text());
        } else if (want == Value::Kind::Date && value.kind() == Value::Kind::DateTime) {
            stored = Value::fromDate(value.toDate());
        } else if (want == Value::Kind::DateTime && value.kind() == Value::Kind::Date) {
            stored = Value::dateTime(value.days() * Value::MsecsPerDay);
        } else if (want == Value::Kind::Float && value.kind() == Value::Kind::Integer) {
            stored = Value::floating(double(value.toInteger()));
        } else if (want == Value::Kind::Integer && value.kind() == Value::Kind::Boolean) {
            stored = Value::integer(value.toBoolean() ? 1 : 0);
        } else {
            stored = ValueFromText(field, ValueText(field, value));
        }
        if (stored.kind() == Value::Kind::Text)
            stored = Value::text(cutText(field, stored.text()));
        if (stored.kind() == Value::Kind::Integer
            && (stored.toInteger() < field.minimum() || stored.toInteger() > field.maximum()))
            fail(rangeError(stored.toInteger(), field));
    }
    m_pending[size_t(field.index())] = std::move(stored);
    m_written[size_t(field.index())] = true;
}

void ClientTable::SetText(const QString &name, const QString &text)
{
    const Field &field = RequireField(name);
    requireEditing();
    SetValue(field, field.isText() ? Value::text(text) : ValueFromText(field, text));
}

void ClientTable::SetInteger(const QString &name, qint64 value)
{
    SetValue(RequireField(name), Value::integer(value));
}

void ClientTable::SetDateTime(const QString &name, const QDateTime &value)
{
    SetValue(RequireField(name), value.isValid() ? Value::fromDateTime(value.date(), value.time()) : Value());
}

void ClientTable::SetBoolean(const QString &name, bool value)
{
    SetValue(RequireField(name), Value::boolean(value));
}

void ClientTable::SetNull(const QString &name)
{
    SetValue(RequireField(name), Value());
}

QString ClientTable::ValueText(const Field &field, const Value &value)
{
    return DisplayText(value, field.valueKind(), SystemFormats::current());
}

Value ClientTable::ValueFromText(const Field &field, const QString &text)
{
    const SystemFormats &formats = SystemFormats::current();
    const QString trimmed = text.trimmed();
    switch (field.valueKind()) {
    case Value::Kind::Text:
        return Value::text(text);
    case Value::Kind::Null:
        return Value();
    case Value::Kind::Integer: {
        if (trimmed.isEmpty())
            return Value();
        bool ok = false;
        const qint64 n = trimmed.toLongLong(&ok);
        if (!ok)
            fail(QStringLiteral("'%1' is not a valid integer value for field '%2'").arg(text, field.name()));
        if (n < field.minimum() || n > field.maximum())
            fail(rangeError(n, field));
        return Value::integer(n);
    }
    case Value::Kind::Float: {
        if (trimmed.isEmpty())
            return Value();
        bool ok = false;
        QString normal = trimmed;
        normal.replace(formats.decimalSeparator(), u'.');
        const double d = normal.toDouble(&ok);
        if (!ok)
            fail(QStringLiteral("'%1' is not a valid floating point value for field '%2'")
                     .arg(text, field.name()));
        return Value::floating(d);
    }
    case Value::Kind::Boolean: {
        if (trimmed.isEmpty())
            return Value();
        // Any leading part of "True" or "False", without regard to case.
        if (QStringLiteral("true").startsWith(trimmed, Qt::CaseInsensitive))
            return Value::boolean(true);
        if (QStringLiteral("false").startsWith(trimmed, Qt::CaseInsensitive))
            return Value::boolean(false);
        fail(QStringLiteral("'%1' is not a valid boolean value for field '%2'").arg(text, field.name()));
    }
    case Value::Kind::Date: {
        if (trimmed.isEmpty())
            return Value();
        if (const auto d = formats.parseDate(trimmed))
            return Value::fromDate(*d);
        if (const auto dt = formats.parseDateTime(trimmed))
            return Value::fromDate(dt->first);
        fail(QStringLiteral("'%1' is not a valid date").arg(text));
    }
    case Value::Kind::DateTime: {
        if (trimmed.isEmpty())
            return Value();
        if (const auto dt = formats.parseDateTime(trimmed))
            return Value::fromDateTime(dt->first, dt->second);
        fail(QStringLiteral("'%1' is not a valid date and time").arg(text));
    }
    case Value::Kind::Time: {
        if (trimmed.isEmpty())
            return Value();
        QTime t = formats.locale().toTime(trimmed, formats.longTimeFormat());
        if (!t.isValid())
            t = QTime::fromString(trimmed, QStringLiteral("H:mm:ss"));
        if (!t.isValid())
            fail(QStringLiteral("'%1' is not a valid time").arg(text));
        return Value::time(t.msecsSinceStartOfDay());
    }
    }
    return Value();
}

} // namespace ql
