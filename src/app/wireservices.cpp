#include "app/wireservices.h"

#include "core/cvmonitor.h"
#include "cpu/cxcpu40.h"
#include "cpu/noscpuidmsr.h"
#include "cpu/noscpuusage.h"
#include "detect/cvsensordetection.h"
#include "firmware/cvsmbios.h"

namespace {

class TServices : public TWiredServices {
public:
    explicit TServices(TMonitor& monitor) : detection_(monitor) {
        detection_.Install();
        // The identity is read on first use; the monitor keeps seeing it.
        if (SMBiosExplorer) monitor.Board = &SMBiosExplorer->GetIdentity();
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
