#include <gtest/gtest.h>

#include "configfixture.h"
#include "core/cvoptions.h"
#include "core/cvsensorsfile.h"
#include "hw/cvlink.h"
#include "platform/platform.h"
#include "support/testmachine.h"
#include "ui/cvconfigexchange.h"

namespace {

using uitest::ConfigFixture;

TFanController Controller(const std::string& name) {
    TFanController controller;
    controller.Name = name;
    return controller;
}

class Exchange : public ConfigFixture {
protected:
    TDlgConfigModel Filled() {
        TDlgConfigModel model;
        model.FormCreate("");
        FillConfigDialog(monitor, model);
        return model;
    }
};

TEST_F(Exchange, FillingCopiesTheSlotsWithTheirDisplayTexts) {
    monitor.Slots.TempSlots[0].UsedPwms = {2, 3};
    const TDlgConfigModel model = Filled();
    EXPECT_TRUE(model.DataReady);
    ASSERT_EQ(model.Temps.size(), monitor.Slots.TempSlots.size());
    const TUsedData& cpu = model.Temps[0];
    EXPECT_EQ(cpu.Name, "CPU");
    EXPECT_EQ(cpu.ChipText, "Chip");
    EXPECT_EQ(cpu.ReadingText, "CPU");
    EXPECT_EQ(cpu.ValueText, "45C");
    EXPECT_EQ(cpu.AddressText, "$290");
    EXPECT_EQ(cpu.ControlsSpeed, (std::vector<bool>{false, true, true}));
    EXPECT_EQ(model.Speeds[1].ValueText, "50");
    EXPECT_EQ(model.Fans[0].ValueText, "0 RPM");
    EXPECT_EQ(model.Volts[0].ValueText, "0.00V");
    // The mail tab starts with the default profile.
    ASSERT_EQ(model.MailProfiles.size(), 1u);
    EXPECT_EQ(model.MailProfiles[0].ProfileName, "default");
    EXPECT_EQ(model.Mail.Edits.SmtpPort, "25");
    EXPECT_EQ(model.Mail.Edits.PopPort, "110");
}

TEST_F(Exchange, ADrivenSpeedBeyondTheSpeedSlotsIsDroppedWithATraceLine) {
    monitor.Slots.TempSlots[0].UsedPwms = {1, 9};
    const TDlgConfigModel model = Filled();
    EXPECT_EQ(model.Temps[0].ControlsSpeed, (std::vector<bool>{true, false, false}));
    const auto trace = testsupport::traceLines(file("debug.nfo"));
    EXPECT_NE(std::find(trace.begin(), trace.end(), "Driven speed 9 of CPU beyond the 3 speed slots dropped"),
              trace.end());
}

TEST_F(Exchange, CancelChangesNothingButRunsTheClosingSteps) {
    const auto slotsBefore = monitor.Slots.TempSlots[1].Name;
    const TOptions optionsBefore = monitor.Options;
    TDlgConfigModel model = Filled();
    model.Temps[1].Name = "Renamed";
    model.Options.Celsius = false;
    model.Log.Enabled = true;
    model.MailProfiles[0].SmtpHost = "mail.example";
    model.FanCtrls.push_back(Controller("new"));
    model.FormCloseQuery();

    const auto& pwm = *chip->GetPwm(1).Stats;
    const int readsBefore = pwm.FCount;
    const std::uint64_t start = platform::current().clock().monotonicMs();
    monitor.DutyEdits.SuppressPwmWrite = false;
    CloseConfigDialog(monitor);

    EXPECT_EQ(monitor.Slots.TempSlots[1].Name, slotsBefore);
    EXPECT_EQ(monitor.Options, optionsBefore);
    EXPECT_FALSE(LogOptions.Enabled);
    EXPECT_TRUE(MailProfileList.empty());
    EXPECT_TRUE(monitor.FanControllers.empty());
    EXPECT_FALSE(exists(OptionsFileName));
    EXPECT_FALSE(exists(SensorsFileName));
    EXPECT_FALSE(exists(EventsFileName));
    EXPECT_EQ(pwm.FCount, readsBefore + 1);
    EXPECT_EQ(platform::current().clock().monotonicMs() - start, 100u);
    EXPECT_EQ(window.Charts, 1);
    EXPECT_EQ(window.ExoticRebuilds, 1);
    EXPECT_EQ(window.TrayIconsFreed, 0);
    EXPECT_FALSE(monitor.DutyEdits.SuppressPwmWrite);
}

TEST_F(Exchange, OkCopiesBackWritesTheFilesAndRearmsTheDividers) {
    auto link = std::make_unique<TLink>(0, LinkKinds::SMBus, HostKinds::IntelMCH, 0x500, 0);
    TLink& registered = *link;
    Links().push_back(std::move(link));
    registered.SetDebugMode(true);
    monitor.TickDividers.FanCounter = monitor.TickDividers.VoltCounter = monitor.TickDividers.SlowCounter = 0;

    TDlgConfigModel model = Filled();
    model.Temps[0].ControlsSpeed = {true, true, false};
    model.Speeds[1].Active = false;  // the link to it goes
    model.Options.Celsius = false;
    model.Options.DebugMode = false;
    model.Options.FanDelta = 7;
    model.FanCtrls.push_back(Controller("one"));
    model.FanCtrls.push_back(Controller("two"));
    model.AdvFanSpeed = true;
    model.Events.push_back(TEventDef{0, TEventSource::Temp, 1, ">", "70", TEventAction::Beep, "", "", 10, 1});
    ReadBackConfigDialog(monitor, model);

    EXPECT_EQ(monitor.Slots.TempSlots[0].UsedPwms, (std::vector<int>{1}));
    EXPECT_FALSE(monitor.Slots.PwmSlots[1].Active);
    EXPECT_FALSE(monitor.Options.UseCelsius);
    EXPECT_EQ(window.TrayIconsFreed, 1);
    EXPECT_EQ(monitor.Options.FanDelta, 7);
    EXPECT_FALSE(registered.DebugMode());
    EXPECT_EQ(monitor.FanControllers.size(), 2u);
    EXPECT_TRUE(monitor.Options.AdvFanSpeed);
    ASSERT_EQ(monitor.Events.Events.size(), 1u);
    EXPECT_EQ(monitor.Events.Events[0].Condition, "sensor[0].temp[1].value>70");
    EXPECT_EQ(MailProfileList.size(), 1u);
    EXPECT_TRUE(exists(OptionsFileName));
    EXPECT_TRUE(exists(SensorsFileName));
    EXPECT_TRUE(exists(EventsFileName));
    EXPECT_EQ(monitor.TickDividers.FanCounter, TTickDividers::MaxInt);
    EXPECT_EQ(monitor.TickDividers.VoltCounter, TTickDividers::MaxInt);
    EXPECT_EQ(monitor.TickDividers.SlowCounter, TTickDividers::MaxInt);
    const auto trace = testsupport::traceLines(file("debug.nfo"));
    EXPECT_NE(std::find(trace.begin(), trace.end(), "DLGCONFIG-exit : Found 2 Fan Controllers"), trace.end());
    Links().clear();
}

TEST_F(Exchange, WithoutAnXapSenderTheXapTabStoresNothing) {
    TDlgConfigModel model = Filled();
    EXPECT_FALSE(model.Xap.Enabled);
    EXPECT_EQ(model.Xap.UID, "FF671100");
    EXPECT_EQ(model.Xap.HostName, "thispc");
    model.Xap.Enabled = true;
    model.Xap.UID = "12345678";
    ReadBackConfigDialog(monitor, model);  // nothing to store into, nothing breaks
}

TEST_F(Exchange, XapValuesTravelBothWays) {
    coretest::TFakeXap xap;
    xap.Values = {true, 0xAB, "pc", "127.0.0.1", "127.0.0.255"};
    monitor.Xap = &xap;
    TDlgConfigModel model = Filled();
    EXPECT_TRUE(model.Xap.Enabled);
    EXPECT_EQ(model.Xap.UID, "000000AB");
    EXPECT_EQ(model.Xap.BroadcastIP, "127.0.0.255");

    struct TCase {
        const char* Typed;
        std::uint32_t Stored;
    };
    for (const TCase& c : {TCase{"000000AB", 0xAB}, TCase{"DEADBEEF", 0xDEADBEEF}, TCase{"GHIJKLMN", 0xFF671100},
                           TCase{"", 0xFF671100}}) {
        model.Xap.UID = c.Typed;
        model.Xap.Enabled = false;
        model.Xap.HostName = "other";
        ReadBackConfigDialog(monitor, model);
        EXPECT_EQ(xap.Values.UID, c.Stored) << c.Typed;
        EXPECT_FALSE(xap.Values.Enabled);
        EXPECT_EQ(xap.Values.HostName, "other");
    }
    monitor.Xap = nullptr;
}

TEST_F(Exchange, AutoFanSpeedSavesUnlessSuppressed) {
    monitor.DutyEdits.SuppressPwmWrite = true;
    CBAutoFanSpeedClick(monitor, false);
    EXPECT_FALSE(monitor.Options.AutoFanSpeed);
    EXPECT_FALSE(exists(OptionsFileName));
    monitor.DutyEdits.SuppressPwmWrite = false;
    CBAutoFanSpeedClick(monitor, true);
    EXPECT_TRUE(exists(OptionsFileName));
}

}  // namespace
