#pragma once

#include <QFont>
#include <QPageLayout>
#include <QRectF>
#include <QString>
#include <vector>

namespace ql {

class ClientTable;

// One thing printed on a page, in millimetres from the paper's top-left corner.
struct ReportItem
{
    enum class Kind {
        Text, // `text` in `font`, black, left-aligned at the top of `rect` on a white `rect`
        Line, // a thin black line across `rect`, through the middle of its height
    };
    Kind kind = Kind::Text;
    QString name; // the control that prints it: "QRLabel1", "QRShape1", "QRDBText1", ...
    QRectF rect;
    QString text;
    QFont font;
};

struct ReportPage
{
    std::vector<ReportItem> items;
};

// The task report laid out: the page setup and every page with its items. At least one page.
struct TaskReport
{
    QPageLayout pageLayout; // A4 landscape with 5 mm margins
    QString title; // names the print job, the preview and the PDF document
    std::vector<ReportPage> pages;
};

// The font of every text of the report: Arial 9 pt. Where the system has no Arial, Liberation Sans,
// which has Arial's metrics, stands in for it, so that the columns take the widths they were laid
// out for.
QFont taskReportFont();

// Lays out the task report of the rows of `table`'s view, in the view's order, under `heading` (the
// list's name as its tab shows it). Reads the table without moving its cursor.
//
// The first page begins with the title band: the heading (QRLabel1), a line (QRShape1) and the
// twelve column captions (QRLabel2 to QRLabel14). Each row of the view follows as one 4.5 mm detail
// band of thirteen data texts (QRDBText1 to QRDBText13), each the field's text as the grid shows it.
// A band that would reach into the bottom margin begins a new page; later pages carry no captions.
//
// A column of fixed width prints what fits on the first line of its text wrapped at that width; any
// other column prints its first line whole, running on over the columns to its right. A field the
// table lacks (a list from an older file) prints nothing.
TaskReport layOutTaskReport(const ClientTable &table, const QString &heading);

} // namespace ql
