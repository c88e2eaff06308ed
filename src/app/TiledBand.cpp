#include "app/TiledBand.h"

#include <QColor>
#include <QPainter>
#include <QPixmap>

namespace ql {

const QImage &menuBandPicture()
{
    static const QImage picture = [] {
        QImage image(25, 25, QImage::Format_RGB32);
        const QColor top(227, 227, 233);
        const QColor bottom(186, 186, 202);
        for (int y = 0; y < image.height(); ++y) {
            const double t = double(y) / (image.height() - 1);
            const QColor colour(qRound(top.red() + (bottom.red() - top.red()) * t),
                qRound(top.green() + (bottom.green() - top.green()) * t),
                qRound(top.blue() + (bottom.blue() - top.blue()) * t));
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, colour.rgb());
        }
        return image;
    }();
    return picture;
}

void TiledBand::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawTiledPixmap(rect(), QPixmap::fromImage(menuBandPicture()));
}

} // namespace ql
