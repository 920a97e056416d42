#include "report/cvreport.h"

#include <exception>
#include <vector>

#include "base/cvformat.h"
#include "core/cvmonitor.h"
#include "core/cvvars.h"
#include "cpu/cvuptime.h"
#include "cpu/cxcpu40.h"
#include "hw/cvdriver.h"
#include "hw/cvosinfo.h"
#include "report/cvreportbus.h"
#include "report/cvreportcpuid.h"
#include "report/cvreportfirmware.h"
#include "report/cvreportsensors.h"

namespace {

constexpr const char* ReportLineEnd = "\r\n";

std::string TrimBlanks(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string UsedPwmsText(const TTempReadingData& slot) {
    std::string text;
    for (int pwm : slot.UsedPwms) text += std::to_string(pwm) + " ";
    return text;
}

void AddMachineIdentity(TReport& report) {
    TNosMachine machine;
    machine.Refresh();
    report.AddReportLine("BIOS CopyRight : " + TrimBlanks(machine.BiosVersion));
    report.AddReportLine("BIOS Date : " + TrimBlanks(machine.BiosDate));
    report.AddReportLine("BIOS Extended Info : " + TrimBlanks(machine.BiosExtendedInfo));
    report.AddReportLine("BIOS Name : " + TrimBlanks(machine.BiosName));
}

void AddOperatingSystem(TReport& report) {
    const TNosOperatingSystem os;
    report.AddReportLine(ReportFormat("%s version %d.%d.%d (%s)", {"Windows", os.Major, os.Minor, os.Build, os.KindName}), 2);
}

void AddCpuSpeed(TReport& report) {
    const TcxCpu cpu;
    report.AddReportLine(ReportFormat("%d processor(s)", {cpu.ProcessorCount().Count().Value()}), 2);
    const TProcessorInformation info = cpu.ProcessorInfo(0);
    const TProcessorSignature signature = info.Signature();
    report.AddReportLine(ReportFormat("%s %s family %d model %d stepping %d brand %d %d MHz",
                             {info.Vendor().Name(), info.Name().Name(), signature.Family().Value().Value(),
                              signature.Model().Value().Value(), signature.Stepping().Value().Value(),
                              signature.Brand().Value().Value(), info.Speed().RawMhz().Value()}));
    report.AddReportLine(ReportFormat("Running at %d MHz", {cpu.ProcessorInfo(0).Speed().RawMhz().Value()}));
}

void AddSlotsAndOptions(TReport& report, const TMonitor& monitor, const TReportWindow& window) {
    const TReadingSlots& slots = monitor.Slots;
    for (const TTempReadingData& slot : slots.TempSlots)
        report.AddReportLine(ReportFormat("%s --> active=%s  chip=%d  index=%d wanted=%d  warning=%d  offset=%d  InTray=%.3s Used pwms=%s",
                                 {slot.Name, OnOffText(slot.Active), slot.SensorIndex, slot.ReadingIndex, slot.Wanted,
                                  slot.Warning, slot.Offset, OnOffText(slot.InTray), UsedPwmsText(slot)}));
    const auto addPlain = [&report](const TReadingData& slot) {
        report.AddReportLine(ReportFormat("%s --> active=%.3s  chip=%d  index=%d",
                                 {slot.Name, OnOffText(slot.Active), slot.SensorIndex, slot.ReadingIndex}));
    };
    for (const TReadingData& slot : slots.FanSlots) addPlain(slot);
    for (const TPwmReadingData& slot : slots.PwmSlots)
        report.AddReportLine(ReportFormat("%s --> active=%.3s  chip=%d  index=%d  min=%d  max=%d  variate=%.3s",
                                 {slot.Name, OnOffText(slot.Active), slot.SensorIndex, slot.ReadingIndex,
                                  slot.MinPercent, slot.MaxPercent, OnOffText(slot.Variate)}));
    for (const TReadingData& slot : slots.VoltSlots) addPlain(slot);

    const TOptions& options = monitor.Options;
    const TScanFlags& flags = monitor.ScanFlags;
    const std::pair<const char*, bool> switches[] = {
        {"Set Fans to 100% on exit : ", options.FullOnExit},
        {"Debug Mode : ", options.DebugMode},
        {"Use ISA : ", options.UseISA},
        {"Use SMB : ", options.UseSMB},
        {"Scan PCI : ", !flags.NoPCIScan},
        {"Scan SMB : ", !flags.NoSMBScan},
        {"Slow SMB detection : ", flags.SlowDetect},
        {"Detect SuperIO : ", flags.ScanSuperIO},
        {"ASUS Card Detect : ", flags.ScanASUS},
        {"DELL Support : ", options.DellFans},
        {"Summary Log Scan : ", flags.DoSummaryLogScan},
    };
    for (const auto& [label, on] : switches) report.AddReportLine(label + OnOffText(on));
    report.AddReportLine("Command line : " + window.CommandLine());
    report.AddReportLine(ReportFormat("Delta Fan Speed : %d", {options.FanDelta}));
}

void AddChipsetSMBus(TReport& report, const TReportWindow& window) {
    report.AddReportLine("Chipset : " + window.EDChipSet());
    report.AddReportLine("SMBus Base Address : " + window.EDSMBBase());
    report.AddReportLine("SMBus Revision : " + window.EDSMBRev());
    report.AddReportLine("SMBus I/O Enabled : " + OnOffText(window.CBSMBIOEnabled()));
}

void AddFanAnswers(TReport& report, const TPostAnswers& answers) {
    report.AddReportLine("Can change fan speeds : " + FanAnswerText(answers.CanChange));
    report.AddReportLine("Can smoothly change fan speeds : " + FanAnswerText(answers.Smoothly));
    report.AddReportLine("Can stop fans : " + FanAnswerText(answers.CanStop));
}

void AddEvents(TReport& report, const TEvents& events) {
    report.AddReportLine(ReportFormat("%d events defined", {static_cast<int>(events.Events.size())}));
    for (const TCVEventDef& event : events.Events)
        report.AddReportLine(ReportFormat("Loaded event : %s for %d every %d",
                                 {event.Condition, event.Def.VerifiedFor, event.Def.AllowEvery}));
}

void AddExtraInfo(TReport& report, const TReportWindow& window) {
    report.AddReportLine(ReportFormat("Tray icon size : %dx%d", {window.TrayIconWidth(), window.TrayIconHeight()}));
    report.AddReportLine("UPTIME : " + UptimeText(GetSystemUptimeSeconds()));
    report.AddReportLine("Caldavor UPTIME : " + UptimeText(GetProgramUptimeSeconds()));
}

// One step of the report: progress before, its section, progress after.
struct TReportStep {
    const char* doneBefore = nullptr;
    const char* startBefore = nullptr;
    const char* title = nullptr;  // a section header, and the guard's name
    std::function<void()> body;
    const char* doneAfter = nullptr;
    bool run = true;
};

std::string ExceptionText(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown exception";
    }
}

// The steps whose failure lines the frame names itself.
template <class Body>
std::function<void()> Guarded(TReport& report, const char* failure, bool withMessage, Body body) {
    return [&report, failure, withMessage, body] {
        try {
            body();
        } catch (...) {
            const std::string message = ExceptionText(std::current_exception());
            report.AddReportLine(withMessage ? std::string(failure) + " --> " + message : std::string(failure));
        }
    };
}

}  // namespace

void TReport::AddReportLine(const std::string& text, int count) {
    for (int i = 0; i < count; ++i) text_ += ReportLineEnd;
    text_ += text;
}

void TReport::AddReportSection(const std::string& title) {
    text_ += ReportLineEnd;
    text_ += ReportLineEnd;
    text_ += std::string(29, '*') + " " + title;
    text_ += ReportLineEnd;
}

void TReport::ReportProgressStart(const std::string& text) {
    progress_.InsertFirst(text);
    progress_.ProcessMessages();
}

void TReport::ReportProgressDone(const std::string& text) {
    progress_.ReplaceFirst(text);
    progress_.ProcessMessages();
}

std::string ReportFormat(std::string_view picture, std::initializer_list<cvformat::FormatArg> args) {
    return cvformat::Format(picture, args, cvformat::Invariant());
}

std::string TrimTrailingBlanks(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

std::string OnOffText(bool flag) { return flag ? "ON" : "OFF"; }

std::string FanAnswerText(TFanAnswer answer) {
    switch (answer) {
        case TFanAnswer::Yes:
            return "YES";
        case TFanAnswer::No:
            return "NO";
        case TFanAnswer::DontKnow:
            return "DON'T KNOW";
        case TFanAnswer::None:
            break;
    }
    return {};
}

std::string UptimeText(long long seconds) {
    return ReportFormat("%d days %.2d:%.2d:%.2d", {seconds / 86400, seconds % 86400 / 3600, seconds % 3600 / 60, seconds % 60});
}

void GuardedSection(TReport& report, const std::string& title, const std::function<void()>& body) {
    try {
        body();
    } catch (...) {
        report.AddReportLine("!!!Exception in " + title + "!!! --> " + ExceptionText(std::current_exception()));
    }
}

std::string BuildDebugReport(TReportContext& context) {
    RunSMPTestOnEachCPU();
    TReport report(context.Progress);
    TMonitor& monitor = context.Monitor;
    const TReportWindow& window = context.Window;
    const TPostAnswers& answers = context.Answers;
    const TScanFlags& flags = monitor.ScanFlags;

    const std::vector<TReportStep> steps = {
        {nullptr, "Getting general info on the OS...", nullptr,
         [&] {
             report.AddReportLine("Sender : " + answers.Email);
             report.AddReportLine("Caldavor version : " + window.Caption());
             report.AddReportLine("Motherboard model : " + answers.MBModel);
         }},
        {nullptr, nullptr, nullptr,
         [&] {
             report.AddReportSection("BIOS INFO");
             Guarded(report, "!!!Exception in reading BIOS INFO!!!", false, [&] { AddMachineIdentity(report); })();
         }},
        {nullptr, nullptr, nullptr,
         Guarded(report, "!!!Exception in reading OS INFO!!!", false, [&] { AddOperatingSystem(report); })},
        {"General info on the OS. Done.", "Computing CPU speed...", nullptr,
         Guarded(report, "!!!Exception in reading CPU INFO!!!", true, [&] { AddCpuSpeed(report); })},
        {nullptr, nullptr, nullptr,
         [&] { report.AddReportLine("I Agree to receive beta versions : " + OnOffText(answers.OkForBetaVersions)); }},
        {"CPU speed. Done.", "Adding CPUID info...", nullptr,
         [&] {
             report.AddReportSection("CPUID INFO");
             Guarded(report, "!!!Exception in showing CPUID INFO!!!", true,
                     [&] { AddCpuidInfo(report, flags.NoPCIScan); })();
         }},
        {"CPUID info. Done.", "Adding sensors' readings...", "SENSORS' READINGS",
         [&] { AddSensorsReadings(report, monitor.Sensors); }},
        {nullptr, nullptr, "SENSORS' ASSOCIATIONS AND GENERAL CONFIG OPTIONS",
         [&] { AddSlotsAndOptions(report, monitor, window); }},
        {nullptr, nullptr, "CHIPSET SMBUS", [&] { AddChipsetSMBus(report, window); }},
        {"Sensors' readings. Done.", nullptr, nullptr, nullptr},
        {nullptr, "Scanning PCI...", "PCI SCAN", [&] { AddPciList(report); }, "PCI scanning. Done.", !flags.NoPCIScan},
        {nullptr, "Exploring ISA...", "ISA SCAN", [&] { AddIsaScan(report, monitor.Sensors); }, "ISA exploring. Done."},
        {nullptr, "Exploring SMBus...", "SMBUS SCAN", [&] { AddSmbusScan(report, monitor.Sensors, flags, monitor.Board); },
         "SMBus exploring. Done.", !flags.NoPCIScan && !flags.NoSMBScan},
        {nullptr, nullptr, "SMBUS RETRIES", [&] { AddSmbusRetries(report); }},
        {nullptr, nullptr, "SMBUS PAUSES", [&] { AddSmbusPauses(report); }},
        {nullptr, nullptr, "DIMM INFO", [&] { report.AddReportLine(window.DimmInfoText()); }},
        {nullptr, nullptr, "SMBUS DEVICE SCAN RESULTS", [&] { report.AddReportLine(SMBusScanResult); }},
        {nullptr, nullptr, "FAN SPEED CONTROL", [&] { AddFanAnswers(report, answers); }},
        {nullptr, nullptr, "WMI SCAN", [&] { AddWmiScan(report); }},
        {"Scanning ACPI tables...", nullptr, "ACPI TABLES SCAN", [&] { AddAcpiTables(report); },
         "ACPI tables scan. Done."},
        {nullptr, nullptr, "CURRENT SENSORS' PROPERTIES",
         [&] { AddCurrentSensorsProperties(report, monitor.Sensors, monitor.Log); }},
        {nullptr, nullptr, "DMI SCAN", [&] { AddDmiScan(report); }},
        {nullptr, nullptr, "EVENTS", [&] { AddEvents(report, monitor.Events); }},
        {nullptr, nullptr, "EXTRA UNCATEGORIZED INFO", [&] { AddExtraInfo(report, window); }},
        {nullptr, nullptr, "MAIN WINDOW INFO", [&] { report.AddReportLine(window.InfoText()); }},
        {nullptr, nullptr, "DEBUG INFO", [&] { report.AddReportLine(window.DebugInfoText()); }},
    };

    for (const TReportStep& step : steps) {
        if (!step.run) continue;
        if (step.doneBefore) report.ReportProgressDone(step.doneBefore);
        if (step.startBefore) report.ReportProgressStart(step.startBefore);
        if (step.title) {
            report.AddReportSection(step.title);
            GuardedSection(report, step.title, step.body);
        } else if (step.body) {
            step.body();
        }
        if (step.doneAfter) report.ReportProgressDone(step.doneAfter);
    }
    return report.Text();
}
