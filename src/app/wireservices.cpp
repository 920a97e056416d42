#include "app/wireservices.h"

#include "core/cvmonitor.h"
#include "cpu/cxcpu40.h"
#include "cpu/noscpuidmsr.h"
#include "cpu/noscpuusage.h"
#include "detect/cvsensordetection.h"
#include "firmware/cvsmbios.h"
#include "firmware/cvwmi.h"

namespace {

class TServices : public TWiredServices {
public:
    explicit TServices(TMonitor& monitor) : detection_(monitor) {
        detection_.Install();
        // The identity is read on first use; the monitor keeps seeing it.
        if (SMBiosExplorer) monitor.Board = &SMBiosExplorer->GetIdentity();
        monitor.WmiQueryValue = [](const std::string& nameSpace, const std::string& query, const std::string& property) {
            return TWmiInspector().QueryValue(nameSpace, query, property);
        };
        monitor.Cpu.SetMsrReader = [](std::function<std::uint64_t(std::uint32_t)> reader) {
            SetMsrReader(std::move(reader));
        };
        monitor.Cpu.ProcessorInfo = [](int cpuIndex) {
            const TProcessorInformation cpu = TcxCpu().ProcessorInfo(static_cast<std::uint8_t>(cpuIndex));
            return TProcessorInfo{cpu.Features().FeatureByName("TSC").Available().Value(),
                                  cpu.Vendor().Kind() == VendorIntel, cpu.Name().Name()};
        };
        monitor.Cpu.GetCpuThreadSyncCycles = [] { return ::GetCpuThreadSyncCycles(); };
        monitor.Cpu.SamplerError = [] { return TCpuSamplerError{CPUUsage.ErrorCode, CPUUsage.ErrorText()}; };
    }

private:
    TSensorDetection detection_;
};

}  // namespace

std::unique_ptr<TWiredServices> WireServices(TMonitor& monitor) { return std::make_unique<TServices>(monitor); }
