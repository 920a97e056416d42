#pragma once
// The configuration dialog "Configure": twelve tabs over one window-free
// model (TDlgConfigModel). Built by the main window's exchange, which fills
// the model, shows it and reads it back on OK.

#include <array>
#include <memory>

#include <QDialog>

#include "ui/cvconfigevents.h"
#include "ui/cvconfigfans.h"
#include "ui/cvconfigmodel.h"
#include "ui/cvconfigoptions.h"
#include "ui/cvconfigslots.h"
#include "ui/cvcontrolbinder.h"
#include "ui/formstorage.h"

class QTabWidget;
class TMonitor;
class TUiPrompts;

class TDlgConfig : public QDialog {
public:
    static constexpr int Width = 650, Height = 480;

    // Runs FormCreate; the model is empty until the exchange fills it.
    // Prompts answers the tabs' input boxes and pickers; the real boxes
    // when null.
    TDlgConfig(TMonitor& monitor, QWidget* parent = nullptr, TUiPrompts* prompts = nullptr);
    ~TDlgConfig() override;

    TDlgConfigModel& Model() { return model_; }
    TConfigSlots& SlotTabs() { return slots_; }
    TSlotsPage& SlotsPage(TSlotTree tree) { return *slotPages_[static_cast<std::size_t>(tree)]; }
    TAdvancedProps& Advanced() { return advanced_; }
    TFanControlTab& FanControl() { return fans_; }
    TEventsTab& EventsTab() { return events_; }
    QTabWidget& Tabs() { return *tabs_; }
    // The page of a tab by its object name ("TSEvents"), for the tabs that
    // other units fill.
    QWidget* Tab(const char* name) const;

    // Shows the model in every control, running no change handler.
    void ShowModel();
    void FormCloseQuery() { model_.FormCloseQuery(); }
    // Opens the help page of the nearest help context around the focus.
    void ShowHelp();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    void addTab(QWidget* page, const char* name, const char* caption, int helpContext = 0);

    TMonitor& monitor_;
    std::unique_ptr<TUiPrompts> ownPrompts_;
    TUiPrompts& prompts_;
    TDlgConfigModel model_;
    TControlBinder binder_;
    TConfigSlots slots_{model_};
    TAdvancedProps advanced_;
    TFanControlTab fans_;
    TEventsTab events_;
    std::array<TSlotsPage*, 4> slotPages_{};
    TAdvancedPage* advancedPage_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    TFormStorage storage_;
};
