#include <QImage>
#include <gtest/gtest.h>

#include "ui/enhimage.h"

namespace {

// Only what the control paints: the rest keeps the marker colour.
QImage Painted(TEnhImage& image) {
    QImage out(image.size(), QImage::Format_RGB32);
    out.fill(qRgb(1, 2, 3));
    image.render(&out, QPoint(), QRegion(), QWidget::RenderFlags());
    return out;
}

TEST(TEnhImage, StartsAt105PixelsAndSizesToThePictureAndBorder) {
    TEnhImage image;
    EXPECT_EQ(image.size(), QSize(105, 105));
    image.SetAutoSize(true);
    image.SetBorder(true);
    image.SetPicture(DiskPicture());
    EXPECT_EQ(image.size(), QSize(18, 11));
    const QImage out = Painted(image);
    EXPECT_EQ(image.DrawnRect(), QRect(1, 1, 16, 9));
    EXPECT_EQ(out.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(out.pixel(14, 5), qRgb(0, 255, 0));  // the activity light, one pixel in
}

TEST(TEnhImage, TheCornerColourShowsTheButtonColour) {
    TEnhImage image;
    image.SetAutoSize(true);
    image.SetTransparent(true);
    image.SetPicture(DiskPicture());
    ASSERT_EQ(DiskPicture().pixel(0, 8), qRgb(0, 0, 0x99));
    EXPECT_EQ(image.size(), QSize(16, 9));
    const QImage out = Painted(image);
    const QRgb face = image.palette().color(QPalette::Button).rgb();
    EXPECT_EQ(out.pixel(0, 0), face);
    EXPECT_EQ(out.pixel(0, 8), face);
    EXPECT_EQ(out.pixel(13, 4), qRgb(0, 255, 0));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 16; ++x) EXPECT_NE(out.pixel(x, y), qRgb(0, 0, 0x99)) << x << "," << y;
}

TEST(TEnhImage, AnEmptyPicturePaintsOnlyTheBorder) {
    TEnhImage image;
    image.resize(20, 10);
    image.SetBorder(true);
    const QImage out = Painted(image);
    EXPECT_EQ(out.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(out.pixel(19, 9), qRgb(0, 0, 0));
    EXPECT_EQ(out.pixel(10, 5), qRgb(1, 2, 3));
}

}  // namespace
