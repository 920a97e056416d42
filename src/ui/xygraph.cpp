#include "ui/xygraph.h"

#include <algorithm>
#include <cmath>

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPaintDevice>

namespace {

constexpr int Scale = 1;  // pen widths, ticks and margins are not scaled
constexpr double PixelLimitLow = -32768, PixelLimitHigh = 32767;
// Bounds the step search where a range is tiny beside its values.
constexpr int MaxStepRounds = 200;

int RoundPixel(double v) { return static_cast<int>(std::nearbyint(std::clamp(v, PixelLimitLow, PixelLimitHigh))); }

// 1, 2 or 5 times a power of ten.
double NormaliseMinStep(double minStep) {
    if (!(minStep > 0) || !std::isfinite(minStep)) return 0;
    double m = minStep, power = 1;
    while (m >= 7) m /= 10, power *= 10;
    while (m < 0.7) m *= 10, power /= 10;
    return (m <= 1.4 ? 1 : m <= 3.2 ? 2 : 5) * power;
}

int CountTicks(double major, int length, double lo, double hi) {
    const double first = std::trunc(lo / major - 1);
    int count = 0;
    for (int i = 0; i < 4 * MaxStepRounds; ++i) {
        const double a = (first + i) * major;
        const int pixel = RoundPixel((a - lo) / (hi - lo) * length);
        if (pixel > length) break;
        if (pixel >= 0 && ++count >= 2) break;
    }
    return count;
}

// Fixed-point text without a minus sign on a zero.
QString FixedLabel(double v, int decimals) {
    const QString text = QString::number(v, 'f', std::max(decimals, 0));
    return text.toDouble() == 0 ? QString::number(0.0, 'f', std::max(decimals, 0)) : text;
}

QString DecadeLabel(int exponent) {
    static const char* const Near[] = {"0.01", "0.1", "1", "10", "100", "1000"};
    if (exponent >= -2 && exponent <= 3) return Near[exponent + 2];
    return QString("1E%1").arg(exponent);
}

}  // namespace

TTickSteps PlotTickSteps(double minStep, int length, int maxLabels, double lo, double hi) {
    minStep = NormaliseMinStep(minStep);
    const int n = std::max(maxLabels, 1);
    TTickSteps steps;
    double f = 1;
    int d = 0;
    for (int round = 0; round < MaxStepRounds; ++round, f *= 0.8) {
        double s = f * (hi - lo) / (n + 0.000001), t = 1;
        d = 0;
        while (s >= 5) s /= 10, t *= 10, --d;
        while (s < 0.5) s *= 10, t /= 10, ++d;
        if (s < 1)
            steps.Major = t, steps.Minor = t / 5;
        else if (s < 2)
            steps.Major = 2 * t, steps.Minor = t / 2;
        else
            steps.Major = 5 * t, steps.Minor = t;
        if (CountTicks(steps.Major, length, lo, hi) >= 2) break;
    }
    if (steps.Minor < minStep) steps.Minor = minStep;
    if (steps.Major < minStep)
        steps.Major = minStep;
    else if (steps.Major > 2.4 * steps.Minor && steps.Major < 2.6 * steps.Minor)
        steps.Major *= 2;
    steps.Decimals = std::min(d, PlotDecimals(minStep));
    return steps;
}

int PlotDecimals(double v) {
    if (v == 0) return 99;
    const int digits = static_cast<int>(std::trunc(std::log10(1.001 * std::fabs(v))));
    return std::fabs(v) >= 1 ? -digits : 1 - digits;
}

QFont PlotFont(double size, bool hasArial) {
    if (hasArial) return QFont("Arial", static_cast<int>(std::nearbyint(std::max(size, 1.0))));
    static constexpr std::pair<double, int> Steps[] = {{9, 8}, {11, 10}, {13, 12}, {16, 14}, {21, 18}};
    int points = 24;
    for (const auto& [below, step] : Steps) {
        if (size < below) {
            points = step;
            break;
        }
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(points);
    return font;
}

void TXyPlot::PlotBegin(QPaintDevice& device, QColor background, QColor foreground, double scale) {
    painter_ = std::make_unique<QPainter>(&device);
    painter_->setRenderHint(QPainter::Antialiasing, false);
    width_ = device.width() * Scale;
    height_ = device.height() * Scale;
    background_ = background;
    foreground_ = foreground;
    pen_ = foreground;
    painter_->setPen(QPen(foreground, Scale));
    painter_->setBrush(background);
    painter_->drawRect(0, 0, width_ - 1, height_ - 1);

    if (scale == 0) scale = 1;
    painter_->setFont(PlotFont(8 * scale * Scale, QFontDatabase::hasFamily("Arial")));
    const QFontMetrics metrics(painter_->font(), &device);
    charWidth_ = metrics.horizontalAdvance('0');
    textHeight_ = metrics.height();

    areas_ = {};
    areaCount_ = 0;
    xValid_ = yValid_ = false;
    pending_ = lineBroken_ = false;
}

void TXyPlot::PlotEnd() {
    PlotEndSeries();
    painter_.reset();
}

TXyPlot::TArea* TXyPlot::Current() { return areaCount_ > 0 ? &areas_[static_cast<std::size_t>(areaCount_ - 1)] : nullptr; }

void TXyPlot::PlotArea(int x1, int x2, int y1, int y2, int leftMargin, int rightMargin, int topMargin,
                       int bottomMargin, bool /*noClip*/) {
    if (areaCount_ >= MaxAreas) {
        areas_.back().Valid = false;
        return;
    }
    PlotEndSeries();
    ++areaCount_;
    TArea& area = *Current();
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    const auto pixels = [](int percent, int size) { return RoundPixel(percent / 100.0 * size); };
    const int left = pixels(std::max(x1, 0), width_) + leftMargin * Scale;
    const int right = pixels(std::min(x2, 100), width_) - rightMargin * Scale;
    const int top = pixels(std::max(y1, 0), height_) + topMargin * Scale;
    const int bottom = pixels(std::min(y2, 100), height_) - bottomMargin * Scale;
    area.Left = left;
    area.Bottom = bottom;
    area.Width = right - left;
    area.Height = bottom - top;
    area.Valid = area.Width > 0 && area.Height > 0;
    painter_->setPen(QPen(pen_, Scale));
    painter_->setBrush(background_);
    xValid_ = yValid_ = false;
}

void TXyPlot::PlotGridStyle(int xMajor, int xMinor, int yMajor, int yMinor) {
    const std::array<int, 4> grid{xMajor, xMinor, yMajor, yMinor};
    if (TArea* area = Current())
        area->Grid = grid;
    else
        for (auto& a : areas_) a.Grid = grid;
}

QColor TXyPlot::AxisColour(QColor colour, bool& visible) {
    visible = colour.rgb() != background_.rgb();
    const QColor used = visible ? colour : foreground_;
    painter_->setPen(QPen(used, Scale));
    return used;
}

double TXyPlot::Fraction(const TAxis& axis, double v) const {
    if (!axis.Log) return (v - axis.Min) / (axis.Max - axis.Min);
    if (v <= 0) v = axis.Min / 2;
    return std::log(v / axis.Min) / std::log(axis.Max / axis.Min);
}

int TXyPlot::MapX(double x) const {
    const TArea& a = areas_[static_cast<std::size_t>(areaCount_ - 1)];
    return RoundPixel(a.Left + Fraction(a.X, x) * a.Width);
}

int TXyPlot::MapY(double y) const {
    const TArea& a = areas_[static_cast<std::size_t>(areaCount_ - 1)];
    return RoundPixel(a.Bottom - Fraction(a.Y, y) * a.Height);
}

TXyPlot::TPixel TXyPlot::Map(double x, double y) const { return {MapX(x), MapY(y)}; }

void TXyPlot::PlotXAxis(QColor colour, const std::string& title, bool grid, double min, double max, double minStep,
                        double /*unit*/, bool log, bool fixedLabels) {
    PlotEndSeries();
    TArea* area = Current();
    xValid_ = area && area->Valid && std::isfinite(min) && std::isfinite(max) && min < max;
    yValid_ = false;
    if (!xValid_) return;
    bool visible = true;
    AxisColour(colour, visible);
    area->X = {min, max, log && min > 0, 0};
    if (visible) painter_->drawLine(area->Left, area->Bottom, area->Left + area->Width, area->Bottom);
    const TAxisDraw d{true, visible, grid, 0, false};
    if (area->X.Log)
        DrawLogTicks(d);
    else
        DrawLinearTicks(d, minStep, fixedLabels);
    if (visible && !title.empty()) {
        const QString text = QString::fromStdString(title);
        const int w = painter_->fontMetrics().horizontalAdvance(text);
        const int top = area->Bottom + charWidth_ + 1 + textHeight_;
        painter_->drawText(area->Left + area->Width / 2 - w / 2, top + painter_->fontMetrics().ascent(), text);
    }
}

void TXyPlot::PlotYAxis(QColor colour, const std::string& title, int position, double min, double max,
                        double minStep, double /*unit*/, bool grid, bool log, bool fixedLabels) {
    PlotEndSeries();
    TArea* area = Current();
    yValid_ = xValid_ && std::isfinite(min) && std::isfinite(max) && min < max && position >= 1 && position <= 4;
    if (!yValid_) return;
    bool visible = true;
    AxisColour(colour, visible);
    area->Y = {min, max, log && min > 0, 0};
    const int axisX = position == 1   ? area->Left
                      : position == 2 ? area->Left + Scale
                      : position == 3 ? area->Left + area->Width - Scale
                                      : area->Left + area->Width;
    const bool ticksLeft = position == 1 || position == 3;
    if (visible) painter_->drawLine(axisX, area->Bottom, axisX, area->Top());
    widestLabel_ = 0;
    const TAxisDraw d{false, visible, grid, axisX, ticksLeft};
    if (area->Y.Log)
        DrawLogTicks(d);
    else
        DrawLinearTicks(d, minStep, fixedLabels);
    if (!visible || title.empty()) return;
    QString text = QString::fromStdString(title);
    int top = area->Top() - textHeight_ - textHeight_ / 2;
    if (text.startsWith('@')) {
        text.remove(0, 1);
        top -= textHeight_;
    }
    const int w = painter_->fontMetrics().horizontalAdvance(text);
    const int majorTick = charWidth_ + 1;
    const int left = position == 1   ? std::max(axisX - widestLabel_ - majorTick, 0)
                     : position == 2 ? axisX
                     : position == 3 ? axisX - w
                                     : std::min(axisX + widestLabel_ + majorTick, width_) - w;
    painter_->drawText(left, top + painter_->fontMetrics().ascent(), text);
}

int TXyPlot::AxisPixel(const TAxisDraw& d, double v) const { return d.Horizontal ? MapX(v) : MapY(v); }

// Not past the far end of the axis: right of the area for x, above it for y.
bool TXyPlot::BeforeEnd(const TAxisDraw& d, int pixel) const {
    const TArea& a = areas_[static_cast<std::size_t>(areaCount_ - 1)];
    return d.Horizontal ? pixel <= a.Left + a.Width : pixel >= a.Top();
}

bool TXyPlot::InArea(const TAxisDraw& d, int pixel) const {
    const TArea& a = areas_[static_cast<std::size_t>(areaCount_ - 1)];
    return d.Horizontal ? pixel >= a.Left && pixel <= a.Left + a.Width : pixel <= a.Bottom && pixel >= a.Top();
}

void TXyPlot::DrawLinearTicks(const TAxisDraw& d, double minStep, bool fixedLabels) {
    TArea& area = *Current();
    TAxis& axis = d.Horizontal ? area.X : area.Y;
    const int length = d.Horizontal ? area.Width : area.Height;
    const int labels = d.Horizontal ? area.Width / std::max(5 * charWidth_, 1) : area.Height / std::max(2 * textHeight_, 1);
    const TTickSteps steps = PlotTickSteps(minStep, length, labels, axis.Min, axis.Max);
    axis.Decimals = steps.Decimals;
    const double first = std::trunc(axis.Min / steps.Major - 1);
    const int minors = static_cast<int>(std::nearbyint(steps.Major / steps.Minor));
    for (int i = 0;; ++i) {
        double v = (first + i) * steps.Major;
        if (std::fabs(v) < steps.Major * 1e-9) v = 0;
        const int pixel = AxisPixel(d, v);
        if (!BeforeEnd(d, pixel) || i > 4 * length + 8) break;
        if (InArea(d, pixel)) {
            const QString label = fixedLabels ? FixedLabel(v, steps.Decimals) : QString::number(v, 'g', 6);
            DrawMajor(d, v, label);
        }
        for (int k = 1; k < minors; ++k) DrawMinor(d, v + k * steps.Minor);
    }
}

void TXyPlot::DrawLogTicks(const TAxisDraw& d) {
    const TAxis& axis = d.Horizontal ? Current()->X : Current()->Y;
    const int from = static_cast<int>(std::floor(std::log10(axis.Min)));
    const int to = static_cast<int>(std::ceil(std::log10(axis.Max)));
    for (int e = from; e <= to; ++e) {
        const double decade = std::pow(10.0, e);
        if (InArea(d, AxisPixel(d, decade))) DrawMajor(d, decade, DecadeLabel(e));
        // Intermediate ticks only where the closest two stay apart.
        if (std::abs(AxisPixel(d, 10 * decade) - AxisPixel(d, 9 * decade)) < 3) continue;
        for (int m = 2; m <= 9; ++m) DrawMinor(d, m * decade);
    }
}

void TXyPlot::DrawMajor(const TAxisDraw& d, double v, const QString& label) {
    const TArea& area = *Current();
    const int pixel = AxisPixel(d, v);
    if (d.Visible) {
        DrawTick(d, pixel, charWidth_ + 1);
        DrawLabel(d, pixel, label);
    }
    if (d.Horizontal && d.Grid) DrawGridLine(false, pixel, area.Grid[0]);
    if (!d.Horizontal && (d.Grid || v == 0)) DrawGridLine(true, pixel, area.Grid[2]);
}

void TXyPlot::DrawMinor(const TAxisDraw& d, double v) {
    const int pixel = AxisPixel(d, v);
    if (!InArea(d, pixel)) return;
    if (d.Visible) DrawTick(d, pixel, (charWidth_ + 1) / 2 + 1);
    if (d.Grid) DrawGridLine(!d.Horizontal, pixel, Current()->Grid[d.Horizontal ? 1 : 3]);
}

void TXyPlot::DrawTick(const TAxisDraw& d, int pixel, int length) {
    const TArea& area = *Current();
    if (d.Horizontal) {
        painter_->drawLine(pixel, area.Bottom, pixel, area.Bottom + length - 1);
        return;
    }
    const int end = d.TicksLeft ? d.AxisX - length + 1 : d.AxisX + length - 1;
    painter_->drawLine(d.AxisX, pixel, end, pixel);
}

void TXyPlot::DrawLabel(const TAxisDraw& d, int pixel, const QString& text) {
    const TArea& area = *Current();
    const QFontMetrics metrics = painter_->fontMetrics();
    const int w = metrics.horizontalAdvance(text);
    const int majorTick = charWidth_ + 1;
    int left = 0, top = 0;
    if (d.Horizontal) {
        left = pixel - w / 2;
        top = area.Bottom + majorTick + Scale - 1;
    } else {
        widestLabel_ = std::max(widestLabel_, w);
        left = d.TicksLeft ? d.AxisX - majorTick - w - Scale + 1 : d.AxisX + majorTick + Scale;
        // A label at either end of the axis stays whole inside the picture.
        top = std::clamp(pixel - textHeight_ / 2, 0, std::max(height_ - textHeight_, 0));
    }
    painter_->drawText(left, top + metrics.ascent(), text);
}

void TXyPlot::DrawGridLine(bool horizontalLine, int pixel, int pattern) {
    const TArea& area = *Current();
    if (pattern < 0) return;
    if (horizontalLine ? pixel == area.Bottom : pixel == area.Left) return;
    const int from = horizontalLine ? area.Left : area.Top() + 1;
    const int to = horizontalLine ? area.Left + area.Width - 1 : area.Bottom;
    if (pattern == 0) {
        if (horizontalLine)
            painter_->drawLine(from, pixel, to, pixel);
        else
            painter_->drawLine(pixel, from, pixel, to);
        return;
    }
    for (int c = from; c <= to; ++c) {
        if ((pattern & c) != 0) continue;
        if (horizontalLine)
            painter_->drawPoint(c, pixel);
        else
            painter_->drawPoint(pixel, c);
    }
}

void TXyPlot::SetPenColor(QColor colour) {
    pen_ = colour;
    if (painter_) painter_->setPen(QPen(colour, Scale));
}

void TXyPlot::FlushPendingPixel() {
    if (!pending_) return;
    pending_ = false;
    const QPen saved = painter_->pen();
    painter_->setPen(QPen(pendingColour_, 1));
    painter_->drawPoint(pendingPixel_.X, pendingPixel_.Y);
    painter_->setPen(saved);
}

void TXyPlot::PlotMoveTo(double x, double y) {
    FlushPendingPixel();
    if (!yValid_) return;
    lineBroken_ = !std::isfinite(x) || !std::isfinite(y);
    if (!lineBroken_) current_ = Map(x, y);
}

void TXyPlot::PlotLineTo(double x, double y) {
    if (!yValid_) return;
    if (!std::isfinite(x) || !std::isfinite(y)) {
        lineBroken_ = true;
        return;
    }
    const TPixel to = Map(x, y);
    if (lineBroken_) {
        lineBroken_ = false;
        current_ = to;
        return;
    }
    DrawSegment(current_, to);
    current_ = to;
}

// Liang-Barsky against the area's rectangle, edges included.
void TXyPlot::DrawSegment(TPixel from, TPixel to) {
    const TArea& a = *Current();
    const double x0 = from.X, y0 = from.Y, dx = to.X - x0, dy = to.Y - y0;
    double t0 = 0, t1 = 1;
    const double p[] = {-dx, dx, -dy, dy};
    const double q[] = {x0 - a.Left, a.Left + a.Width - x0, y0 - a.Top(), a.Bottom - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, r);
        else
            t1 = std::min(t1, r);
        if (t0 > t1) return;
    }
    const TPixel start{RoundPixel(x0 + t0 * dx), RoundPixel(y0 + t0 * dy)};
    const TPixel end{RoundPixel(x0 + t1 * dx), RoundPixel(y0 + t1 * dy)};
    painter_->setPen(QPen(pen_, Scale));
    painter_->drawLine(start.X, start.Y, end.X, end.Y);
    if (t1 == 1) {
        pending_ = true;
        pendingPixel_ = end;
        pendingColour_ = pen_;
    }
}

void TXyPlot::PlotEndSeries() {
    if (painter_) FlushPendingPixel();
}
