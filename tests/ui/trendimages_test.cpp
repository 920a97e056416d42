// The trend arrows' picture strip: four distinct 13 x 13 drawings on a
// transparent ground, nothing outside the strip.

#include "ui/trendimages.h"

#include <gtest/gtest.h>

namespace {

TEST(TrendImages, FourDistinctArrowsOnATransparentGround) {
    for (int cell = 0; cell < TrendCellCount; ++cell) {
        SCOPED_TRACE(cell);
        const QImage image = TrendCell(cell);
        ASSERT_EQ(image.size(), QSize(TrendCellSize, TrendCellSize));
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "the ground shows through";
        EXPECT_EQ(qAlpha(image.pixel(6, 8)), 255) << "every arrow covers its middle";
        for (int other = 0; other < cell; ++other) EXPECT_NE(image, TrendCell(other)) << other;
    }
    EXPECT_TRUE(TrendCell(-1).isNull());
    EXPECT_TRUE(TrendCell(TrendCellCount).isNull());
}

}  // namespace
