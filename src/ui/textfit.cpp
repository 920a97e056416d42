#include "ui/textfit.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include <QEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QStylePainter>
#include <QTreeView>

namespace {
// QLineEdit's own room on either side of its text.
constexpr int LineEditSideMargin = 2;
}  // namespace

int LineEditWidthFor(const QLineEdit& edit, const QString& text) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.lineWidth = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit) : 0;
    const QMargins textMargins = edit.textMargins(), contents = edit.contentsMargins();
    const int inner = edit.fontMetrics().horizontalAdvance(text) + 2 * LineEditSideMargin + textMargins.left() +
                      textMargins.right() + contents.left() + contents.right();
    const int height = edit.fontMetrics().height();
    return edit.style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(inner, height), &edit).width();
}

TColumnFitter::TColumnFitter(QTreeView& view) : QObject(&view), view_(view), viewport_(view.viewport()) {
    viewport_->installEventFilter(this);
    QHeaderView* header = view.header();
    connect(header, &QHeaderView::sectionResized, this, [this](int column) {
        if (!fitting_ && !userSized_.contains(column)) userSized_.append(column);
    });
}

bool TColumnFitter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewport_ && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) Fit();
    return false;
}

void TColumnFitter::Fit() {
    const QHeaderView& header = *view_.header();
    const int count = header.count();
    // The stretched last column takes what is left; it is no column to fit.
    const int fitted = header.stretchLastSection() ? count - 1 : count;
    std::vector<int> needed(static_cast<std::size_t>(std::max(fitted, 0))), widths(needed.size());
    for (int column = 0; column < fitted; ++column) {
        const auto at = static_cast<std::size_t>(column);
        widths[at] = view_.columnWidth(column);
        const bool keep = header.isSectionHidden(column) || userSized_.contains(column);
        needed[at] = keep ? widths[at]
                          : std::max(static_cast<const QAbstractItemView&>(view_).sizeHintForColumn(column),
                                     header.sectionSizeHint(column));
    }
    const int room = view_.viewport()->width() - (fitted < count ? header.sectionSizeHint(count - 1) : 0);
    if (std::accumulate(needed.begin(), needed.end(), 0) > room) return;
    std::vector<int> target(needed.size());
    for (std::size_t c = 0; c < needed.size(); ++c) target[c] = std::max(widths[c], needed[c]);
    // Room for a widened column comes from the spare width of the last ones.
    int excess = std::accumulate(target.begin(), target.end(), 0) - room;
    for (std::size_t c = target.size(); c-- > 0 && excess > 0;) {
        const int give = std::min(excess, target[c] - needed[c]);
        target[c] -= give;
        excess -= give;
    }
    fitting_ = true;
    for (int column = 0; column < fitted; ++column)
        if (view_.columnWidth(column) != target[static_cast<std::size_t>(column)])
            view_.setColumnWidth(column, target[static_cast<std::size_t>(column)]);
    fitting_ = false;
}

TElidingComboBox::TElidingComboBox(QWidget* parent) : QComboBox(parent) {
    // The size hint no longer follows the longest item.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(12);
}

void TElidingComboBox::paintEvent(QPaintEvent*) {
    // Here rather than on a change signal, which the pages block while they fill.
    if (toolTip() != currentText()) setToolTip(currentText());
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const int icon = option.currentIcon.isNull() ? 0 : option.iconSize.width() + 4;
    option.currentText = fontMetrics().elidedText(option.currentText, Qt::ElideRight, field.width() - icon);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
