#pragma once

#include <QByteArray>
#include <functional>

class QPageLayout;
class QPainter;
class QPrinter;
class QString;

namespace ql {

struct ReportPage;
struct TaskReport;
class TaskReportPages;

// Paints one laid-out page. The painter's origin is the paper's top-left corner and its unit the
// device's dot, as on a full-page printer or a PDF writer without margins.
void paintReportPage(QPainter &painter, const ReportPage &page);

// Gives the printer the report's page setup: A4 landscape, 5 mm margins, one copy, no duplex, the
// printer's own paper bin, every page, and the report's title as the job's name. The painter's
// origin is the paper's corner (full page), where the layout measures from.
void setUpReportPrinter(QPrinter &printer, const TaskReport &report);
void setUpReportPrinter(QPrinter &printer, const QPageLayout &pageLayout, const QString &title);

// Prints the report on a printer set up as above (a real one, or the one a print preview paints
// on), one page after the other; a page range chosen in a print dialog limits the pages.
void printTaskReport(QPrinter &printer, const TaskReport &report);

// Told after each page printed with the number of pages printed and of pages to print; answers
// whether to go on.
using PrintProgress = std::function<bool(int printed, int total)>;

// Prints the report a page at a time, each laid out as it is printed, on a printer set up for
// `pages` (a page range chosen in a print dialog limits them). When `progress` answers no, the
// printing stops and the job is abandoned. Returns whether every page was printed.
bool printTaskReport(QPrinter &printer, const TaskReportPages &pages, const PrintProgress &progress = {});

// The report as a PDF document.
QByteArray taskReportPdf(const TaskReport &report);
// The same document, each page laid out as it is written, so that only one page is held at a time.
QByteArray taskReportPdf(const TaskReportPages &pages);

} // namespace ql
