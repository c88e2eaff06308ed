#pragma once

#include "storage/DataSource.h"

#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

namespace ql {

class ClientTable;
class Field;
class Value;

// The link of one bound editor to one field of a table's current row, shared by the bound edit,
// drop-down list and memo. The field is found by name at every use, because a list's fields are
// those its file declares.
//
// Bound through the table's DataSource, the link tells its editor when the row it shows changed
// (Notice), and takes part in the flush that the table runs before every post: the editor writes
// what it still holds. When the data source or its table goes away, the link is unbound and says
// so as a move.
class FieldLink final : public DataSource::Editor
{
public:
    enum class Notice {
        // The current row is another one, or its pending change was abandoned: what the editor
        // holds and has not written belongs to nothing any more.
        Moved,
        // Values of the view changed (a post, a command): the editor shows them unless the user is
        // in the middle of a change.
        Changed,
    };
    using Listener = std::function<void(Notice)>;

    // `owner` is the editor widget: connections live no longer than it. `flush` writes what the
    // editor holds and throws when the field refuses it; empty for an editor that writes at once.
    FieldLink(QObject &owner, Listener listener, std::function<void()> flush = {});
    ~FieldLink() override;
    FieldLink(const FieldLink &) = delete;
    FieldLink &operator=(const FieldLink &) = delete;

    // Binds the link, after the editors bound already have written what they hold. Throws the
    // refusal of one that cannot; the link is then unbound.
    void bind(DataSource &source, const QString &fieldName);
    void unbind();

    bool isBound() const { return table() != nullptr; }
    ClientTable *table() const;
    const QString &fieldName() const { return m_fieldName; }
    // The field in the open table; none when unbound, closed or when the table lacks it.
    const Field *field() const;
    // The current row's value of the field (the pending row's while editing); null without one.
    Value value() const;
    // Whether the user may change the field: bound, open, present and not read-only.
    bool canModify() const;

    // The editor's first change: puts the row into edit mode, or starts a new row on an empty view.
    // The notices this causes are not passed to the editor, which keeps the change it is making.
    // Throws the table's error.
    void beginChange();
    // Writes `value` into the field of the pending row (entering edit mode first when needed).
    // Throws the table's error: the field's conversion or range error, a read-only field, a missing
    // field.
    void write(const Value &value);

    void flushToRow() override;

private:
    void notify(Notice notice);
    void detach();

    QObject &m_owner;
    Listener m_listener;
    std::function<void()> m_flush;
    QPointer<DataSource> m_source;
    QString m_fieldName;
    std::vector<QMetaObject::Connection> m_connections;
    bool m_changing = false;
};

} // namespace ql
