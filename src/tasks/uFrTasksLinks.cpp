// The task-list frame's commands that reach outside the task: links to another list, a file or a
// web address and their open commands, copy, the comments editor, the detail view and the
// properties panel's Add Property.
#include "tasks/uFrTasks.h"

#include "operations/TaskCommands.h"
#include "platform/Clock.h"
#include "platform/gui/BusyCursor.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/Shell.h"
#include "platform/gui/Ui.h"
#include "storage/DataSource.h"
#include "storage/TaskSchema.h"
#include "tasks/TaskGrid.h"
#include "tasks/TaskGridModel.h"
#include "tasks/TaskPickers.h"
#include "tasks/ValueListEditor.h"

#include <QClipboard>
#include <QGuiApplication>

namespace ql {

namespace {

// OpenQL1 shows list files; OpenDialog1 every file. Neither starts in a folder of the frame's.
FileDialogRequest listFileDialog()
{
    FileDialogRequest request;
    request.filter = QStringLiteral("Quillon List|*.ql1");
    request.defaultExtension = QStringLiteral("*.ql1");
    return request;
}

FileDialogRequest anyFileDialog()
{
    FileDialogRequest request;
    request.filter = QStringLiteral("All Files (*.*)|*.*");
    return request;
}

} // namespace

void TfrTasks::linkFile(const QString &fieldName, bool listFilesOnly, bool stampLastActioned)
{
    runGuarded([&] {
        const QString path = Ui::current().openFile(listFilesOnly ? listFileDialog() : anyFileDialog());
        if (path.isEmpty())
            return;
        TaskCommands::SetLink(m_cdsTasks, fieldName, path,
            stampLastActioned ? std::optional<QDate>(Clock::today()) : std::nullopt);
        MarkUnsaved();
    });
}

void TfrTasks::Link1Click()
{
    linkFile(TaskField::LinkedList, true, false);
}

void TfrTasks::ToolButton9Click()
{
    linkFile(TaskField::LinkedList, false, true);
}

void TfrTasks::LinktoFile1Click()
{
    linkFile(TaskField::RelatedFile, false, false);
}

void TfrTasks::LinktoURL1Click()
{
    runGuarded([this] {
        if (!m_pickers)
            return;
        const std::optional<QString> address = m_pickers->pickUrl();
        if (!address)
            return;
        TaskCommands::SetLink(m_cdsTasks, TaskField::URL, *address);
        MarkUnsaved();
    });
}

void TfrTasks::openLink(const QString &fieldName)
{
    runGuarded([&] {
        const QString target = TaskCommands::LinkTarget(m_cdsTasks, fieldName);
        if (target.isEmpty())
            return;
        const BusyCursor busy;
        if (fieldName == TaskField::LinkedList) {
            if (m_openListFile)
                m_openListFile(target);
            return;
        }
        // Whether the desktop could open it is not reported.
        Shell::current().open(target);
    });
}

void TfrTasks::OpenLinkedTaskList1Click()
{
    openLink(TaskField::LinkedList);
}

void TfrTasks::OpenRelatedFile1Click()
{
    openLink(TaskField::RelatedFile);
}

void TfrTasks::OpenURL1Click()
{
    openLink(TaskField::URL);
}

void TfrTasks::Copy1Click()
{
    runGuarded([this] {
        const QString fieldName = currentColumnField();
        const Field *field = m_cdsTasks.Active() ? m_cdsTasks.LookupField(fieldName) : nullptr;
        if (!field)
            return;
        // The field's own text, not what the grid shows: a new list's bookmark copies as "True".
        const QString text = m_cdsTasks.RowCount() > 0 || m_cdsTasks.IsEditing()
            ? ClientTable::ValueText(*field, m_cdsTasks.GetValue(*field))
            : QString();
        QGuiApplication::clipboard()->setText(text);
    });
}

void TfrTasks::Comments1Click()
{
    runGuarded([this] {
        if (!m_pickers)
            return;
        m_pickers->editComments(*m_DataSource1);
    });
}

void TfrTasks::Details1Click()
{
    runGuarded([this] {
        if (!m_pickers)
            return;
        m_pickers->editDetails(*m_DataSource1, m_isNewList);
    });
}

void TfrTasks::AddProperty1Click()
{
    runGuarded([this] {
        if (!m_pickers)
            return;
        if (const auto pair = m_pickers->pickProperty())
            ValueListEditor1->addPair(pair->first, pair->second);
        SavePropertyList(*ValueListEditor1, m_cdsTasks, TaskField::Properties);
    });
}

} // namespace ql
