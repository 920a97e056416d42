#include "detect/cvsensorfactory.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <vector>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "chips/cvadm1021sensor.h"
#include "chips/cvalisensor.h"
#include "chips/cvamdsensor.h"
#include "chips/cvasussensor.h"
#include "chips/cvatipmsensor.h"
#include "chips/cvdellsensor.h"
#include "chips/cvdummysensor.h"
#include "chips/cvecnuvotonsensor.h"
#include "chips/cvfbdimmsensor.h"
#include "chips/cvfintek.h"
#include "chips/cvfujitsusensor.h"
#include "chips/cvglsensor.h"
#include "chips/cvgpusensors.h"
#include "chips/cvgmtsensor.h"
#include "chips/cvheuristicsensor.h"
#include "chips/cvintel5500sensor.h"
#include "chips/cvintelcoresensor.h"
#include "chips/cvite.h"
#include "chips/cvjedecjc424sensor.h"
#include "chips/cvjoysensor.h"
#include "chips/cvlm75sensor.h"
#include "chips/cvnational.h"
#include "chips/cvnforce2sensor.h"
#include "chips/cvsensorqst.h"
#include "chips/cvsensorsacpi.h"
#include "chips/cvsensorscsi.h"
#include "chips/cvsensorssmart.h"
#include "chips/cvsensoruguru.h"
#include "chips/cvsmscsensor.h"
#include "chips/cvsupermicrosensor.h"
#include "chips/cvtoshibasensor.h"
#include "chips/cvvia686sensor.h"
#include "chips/cvwinbond.h"
#include "core/cvmonitor.h"
#include "core/cvsmartdisk.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

struct TCodeRange {
    std::uint8_t First, Last;
};

struct TClassRow {
    std::string_view Class;
    std::initializer_list<TCodeRange> Codes;
};

constexpr std::string_view PlainSensor = "TSensor";

// Codes no row names make a plain TSensor.
const TClassRow ClassRows[] = {
    {"TUnusedSensor", {{2, 2}}},
    {"THeuristicSensor", {{3, 3}}},
    {"TACPISensor", {{4, 4}}},
    {"TAMDK8Sensor", {{5, 5}}},
    {"TAMDK10Sensor", {{6, 10}}},
    {"TIntelCoreSensor", {{11, 11}}},
    {"TIntel5500Sensor", {{12, 12}}},
    {"TSMARTSensor", {{13, 13}}},
    {"TArecaSensor", {{14, 14}}},
    {"TThreeWareSensor", {{15, 15}}},
    {"TAdvSMARTSensor", {{16, 16}}},
    {"TSCSISensor", {{17, 17}}},
    {"TDELLSensor", {{18, 18}}},
    {"TToshibaSensor", {{19, 19}}},
    {"TASUSSensor", {{20, 20}}},
    {"TJOYSensor", {{21, 21}}},
    {"TNVCplSensor", {{22, 22}}},
    {"TADM1021Sensor",
     {{23, 24}, {59, 64}, {67, 67}, {71, 71}, {94, 103}, {105, 113}, {116, 116}, {121, 121}, {127, 131}, {133, 138},
      {140, 140}}},
    {"TWinbondSensor", {{25, 44}, {48, 52}, {229, 231}, {234, 234}}},
    {"TFintekSensor",
     {{45, 45}, {183, 183}, {185, 189}, {192, 195}, {197, 197}, {223, 223}, {227, 228}, {233, 233}, {235, 235}}},
    {"TLM75Sensor", {{47, 47}, {53, 58}, {65, 65}, {68, 70}, {114, 115}, {139, 139}, {141, 141}, {190, 191}}},
    {"TVIA686Sensor", {{72, 74}}},
    {"TITSensor", {{77, 79}, {81, 83}, {85, 87}, {89, 91}}},
    {"TGLSensor", {{92, 93}}},
    {"TJedecJC424Sensor", {{104, 104}, {132, 132}, {206, 216}}},
    {"TAliSensor", {{117, 118}}},
    {"TSMSCSensor", {{119, 120}, {122, 126}, {150, 163}, {165, 173}, {177, 177}, {220, 221}}},
    {"TNSSensor", {{143, 147}}},
    {"TFujitsuSensor", {{178, 179}, {226, 226}}},
    {"TNForce2Sensor", {{180, 180}}},
    {"TGMTSensor", {{181, 182}}},
    {"TUGuruSensor", {{198, 198}}},
    {"TATIPMSensor", {{199, 199}}},
    {"TGeForceSensor", {{200, 200}}},
    {"TFBDimmSensor", {{201, 201}}},
    {"TIntelQSTSensor", {{202, 202}}},
    {"TIntelQST2Sensor", {{203, 203}}},
    {"TACPISonySensor", {{204, 204}}},
    {"TSuperMicroSensor", {{205, 205}}},
    {"TATK0110Sensor", {{217, 217}}},
    {"TDummySensor", {{218, 218}}},
    {"TACPIAsusLaptopSensor", {{219, 219}}},
    {"TATIADLSensor", {{222, 222}}},
    {"TECNuvotonSensor", {{232, 232}}},
};

// Sources the non-bus discovery steps place on link 0 (ACPI, Intel core,
// Dell, Toshiba, uGuru, notebook ACPI, ATI ADL).
constexpr std::array<std::uint8_t, 8> LinkZeroSources = {4, 11, 18, 19, 198, 204, 219, 222};

template <class T>
TSensorCreator Make() {
    return [](TLink* link, std::uint32_t address, std::uint8_t code, TSensorLogEvent onLog, const std::string& vendor,
              const std::string& product, const std::string& system) -> std::unique_ptr<TSensor> {
        return CreateSensor<T>(link, address, code, std::move(onLog), vendor, product, system);
    };
}

// The classes built so far; a chip family adds its line when it lands.
const std::map<std::string, TSensorCreator, std::less<>>& BuiltCreators() {
    static const std::map<std::string, TSensorCreator, std::less<>> creators = {
        {std::string(PlainSensor), Make<TSensor>()},
        {"TUnusedSensor", Make<TUnusedSensor>()},
        {"THeuristicSensor", Make<THeuristicSensor>()},
        {"TDummySensor", Make<TDummySensor>()},
        {"TWinbondSensor", Make<TWinbondSensor>()},
        {"TSMSCSensor", Make<TSMSCSensor>()},
        {"TECNuvotonSensor", Make<TECNuvotonSensor>()},
        {"TVIA686Sensor", Make<TVIA686Sensor>()},
        {"TAliSensor", Make<TAliSensor>()},
        {"TNForce2Sensor", Make<TNForce2Sensor>()},
        {"TATIPMSensor", Make<TATIPMSensor>()},
        {"TIntel5500Sensor", Make<TIntel5500Sensor>()},
        {"TFBDimmSensor", Make<TFBDimmSensor>()},
        {"TADM1021Sensor", Make<TADM1021Sensor>()},
        {"TLM75Sensor", Make<TLM75Sensor>()},
        {"TGLSensor", Make<TGLSensor>()},
        {"TFujitsuSensor", Make<TFujitsuSensor>()},
        {"TGMTSensor", Make<TGMTSensor>()},
        {"TJedecJC424Sensor", Make<TJedecJC424Sensor>()},
        {"TSuperMicroSensor", Make<TSuperMicroSensor>()},
        {"TAMDK8Sensor", Make<TAMDK8Sensor>()},
        {"TAMDK10Sensor", Make<TAMDK10Sensor>()},
        {"TIntelCoreSensor", Make<TIntelCoreSensor>()},
        {"TDELLSensor", Make<TDELLSensor>()},
        {"TToshibaSensor", Make<TToshibaSensor>()},
        {"TASUSSensor", Make<TASUSSensor>()},
        {"TNVCplSensor", Make<TNVCplSensor>()},
        {"TGeForceSensor", Make<TGeForceSensor>()},
        {"TATIADLSensor", Make<TATIADLSensor>()},
        {"TJOYSensor", Make<TJOYSensor>()},
        {"TIntelQSTSensor", Make<TIntelQSTSensor>()},
        {"TIntelQST2Sensor", Make<TIntelQST2Sensor>()},
        {"TUGuruSensor", Make<TUGuruSensor>()},
        {"TFintekSensor", Make<TFintekSensor>()},
        {"TNSSensor", Make<TNSSensor>()},
        {"TITSensor", Make<TITSensor>()},
        {"TACPISensor", Make<TACPISensor>()},
        {"TACPISonySensor", Make<TACPISonySensor>()},
        {"TATK0110Sensor", Make<TATK0110Sensor>()},
        {"TACPIAsusLaptopSensor", Make<TACPIAsusLaptopSensor>()},
        {"TSMARTSensor", Make<TSMARTSensor>()},
        {"TAdvSMARTSensor", Make<TAdvSMARTSensor>()},
        {"TArecaSensor", Make<TArecaSensor>()},
        {"TThreeWareSensor", Make<TThreeWareSensor>()},
        {"TSCSISensor", Make<TSCSISensor>()},
    };
    return creators;
}

const std::array<std::string_view, 256>& CodeClasses() {
    static const std::array<std::string_view, 256> classes = [] {
        std::array<std::string_view, 256> table;
        table.fill(PlainSensor);
        for (const auto& row : ClassRows)
            for (const auto& range : row.Codes)
                for (int code = range.First; code <= range.Last; ++code) table[static_cast<std::size_t>(code)] = row.Class;
        return table;
    }();
    return classes;
}

constexpr std::uint8_t NotMonitoringRegister = 0x40;

// One step of a pre-start sequence.
struct TStep {
    enum Kind : std::uint8_t {
        Reset,        // write Reg := Value; the sequence ends when it fails
        Write,        // write Reg := Value, result ignored
        LimitPairs,   // Value pairs: 2Ch + 2i := AAh, then 2Bh + 2i := D2h
        Wait,         // Value * 100 ms
        Start,        // 40h := 01h, the started line when it succeeds
        FanDivisors,  // 47h := (47h and 0Fh) or A0h, when the read succeeds
    } Kind;
    std::uint8_t Reg = 0;
    std::uint8_t Value = 0;
};

struct TPreStartRow {
    std::initializer_list<std::uint8_t> Codes;
    std::initializer_list<TStep> Steps;
};

const TPreStartRow PreStartRows[] = {
    // LM79
    {{57}, {{TStep::Reset, 0x40, 0x01}, {TStep::Wait, 0, 4}, {TStep::Start}, {TStep::FanDivisors}}},
    // LM81, ADM9240, DS1780
    {{59, 103, 140},
     {{TStep::Reset, 0x40, 0x80},
      {TStep::LimitPairs, 0, 6},
      {TStep::Write, 0x3B, 0xDC},
      {TStep::Write, 0x3C, 0xDC},
      {TStep::Write, 0x39, 0x3C},
      {TStep::Write, 0x3A, 0x32},
      {TStep::Write, 0x4B, 0x00},
      {TStep::Start}}},
    // IT8693F
    {{78},
     {{TStep::Reset, 0x40, 0x80},
      {TStep::Wait, 0, 4},
      {TStep::LimitPairs, 0, 7},
      {TStep::Write, 0x39, 0x3C},
      {TStep::Write, 0x3A, 0x00},
      {TStep::Start},
      {TStep::Wait, 0, 1}}},
    // ADM1025
    {{96},
     {{TStep::LimitPairs, 0, 6},
      {TStep::Write, 0x37, 0x3C},
      {TStep::Write, 0x38, 0x00},
      {TStep::Write, 0x39, 0x3C},
      {TStep::Write, 0x3A, 0x00},
      {TStep::Start},
      {TStep::Wait, 0, 1}}},
};

const TPreStartRow* PreStartOf(std::uint8_t chipCode) {
    for (const auto& row : PreStartRows)
        if (std::find(row.Codes.begin(), row.Codes.end(), chipCode) != row.Codes.end()) return &row;
    return nullptr;
}

// A placeholder names nobody; an unreported address is no twin.
constexpr std::uint16_t NoReportedSMBus = 0xFFFF;

}  // namespace

std::string_view ChipClassName(std::uint8_t chipCode) { return CodeClasses()[chipCode]; }

const TSensorCreator* FindChipCreator(std::string_view className) {
    const auto& creators = BuiltCreators();
    const auto it = creators.find(className);
    return it == creators.end() ? nullptr : &it->second;
}

bool IsLinkZeroSource(std::uint8_t chipCode) {
    return std::find(LinkZeroSources.begin(), LinkZeroSources.end(), chipCode) != LinkZeroSources.end();
}

bool IsISABaseFree(int base) {
    if (base < 0) return true;
    return std::none_of(Links().begin(), Links().end(), [base](const auto& link) {
        return link->LinkKind() == LinkKinds::ISA && link->BaseAddress() == static_cast<std::uint32_t>(base);
    });
}

void TSensorFactory::SetCreator(std::string_view className, TSensorCreator creator) {
    overrides_.insert_or_assign(std::string(className), std::move(creator));
}

const TSensorCreator* TSensorFactory::CreatorOf(std::uint8_t chipCode) const {
    const std::string_view className = ChipClassName(chipCode);
    if (const auto it = overrides_.find(className); it != overrides_.end()) return &it->second;
    return FindChipCreator(className);
}

TSensor* TSensorFactory::AddSensorOfCode(int linkIndex, std::uint32_t address, std::uint8_t chipCode) {
    const std::size_t before = monitor_.Sensors.size();
    AddSensor(linkIndex, address, chipCode);
    if (monitor_.Sensors.size() != before + 1 || !monitor_.Sensors.back()) return nullptr;
    TSensor* sensor = monitor_.Sensors.back().get();
    return sensor->FChipCode == chipCode ? sensor : nullptr;
}

void TSensorFactory::AddSensor(int linkIndex, std::uint32_t address, std::uint8_t chipCode) {
    if (linkIndex < 0 || static_cast<std::size_t>(linkIndex) >= Links().size()) {
        WriteDebugLog(Format("INFO : no link #%d for chip code %d", {linkIndex, chipCode}));
        return;
    }
    TLink& link = *Links()[static_cast<std::size_t>(linkIndex)];
    const bool debug = monitor_.Options.DebugMode;

    const TBoardIdentity* board = monitor_.Board;
    const std::string vendor = board ? board->BoardManufacturer : std::string();
    const std::string product = board ? board->BoardProduct : std::string();
    const std::string system = board ? board->SystemProduct : std::string();

    link.RegisterAddress(static_cast<int>(address));

    if (std::string mirror; FindISAMirrorName(link, chipCode, address, mirror)) {
        if (debug) monitor_.Log.LogMessage("INFO : sensor already on ISA");
        AddUnusedChip(linkIndex, address, mirror, false);
        return;
    }
    if (!PassesLinkFilter(link, chipCode)) return;

    const TSensorCreator* create = CreatorOf(chipCode);
    if (!create) {
        WriteDebugLog(Format("INFO : chip code %d (%s) not built yet", {chipCode, std::string(ChipClassName(chipCode))}));
        return;
    }

    // Nothing is appended before the chip is started and built, so a failure
    // there leaves the lists as they were.
    PreStart(link, address, chipCode);
    std::unique_ptr<TSensor> made =
        (*create)(&link, address, chipCode, monitor_.SensorLogEvent(), vendor, product, system);
    TSensor& sensor = *made;
    if (chipCode >= 13 && chipCode <= 16) {
        if (auto* disk = dynamic_cast<TSmartDisk*>(&sensor)) {
            TMonitor& monitor = monitor_;
            disk->OnSmartRead = [&monitor](const TSensor& d, int driveNumber, std::optional<double> fitness) {
                monitor.SmartHasRefreshed(d, driveNumber, fitness);
            };
        }
    }

    const std::size_t before = monitor_.Sensors.size();
    const auto dropAppended = [&] {
        monitor_.Sensors.resize(before);
        monitor_.SensorInUse.resize(before);
    };
    bool duplicate = false;
    try {
        monitor_.Sensors.push_back(std::move(made));
        monitor_.SensorInUse.push_back(true);
        duplicate = RemoveDuplicateSensors();
    } catch (...) {
        dropAppended();
        throw;
    }
    if (duplicate) {
        WriteDebugLog(Format("About to remove %s from %s at $%.4x (DUPLICATED)",
                             {sensor.FChipName, link.BusText(), link.BaseAddress()}));
        dropAppended();
        WriteDebugLog("End of sensor removal");
        return;
    }
    LogFound(sensor);
}

void TSensorFactory::AddUnusedChip(int linkIndex, std::uint32_t address, const std::string& name,
                                   bool needsSupport) {
    const std::string named = name + (needsSupport ? " (>>>need support<<<)" : " (not used)");
    const std::size_t before = monitor_.Sensors.size();
    AddSensor(linkIndex, address, TUnusedSensor::ChipCode);
    if (monitor_.Sensors.size() > before && monitor_.Sensors.back()->FChipCode == TUnusedSensor::ChipCode)
        monitor_.Sensors.back()->SetName(named);
}

bool TSensorFactory::FindISAMirrorName(const TLink& link, std::uint8_t chipCode, std::uint32_t address,
                                       std::string& name) {
    name.clear();
    if (link.LinkKind() != LinkKinds::SMBus || address == NoReportedSMBus) return false;
    for (const auto& sensor : monitor_.Sensors) {
        if (sensor->FLinkText == "ISA" && sensor->GetReportedSMBus() == address && sensor->FChipCode == chipCode) {
            name = sensor->FChipName;
            return true;
        }
    }
    return false;
}

bool TSensorFactory::PassesLinkFilter(const TLink& link, std::uint8_t chipCode) {
    const TOptions& options = monitor_.Options;
    const char* refusal = nullptr;
    std::string unknown;
    switch (const std::uint8_t kind = link.LinkKind()) {
        case LinkKinds::ISA:
        case LinkKinds::ISAFlat:
            if (options.UseISA || IsLinkZeroSource(chipCode)) return true;
            refusal = kind == LinkKinds::ISA ? "INFO : ISA sensors DISABLED by user"
                                             : "INFO : FLAT ISA sensors DISABLED by user";
            break;
        case LinkKinds::SMBus:
            if (options.UseSMB) return true;
            refusal = "INFO : SMBus sensors DISABLED by user";
            break;
        default:
            if (kind == 0 || (kind >= LinkKinds::SMART && kind <= LinkKinds::ECNuvoton)) return true;
            unknown = Format("WARNING : UNKNOWN BUS (%s) sensors DISABLED by user", {link.BusText()});
            refusal = unknown.c_str();
    }
    if (options.DebugMode) monitor_.Log.LogMessage(refusal);
    return false;
}

void TSensorFactory::PreStart(TLink& link, std::uint32_t address, std::uint8_t chipCode) {
    const TPreStartRow* row = PreStartOf(chipCode);
    if (!row) return;
    const int at = static_cast<int>(address);
    std::uint8_t value = 0;
    if (!link.ReadByteData(at, NotMonitoringRegister, value) || (value & 0x01) != 0) return;

    const bool debug = monitor_.Options.DebugMode;
    monitor_.Log.LogMessageEx("INFO: sensor is not (yet) monitoring", debug);
    for (const TStep& step : row->Steps) {
        switch (step.Kind) {
            case TStep::Reset:
                if (!link.WriteByteData(at, step.Reg, step.Value)) return;
                break;
            case TStep::Write:
                link.WriteByteData(at, step.Reg, step.Value);
                break;
            case TStep::LimitPairs:
                for (int i = 0; i < step.Value; ++i) {
                    link.WriteByteData(at, static_cast<std::uint8_t>(0x2C + 2 * i), 0xAA);
                    link.WriteByteData(at, static_cast<std::uint8_t>(0x2B + 2 * i), 0xD2);
                }
                break;
            case TStep::Wait:
                platform::current().clock().sleepMs(step.Value * 100u);
                break;
            case TStep::Start:
                if (link.WriteByteData(at, NotMonitoringRegister, 0x01))
                    monitor_.Log.LogMessageEx("INFO: sensor started by CALDAVOR", debug);
                break;
            case TStep::FanDivisors:
                if (link.ReadByteData(at, 0x47, value))
                    link.WriteByteData(at, 0x47, static_cast<std::uint8_t>((value & 0x0F) | 0xA0));
                break;
        }
    }
}

bool TSensorFactory::RemoveDuplicateSensors() {
    auto& sensors = monitor_.Sensors;
    TSensor& newest = *sensors.back();
    if (!newest.FLink || newest.FLink->LinkKind() != LinkKinds::ISA) return false;
    const auto older = [&](auto matches) -> TSensor* {
        for (std::size_t i = 0; i + 1 < sensors.size(); ++i)
            if (sensors[i]->FLink && sensors[i]->FChipCode == newest.FChipCode && matches(*sensors[i]))
                return sensors[i].get();
        return nullptr;
    };
    const auto report = [&](const char* relation, TSensor& match) {
        monitor_.Log.LogMessageEx(
            Format(std::string("DUPLICATE --> %s from %s at $%.4x ") + relation + " %s from %s at $%.4x",
                   {newest.FChipName, newest.FLink->BusText(), newest.FLink->BaseAddress(), match.FChipName,
                    match.FLink->BusText(), match.FLink->BaseAddress()}),
            monitor_.Options.DebugMode);
        return true;
    };
    const std::uint16_t reported = newest.GetReportedSMBus();
    if (reported != NoReportedSMBus) {
        if (TSensor* twin = older([&](TSensor& s) {
                return s.FLink->LinkKind() == LinkKinds::SMBus && s.GetReportedSMBus() == reported;
            }))
            return report("IS THE SAME AS", *twin);
    }
    if (TSensor* twin = older([&](TSensor& s) {
            return s.FLink->LinkKind() == LinkKinds::ISA && s.FAddress == newest.FAddress;
        }))
        return report("WAS ALREADY ADDED AS", *twin);
    return false;
}

void TSensorFactory::LogFound(TSensor& sensor) {
    WriteDebugLog(Format("FOUND %s at $%.4x", {sensor.FChipName, sensor.FAddress}));
    for (int i = 0; i < sensor.GetPropCount(); ++i) {
        try {
            const std::string value = sensor.GetPropValue(i);
            monitor_.Log.LogMessageEx(Format(" -> %s : %s", {sensor.GetPropName(i), value}), false);
        } catch (const std::exception& e) {
            monitor_.Log.LogMessage(std::string("GOTIT DEBUG 5 ") + e.what());
        }
    }
}
