#pragma once
// The tray's value icon: one temperature as up to three digits drawn from a
// strip of small digit pictures in the user's colours, 16 x 16 pixels.
// Each value's icon is drawn once and cached until the tray options change.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QImage>
#include <QRgb>

struct TOptions;
class TMonitor;

// A strip of 12 cells: the digits 0-9, the minus in the first 3 columns of
// cell 10, and the narrow "1" of the hundreds in the strip's last column.
// '#' is a black pixel, anything else white.
struct TDigitStrip {
    int Width = 0;
    int Height = 0;
    std::vector<std::string> Rows;
    int CellWidth() const { return Width / 12; }
};

const TDigitStrip& LargeDigits();  // 60 x 11, TrayFontSize 1
const TDigitStrip& SmallDigits();  // 48 x 9, any other size

// A COLORREF (00BBGGRR) as an opaque Qt colour.
QRgb ColorRefToRgb(std::uint32_t colorRef);

// The value the icon shows: the first temperature slot marked for the tray
// in the display unit, rounded half to even and clamped to -99..199; 88 when
// no slot is marked and 98 when its reading fails.
int TrayValue(const TMonitor& monitor);

// The icon of value v (-99..199) in the options' strip and colours.
QImage RenderTrayValue(int value, const TOptions& options);

class TTrayIconCache {
public:
    static constexpr int NoValue = 9999;
    static constexpr int Lowest = -128, Highest = 199;

    // What the tray shows after this tick.
    struct TChange {
        bool StaticIcon = false;      // the program's own icon
        const QImage* Value = nullptr;  // else this value icon
    };
    // nullopt when the tray keeps what it shows.
    std::optional<TChange> UpdateTrayIcon(const TMonitor& monitor);
    // Drops every icon; the next update sets one whatever the value.
    void FreeTrayIcons();

    int LastTrayValue = NoValue;
    int RenderCount() const { return renders_; }

private:
    std::array<std::optional<QImage>, Highest - Lowest + 1> cache_;
    int renders_ = 0;
};
