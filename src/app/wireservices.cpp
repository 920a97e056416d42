#include "app/wireservices.h"

#include <QCoreApplication>

#include "app/gpuservices.h"
#include "app/uguruservice.h"
#include "core/cvmonitor.h"
#include "cpu/cvclocks.h"
#include "cpu/cxcpu40.h"
#include "cpu/noscpuidmsr.h"
#include "cpu/noscpuusage.h"
#include "detect/cvsensordetection.h"
#include "firmware/cvsmbios.h"
#include "firmware/cvwmi.h"
#include "report/cvmailsend.h"
#include "report/cvsignatures.h"
#include "net/cvxap.h"

namespace {

// The clock page's lists read the clock-generator tables as they stand.
TClockTables ClockTableRows() {
    TClockTables tables;
    for (const TClockInfo& chip : ClockChipTable()) tables.ClockChips.push_back({chip.Vendor, chip.Model, chip.State});
    for (const TMBClock& board : BoardClockTable()) tables.Boards.push_back({board.Maker, board.Model, board.State});
    return tables;
}

// A queued call: the task runs on the GUI thread's loop, later.
void PostToGui(std::function<void()> task) {
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
}

class TServices : public TWiredServices {
public:
    explicit TServices(TMonitor& monitor) : monitor_(monitor), gpus_(monitor), detection_(monitor), mail_(PostToGui) {
        detection_.Install();
        detection_.SetSources({.Adl = gpus_.Adl(), .NVCpl = gpus_.NVCpl(), .UGuru = &uguru_});
        monitor.Events.Mail = &mail_;
        monitor.XapFactory = [](TMonitor& owner) { return std::make_unique<TCaldavorXAP>(owner.Slots, owner.Sensors); };
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
        monitor.Cpu.MeasureCpuClock = [](int milliseconds) { return static_cast<double>(::MeasureCpuClock(milliseconds)); };
        monitor.ClockTables = ClockTableRows();
        monitor.SignatureChecker = CheckFileSignatures;
        monitor.Cpu.SamplerError = [] { return TCpuSamplerError{CPUUsage.ErrorCode, CPUUsage.ErrorText()}; };
    }

    ~TServices() override { monitor_.Events.Mail = nullptr; }

private:
    TMonitor& monitor_;
    TGpuServices gpus_;
    TUGuruBoardService uguru_;
    TSensorDetection detection_;
    TCVMailServer mail_;
};

}  // namespace

std::unique_ptr<TWiredServices> WireServices(TMonitor& monitor) { return std::make_unique<TServices>(monitor); }
