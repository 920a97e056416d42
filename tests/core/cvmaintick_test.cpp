// The main tick: its schedule over many ticks, the sensors it reads, the
// switch that stops it, re-entry, and each step's own failure line.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include "core/cvmaintick.h"
#include "core/cvmonitor.h"
#include "core/cvreadinglog.h"
#include "core/cvvars.h"
#include "core/cvwebsite.h"
#include "coretest.h"
#include "fakesensor.h"
#include "fakeservices.h"
#include "hw/cvlink.h"

namespace {

using coretest::TFakeReadings;
using coretest::TFakeSensor;

// Counts its reads; on demand a read fails in a way the sensor's own wrapper
// cannot swallow (its log event fails too).
class TCountingSensor : public TFakeSensor {
public:
    TCountingSensor(const std::string& name, TLink* link, const bool* failing)
        : TFakeSensor(name, 0x290, TFakeReadings{{"T"}, {"F"}, {"P"}, {"V"}},
                      [failing](TSensor&, const std::string&, int) {
                          if (*failing) throw std::runtime_error("sensor gone");
                      },
                      link),
          failing_(failing) {}
    int Temps = 0, Fans = 0, Pwms = 0, Volts = 0;

protected:
    void ReadTempsInternal(std::span<double> values) override {
        if (*failing_) throw std::runtime_error("bus error");
        ++Temps;
        TFakeSensor::ReadTempsInternal(values);
    }
    void ReadFansInternal(std::span<double>) override { ++Fans; }
    void ReadPwmsInternal(std::span<double>) override { ++Pwms; }
    void ReadVoltsInternal(std::span<double>) override { ++Volts; }

private:
    const bool* failing_;
};

class TFailingCharts : public TCharts {
public:
    void RepaintIfShown() override { throw std::runtime_error("no canvas"); }
};

class TRecordingWindow : public coretest::TFakeWindow {
public:
    void SetReadingLabel(TDisplayKind kind, int row, const std::string& text) override {
        Labels.push_back({kind, row, text});
    }
    void SetTrayHint(const std::string& hint) override { Hint = hint; }
    void UpdateTrayIcon() override { ++TrayUpdates; }
    void SetTrendArrow(int row, int cell) override { Arrows.emplace_back(row, cell); }
    struct TLabel {
        TDisplayKind Kind;
        int Row;
        std::string Text;
        bool operator==(const TLabel&) const = default;
    };
    std::vector<TLabel> Labels;
    std::vector<std::pair<int, int>> Arrows;  // row, cell
    std::string Hint;
    int TrayUpdates = 0;
};

class MainTick : public coretest::CoreTest {
protected:
    MainTick() {
        monitor.Log.SetBoxes(&boxes);
        monitor.Window = &window;
    }

    TCountingSensor& AddSensor(const std::string& name, TLink* link = nullptr, const bool* fails = nullptr) {
        return static_cast<TCountingSensor&>(
            monitor.AppendSensor(CreateSensor<TCountingSensor>(name, link, fails ? fails : &never)));
    }
    int Count(const std::vector<std::string>& box, const std::string& line) const {
        return static_cast<int>(std::count(box.begin(), box.end(), line));
    }

    const bool never = false;
    TRecordingWindow window;
    TLogBoxRecorder boxes;
    TMonitor monitor;
};

TEST_F(MainTick, EachKindIsReadOnItsOwnTicksOverSixtyFourTicks) {
    TLink disk(0, LinkKinds::SMART, 0, 0, 0);
    auto& chip = AddSensor("chip");
    auto& drive = AddSensor("disk", &disk);
    coretest::TFakeXap xap;
    xap.Values.Enabled = true;
    monitor.Xap = &xap;

    struct Expected {
        const char* What;
        std::vector<int> Ticks;
    };
    // A step with limit L runs on the first tick and on every (L+1)-th after it.
    const Expected table[] = {
        {"chip temperatures", {}},
        {"disk temperatures", {1, 22, 43, 64}},
        {"fans", {}},
        {"voltages", {}},
        {"xAP", {1, 11, 21, 31, 41, 51, 61}},
    };
    std::vector<int> chipTemps, diskTemps, fans, volts, xapSent;
    for (int tick = 1; tick <= 64; ++tick) {
        const int t0 = chip.Temps, d0 = drive.Temps, f0 = chip.Fans, v0 = chip.Volts;
        const auto x0 = xap.Sent.size();
        monitor.RxTimerMainTimer();
        if (chip.Temps > t0) chipTemps.push_back(tick);
        if (drive.Temps > d0) diskTemps.push_back(tick);
        if (chip.Fans > f0) fans.push_back(tick);
        if (chip.Volts > v0) volts.push_back(tick);
        if (xap.Sent.size() > x0) xapSent.push_back(tick);
    }
    EXPECT_EQ(chipTemps.size(), 64u) << table[0].What;
    EXPECT_EQ(diskTemps, table[1].Ticks) << table[1].What;
    EXPECT_EQ(fans.size(), 32u);
    EXPECT_EQ(fans.front(), 1);
    EXPECT_EQ(fans[1], 3);
    EXPECT_EQ(volts.size(), 16u);
    EXPECT_EQ((std::vector<int>(volts.begin(), volts.begin() + 3)), (std::vector<int>{1, 5, 9}));
    EXPECT_EQ(xapSent, table[4].Ticks) << table[4].What;
    EXPECT_EQ(chip.Pwms, 0) << "speeds change only when the program sets them";
    EXPECT_EQ(drive.Fans, chip.Fans) << "fans and voltages of slow links keep their dividers";
}

TEST_F(MainTick, OnlyUsedSensorsAndFanControlInputsAreRead) {
    auto& shown = AddSensor("shown");
    auto& hidden = AddSensor("hidden");
    auto& feeding = AddSensor("feeds a controller");
    monitor.SensorInUse = {true, false, false};
    TFanController controller;
    controller.Enabled = true;
    controller.Temps.push_back(TFanCtrlTemp{});
    controller.Temps.back().SensorIndex = 2;
    controller.Temps.back().ReadingIndex = 1;
    monitor.FanControllers.push_back(controller);

    monitor.RxTimerMainTimer();
    EXPECT_EQ(shown.Temps, 1);
    EXPECT_EQ(hidden.Temps + hidden.Fans + hidden.Volts, 0);
    EXPECT_EQ(feeding.Temps, 1);
}

TEST_F(MainTick, WithoutTheTimerOnlyTheSampleTimeMoves) {
    auto& chip = AddSensor("chip");
    monitor.ScanFlags.TimerEnabled = false;
    SampleTime = 0;
    monitor.RxTimerMainTimer();
    EXPECT_NE(SampleTime, 0);
    EXPECT_EQ(chip.Temps, 0);
    EXPECT_TRUE(window.Posted.empty());
    EXPECT_EQ(monitor.TickDividers.FanCounter, TTickDividers::MaxInt);
}

TEST_F(MainTick, ATickInsideATickIsDroppedWithTwoLinesInTheInformationBox) {
    auto& chip = AddSensor("chip");
    monitor.InTimer = true;
    monitor.RxTimerMainTimer();
    EXPECT_EQ(chip.Temps, 0);
    EXPECT_EQ(boxes.Info, (std::vector<std::string>{"DEBUG INFO : INTIMER REENTRANCY AVOIDED.",
                                                    std::string("PLEASE REPORT TO ") + SupportAddress}));
    EXPECT_TRUE(boxes.Readings.empty());
    EXPECT_TRUE(monitor.InTimer) << "the outer tick still runs";
}

TEST_F(MainTick, AFailingReadEndsTheReadsButNotTheTick) {
    std::array<bool, 6> fails{};
    std::vector<TCountingSensor*> sensors;
    for (std::size_t i = 0; i < fails.size(); ++i)
        sensors.push_back(&AddSensor("chip" + std::to_string(i + 1), nullptr, &fails[i]));
    fails[3] = true;
    monitor.RxTimerMainTimer();

    std::vector<int> read;
    for (const auto* sensor : sensors) read.push_back(sensor->Temps);
    EXPECT_EQ(read, (std::vector<int>{1, 1, 1, 0, 0, 0}));
    EXPECT_EQ(sensors[2]->Volts, 1) << "a sensor's reads before the failure are done";
    EXPECT_EQ(Count(boxes.Readings, "OnTimer ERROR (retrieving sensor data) : sensor gone"), 1);
    EXPECT_EQ(window.TrayUpdates, 1);
    EXPECT_EQ(window.Posted, (std::vector<int>{WM_USER + 3}));
    EXPECT_FALSE(monitor.InTimer);
}

TEST_F(MainTick, EveryPublishingStepRunsAfterAFailingChart) {
    AddSensor("chip");
    TFailingCharts charts;
    monitor.Charts = &charts;
    monitor.BuildReadingSlots();
    monitor.AutoAssociate();
    monitor.Slots.TempSlots.front().Logged = true;
    LogOptions.Enabled = true;
    monitor.RxTimerMainTimer();
    EXPECT_TRUE(std::filesystem::exists(file("CVLog20260115.csv"))) << "the log line is still written";
    EXPECT_EQ(Count(boxes.Readings, "DEBUG 9"), 1);
    EXPECT_EQ(Count(boxes.Info, "DEBUG 9"), 1);
    EXPECT_EQ(window.TrayUpdates, 1);
    EXPECT_EQ(window.Posted, (std::vector<int>{WM_USER + 3}));
    EXPECT_FALSE(monitor.InTimer);
}

class TRecordingTiles : public TTiles {
public:
    void SetReadingTileText(TDisplayKind kind, int slot, const std::string& text) override {
        Texts.push_back({kind, slot, text});
    }
    bool HasTile(const std::string&) const override { return false; }
    void SetTileText(const std::string&, const std::string&) override {}
    void SetTilePicture(const std::string&, int) override {}
    void SetTrendPicture(int slot, int cell) override { Arrows.emplace_back(slot, cell); }
    std::vector<TRecordingWindow::TLabel> Texts;
    std::vector<std::pair<int, int>> Arrows;  // slot, cell
};

// One chip of ten temperatures, T1 to T10, not yet bound to slots.
TFakeSensor& AddTenTemperatures(TMonitor& monitor) {
    TFakeReadings readings;
    for (int i = 1; i <= 10; ++i) readings.Temps.push_back("T" + std::to_string(i));
    auto& sensor = coretest::AddFakeSensor(monitor.Sensors, "chip", readings);
    monitor.SensorInUse.push_back(false);
    return sensor;
}

TEST_F(MainTick, NineTemperatureRowsEveryActiveTileAndTheHint) {
    auto& sensor = AddTenTemperatures(monitor);
    sensor.Sample(TReadingKind::Temp, {40, 30, 31, 32, 33, 34, 35, 36, 37, 38});
    monitor.BuildReadingSlots();
    monitor.AutoAssociate();
    monitor.PARSEUSED();
    monitor.Slots.TempSlots[1].Active = false;
    monitor.Options.UseCelsius = false;
    TRecordingTiles tiles;
    monitor.Tiles = &tiles;

    UpdateReadingsDisplay(monitor);
    ASSERT_EQ(window.Labels.size(), 9u);
    EXPECT_EQ(window.Labels.front(), (TRecordingWindow::TLabel{TDisplayKind::Temp, 1, "104F"}));
    EXPECT_EQ(window.Labels.back().Row, 9);
    ASSERT_EQ(tiles.Texts.size(), 9u) << "ten slots, one of them hidden";
    EXPECT_EQ(tiles.Texts[1], (TRecordingWindow::TLabel{TDisplayKind::Temp, 2, "88F"}));
    EXPECT_EQ(tiles.Texts.back().Row, 9);

    monitor.Slots.TempOrder = {0, 1};
    EXPECT_EQ(BuildTrayHint(monitor), "T1: 104F\rT2: 86F");
    monitor.Slots.TempOrder.clear();
    EXPECT_EQ(BuildTrayHint(monitor), "");
    monitor.Options.ShowStaticIcon = true;
    EXPECT_EQ(BuildTrayHint(monitor), "Caldavor");
}

TEST_F(MainTick, TheTickDrawsEachShownTemperaturesTrendArrowInItsRowAndTile) {
    auto& sensor = AddTenTemperatures(monitor);
    // Wanted 40, warning 50: full, keep, down, up (rising), keep..., and a tenth, full.
    sensor.Sample(TReadingKind::Temp, {55, 45, 30, 44, 45, 45, 45, 45, 45, 55});
    sensor.Sample(TReadingKind::Temp, {55, 45, 30, 46, 45, 45, 45, 45, 45, 55});
    monitor.BuildReadingSlots();
    monitor.AutoAssociate();
    for (auto& slot : monitor.Slots.TempSlots) {
        slot.Wanted = 40;
        slot.Warning = 50;
    }
    monitor.PARSEUSED();
    TRecordingTiles tiles;
    monitor.Tiles = &tiles;

    monitor.RxTimerMainTimer();
    const std::vector<std::pair<int, int>> rows{{1, 3}, {2, 0}, {3, 2}, {4, 1}, {5, 0},
                                                {6, 0}, {7, 0}, {8, 0}, {9, 0}};
    EXPECT_EQ(window.Arrows, rows) << "nine rows, the tenth has none";
    ASSERT_EQ(tiles.Arrows.size(), 10u);
    EXPECT_EQ(tiles.Arrows[3], (std::pair<int, int>{3, 1}));
    EXPECT_EQ(tiles.Arrows[9], (std::pair<int, int>{9, 3})) << "by slot index";
}

}  // namespace
