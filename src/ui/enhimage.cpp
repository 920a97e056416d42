#include "ui/enhimage.h"

#include <algorithm>
#include <array>

#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>

namespace {

constexpr int StartSize = 105;

// The drive as pixels: a letter per colour.
constexpr std::array<const char*, 9> DiskPixels{
    "................",  //
    ".wwwwwwwwwwwwww.",  //
    ".wssssssssssssgk",  //
    ".wssssssssssssgk",  //
    ".wsggggggggssGgk",  //
    ".wssssssssssssgk",  //
    ".wssssssssssssgk",  //
    ".ggggggggggggggk",  //
    "..kkkkkkkkkkkkkk",  //
};

QRgb DiskColour(char c) {
    switch (c) {
    case 'w': return qRgb(255, 255, 255);
    case 's': return qRgb(192, 192, 192);
    case 'g': return qRgb(128, 128, 128);
    case 'G': return qRgb(0, 255, 0);
    case 'k': return qRgb(0, 0, 0);
    default: return qRgb(0, 0, 0x99);
    }
}

}  // namespace

QImage DiskPicture() {
    QImage image(16, 9, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, DiskColour(DiskPixels[static_cast<std::size_t>(y)][x]));
    return image;
}

TEnhImage::TEnhImage(QWidget* parent) : QWidget(parent) { resize(StartSize, StartSize); }

void TEnhImage::SetPicture(const QImage& picture) {
    picture_ = picture;
    AdjustSize();
}

void TEnhImage::set(bool& field, bool value) {
    if (field == value) return;
    field = value;
    AdjustSize();
}

void TEnhImage::SetScaleStyle(TScaleStyle value) {
    if (scaleStyle_ == value) return;
    scaleStyle_ = value;
    AdjustSize();
}

void TEnhImage::AdjustSize() {
    const int frame = border_ ? 2 : 0;
    if (autoSize_ && !picture_.isNull()) resize(picture_.width() + frame, picture_.height() + frame);
    setAttribute(Qt::WA_OpaquePaintEvent, forceOpaque_ || (autoSize_ && !picture_.isNull()));
    update();
}

QRect TEnhImage::PictureRect() const {
    const int frame = border_ ? 2 : 0;
    const QSize area(width() - frame, height() - frame);
    const QSize own = picture_.size();
    QSize size = own;
    switch (scaleStyle_) {
    case TScaleStyle::ssNormal: break;
    case TScaleStyle::ssScale: {
        double ratio = std::min(double(area.width()) / own.width(), double(area.height()) / own.height());
        if (!overSize_) ratio = std::min(ratio, 1.0);
        size = QSize(static_cast<int>(own.width() * ratio), static_cast<int>(own.height() * ratio));
        break;
    }
    case TScaleStyle::ssStretchXY: size = area; break;
    case TScaleStyle::ssStretchX: size = QSize(area.width(), own.height()); break;
    case TScaleStyle::ssStretchY: size = QSize(own.width(), area.height()); break;
    }
    QRect rect(QPoint(0, 0), size);
    if (center_) rect.moveTo((area.width() - size.width()) / 2, (area.height() - size.height()) / 2);
    if (border_) rect.translate(1, 1);
    return rect;
}

void TEnhImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!picture_.isNull() && !picture_.size().isEmpty()) {
        drawn_ = PictureRect();
        QImage scaled = picture_.scaled(drawn_.size()).convertToFormat(QImage::Format_RGB32);
        if (transparent_ && !scaled.isNull()) {
            const QRgb key = scaled.pixel(0, scaled.height() - 1);
            const QRgb face = palette().color(QPalette::Button).rgb();
            for (int y = 0; y < scaled.height(); ++y)
                for (int x = 0; x < scaled.width(); ++x)
                    if (scaled.pixel(x, y) == key) scaled.setPixel(x, y, face);
        }
        painter.drawImage(drawn_.topLeft(), scaled);
    }
    if (border_) {
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void TEnhImage::mousePressEvent(QMouseEvent* event) {
    if (!selectable_ || event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    origin_ = event->position().toPoint();
    if (!band_) band_ = new QRubberBand(QRubberBand::Rectangle, this);
    band_->setGeometry(QRect(origin_, QSize()));
    band_->show();
}

void TEnhImage::mouseMoveEvent(QMouseEvent* event) {
    if (!band_ || !band_->isVisible()) return QWidget::mouseMoveEvent(event);
    const QPoint corner(std::clamp(event->position().toPoint().x(), 0, width() - 1),
                        std::clamp(event->position().toPoint().y(), 0, height() - 1));
    band_->setGeometry(QRect(origin_, corner).normalized());
}

void TEnhImage::mouseReleaseEvent(QMouseEvent* event) {
    if (!band_ || !band_->isVisible()) return QWidget::mouseReleaseEvent(event);
    mouseMoveEvent(event);
    band_->hide();
    if (OnSelection) OnSelection(*this, band_->geometry());
}
