#include "report/cvreport.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "core/cvmonitor.h"
#include "reportfixture.h"

namespace {

using namespace reporttest;
using Strings = std::vector<std::string>;

class TFakeWindow : public TReportWindow {
public:
    std::string Caption() const override { return "Caldavor 1.0"; }
    std::string CommandLine() const override { return "/opt/caldavor/caldavor /NOSMART"; }
    std::string EDChipSet() const override { return "Intel ICH9"; }
    std::string EDSMBBase() const override { return "$0400"; }
    std::string EDSMBRev() const override { return "$02"; }
    bool CBSMBIOEnabled() const override { return true; }
    std::string InfoText() const override { return "info 1\r\ninfo 2"; }
    std::string DebugInfoText() const override { return "debug 1"; }
    std::string DimmInfoText() const override {
        if (failDimm) throw std::runtime_error("memo gone");
        return "Scanning SMBus at $0400...";
    }
    bool failDimm = false;
};

class TThrowingSensor : public TDumpSensor {
public:
    using TDumpSensor::TDumpSensor;

protected:
    std::string GetDebugInfoInternal() override { throw std::runtime_error("chip vanished"); }
};

TEST(ReportText, LinesAndSectionsBringTheirOwnBreaks) {
    TRecordingProgress progress;
    TReport report(progress);
    report.AddReportLine("a");
    report.AddReportLine("b", 2);
    report.AddReportSection("T");
    report.AddReportLine("", 0);
    EXPECT_EQ(report.Text(), "\r\na\r\n\r\nb\r\n\r\n***************************** T\r\n");
}

TEST(ReportText, SmallPictures) {
    EXPECT_EQ(UptimeText(90061), "1 days 01:01:01");
    EXPECT_EQ(UptimeText(0), "0 days 00:00:00");
    const std::pair<TFanAnswer, const char*> answers[] = {
        {TFanAnswer::Yes, "YES"}, {TFanAnswer::No, "NO"}, {TFanAnswer::DontKnow, "DON'T KNOW"}, {TFanAnswer::None, ""}};
    for (const auto& [answer, text] : answers) EXPECT_EQ(FanAnswerText(answer), text);
    EXPECT_EQ(OnOffText(true), "ON");
    EXPECT_EQ(OnOffText(false), "OFF");
}

class WholeReport : public ReportTest {
protected:
    WholeReport() {
        TTempReadingData& temp = monitor.Slots.TempSlots.emplace_back();
        temp.Name = "CPU";
        temp.Active = true;
        temp.SensorIndex = 0;
        temp.ReadingIndex = 1;
        temp.UsedPwms = {1, 3};
        answers.Email = "me@example.org";
        answers.CanChange = TFanAnswer::Yes;
    }
    std::string Build() {
        TReportContext context{monitor, window, progress, answers};
        text = BuildDebugReport(context);
        return text;
    }
    Strings ReportLines() const { return testsupport::splitLines(text, "\r\n"); }
    Strings Sections() const {
        Strings titles;
        for (const std::string& line : ReportLines())
            if (line.starts_with(std::string(29, '*') + " ")) titles.push_back(line.substr(30));
        return titles;
    }
    bool Has(const std::string& line) const {
        const Strings lines = ReportLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    TMonitor monitor;
    TFakeWindow window;
    TPostAnswers answers;
    std::string text;
};

TEST_F(WholeReport, SectionsFollowTheScanSwitches) {
    const Strings all = {"BIOS INFO", "CPUID INFO", "SENSORS' READINGS", "SENSORS' ASSOCIATIONS AND GENERAL CONFIG OPTIONS",
                         "CHIPSET SMBUS", "PCI SCAN", "ISA SCAN", "SMBUS SCAN", "SMBUS RETRIES", "SMBUS PAUSES",
                         "DIMM INFO", "SMBUS DEVICE SCAN RESULTS", "FAN SPEED CONTROL", "WMI SCAN", "ACPI TABLES SCAN",
                         "CURRENT SENSORS' PROPERTIES", "DMI SCAN", "EVENTS", "EXTRA UNCATEGORIZED INFO",
                         "MAIN WINDOW INFO", "DEBUG INFO"};
    const auto without = [&all](std::initializer_list<const char*> gone) {
        Strings titles;
        for (const std::string& t : all)
            if (std::find(gone.begin(), gone.end(), t) == gone.end()) titles.push_back(t);
        return titles;
    };
    struct Case {
        bool noPci, noSmb;
        Strings titles;
    };
    const Case cases[] = {{false, false, all},
                          {true, false, without({"PCI SCAN", "SMBUS SCAN"})},
                          {false, true, without({"SMBUS SCAN"})},
                          {true, true, without({"PCI SCAN", "SMBUS SCAN"})}};
    for (const Case& c : cases) {
        monitor.ScanFlags.NoPCIScan = c.noPci;
        monitor.ScanFlags.NoSMBScan = c.noSmb;
        Build();
        EXPECT_EQ(Sections(), c.titles) << c.noPci << c.noSmb;
    }
}

TEST_F(WholeReport, SimpleSectionsPrintTheirPictures) {
    Build();
    EXPECT_TRUE(text.starts_with("\r\nSender : me@example.org\r\nCaldavor version : Caldavor 1.0\r\nMotherboard model : "));
    EXPECT_TRUE(Has("CPU --> active=ON  chip=0  index=1 wanted=0  warning=0  offset=0  InTray=OFF Used pwms=1 3 "));
    EXPECT_TRUE(Has("Set Fans to 100% on exit : OFF"));
    EXPECT_TRUE(Has("Scan PCI : ON"));
    EXPECT_TRUE(Has("Command line : /opt/caldavor/caldavor /NOSMART"));
    EXPECT_TRUE(Has("Delta Fan Speed : 10"));
    EXPECT_TRUE(Has("SMBus I/O Enabled : ON"));
    EXPECT_TRUE(Has("Can change fan speeds : YES"));
    EXPECT_TRUE(Has("Can stop fans : ")) << "no button chosen: the label alone";
    EXPECT_TRUE(Has("0 events defined"));
    EXPECT_TRUE(Has("Tray icon size : 16x16"));
    EXPECT_TRUE(Has("I Agree to receive beta versions : OFF"));
    EXPECT_TRUE(text.ends_with("***************************** DEBUG INFO\r\n\r\ndebug 1"));
    EXPECT_NE(text.find("***************************** MAIN WINDOW INFO\r\n\r\ninfo 1\r\ninfo 2"), std::string::npos);
}

TEST_F(WholeReport, ProgressListShowsEachStepAndPumpsAfterEveryChange) {
    Build();
    EXPECT_EQ(progress.items.front(), "ACPI tables scan. Done.");
    // "Scanning ACPI tables..." replaced the SMBus scan's line.
    const Strings expectedTail = {"ISA exploring. Done.", "PCI scanning. Done.",
                                  "Sensors' readings. Done.", "CPUID info. Done.", "CPU speed. Done.",
                                  "General info on the OS. Done."};
    ASSERT_EQ(progress.items.size(), expectedTail.size() + 1);
    const Strings tail(progress.items.begin() + 1, progress.items.end());
    EXPECT_EQ(tail, expectedTail);
    const auto acpi = std::find(progress.log.begin(), progress.log.end(), "replace Scanning ACPI tables...");
    ASSERT_NE(acpi, progress.log.end());
    EXPECT_EQ(*(acpi + 1), "replace ACPI tables scan. Done.");
    EXPECT_GE(progress.pumps, static_cast<int>(progress.items.size() + progress.log.size()));
}

TEST_F(WholeReport, FailuresBecomeOneLineAndTheReportGoesOn) {
    TLink& link = AddSMBusLink();
    monitor.Sensors.push_back(std::make_unique<TThrowingSensor>(&link, 0x2D, 0));
    window.failDimm = true;
    Build();
    EXPECT_TRUE(Has("!!!Exception in sensor " + monitor.Sensors[0]->FDisplayName + "!!! --> chip vanished"));
    EXPECT_TRUE(Has("!!!Exception in DIMM INFO!!! --> memo gone"));
    EXPECT_TRUE(Has("Chipset : Intel ICH9"));
    EXPECT_TRUE(Has("debug 1"));
}

TEST_F(WholeReport, EventsAreListedWithTheirChecks) {
    TCVEventDef& event = monitor.Events.Events.emplace_back();
    event.Condition = "sensor[0].temp[1].value>50";
    event.Def.VerifiedFor = 3;
    event.Def.AllowEvery = 60;
    Build();
    EXPECT_TRUE(Has("1 events defined"));
    EXPECT_TRUE(Has("Loaded event : sensor[0].temp[1].value>50 for 3 every 60"));
}

}  // namespace
