#include "chips/cvdellsensor.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <functional>

#include "base/cvformat.h"
#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"
#include "core/cvtext.h"
#include "firmware/cvsmbios.h"
#include "hw/cvdriver.h"

namespace {

using cvformat::Format;

constexpr std::uint32_t CmdInfo = 0xFEA3, CmdTemp = 0x10A3, CmdFan = 0x02A3, CmdFanStatus = 0x00A3,
                        CmdSetLevel = 0x01A3;
constexpr int IndexCount = 7;

bool Same(const std::string& a, const char* b) { return SameText(Trim(a), b); }

// One machine-model row: what it matches and the sets it replaces (nullopt keeps).
struct TDellModelRow {
    const char* boardProduct;  // matched alone when set
    std::vector<const char*> systemProducts;  // with system maker "Dell Inc."
    std::optional<std::vector<int>> temps, fans, pwms;
};

const std::vector<TDellModelRow>& ModelRows() {
    using V = std::vector<int>;
    static const std::vector<TDellModelRow> rows = {
        {"Latitude CPT S500GT", {}, V{0}, std::nullopt, std::nullopt},
        {nullptr, {"Dell System XPS L502X", "Dell System XPS L702X"}, V{}, V{}, V{0}},
        {nullptr, {"Precision WorkStation T7500"}, V{0}, V{0, 1, 2, 3, 4}, V{0, 1, 2, 3, 4}},
        {nullptr, {"Precision T1600"}, V{0}, V{0, 1}, V{0, 1}},
        {nullptr, {"Vostro 3700"}, V{0, 1, 2, 3, 4, 5}, V{0}, V{0}},
        {nullptr, {"Inspiron 1525"}, V{0, 1, 2, 3}, V{0}, V{0}},
        {nullptr, {"Dell System XPS 15Z"}, V{0, 1, 2}, V{0}, V{0}},
        {nullptr, {"Latitude E6520"}, V{0, 1, 2, 3}, V{0}, V{0}},
        {nullptr, {"Inspiron N5010"}, V{0, 1, 2}, V{0}, V{0}},
    };
    return rows;
}

bool Matches(const TDellModelRow& row, const TDellIdentity& id) {
    if (row.boardProduct) return Same(id.boardProduct, row.boardProduct);
    return Same(id.systemMaker, "Dell Inc.") &&
           std::any_of(row.systemProducts.begin(), row.systemProducts.end(),
                       [&id](const char* p) { return Same(id.systemProduct, p); });
}

std::string Registers(const TSMIRegisters& r) {
    return Format("CMD=$%.4x   DATA=$%.4x   S1=$%.4x   S2=$%.4x", {r.eax, r.ebx, r.ecx, r.edx});
}
std::string ShortRegisters(const TSMIRegisters& r) {
    return Format("CMD=$%.4x  DATA=$%.4x  S1=$%.4x  S2=$%.4x", {r.eax, r.ebx, r.ecx, r.edx});
}

// One call; regs hold the answer afterwards.
bool Call(std::uint32_t cmd, std::uint32_t data, TSMIRegisters& regs) {
    regs = {cmd, data, 0, 0};
    return IOPort && IOPort->DellSMICall(regs);
}

}  // namespace

// The command of a kind, its names in the log and how an answer becomes a value.
struct TDELLSensor::TKind {
    std::uint32_t cmd;
    const char* errorName;  // "temperature %d", "fan%d", "pwm%d"
    std::function<double(std::uint32_t)> value;
};

TDellIndexSets DellIndexSets(const std::optional<TDellIdentity>& identity) {
    TDellIndexSets sets;
    if (!identity) return sets;
    for (const TDellModelRow& row : ModelRows()) {
        if (!Matches(row, *identity)) continue;
        if (row.temps) sets.temps = *row.temps;
        if (row.fans) sets.fans = *row.fans;
        if (row.pwms) sets.pwms = *row.pwms;
    }
    return sets;
}

TDELLSensor::TDELLSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                         std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FChipName = "DELL";
    LogDebug("DELL Sensor constructor starting...");
    infoQuery();
    FTempPresent.assign(IndexCount, false);
    FFanPresent.assign(IndexCount, false);
    FPwmPresent.assign(IndexCount, false);
    const TDellIndexSets sets = DellIndexSets(readIdentity());
    const struct {
        const char* kind;
        const char* name;
        std::uint32_t cmd;
        const std::vector<int>& set;
        std::vector<bool>& present;
    } kinds[] = {{"temps", "temp", CmdTemp, sets.temps, FTempPresent},
                 {"fans", "fan", CmdFan, sets.fans, FFanPresent},
                 {"pwms", "pwm", CmdFanStatus, sets.pwms, FPwmPresent}};
    for (const auto& k : kinds) {
        std::string list;
        for (int i : k.set) list += Format(" %d", {i});
        Log(Format("Tested %s : %s", {k.kind, Trim(list)}), 1);
        for (int i = 0; i < IndexCount; ++i) {
            if (std::find(k.set.begin(), k.set.end(), i) == k.set.end()) continue;
            TSMIRegisters regs{};
            if (Call(k.cmd, static_cast<std::uint32_t>(i), regs)) {
                k.present[i] = true;
                LogDebug(Format("info %s%d : %s", {k.name, i, Registers(regs)}));
            } else {
                LogDebug(Format("ERROR info %s%d : %s", {k.name, i, Registers(regs)}));
            }
        }
    }
    static const char* const tempNames[] = {"CPU", "GPU", "DIMM"};
    const auto add = [this](TTreadingArray& list, const std::string& name, int capacity, double spike) {
        list.push_back({name, NewStats(capacity, FChipName + " " + name)});
        if (spike > 0) list.back().Stats->SetSpikeFilter(nullptr, spike);
    };
    int n = 0;
    for (bool p : FTempPresent) {
        if (p) add(FTemps, n < 3 ? tempNames[n] : Format("Temp%d", {n + 1}), 8, 125.0), ++n;
    }
    n = 0;
    for (bool p : FFanPresent) {
        if (p) add(FFans, Format("Fan%d", {++n}), 10, 8800.0);
    }
    n = 0;
    for (bool p : FPwmPresent) {
        if (p) add(FPwms, Format("Pwm%d", {++n}), 3, 0);
    }
}

std::optional<TDellIdentity> TDELLSensor::readIdentity() {
    if (!SMBiosExplorer) return std::nullopt;
    TDellIdentity identity;
    try {
        identity.boardProduct = SMBiosExplorer->GetBoardProduct();
        identity.systemMaker = SMBiosExplorer->GetSystemManufacturer();
        identity.systemProduct = SMBiosExplorer->GetSystemProduct();
    } catch (const std::exception& e) {
        LogDebug(Format("DELL Support ERROR accessing SMBIOSExplorer (%s)", {e.what()}));
    }
    return identity;
}

void TDELLSensor::infoQuery() {
    TSMIRegisters regs{};
    const bool ok = Call(CmdInfo, 0, regs);
    LogDebug(Format("info ver : %s - %s", {ok ? "OK" : "KO", ShortRegisters(regs)}));
}

void TDELLSensor::readKind(const TKind& kind, const std::vector<bool>& present, std::span<double> values) {
    if (FChipCode != ChipCode) return;
    std::size_t j = 0;
    for (int i = 0; i < IndexCount && j < values.size(); ++i) {
        if (!present[i]) continue;
        TSMIRegisters regs{};
        if (Call(kind.cmd, static_cast<std::uint32_t>(i), regs))
            values[j] = kind.value(regs.eax);
        else
            LogDebug(Format(std::string("TDELLSensor : ERROR reading ") + kind.errorName + " - %s",
                            {i, ShortRegisters(regs)}));
        ++j;
    }
}

void TDELLSensor::ReadTempsInternal(std::span<double> values) {
    static const TKind kind{CmdTemp, "temperature %d", [](std::uint32_t v) { return double(v & 0xFF); }};
    readKind(kind, FTempPresent, values);
}

void TDELLSensor::ReadFansInternal(std::span<double> values) {
    // Above 255 the answer is RPM; below it RPM / 30.
    static const TKind kind{CmdFan, "fan%d", [](std::uint32_t v) {
                                const std::uint32_t speed = v & 0xFFFF;
                                return double(speed > 255 ? speed : speed * 30);
                            }};
    readKind(kind, FFanPresent, values);
}

void TDELLSensor::ReadPwmsInternal(std::span<double> values) {
    static const TKind kind{CmdFanStatus, "pwm%d", [](std::uint32_t v) {
                                const std::uint32_t level = v & 0xFF;
                                return level <= 2 ? level * 50.0 : 0.0;
                            }};
    TChipAccess access(FLink);
    readKind(kind, FPwmPresent, values);
}

double TDELLSensor::SetPwmInternal(int index, double percent) {
    const int b = chipconv::PercentToDuty(percent, chipconv::DutyScale8);
    const int level = b < 86 ? 0 : b <= 170 ? 1 : 2;
    TChipAccess access(FLink);
    if (FChipCode != ChipCode) return 0;
    int nth = 0;
    for (int i = 0; i < IndexCount; ++i) {
        if (!FPwmPresent[i] || ++nth != index) continue;
        TSMIRegisters regs{};
        if (Call(CmdSetLevel, static_cast<std::uint32_t>(i | (level << 8)), regs)) return level * 50.0;
        LogDebug(Format("DELL SET PWM index=%d fan=%d speed=%d", {index, i, level}));
        LogDebug(" --> error");
        return 0;
    }
    return 0;  // no present output of that position
}

void TDELLSensor::ResumeFromSuspendInternal() {
    TSensor::ResumeFromSuspendInternal();
    infoQuery();
    LogDebug("resuming");
}
