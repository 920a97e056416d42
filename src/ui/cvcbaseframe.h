#pragma once
// The boxes of the Exotics page: a face (`panel`) with its caption
// (`LABDesc`) at the bottom, which is the drag handle and carries the popup
// menu, and one class per kind with its value controls.

#include <functional>
#include <string>
#include <vector>

#include <QFrame>
#include <QPoint>

class QLabel;
class QMenu;
class QProgressBar;
class QRubberBand;
class TEnhImage;

class TSCBaseFrame : public QFrame {
public:
    // Pointer travel that still counts as a click.
    static constexpr int DragThreshold = 3;

    // The face is Width x Height pixels.
    TSCBaseFrame(int width, int height, QWidget* parent = nullptr);

    // The value label the periodic handlers write; none for the uptime box.
    virtual QLabel* Sample() { return nullptr; }

    QFrame& panel() { return *panel_; }
    QLabel& LABDesc() { return *desc_; }
    QMenu& PopupMenu() { return *menu_; }
    QMenu& unhide() { return *unhide_; }

    int Index = 0;
    std::string SensorName;
    int ReadingIndex = 0;
    std::function<void(TSCBaseFrame& box)> OnMoved;
    std::function<void(TSCBaseFrame& box)> OnHide;
    std::function<void(TSCBaseFrame& box)> OnUnhide;
    // The boxes the "&Unhide" items may show: the parent's, in order.
    std::function<std::vector<TSCBaseFrame*>()> Siblings;
    // After a drag, where it ended: in LABDesc's coordinates, shifted by the
    // box's position in its parent.
    QPoint DropPoint() const { return last_; }

    void LABDescMouseDown(QPoint pos);
    void LABDescMouseMove(QPoint pos);
    void LABDescMouseUp();
    void HideBoxClick();
    void PopupMenuPopup();
    void unhideClick(int tag);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A value label of the face: bold when Strong.
    QLabel* AddLabel(const char* name, const char* text, bool strong);

private:
    void ShowOutline(QPoint pointer);

    QFrame* panel_ = nullptr;
    QLabel* desc_ = nullptr;
    QMenu* menu_ = nullptr;
    QMenu* unhide_ = nullptr;
    QRubberBand* outline_ = nullptr;
    bool pressed_ = false;
    bool dragging_ = false;
    QPoint press_;
    QPoint offset_;
    QPoint last_;
};

// A box whose face shows one value label.
class TSCValueBox : public TSCBaseFrame {
public:
    TSCValueBox(int width, int height, const char* name, const char* text, QWidget* parent);
    QLabel* Sample() override { return sample_; }

private:
    QLabel* sample_;
};

class TSCTemperature : public TSCBaseFrame {
public:
    TSCTemperature(int width, int height, QWidget* parent = nullptr);
    QLabel* Sample() override { return sample_; }
    // The arrow's cell at the top-left of the image.
    void ShowTrend(int cell);

private:
    QLabel* trend_;
    QLabel* sample_;
};

class TSCFan : public TSCValueBox {
public:
    TSCFan(int width, int height, QWidget* parent = nullptr);
};

class TSCVolt : public TSCValueBox {
public:
    TSCVolt(int width, int height, QWidget* parent = nullptr);
};

class TSCSmartDrive : public TSCBaseFrame {
public:
    TSCSmartDrive(int width, int height, QWidget* parent = nullptr);
    QLabel* Sample() override { return sample_; }

private:
    QLabel* sample_;
};

class TSCUsage : public TSCBaseFrame {
public:
    TSCUsage(int width, int height, QWidget* parent = nullptr);
    QLabel* Sample() override { return sample_; }
    QProgressBar& pb() { return *bar_; }
    void FrameResize();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* sample_;
    QProgressBar* bar_;
};

class TSCFrequency : public TSCValueBox {
public:
    TSCFrequency(int width, int height, QWidget* parent = nullptr);
};

class TSCBattery : public TSCBaseFrame {
public:
    static constexpr int Cells = 4;  // on line, charging, on battery, none or unknown

    TSCBattery(int width, int height, QWidget* parent = nullptr);
    QLabel* Sample() override { return sample_; }
    // Shows cell n of the picture strip.
    void ShowCell(int cell);
    int ShownCell() const { return cell_; }

private:
    QLabel* sample_;
    QLabel* status_;
    int cell_ = -1;
};

class TSCUptime : public TSCBaseFrame {
public:
    TSCUptime(int width, int height, QWidget* parent = nullptr);
    QLabel& LABDays() { return *days_; }
    QLabel& LABTime() { return *time_; }
    void FrameResize();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* days_;
    QLabel* time_;
};
