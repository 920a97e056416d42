#pragma once
// A small x-y line plotter: one drawing context per instance, areas with a
// left/bottom origin, linear or logarithmic axes with ticks, labels and
// dotted grids, and clipped polylines in value coordinates. It draws aliased
// with QPainter on any paint device, pixel for pixel as its rules say.

#include <array>
#include <memory>
#include <string>

#include <QColor>
#include <QFont>
#include <QPainter>

class QPaintDevice;

struct TTickSteps {
    double Major = 0;
    double Minor = 0;
    int Decimals = 0;  // digits after the point of the labels; may be negative
};

// Steps of an axis of Length pixels showing Lo..Hi with at most MaxLabels
// labels (at least 1) and no step below MinStep.
TTickSteps PlotTickSteps(double minStep, int length, int maxLabels, double lo, double hi);
// The decimals that show V: 99 for 0, 0 for 1, 1 for 0.1, -1 for 10.
int PlotDecimals(double v);
// Family and point size of the plot font for a wanted size.
QFont PlotFont(double size, bool hasArial);

class TXyPlot {
public:
    static constexpr int MaxAreas = 8;

    // Opens a plot on Device: filled with Background inside a one-pixel
    // Foreground frame. Scale 0 counts as 1.
    void PlotBegin(QPaintDevice& device, QColor background, QColor foreground, double scale);
    void PlotArea(int x1, int x2, int y1, int y2, int leftMargin, int rightMargin, int topMargin, int bottomMargin,
                  bool noClip);
    void PlotGridStyle(int xMajor, int xMinor, int yMajor, int yMinor);
    void PlotXAxis(QColor colour, const std::string& title, bool grid, double min, double max, double minStep,
                   double unit, bool log, bool fixedLabels);
    void PlotYAxis(QColor colour, const std::string& title, int position, double min, double max, double minStep,
                   double unit, bool grid, bool log, bool fixedLabels);
    void PlotMoveTo(double x, double y);
    void PlotLineTo(double x, double y);
    void PlotEndSeries();
    // Closes the painter; the device may then be shown or saved.
    void PlotEnd();

    // The pen of the next lines.
    void SetPenColor(QColor colour);
    int PlotCharWidth() const { return charWidth_; }
    int PlotTextHeight() const { return textHeight_; }

private:
    struct TAxis {
        double Min = 0, Max = 1;
        bool Log = false;
        int Decimals = 0;
    };
    struct TArea {
        int Left = 0, Bottom = 0, Width = 0, Height = 0;
        bool Valid = false;
        std::array<int, 4> Grid{4, 7, 4, 7};  // x major, x minor, y major, y minor
        TAxis X, Y;
        int Top() const { return Bottom - Height; }
    };
    struct TPixel {
        int X = 0, Y = 0;
    };

    double Fraction(const TAxis& axis, double v) const;
    TPixel Map(double x, double y) const;
    int MapX(double x) const;
    int MapY(double y) const;
    // One axis being drawn: the x axis (Horizontal) or a y axis at AxisX.
    struct TAxisDraw {
        bool Horizontal = true;
        bool Visible = true;
        bool Grid = false;
        int AxisX = 0;
        bool TicksLeft = true;
    };
    int AxisPixel(const TAxisDraw& d, double v) const;
    bool BeforeEnd(const TAxisDraw& d, int pixel) const;
    bool InArea(const TAxisDraw& d, int pixel) const;
    void DrawLinearTicks(const TAxisDraw& d, double minStep, bool fixedLabels);
    void DrawLogTicks(const TAxisDraw& d);
    void DrawMajor(const TAxisDraw& d, double v, const QString& label);
    void DrawMinor(const TAxisDraw& d, double v);
    void DrawTick(const TAxisDraw& d, int pixel, int length);
    void DrawLabel(const TAxisDraw& d, int pixel, const QString& text);
    void DrawGridLine(bool horizontalLine, int pixel, int pattern);
    void DrawSegment(TPixel from, TPixel to);
    void FlushPendingPixel();
    QColor AxisColour(QColor colour, bool& visible);
    TArea* Current();

    std::unique_ptr<QPainter> painter_;
    int width_ = 0, height_ = 0;
    QColor background_, foreground_;
    QColor pen_;
    int charWidth_ = 0, textHeight_ = 0;
    std::array<TArea, MaxAreas> areas_{};
    int areaCount_ = 0;
    bool xValid_ = false, yValid_ = false;
    int widestLabel_ = 0;
    TPixel current_;
    bool lineBroken_ = false;  // a non-finite point: the next point moves
    bool pending_ = false;
    TPixel pendingPixel_;
    QColor pendingColour_;
};
