#include "report/cvreportfirmware.h"

#include <exception>
#include <optional>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "firmware/cvacpi.h"
#include "firmware/cvsmbios.h"
#include "firmware/cvwmi.h"
#include "report/cvcompress.h"
#include "report/cvreport.h"

namespace {

// The packed table, or nothing when packing failed or does not give the table back.
std::optional<std::string> PackedTable(const TAcpiTableData& table) {
    try {
        std::string packed = ZipString(table.Data);
        if (UnzipString(packed) == table.Data) {
            WriteDebugLog(ReportFormat("ACPI TABLE %s content compressed from %d to %d",
                              {table.Name, table.Data.size(), packed.size()}));
            return packed;
        }
    } catch (const std::exception&) {
    }
    WriteDebugLog(ReportFormat("Error compressing ACPI TABLE %s", {table.Name}));
    return std::nullopt;
}

void AddAcpiTable(TReport& report, const TAcpiTableData& table) {
    report.AddReportLine("");
    const std::optional<std::string> packed = PackedTable(table);
    if (packed) {
        report.AddReportLine(ReportFormat("Found ACPI TABLE=%s (%d bytes) (%d zip)", {table.Name, table.Data.size(), packed->size()}));
        AddHexLines(report, *packed);
    } else {
        report.AddReportLine(ReportFormat("Found ACPI TABLE=%s (%d bytes) (not zipped)", {table.Name, table.Data.size()}));
        AddHexLines(report, table.Data);
    }
    report.AddReportLine(ReportFormat("End of ACPI TABLE=%s", {table.Name}));
}

void AddStructure(TReport& report, const TSMBIOSStructData& s) {
    report.AddReportLine(ReportFormat("Structure %3d - %.4x - fixed len is %d bytes -> %s",
                             {s.StructType, s.Handle, s.DataLength, s.TypeName}));
    std::string bytes;
    for (unsigned char c : s.Data) bytes += ReportFormat(" %.2x", {c});
    report.AddReportLine("  -> " + (bytes.empty() ? bytes : bytes.substr(1)));
    for (const std::string& text : s.Strings) report.AddReportLine("  -> '" + text + "'");
}

}  // namespace

void AddHexLines(TReport& report, const std::string& data) {
    for (std::size_t at = 0; at < data.size(); at += 32) {
        std::string line;
        for (std::size_t i = at; i < std::min(data.size(), at + 32); ++i)
            line += ReportFormat("%.2x", {static_cast<unsigned char>(data[i])});
        report.AddReportLine(line);
    }
}

void AddWmiScan(TReport& report) {
    std::unique_ptr<TWmiInspector> wmi;
    try {
        wmi = std::make_unique<TWmiInspector>();
        report.AddReportLine("WMI interface is registered : " + OnOffText(wmi->Available));
        wmi->ExploreAll();
        report.AddReportLine(ReportFormat("MB manufacturer: %s", {wmi->BoardManufacturer}));
        report.AddReportLine(ReportFormat("MB model: %s", {wmi->BoardModel}));
        report.AddReportLine(ReportFormat("MB version: %s", {wmi->BoardVersion}));
        report.AddReportLine(ReportFormat("ACPI temp: %.1f", {wmi->AcpiTemperature}));
        report.AddReportLine(ReportFormat("ACPI active trip point: %.1f", {wmi->AcpiActiveTripPoint}));
        report.AddReportLine(ReportFormat("ACPI passive trip point: %.1f", {wmi->AcpiPassiveTripPoint}));
        report.AddReportLine(ReportFormat("ACPI critical trip point: %.1f", {wmi->AcpiCriticalTripPoint}));
        report.AddReportLine("WMI quick analysis results -->");
        for (const std::string& line : wmi->Lines) report.AddReportLine(line);
        report.AddReportLine("<-- End of WMI quick analysis results");
    } catch (const std::exception& e) {
        report.AddReportLine(std::string("ERROR: ERROR WHILE CREATING WMIINSPECTOR (") + e.what() + ")");
        return;
    }
    try {
        wmi.reset();
    } catch (const std::exception& e) {
        report.AddReportLine(std::string("ERROR: ERROR WHILE DESTROYING (") + e.what() + ")");
    }
}

void AddAcpiTables(TReport& report) {
    try {
        TAcpiTablesParser parser;
        parser.Parse();
        for (int i = 0; i < parser.GetTableCount(); ++i) AddAcpiTable(report, parser.GetTable(i));
    } catch (const std::exception& e) {
        report.AddReportLine(ReportFormat("!!! Error in ADDACPITABLES (%s)", {e.what()}));
    }
    report.AddReportLine("<-- End of ACPI TABLES SCAN");
}

void AddDmiScan(TReport& report) {
    if (!SMBiosExplorer) {
        report.AddReportLine("ERROR: ERROR WHILE ACCESSING DMI INFO (SMBIOSExplorer is invalid)");
        return;
    }
    TSMBiosExplorer& bios = *SMBiosExplorer;
    try {
        const TSMBIOSStructures& structures = bios.GetStructures();
        const TSMBIOSEntryPoint entry = bios.GetEntryPoint();
        report.AddReportLine(ReportFormat("DMI structures from SMBIOS ver. %d.%d", {entry[6], entry[7]}));
        const std::pair<const char*, std::string> identity[] = {
            {"MBManufacturer : %s", bios.GetBoardManufacturer()}, {"MBModel : %s", bios.GetBoardProduct()},
            {"MBVersion : %s", bios.GetBoardVersion()},           {"BIOSVendor : %s", bios.GetBIOSVendor()},
            {"BIOSVersion : %s", bios.GetBIOSVersion()},          {"SysManufacturer : %s", bios.GetSystemManufacturer()},
            {"SysProductName : %s", bios.GetSystemProduct()},     {"SysVersion : %s", bios.GetSystemVersion()},
            {"SysSerialNumber : %s", bios.GetSystemSerial()},
        };
        for (const auto& [picture, value] : identity) report.AddReportLine(ReportFormat(picture, {value}));
        for (const TSMBIOSStructData& s : structures)
            if (s.StructType != 7 && s.StructType != 8) AddStructure(report, s);
    } catch (const std::exception& e) {
        report.AddReportLine(std::string("ERROR: ERROR WHILE ACCESSING DMI INFO (") + e.what() + ")");
    }
}
