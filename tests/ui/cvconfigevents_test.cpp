#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include "configfixture.h"
#include "core/cvlogsinks.h"
#include "core/cvsmartdisk.h"
#include "disks/cvsmart.h"
#include "support/testmachine.h"
#include "ui/cvconfig.h"
#include "ui/cvconfigevents.h"
#include "ui/cvconfigexchange.h"
#include "ui/uiprompts.h"

namespace {

using uitest::ConfigFixture;

// A S.M.A.R.T. disk sensor whose attribute page holds the ids 9, 0 and 194.
class TFakeDisk : public coretest::TFakeSensor, public TSmartDisk {
public:
    TFakeDisk() : TFakeSensor("Disk", 0, {}) {
        FChipCode = 13;
        page_[TSmartDisk::FirstEntry] = 9;
        page_[TSmartDisk::FirstEntry + 2 * TSmartDisk::EntrySize] = 194;
    }
    std::optional<double> Fitness() const override { return 0.9; }
    std::optional<double> Performance() const override { return 0.8; }
    int GetDriveNumber() const override { return 0; }
    std::string NameText() const override { return "Disk"; }
    std::span<const std::uint8_t> AttributePage() const override { return page_; }
    std::span<const std::uint8_t> ThresholdPage() const override { return page_; }
    std::string Model() const override { return "M"; }
    std::string Firmware() const override { return "F"; }
    std::string Serial() const override { return "S"; }

private:
    std::array<std::uint8_t, 512> page_{};
};

class EventsTab : public ConfigFixture {
protected:
    coretest::TFakeSensor& add(const std::string& chip, std::uint32_t address, const coretest::TFakeReadings& r,
                               const std::string& linkText = "none") {
        auto& sensor = *monitor.Sensors.emplace_back(CreateSensor<coretest::TFakeSensor>(chip, address, r));
        sensor.FLinkText = linkText;
        return static_cast<coretest::TFakeSensor&>(sensor);
    }
    // CPU (temp) of Chip, compared with >= Value, beeping.
    void edit(const std::string& value, int action = 2, const std::string& param = "") {
        tab.Editor = {0, 2, value, action, param, "", 0, 1};
    }
    TEventDef def(int origin, TEventSource type, int reading, TEventAction action, std::string p1 = "",
                  std::string p2 = "") {
        TEventDef d;
        d.Origin = origin;
        d.SourceType = type;
        d.ReadingIdx = reading;
        d.CheckType = ">=";
        d.CheckValue = "60";
        d.Action = action;
        d.ActionPar1 = std::move(p1);
        d.ActionPar2 = std::move(p2);
        return d;
    }

    TDlgConfigModel model;
    TEventsTab tab{model, monitor.Sensors, monitor.Events};
};

TEST_F(EventsTab, LabelsTakeTheFirstDetailNoOtherSensorShares) {
    add("chip", 0x2E, {});
    add("LM75", 0x48, {}, "PIIX4 SMBus 0");
    add("LM75", 0x48, {}, "PIIX4 SMBus 1");
    add("Solo", 0x48, {});
    EXPECT_EQ(tab.BuildSensorLabels(), (std::vector<std::string>{"Chip at $290", "chip at $2E",
                                                                  "LM75 at $48 on PIIX4 SMBus 0",
                                                                  "LM75 at $48 on PIIX4 SMBus 1", "Solo"}));
}

TEST_F(EventsTab, SourcesListEveryReadingThenTheDisksAttributes) {
    add("FanOnly", 0x2F, {{}, {"F9"}, {}, {}});
    add("NotADisk", 0x1, {}).FChipCode = 14;
    monitor.Sensors.push_back(CreateSensor<TFakeDisk>());
    TUsedData slot;
    slot.Name = "Processor";
    slot.SensorIndex = 0;
    slot.ReadingIndex = 1;
    model.Temps = {slot, slot};
    model.Temps[1].Name = "Last one";
    tab.Editor.Source = 3;
    tab.TSEventsShow();
    const std::vector<std::string> expected{
        "Last one (temp) from Chip", "MB (temp) from Chip", "Aux (temp) from Chip", "F1 (fan) from Chip",
        "F2 (fan) from Chip", "Vcore (volt) from Chip", "F9 (fan) from FanOnly",
        SmartAttributeName(9) + " (SMART) from Disk", SmartAttributeName(194) + " (SMART) from Disk",
        "Fitness (SMART) from Disk", "Performance (SMART) from Disk"};
    EXPECT_EQ(tab.SourceItems, expected);
    ASSERT_EQ(tab.EventSources.size(), expected.size());
    EXPECT_EQ(tab.EventSources[6], (TEventSourceItem{1, TEventSource::Fan, 1}));
    EXPECT_EQ(tab.EventSources[8], (TEventSourceItem{3, TEventSource::Smart, 194}));
    EXPECT_EQ(tab.EventSources[10], (TEventSourceItem{3, TEventSource::Smart, 514}));
    EXPECT_EQ(tab.Editor.Source, 3);  // kept over the rebuild
}

TEST_F(EventsTab, RowTexts) {
    struct Case {
        TEventDef Def;
        TEventRow Row;
    };
    const Case cases[] = {
        {def(0, TEventSource::Temp, 2, TEventAction::Execute, "notepad.exe", "log.txt"),
         {"MB", "temp", "Chip", ">=60", "EXEC \"notepad.exe,log.txt\""}},
        {def(0, TEventSource::Fan, 1, TEventAction::Execute, "a.exe"), {"F1", "fan", "Chip", ">=60", "EXEC \"a.exe\""}},
        {def(0, TEventSource::Volt, 1, TEventAction::PopupMsg, "hot"), {"Vcore", "volt", "Chip", ">=60", "POPUP \"hot\""}},
        {def(0, TEventSource::Temp, 1, TEventAction::Beep, "ignored"), {"CPU", "temp", "Chip", ">=60", "BEEP"}},
        {def(0, TEventSource::Smart, 194, TEventAction::SendMail, "Disk", "home"),
         {SmartAttributeName(194), "SMART", "Chip", ">=60", "SENDMAIL \"Disk\",\"home\""}},
        {def(5, TEventSource::Temp, 1, TEventAction::Beep), {"?", "temp", "?", ">=60", "BEEP"}},
    };
    for (const Case& c : cases) EXPECT_EQ(tab.FillEventRow(c.Def), c.Row);
}

TEST_F(EventsTab, Validity) {
    tab.TSEventsShow();
    const std::string notANumber = "ERROR : the value must be a number, such as 60 or -2.5";
    struct Case {
        std::string Value;
        int Action;
        std::string Param;
        bool Valid;
        std::string Reason;
    };
    const Case cases[] = {
        {"60", 2, "", true, ""},  // beep needs no parameter
        {"60", 0, "", false, ""},  // execute does
        {"60", 1, "hot", true, ""},
        {"-5", 2, "", true, ""},
        {"+5", 2, "", true, ""},
        {"60.5", 2, "", true, ""},
        {"", 2, "", false, ""},
        // The parser would stop at the first text it cannot read and
        // compare with 60 alone, or with something else than written.
        {"60)", 2, "", false, notANumber},
        {"60 60", 2, "", false, notANumber},
        {"60 or 1", 2, "", false, notANumber},
        {"abc", 2, "", false, notANumber},
        {"60+", 2, "", false, notANumber},
        {"(60", 2, "", false, notANumber},
        {"6,5", 2, "", false, notANumber},
        {"1e3", 2, "", false, notANumber},
        {"-", 2, "", false, notANumber},
        {"60)", 0, "", false, notANumber},  // said also while the editor is incomplete
    };
    for (const Case& c : cases) {
        edit(c.Value, c.Action, c.Param);
        tab.CheckValidEvent();
        EXPECT_EQ(tab.AddEnabled, c.Valid) << c.Value;
        EXPECT_EQ(tab.Validity, c.Reason) << c.Value;
    }
    tab.Editor.Source = -1;
    EXPECT_FALSE(tab.IsEventValid());
}

TEST_F(EventsTab, LimitsTakeTheUsersDecimalSeparatorAndReachTheConditionWithAPoint) {
    platform::LocaleInfo locale = machine_->locale();
    locale.decimalSeparator = ',';
    machine_->setLocale(locale);
    tab.TSEventsShow();
    edit("60.5");
    tab.CheckValidEvent();
    EXPECT_FALSE(tab.AddEnabled);
    EXPECT_EQ(tab.Validity, "ERROR : the value must be a number, such as 60 or -2,5");
    edit("-60,5");
    tab.CheckValidEvent();
    ASSERT_TRUE(tab.AddEnabled);
    tab.BTNAddEventClick();
    ASSERT_EQ(model.Events.size(), 1u);
    EXPECT_EQ(model.Events[0].CheckValue, "-60.5");
    EXPECT_EQ(EventToCondition(model.Events[0]), "sensor[0].temp[1].value>=-60.5");
    tab.LVEventsClick(0);
    EXPECT_EQ(tab.Editor.Value, "-60,5");
    EXPECT_TRUE(tab.UpdateEnabled);
}

// A file may hold what the parser accepts; such a row loads as stored and
// must be mended before Update.
TEST_F(EventsTab, AStoredLimitThatIsNoNumberLoadsAsStored) {
    tab.TSEventsShow();
    model.Events.push_back(def(0, TEventSource::Temp, 1, TEventAction::Beep));
    model.Events[0].CheckValue = "60 or 1";
    tab.LVEventsClick(0);
    EXPECT_EQ(model.SelectedEvent, 0);
    EXPECT_EQ(tab.Editor.Value, "60 or 1");
    EXPECT_FALSE(tab.UpdateEnabled);
    tab.Editor.Value = "61";
    tab.CheckValidEvent();
    EXPECT_TRUE(tab.UpdateEnabled);
}

TEST_F(EventsTab, RowsAddUpdateAndRemoveWhileOkWaitsForALoadedRow) {
    tab.TSEventsShow();
    for (const char* value : {"50", "60", "70"}) {
        edit(value);
        tab.CheckValidEvent();
        ASSERT_TRUE(tab.AddEnabled);
        tab.BTNAddEventClick();
        EXPECT_FALSE(tab.AddEnabled);  // the editor was emptied
        EXPECT_EQ(tab.Editor.Source, -1);
    }
    ASSERT_EQ(model.Events.size(), 3u);
    EXPECT_EQ(model.Events[2].CheckValue, "70");
    EXPECT_EQ(model.Events[2].VerifiedFor, 1);

    tab.LVEventsClick(1);
    EXPECT_EQ(model.SelectedEvent, 1);
    EXPECT_FALSE(tab.OkEnabled());
    EXPECT_TRUE(tab.UpdateEnabled);
    EXPECT_EQ(tab.Editor.Value, "60");
    EXPECT_EQ(tab.Editor.Comparison, 2);
    tab.Editor.Value = "65";
    tab.BTNUpdateEventClick();
    EXPECT_TRUE(tab.OkEnabled());
    EXPECT_FALSE(tab.UpdateEnabled);
    EXPECT_EQ(model.Events[1].CheckValue, "65");
    EXPECT_EQ(model.Events.size(), 3u);

    tab.LVEventsClick(2);
    tab.BTNDelEventClick(0);
    EXPECT_TRUE(tab.OkEnabled());
    ASSERT_EQ(model.Events.size(), 2u);
    EXPECT_EQ(model.Events[0].CheckValue, "65");
    EXPECT_EQ(model.Events[1].CheckValue, "70");
    tab.BTNDelEventClick(2);  // no such row
    EXPECT_EQ(model.Events.size(), 2u);

    model.Events.push_back(def(7, TEventSource::Temp, 1, TEventAction::Beep));
    tab.LVEventsClick(2);  // no source matches: nothing loaded
    EXPECT_EQ(model.SelectedEvent, -1);
    EXPECT_EQ(tab.Editor.Source, -1);
    tab.LVEventsClick(0);
    tab.BTNClearEventClick();
    EXPECT_TRUE(tab.OkEnabled());
    EXPECT_EQ(tab.Editor.Value, "");
}

// The real path: the Configure button's dialog, edited through its widgets
// and confirmed; the events compile and the files carry the controller.
TEST_F(ConfigFixture, EventsAndAFanControllerEditedInTheDialogReachTheMonitorAndTheFiles) {
    TLogBoxRecorder boxes;
    monitor.Log.SetBoxes(&boxes);
    TEventDef broken;
    broken.Origin = 0;
    broken.CheckType = ">=";
    broken.CheckValue = "(60";
    monitor.Events.Events.resize(2);
    monitor.Events.Events[0].Def = broken;
    monitor.Events.Events[1].Def = broken;
    monitor.Events.Events[1].Def.CheckValue = "abc";

    TScriptedPrompts prompts;
    prompts.OnInput = [](const std::string&) { return std::optional<std::string>("Case"); };
    prompts.OnModal = [](QDialog& dialog) {
        auto& config = static_cast<TDlgConfig&>(dialog);
        config.Tabs().setCurrentWidget(config.Tab("TSEvents"));
        QWidget* page = config.Tab("TSEvents");
        page->findChild<QComboBox*>("CBEvtSensorID")->setCurrentIndex(1);
        page->findChild<QComboBox*>("CBEvtComp1")->setCurrentIndex(3);
        page->findChild<QLineEdit*>("EDEvtComp1")->setText("40");
        page->findChild<QComboBox*>("CBEvtAction")->setCurrentIndex(1);
        page->findChild<QLineEdit*>("EDEvtParam1")->setText("warm");
        page->findChild<QPushButton*>("BTNAddEvent")->click();

        config.Tabs().setCurrentWidget(config.Tab("TSFanControl"));
        QWidget* fans = config.Tab("TSFanControl");
        fans->findChild<QCheckBox*>("CBAdvFanControl")->click();
        fans->findChild<QPushButton*>("BTNFCntrlAdd")->click();
        config.FanControl().LBFanControllersClick(0);
        fans->findChild<QComboBox*>("CBFanControlMethod")->setCurrentIndex(1);
        return int{TUiPrompts::Accepted};
    };
    BTNConfigClick(monitor, prompts, nullptr);

    const auto& events = monitor.Events.Events;
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].CompileState, TEventCompileState::ParseError);
    EXPECT_EQ(events[1].CompileState, TEventCompileState::EvalError);
    EXPECT_EQ(events[2].CompileState, TEventCompileState::Compiled);
    EXPECT_EQ(events[2].Condition, "sensor[0].temp[2].value>40");
    EXPECT_EQ(events[2].Def.Action, TEventAction::PopupMsg);
    const auto starts = [&boxes](const std::string& prefix) {
        return std::any_of(boxes.Info.begin(), boxes.Info.end(),
                           [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    };
    EXPECT_TRUE(starts("Error compiling SIMPLE EVENT (parse) : |sensor[0].temp[1].value>=(60| -> "));
    EXPECT_TRUE(starts("Error compiling SIMPLE EVENT (eval) : |sensor[0].temp[1].value>=abc| -> "));

    ASSERT_EQ(monitor.FanControllers.size(), 1u);
    EXPECT_EQ(monitor.FanControllers[0].Name, "Case");
    EXPECT_EQ(monitor.FanControllers[0].ControlMethod, 1);
    EXPECT_TRUE(monitor.Options.AdvFanSpeed);
    const std::string sensorsFile = testsupport::readFile(file("caldavorsens.cfg"));
    EXPECT_NE(sensorsFile.find("xxx FanController 0"), std::string::npos);
    EXPECT_NE(sensorsFile.find("name=Case"), std::string::npos);
    EXPECT_NE(sensorsFile.find("method=1"), std::string::npos);
    monitor.Log.SetBoxes(nullptr);
}

}  // namespace
