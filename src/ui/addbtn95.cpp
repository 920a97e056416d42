#include "ui/addbtn95.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionButton>

std::uint32_t CheckBox95Style(std::uint32_t inherited, const TCheckBox95Props& props) {
    std::uint32_t style = inherited & ~std::uint32_t{0x0F20};
    switch (props.VerticalAlignment) {
    case TVAlignment::vaTop: style |= bs::TOP; break;
    case TVAlignment::vaBottom: style |= bs::BOTTOM; break;
    case TVAlignment::vaCenter: style |= bs::VCENTER; break;
    }
    if (props.AlignmentBtn == TAlignment::taRightJustify) style |= bs::LEFTTEXT;
    switch (props.Alignment) {
    case TAlignment::taLeftJustify: style |= bs::LEFT; break;
    case TAlignment::taRightJustify: style |= bs::RIGHT; break;
    case TAlignment::taCenter: style |= bs::CENTER; break;
    }
    if (props.LikePushButton) style |= bs::PUSHLIKE;
    if (props.WordWrap) style |= bs::MULTILINE;
    return style;
}

TCheckBox95::TCheckBox95(const QString& text, QWidget* parent) : QCheckBox(parent) {
    // The text lives in a label so it can wrap; clicks on it reach the box.
    label_ = new QLabel(text, this);
    label_->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Translation finds the text by the label's name: "CBDellFans" gives "LABDellFans".
    connect(this, &QObject::objectNameChanged, label_, [this](const QString& name) {
        label_->setObjectName("LAB" + (name.startsWith("CB") ? name.mid(2) : name));
    });
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label_);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    applyLook();
}

QString TCheckBox95::Caption() const { return label_->text(); }

template <typename T>
void TCheckBox95::set(T TCheckBox95Props::*field, T value) {
    if (props_.*field == value) return;
    props_.*field = value;
    applyLook();
}

void TCheckBox95::SetAlignment(TAlignment value) { set(&TCheckBox95Props::Alignment, value); }
void TCheckBox95::SetAlignmentBtn(TAlignment value) { set(&TCheckBox95Props::AlignmentBtn, value); }
void TCheckBox95::SetLikePushButton(bool value) { set(&TCheckBox95Props::LikePushButton, value); }
void TCheckBox95::SetVerticalAlignment(TVAlignment value) { set(&TCheckBox95Props::VerticalAlignment, value); }
void TCheckBox95::SetWordWrap(bool value) { set(&TCheckBox95Props::WordWrap, value); }

int TCheckBox95::indicatorWidth() const {
    QStyleOptionButton option;
    option.initFrom(this);
    return style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this) +
           style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this);
}

void TCheckBox95::applyLook() {
    ++applied_;
    const std::uint32_t style = CheckBox95Style(0, props_);
    Qt::Alignment alignment = (style & bs::CENTER) == bs::CENTER ? Qt::AlignHCenter
                              : (style & bs::RIGHT)              ? Qt::AlignRight
                                                                 : Qt::AlignLeft;
    alignment |= (style & bs::VCENTER) == bs::VCENTER ? Qt::AlignVCenter
                 : (style & bs::BOTTOM)              ? Qt::AlignBottom
                                                     : Qt::AlignTop;
    label_->setAlignment(alignment);
    label_->setWordWrap(style & bs::MULTILINE);
    setLayoutDirection((style & bs::LEFTTEXT) ? Qt::RightToLeft : Qt::LeftToRight);
    label_->setLayoutDirection(Qt::LeftToRight);
    setStyleSheet((style & bs::PUSHLIKE) ? "TCheckBox95 { border: 1px outset gray; border-radius: 3px; }"
                                         : QString());
    const int indent = indicatorWidth();
    layout()->setContentsMargins((style & bs::LEFTTEXT) ? 0 : indent, 0, (style & bs::LEFTTEXT) ? indent : 0, 0);
    updateGeometry();
}

QSize TCheckBox95::sizeHint() const {
    const QSize text = label_->sizeHint();
    return {text.width() + indicatorWidth(), std::max(text.height(), QCheckBox::sizeHint().height())};
}

QSize TCheckBox95::minimumSizeHint() const { return {indicatorWidth() + 40, QCheckBox::minimumSizeHint().height()}; }

int TCheckBox95::heightForWidth(int width) const {
    return std::max(label_->heightForWidth(std::max(1, width - indicatorWidth())), QCheckBox::sizeHint().height());
}
