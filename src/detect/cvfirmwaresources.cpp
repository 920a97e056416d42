#include "detect/cvfirmwaresources.h"

#include <filesystem>
#include <memory>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "chips/cvdummysensor.h"
#include "chips/cvsensorqst.h"
#include "core/cvmonitor.h"
#include "detect/cvlinklookups.h"
#include "detect/cvsensorfactory.h"
#include "firmware/cvintelqst2.h"
#include "firmware/heci.h"
#include "firmware/intelqst.h"

using cvformat::Format;

namespace {

constexpr std::uint8_t UGuruCode = 198;
constexpr const char* DummyMarker = "palette48x48.png.yyy";

// What the two QST generations say and add differently.
struct TQSTRow {
    const char* Version;  // "1.x", "2.x"
    std::uint8_t ChipCode;
    bool ListsPwms;
};
constexpr TQSTRow QST1Row{"1.x", TIntelQSTSensor::ChipCode, false};
constexpr TQSTRow QST2Row{"2.x", TIntelQST2Sensor::ChipCode, true};

bool Report(TDetectionContext& context, TCVIntelQST& qst, const TQSTRow& row) {
    if (!qst.FConfigured) return false;
    TLogSinks& log = context.Monitor.Log;
    const auto line = [&log](const std::string& msg) { log.LogMessageEx(msg, false); };
    const auto invariant = cvformat::Invariant();
    line(Format("Found QST %s", {row.Version}));
    line("  Temperatures ->");
    for (const auto& t : qst.FTemps) line(Format("    %s is %.2fC", {t.Name, t.Value}, invariant));
    line("  Fan speeds ->");
    for (const auto& f : qst.FFans) line(Format("    %s is %.0f RPM", {f.Name, f.Value}, invariant));
    line("  Voltages ->");
    for (const auto& v : qst.FVolts) line(Format("    %s is %.3fV", {v.Name, v.Value}, invariant));
    if (row.ListsPwms) {
        line("  PWMs ->");
        for (const auto& p : qst.FPwms)
            line(Format("    %s is %.0f%% %s", {p.Name, p.Value, QSTPwmFlagsText(p)}, invariant));
    }
    log.LogMessageEx(Format("Found Intel QST %s", {row.Version}), true);
    context.Factory.AddSensor(FindOrAddHECILink(), 0, row.ChipCode);
    return true;
}

template <class TQST>
bool TryQST(TDetectionContext& context, std::unique_ptr<TQST>& global, const TQSTRow& row) {
    TLogSinks& log = context.Monitor.Log;
    const bool madeHere = !global;
    if (madeHere) global = std::make_unique<TQST>();
    for (const std::string& msg : global->FStartupLog) log.LogMessageEx("  " + msg, false);
    if (!global->FTemps.empty() || !global->FFans.empty() || !global->FVolts.empty() || !global->FPwms.empty())
        return Report(context, *global, row);
    log.LogMessageEx(Format("Skipping QST %s because it returned no data", {row.Version}), false);
    // An object made earlier belongs to whoever made it.
    if (madeHere) global.reset();
    return false;
}

const char* UGuruKindName(std::uint8_t kind) {
    switch (kind) {
    case 1: return "Temp";
    case 2: return "Volt";
    case 3: return "Fan";
    default: return "<unknown>";
    }
}

}  // namespace

THeciVersion ReadHeciVersion() {
    THeciVersion version;
    THeciWin heci(QSTClientGuid, nullptr);
    if (heci.Initialize()) {
        version = heci.Version();
        heci.Close();
    }
    return version;
}

bool ReportQST1(TDetectionContext& context, TCVIntelQST& qst) { return Report(context, qst, QST1Row); }
bool ReportQST2(TDetectionContext& context, TCVIntelQST& qst) { return Report(context, qst, QST2Row); }
bool TryQST1(TDetectionContext& context) { return TryQST(context, IntelQST, QST1Row); }
bool TryQST2(TDetectionContext& context) { return TryQST(context, IntelQST2, QST2Row); }

void ProbeIntelQST(TDetectionContext& context) {
    TLogSinks& log = context.Monitor.Log;
    log.LogMessageEx("About to probe Intel QST...", false);
    const std::uint8_t major = ReadHeciVersion().Major;
    if (major >= 1 && major <= 5) {
        TryQST1(context);
    } else if (major == 6) {
        if (!TryQST2(context)) TryQST1(context);
    }
    log.LogMessageEx("End of Intel QST probing", false);
}

void ProbeUGuru(TDetectionContext& context) {
    TLogSinks& log = context.Monitor.Log;
    log.LogMessageEx("About to probe UGURU support...", false);
    const TUGuruBoard board = context.Sources.UGuru->ReadBoard();
    log.LogMessageEx(Format("Motherboard is %s %s", {board.Manufacturer, board.Product}), false);
    if (board.Matched) {
        for (const TUGuruItem& item : board.Items)
            if (item.Kind != 0) log.LogMessageEx(Format("  %s -> %s", {UGuruKindName(item.Kind), item.Name}), false);
        log.LogMessageEx(Format("Found UGURU (%s)", {board.Model}), true);
        context.Factory.AddSensor(0, 0, UGuruCode);
    }
    log.LogMessageEx("End of UGURU support probing", false);
}

void ProbeDummySensors(TDetectionContext& context) {
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::path(context.Sources.MarkerFolder) / DummyMarker, error)) return;
    const int pciLink = FindPCILink();
    if (pciLink < 0) {
        WriteDebugLog("INFO : no PCI link for the DUMMY sensor");
        return;
    }
    context.Factory.AddSensor(pciLink, 0, TDummySensor::ChipCode);
}
