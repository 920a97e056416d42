#pragma once
// A picture control: scaling styles, centring, a border and a simple
// transparency (the bottom-left pixel's colour shows the button colour),
// with an optional rubber-band selection.

#include <functional>

#include <QImage>
#include <QRect>
#include <QWidget>

class QRubberBand;

enum class TScaleStyle { ssNormal, ssScale, ssStretchXY, ssStretchX, ssStretchY };

// Decoding settings of JPEG pictures, kept for the form's sake: Qt's
// image plugin reads JPEG data and takes none of them.
struct TJpegSettings {
    int ScaleRatio = 100;
    int Quality = 80;
    bool Optimize = true;
    bool Smoothing = false;
    bool BlockSmoothing = false;
    bool ForceGray = false;
    bool ShowProgress = false;
};

class TEnhImage : public QWidget {
public:
    using TEISelectEvent = std::function<void(TEnhImage& sender, const QRect& selection)>;

    explicit TEnhImage(QWidget* parent = nullptr);

    const QImage& Picture() const { return picture_; }
    void SetPicture(const QImage& picture);
    void SetAutoSize(bool value) { set(autoSize_, value); }
    void SetTransparent(bool value) { set(transparent_, value); }
    void SetCenter(bool value) { set(center_, value); }
    void SetBorder(bool value) { set(border_, value); }
    void SetOverSize(bool value) { set(overSize_, value); }
    void SetForceOpaque(bool value) { set(forceOpaque_, value); }
    void SetSelectable(bool value) { selectable_ = value; }
    void SetScaleStyle(TScaleStyle value);

    // Where the picture was last drawn, in the control.
    QRect DrawnRect() const { return drawn_; }
    TEISelectEvent OnSelection;
    TJpegSettings Jpeg;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void set(bool& field, bool value);
    void AdjustSize();
    QRect PictureRect() const;

    QImage picture_;
    bool autoSize_ = false, transparent_ = false, center_ = false, border_ = false;
    bool overSize_ = false, forceOpaque_ = false, selectable_ = false;
    TScaleStyle scaleStyle_ = TScaleStyle::ssNormal;
    QRect drawn_;
    QRubberBand* band_ = nullptr;
    QPoint origin_;
};

// The small drive picture of the disk box: 16 x 9 on a dark blue corner
// colour (0, 0, 99h).
QImage DiskPicture();
