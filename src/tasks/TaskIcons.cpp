#include "tasks/TaskIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace ql {

namespace {

void drawCalendar(QPainter &p, bool marked)
{
    p.setPen(QPen(QColor(0x40, 0x40, 0x50), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 2.5, 13, 12));
    p.fillRect(QRectF(2, 3, 12, 3), QColor(0xC0, 0x30, 0x30));
    p.setPen(QPen(QColor(0x70, 0x70, 0x80), 1));
    for (int x = 4; x <= 12; x += 3)
        for (int y = 8; y <= 12; y += 3)
            p.drawPoint(x, y);
    if (marked)
        p.fillRect(QRectF(9, 10, 4, 3), QColor(0x20, 0x60, 0xC0));
}

QPixmap drawIcon(TaskIcon slot)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (slot) {
    case TaskIcon::Add:
        p.fillRect(QRectF(6.5, 2, 3, 12), QColor(0x2E, 0x8B, 0x3A));
        p.fillRect(QRectF(2, 6.5, 12, 3), QColor(0x2E, 0x8B, 0x3A));
        break;
    case TaskIcon::Cancel:
        p.setPen(QPen(QColor(0xC8, 0x20, 0x20), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
        break;
    case TaskIcon::Pause:
        p.fillRect(QRectF(3.5, 2.5, 3.5, 11), QColor(0xD0, 0x90, 0x10));
        p.fillRect(QRectF(9, 2.5, 3.5, 11), QColor(0xD0, 0x90, 0x10));
        break;
    case TaskIcon::Start: {
        QPainterPath arrow;
        arrow.moveTo(4, 2.5);
        arrow.lineTo(13.5, 8);
        arrow.lineTo(4, 13.5);
        arrow.closeSubpath();
        p.fillPath(arrow, QColor(0x20, 0x70, 0xD0));
        break;
    }
    case TaskIcon::Complete:
        p.setPen(QPen(QColor(0x2E, 0x8B, 0x3A), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({ QPointF(2.5, 8.5), QPointF(6.5, 12.5), QPointF(13.5, 3.5) }));
        break;
    case TaskIcon::Delete:
        p.setPen(QPen(QColor(0x50, 0x50, 0x58), 1));
        p.setBrush(QColor(0xE0, 0xE0, 0xE4));
        p.drawRect(QRectF(4.5, 4.5, 7, 10));
        p.drawLine(QPointF(2.5, 3.5), QPointF(13.5, 3.5));
        p.drawLine(QPointF(6.5, 1.5), QPointF(9.5, 1.5));
        p.drawLine(QPointF(7, 6.5), QPointF(7, 12.5));
        p.drawLine(QPointF(9, 6.5), QPointF(9, 12.5));
        break;
    case TaskIcon::Progress:
        p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(0.5, 4.5, 15, 7));
        p.fillRect(QRectF(1, 5, 9, 6), QColor(0x69, 0xA1, 0xE3));
        break;
    case TaskIcon::Bookmark: {
        QPainterPath ribbon;
        ribbon.moveTo(4, 1.5);
        ribbon.lineTo(12, 1.5);
        ribbon.lineTo(12, 14.5);
        ribbon.lineTo(8, 10.5);
        ribbon.lineTo(4, 14.5);
        ribbon.closeSubpath();
        p.fillPath(ribbon, QColor(0xE0, 0x20, 0x20));
        break;
    }
    case TaskIcon::Date:
        drawCalendar(p, false);
        break;
    case TaskIcon::SetDate:
        drawCalendar(p, true);
        break;
    case TaskIcon::Search:
        p.setPen(QPen(QColor(0x40, 0x40, 0x50), 1.8));
        p.setBrush(QColor(0xE8, 0xF0, 0xFF));
        p.drawEllipse(QRectF(2, 2, 8, 8));
        p.setPen(QPen(QColor(0x40, 0x40, 0x50), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9.5, 9.5), QPointF(13.5, 13.5));
        break;
    case TaskIcon::ShowAll:
        p.setPen(QPen(QColor(0x40, 0x40, 0x50), 1));
        for (int y = 3; y <= 12; y += 3)
            p.drawLine(QPointF(2.5, y + 0.5), QPointF(13.5, y + 0.5));
        break;
    case TaskIcon::Link:
        p.setPen(QPen(QColor(0x40, 0x60, 0x90), 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(1.5, 5, 8, 5), 2.5, 2.5);
        p.drawRoundedRect(QRectF(6.5, 6, 8, 5), 2.5, 2.5);
        break;
    case TaskIcon::None:
        break;
    }
    return pixmap;
}

} // namespace

QIcon taskIcon(TaskIcon slot)
{
    // Not cached: pixmaps must not outlive the application object, and a frame draws a dozen.
    return QIcon(drawIcon(slot));
}

} // namespace ql
