#include "report/uQRptTasks.h"

#include "platform/gui/ShowModal.h"
#include "report/ReportPreview.h"
#include "storage/ClientTable.h"

#include <QGuiApplication>
#include <QPrinter>
#include <QScreen>

namespace ql {

TaskReportPages TQRptTasks::Prepare(ClientTable &table, const QString &heading)
{
    table.MoveFirst();
    m_heading = heading;
    // The pages read the view without moving; the cursor ends where a walk to the end would.
    table.MoveLast();
    return TaskReportPages(table, m_heading);
}

void TQRptTasks::Preview(ClientTable &table, const QString &heading, QWidget *parent)
{
    Prepare(table, heading);
    QPrinter printer(QPrinter::HighResolution);
    ReportPreview dialog(table, m_heading, printer, parent);
    // Maximised where a window manager does it; as large as the screen's free area where none
    // does, rather than a small default size.
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        dialog.setGeometry(screen->availableGeometry());
    dialog.setWindowState(dialog.windowState() | Qt::WindowMaximized);
    showModal(dialog);
}

} // namespace ql
