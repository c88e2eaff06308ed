// The program's icon, as the windows and the About box take it from the program itself.
#include "platform/gui/ProgramIcon.h"

#include <QImage>
#include <gtest/gtest.h>

TEST(ProgramIcon, EverySizeIsDrawnAndNotScaled)
{
    const QIcon icon = ql::programIcon();
    for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
        SCOPED_TRACE(size);
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        ASSERT_EQ(image.size(), QSize(size, size));
        // The tile's corners are transparent, its middle is drawn.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255);
    }
    EXPECT_EQ(icon.availableSizes().size(), 8);
}
