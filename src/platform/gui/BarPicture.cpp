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
    auto *header = new GridHeader(grid);
    const QHeaderView *old = grid->horizontalHeader();
    header->setStretchLastSection(old->stretchLastSection());
    header->setSectionResizeMode(QHeaderView::Interactive);
    grid->setHorizontalHeader(header);
}

GridHeader::GridHeader(QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    // The title of the current column does not turn bold, nor does any title look pressed.
    setHighlightSections(false);
    setSectionsClickable(true);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setMinimumSectionSize(1);
}

QSize GridHeader::sectionSizeFromContents(int logicalIndex) const
{
    const QString title = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
    const QFontMetrics metrics(font());
    return QSize(
        metrics.horizontalAdvance(title) + 2 * TextMargin + 1, metrics.height() + 2 * TextMargin + 1);
}

void GridHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    painter->save();
    painter->fillRect(rect, gridTitleColour());
    // A line below the title and one at its right, as between the cells under it.
    painter->setPen(QColor(Qt::gray));
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->drawLine(rect.topRight(), rect.bottomRight());
    const QString title = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
    painter->setClipRect(rect.adjusted(0, 0, -1, -1));
    painter->setPen(Qt::black);
    painter->setFont(font());
    painter->drawText(rect.adjusted(TextMargin, TextMargin, -1, -1),
        Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title);
    painter->restore();
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
