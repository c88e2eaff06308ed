#pragma once

#include "platform/FileAccess.h"
#include "platform/FileWriter.h"
#include "storage/Field.h"
#include "storage/RowSequence.h"
#include "storage/Value.h"

#include <QByteArray>
#include <QCollatorSortKey>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QIODevice;

namespace ql {

class FilterExpr;
struct ReadControl;

// Document formats of WriteToFile. The program never writes the binary form; asking for it with a
// file name ending in ".xml" (any case) writes the plain form.
enum class DataFormat { Binary, Xml, XmlUtf8 };

struct IndexOptions
{
    bool primary = false;
    bool unique = false;
    bool descending = false;
    bool caseInsensitive = false;
};

struct IndexDef
{
    QString name;
    QStringList fields; // key fields, most significant first
    IndexOptions options;
};

// One stored version of a row, as the document keeps it.
struct RowVersion
{
    enum : quint8 { Superseded = 1, Deleted = 2, Inserted = 4, Modified = 8 };
    quint8 state = 0;
    int replaces = -1; // for Modified: index of the version it replaces
    std::vector<Value> values;
};

// One change: 1-based positions of the version the change produced and of the one it replaced (0
// when none), and the kind (4 insertion, 8 modification, 2 deletion).
struct ChangeLogEntry
{
    int produced = 0;
    int replaced = 0;
    int kind = 0;
    bool operator==(const ChangeLogEntry &o) const
    {
        return produced == o.produced && replaced == o.replaced && kind == o.kind;
    }
};

// What a document holds: the fields, the table properties and every stored row version in
// physical order. The reader produces it and the writer consumes it.
struct TableData
{
    std::vector<Field> fields;
    std::vector<RowVersion> versions;
    std::vector<ChangeLogEntry> log;
    bool hasCounter = false;
    qint64 counter = 1;
};

// A change of the rows that a view of the table shows: the rows of the view in the current order
// and filter, with the pending new row at its place while one is being inserted (RowNumber).
// Positions count from 0.
struct RowsChange
{
    enum class Kind {
        Reset, // anything may have changed: the table was opened, closed, reordered or refiltered
        Inserted, // a row appeared at `to` (a new row became pending)
        Removed, // the row at `from` went (deleted, or a pending new row abandoned)
        Moved, // the row at `from` is now at `to`, with values that may have changed (a post)
        Changed, // the row at `to` stays there with values that may have changed
    };
    Kind kind = Kind::Reset;
    int from = -1;
    int to = -1;

    bool operator==(const RowsChange &o) const { return kind == o.kind && from == o.from && to == o.to; }
};

class ClientTable;

// What a subscriber of a table is told (see ClientTable). BeforePost may throw: the post then does
// not happen. The others must not throw. TableDestroyed comes last, from the table's destructor:
// the subscriber lets go of the table and is not told anything more.
class TableSubscriber
{
public:
    virtual void afterInsert(ClientTable &) { }
    virtual void afterEdit(ClientTable &) { }
    virtual void beforePost(ClientTable &) { }
    virtual void afterPost(ClientTable &) { }
    virtual void afterCancel(ClientTable &) { }
    virtual void afterScroll(ClientTable &) { }
    virtual void afterRowsChange(ClientTable &, const RowsChange &) { }
    virtual void tableDestroyed(ClientTable &) { }

protected:
    ~TableSubscriber() = default;
};

// The in-memory table behind every task list and the recent-files store: typed fields, rows kept
// as versions with a change log, one current row, one pending row (edit or insert), named orders,
// one filter and a counter. Failures throw ql::Error with the user-facing message.
//
// The table tells of its changes in two ways, at the same moments. Its own reactions, one of each,
// belong to its owner and say what the table does (the insert defaults of a task list); whatever
// shows the table follows it as a subscriber (a DataSource), any number of them, told after the
// reaction of the same kind. Both run synchronously inside the operation that causes them:
//  - AfterInsert after AppendRow/InsertRow (and EditRow on an empty view) has made the pending row.
//  - AfterEdit after EditRow has made the current row pending.
//  - AfterScroll after every cursor movement; never on post or a change of order.
//  - BeforePost before a pending row is stored, or ended by a movement or a write, while the row
//    is still pending: editors bound to the row write what they hold into it. It does not run
//    again for writes it makes itself.
//  - AfterCancel after CancelRow has abandoned a pending row (after the AfterScroll that
//    abandoning an insertion runs), so whatever shows the row can show its stored values again.
//  - AfterPost (subscribers only) after a pending row was stored, after the rows change it made.
// AppendRow and InsertRow call AfterInsert first (the insert defaults) and AfterScroll second (the
// cursor is on the new row), so whatever follows the cursor sees the row with its defaults.
//
// RowCount counts the rows of the view only: a pending inserted row is not counted until it is
// posted. RowNumber of a pending inserted row is the position it will take (1-based); 0 when the
// view is empty.
class ClientTable
{
public:
    enum class State { Inactive, Browse, Edit, Insert };
    using Reaction = std::function<void(ClientTable &)>;
    using RowsReaction = std::function<void(ClientTable &, const RowsChange &)>;

    explicit ClientTable(QString name = QString());
    ~ClientTable();
    ClientTable(const ClientTable &) = delete;
    ClientTable &operator=(const ClientTable &) = delete;

    const QString &Name() const { return m_name; }

    // --- Definitions and life cycle
    void AddFieldDef(const FieldDef &def);
    void AddIndexDef(const IndexDef &def);
    // Discards the field set (and the field definitions); the table must be closed.
    void ClearFields();
    // Opens an empty table from the field definitions and builds the named orders.
    void CreateEmpty();
    bool Active() const { return m_state != State::Inactive; }
    void Open();
    void Close();
    State GetState() const { return m_state; }
    bool IsEditing() const { return m_state == State::Edit || m_state == State::Insert; }

    // A table bound to a file reads it on Open when it exists, and writes it back (plain form) on
    // Close when it was loaded from it and rows changed since. The destructor does not write: owners
    // that want the write-back call Close.
    void SetFileName(const QString &path) { m_fileName = path; }
    const QString &FileName() const { return m_fileName; }

    // --- Documents
    // Reads the list file at `path` (only a regular file: readRegularFile) and gives the identity of
    // what it read. With `control`, reading reports its progress and can be cancelled (ReadCancelled,
    // which leaves the table closed). The table is not shared while it reads: another thread may
    // read into a table of its own and hand it over when done.
    FileIdentity ReadFromFile(const QString &path, const ReadControl *control = nullptr);
    void ReadFromBytes(const QByteArray &bytes, const ReadControl *control = nullptr);
    void ReadFromStream(QIODevice &device);
    // Takes over everything `source` read or holds (fields, rows, change log, orders, view,
    // filter, cursor) and tells whatever follows this table, as a read does; `source` is left
    // closed and empty. This table keeps its name, reactions, subscribers and file binding. Both
    // must be out of edit and insert mode. Lets a large list be read into a table of its own on
    // another thread and then shown at once.
    void AdoptContents(ClientTable &source);
    // Writes the file whole through the atomic writer and gives the identity of what it wrote.
    FileIdentity WriteToFile(const QString &path, DataFormat format);
    QByteArray WriteToBytes(DataFormat format);
    // The document handed to `put` in pieces of a few megabytes as it is written (see
    // writeDatapacket), for a file that is written while its contents are made.
    void WriteTo(DataFormat format, const PutBytes &put);
    void WriteToStream(QIODevice &device, DataFormat format);

    // Off merges the log: the current rows become plain rows and the log is emptied.
    void SetChangeLogging(bool on);
    bool ChangeLogging() const { return m_logging; }
    // Whether rows were inserted, changed or deleted since the table was opened or read.
    bool ChangedSinceOpen() const { return m_changedSinceOpen; }

    // --- Cursor and view
    void MoveFirst();
    void MoveNext();
    void MovePrior();
    void MoveLast();
    // Makes the row at the 1-based position of the view current.
    void MoveTo(int rowNumber);
    bool AtEnd() const;
    int RowCount() const;
    int RowNumber() const;

    const QString &IndexName() const { return m_indexName; }
    void SetIndexName(const QString &name);
    // An order defined at run time by name, key fields and options; it becomes available to
    // SetIndexName.
    void AddIndex(const QString &name, const QStringList &fields, const IndexOptions &options);
    QStringList IndexNames() const;
    // Builds a named order now, so that the first switch to it has nothing left to build; an order
    // already built is left as it is. Built orders are kept up to date by every post and deletion.
    // Throws as SetIndexName does for an order that cannot be built.
    void PrepareIndex(const QString &name);
    bool IndexPrepared(const QString &name) const;
    // One small step towards building a named order ahead of its use: works out the sort keys of
    // the texts of at most `budget` rows, or, when no row is left to look at, builds the order.
    // Returns whether the order is built. Lets a program prepare its orders while idle without
    // blocking for long.
    bool PrepareIndexStep(const QString &name, int budget);

    // Building a named order on another thread, for lists too large to build one at once without
    // holding up the user. BeginIndexBuild starts a copy of the order's keys (nothing when the
    // order is built already); SnapshotIndexStep copies those of at most `budget` more rows and
    // says whether every row is in; RunIndexBuild builds from the copy alone, on any thread, and
    // returns false when `cancel` was set on the way; FinishIndexBuild, back on the table's thread,
    // puts the order in place and the rows posted or deleted since the copy began at their places,
    // as posts put them. FinishIndexBuild does nothing and returns false when the order was built
    // meanwhile, or the table was closed or read again since the build began.
    class IndexBuild;
    std::shared_ptr<IndexBuild> BeginIndexBuild(const QString &name);
    bool SnapshotIndexStep(IndexBuild &build, int budget) const;
    static bool RunIndexBuild(IndexBuild &build, const std::atomic<bool> &cancel);
    bool FinishIndexBuild(IndexBuild &build);

    const QString &Filter() const { return m_filterText; }
    void SetFilter(const QString &expression);
    bool Filtered() const { return m_filtered; }
    void SetFiltered(bool on);

    // Building a filtered view in steps, for lists too large to filter at once without holding up
    // the user; meanwhile the table shows the view it had. BeginFilterBuild ends a pending row and
    // parses `expression` as SetFilter does (an expression that fails throws and changes nothing)
    // and starts a build of the view that SetFilter(expression) and SetFiltered(true) would give:
    // it tests the rows in view when the expression narrows the filter in place, every row
    // otherwise. FilterBuildStep tests at most `budget` more rows and says whether every row is
    // tested (also when the build was dropped). FinishFilterBuild, once every row is tested, puts
    // the view in place as those two leave it (the filter text, Filtered(), the rows in the active
    // order, the cursor on the first row, the same notices), testing again the rows posted or
    // deleted since the build began. A newer build, SetFilter, SetFiltered, closing or reading the
    // table drops a build: FilterBuildCurrent then says false and FinishFilterBuild does nothing.
    class FilterBuild;
    std::shared_ptr<FilterBuild> BeginFilterBuild(const QString &expression);
    bool FilterBuildStep(FilterBuild &build, int budget);
    bool FilterBuildCurrent(const FilterBuild &build) const;
    // How many rows the build tests in all.
    static int FilterBuildRows(const FilterBuild &build);
    bool FinishFilterBuild(FilterBuild &build);

    // Makes the first row of the view whose field equals `value` (whole value, with case) current.
    bool LocateRow(const QString &fieldName, const Value &value);

    // --- Editing
    void AppendRow();
    void InsertRow();
    void EditRow();
    void PostRow();
    void CancelRow();
    void DeleteRow();

    // --- Fields
    const std::vector<Field> &Fields() const { return m_data.fields; }
    const Field &RequireField(const QString &name) const;
    const Field *LookupField(const QString &name) const;

    // Values of the current row (the pending row while editing). Null when the view is empty.
    Value GetValue(const Field &field) const;
    Value GetValue(const QString &name) const { return GetValue(RequireField(name)); }
    bool IsNull(const QString &name) const { return GetValue(name).isNull(); }
    QString AsText(const QString &name) const;
    qint64 AsInteger(const QString &name) const;
    QDateTime AsDateTime(const QString &name) const;
    bool AsBoolean(const QString &name) const;

    // Writes into the pending row; throws "Dataset not in edit or insert mode" in browse mode.
    void SetValue(const Field &field, const Value &value);
    void SetText(const QString &name, const QString &text);
    void SetInteger(const QString &name, qint64 value);
    void SetDateTime(const QString &name, const QDateTime &value);
    void SetBoolean(const QString &name, bool value);
    void SetNull(const QString &name);

    // The value of a field at a 1-based position of the view without moving the cursor (the grid
    // and the report read the view this way). The pending row's own values show at its position.
    Value ViewValue(int rowNumber, const Field &field) const;

    // The text of a value of a field, in the system formats.
    static QString ValueText(const Field &field, const Value &value);
    // Converts text to a value of the field; throws the field's conversion error.
    static Value ValueFromText(const Field &field, const QString &text);

    bool HasCounter() const { return m_data.hasCounter; }
    qint64 Counter() const { return m_data.counter; }
    const std::vector<ChangeLogEntry> &ChangeLog() const { return m_data.log; }
    const TableData &Data() const { return m_data; }

    // --- Reactions
    void SetAfterInsert(Reaction r) { m_afterInsert = std::move(r); }
    void SetAfterEdit(Reaction r) { m_afterEdit = std::move(r); }
    void SetAfterScroll(Reaction r) { m_afterScroll = std::move(r); }
    void SetAfterCancel(Reaction r) { m_afterCancel = std::move(r); }
    void SetBeforePost(Reaction r) { m_beforePost = std::move(r); }
    // Told after every change of the rows a view shows, before the cursor reaction of the same
    // operation. It must not throw.
    void SetAfterRowsChange(RowsReaction r) { m_afterRowsChange = std::move(r); }

    // --- Subscribers, told in the order they subscribed. A subscriber unsubscribes before it goes;
    // one that subscribes twice is told once.
    void Subscribe(TableSubscriber *subscriber);
    void Unsubscribe(TableSubscriber *subscriber);

private:
    struct Row
    {
        int version = -1;
        bool alive = false;
    };
    struct Order;

    void requireActive() const;
    void requireEditing() const;
    void installData(TableData data);
    void installDocument(TableData doc);
    void resetView();
    void endPendingImplicitly();
    void runBeforePost();
    void beginInsert(bool append);
    void rebuildView(bool moveToFirst, bool fromView = false);
    void fireScroll();
    void fireRowsChange(RowsChange::Kind kind, int from = -1, int to = -1);
    void fireInsert();
    void fireEdit();
    void firePost();
    void fireCancel();
    // Tells each subscriber, through `notice`, that are subscribed still when their turn comes.
    template <typename Notice> void tellSubscribers(const Notice &notice);
    const std::vector<Value> &rowValues(int rowId) const;
    Order *findOrder(const QString &name);
    void buildOrder(Order &order);
    void prefetchKey(const std::vector<int> &rows, size_t i, size_t field) const;
    int compareRows(const Order &order, int a, int b, bool withTieBreak) const;
    int lowerBound(const Order &order, const RowSequence &rows, int rowId) const;
    void removeFromOrders(int rowId);
    void insertIntoOrders(int rowId);
    void mergeChangeLog();
    void checkUnique(int rowId) const;
    void postInsert();
    void postEdit();
    // A filter build under way follows the rows that change while it runs (ClientTableFilter.cpp).
    void dropFilterBuild();
    void noteRowChanged(int rowId);
    void testFilterRows(
        const FilterExpr *filter, const std::vector<int> &ids, std::vector<char> &passes) const;
    Order &activeOrder();
    const Order &activeOrder() const;

    QString m_name;
    std::vector<FieldDef> m_fieldDefs;
    std::vector<IndexDef> m_indexDefs;
    TableData m_data;
    std::vector<Row> m_rows;
    std::vector<std::unique_ptr<Order>> m_orders; // [0] is the default order
    QString m_indexName;
    RowSequence m_view;
    int m_cursor = -1; // position in m_view; -1 when the view is empty
    bool m_atEnd = true;
    State m_state = State::Inactive;
    std::vector<Value> m_pending;
    std::vector<bool> m_written;
    bool m_pendingAppend = true; // insert mode: at the end of the view, or before the current row
    int m_pendingRow = -1; // edit mode: the row being edited
    bool m_logging = true;
    bool m_changedSinceOpen = false;
    bool m_loadedFromFile = false;
    QString m_fileName;
    QString m_filterText;
    bool m_filtered = false;
    std::unique_ptr<FilterExpr> m_filter;
    // The filter build under way (0: none), and the rows posted or deleted since it began.
    quint64 m_filterBuildTicket = 0;
    std::vector<int> m_changedSinceFilterBuild;
    Reaction m_afterInsert;
    Reaction m_afterEdit;
    Reaction m_afterScroll;
    Reaction m_afterCancel;
    Reaction m_beforePost;
    RowsReaction m_afterRowsChange;
    std::vector<TableSubscriber *> m_subscribers;
    bool m_inBeforePost = false;
};

} // namespace ql
