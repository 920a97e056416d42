#pragma once
// The Temperatures, Fans, Voltages and Speeds tabs: one tree of slots per
// kind over the dialog's working arrays, and a settings panel for the one
// chosen slot. Temperature rows have one child per speed slot, checked when
// the temperature drives it. Rows move by drag and drop, through MoveSlot.

#include <map>
#include <string>
#include <vector>

#include <QAbstractItemModel>
#include <QWidget>

#include "ui/cvconfigmodel.h"

class QCheckBox;
class QLabel;
class QSpinBox;
class QStackedWidget;
class QTreeView;

enum class TSlotTree { Temps, Fans, Volts, Pwms };
enum class TSlotField { Label, Chip, Sensor, Sample, Bus, Address };

struct TSlotColumn {
    const char* Caption;
    int Width;  // 0: the tree's default
    TSlotField Field;
};

class TSlotTreeModel : public QAbstractItemModel {
public:
    TSlotTreeModel(TDlgConfigModel& model, TSlotTree tree, QObject* parent = nullptr);

    static const std::vector<TSlotColumn>& Columns(TSlotTree tree);
    TSlotTree Tree() const { return tree_; }
    std::vector<TUsedData>& Slots();
    const std::vector<TUsedData>& Slots() const;
    // The working arrays were filled anew.
    void Reload();
    // Moves slot D to the place of slot T; a temperature takes its children
    // along, a speed takes every temperature's link to it along.
    bool MoveSlot(int d, int t);
    // The speed tree tells the temperature tree when the speed slots change.
    void SetTemperatureTree(TSlotTreeModel* temps) { temps_ = temps; }
    void SpeedsChanged();

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Column texts are the design captions until the language sets others.
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role) override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

private:
    static constexpr quintptr SlotRow = 0;  // children keep their slot's row + 1
    bool isSlot(const QModelIndex& index) const { return index.isValid() && index.internalId() == SlotRow; }
    std::string text(const TUsedData& data, TSlotField field, bool child) const;
    static int draggedRow(const QMimeData* data);

    TDlgConfigModel& model_;
    TSlotTree tree_;
    TSlotTreeModel* temps_ = nullptr;
    std::map<int, QString> headers_;
};

// The panel handlers of the four tabs, over the working data.
class TConfigSlots {
public:
    explicit TConfigSlots(TDlgConfigModel& model);

    TSlotTreeModel& Model(TSlotTree tree);
    TDlgConfigModel& Data() { return model_; }
    // The chosen slot: the selection holds exactly one row, a slot row; else -1.
    static int SelectedSlot(const QModelIndexList& selectedRows);

    void EDWantedTempChange(int slot, double value);
    void EDWarningTempChange(int slot, double value);
    void CBShowInTrayClick(int slot, bool checked);
    void CBTempLoggedClick(int slot, bool checked) { setLogged(TSlotTree::Temps, slot, checked); }
    void CBFanLoggedClick(int slot, bool checked) { setLogged(TSlotTree::Fans, slot, checked); }
    void CBVoltLoggedClick(int slot, bool checked) { setLogged(TSlotTree::Volts, slot, checked); }
    void CBPwmLoggedClick(int slot, bool checked) { setLogged(TSlotTree::Pwms, slot, checked); }
    void EDMinPwmChange(int slot, const std::string& text);
    void EDMaxPwmChange(int slot, const std::string& text);
    void CBAutoVariateClick(int slot, bool checked);

    // "C (%.0fF)" of a temperature in Celsius.
    static std::string FahrenheitLabel(double celsius);

private:
    TUsedData* editable(TSlotTree tree, int slot);
    void setLogged(TSlotTree tree, int slot, bool checked);

    TDlgConfigModel& model_;
    TSlotTreeModel temps_, fans_, volts_, pwms_;
};

// One slot tab: the tree above its panel, or the hint while no single slot
// row is chosen.
class TSlotsPage : public QWidget {
public:
    TSlotsPage(TConfigSlots& tabs, TSlotTree tree, QWidget* parent = nullptr);
    QTreeView& TreeView() { return *view_; }
    // The selection changed: loads the chosen slot into the panel or hides it.
    void Click();
    bool PanelVisible() const;

private:
    QWidget* buildPanel();
    int selected() const;

    TConfigSlots& slots_;
    TDlgConfigModel& data_;
    TSlotTree tree_;
    QTreeView* view_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QSpinBox* first_ = nullptr;    // desired temperature, or minimum speed
    QSpinBox* second_ = nullptr;   // warning temperature, or maximum speed
    QLabel* firstLabel_ = nullptr;
    QLabel* secondLabel_ = nullptr;
    QCheckBox* flag_ = nullptr;    // show in tray, or automatically variated
    QCheckBox* logged_ = nullptr;
};
