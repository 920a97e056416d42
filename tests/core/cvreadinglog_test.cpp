#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#include "core/cvmonitor.h"
#include "coretest.h"
#include "fakesensor.h"
#include "fakeservices.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;

// The machine's clock starts at 2026-01-15 10:00:00; the log runs the next
// day at 01:02:03, which is second 3723 of that day.
class ReadingLog : public coretest::CoreTest {
protected:
    ReadingLog() {
        machine_->simClock().advance((14 * 3600 + 3723) * 1000ULL);
        monitor.Log.SetBoxes(&boxes);
    }

    void SetLocaleSeparator(char separator) {
        platform::LocaleInfo locale;
        locale.decimalSeparator = separator;
        machine_->setLocale(locale);
    }

    // One sensor, every reading logged.
    void AddLoggedSensor() {
        auto& s = coretest::AddFakeSensor(monitor.Sensors, "A", {{"CPU", "Sys"}, {"Fan1"}, {"Pwm1"}, {"Vcore"}});
        s.Sample(TReadingKind::Temp, {40.5, 40});
        s.Sample(TReadingKind::Fan, {1234.6});
        s.Sample(TReadingKind::Pwm, {30});
        s.Sample(TReadingKind::Volt, {1.25});
        monitor.BuildReadingSlots();
        monitor.AutoAssociate();
        for (auto kind : {TReadingKind::Temp, TReadingKind::Fan, TReadingKind::Pwm, TReadingKind::Volt})
            for (std::size_t i = 0; i < monitor.Slots.SlotCount(kind); ++i) monitor.Slots.Slot(kind, i).Logged = true;
    }

    std::string today() const { return file("CVLog20260116.csv"); }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(machine_.programDir()))
            if (e.path().filename() != "debug.nfo") out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    TMonitor monitor;
    TLogBoxRecorder boxes;
};

TEST_F(ReadingLog, ValuesKeepAtMostMaxDecsAndOneTrailingZero) {
    struct TCase {
        char Locale;
        double Value;
        int MaxDecs;
        const char* DecSep;
        const char* Expected;
    };
    const TCase cases[] = {
        {'.', 40.5, 2, ".", "40.5"},   {'.', 40, 2, ".", "40.0"},     {'.', 100, 2, "", "100.0"},
        {'.', -3.1, 3, ".", "-3.1"},   {'.', 12.5, 2, ",", "12,5"},   {'.', 7, 1, "<>", "7<>0"},
        {',', 12.5, 2, ".", "12.5"},   {',', 12.5, 2, "", "12,5"},    {'.', 0.125, 1, ".", "0.1"},
        {'.', 40.5, 2000000, ".", "40.5"},  // a huge count from the options file still formats
    };
    for (const auto& c : cases) {
        SetLocaleSeparator(c.Locale);
        EXPECT_EQ(FormatLogValue(c.Value, c.MaxDecs, c.DecSep), c.Expected) << c.Value << " " << c.DecSep;
    }
}

TEST_F(ReadingLog, LinesHoldTheSecondsAndTheLoggedSlotsInKindOrder) {
    LogOptions.Enabled = true;
    LogOptions.DecSep = ",";
    AddLoggedSensor();
    monitor.WriteLogLine();
    monitor.WriteLogLine();
    const std::string line = "3723\t40,5\t40,0\t1235\t1,25\t30,0\r\n";
    EXPECT_EQ(readFile(today()), "Seconds\tCPU\tSys\tFan1\tVcore\tPwm1\r\n" + line + line);
}

TEST_F(ReadingLog, HeaderOptionNoLoggedSlotsAndDisabledLog) {
    AddLoggedSensor();
    monitor.WriteLogLine();
    EXPECT_FALSE(fs::exists(today()));

    LogOptions.Enabled = true;
    LogOptions.AddHeader = false;
    for (auto& t : monitor.Slots.TempSlots) t.Logged = false;
    monitor.Slots.FanSlots[0].Logged = monitor.Slots.PwmSlots[0].Logged = monitor.Slots.VoltSlots[0].Logged = false;
    monitor.WriteLogLine();
    EXPECT_EQ(readFile(today()), "3723\r\n");
}

TEST_F(ReadingLog, MaxDecsBelowOneIsRaisedAndSavedSo) {
    LogOptions.Enabled = true;
    LogOptions.MaxDecs = 0;
    AddLoggedSensor();
    monitor.WriteLogLine();
    EXPECT_EQ(LogOptions.MaxDecs, 1);
    EXPECT_NE(readFile(today()).find("3723\t40.5\t40.0\t1235\t1.3"), std::string::npos);
    ASSERT_TRUE(monitor.SaveParams(false));
    EXPECT_NE(readFile(file("caldavorparams.cfg")).find("\r\nLogMaxDecs=1\r\n"), std::string::npos);
}

TEST_F(ReadingLog, ASecondStartOnOneDayMovesTheFirstFileAside) {
    LogOptions.Enabled = true;
    AddLoggedSensor();
    monitor.WriteLogLine();
    writeFile(file("CVLog20260116-0001.csv"), "older\r\n");

    monitor.MaintainLogs();  // as at start
    EXPECT_EQ(names(), (std::vector<std::string>{"CVLog20260116-0001.csv", "CVLog20260116-0002.csv"}));
    EXPECT_EQ(readFile(file("CVLog20260116-0001.csv")), "older\r\n");
    monitor.WriteLogLine();
    EXPECT_TRUE(readFile(today()).starts_with("Seconds\t"));
    EXPECT_TRUE(readFile(file("CVLog20260116-0002.csv")).starts_with("Seconds\t"));
}

TEST_F(ReadingLog, FilesOlderThanMaxDaysAreDeleted) {
    const std::vector<std::string> all{"CVLog20260111-0001.csv", "CVLog20260111.csv", "CVLog20260112-0003.csv",
                                       "CVLog20260112.csv",      "CVLog20260116.csv", "cvlog20260101.csv",
                                       "notes.txt"};
    struct TCase {
        int MaxDays;
        std::vector<std::string> Kept;  // today's file is moved aside first
    };
    const TCase cases[] = {
        {5, {"CVLog20200101.csv", "CVLog20260112-0003.csv", "CVLog20260112.csv", "CVLog20260116-0001.csv", "notes.txt"}},
        {1, {"CVLog20200101.csv", "CVLog20260116-0001.csv", "notes.txt"}},
        {0, {"CVLog20200101.csv", "notes.txt"}},
        {INT_MIN, {"CVLog20200101.csv", "notes.txt"}},  // a limit after today keeps no log
    };
    for (const auto& c : cases) {
        for (const auto& name : names()) fs::remove_all(file(name));
        for (const auto& name : all) writeFile(file(name), "x");
        fs::create_directory(file("CVLog20200101.csv"));  // a folder is no log
        LogOptions.MaxDays = c.MaxDays;
        monitor.MaintainLogs();
        EXPECT_EQ(names(), c.Kept) << c.MaxDays;
    }
}

TEST_F(ReadingLog, AFolderThatTakesNoFileLosesTheLineQuietly) {
    LogOptions.Enabled = true;
    AddLoggedSensor();
    ProgramDir = file("gone") + "/";
    monitor.WriteLogLine();
    monitor.MaintainLogs();
    EXPECT_TRUE(boxes.Info.empty());
}

TEST_F(ReadingLog, XapStatusGoesOutOnTheFirstAndEveryTenthTick) {
    monitor.SendXapStatus();  // no sender yet: nothing happens

    coretest::TFakeXap xap;
    monitor.Xap = &xap;
    xap.Values.Enabled = true;
    std::vector<int> sentAt;
    for (int tick = 1; tick <= 21; ++tick) {
        const auto before = xap.Sent.size();
        monitor.SendXapStatus();
        if (xap.Sent.size() > before) sentAt.push_back(tick);
    }
    EXPECT_EQ(sentAt, (std::vector<int>{1, 11, 21}));
    EXPECT_EQ(xap.Sent.front(), "status 3");

    xap.Values.Enabled = false;
    monitor.SendXapStatus();
    xap.Values.Enabled = true;
    monitor.SendXapStatus();  // sends at once after being enabled
    EXPECT_EQ(xap.Sent.size(), 4u);
}

}  // namespace
