#include "dialogs/uFrmDetails.h"

#include "bound/DBComboBox.h"
#include "bound/DBEdit.h"
#include "bound/DBMemo.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/ShowModal.h"
#include "storage/ClientTable.h"
#include "storage/DataSource.h"
#include "storage/TaskSchema.h"

#include <QLayout>
#include <QPushButton>
#include <QScopeGuard>

namespace ql {

namespace {

constexpr int TopMargin = 30;
constexpr int RowHeight = 20;
constexpr int CaptionLeft = 11;
constexpr int CaptionWidth = 121; // the standard width of a single-line edit
constexpr int EditorLeft = 120;
constexpr int LineHeight = 21; // a single-line edit or drop-down list in the window's font
constexpr int WideEditWidth = 500;
constexpr int NarrowWidth = 100;
constexpr int MemoWidth = 500;
constexpr int MemoHeight = 97;
constexpr int MemoExtra = 76; // a memo row takes 20 + 76 pixels
constexpr int NarrowMargin = 20;

const QColor CaptionColour(215, 215, 215);
const QColor ReadOnlyColour(128, 128, 128);

// Fields that hold raw bytes (a blob, or data kept as read from a foreign document) get no row
// controls: there is nothing a text box could show or safely write back.
bool holdsRawBytes(const Field &field)
{
    switch (field.type()) {
    case FieldType::Blob:
    case FieldType::Nested:
    case FieldType::IntArray:
    case FieldType::UIntArray:
    case FieldType::Variant:
        return true;
    default:
        return false;
    }
}

// The bytes a record buffer gives a text field: the text and its terminating zero, in bytes of the
// field's character width. A text of 255 characters takes 256, and only texts are wide edits.
int dataSize(const Field &field)
{
    if (field.type() == FieldType::Text)
        return field.width() + 1;
    if (field.type() == FieldType::WideText)
        return (field.width() + 1) * 2;
    return 0;
}

void setBase(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
}

// Whether the field is the one of that name, whatever the case of its letters in the list's file.
bool isField(const Field &field, const QString &name)
{
    return field.name().toLower() == name.toLower();
}

bool isGenerated(const QObject *child)
{
    return qobject_cast<const QLineEdit *>(child) || qobject_cast<const DBMemo *>(child)
        || qobject_cast<const DBComboBox *>(child);
}

} // namespace

TfrmDetails::TfrmDetails(QWidget *parent)
    : QDialog(parent)
{
    // Qt centres a dialog on its parent (the main window) when it is shown.
    setupUi(this);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmDetails::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

const QStringList &TfrmDetails::PriorityItems()
{
    using namespace TaskPriority;
    static const QStringList items { Low, Normal, High, Urgent };
    return items;
}

const QStringList &TfrmDetails::DifficultyItems()
{
    using namespace TaskDifficulty;
    static const QStringList items { Easy, Normal, Hard };
    return items;
}

const QStringList &TfrmDetails::StatusItems()
{
    return StatusWords();
}

ClientTable *TfrmDetails::SourceTable() const
{
    return m_DataSource1 && m_DataSource1->hasTable() ? &m_DataSource1->table() : nullptr;
}

void TfrmDetails::SetSourceTable(DataSource &source)
{
    m_DataSource1 = &source;
}

void TfrmDetails::ClearEditors()
{
    QWidget *box = ScrollBox1->widget();
    const QObjectList children = box->children();
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (isGenerated(*it))
            delete *it;
    box->setMinimumSize(0, 0);
}

void TfrmDetails::BuildEditors()
{
    ClearEditors();
    if (!m_DataSource1 || !m_DataSource1->hasTable())
        return;
    DataSource &source = *m_DataSource1;
    QWidget *box = ScrollBox1->widget();
    // The narrow-window rule reads the sizes the window has now, shown or not.
    layout()->activate();
    const int outerWidth = frameGeometry().width();
    const int narrowedWidth = ScrollBox1->width() - NarrowMargin;

    int extraOffset = 1;
    int row = -1;
    QWidget *firstControl = nullptr;
    QWidget *lastControl = nullptr;
    const std::vector<Field> &fields = source.table().Fields();
    for (size_t i = 0; i < fields.size(); ++i) {
        const Field &field = fields[i];
        // Every field takes a row, so a skipped one leaves an empty row.
        ++row;
        if (holdsRawBytes(field))
            continue;
        const int top = row * RowHeight + TopMargin + extraOffset;
        const QString number = QString::number(i);

        auto *caption = new QLineEdit(box);
        caption->setObjectName(QStringLiteral("lbl") + number);
        caption->setGeometry(CaptionLeft, top, CaptionWidth, LineHeight);
        caption->setReadOnly(true);
        caption->setText(field.name());
        caption->setAccessibleName(field.name());
        caption->setAccessibleDescription(QStringLiteral("caption"));
        setBase(caption, CaptionColour);
        caption->show();

        QWidget *editor = nullptr;
        if (field.isMemo()) {
            auto *memo = new DBMemo(box);
            memo->setObjectName(QStringLiteral("tbl") + number);
            memo->setGeometry(EditorLeft, top, MemoWidth, MemoHeight);
            memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            // Enter starts a new line in the memo; Tab goes on to the next control.
            memo->setTabChangesFocus(true);
            memo->bind(source, field.name());
            extraOffset += MemoExtra;
            editor = memo;
        } else if (isField(field, TaskField::Priority) || isField(field, TaskField::Difficulty)
            || isField(field, TaskField::Status)) {
            auto *list = new DBComboBox(box);
            if (isField(field, TaskField::Priority)) {
                list->setObjectName(QStringLiteral("cbopri") + number);
                list->setItems(PriorityItems());
            } else if (isField(field, TaskField::Difficulty)) {
                list->setObjectName(QStringLiteral("cboDiff") + number);
                list->setItems(DifficultyItems());
            } else {
                list->setObjectName(QStringLiteral("cboSta") + number);
                list->setItems(StatusItems());
            }
            list->setGeometry(EditorLeft, top, NarrowWidth, LineHeight);
            list->bind(source, field.name());
            editor = list;
        } else {
            auto *edit = new DBEdit(box);
            edit->setObjectName(QStringLiteral("edt") + number);
            int width = dataSize(field) == 256 ? WideEditWidth : NarrowWidth;
            if (width >= outerWidth)
                width = narrowedWidth;
            edit->setGeometry(EditorLeft, top, width, LineHeight);
            edit->setYesNoBooleans(m_yesNoBooleans);
            edit->bind(source, field.name());
            if (field.type() == FieldType::Counter) {
                // The table numbers new tasks itself.
                edit->setReadOnly(true);
                setBase(edit, ReadOnlyColour);
            }
            editor = edit;
        }
        editor->setAccessibleName(field.name());
        editor->show();
        if (!firstControl)
            firstControl = caption;
        lastControl = editor;
    }

    // The scrolling area shows scroll bars when the controls reach beyond it.
    const QRect used = box->childrenRect();
    box->setMinimumSize(used.right() + 1, used.bottom() + 1);

    // Tab goes caption, editor, next caption, ..., then OK and Cancel.
    if (lastControl) {
        setTabOrder(lastControl, BitBtn1);
        setTabOrder(BitBtn1, BitBtn2);
        firstControl->setFocus(Qt::OtherFocusReason);
    }
}

std::vector<DBEdit *> TfrmDetails::generatedEdits() const
{
    std::vector<DBEdit *> edits;
    for (QObject *child : ScrollBox1->widget()->children())
        if (auto *edit = qobject_cast<DBEdit *>(child))
            edits.push_back(edit);
    return edits;
}

void TfrmDetails::BitBtn1Click()
{
    for (DBEdit *edit : generatedEdits())
        if (!edit->commit(ErrorTiming::Now))
            return;
    accept();
}

void TfrmDetails::releaseEditors()
{
    for (QObject *child : ScrollBox1->widget()->children()) {
        if (auto *edit = qobject_cast<DBEdit *>(child))
            edit->unbind();
        else if (auto *memo = qobject_cast<DBMemo *>(child))
            memo->unbind();
        else if (auto *list = qobject_cast<DBComboBox *>(child))
            list->unbind();
    }
    m_DataSource1 = nullptr;
}

bool TfrmDetails::editDetails(DataSource &source, bool yesNoBooleans)
{
    return runGuarded([&] {
        const QPointer<DataSource> shown(&source);
        SetSourceTable(source);
        SetYesNoBooleans(yesNoBooleans);
        ClearEditors();
        BuildEditors();
        // However the command ends, a refused post included, the hidden view lets go of the table.
        const auto release = qScopeGuard([this] { releaseEditors(); });
        const bool ok = showModal(*this) == QDialog::Accepted;
        if (ok && shown && shown->hasTable() && shown->table().IsEditing())
            shown->table().PostRow();
    });
}

} // namespace ql
