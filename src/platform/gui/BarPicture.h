#pragma once

#include <QColor>
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
// between them, no row titles, and rows as tall as a line of the windows' 11-pixel font needs.
void applyGridLook(QTableView *grid);

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
