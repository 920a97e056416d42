#include "ui/cvcbaseframe.h"

#include <cmath>

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QRubberBand>
#include <QVBoxLayout>

#include "ui/enhimage.h"
#include "ui/trendimages.h"
#include "ui/uilanguage.h"

namespace {

QVBoxLayout& FaceLayout(QFrame& panel) { return *static_cast<QVBoxLayout*>(panel.layout()); }

// A row of the face above the caption, centred.
QHBoxLayout& AddRow(QFrame& panel) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addStretch();
    // Between the two stretches above the caption.
    FaceLayout(panel).insertLayout(FaceLayout(panel).count() - 2, row);
    return *row;
}

void EndRow(QHBoxLayout& row) { row.addStretch(); }

// The battery strip: mains plug, charging, on battery, none or unknown.
QPixmap BatteryCell(int cell) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const QColor body = cell == 3 ? QColor(128, 128, 128) : QColor(0, 0, 0);
    p.setPen(body);
    p.setBrush(Qt::NoBrush);
    p.drawRect(1, 4, 12, 8);
    p.fillRect(14, 6, 2, 4, body);
    static const QColor Fill[] = {QColor(0, 160, 0), QColor(230, 180, 0), QColor(0, 120, 220), QColor(200, 0, 0)};
    if (cell == 3) {
        p.setPen(Fill[3]);
        p.drawLine(4, 6, 10, 10);
        p.drawLine(4, 10, 10, 6);
    } else {
        p.fillRect(3, 6, cell == 2 ? 5 : 9, 5, Fill[cell]);
    }
    return pixmap;
}

}  // namespace

TSCBaseFrame::TSCBaseFrame(int width, int height, QWidget* parent) : QFrame(parent) {
    resize(width, height);
    panel_ = new QFrame(this);
    panel_->setObjectName("panel");
    panel_->setFrameStyle(QFrame::Box | QFrame::Plain);
    panel_->setLineWidth(1);
    panel_->setAutoFillBackground(true);
    panel_->setBackgroundRole(QPalette::Base);
    panel_->setGeometry(0, 0, width, height);
    auto* face = new QVBoxLayout(panel_);
    face->setContentsMargins(0, 1, 0, 1);  // the frame's line is margin enough for a long description
    face->setSpacing(0);
    face->addStretch();
    face->addStretch();
    desc_ = new QLabel(panel_);
    desc_->setObjectName("LABDesc");
    desc_->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    desc_->setCursor(Qt::PointingHandCursor);
    desc_->setContextMenuPolicy(Qt::CustomContextMenu);
    face->addWidget(desc_);
    desc_->installEventFilter(this);

    menu_ = new QMenu(this);
    menu_->setObjectName("PopupMenu");
    menu_->addAction("&Hide", this, [this] { HideBoxClick(); })->setObjectName("HideBox");
    unhide_ = menu_->addMenu("&Unhide");
    unhide_->setObjectName("unhide");
    connect(menu_, &QMenu::aboutToShow, this, [this] { PopupMenuPopup(); });
    connect(desc_, &QLabel::customContextMenuRequested, this,
            [this](QPoint pos) { menu_->popup(desc_->mapToGlobal(pos)); });
    FormBuilt("TSCBaseFrame", *this);
}

QLabel* TSCBaseFrame::AddLabel(const char* name, const char* text, bool strong) {
    auto* label = new QLabel(QString::fromUtf8(text), panel_);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    if (strong) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

bool TSCBaseFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched != desc_) return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: LABDescMouseDown(static_cast<QMouseEvent*>(event)->position().toPoint()); break;
    case QEvent::MouseMove: LABDescMouseMove(static_cast<QMouseEvent*>(event)->position().toPoint()); break;
    case QEvent::MouseButtonRelease: LABDescMouseUp(); break;
    default: break;
    }
    return false;
}

void TSCBaseFrame::LABDescMouseDown(QPoint pos) {
    pressed_ = true;
    dragging_ = false;
    press_ = pos;
}

void TSCBaseFrame::LABDescMouseMove(QPoint pos) {
    if (pressed_) {
        if (std::abs(pos.x() - press_.x()) <= DragThreshold && std::abs(pos.y() - press_.y()) <= DragThreshold)
            return;
        pressed_ = false;
        dragging_ = true;
        offset_ = mapToGlobal(QPoint(0, 0)) - press_;
    }
    if (!dragging_) return;
    last_ = pos;
    ShowOutline(pos);
}

// The outline over the window, where the box would land.
void TSCBaseFrame::ShowOutline(QPoint pointer) {
    QWidget* top = window();
    if (!outline_) outline_ = new QRubberBand(QRubberBand::Rectangle, top);
    outline_->setGeometry(QRect(top->mapFromGlobal(pointer + offset_), size()));
    outline_->show();
}

void TSCBaseFrame::LABDescMouseUp() {
    if (dragging_) {
        if (outline_) outline_->hide();
        last_ += pos();
        if (OnMoved) OnMoved(*this);
    }
    pressed_ = false;
    dragging_ = false;
}

void TSCBaseFrame::HideBoxClick() {
    if (OnHide) OnHide(*this);
}

void TSCBaseFrame::PopupMenuPopup() {
    unhide_->clear();
    if (!Siblings) return;
    const std::vector<TSCBaseFrame*> boxes = Siblings();
    for (std::size_t tag = 0; tag < boxes.size(); ++tag) {
        if (boxes[tag]->isVisibleTo(parentWidget())) continue;
        unhide_->addAction(boxes[tag]->LABDesc().text(), this,
                           [this, tag] { unhideClick(static_cast<int>(tag)); });
    }
}

void TSCBaseFrame::unhideClick(int tag) {
    if (!OnUnhide || !Siblings) return;
    const std::vector<TSCBaseFrame*> boxes = Siblings();
    if (tag < 0 || static_cast<std::size_t>(tag) >= boxes.size()) return;
    OnUnhide(*boxes[static_cast<std::size_t>(tag)]);
}

TSCTemperature::TSCTemperature(int width, int height, QWidget* parent) : TSCBaseFrame(width, height, parent) {
    QHBoxLayout& row = AddRow(panel());
    trend_ = new QLabel(&panel());
    trend_->setObjectName("trend");
    trend_->setFixedSize(14, 14);
    trend_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    row.addWidget(trend_);
    sample_ = AddLabel("LABSample", "??°C", true);
    row.addWidget(sample_);
    EndRow(row);
}

void TSCTemperature::ShowTrend(int cell) { trend_->setPixmap(QPixmap::fromImage(TrendCell(cell))); }

TSCValueBox::TSCValueBox(int width, int height, const char* name, const char* text, QWidget* parent)
    : TSCBaseFrame(width, height, parent) {
    QHBoxLayout& row = AddRow(panel());
    sample_ = AddLabel(name, text, false);
    row.addWidget(sample_);
    EndRow(row);
}

TSCFan::TSCFan(int width, int height, QWidget* parent) : TSCValueBox(width, height, "LABSample", "???? RPM", parent) {}

TSCVolt::TSCVolt(int width, int height, QWidget* parent) : TSCValueBox(width, height, "LabSample", "??.??V", parent) {}

TSCFrequency::TSCFrequency(int width, int height, QWidget* parent)
    : TSCValueBox(width, height, "LabSample", "???? MHz", parent) {}

TSCSmartDrive::TSCSmartDrive(int width, int height, QWidget* parent) : TSCBaseFrame(width, height, parent) {
    QHBoxLayout& row = AddRow(panel());
    auto* image = new TEnhImage(&panel());
    image->setObjectName("EnhImage1");
    image->SetAutoSize(true);
    image->SetTransparent(true);
    image->SetPicture(DiskPicture());
    image->setFixedSize(image->size());
    row.addWidget(image);
    sample_ = AddLabel("LABSample", "???%", false);
    row.addWidget(sample_);
    EndRow(row);
}

TSCUsage::TSCUsage(int width, int height, QWidget* parent) : TSCBaseFrame(width, height, parent) {
    sample_ = AddLabel("LabSample", "??%", false);
    sample_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    sample_->setGeometry(1, 1, width - 2, sample_->sizeHint().height());
    bar_ = new QProgressBar(&panel());
    bar_->setObjectName("pb");
    bar_->setTextVisible(false);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    FrameResize();
}

void TSCUsage::resizeEvent(QResizeEvent* event) {
    TSCBaseFrame::resizeEvent(event);
    FrameResize();
}

void TSCUsage::FrameResize() {
    const int barHeight = static_cast<int>(std::nearbyint(panel().height() / 4.0));
    bar_->setGeometry(4, (panel().height() - barHeight) / 2, panel().width() - 8, barHeight);
}

TSCBattery::TSCBattery(int width, int height, QWidget* parent) : TSCBaseFrame(width, height, parent) {
    QHBoxLayout& row = AddRow(panel());
    status_ = new QLabel(&panel());
    status_->setObjectName("status");
    status_->setFixedSize(16, 16);
    row.addWidget(status_);
    sample_ = AddLabel("LabSample", "???%", false);
    row.addWidget(sample_);
    EndRow(row);
}

void TSCBattery::ShowCell(int cell) {
    status_->clear();
    if (cell < 0 || cell >= Cells) return;
    cell_ = cell;
    status_->setPixmap(BatteryCell(cell));
}

TSCUptime::TSCUptime(int width, int height, QWidget* parent) : TSCBaseFrame(width, height, parent) {
    days_ = AddLabel("LABDays", "???", true);
    days_->setGeometry(2, 1, width - 4, days_->sizeHint().height());
    time_ = AddLabel("LABTime", "???", true);
    FrameResize();
}

void TSCUptime::resizeEvent(QResizeEvent* event) {
    TSCBaseFrame::resizeEvent(event);
    FrameResize();
}

void TSCUptime::FrameResize() {
    const int h = time_->sizeHint().height();
    time_->setGeometry(2, (panel().height() - h) / 2, panel().width() - 4, h);
}
