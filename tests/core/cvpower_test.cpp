// The window's messages from outside: commands, the battery tile, the
// clock message, power events and the suspend and resume sequences.

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "core/cvmonitor.h"
#include "core/cvpower.h"
#include "core/cvtimers.h"
#include "coretest.h"
#include "fakesensor.h"
#include "fakeservices.h"
#include "platform/sim/machine.h"
#include "platform/sleepwatch.h"

namespace {

using coretest::TFakeReadings;
using coretest::TFakeSensor;

// Records every duty it is given, with the virtual time.
class TPwmSensor : public TFakeSensor {
public:
    TPwmSensor(std::vector<std::string>* log, bool failResume)
        : TFakeSensor("pwmchip", 0x290, TFakeReadings{{"T"}, {}, {"P1", "P2"}, {}}), log_(log),
          failResume_(failResume) {}

protected:
    double SetPwmInternal(int index, double percent) override {
        log_->push_back(std::to_string(platform::current().clock().monotonicMs()) + " P" + std::to_string(index) +
                        "=" + std::to_string(static_cast<int>(percent)));
        return percent;
    }
    void ResumeFromSuspendInternal() override {
        if (failResume_) throw std::runtime_error("chip asleep");
    }

private:
    std::vector<std::string>* log_;
    bool failResume_;
};

class TRecordingTiles : public TTiles {
public:
    void SetReadingTileText(TDisplayKind, int, const std::string&) override {}
    bool HasTile(const std::string& name) const override { return std::find(Names.begin(), Names.end(), name) != Names.end(); }
    void SetTileText(const std::string& name, const std::string& text) override { Texts.push_back(name + " " + text); }
    void SetTilePicture(const std::string& name, int cell) override {
        Texts.push_back(name + " cell " + std::to_string(cell));
    }
    std::vector<std::string> Names;
    std::vector<std::string> Texts;
};

class Power : public coretest::CoreTest {
protected:
    Power() {
        monitor.Log.SetBoxes(&boxes);
        monitor.Window = &window;
        monitor.TimerService = &timers;
        monitor.Tiles = &tiles;
    }
    void AddPwmSensor(bool failResume = false) {
        monitor.AppendSensor(CreateSensor<TPwmSensor>(&duties, failResume));
        monitor.BuildReadingSlots();
        monitor.AutoAssociate();
        auto& slots = monitor.Slots.PwmSlots;
        slots[0].MinPercent = 30;
        slots[0].MaxPercent = 90;
        slots[0].Active = slots[0].Variate = true;
        slots[1].MinPercent = 40;
        slots[1].Variate = false;
    }
    std::vector<std::string> duties;
    TClockTimers timers;
    coretest::TFakeWindow window;
    TRecordingTiles tiles;
    TLogBoxRecorder boxes;
    TMonitor monitor;
};

TEST_F(Power, CommandsSetEverySpeedSlotOrCloseOrOnlyLog) {
    AddPwmSensor();
    monitor.DutyEdits.SuppressPwmWrite = false;  // running, past the start-up
    struct Case {
        int WParam, LParam;
        std::vector<std::string> Duties;
        std::vector<std::string> Calls;
    };
    const Case cases[] = {
        {1, 1, {"0 P1=100", "0 P2=100"}, {}},
        {1, 2, {"0 P1=30", "0 P2=40"}, {}},  // the slot not varied too
        {1, 3, {"0 P1=90", "0 P2=100"}, {}},
        {1, 4, {}, {}},
        {2, 0, {}, {"Close"}},
        {7, 1, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.WParam << " " << c.LParam);
        duties.clear();
        window.Calls.clear();
        boxes.Readings.clear();
        monitor.HandleMessage(WM_USER + 1, c.WParam, c.LParam);
        EXPECT_EQ(duties, c.Duties);
        EXPECT_EQ(window.Calls, c.Calls);
        EXPECT_EQ(boxes.Readings, (std::vector<std::string>{"COMMAND received : wParam=" + std::to_string(c.WParam) +
                                                            " lParam=" + std::to_string(c.LParam)}));
        EXPECT_FALSE(monitor.DutyEdits.SuppressPwmWrite);
    }
}

TEST_F(Power, ACommandOrAResumeDuringTheStartUpLeavesItsWritesSuppressed) {
    monitor.FormCreate({"caldavor"});
    AddPwmSensor();
    monitor.HandleMessage(WM_USER + 1, 1, 1);
    PowerBroadcast(monitor, 18);
    EXPECT_TRUE(monitor.DutyEdits.SuppressPwmWrite);
    duties.clear();
    monitor.DutyEdits.Set(1, 55);  // as loading the duty edits does
    EXPECT_TRUE(duties.empty()) << "an edit loaded during the start-up drives no fan";
}

TEST_F(Power, CommandsAndPowerEventsFromOutsideArriveAsQueuedMessages) {
    monitor.FormCreate({"caldavor"});
    window.Posted.clear();
    machine_->session().postCommand(4242, {1, 2});
    machine_->session().injectPowerEvent(10);
    monitor.PollSystemMessages();
    EXPECT_EQ(window.Posted, (std::vector<int>{WM_USER + 1, 0x218}));
}

TEST_F(Power, TheHostsSleepRunsTheSuspendBeforeItsDelayLockGoes) {
    // Records, at each release, whether the suspend sequence had finished.
    class TLock : public platform::SleepDelayLock {
    public:
        explicit TLock(const TLogBoxRecorder& boxes) : boxes_(boxes) {}
        bool take() override {
            Calls.push_back("take");
            return true;
        }
        void release() override {
            const bool ready = !boxes_.Readings.empty() && boxes_.Readings.back() == "Ready for suspend!";
            Calls.push_back(ready ? "release after the suspend" : "release too early");
        }
        std::vector<std::string> Calls;

    private:
        const TLogBoxRecorder& boxes_;
    } lock(boxes);
    platform::SleepWatch watch(lock);
    machine_->setPowerEventSource(&watch);
    monitor.FormCreate({"caldavor"});
    watch.start();

    const auto deliver = [&] {
        window.Posted.clear();
        window.Messages.clear();
        monitor.PollSystemMessages();
        for (const auto& [msg, wParam] : std::exchange(window.Messages, {})) monitor.HandleMessage(msg, wParam, 0);
    };
    watch.prepareForSleep(true);
    deliver();
    EXPECT_EQ(window.Posted, (std::vector<int>{0x218}));
    EXPECT_EQ(lock.Calls, (std::vector<std::string>{"take", "release after the suspend"}));
    EXPECT_FALSE(monitor.IO.IOAvailable);
    watch.prepareForSleep(false);
    deliver();
    EXPECT_EQ(boxes.Readings.back(), "Resumed from suspend!");
    EXPECT_EQ(lock.Calls, (std::vector<std::string>{"take", "release after the suspend", "take"}));
    machine_->setPowerEventSource(nullptr);
}

TEST_F(Power, TheBatteryTileFollowsThePowerStatus) {
    struct Case {
        const char* What;
        std::optional<platform::PowerStatus> Status;
        std::vector<std::string> Texts;
    };
    const Case cases[] = {
        {"on line, no battery", platform::PowerStatus{1, 128, 255}, {"SCBattery cell 3"}},
        {"on line, charging", platform::PowerStatus{1, 8, 60}, {"SCBattery cell 1", "SCBattery 60%"}},
        {"on battery", platform::PowerStatus{0, 1, 80}, {"SCBattery cell 2", "SCBattery 80%"}},
        {"on line, battery full", platform::PowerStatus{1, 1, 100}, {"SCBattery cell 0", "SCBattery 100%"}},
        {"all unknown", platform::PowerStatus{255, 255, 255}, {}},
        {"flags unknown", platform::PowerStatus{0, 255, 255}, {"SCBattery cell 2"}},
        {"failing call", std::nullopt, {"SCBattery cell 3", "SCBattery ??%"}},
    };
    tiles.Names = {"SCBattery"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        tiles.Texts.clear();
        machine_->session().setPowerStatus(0, c.Status);
        monitor.HandleMessage(WM_USER + 3, 0, 0);
        EXPECT_EQ(tiles.Texts, c.Texts);
    }
    tiles.Names.clear();
    tiles.Texts.clear();
    monitor.HandleMessage(WM_USER + 3, 0, 0);
    EXPECT_TRUE(tiles.Texts.empty()) << "no tile, nothing to do";
}

TEST_F(Power, TheClockMessageFillsTheFrequencyTile) {
    tiles.Names = {"SCFrequency"};
    monitor.Cpu.MeasureCpuClock = [](int ms) { return ms == 500 ? 2933.4 : 0.0; };
    monitor.HandleMessage(WM_USER + 2, 0, 0);
    EXPECT_EQ(tiles.Texts, (std::vector<std::string>{"SCFrequency 2933 MHz"}));
}

TEST_F(Power, BroadcastsMapToSuspendResumeOrAStatusRequest) {
    monitor.Options.DebugMode = false;
    struct Case {
        std::uint32_t WParam;
        const char* Line;
    };
    const Case cases[] = {{0, "QUERYSUSPEND message received"},       {4, "SUSPEND message received"},
                          {2, "QUERYSUSPENDFAILED message received"}, {6, "APMRESUME message received"},
                          {7, "APMRESUME message received"},          {18, "APMRESUME message received"}};
    for (const auto& c : cases) {
        boxes.Info.clear();
        boxes.Readings.clear();
        EXPECT_EQ(PowerBroadcast(monitor, c.WParam), 1);
        ASSERT_FALSE(boxes.Info.empty());
        EXPECT_EQ(boxes.Info.front(), c.Line);
    }
    for (const auto& c : cases)
        EXPECT_EQ(std::count(boxes.Readings.begin(), boxes.Readings.end(), c.Line), 0)
            << "without DebugMode only the information box";
    window.Posted.clear();
    EXPECT_EQ(PowerBroadcast(monitor, 10), 1);
    EXPECT_EQ(window.Posted, (std::vector<int>{WM_USER + 3}));
}

TEST_F(Power, SuspendThenResumeBurstsTheVariedFansAndBringsTheTimersBack) {
    monitor.FormCreate({"caldavor"});
    monitor.DutyEdits.SuppressPwmWrite = false;  // running, past the start-up
    monitor.AppendSensor(CreateSensor<TPwmSensor>(&duties, true));
    AddPwmSensor(true);
    for (std::size_t i = 1; i < monitor.Slots.PwmSlots.size(); ++i) monitor.Slots.PwmSlots[i].Variate = false;
    monitor.SetTimersEnabled(true);

    PowerBroadcast(monitor, 0);
    PowerBroadcast(monitor, 4);  // the second finds the driver closed
    EXPECT_FALSE(monitor.RxTimerMain->Enabled());
    EXPECT_FALSE(monitor.IO.IOAvailable);

    const auto start = platform::current().clock().monotonicMs();
    PowerBroadcast(monitor, 18);
    const auto at = [start](int ms) { return std::to_string(start + static_cast<unsigned>(ms)); };
    EXPECT_EQ(duties, (std::vector<std::string>{at(0) + " P1=100", at(500) + " P1=30"}));
    EXPECT_EQ(platform::current().clock().monotonicMs() - start, 600u);
    EXPECT_TRUE(monitor.RxTimerMain->Enabled());
    EXPECT_FALSE(monitor.DutyEdits.SuppressPwmWrite);
    EXPECT_EQ(std::count(boxes.Readings.begin(), boxes.Readings.end(), "ERROR IN RESUMEFROMSUSPEND (pwmchip): chip asleep"),
              2) << "each sensor's failure is logged and the sequence goes on";
    EXPECT_EQ(boxes.Readings.back(), "Resumed from suspend!");
}

TEST_F(Power, AResumeWithoutHardwareAccessStillRestartsTheTimers) {
    machine_->driver().installed = false;
    monitor.FormCreate({"caldavor"});
    AddPwmSensor();
    PrepareForSuspend(monitor);
    ResumeFromSuspend(monitor);
    EXPECT_TRUE(duties.empty());
    EXPECT_TRUE(monitor.RxTimerMain->Enabled());
}

}  // namespace
