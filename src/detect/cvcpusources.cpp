#include "detect/cvcpusources.h"

#include <array>
#include <exception>
#include <vector>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "chips/cvamdsensor.h"
#include "chips/cvintelprobe.h"
#include "core/cvmonitor.h"
#include "cpu/cxcpu40.h"
#include "detect/cvlinklookups.h"
#include "detect/cvsensorfactory.h"
#include "hw/cvpci.h"

using cvformat::Format;

namespace {

// How a family's registers are read and shown.
enum class TAmdLayout : std::uint8_t {
    K8,   // E4h: whole degrees plus TCaseMax, core, sensor and offset fields
    K10,  // A4h CurTmp, plus the offset of E4h
    K15,  // A4h CurTmp with its range select
};

struct TAmdFamily {
    std::array<std::uint32_t, 3> Ids;  // vendor:device dwords; 0 ends the list
    const char* Name;
    std::uint8_t ChipCode;
    TAmdLayout Layout;
    std::array<std::uint8_t, 3> Registers;  // read and shown in this order; 0 ends the list
};

constexpr TAmdFamily AmdFamilies[] = {
    {{0x11031022}, "K8", 5, TAmdLayout::K8, {0xE4}},
    {{0x12031022}, "K10", 6, TAmdLayout::K10, {0xA4, 0xE4}},
    {{0x13031022}, "K11", 7, TAmdLayout::K10, {0xA4, 0xE4}},
    {{0x17031022}, "K12/K14", 8, TAmdLayout::K10, {0xA4, 0xE4, 0x64}},
    {{0x16031022, 0x14031022, 0x141D1022}, "K15", 9, TAmdLayout::K15, {0xA4}},
    {{0x15831022, 0x15331022}, "K16", 10, TAmdLayout::K15, {0xA4}},
};

constexpr int FirstNodeDevice = 0x18;

const TAmdFamily* FindAmdFamily(std::uint32_t id) {
    for (const TAmdFamily& family : AmdFamilies)
        for (std::uint32_t known : family.Ids)
            if (known != 0 && known == id) return &family;
    return nullptr;
}

std::string ProcessorNameOfCpu0() {
    try {
        return TcxCpu().ProcessorInfo(0).Name().Name();
    } catch (const std::exception&) {
        return "Unknown because of error reading CPUID";
    }
}

// The "Found" line and the detail lines of one node.
std::vector<std::string> DescribeAmdNode(const TAmdFamily& family, const std::string& cpuName, int node,
                                         const std::array<std::uint32_t, 256 / 4>& regs) {
    const auto reg = [&regs](int offset) { return regs[static_cast<std::size_t>(offset / 4)]; };
    const std::uint32_t e4 = reg(0xE4);
    // K15 and K16 apply the range select, as their sensor does.
    const double curTmp = AmdK10Temperature(reg(0xA4), family.Layout == TAmdLayout::K15);
    std::vector<std::string> lines;
    if (family.Layout == TAmdLayout::K8) {
        lines.push_back(Format("Found %s internal sensor for K8 CPU#%d : %dC",
                               {cpuName, node, static_cast<int>(AmdK8Temperature(e4))}));
    } else {
        lines.push_back(Format("Found %s internal sensor for %s CPU#%d : %.3fC", {cpuName, family.Name, node, curTmp},
                               cvformat::Invariant()));
    }
    for (std::uint8_t shown : family.Registers)
        if (shown != 0) lines.push_back(Format(" -> [$%.2x]=$%.8x", {shown, reg(shown)}));
    switch (family.Layout) {
    case TAmdLayout::K8:
        lines.push_back(Format(" -> TCaseMax=%d", {((e4 >> 25) & 0x0F) * 2 + 49}));
        lines.push_back(Format(" -> Core=%d", {(e4 >> 2) & 1}));
        lines.push_back(Format(" -> Sensor=%d", {(e4 >> 6) & 1}));
        lines.push_back(Format(" -> Offset=%d", {(e4 >> 8) & 0x3F}));
        break;
    case TAmdLayout::K10:
        lines.push_back(Format(" -> CurTmp=%.3f", {curTmp}, cvformat::Invariant()));
        lines.push_back(Format(" -> Offset=%d", {11 - static_cast<int>((e4 >> 8) & 0x7F)}));
        break;
    case TAmdLayout::K15:
        lines.push_back(Format(" -> CurTmp=%.3f", {curTmp}, cvformat::Invariant()));
        break;
    }
    return lines;
}

void ProbeAmdFunction(TDetectionContext& context, const TAmdFamily& family, const std::string& cpuName, int bus,
                      int device, int function) {
    std::array<std::uint32_t, 256 / 4> regs{};
    try {
        for (std::uint8_t offset : family.Registers)
            if (offset != 0) regs[offset / 4] = ReadPCIConfigDWord(bus, device, function, offset);
    } catch (const std::exception&) {
        return;
    }
    TLogSinks& log = context.Monitor.Log;
    const int node = device - FirstNodeDevice;
    for (const std::string& line : DescribeAmdNode(family, cpuName, node, regs)) log.LogMessageEx(line, false);
    // The sensor addresses device 18h + node: a match below it cannot be a node.
    if (node < 0) return;
    const int pciLink = FindPCILink();
    if (pciLink < 0) {
        WriteDebugLog(Format("INFO : no PCI link for the AMD %s sensor of CPU#%d", {family.Name, node}));
        return;
    }
    context.Factory.AddSensor(pciLink, static_cast<std::uint32_t>(node), family.ChipCode);
}

}  // namespace

void ProbeAMDInternalSensors(TDetectionContext& context) {
    TLogSinks& log = context.Monitor.Log;
    log.LogMessageEx("About to probe AMD Internal Sensors...", false);
    if (context.Monitor.ScanFlags.NoPCIScan) {
        log.LogMessageEx("PCI scanning disabled by user", false);
    } else {
        const std::string cpuName = ProcessorNameOfCpu0();
        for (int bus = 0; bus <= 15; ++bus)
            for (int device = 0; device <= 31; ++device)
                for (int function = 0; function <= 7; ++function) {
                    const std::uint32_t id = ReadPCIConfigDWord(bus, device, function, 0);
                    if (id == 0xFFFFFFFF || id == 0) continue;
                    if (const TAmdFamily* family = FindAmdFamily(id))
                        ProbeAmdFunction(context, *family, cpuName, bus, device, function);
                }
    }
    log.LogMessageEx("End of AMD Internal Sensors probing", false);
}

std::string CollapseBlanks(std::string text) {
    for (auto at = text.find("  "); at != std::string::npos; at = text.find("  ")) text.erase(at, 1);
    return text;
}

void ProbeIntelInternalSensors(TDetectionContext& context) {
    TLogSinks& log = context.Monitor.Log;
    log.LogMessageEx("About to probe INTEL Internal Sensors...", false);
    std::string cpuName;
    std::int32_t tjmax = 0;
    std::vector<std::string> lines;
    if (ProbeIntelCoreSensor(cpuName, tjmax, &lines)) {
        for (const std::string& line : lines) log.LogMessageEx(line, line.find("!!!") != std::string::npos);
        log.LogMessageEx("Found " + CollapseBlanks(cpuName), true);
        context.Factory.AddSensor(0, 0, 11);
    }
    log.LogMessageEx("End of INTEL Internal Sensors probing", false);
}
