#include "app/wireservices.h"

#include "core/cvmonitor.h"
#include "cpu/cvclocks.h"
#include "cpu/cxcpu40.h"
#include "cpu/noscpuidmsr.h"
#include "cpu/noscpuusage.h"
#include "detect/cvsensordetection.h"

namespace {

// The clock page's lists read the clock-generator tables as they stand.
TClockTables ClockTableRows() {
    TClockTables tables;
    for (const TClockInfo& chip : ClockChipTable()) tables.ClockChips.push_back({chip.Vendor, chip.Model, chip.State});
    for (const TMBClock& board : BoardClockTable()) tables.Boards.push_back({board.Maker, board.Model, board.State});
    return tables;
}

class TServices : public TWiredServices {
public:
    explicit TServices(TMonitor& monitor) : detection_(monitor) {
        detection_.Install();
        monitor.Cpu.SetMsrReader = [](std::function<std::uint64_t(std::uint32_t)> reader) {
            SetMsrReader(std::move(reader));
        };
        monitor.Cpu.ProcessorInfo = [](int cpuIndex) {
            const TProcessorInformation cpu = TcxCpu().ProcessorInfo(static_cast<std::uint8_t>(cpuIndex));
            return TProcessorInfo{cpu.Features().FeatureByName("TSC").Available().Value(),
                                  cpu.Vendor().Kind() == VendorIntel, cpu.Name().Name()};
        };
        monitor.Cpu.GetCpuThreadSyncCycles = [] { return ::GetCpuThreadSyncCycles(); };
        monitor.Cpu.MeasureCpuClock = [](int milliseconds) { return static_cast<double>(::MeasureCpuClock(milliseconds)); };
        monitor.ClockTables = ClockTableRows();
        monitor.Cpu.SamplerError = [] { return TCpuSamplerError{CPUUsage.ErrorCode, CPUUsage.ErrorText()}; };
    }

private:
    TSensorDetection detection_;
};

}  // namespace

std::unique_ptr<TWiredServices> WireServices(TMonitor& monitor) { return std::make_unique<TServices>(monitor); }
