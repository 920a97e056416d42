#pragma once
// The picture strip of the trend arrows: one 13 x 13 cell per vote of fan
// control (0 keep, 1 up, 2 down, 3 full), our own drawings kept as data.

#include <QImage>

inline constexpr int TrendCellSize = 13;
inline constexpr int TrendCellCount = 4;

// The cell on a transparent ground; an empty image for a cell outside the strip.
QImage TrendCell(int cell);
