#include <gtest/gtest.h>

#include <stdexcept>

#include "core/cvlogsinks.h"
#include "core/cvreadingslots.h"
#include "coretest.h"
#include "fakesensor.h"

namespace {

using coretest::AddFakeSensor;
using coretest::TFakeReadings;

class ReadingSlots : public coretest::CoreTest {
protected:
    ReadingSlots() {
        log.SetBoxes(&boxes);
        metrics.TextWidth = [](const std::string& text) { return static_cast<int>(text.size()) * 7; };
        metrics.TempNameLeft = 8;
        metrics.FanNameLeft = 200;
        metrics.PwmNameLeft = 400;
        metrics.VoltNameLeft = 600;
        metrics.PwmEditWidth = 40;
    }

    void Parse() { slots.PARSEUSED(sensors, inUse, metrics, log, edits); }

    TSensorList sensors;
    TReadingSlots slots;
    std::vector<bool> inUse;
    TLayoutMetrics metrics;
    TLogBoxRecorder boxes;
    TLogSinks log;
    TDutyEdits edits;
};

TEST_F(ReadingSlots, TwoSensorsGiveNamedSlotsBoundInDetectionOrder) {
    AddFakeSensor(sensors, "A", {{"CPU", "System", "Aux"}, {"CPU Fan"}, {"Pwm1", "Pwm2"}, {}});
    AddFakeSensor(sensors, "B", {{"GPU", "Disk"}, {"Fan1", "Fan2"}, {}, {"Vcore"}});

    slots.BuildReadingSlots(sensors);
    ASSERT_EQ(slots.TempSlots.size(), 5u);
    ASSERT_EQ(slots.FanSlots.size(), 3u);
    ASSERT_EQ(slots.PwmSlots.size(), 2u);
    ASSERT_EQ(slots.VoltSlots.size(), 1u);
    EXPECT_EQ(slots.TempSlots[4].Name, "Temp05");
    EXPECT_EQ(slots.FanSlots[0].Name, "Fan01");
    EXPECT_EQ(slots.PwmSlots[1].Name, "Speed02");
    EXPECT_EQ(slots.VoltSlots[0].Name, "Volt01");
    for (std::size_t i = 0; i < slots.TempSlots.size(); ++i) {
        const auto& t = slots.TempSlots[i];
        EXPECT_EQ(t.Wanted, 40);
        EXPECT_EQ(t.Warning, 50);
        EXPECT_EQ(t.Offset, 0);
        EXPECT_EQ(t.InTray, i == 0);
        EXPECT_TRUE(t.Active);
        EXPECT_FALSE(t.Logged);
        EXPECT_EQ(t.SensorIndex, -1);
    }
    for (const auto& p : slots.PwmSlots) {
        EXPECT_EQ(p.MinPercent, 0);
        EXPECT_EQ(p.MaxPercent, 100);
        EXPECT_FALSE(p.Variate);
    }

    slots.AutoAssociate(sensors);
    const std::pair<int, int> temps[] = {{0, 1}, {0, 2}, {0, 3}, {1, 1}, {1, 2}};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(slots.TempSlots[i].SensorIndex, temps[i].first) << i;
        EXPECT_EQ(slots.TempSlots[i].ReadingIndex, temps[i].second) << i;
    }
    EXPECT_EQ(slots.TempSlots[3].Name, "GPU");
    EXPECT_EQ(slots.FanSlots[2].Name, "Fan2");
    EXPECT_EQ(slots.FanSlots[2].SensorIndex, 1);
    EXPECT_EQ(slots.FanSlots[2].ReadingIndex, 2);
    EXPECT_EQ(slots.VoltSlots[0].SensorIndex, 1);
    EXPECT_EQ(slots.PwmSlots[1].ReadingIndex, 2);
}

TEST_F(ReadingSlots, SlotsThatExistAreKeptAndRenamedAndExtraSlotsWrapAround) {
    AddFakeSensor(sensors, "A", {{"T1", "T2"}, {}, {}, {}});
    slots.BuildReadingSlots(sensors);
    slots.TempSlots[0].Wanted = 55;
    slots.TempSlots[1].Name = "renamed";

    AddFakeSensor(sensors, "B", {{"T3"}, {}, std::vector<std::string>(12, "Pwm"), {}});
    slots.BuildReadingSlots(sensors);
    ASSERT_EQ(slots.TempSlots.size(), 2u);  // kept, though three readings exist now
    EXPECT_EQ(slots.TempSlots[0].Wanted, 55);
    EXPECT_EQ(slots.TempSlots[1].Name, "Temp02");
    ASSERT_EQ(slots.PwmSlots.size(), 12u);  // made now
    EXPECT_EQ(slots.PwmSlots[11].Name, "Speed12");

    slots.TempSlots.resize(5);  // more slots than readings
    slots.AutoAssociate(sensors);
    EXPECT_EQ(slots.TempSlots[3].SensorIndex, 0);
    EXPECT_EQ(slots.TempSlots[3].ReadingIndex, 1);
    EXPECT_EQ(slots.TempSlots[4].Name, "T2");

    TReadingSlots untouched;
    untouched.FanSlots.resize(1);
    untouched.AutoAssociate(TSensorList{});
    EXPECT_EQ(untouched.FanSlots[0].SensorIndex, -1);
}

TEST_F(ReadingSlots, MoreShownTemperaturesThanRowsAreAllReadButNineAreLabelled) {
    AddFakeSensor(sensors, "A", {std::vector<std::string>(7, "A"), {}, {}, {}});
    AddFakeSensor(sensors, "B", {std::vector<std::string>(5, "B"), {}, {}, {}});
    AddFakeSensor(sensors, "C", {{"hidden"}, {"fan"}, {}, {}});
    slots.BuildReadingSlots(sensors);
    slots.AutoAssociate(sensors);
    slots.TempSlots[12].Active = false;  // sensor C's only temperature
    slots.TempSlots[0].Name = "Processor";
    slots.FanSlots[0].Active = false;

    Parse();
    EXPECT_EQ(slots.TempOrder, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(inUse, (std::vector<bool>{true, true, false}));
    EXPECT_EQ(slots.Layout.Temps.Visible, std::vector<bool>(9, true));
    EXPECT_EQ(slots.Layout.Temps.Names[0], "Processor:");
    EXPECT_EQ(slots.Layout.Temps.Names[8], "B:");  // slot 8: sensor B's second
    EXPECT_EQ(slots.Layout.Temps.NameWidth, 70);  // "Processor:" is the widest
    EXPECT_EQ(slots.Layout.Temps.ValueLeft, 8 + 70 + 2);
    EXPECT_TRUE(slots.FanOrder.empty());
    EXPECT_EQ(slots.Layout.Fans.Visible, std::vector<bool>(9, false));
    EXPECT_EQ(slots.Layout.Fans.NameWidth, 10);  // never narrower
    EXPECT_TRUE(boxes.Info.empty());
}

TEST_F(ReadingSlots, SpeedRowsShowTheNewestDutyOrHideWhenNoneIsShown) {
    auto& a = AddFakeSensor(sensors, "A", {{}, {}, {"P1", "P2", "P3"}, {"V1"}});
    slots.BuildReadingSlots(sensors);
    slots.AutoAssociate(sensors);
    for (auto& p : slots.PwmSlots) p.Active = false;
    Parse();
    EXPECT_TRUE(slots.UsedPwms.empty());
    EXPECT_EQ(slots.Layout.Pwms.Visible, std::vector<bool>(6, false));
    EXPECT_EQ(edits.Value(1), 0);
    EXPECT_EQ(slots.Layout.Volts.ValueWidth, 7 * 6);  // "99.99V"

    a.Sample(TReadingKind::Pwm, {30, 60, 89.5});
    slots.PwmSlots[0].Active = true;
    slots.PwmSlots[2].Active = true;
    edits.SuppressPwmWrite = false;
    int written = 0;
    edits.OnChange = [&](int) { written += edits.SuppressPwmWrite ? 0 : 1; };
    Parse();
    EXPECT_EQ(slots.UsedPwms, (std::vector<int>{0, 2}));
    EXPECT_EQ(edits.Value(1), 30);
    EXPECT_EQ(edits.Value(2), 90);  // whole percents, half to even
    EXPECT_EQ(written, 0) << "shown, not written";
    EXPECT_FALSE(edits.SuppressPwmWrite);
    EXPECT_EQ(slots.Layout.Pwms.Names[1], "P3:");
    EXPECT_EQ(slots.Layout.Pwms.ValueLeft, 400 + 21 + 2);
    EXPECT_EQ(slots.Layout.Pwms.ThirdLeft, 400 + 21 + 2 + 40 + 2);
}

TEST_F(ReadingSlots, BindingsOutOfRangeGiveZeroAndMarkNothing) {
    auto& a = AddFakeSensor(sensors, "A", {{"T1", "T2", "T3", "T4", "T5"}, {}, {}, {}});
    a.Sample(TReadingKind::Temp, {41, 42, 43, 44, 45});
    slots.BuildReadingSlots(sensors);
    slots.AutoAssociate(sensors);
    EXPECT_EQ(SlotStats(sensors, TReadingKind::Temp, slots.TempSlots[4]).Last(), 45);

    slots.TempSlots[0].ReadingIndex = 7;
    EXPECT_EQ(SlotStats(sensors, TReadingKind::Temp, slots.TempSlots[0]).Last(), 0);
    for (auto& t : slots.TempSlots) t.SensorIndex = 5;  // a sensor that is gone
    EXPECT_EQ(SlotStats(sensors, TReadingKind::Temp, slots.TempSlots[1]).Last(), 0);
    Parse();
    EXPECT_EQ(slots.TempOrder.size(), 5u);
    EXPECT_EQ(inUse, std::vector<bool>{false});
}

TEST_F(ReadingSlots, AFailingLayoutStepIsReportedAndTheNextStepsRun) {
    AddFakeSensor(sensors, "A", {{"T1"}, {"F1"}, {}, {"V1"}});
    slots.BuildReadingSlots(sensors);
    slots.AutoAssociate(sensors);
    metrics.TextWidth = [](const std::string& text) -> int {
        // A sensor's only temperature is named "Temp".
        if (text == "Temp:" || text.back() == 'V') throw std::runtime_error("no font");
        return 30;
    };
    Parse();
    EXPECT_EQ(boxes.Info, (std::vector<std::string>{"DEBUG PARSEUSED.1.3", "DEBUG PARSEUSED.4 no font"}));
    EXPECT_TRUE(boxes.Readings.empty()) << "the information page's box only";
    EXPECT_TRUE(slots.Layout.Temps.Visible[0]);
    EXPECT_EQ(slots.Layout.Fans.ValueLeft, 200 + 30 + 2);
    EXPECT_EQ(slots.VoltOrder, std::vector<int>{0});
    EXPECT_EQ(inUse, std::vector<bool>{true});
}

TEST(TempReadingData, DrivenSpeedList) {
    TTempReadingData t;
    t.SetUsedPwm(3, 7);
    EXPECT_EQ(t.UsedPwms, (std::vector<int>{0, 0, 7}));
    t.SetUsedPwm(0, 9);
    t.AddUsedPwm(2);
    EXPECT_EQ(t.UsedPwmCount(), 4);
    EXPECT_EQ(t.GetUsedPwm(3), 7);
    EXPECT_EQ(t.GetUsedPwm(4), 2);
    EXPECT_EQ(t.GetUsedPwm(5), 0);
    EXPECT_EQ(t.GetUsedPwm(0), 0);
    t.ClearUsedPwms();
    EXPECT_EQ(t.UsedPwmCount(), 0);
}

}  // namespace
