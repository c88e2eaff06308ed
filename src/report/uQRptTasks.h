#pragma once

#include "report/TaskReportLayout.h"

#include <QString>

class QWidget;

namespace ql {

class ClientTable;

// The task report: one A4 landscape table of the tasks of a list, headed by the list's name. The
// main window creates it once and reuses it for every print. Its Print command runs
//
//   report.Preview(frame.cdsTasks, tabCaptionAsShown, this);
//
// with the active tab's task table and the tab's caption as shown, unsaved mark " *" included.
//
// The report reads the table through its cursor and view, so it prints the tasks the grid shows,
// in the grid's order, and leaves the cursor on the last of them, as a walk from the first task to
// the end would. It keeps the heading of its last use but not the table, which its tab may free.
class TQRptTasks final
{
public:
    TQRptTasks() = default;
    TQRptTasks(const TQRptTasks &) = delete;
    TQRptTasks &operator=(const TQRptTasks &) = delete;

    // QRLabel1's caption: "Tasks" until the first print replaces it.
    const QString &Heading() const { return m_heading; }

    // Moves the table to its first task (which posts a pending edit), prepares the report of the
    // view under `heading` and leaves the cursor on the view's last task. The pages are laid out as
    // they are asked for, from the table as it stands. Throws the table's error (a closed table, a
    // pending row that cannot be posted).
    TaskReportPages Prepare(ClientTable &table, const QString &heading);

    // Prepare, then show the report in the modal print preview (ReportPreview, through showModal)
    // from which the user prints it; returns when the preview closes.
    void Preview(ClientTable &table, const QString &heading, QWidget *parent);

private:
    QString m_heading = QStringLiteral("Tasks");
};

} // namespace ql
