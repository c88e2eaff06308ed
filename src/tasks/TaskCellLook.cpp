#include "tasks/TaskCellLook.h"

#include "storage/TaskSchema.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace ql {

namespace {

const QString &ProgressTitle = TaskField::Progress;

// Text starts this far from the cell's left (or ends this far from its right) and top edge.
constexpr int TextMargin = 2;

} // namespace

CellLook TaskCellLook(const TaskRowFacts &row, const QString &fieldName, const QString &title, bool current)
{
    CellLook look;
    look.text = GridColour::Text;
    if (current) {
        look.background = GridColour::CurrentCell;
        look.text = GridColour::CurrentText;
    } else {
        if (row.recordNumber % 2 == 0)
            look.background = GridColour::EvenRow;
        if (row.status == TaskStatus::Cancelled) {
            look.style = CellLook::Style::StrikeOut;
            look.background = GridColour::PausedOrCancelled;
        }
        if (row.status == TaskStatus::Paused)
            look.background = GridColour::PausedOrCancelled;
        if (row.status == TaskStatus::InProgress)
            look.background = GridColour::InProgress;
        if (row.priority == TaskPriority::High) {
            look.style = CellLook::Style::Bold;
            look.background = GridColour::High;
        }
        if (row.priority == TaskPriority::Urgent) {
            look.style = CellLook::Style::Bold;
            look.background = GridColour::Urgent;
        }
        if (row.progress >= 50)
            look.background = GridColour::HalfDone;
        if (row.status == TaskStatus::Complete)
            look.background = GridColour::Complete;
    }
    // A list without the field has no progress to show: the column's cells are empty, as those of
    // any other column whose field the list lacks.
    if (title == ProgressTitle && !fieldName.isEmpty()) {
        // The bar sits on the background the grid prepared, not on the row's colour.
        look.progressBar = true;
        look.background = current ? GridColour::CurrentCell : QColor();
        look.style = CellLook::Style::Plain;
        return look;
    }
    if (fieldName == TaskField::Bookmarked && row.bookmarked)
        look.background = GridColour::Bookmarked;
    return look;
}

ProgressBarLayout TaskProgressBar(
    QPoint cellTopLeft, int columnWidth, qint64 progress, const QFontMetrics &metrics)
{
    const int left = cellTopLeft.x();
    const int top = cellTopLeft.y();
    const int width = columnWidth;
    ProgressBarLayout bar;
    // From (left + 1, top + 1) up to, not including, (left + W, top + 15).
    bar.box = QRect(QPoint(left + 1, top + 1), QPoint(left + width - 1, top + 14));
    const qint64 filled = std::clamp<qint64>(qint64(width) * progress / 100, 0, width);
    if (filled > 1)
        bar.filled = QRect(QPoint(left + 1, top + 1), QPoint(left + int(filled) - 1, top + 14));
    bar.text = QString::number(progress) + u'%';
    bar.textTopLeft = QPoint(left + width / 2 - metrics.horizontalAdvance(bar.text) / 2, top + 1);
    return bar;
}

void PaintTaskCell(QPainter &painter, const QRect &cell, int columnWidth, const CellLook &look,
    const QString &text, Qt::Alignment alignment, const QFont &font, const QColor &window, qint64 progress)
{
    painter.save();
    painter.setClipRect(cell);
    painter.fillRect(cell, look.background.isValid() ? look.background : window);
    if (look.progressBar) {
        QFont small = font;
        small.setPointSize(7);
        const ProgressBarLayout bar
            = TaskProgressBar(cell.topLeft(), columnWidth, progress, QFontMetrics(small));
        painter.setClipping(false);
        painter.setPen(GridColour::BarOutline);
        // A one-pixel outline drawn around a rectangle covers one pixel more to the right and below.
        painter.setBrush(window);
        painter.drawRect(bar.box.adjusted(0, 0, -1, -1));
        if (!bar.filled.isEmpty()) {
            painter.setBrush(GridColour::BarFill);
            painter.drawRect(bar.filled.adjusted(0, 0, -1, -1));
        }
        painter.setFont(small);
        painter.setPen(look.text);
        const QFontMetrics metrics(small);
        painter.drawText(QPoint(bar.textTopLeft.x(), bar.textTopLeft.y() + metrics.ascent()), bar.text);
        painter.restore();
        return;
    }
    QFont shown = font;
    shown.setStrikeOut(look.style == CellLook::Style::StrikeOut);
    shown.setBold(look.style == CellLook::Style::Bold);
    painter.setFont(shown);
    painter.setPen(look.text);
    const QRect textArea = cell.adjusted(TextMargin, TextMargin, -TextMargin, 0);
    painter.drawText(textArea, int(alignment | Qt::AlignTop) | Qt::TextSingleLine, text);
    painter.restore();
}

} // namespace ql
