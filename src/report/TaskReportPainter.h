#pragma once

#include <QByteArray>

class QPainter;
class QPrinter;

namespace ql {

struct ReportPage;
struct TaskReport;

// Paints one laid-out page. The painter's origin is the paper's top-left corner and its unit the
// device's dot, as on a full-page printer or a PDF writer without margins.
void paintReportPage(QPainter &painter, const ReportPage &page);

// Gives the printer the report's page setup: A4 landscape, 5 mm margins, one copy, no duplex, the
// printer's own paper bin, every page, and the report's title as the job's name. The painter's
// origin is the paper's corner (full page), where the layout measures from.
void setUpReportPrinter(QPrinter &printer, const TaskReport &report);

// Prints the report on a printer set up as above (a real one, or the one a print preview paints
// on), one page after the other; a page range chosen in a print dialog limits the pages.
void printTaskReport(QPrinter &printer, const TaskReport &report);

// The report as a PDF document.
QByteArray taskReportPdf(const TaskReport &report);

} // namespace ql
