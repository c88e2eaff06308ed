#include "report/uQRptTasks.h"

#include "platform/gui/ShowModal.h"
#include "report/TaskReportPainter.h"
#include "storage/ClientTable.h"

#include <QGuiApplication>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>

namespace ql {

TaskReport TQRptTasks::Prepare(ClientTable &table, const QString &heading)
{
    table.MoveFirst();
    m_heading = heading;
    TaskReport report = layOutTaskReport(table, m_heading);
    // The layout read the view without moving; the cursor ends where a walk to the end would.
    table.MoveLast();
    return report;
}

void TQRptTasks::Preview(ClientTable &table, const QString &heading, QWidget *parent)
{
    const TaskReport report = Prepare(table, heading);
    QPrinter printer(QPrinter::HighResolution);
    setUpReportPrinter(printer, report);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("QRPreview"));
    dialog.setWindowTitle(report.title);
    // Maximised where a window manager does it; as large as the screen's free area where none
    // does, rather than the dialog's small default size.
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        dialog.setGeometry(screen->availableGeometry());
    dialog.setWindowState(dialog.windowState() | Qt::WindowMaximized);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
        [&report](QPrinter *target) { printTaskReport(*target, report); });
    showModal(dialog);
}

} // namespace ql
