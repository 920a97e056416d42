#include "report/cvdimminfo.h"

#include "report/cvreport.h"

#include <cmath>

#include "base/cvformat.h"
#include "chips/cvchipaccess.h"
#include "detect/cvscanexceptions.h"
#include "firmware/cvspd.h"
#include "hw/cvlink.h"

namespace {

bool HasSize(int type) { return type == 5 || type == 8 || type == 9 || type == 10 || type == 12; }
bool HasModuleType(int type) { return type == 9 || type == 10 || type == 12; }

std::string VoltageList(const TSPDVoltages& volts) {
    std::string text;
    for (double v : volts) text += (text.empty() ? "" : ", ") + ReportFormat("%.2f V", {v});
    return text;
}

void AddTimings(const TDecodeSPD& spd, std::vector<std::string>& lines) {
    if (!HasSize(spd.MemoryType)) return;
    const double cycles[] = {spd.CycleTime, spd.CycleTime2, spd.CycleTime3};
    const int clocks[] = {spd.ClockMHz, spd.ClockMHz2, spd.ClockMHz3};
    // SDRAM and DDR count whole clocks; later generations print the rounded quotient.
    const bool roundUp = spd.MemoryType == 5 || spd.MemoryType == 8;
    for (std::size_t k = 0; k < 3; ++k) {
        if (cycles[k] == 0 || spd.CASLatencies.size() <= k) continue;
        const auto inCycles = [&](double ns) { return roundUp ? RoundUpCycles(ns / cycles[k]) : ns / cycles[k]; };
        lines.push_back(ReportFormat(" Timings : %d MHz %.1f-%.0f-%.0f-%.0f",
                            {clocks[k], spd.CASLatencies[k], inCycles(spd.TRCD), inCycles(spd.TRP), inCycles(spd.TRAS)}));
    }
}

void Describe(const TDecodeSPD& spd, int moduleNumber, std::vector<std::string>& lines) {
    lines.push_back(ReportFormat("Decoding DIMM #%d", {moduleNumber}));
    lines.push_back(" Memory type is " + SPDMemoryTypeName(spd.MemoryType));
    if (HasModuleType(spd.MemoryType)) lines.push_back(" DIMM type is " + SPDModuleTypeName(spd.ModuleType));
    if (HasSize(spd.MemoryType)) lines.push_back(ReportFormat(" Size is %d MBytes", {spd.Ranks * spd.RankSize}));
    if (!spd.SpeedName.empty()) lines.push_back(" Speed is " + spd.SpeedName);
    if (!spd.DRAMVoltages.empty()) lines.push_back(" Supported DRAM voltages are " + VoltageList(spd.DRAMVoltages));
    if (!spd.ChannelVoltages.empty())
        lines.push_back(" Supported CHANNEL voltages are " + VoltageList(spd.ChannelVoltages));
    lines.push_back(std::string(" Data ECC ") + (spd.ECC ? "is" : "is not") + " supported");
    if (spd.ManufactureWeek != 0)
        lines.push_back(ReportFormat(" Manufactured on week %d of %d", {spd.ManufactureWeek, spd.ManufactureYear}));
    if (!spd.ModuleManufacturer.empty()) lines.push_back(" Module Manufacturer is " + spd.ModuleManufacturer);
    if (!spd.AMBManufacturer.empty()) lines.push_back(" AMB Manufacturer is " + spd.AMBManufacturer);
    if (!spd.DRAMManufacturer.empty()) lines.push_back(" DRAM Manufacturer is " + spd.DRAMManufacturer);
    lines.push_back(" Part number is " + spd.PartNumber);
    if (spd.SerialNumber != "00000000") lines.push_back(" Serial number is " + spd.SerialNumber);
    AddTimings(spd, lines);
}

bool ModulePresent(TLink& link, const TScanExceptionSet& exceptions, int address) {
    const TChipAccess access(&link);
    return !exceptions.test(static_cast<std::size_t>(address)) && !link.IsAddressEmpty(address);
}

// Re-enables the button however the reading ends.
class TButtonHold {
public:
    explicit TButtonHold(TDimmInfoView& view) : view_(view) { view_.SetButtonEnabled(false); }
    ~TButtonHold() { view_.SetButtonEnabled(true); }
    TButtonHold(const TButtonHold&) = delete;
    TButtonHold& operator=(const TButtonHold&) = delete;

private:
    TDimmInfoView& view_;
};

}  // namespace

double RoundUpCycles(double x) {
    const double whole = std::trunc(x);
    return x - whole < 0.0001 ? whole : whole + 1;
}

void DecodeDimm(TLink& link, int address, int moduleNumber, std::vector<std::string>& lines) {
    TSPDImage image{};
    for (int reg = 0; reg < 256; ++reg) {
        // One byte per bracket, so other programs' transactions can run between two.
        const TChipAccess access(&link);
        std::uint8_t value = 0;
        if (link.ReadByteData(address, static_cast<std::uint8_t>(reg), value)) image[static_cast<std::size_t>(reg)] = value;
    }
    const TDecodeSPD spd(image);
    if (spd.ChecksumOK && spd.MemoryType >= 2) Describe(spd, moduleNumber, lines);
}

std::vector<std::string> ReadDimmInfo(const TBoardIdentity* board) {
    std::vector<std::string> lines;
    for (const auto& link : Links()) {
        if (link->LinkKind() != LinkKinds::SMBus || link->HostKind() == HostKinds::I2CNVidia) continue;
        lines.push_back(ReportFormat("Scanning SMBus at $%.4x...", {link->BaseAddress()}));
        const TScanExceptionSet exceptions = GetScanExceptions(*link, board);
        for (int n = 0; n < 8; ++n)
            if (ModulePresent(*link, exceptions, 0x50 + n)) DecodeDimm(*link, 0x50 + n, n, lines);
    }
    if (lines.empty()) {
        lines.push_back("Unable to gather info about DIMMs.");
        lines.push_back("May be they are not accessible on the SMBus.");
    }
    return lines;
}

void BTNDimmInfoClick(TDimmInfoView& view, const TBoardIdentity* board) {
    const TButtonHold hold(view);
    view.SetLines({});
    view.SetLines(ReadDimmInfo(board));
}
