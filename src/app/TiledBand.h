#pragma once

#include <QImage>
#include <QWidget>

namespace ql {

// The 25 by 25 picture tiled behind the main window's menu button row: a vertical gradient from
// RGB (227, 227, 233) at its top row to RGB (186, 186, 202) at its bottom row.
const QImage &menuBandPicture();

// A band whose background is the menu band picture, tiled.
class TiledBand final : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace ql
