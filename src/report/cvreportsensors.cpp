#include "report/cvreportsensors.h"

#include <optional>
#include <vector>

#include "base/cvformat.h"
#include "chips/cvchipaccess.h"
#include "chips/cvwinbond.h"
#include "core/cvlogsinks.h"
#include "core/cvsensors.h"
#include "core/cvsmartdisk.h"
#include "hw/cvpci.h"
#include "report/cvreport.h"

namespace {

// Register items four to a line.
class TDumpLines {
public:
    explicit TDumpLines(TReport& report) : report_(report) {}
    ~TDumpLines() { Flush(); }
    TDumpLines(const TDumpLines&) = delete;
    TDumpLines& operator=(const TDumpLines&) = delete;

    void Add(int reg, std::uint8_t value) {
        buffer_ += ReportFormat("[$%.2x]=$%.2x  ", {reg, value});
        if (buffer_.size() > 36) Flush();
    }
    void Flush() {
        buffer_ = TrimTrailingBlanks(buffer_);
        if (!buffer_.empty()) report_.AddReportLine(buffer_);
        buffer_.clear();
    }

private:
    TReport& report_;
    std::string buffer_;
};

enum class TDumpKind { Plain, Port, WinbondBanks, Banks, PlainOrPortWithPci };

struct TChipDump {
    std::vector<int> codes;
    TDumpKind kind;
    TRegisterSet set;
    std::vector<TRegisterSet> banks;  // index = bank; the last index is the last bank
};

using R = std::pair<int, int>;

TRegisterSet Even(int first, int last) {
    TRegisterSet set;
    for (int r = first; r <= last; r += 2) set.set(static_cast<std::size_t>(r));
    return set;
}

std::vector<TRegisterSet> Banks(int count, std::initializer_list<std::pair<std::initializer_list<int>, TRegisterSet>> rows) {
    std::vector<TRegisterSet> banks(static_cast<std::size_t>(count));
    for (const auto& [numbers, set] : rows)
        for (int bank : numbers) banks[static_cast<std::size_t>(bank)] = set;
    return banks;
}

const std::vector<TChipDump>& ChipDumps() {
    static const std::vector<TChipDump> table = [] {
        const TRegisterSet bank52 = RegisterRanges({R{0x00, 0x0B}, R{0x20, 0x2C}, R{0x31, 0x31}, R{0x34, 0x35}, R{0x38, 0x48}});
        const TRegisterSet bank52b = bank52 | RegisterRanges({R{0x50, 0x56}});
        const TRegisterSet twoNine = RegisterRanges({R{0x02, 0x02}, R{0x09, 0x09}});
        return std::vector<TChipDump>{
            {{25, 26, 33, 35, 36}, TDumpKind::WinbondBanks, RegisterRanges({R{0x20, 0x2A}, R{0x47, 0x4F}}), {}},
            {{30, 32, 34, 39, 43, 50, 51}, TDumpKind::WinbondBanks, RegisterRanges({R{0x00, 0x07}}), {}},
            {{37}, TDumpKind::WinbondBanks, RegisterRanges({R{0x01, 0x0F}, R{0x20, 0x3D}, R{0x49, 0x49}, R{0x4B, 0x4F}}), {}},
            {{38}, TDumpKind::WinbondBanks, RegisterRanges({R{0x01, 0x13}, R{0x20, 0x3D}, R{0x49, 0x49}, R{0x4B, 0x4F}}), {}},
            {{41}, TDumpKind::Banks, {},
             {RegisterRanges({R{0x00, 0x8F}, R{0xA8, 0xFF}}), RegisterRanges({R{0x00, 0x82}, R{0xF0, 0xFF}}),
              RegisterRanges({R{0x00, 0x8E}, R{0xF0, 0xFF}})}},
            {{48}, TDumpKind::Banks, {},
             Banks(16, {{{4}, RegisterRanges({R{0x60, 0x67}})}, {{6}, RegisterRanges({R{0x21, 0x2E}})}})},
            {{52}, TDumpKind::Banks, {},
             Banks(16, {{{1, 2}, bank52b},
                        {{3}, bank52},
                        {{4}, RegisterRanges({R{0x01, 0x05}, R{0x10, 0x15}, R{0x23, 0x29}, R{0x40, 0x42}, R{0x50, 0x56},
                                              R{0x59, 0x5B}, R{0x60, 0x67}})},
                        {{5}, RegisterRanges({R{0x06, 0x08}, R{0x50, 0x57}})},
                        {{6}, RegisterRanges({R{0x00, 0x0D}, R{0x10, 0x1B}, R{0x1E, 0x1E}, R{0x21, 0x37}, R{0x41, 0x48},
                                              R{0x50, 0x5D}, R{0x60, 0x7E}})}})},
            {{229}, TDumpKind::Banks, {},
             Banks(16, {{{0}, RegisterRanges({R{0x01, 0x01}, R{0x03, 0x04}, R{0x11, 0x11}, R{0x13, 0x13}, R{0x15, 0x15},
                                              R{0x27, 0x27}})},
                        {{1}, twoNine | RegisterRanges({R{0x50, 0x51}})},
                        {{2, 3, 8, 9}, twoNine},
                        {{4}, RegisterRanges({R{0x00, 0x1A}, R{0x60, 0x67}, R{0x80, 0x95}, R{0xB0, 0xB9}, R{0xC0, 0xC9}})},
                        {{6}, RegisterRanges({R{0x21, 0x2E}})},
                        {{7}, RegisterRanges({R{0x20, 0x21}})}})},
            {{230}, TDumpKind::Banks, {}, Banks(16, {{{0, 4}, RegisterRanges({R{0x00, 0xFF}})}})},
            {{27, 56, 57}, TDumpKind::Plain, RegisterRanges({R{0x20, 0x2A}, R{0x40, 0x40}, R{0x47, 0x49}}), {}},
            {{58}, TDumpKind::Plain, RegisterRanges({R{0x05, 0x06}, R{0x20, 0x29}}), {}},
            {{59, 103, 140}, TDumpKind::Plain, RegisterRanges({R{0x19, 0x19}, R{0x20, 0x29}, R{0x3E, 0x40}, R{0x47, 0x47}}), {}},
            {{64}, TDumpKind::Plain,
             RegisterRanges({R{0x16, 0x16}, R{0x19, 0x19}, R{0x20, 0x29}, R{0x3E, 0x40}, R{0x47, 0x47}, R{0x4A, 0x4A}}), {}},
            {{81, 82}, TDumpKind::Plain, RegisterRanges({R{0x13, 0x17}, R{0x20, 0x28}}), {}},
            {{92, 93}, TDumpKind::Plain, RegisterRanges({R{0x00, 0x06}, R{0x0D, 0x1E}}), {}},
            {{94}, TDumpKind::Plain, RegisterRanges({R{0x00, 0x08}, R{0x10, 0x20}, R{0xFE, 0xFF}}), {}},
            {{96}, TDumpKind::Plain, RegisterRanges({R{0x1F, 0x42}, R{0x47, 0x47}, R{0x49, 0x49}}), {}},
            {{97}, TDumpKind::Plain, RegisterRanges({R{0x00, 0x13}, R{0x16, 0x6F}}), {}},
            {{110}, TDumpKind::Plain, RegisterRanges({R{0x21, 0x7D}}), {}},
            {{130}, TDumpKind::Plain, RegisterRanges({R{0x01, 0x01}, R{0x03, 0x03}, R{0x12, 0x14}, R{0xFE, 0xFF}}), {}},
            {{135}, TDumpKind::Plain, Even(0x00, 0x16), {}},
            {{139}, TDumpKind::Plain, RegisterRanges({R{0x20, 0x3D}, R{0x40, 0x49}, R{0x50, 0x58}}), {}},
            {{141}, TDumpKind::Plain, RegisterRanges({R{0x20, 0x29}, R{0x40, 0x40}, R{0x47, 0x48}}), {}},
            {{192}, TDumpKind::Plain, RegisterRanges({R{0x00, 0xFF}}), {}},
            {{72}, TDumpKind::PlainOrPortWithPci, RegisterRanges({R{0x13, 0x17}, R{0x1F, 0x2A}, R{0x3F, 0x40}}), {}},
            {{73}, TDumpKind::PlainOrPortWithPci, RegisterRanges({R{0x00, 0xFF}}), {}},
            {{150, 151, 152, 153, 154, 155, 156, 158, 160}, TDumpKind::Port, RegisterRanges({R{0x56, 0x5C}}), {}},
        };
    }();
    return table;
}

const TChipDump* FindChipDump(int code) {
    for (const TChipDump& row : ChipDumps())
        for (int c : row.codes)
            if (c == code) return &row;
    return nullptr;
}

// Puts the bank register back as it was found, whatever happens between.
class TBankRestore {
public:
    TBankRestore(TSensor& sensor, int reg, std::uint8_t value) : sensor_(sensor), reg_(reg), value_(value) {}
    ~TBankRestore() {
        if (sensor_.FLink)
            sensor_.FLink->WriteByteData(static_cast<int>(sensor_.FAddress), static_cast<std::uint8_t>(reg_), value_);
    }
    TBankRestore(const TBankRestore&) = delete;
    TBankRestore& operator=(const TBankRestore&) = delete;

private:
    TSensor& sensor_;
    int reg_;
    std::uint8_t value_;
};

std::optional<std::uint8_t> ReadSensorByte(TSensor& sensor, int reg) {
    return ReadChipByte(sensor.FLink, static_cast<int>(sensor.FAddress), static_cast<std::uint8_t>(reg));
}

void AddPciLine(TReport& report, const TLink& link) {
    std::string line;
    for (int reg = 0xD2; reg <= 0xD6; ++reg) {
        if (!line.empty()) line += ' ';
        line += ReportFormat("PCI : [%.2x]=%.2x",
                    {reg, ReadPCIConfigByte(link.PciBus(), link.PciDevice(), link.PciFunction(), reg)});
    }
    report.AddReportLine(line);
}

void AddReadings(TReport& report, TSensor& sensor, int count, TReading (TSensor::*get)(int) const, const char* picture) {
    for (int i = 1; i <= count; ++i) {
        const TReading reading = (sensor.*get)(i);
        const TValueStats& stats = *reading.Stats;
        report.AddReportLine(ReportFormat(picture, {sensor.FChipName, sensor.FLinkText, sensor.FAddress, reading.Name, stats.Last(),
                                           stats.FMin, stats.FMax, stats.Mean()}));
    }
}

void AddDiskHealth(TReport& report, const TSensor& sensor) {
    const auto* disk = dynamic_cast<const TSmartDisk*>(&sensor);
    if (!disk || !IsDiskLink(sensor)) return;
    report.AddReportLine(ReportFormat("%s (drive %d) : fitness=%s%%   performance=%s%%",
                             {disk->Model(), disk->GetDriveNumber(), HealthPercentText(disk->Fitness()),
                              HealthPercentText(disk->Performance())}));
}

void AddSensorReadings(TReport& report, TSensor& sensor) {
    sensor.ReadPwms();
    sensor.ReadVolts();
    AddReadings(report, sensor, sensor.GetTempCount(), &TSensor::GetTemp,
                "%s on %s at $%x %s : %.1f   min=%.1f   max=%.1f   mean=%.1f");
    AddReadings(report, sensor, sensor.GetFanCount(), &TSensor::GetFan,
                "%s on %s at $%x %s : %.0f   min=%.0f   max=%.0f   mean=%.0f");
    AddReadings(report, sensor, sensor.GetPwmCount(), &TSensor::GetPwm,
                "%s on %s at $%x %s : %.0f%%   min=%.0f%%   max=%.0f%%   mean=%.0f%%");
    AddReadings(report, sensor, sensor.GetVoltCount(), &TSensor::GetVolt,
                "%s on %s at $%x %s : %.2f   min=%.2f   max=%.2f   mean=%.2f");
    AddDiskHealth(report, sensor);
    const TChipAccess access(sensor.FLink);
    AddChipDump(report, sensor);
    const std::string debug = sensor.GetDebugInfo();
    if (!debug.empty()) report.AddReportLine(debug);
}

}  // namespace

TRegisterSet RegisterRanges(std::initializer_list<std::pair<int, int>> ranges) {
    TRegisterSet set;
    for (const auto& [first, last] : ranges)
        for (int r = first; r <= last; ++r) set.set(static_cast<std::size_t>(r));
    return set;
}

void AddRegisterDump(TReport& report, TSensor& sensor, const TRegisterSet& set) {
    TDumpLines lines(report);
    for (int reg = 0; reg < 256; ++reg)
        if (set.test(static_cast<std::size_t>(reg)))
            if (const auto value = ReadSensorByte(sensor, reg)) lines.Add(reg, *value);
}

void AddPortDump(TReport& report, TSensor& sensor, const TRegisterSet& set) {
    // Only the index/data ISA kind reads raw ports; elsewhere there is nothing to show.
    if (!sensor.FLink || sensor.FLink->HostKind() != HostKinds::ISA) return;
    TDumpLines lines(report);
    for (int reg = 0; reg < 256; ++reg)
        if (set.test(static_cast<std::size_t>(reg)))
            lines.Add(reg, sensor.FLink->ReadPort(static_cast<std::uint16_t>(sensor.FAddress + static_cast<unsigned>(reg)), 0));
}

void AddBankRegisters(TReport& report, TSensor& sensor, int bank, const TRegisterSet& set) {
    auto* winbond = dynamic_cast<TWinbondSensor*>(&sensor);
    TDumpLines lines(report);
    for (int reg = 0; reg < 256; ++reg) {
        if (!set.test(static_cast<std::size_t>(reg))) continue;
        if (winbond) winbond->SelectBank(bank);
        if (const auto value = ReadSensorByte(sensor, reg)) lines.Add(reg, *value);
    }
}

void AddWinbondBankDump(TReport& report, TSensor& sensor, const TRegisterSet& set) {
    AddRegisterDump(report, sensor, set);
    const auto kept = ReadSensorByte(sensor, 0x4E);
    if (!kept) return;
    const TBankRestore restore(sensor, 0x4E, *kept);
    const TRegisterSet bankSet = RegisterRanges({{0x50, 0x5F}});
    for (int bank = 0; bank <= 7; ++bank) {
        report.AddReportLine(ReportFormat("Bank %d -->", {bank}));
        AddBankRegisters(report, sensor, bank, bankSet);
    }
}

void AddBankDump(TReport& report, TSensor& sensor, const std::vector<TRegisterSet>& bankSets) {
    const int bankRegister = sensor.FChipCode == 41 ? 0x00 : 0x4E;
    const auto kept = ReadSensorByte(sensor, bankRegister);
    if (!kept) return;
    const TBankRestore restore(sensor, bankRegister, *kept);
    for (std::size_t bank = 0; bank < bankSets.size(); ++bank) {
        report.AddReportLine(ReportFormat("Bank %d -->", {static_cast<int>(bank)}));
        AddBankRegisters(report, sensor, static_cast<int>(bank), bankSets[bank]);
    }
}

void AddChipDump(TReport& report, TSensor& sensor) {
    const TChipDump* row = FindChipDump(sensor.FChipCode);
    if (!row) return;
    switch (row->kind) {
        case TDumpKind::Plain:
            AddRegisterDump(report, sensor, row->set);
            break;
        case TDumpKind::Port:
            AddPortDump(report, sensor, row->set);
            break;
        case TDumpKind::WinbondBanks:
            AddWinbondBankDump(report, sensor, row->set);
            break;
        case TDumpKind::Banks:
            AddBankDump(report, sensor, row->banks);
            break;
        case TDumpKind::PlainOrPortWithPci:
            if (sensor.FLink && sensor.FLink->LinkKind() == LinkKinds::SMBus)
                AddRegisterDump(report, sensor, row->set);
            else
                AddPortDump(report, sensor, row->set);
            if (sensor.FLink) AddPciLine(report, *sensor.FLink);
            break;
    }
}

void AddSensorsReadings(TReport& report, const TSensorList& sensors) {
    for (const auto& sensor : sensors)
        GuardedSection(report, "sensor " + sensor->FDisplayName, [&] { AddSensorReadings(report, *sensor); });
}

void AddCurrentSensorsProperties(TReport& report, const TSensorList& sensors, TLogSinks& log) {
    for (const auto& sensor : sensors) {
        const int count = sensor->GetPropCount();
        if (count == 0) continue;
        report.AddReportLine(ReportFormat("%s at $%.4x", {sensor->FChipName, sensor->FAddress}));
        for (int k = 0; k < count; ++k) {
            std::string value;
            try {
                value = sensor->GetPropValue(k);
            } catch (const std::exception& e) {
                log.LogMessage(std::string("AddCurrentSensorsProperties ERROR ") + e.what());
                value = "<error>";
            }
            report.AddReportLine(ReportFormat(" -> %s : %s", {sensor->GetPropName(k), value}));
        }
    }
    report.AddReportLine("<-- End of CURRENT SENSORS' PROPERTIES");
}
