#pragma once

#include <QColor>
#include <QRect>
#include <QString>

class QFont;
class QFontMetrics;
class QPainter;

namespace ql {

// What the grid's drawing rules read of one task.
struct TaskRowFacts
{
    int recordNumber = 0; // the row's place in the current view, counted from 1
    QString status;
    QString priority;
    qint64 progress = 0; // 0 when empty or not a whole number
    bool bookmarked = false;
};

// How one data cell of the task grid looks.
struct CellLook
{
    enum class Style { Plain, StrikeOut, Bold };

    QColor background; // invalid: the window colour
    QColor text;
    Style style = Style::Plain;
    bool progressBar = false; // the cell shows the task's progress as a bar instead of its text
};

// The colours of the task grid.
namespace GridColour {
inline const QColor CurrentCell { 0x00, 0x00, 0x80 };
inline const QColor CurrentText { 0xFF, 0xFF, 0xFF };
inline const QColor Text { 0x00, 0x00, 0x00 };
inline const QColor EvenRow { 0xE8, 0xE8, 0xEC };
inline const QColor PausedOrCancelled { 0xFF, 0xF0, 0xAC };
inline const QColor InProgress { 0xAC, 0xBD, 0xD0 };
inline const QColor High { 0xDF, 0x73, 0x1D };
inline const QColor Urgent { 0xFF, 0x00, 0x00 };
inline const QColor HalfDone { 0x80, 0x80, 0x00 };
inline const QColor Complete { 0x77, 0xAB, 0x6E };
inline const QColor BarOutline { 0x80, 0x80, 0x80 };
inline const QColor BarFill { 0x69, 0xA1, 0xE3 };
inline const QColor Bookmarked { 0xFF, 0x00, 0x00 };
} // namespace GridColour

// The look of the cell of `row` in the column bound to `fieldName` under the title `title`;
// `fieldName` is empty when the list has no such field, and the column then shows empty cells.
// The current cell is navy with white text; other cells take the row's colour and font style from
// its status, priority and progress, later rules overriding earlier ones. The progress column
// shows a bar on the plain background instead; a bookmarked task's Bookmarked cell is red.
CellLook TaskCellLook(const TaskRowFacts &row, const QString &fieldName, const QString &title, bool current);

// Where the progress bar of a cell goes. Rectangles are the pixels they cover.
struct ProgressBarLayout
{
    QRect box; // the outlined box
    QRect filled; // the filled part; empty at 0 % (and below)
    QString text; // "P%"
    QPoint textTopLeft; // the top-left corner of the text's box
};

// The bar of a cell at `cellTopLeft` in a column `columnWidth` pixels wide, for `progress` percent,
// with its text measured in `metrics` (the cell's font at 7 points).
ProgressBarLayout TaskProgressBar(
    QPoint cellTopLeft, int columnWidth, qint64 progress, const QFontMetrics &metrics);

// Draws one data cell: the background over the whole cell and the text on it, or the progress bar.
// `font` is the grid's cell font; `window` the colour of the grid's background.
void PaintTaskCell(QPainter &painter, const QRect &cell, int columnWidth, const CellLook &look,
    const QString &text, Qt::Alignment alignment, const QFont &font, const QColor &window, qint64 progress);

} // namespace ql
