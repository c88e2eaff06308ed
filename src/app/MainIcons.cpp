#include "app/MainIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace ql {

namespace {

const QColor Ink(0x40, 0x40, 0x50);

// A sheet of paper with a folded corner and a few lines of text.
void drawPage(QPainter &p, const QRectF &r)
{
    QPainterPath sheet;
    const qreal fold = r.width() / 3;
    sheet.moveTo(r.left(), r.top());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.right(), r.bottom());
    sheet.lineTo(r.left(), r.bottom());
    sheet.closeSubpath();
    p.setPen(QPen(Ink, 1));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
    p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
    p.setPen(QPen(QColor(0x90, 0x90, 0xA0), 1));
    for (qreal y = r.top() + fold + 3; y < r.bottom() - 2; y += 3)
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
}

void drawFolder(QPainter &p)
{
    QPainterPath back;
    back.moveTo(3.5, 8.5);
    back.lineTo(12.5, 8.5);
    back.lineTo(15.5, 11.5);
    back.lineTo(28.5, 11.5);
    back.lineTo(28.5, 26.5);
    back.lineTo(3.5, 26.5);
    back.closeSubpath();
    p.setPen(QPen(QColor(0x8A, 0x6A, 0x10), 1));
    p.setBrush(QColor(0xE8, 0xC0, 0x50));
    p.drawPath(back);
    QPainterPath front;
    front.moveTo(3.5, 26.5);
    front.lineTo(7.5, 15.5);
    front.lineTo(31.5, 15.5);
    front.lineTo(28.5, 26.5);
    front.closeSubpath();
    p.setBrush(QColor(0xF6, 0xD8, 0x78));
    p.drawPath(front);
}

void drawFloppy(QPainter &p)
{
    p.setPen(QPen(QColor(0x20, 0x30, 0x60), 1));
    p.setBrush(QColor(0x30, 0x50, 0xA0));
    p.drawRoundedRect(QRectF(4.5, 4.5, 23, 23), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8.5, 4.5, 15, 9));
    p.setBrush(QColor(0xB0, 0xB0, 0xB8));
    p.drawRect(QRectF(9.5, 18.5, 13, 9));
    p.fillRect(QRectF(19, 6, 3, 6), QColor(0x30, 0x50, 0xA0));
}

void drawCross(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(QColor(0xC8, 0x20, 0x20), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
}

QPixmap drawMainIcon(MainIcon slot)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (slot) {
    case MainIcon::New:
        drawPage(p, QRectF(6.5, 3.5, 19, 25));
        p.fillRect(QRectF(20, 18, 10, 3), QColor(0x2E, 0x8B, 0x3A));
        p.fillRect(QRectF(23.5, 14.5, 3, 10), QColor(0x2E, 0x8B, 0x3A));
        break;
    case MainIcon::Open:
        drawFolder(p);
        break;
    case MainIcon::Save:
        drawFloppy(p);
        break;
    case MainIcon::Close:
        drawPage(p, QRectF(5.5, 3.5, 19, 25));
        drawCross(p, QRectF(17, 17, 11, 11));
        break;
    case MainIcon::Print:
        p.setPen(QPen(Ink, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9.5, 3.5, 13, 10));
        p.setBrush(QColor(0xA8, 0xA8, 0xB4));
        p.drawRoundedRect(QRectF(3.5, 12.5, 25, 11), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(8.5, 19.5, 15, 9));
        p.fillRect(QRectF(23, 15, 3, 2), QColor(0x2E, 0x8B, 0x3A));
        break;
    case MainIcon::Import: {
        drawPage(p, QRectF(12.5, 3.5, 17, 23));
        QPainterPath arrow;
        arrow.moveTo(2, 14);
        arrow.lineTo(11, 14);
        arrow.lineTo(11, 9);
        arrow.lineTo(19, 17);
        arrow.lineTo(11, 25);
        arrow.lineTo(11, 20);
        arrow.lineTo(2, 20);
        arrow.closeSubpath();
        p.fillPath(arrow, QColor(0x20, 0x70, 0xD0));
        break;
    }
    case MainIcon::Batch:
        drawPage(p, QRectF(4.5, 3.5, 23, 25));
        for (int row = 0; row < 4; ++row)
            p.fillRect(QRectF(8, 11 + 4 * row, 3, 3), QColor(0x2E, 0x8B, 0x3A));
        break;
    case MainIcon::Categories: {
        const QColor colours[] = { QColor(0xD0, 0x40, 0x40), QColor(0x30, 0x90, 0x40),
            QColor(0x30, 0x60, 0xC0), QColor(0xE0, 0xA0, 0x20) };
        p.setPen(QPen(Ink, 1));
        for (int i = 0; i < 4; ++i) {
            p.setBrush(colours[i]);
            p.drawRoundedRect(QRectF(4.5 + (i % 2) * 13, 4.5 + (i / 2) * 13, 10, 10), 2, 2);
        }
        break;
    }
    case MainIcon::Exit: {
        p.setPen(QPen(QColor(0x60, 0x40, 0x20), 1));
        p.setBrush(QColor(0xA0, 0x70, 0x40));
        p.drawRect(QRectF(5.5, 3.5, 14, 25));
        p.setBrush(QColor(0xF0, 0xD0, 0x40));
        p.drawEllipse(QPointF(16, 16), 1.5, 1.5);
        QPainterPath arrow;
        arrow.moveTo(17, 14);
        arrow.lineTo(24, 14);
        arrow.lineTo(24, 10);
        arrow.lineTo(31, 16);
        arrow.lineTo(24, 22);
        arrow.lineTo(24, 18);
        arrow.lineTo(17, 18);
        arrow.closeSubpath();
        p.fillPath(arrow, QColor(0xC8, 0x20, 0x20));
        break;
    }
    case MainIcon::None:
        break;
    }
    return pixmap;
}

} // namespace

QIcon mainIcon(MainIcon slot)
{
    return QIcon(drawMainIcon(slot));
}

QIcon tabIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    drawPage(p, QRectF(2.5, 1.5, 11, 13));
    return QIcon(pixmap);
}

} // namespace ql
