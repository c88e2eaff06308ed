#include "bound/DBComboBox.h"

#include "platform/gui/ErrorBox.h"
#include "storage/ClientTable.h"

#include <QWheelEvent>

namespace ql {

DBComboBox::DBComboBox(QWidget *parent)
    : QComboBox(parent)
    , m_link(*this, [this](FieldLink::Notice) { showField(); })
{
    setEditable(false);
    // The wheel must not change a task's value in passing: the list takes it only with the focus.
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QComboBox::activated, this, &DBComboBox::userChose);
}

void DBComboBox::bind(DataSource &source, const QString &fieldName)
{
    m_link.bind(source, fieldName);
    showField();
}

void DBComboBox::unbind()
{
    m_link.unbind();
    showField();
}

void DBComboBox::setItems(const QStringList &items)
{
    clear();
    addItems(items);
    showField();
}

void DBComboBox::showField()
{
    const Field *field = m_link.field();
    // MatchFixedString compares whole texts without regard to case.
    const int index
        = field ? findText(ClientTable::ValueText(*field, m_link.value()), Qt::MatchFixedString) : -1;
    if (index != currentIndex())
        setCurrentIndex(index);
}

void DBComboBox::userChose(int index)
{
    if (index < 0 || !m_link.isBound())
        return;
    const QString item = itemText(index);
    if (!m_link.canModify() || !runGuarded([&] { m_link.write(Value::text(item)); }))
        showField();
}

void DBComboBox::wheelEvent(QWheelEvent *event)
{
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

} // namespace ql
