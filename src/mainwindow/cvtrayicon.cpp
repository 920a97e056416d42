#include "mainwindow/cvtrayicon.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>

#include "core/cvmonitor.h"

namespace {

constexpr int IconSize = 16;
constexpr std::uint32_t White = 0xFFFFFF, Black = 0x000000, Red = 0x0000FF;
// CLIconBack's "no colour": the background takes the contrast colour and
// turns see-through.
constexpr std::uint32_t NoColour = 0x1FFFFFFF;

std::uint32_t Contrast(std::uint32_t c) { return c == White ? Black : ~c & White; }

struct TGlyph {
    int SourceX;
    int Width;
};

std::vector<TGlyph> Glyphs(int value, int w) {
    const int magnitude = std::abs(value);
    std::vector<TGlyph> glyphs;
    if (value < 0) glyphs.push_back({10 * w, 3});
    if (magnitude / 100 != 0) glyphs.push_back({12 * w - 1, 1});
    glyphs.push_back({magnitude / 10 % 10 * w, w});
    glyphs.push_back({magnitude % 10 * w, w});
    return glyphs;
}

}  // namespace

const TDigitStrip& LargeDigits() {
    static const TDigitStrip strip{60, 11, {
        "#####....############...##########################.........#",
        "#...#....#....#....##...##....#........##...##...#.........#",
        "#...#....#....#....##...##....#........##...##...#.........#",
        "#...#....#....#....##...##....#........##...##...#.........#",
        "#...#....#....#....##...##....#........##...##...#.........#",
        "#...#....##########################....##############......#",
        "#...#....##........#....#....##...#....##...#....#.........#",
        "#...#....##........#....#....##...#....##...#....#.........#",
        "#...#....##........#....#....##...#....##...#....#.........#",
        "#...#....##........#....#....##...#....##...#....#.........#",
        "#####....###########....###########....###########.........#",
    }};
    return strip;
}

const TDigitStrip& SmallDigits() {
    static const TDigitStrip strip{48, 9, {
        "####...##########..#####################.......#",
        "#..#...#...#...##..##...#......##..##..#.......#",
        "#..#...#...#...##..##...#......##..##..#.......#",
        "#..#...#...#...##..##...#......##..##..#.......#",
        "#..#...#####################...############....#",
        "#..#...##......#...#...##..#...##..#...#.......#",
        "#..#...##......#...#...##..#...##..#...#.......#",
        "#..#...##......#...#...##..#...##..#...#.......#",
        "####...#########...#########...#########.......#",
    }};
    return strip;
}

QRgb ColorRefToRgb(std::uint32_t colorRef) {
    return qRgb(static_cast<int>(colorRef & 0xFF), static_cast<int>(colorRef >> 8 & 0xFF),
                static_cast<int>(colorRef >> 16 & 0xFF));
}

int TrayValue(const TMonitor& m) {
    const auto& temps = m.Slots.TempSlots;
    const auto tray = std::find_if(temps.begin(), temps.end(), [](const auto& slot) { return slot.InTray; });
    if (tray == temps.end()) return 88;
    double value = 0;
    try {
        value = m.TempToDisplay(SlotStats(m.Sensors, TReadingKind::Temp, *tray).Last());
    } catch (const std::exception&) {
        return 98;
    }
    // A value that is no number shows as a failed read.
    if (std::isnan(value)) return 98;
    return static_cast<int>(std::nearbyint(std::clamp(value, -99.0, 199.0)));
}

QImage RenderTrayValue(int value, const TOptions& options) {
    const TDigitStrip& strip = options.TrayFontSize == 1 ? LargeDigits() : SmallDigits();
    const int w = strip.CellWidth(), h = strip.Height;
    const auto glyphs = Glyphs(value, w);
    int total = static_cast<int>(glyphs.size()) - 1;
    for (const auto& glyph : glyphs) total += glyph.Width;

    // The work bitmap in COLORREF values, digits black on white.
    std::array<std::array<std::uint32_t, IconSize>, IconSize> work;
    for (auto& row : work) row.fill(White);
    int x = (IconSize - total) / 2;
    const int y = (IconSize - h) / 2;
    for (const auto& glyph : glyphs) {
        for (int row = 0; row < h; ++row)
            for (int col = 0; col < glyph.Width; ++col)
                if (x + col < IconSize && strip.Rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(glyph.SourceX + col)] == '#')
                    work[static_cast<std::size_t>(y + row)][static_cast<std::size_t>(x + col)] = Black;
        x += glyph.Width + 1;
    }

    const std::uint32_t text = options.CLIconText & White;
    const std::uint32_t contrast = Contrast(text);
    const bool seeThrough = options.CLIconBack == NoColour;
    const std::uint32_t background = seeThrough ? contrast : options.CLIconBack & White;
    std::uint32_t transparent = White;
    for (auto& row : work) {
        for (auto& pixel : row) {
            if (text == White) {
                pixel = pixel == White ? Red : White;
            } else if (text != Black && pixel == Black) {
                pixel = text;
            }
        }
    }
    if (text == White) transparent = Red;

    QImage icon(IconSize, IconSize, QImage::Format_ARGB32);
    for (int py = 0; py < IconSize; ++py) {
        for (int px = 0; px < IconSize; ++px) {
            const std::uint32_t drawn = work[static_cast<std::size_t>(py)][static_cast<std::size_t>(px)];
            const std::uint32_t pixel = drawn == transparent ? background : drawn;
            // Only the contrast colour of a see-through background is masked.
            const bool masked = seeThrough && pixel == contrast;
            icon.setPixel(px, py, masked ? qRgba(0, 0, 0, 0) : ColorRefToRgb(pixel));
        }
    }
    return icon;
}

std::optional<TTrayIconCache::TChange> TTrayIconCache::UpdateTrayIcon(const TMonitor& m) {
    if (m.Options.ShowStaticIcon) return TChange{true, nullptr};
    const int value = TrayValue(m);
    if (value == LastTrayValue) return std::nullopt;
    auto& entry = cache_[static_cast<std::size_t>(value - Lowest)];
    if (!entry) {
        entry = RenderTrayValue(value, m.Options);
        ++renders_;
    }
    LastTrayValue = value;
    return TChange{false, &*entry};
}

void TTrayIconCache::FreeTrayIcons() {
    for (auto& entry : cache_) entry.reset();
    LastTrayValue = NoValue;
}
