#pragma once
// Controls that fit their text: the pixel sizes of the forms are where they
// start, and nothing a user must read is cut while the window has room.

#include <QComboBox>
#include <QObject>

class QLineEdit;
class QString;
class QTreeView;

// The width a line edit needs to show Text whole, frame and margins included.
int LineEditWidthFor(const QLineEdit& edit, const QString& text);

// Widens the columns of a view to their content whenever the contents of
// all columns fit the view side by side, taking the room from columns wider
// than their content, when the view is shown or resized and when Fit is
// called after new rows. A column the user sized keeps the user's width.
class TColumnFitter : public QObject {
public:
    explicit TColumnFitter(QTreeView& view);
    void Fit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeView& view_;
    QWidget* viewport_;
    QList<int> userSized_;
    bool fitting_ = false;
};

// A drop-down list that keeps its size whatever its items hold: a current
// text too long for the box ends in "..." and is whole in the tooltip.
class TElidingComboBox : public QComboBox {
public:
    explicit TElidingComboBox(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
