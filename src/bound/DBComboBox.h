#pragma once

#include "bound/FieldLink.h"

#include <QComboBox>

namespace ql {

// A drop-down list bound to a field of a table's current row, through the table's DataSource: the
// value is chosen from the list only. It shows the item that equals the field's value, compared
// without regard to case; a value that is not among its items shows as an empty box. Choosing an
// item writes the item's text exactly as listed, at once (so nothing is left to write when the list
// loses the focus or the row is posted); the first choice puts the row into edit mode, or starts a
// new row on an empty view. A choice the field refuses is shown in the error box and the list shows
// the field's value again. It follows the current row.
//
// The wheel changes the choice only while the list has the focus: turned over a list, it scrolls
// the area that holds it instead.
class DBComboBox final : public QComboBox
{
    Q_OBJECT

public:
    explicit DBComboBox(QWidget *parent = nullptr);

    void bind(DataSource &source, const QString &fieldName);
    void unbind();
    bool isBound() const { return m_link.isBound(); }
    const QString &fieldName() const { return m_link.fieldName(); }

    // Replaces the items and shows the field's value among them.
    void setItems(const QStringList &items);

protected:
    void wheelEvent(QWheelEvent *event) override;

private:
    void showField();
    void userChose(int index);

    FieldLink m_link;
};

} // namespace ql
