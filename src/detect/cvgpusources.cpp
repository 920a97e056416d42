#include "detect/cvgpusources.h"

#include "base/cvformat.h"
#include "core/cvmonitor.h"
#include "detect/cvlinklookups.h"
#include "detect/cvsensorfactory.h"

using cvformat::Format;

namespace {

constexpr std::uint8_t ATIADLCode = 222;
constexpr std::uint8_t NVCplCode = 22;
constexpr int NVCplMonitors = 9;

bool Working(std::uint8_t state) { return state == AdlWorking; }
const char* TrueFalse(bool value) { return value ? "True" : "False"; }

// The lines adapters and cards share: PCI location, vendor and name.
void LogLocationAndName(TLogSinks& log, const TAdlAdapterInfo& info) {
    log.TraceDebug(Format("  iBusNumber=%d", {info.BusNumber}));
    log.TraceDebug(Format("  iDeviceNumber=%d", {info.DeviceNumber}));
    log.TraceDebug(Format("  iFunctionNumber=%d", {info.FunctionNumber}));
    log.TraceDebug(Format("  iVendorId=$%.8x", {info.VendorId}));
    log.TraceDebug(Format("  strAdapterName=<%s>", {info.AdapterName}));
}

void LogAdapter(TLogSinks& log, int index, const TAdlAdapterInfo& info) {
    log.TraceDebug(Format("Adapter #%d", {index}));
    log.TraceDebug(Format("  iAdapterIndex=%d", {info.AdapterIndex}));
    log.TraceDebug(Format("  strUDID=<%s>", {info.UDID}));
    LogLocationAndName(log, info);
    log.TraceDebug(Format("  strDisplayName=<%s>", {info.DisplayName}));
    log.TraceDebug(Format("  iPresent=%d", {info.Present}));
    log.TraceDebug(Format("  iExist=%d", {info.Exist}));
    log.TraceDebug(Format("  strDriverPath=<%s>", {info.DriverPath}));
    log.TraceDebug(Format("  strDriverPathExt=<%s>", {info.DriverPathExt}));
    log.TraceDebug(Format("  strPNPString=<%s>", {info.PNPString}));
    log.TraceDebug(Format("  iOSDisplayIndex=%d", {info.OSDisplayIndex}));
}

void LogActivity(TLogSinks& log, const TAdlActivity& activity) {
    const auto invariant = cvformat::Invariant();
    log.TraceDebug("  Activity Info : ");
    log.TraceDebug(Format("    iEngineClock=%.2f MHz", {activity.EngineClock / 100.0}, invariant));
    log.TraceDebug(Format("    iMemoryClock=%.2f MHz", {activity.MemoryClock / 100.0}, invariant));
    log.TraceDebug(Format("    iVddc=%.3fV", {activity.Vddc / 1000.0}, invariant));
    log.TraceDebug(Format("    iActivityPercent=%d%%", {activity.ActivityPercent}));
    log.TraceDebug(Format("    iCurrentPerformanceLevel=%d", {activity.CurrentPerformanceLevel}));
    log.TraceDebug(Format("    iCurrentBusSpeed=%d", {activity.CurrentBusSpeed}));
    log.TraceDebug(Format("    iCurrentBusLanes=%d", {activity.CurrentBusLanes}));
    log.TraceDebug(Format("    iMaximumBusLanes=%d", {activity.MaximumBusLanes}));
}

void ProbeCard(TDetectionContext& context, TAdlService& adl, int index) {
    TLogSinks& log = context.Monitor.Log;
    const auto invariant = cvformat::Invariant();
    const TAdlAdapterInfo info = adl.GetCardInfo(index).Info;
    log.TraceDebug(Format("Card #%d", {index}));
    LogLocationAndName(log, info);

    const double temperature = adl.GetTemperature(index);
    log.TraceDebug(temperature == TAdlService::NoTemperature
                       ? std::string("  Temperature : <unavailable>")
                       : Format("  Temperature : %.2f", {temperature}, invariant));
    const TAdlFanReading fan = adl.GetFanSpeed(index, true);
    log.TraceDebug(Format("  Fan speed : %d RPM - %.0f%% - %d RPM", {fan.RPM, fan.Percent, fan.ApproxRPM}, invariant));
    const TAdlActivity activity = adl.GetActivity(index);
    if (Working(adl.GetCardInfo(index).ActivityState))
        LogActivity(log, activity);
    else
        log.TraceDebug("  Activity Info : <unavailable>");

    const TAdlCardInfo card = adl.GetCardInfo(index);
    log.TraceDebug(Format("  Can read temp      : %s", {TrueFalse(Working(card.TemperatureState))}));
    log.TraceDebug(Format("  Can read fan       : %s", {TrueFalse(Working(card.FanInfoState))}));
    log.TraceDebug(Format("  Can read fan perc  : %s", {TrueFalse(Working(card.PercentReadState))}));
    log.TraceDebug(Format("  Can read activity  : %s", {TrueFalse(Working(card.ActivityState))}));
    log.TraceDebug(Format("  Can read Vddc      : %s", {TrueFalse(Working(card.VddcState))}));
    if (Working(card.TemperatureState) || Working(card.FanInfoState) || Working(card.VddcState)) {
        log.TraceMessage(Format("Found %s", {info.AdapterName}), 1);
        context.Factory.AddSensor(0, static_cast<std::uint32_t>(index), ATIADLCode);
    } else {
        log.TraceDebug(Format("  No interesting data to show for %s", {info.AdapterName}));
    }
}

}  // namespace

void ProbeATIADL(TDetectionContext& context) {
    TLogSinks& log = context.Monitor.Log;
    TAdlService& adl = *context.Sources.Adl;
    log.LogMessageEx("About to probe ATI ADL...", false);
    if (!adl.GlobalExists()) {
        log.TraceDebug("Creating global ATI ADL interface object");
        adl.CreateGlobal([&log](const std::string& msg) { log.TraceDebug(msg); });
        log.TraceDebug("Global ATI ADL interface object properly created");
    }
    const int adapters = adl.AdapterCount();
    const int cards = adl.CardCount();
    log.TraceDebug(Format("Adapters found : %d", {adapters}));
    log.TraceDebug(Format("Cards found : %d", {cards}));
    for (int i = 0; i < adapters; ++i) LogAdapter(log, i, adl.GetAdapterInfo(i));
    for (int i = 0; i < cards; ++i) ProbeCard(context, adl, i);
    if (context.Monitor.IsBeta()) adl.ScanI2C();
    log.LogMessageEx("End of ATI ADL probing", false);
}

void ProbeNVControlPanel(TDetectionContext& context) {
    TLogSinks& log = context.Monitor.Log;
    TNVCplService& nvcpl = *context.Sources.NVCpl;
    log.LogMessageEx("About to probe NVIDIA ControlPanel Sensors...", false);
    if (!nvcpl.GlobalExists()) {
        log.LogMessageEx("ControlPanel not found.", false);
    } else {
        if (const std::string error = nvcpl.GetInitError(); !error.empty())
            log.LogMessageEx("Error initializing NVCPL support: " + error, false);
        for (int monitor = 0; monitor < NVCplMonitors; ++monitor) {
            const TNVThermalSettings t = nvcpl.GetThermalSettings(monitor);
            if (t.Core == 0 && t.Ambient == 0 && t.Limit == 0) continue;
            log.LogMessageEx(Format("Thermal settings for monitor %d are: CORE=%d  AMBIENT=%d  LIMIT=%d",
                                    {monitor, t.Core, t.Ambient, t.Limit}),
                             false);
            if (monitor == 0) context.Factory.AddSensor(FindOrAddNVCPLLink(), 0, NVCplCode);
        }
    }
    log.LogMessageEx("End of NVIDIA ControlPanel Sensors probing", false);
}
