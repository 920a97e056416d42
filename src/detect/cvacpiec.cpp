#include "detect/cvacpiec.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <span>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "chips/cvsensorsacpi.h"
#include "core/cvmonitor.h"
#include "core/cvvars.h"
#include "detect/cvacpidetect.h"
#include "detect/cvlinklookups.h"
#include "detect/cvsensorfactory.h"
#include "firmware/cvsmbios.h"
#include "hw/hwstrings.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

struct TIdentity {
    std::string SystemManufacturer, SystemProduct, BoardManufacturer, BoardProduct;
};

TIdentity Identity() {
    return {SMBiosExplorer->GetSystemManufacturer(), SMBiosExplorer->GetSystemProduct(),
            SMBiosExplorer->GetBoardManufacturer(), SMBiosExplorer->GetBoardProduct()};
}

void Trace(TLogSinks& log, const std::string& line) { log.TraceMessage(line, 0); }

// One method call; an argument is one integer.
struct TAcpiCall {
    const char* Method;
    std::optional<std::int32_t> Arg;
};

TAcpiVariantArray ArgsOf(const TAcpiCall& call) {
    if (!call.Arg) return {};
    return {TAcpiVariant::OfInt(*call.Arg)};
}

// Calls in order until the first error, which is traced; answers how many succeeded.
using TResultSink = std::function<void(const TAcpiCall& call, const TAcpiVariantArray& results)>;
std::size_t EvalSequence(TLogSinks& log, platform::Device& handle, std::span<const TAcpiCall> calls, bool verbose,
                         bool useEx, const TResultSink& onResult = {}) {
    std::size_t done = 0;
    try {
        for (const TAcpiCall& call : calls) {
            TAcpiVariantArray results;
            EvalAndLog(log, handle, call.Method, ArgsOf(call), results, verbose, useEx);
            if (onResult) onResult(call, results);
            ++done;
        }
    } catch (const std::exception& e) {
        Trace(log, Format("Error executing ACPI method (%s)", {e.what()}));
    }
    return done;
}

// Each call on its own, each error traced.
void EvalEach(TLogSinks& log, platform::Device& handle, std::span<const TAcpiCall> calls, bool verbose, bool useEx) {
    for (const TAcpiCall& call : calls) EvalSequence(log, handle, std::span(&call, 1), verbose, useEx);
}

void AddOnAcpiLink(TDetectionContext& context, const std::string& foundLine, std::uint8_t chipCode) {
    const int link = FindOrAddACPILink();
    if (link == -1) return;
    context.Monitor.Log.LogMessage(foundLine);
    context.Factory.AddSensor(link, 0, chipCode);
}

constexpr TAcpiCall SonyCalls[] = {{"TS1R", {}}, {"TS1L", {}}, {"TS2R", {}}, {"TS2L", {}},
                                   {"TS3R", {}}, {"TS3L", {}}, {"F1FL", {}}, {"F1FH", {}},
                                   {"F2FL", {}}, {"F2FH", {}}, {"ECF2", {}}};
constexpr const char* SonyRequired[] = {"TS1R", "TS1L", "F1FL", "F1FH"};

constexpr TAcpiCall TachCalls[] = {{"TACH", 0}, {"TACH", 1}, {"TACH", 2}};
constexpr TAcpiCall RfanPlain[] = {{"RFAN", {}}};
constexpr TAcpiCall RfanCalls[] = {{"RFAN", 0}, {"RFAN", 1}, {"RFAN", 2}};
constexpr TAcpiCall RfanPathPlain[] = {{"\\_TZ_\\RFAN", {}}};
constexpr TAcpiCall RfanPathCalls[] = {{"\\_TZ_\\RFAN", 0}, {"\\_TZ_\\RFAN", 1}, {"\\_TZ_\\RFAN", 2}};
constexpr const char* AsusProducts[] = {"F81SE", "C90S", "K52JT"};

// The RFAN of a zone or of the HAL device: true when any answered.
bool ProbeRfan(TLogSinks& log, platform::Device& handle, std::span<const TAcpiCall> plain,
               std::span<const TAcpiCall> withArgs, bool useEx) {
    const bool plainAnswered = EvalSequence(log, handle, plain, true, useEx) == 1;
    return EvalSequence(log, handle, withArgs, true, useEx) >= 1 || plainAnswered;
}

// The trace-only probes of HP and Lenovo notebooks.
struct TTraceProbe {
    const char* Maker;
    const char* BoardProduct;
    bool Verbose;
    bool EvaluateZones;
};
constexpr TTraceProbe HPProbe{"HP", "3063", true, true};
constexpr TTraceProbe LenovoProbe{"Lenovo", "50382NU", false, false};

constexpr TAcpiCall FanSpeedCalls[] = {{"RPM1", 0}, {"RPM2", 1}};
constexpr TAcpiCall FanStateCalls[] = {{"FSDH", {}}, {"FSDL", {}}, {"FNON", {}}};
constexpr const char* FrspPaths[] = {"\\_TZ_\\TSZ0\\FRSP", "\\_TZ_.TSZ0.FRSP", "TSZ0.FRSP",
                                     "_TZ_\\TSZ0\\FRSP",   "_TZ_.TSZ0\\FRSP", "_TZ_.TSZ0.FRSP"};

void RunFrspTests(TLogSinks& log, platform::Device& handle) {
    Trace(log, "  Test 1...");
    const TAcpiCall first{"FRSP", {}};
    EvalSequence(log, handle, std::span(&first, 1), false, false);
    for (std::size_t i = 0; i < std::size(FrspPaths); ++i) {
        Trace(log, Format("  Test %d...", {static_cast<int>(i + 2)}));
        const TAcpiCall call{FrspPaths[i], {}};
        EvalSequence(log, handle, std::span(&call, 1), false, true);
    }
}

void ProbeTraceOnly(TDetectionContext& context, const TAcpiData& data, const TTraceProbe& probe) {
    TLogSinks& log = context.Monitor.Log;
    const TIdentity id = Identity();
    if (hw::UpperCase(id.BoardProduct) != probe.BoardProduct && data.ThermalZones.empty()) return;
    Trace(log, Format("%-24s Found %s %s", {"", probe.Maker, id.BoardProduct}));
    if (!CanEvaluateAcpi()) return;
    if (auto ec = OpenAcpiDevice(log, data.EcDevice)) {
        Trace(log, Format("%-24s Opened EC device", {""}));
        EvalSequence(log, *ec, FanSpeedCalls, probe.Verbose, false);
        EvalEach(log, *ec, FanStateCalls, probe.Verbose, true);
    }
    for (std::size_t i = 0; i < data.ThermalZones.size(); ++i) {
        const TSDDevice& zone = data.ThermalZones[i];
        auto handle = OpenAcpiDevice(log, zone);
        if (!handle) continue;
        Trace(log, Format("%-24s Opened TZ#%d device (%s)", {"", static_cast<int>(i), PdoObjectName(zone)}));
        if (probe.EvaluateZones) RunFrspTests(log, *handle);
    }
}

}  // namespace

void EvalAndLog(TLogSinks& log, platform::Device& handle, const std::string& method, const TAcpiVariantArray& args,
                TAcpiVariantArray& results, bool verbose, bool useEx) {
    if (!verbose) Trace(log, Format(useEx ? "%-24s Executing EVAL_EX of %s" : "%-24s Executing EVAL of %s", {"", method}));
    TAcpiLogMethod sink;
    if (verbose) sink = [&log](const std::string& line) { log.TraceDebug(line); };
    (useEx ? EVAL_EX : EVAL)(&handle, method, args, results, sink, verbose);
    for (std::size_t i = 0; i < results.size(); ++i)
        Trace(log, Format("%-24s   %-4s Returned argument[%d]=%s (%s)",
                          {"", "----", static_cast<int>(i), results[i].AsText(),
                           VariantTypeName(results[i].VarType())}));
}

bool IsSingleUnsignedResult(const TAcpiVariantArray& results) {
    return results.size() == 1 && results[0].Kind == TAcpiVariant::TKind::Integer;
}

void ExamineEmbeddedController(TDetectionContext& context, const TSDDevice& device, const TAcpiData& data) {
    if (!AcpiDevicePresent(device)) return;
    Trace(context.Monitor.Log, Format("%-24s Found Embedded Controller (%s)", {"", device.HardwareID}));
    if (!SMBiosExplorer) return;
    static const std::pair<const char*, void (*)(TDetectionContext&, const TAcpiData&)> makers[] = {
        {"SONY CORPORATION", ProbeSonyEC},
        {"ASUSTEK COMPUTER INC.", ProbeAsusEC},
        {"HEWLETT-PACKARD", ProbeHPEC},
        {"LENOVO", ProbeLenovoEC},
    };
    const std::string maker = hw::UpperCase(SMBiosExplorer->GetSystemManufacturer());
    for (const auto& [name, probe] : makers) {
        if (maker != name) continue;
        probe(context, data);
        return;
    }
}

void ProbeSonyEC(TDetectionContext& context, const TAcpiData& data) {
    TLogSinks& log = context.Monitor.Log;
    const TIdentity id = Identity();
    Trace(log, Format("%-24s Found Sony %s", {"", id.SystemProduct}));
    if (!CanEvaluateAcpi()) return;
    std::map<std::string, bool> single;
    if (auto ec = OpenAcpiDevice(log, data.EcDevice)) {
        Trace(log, Format("%-24s Opened EC device", {""}));
        EvalSequence(log, *ec, SonyCalls, false, false, [&](const TAcpiCall& call, const TAcpiVariantArray& results) {
            single[call.Method] = IsSingleUnsignedResult(results);
        });
    }
    for (const char* method : SonyRequired) {
        if (!single[method]) return;
    }
    AddOnAcpiLink(context, Format("Found %s %s %s", {id.BoardManufacturer, id.BoardProduct, id.SystemProduct}),
                  TACPISonySensor::ChipCode);
}

void ProbeAsusEC(TDetectionContext& context, const TAcpiData& data) {
    TLogSinks& log = context.Monitor.Log;
    const TIdentity id = Identity();
    const std::string product = hw::UpperCase(id.SystemProduct);
    const bool knownProduct =
        std::any_of(std::begin(AsusProducts), std::end(AsusProducts), [&](const char* p) { return product == p; });
    if (!knownProduct && !AcpiDevicePresent(data.Atk0100Device) && data.ThermalZones.empty()) return;
    Trace(log, Format("%-24s Found Asus %s", {"", id.SystemProduct}));
    if (!CanEvaluateAcpi()) return;
    bool tachFound = false;
    bool rfanFound = false;
    if (auto ec = OpenAcpiDevice(log, data.EcDevice)) {
        Trace(log, Format("%-24s Opened EC device", {""}));
        tachFound = EvalSequence(log, *ec, TachCalls, true, false) >= 1;
    }
    for (std::size_t i = 0; i < data.ThermalZones.size(); ++i) {
        const TSDDevice& zone = data.ThermalZones[i];
        auto handle = OpenAcpiDevice(log, zone);
        if (!handle) continue;
        Trace(log, Format("%-24s Opened TZ#%d device (%s)", {"", static_cast<int>(i), PdoObjectName(zone)}));
        rfanFound = ProbeRfan(log, *handle, RfanPlain, RfanCalls, false) || rfanFound;
    }
    if (!rfanFound && AcpiDevicePresent(data.HalDevice)) {
        const std::string hal = PdoObjectName(data.HalDevice);
        Trace(log, Format("%-24s Trying to access %s", {"", hal}));
        if (auto handle = OpenAcpiDevice(log, data.HalDevice)) {
            Trace(log, Format("%-24s Opened HAL device (%s)", {"", hal}));
            rfanFound = ProbeRfan(log, *handle, RfanPathPlain, RfanPathCalls, true);
        }
    }
    // The sensor reads its fan through TACH only, so RFAN alone adds nothing.
    if (tachFound)
        AddOnAcpiLink(context, Format("Found %s %s", {id.SystemManufacturer, id.SystemProduct}),
                      TACPIAsusLaptopSensor::ChipCode);
}

void ProbeHPEC(TDetectionContext& context, const TAcpiData& data) { ProbeTraceOnly(context, data, HPProbe); }

void ProbeLenovoEC(TDetectionContext& context, const TAcpiData& data) { ProbeTraceOnly(context, data, LenovoProbe); }
