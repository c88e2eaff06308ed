#pragma once

#include <QFont>
#include <QPageLayout>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <vector>

namespace ql {

class ClientTable;

// One thing printed on a page, in the report's millimetres (see ReportPage).
struct ReportItem
{
    enum class Kind {
        Text, // `text` in `font`, black, on a white `rect`, its baseline at `baseline`
        Line, // a thin black line across `rect`, through the middle of its height
    };
    Kind kind = Kind::Text;
    QString name; // the control that prints it: "QRLabel1", "QRShape1", "QRDBText1", ...
    // A text's box: it starts where the text starts and is as high as a line of the font. A value
    // that prints nothing has an empty box.
    QRectF rect;
    // Where the text stands: the same for every text of a band, whatever fonts stand in for
    // characters the report's font lacks.
    double baseline = 0;
    QString text;
    QFont font;
};

// The items of one page. They are placed in millimetres from the paper's top-left corner of the
// page the report is designed for; on a page whose printable width is narrower, the whole page is
// drawn smaller: a point p lands on the paper at origin + scale * (p - origin), where origin is the
// corner of the top and left margins.
struct ReportPage
{
    std::vector<ReportItem> items;
    QPointF origin;
    double scale = 1;
};

// The task report laid out whole: the page setup and every page with its items. At least one page.
struct TaskReport
{
    QPageLayout pageLayout; // A4 landscape with 5 mm margins
    QString title; // names the print job, the preview and the PDF document
    std::vector<ReportPage> pages;
};

// The page the report is designed for: A4 landscape with 5 mm margins.
QPageLayout taskReportPageLayout();

// The font of every text of the report: Arial 9 pt. Where the system has no Arial, Liberation Sans,
// which has Arial's metrics, stands in for it, so that the columns take the widths they were laid
// out for.
QFont taskReportFont();

// The task report of the rows of `table`'s view, in the view's order, under `heading` (the list's
// name as its tab shows it), laid out a page at a time as pages are asked for. Rows have a fixed
// height, so the rows of any page are known without laying out the pages before it. Reads the table
// without moving its cursor; the table must outlive this object and keep its view meanwhile.
//
// The first page begins with the title band: the heading (QRLabel1), a line (QRShape1) and the
// twelve column captions (QRLabel2 to QRLabel14). Each row of the view follows as one 4.5 mm detail
// band of thirteen data texts (QRDBText1 to QRDBText13), each the field's text as the grid shows it.
// A band that would reach into the bottom margin begins a new page; later pages carry no captions.
//
// How a value is printed:
//  - Only its first line prints, and a tab or another control character prints as a blank, so the
//    text measured is the text drawn.
//  - A column of fixed width prints what fits on the first line of its text wrapped at that width.
//  - Any other column prints its value whole, running on over the columns to its right.
//  - No value is drawn over another: when a value runs into a column that prints something in the
//    same row, that column's value gives way and starts a blank after it. A fixed column keeps its
//    right edge and wraps its text in the room left; any other column just moves right. A value is
//    never drawn past the right margin: it is cut there.
//  - A field the table lacks (a list from an older file) prints nothing.
//
// On another page than the designed one (a printer's page setup), the report follows the page: the
// margins are the page's, the rows of a page are as many as fit its height, and a page narrower
// than the designed printable width draws everything smaller to fit its width.
class TaskReportPages
{
public:
    TaskReportPages(
        const ClientTable &table, const QString &heading, const QPageLayout &page = taskReportPageLayout());

    const QPageLayout &pageLayout() const { return m_pageLayout; }
    const QString &title() const { return m_title; }
    const QString &heading() const { return m_heading; }
    // The size of the report's millimetre on this page's paper: 1 on the designed page.
    double scale() const { return m_scale; }
    int rowCount() const { return m_rows; }
    int pageCount() const;
    // The page at a 0-based index (0 to pageCount() - 1), laid out now.
    ReportPage page(int index) const;

private:
    const ClientTable &m_table;
    QString m_heading;
    QString m_title;
    QPageLayout m_pageLayout;
    double m_scale = 1;
    QPointF m_origin;
    double m_bottom = 0; // the bottom margin's edge, in the report's millimetres
    double m_rightEdge = 0; // the right margin's edge, likewise
    int m_rows = 0;
    int m_firstPageRows = 0;
    int m_rowsPerPage = 1;
};

// Lays out every page of the report at once.
TaskReport layOutTaskReport(const TaskReportPages &pages);
// Lays out every page of the report on the designed page at once (see TaskReportPages).
TaskReport layOutTaskReport(const ClientTable &table, const QString &heading);

} // namespace ql
