#pragma once

#include <QColor>
#include <QHeaderView>
#include <QImage>
#include <QWidget>

class QTableView;

namespace ql {

// The colour value 14209232, stored blue-green-red: the main window's background and the title
// cells of every grid.
inline QColor gridTitleColour()
{
    return QColor(0xD0, 0xD0, 0xD8);
}

// The look every grid of the program shares: title cells in the grid title colour with thin lines
// between them (see GridHeader), no row titles, and rows as tall as a line of the windows' 11-pixel
// font needs.
void applyGridLook(QTableView *grid);

// The title row of a grid: every title in black on the grid title colour, written from the left of
// its cell and cut at the cell's right edge, the same whatever is selected or current.
class GridHeader final : public QHeaderView
{
public:
    explicit GridHeader(QWidget *parent = nullptr);

    // How far a title stands from its cell's left and top edges.
    static constexpr int TextMargin = 2;

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;
};

// The shared bar picture: 63 by 63 pixels, a vertical gradient from RGB (203, 203, 212) at the top
// and bottom edges to RGB (245, 245, 246) in the middle. Header and footer bars stretch it.
const QImage &barPicture();

// A panel whose background is the bar picture stretched over it. Bars of the main window, the
// frame and the dialogs are such panels; their children sit on top of the picture.
class BarPanel : public QWidget
{
public:
    explicit BarPanel(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace ql
