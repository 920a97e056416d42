#include "chips/cvintelcoresensor.h"

#include <iterator>

#include "base/cvformat.h"
#include "chips/cvintelprobe.h"
#include "cpu/noscpuidmsr.h"
#include "hw/cvcpuaffinity.h"
#include "hw/cvdriver.h"

namespace {

using cvformat::Format;

const TPropStringArray DtsOptions = {"relative", "absolute"};
constexpr int FidVidPerCore = 8;

// The performance MSRs, each read once per core and tick.
constexpr std::uint32_t FidVidMsrs[] = {0x198, 0x199, 0x19D, 0xCE};

// Where each of a core's eight FID/VID samples sits: the MSR (position in
// FidVidMsrs), the bit of its ratio field and the bit of its six-bit voltage code.
struct TFidVidSource {
    int msr;
    int fidBit;
    int vidBit;
};
constexpr TFidVidSource FidVidSources[FidVidPerCore] = {
    {0, 8, 0}, {0, 24, 16}, {0, 40, 32}, {0, 56, 48}, {1, 8, 0}, {2, 8, 0}, {3, 8, 0}, {3, 40, 32},
};

// A five-bit ratio with a half-ratio bit six bits above it.
double Ratio(std::uint64_t value, int bit) {
    return static_cast<double>((value >> bit) & 0x1F) + static_cast<double>((value >> (bit + 6)) & 1) / 2;
}

// One line per statistics: prefix, name and minimum, maximum and mean; a
// constant value repeats its minimum instead.
void DumpStats(std::string& text, const TTreadingArray& list, const char* picture, const char* constant) {
    for (std::size_t k = 0; k < list.size(); ++k) {
        const int core = static_cast<int>(k) / FidVidPerCore;
        const int i = static_cast<int>(k) % FidVidPerCore;
        const std::string prefix = i == 0 ? Format("Core%.2d", {core}) : std::string(6, ' ');
        const TValueStats& s = *list[k].Stats;
        std::string line = Format(picture, {prefix, i, s.FMin, s.FMax, s.Mean()});
        if (s.FMin == s.FMax) line = Format(constant, {line, s.FMin});
        if (!text.empty()) text += "\r\n";
        text += line;
    }
}

}  // namespace

TIntelCoreSensor::TIntelCoreSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                                   std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FChipName = "INTEL CORE";
    std::string cpuName;
    ProbeIntelCoreSensor(cpuName, FTjmax, nullptr);

    LogDebug("TIntelCoreSensor.create - Collecting CPUID info");
    TCpuDataRef cpus;
    try {
        GetCpuidMsrData(cpus, nullptr, ChipPciReader());
    } catch (const std::exception& e) {
        Log(Format("!!!Exception in reading CPUID INFO!!! --> %s", {e.what()}), 1);
    }
    if (cpus) {
        LogDebug("TIntelCoreSensor.create - CPUID info properly collected");
        for (std::size_t n = 0; n < cpus->size(); ++n) {
            const TNosCMCPUIntelInfo& topo = (*cpus)[n].IntelInfo;
            const bool known = topo.TopologyFromLeaf4 || topo.TopologyFromLeaf11;
            if (known && topo.SmtId != 0) {
                LogDebug(Format("Skipping thread %d.%d.%d", {topo.PackageId, topo.CoreId, topo.SmtId}));
                LogDebug(Format("TIntelCoreSensor.create - Skipping thread #%d", {n}));
                continue;
            }
            LogDebug(Format("TIntelCoreSensor.create - Adding thread #%d", {n}));
            ++FCoreCount;
            FCoreCpus.push_back(static_cast<std::uint32_t>(n));
            const std::string name = Format("Core %d", {FCoreCount - 1});
            FTemps.push_back({name, NewStats(8, FChipName + " " + name)});
            FTemps.back().Stats->SetSpikeFilter(nullptr, 125.0);
        }
        if (!cpus->empty()) {
            const TNosCMCPUData& first = cpus->front();
            FFidVidAvailable = first.MsrCE != MsrUnread && first.Msr198 != MsrUnread && first.Msr199 != MsrUnread &&
                               first.Msr19D != MsrUnread;
        }
    }
    if (FFidVidAvailable) {
        for (int c = 0; c < FCoreCount; ++c) {
            for (int i = 0; i < FidVidPerCore; ++i) {
                const std::string fid = Format("FID[%d]%d", {c, i});
                const std::string vid = Format("VID[%d]%d", {c, i});
                FFids.push_back({fid, NewStats(8, FChipName + " " + fid)});
                FVids.push_back({vid, NewStats(8, FChipName + " " + vid)});
            }
        }
    }
    AddProp(PropDtsInterpretation);
}

void TIntelCoreSensor::ReadTempsInternal(std::span<double> values) {
    if (!IOPort || !IOPort->CanReadMSR) return;
    try {
        for (std::size_t i = 0; i < FCoreCpus.size() && i < values.size(); ++i) {
            TNosCpuAffinity pin(static_cast<int>(FCoreCpus[i]));
            if (!pin.Success) {
                // Read elsewhere, another core's value would carry this core's name.
                Log(Format("ERROR SETTING AFFINITY FOR CORE#%d", {FCoreCpus[i]}), 1);
                continue;
            }
            const std::uint64_t status = IOPort->ReadMSR(0x19C);
            if (status != MsrUnread) {
                values[i] = -static_cast<double>((status >> 16) & 0x7F);
                if (FDtsAbsolute == 1) values[i] += FTjmax;
            }
            if (FFidVidAvailable) ReadFIDsAndVIDs(static_cast<std::int32_t>(i));
        }
    } catch (const std::exception& e) {
        Log(Format("ERROR updating INTEL CORE temperatures (%s)", {e.what()}), 1);
    }
}

void TIntelCoreSensor::ReadFIDsAndVIDs(std::int32_t core) {
    try {
        const std::size_t base = static_cast<std::size_t>(core) * FidVidPerCore;
        if (core < 0 || base + FidVidPerCore > FFids.size()) return;
        std::uint64_t msr[std::size(FidVidMsrs)];
        for (std::size_t m = 0; m < std::size(FidVidMsrs); ++m) msr[m] = IOPort->ReadMSR(FidVidMsrs[m]);
        for (int i = 0; i < FidVidPerCore; ++i) {
            const TFidVidSource& src = FidVidSources[i];
            const std::uint64_t value = msr[src.msr];
            if (value == MsrUnread) continue;  // no sample rather than all ones decoded
            FFids[base + i].Stats->Add(static_cast<float>(Ratio(value, src.fidBit)));
            FVids[base + i].Stats->Add(
                static_cast<float>(VidToVoltage(static_cast<std::uint16_t>((value >> src.vidBit) & 0x3F))));
        }
    } catch (const std::exception& e) {
        Log(Format("!!!Error in ReadFIDsAndVIDs (%s)", {e.what()}), 1);
    }
}

TPropStringArray TIntelCoreSensor::GetPropOptionsInternal(int id) {
    return ownsDts(id) ? DtsOptions : TSensor::GetPropOptionsInternal(id);
}

std::string TIntelCoreSensor::GetPropValueInternal(int id) {
    if (!ownsDts(id)) return TSensor::GetPropValueInternal(id);
    return DtsOptions[FDtsAbsolute == 1 ? 1 : 0];
}

bool TIntelCoreSensor::SetPropValueInternal(int id, const std::string& value) {
    if (!ownsDts(id)) return TSensor::SetPropValueInternal(id, value);
    const int k = GetPropOptionIndex(id, value);
    if (k != 0 && k != 1) return false;
    FDtsAbsolute = static_cast<std::uint8_t>(k);
    return true;
}

std::string TIntelCoreSensor::GetDebugInfoInternal() {
    std::string text = TSensor::GetDebugInfoInternal();
    if (FFids.empty()) return text;
    DumpStats(text, FFids, "%s FID%d=%4.1f %4.1f %4.1f", "%s %4.1f");
    DumpStats(text, FVids, "%s VID%d=%7.5f %7.5f %7.5f", "%s %7.5f");
    return text;
}
