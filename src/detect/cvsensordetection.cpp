#include "detect/cvsensordetection.h"

#include "core/cvmonitor.h"
#include "detect/cvacpidetect.h"
#include "detect/cvboardfixups.h"
#include "detect/cvchipsetmonitors.h"
#include "detect/cvcpusources.h"
#include "detect/cvdetect.h"
#include "detect/cvdetectcontext.h"
#include "detect/cvdiscoveredsensors.h"
#include "detect/cvfbdimm.h"
#include "detect/cvfirmwaresources.h"
#include "detect/cvgpusources.h"
#include "detect/cvraidprobe.h"
#include "detect/cvscsiprobe.h"
#include "detect/cvsmartprobe.h"
#include "detect/cvsmbusprobe.h"
#include "detect/cvsuperio.h"

namespace {

class TEngineRun : public TDetectionRun {
public:
    TEngineRun(TMonitor& monitor, TSensorFactory& factory, const TSourceServices& sources)
        : engine_(TDetectionEngine::ForSinks(monitor.Log)), context_{monitor, factory, engine_, sources} {}
    TDetectionContext& Context() override { return context_; }

private:
    TDetectionEngine engine_;
    TDetectionContext context_;
};

}  // namespace

std::unique_ptr<TDetectionRun> TSensorDetection::BeginDetection() {
    return std::make_unique<TEngineRun>(monitor_, factory_, sources_);
}

void TSensorDetection::Install() {
    monitor_.Detection = this;
    monitor_.AddDiscoveredSensor = DiscoveredSensorSink(monitor_, factory_);
    auto& steps = monitor_.DetectionSteps;
    steps.CheckDellSupport = [](TDetectionContext& context) { ::CheckDellSupport(context); };
    steps.ProbeSuperIONew = [](TDetectionContext& context) { ::ProbeSuperIONew(context.Monitor.Log); };
    // The Super I/O chip answers on the first link's turn.
    steps.ProbeSuperIO = [](TDetectionContext& context) { ::ProbeSuperIO(context, 0); };
    steps.IsISAPort290Unused = [](TDetectionContext&, int linkIndex) { return ::IsISAPort290Unused(linkIndex); };
    steps.ProbeSmbusAddress = [](TDetectionContext& context, int linkIndex, std::uint32_t address) {
        ::ProbeSmbusAddress(context, linkIndex, address);
    };
    steps.ProbeSiS5595DAM = ::ProbeSiS5595DAM;
    steps.ProbeALiM1535 = [](TDetectionContext& context, int) { ::ProbeALiM1535(context); };
    steps.ProbeVIAHardwareMonitor = [](TDetectionContext& context, int linkIndex) {
        ::ProbeVIAHardwareMonitor(context, linkIndex);
    };
    steps.ProbeICHSlaveAddress = ::ProbeICHSlaveAddress;
    steps.ActivateWinbondMonitorIfMissing = ::ActivateWinbondMonitorIfMissing;
    steps.HandleSpecialBoardTrap1 = ::HandleSpecialBoardTrap1;
    InstallSourceSteps();
}

void TSensorDetection::SetSources(const TSourceServices& sources) {
    sources_ = sources;
    InstallSourceSteps();
}

void TSensorDetection::InstallSourceSteps() {
    auto& steps = monitor_.DetectionSteps;
    steps.ProbeIntelQST = ::ProbeIntelQST;
    steps.ProbeIntelFBDimm = ::ProbeIntelFBDimm;
    steps.ProbeAMDInternalSensors = ::ProbeAMDInternalSensors;
    steps.ProbeIntelInternalSensors = ::ProbeIntelInternalSensors;
    steps.ProbeDummySensors = ::ProbeDummySensors;
    steps.ProbeAdvancedSMART = ::ProbeAdvancedSMART;
    steps.ProbeCSMISMART = ::ProbeCSMISMART;
    steps.ProbeClassicSMART = ::ProbeClassicSMART;
    steps.ProbeSCSI = ::ProbeSCSI;
    steps.ProbeArecaRAID = ::ProbeArecaRAID;
    steps.ProbeAMCC = ::ProbeAMCC;
    steps.FreeArecaRAID = ::ReleaseRaidSupport;
    steps.ProbeToshiba = ::ProbeToshiba;
    steps.ProbeACPI = ::ProbeACPI;
    steps.ProbeATK0110New = ::ProbeATK0110New;
    // The sources whose access objects are not in this build stay "not built yet".
    steps.ProbeUGuru = sources_.UGuru ? TSourceProbe(::ProbeUGuru) : nullptr;
    steps.ProbeATIADL = sources_.Adl ? TSourceProbe(::ProbeATIADL) : nullptr;
    steps.ProbeNVControlPanel = sources_.NVCpl ? TSourceProbe(::ProbeNVControlPanel) : nullptr;
}
