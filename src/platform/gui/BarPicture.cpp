#include "platform/gui/BarPicture.h"

#include <QHeaderView>
#include <QPainter>
#include <QTableView>

namespace ql {

const QImage &barPicture()
{
    static const QImage picture = [] {
        const int size = 63;
        QImage image(size, size, QImage::Format_RGB32);
        const int middle = size / 2;
        for (int y = 0; y < size; ++y) {
            // 0 at the edges, 1 in the middle row.
            const double t = 1.0 - double(std::abs(y - middle)) / middle;
            const QRgb colour = qRgb(int(203 + t * (245 - 203) + 0.5), int(203 + t * (245 - 203) + 0.5),
                int(212 + t * (246 - 212) + 0.5));
            for (int x = 0; x < size; ++x)
                image.setPixel(x, y, colour);
        }
        return image;
    }();
    return picture;
}

void applyGridLook(QTableView *grid)
{
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setMinimumSectionSize(1);
    grid->verticalHeader()->setDefaultSectionSize(18);
    grid->horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: %1; border: 0px; "
                       "border-right: 1px solid gray; border-bottom: 1px solid gray; "
                       "padding: 2px; }")
            .arg(gridTitleColour().name()));
}

BarPanel::BarPanel(QWidget *parent)
    : QWidget(parent)
{
}

void BarPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(rect(), barPicture());
}

} // namespace ql
