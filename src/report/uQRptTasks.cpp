#include "report/uQRptTasks.h"

#include "platform/gui/BusyCursor.h"
#include "platform/gui/ShowModal.h"
#include "report/TaskReportPainter.h"
#include "storage/ClientTable.h"

#include <QGuiApplication>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <optional>

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
    // Laying out and drawing a long list takes a while: the busy cursor shows for both.
    std::optional<BusyCursor> busy(std::in_place);
    const TaskReport report = Prepare(table, heading);
    busy.reset();
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
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&report](QPrinter *target) {
        const BusyCursor drawing;
        printTaskReport(*target, report);
    });
    showModal(dialog);
}

} // namespace ql
