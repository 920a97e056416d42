// The tray's value icon: where the glyphs land, the colours and the mask,
// the value chosen, and the cache.

#include "mainwindow/cvtrayicon.h"

#include <gtest/gtest.h>

#include "core/cvmonitor.h"
#include "core/cvoptions.h"
#include "support/testmachine.h"

namespace {

// The columns holding a digit pixel (not the background) in the icon's row y.
std::vector<int> InkColumns(const QImage& icon, int y, QRgb background, bool seeThrough) {
    std::vector<int> out;
    for (int x = 0; x < 16; ++x) {
        const QRgb p = icon.pixel(x, y);
        const bool isBackground = seeThrough ? qAlpha(p) == 0 : p == background;
        if (!isBackground) out.push_back(x);
    }
    return out;
}

int FirstInk(const QImage& icon) {
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 16; ++y)
            if (qAlpha(icon.pixel(x, y)) != 0) return x;
    return -1;
}

TEST(TrayIcon, GlyphsStartWhereTheWidthsPutThem) {
    struct Case {
        int Strip;  // TrayFontSize
        int Value;
        int StartX;
        int TopY;
    };
    // Small cells are 4 x 9 (y 3), large 5 x 11 (y 2); glyphs are 1 pixel apart.
    const Case cases[] = {{0, 45, 3, 3}, {0, 105, 2, 3}, {0, -5, 1, 3}, {1, -99, 0, 2}, {1, 199, 1, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Value);
        TOptions options;
        options.TrayFontSize = c.Strip;
        const QImage icon = RenderTrayValue(c.Value, options);
        EXPECT_EQ(icon.format(), QImage::Format_ARGB32);
        EXPECT_EQ(FirstInk(icon), c.StartX);
        for (int y = 0; y < c.TopY; ++y) EXPECT_TRUE(InkColumns(icon, y, 0, true).empty());
    }
}

TEST(TrayIcon, TheMinusAndTheNarrowOneComeFromTheirCells) {
    TOptions options;  // small strip
    const QImage minus = RenderTrayValue(-5, options);
    // The minus is the middle row of its 3 columns at x 1..3; row 7 is y 3 + 4.
    EXPECT_EQ(InkColumns(minus, 3, 0, true), (std::vector<int>{5, 6, 7, 8, 10, 11, 12, 13}));
    const auto middle = InkColumns(minus, 7, 0, true);
    EXPECT_EQ(std::vector<int>(middle.begin(), middle.begin() + 3), (std::vector<int>{1, 2, 3}));
    const QImage hundred = RenderTrayValue(105, options);
    for (int y = 3; y < 12; ++y) EXPECT_EQ(InkColumns(hundred, y, 0, true).front(), 2) << "the 1-pixel bar, row " << y;
}

TEST(TrayIcon, ColoursOnASeeThroughAndOnAChosenBackground) {
    struct Case {
        const char* What;
        std::uint32_t Text, Back;
        QRgb Ink;
        bool SeeThrough;
        QRgb Background;
    };
    const Case cases[] = {
        {"red text, see-through", 0x0000FF, 0x1FFFFFFF, qRgb(255, 0, 0), true, 0},
        {"white text, see-through", 0xFFFFFF, 0x1FFFFFFF, qRgb(255, 255, 255), true, 0},
        {"black text, see-through", 0x000000, 0x1FFFFFFF, qRgb(0, 0, 0), true, 0},
        {"blue text on yellow", 0xFF0000, 0x00FFFF, qRgb(0, 0, 255), false, qRgb(255, 255, 0)},
        {"white text on green", 0xFFFFFF, 0x008000, qRgb(255, 255, 255), false, qRgb(0, 128, 0)},
        {"black text on white", 0x000000, 0xFFFFFF, qRgb(0, 0, 0), false, qRgb(255, 255, 255)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TOptions options;
        options.CLIconText = c.Text;
        options.CLIconBack = c.Back;
        const QImage icon = RenderTrayValue(88, options);
        // Top row of "88" at y 3: x 3..6 and 8..11 are ink, 7 the gap.
        EXPECT_EQ(icon.pixel(3, 3), c.Ink);
        EXPECT_EQ(icon.pixel(11, 3), c.Ink);
        if (c.SeeThrough)
            EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
        else
            EXPECT_EQ(icon.pixel(0, 0), c.Background) << "a chosen background stays opaque";
        EXPECT_EQ(qAlpha(icon.pixel(7, 3)), c.SeeThrough ? 0 : 255) << "the gap between glyphs";
    }
}

TEST(TrayIconValue, ChosenClampedAndInTheDisplayUnit) {
    testsupport::TestMachine machine;
    TMonitor monitor;
    EXPECT_EQ(TrayValue(monitor), 88) << "no slot in the tray";
    monitor.Slots.TempSlots.assign(1, TTempReadingData{});
    monitor.Slots.TempSlots[0].InTray = true;
    EXPECT_EQ(TrayValue(monitor), 0) << "a slot bound to nothing reads the zero reading";
    monitor.Options.UseCelsius = false;
    EXPECT_EQ(TrayValue(monitor), 32);
}

TEST(TrayIconCache, EachValueIsDrawnOnceUntilTheIconsAreFreed) {
    testsupport::TestMachine machine;
    TMonitor monitor;
    TTrayIconCache cache;
    auto first = cache.UpdateTrayIcon(monitor);
    ASSERT_TRUE(first && first->Value);
    EXPECT_EQ(cache.LastTrayValue, 88);
    EXPECT_FALSE(cache.UpdateTrayIcon(monitor)) << "an unchanged value does nothing";
    cache.FreeTrayIcons();
    EXPECT_EQ(cache.LastTrayValue, 9999);
    EXPECT_TRUE(cache.UpdateTrayIcon(monitor)) << "set again after freeing";
    EXPECT_EQ(cache.RenderCount(), 2);
    monitor.Options.ShowStaticIcon = true;
    const auto still = cache.UpdateTrayIcon(monitor);
    ASSERT_TRUE(still);
    EXPECT_TRUE(still->StaticIcon);
    EXPECT_EQ(cache.RenderCount(), 2);
}

}  // namespace
