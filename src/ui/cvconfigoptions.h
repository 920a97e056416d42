#pragma once
// The Options, Log and Advanced tabs. Options and Log show the working
// values the exchange fills and reads back; Advanced reads and sets the
// running sensors' chip properties at once and keeps the "remember it"
// entries of StickyProps, which Cancel does not undo.

#include <functional>
#include <string>
#include <vector>

#include <QWidget>

#include "core/cvreadingslots.h"
#include "ui/cvconfigmodel.h"

class QCheckBox;
class QComboBox;
class QTreeWidget;
class TControlBinder;

QWidget* BuildOptionsTab(TDlgConfigModel& model, TControlBinder& binder);
// Help opens a help context (the log options' help button: 1115).
QWidget* BuildLogTab(TDlgConfigModel& model, TControlBinder& binder, std::function<void(int context)> help);

// The Advanced tab without widgets.
class TAdvancedProps {
public:
    struct TRow {
        std::string Name;
        std::string Value;
    };

    explicit TAdvancedProps(TSensorList& sensors) : sensors_(sensors) {}

    // The chip list: one line per sensor, "%s at $%x on %s".
    std::vector<std::string> ChipLines() const;
    void CBAdvChipChange(int chip);
    void LVPropsClick(int row);
    void CBEditPropertyChange(int option);
    void CBRestorePropClick(bool checked);
    // The first entry for that sensor and property; Remove deletes it.
    static bool FindStickyProp(const std::string& sensorUid, int propId, bool remove);
    void UpdateStickyProp();

    int Chip = -1;
    std::vector<TRow> Rows;
    int Row = -1;
    std::vector<std::string> Options;  // "Set to"
    int Option = -1;
    bool Remember = false;
    bool RememberEnabled = false;
    bool Updating = false;

private:
    TSensor* chosen() const;

    TSensorList& sensors_;
};

class TAdvancedPage : public QWidget {
public:
    TAdvancedPage(TAdvancedProps& props, QWidget* parent = nullptr);
    // Shows the model's state in the controls.
    void Refresh();

private:
    TAdvancedProps& props_;
    QComboBox* chips_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QComboBox* setTo_ = nullptr;
    QCheckBox* remember_ = nullptr;
};
