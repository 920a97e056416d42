#include "chips/cvalisensor.h"

#include <exception>
#include <optional>

#include "base/cvformat.h"
#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"
#include "hw/cvpci.h"

using cvformat::Format;

namespace {

constexpr double FanClock = 960000.0;

// ---- M5879 ----
constexpr std::uint8_t TempRegs[] = {0x27, 0x4E};
constexpr std::uint8_t CountRegs[] = {0x28, 0x29};
constexpr std::uint8_t DutyRegs[] = {0x17, 0x19};
constexpr std::uint8_t DivisorReg = 0x47;
constexpr std::uint8_t SMBusAddressReg = 0x48;
struct TVolt {
    std::uint8_t reg;
    double factor;
};
constexpr TVolt Volts[] = {{0x20, 0.016}, {0x21, 0.067063829787}, {0x22, 0.016}, {0x23, 0.0213333333333}};

// ---- M1535: configuration dword C8h ----
constexpr int FanDword = 0xC8;
struct TDwordFan {
    int exponentShift, countShift, driveShift;
};
constexpr TDwordFan DwordFans[] = {{2, 8, 26}, {4, 16, 28}};
constexpr double DrivePercent[] = {100, 75, 50, 25};

int DriveCode(std::uint32_t dword, int fan) { return static_cast<int>(dword >> DwordFans[fan].driveShift) & 3; }

}  // namespace

TAliSensor::TAliSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                       std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FFans.resize(2);
    FPwms.resize(2);
    if (IsM1535()) {
        FChipName = "ALi M1535";
    } else {
        FChipName = "ALi M5879";
        for (const char* name : {"Local Temp", "Remote Temp"}) FTemps.push_back(TReading{name, nullptr});
        for (const char* name : {"+3.3V", "+12V", "VCORE", "+5V"}) FVolts.push_back(TReading{name, nullptr});
    }
    FinishReadingSetup();
}

double TAliSensor::ByteToRPM(int count, int divisor) {
    try {
        return chipconv::FanRpmDivided(FanClock, count, divisor, chipconv::NoFan8Bit);
    } catch (const std::exception&) {
        Log(Format("error in ByteToRPM (%d,%d)", {count, divisor}), 1);
    }
    return 0;
}

std::optional<std::uint32_t> TAliSensor::ReadFanDword() {
    const std::uint32_t dword = ReadPCIConfigDWord(static_cast<int>(FAddress), FAddress2, FAux2, FanDword);
    // All ones is a function that did not answer.
    if (dword == 0xFFFFFFFF) {
        if (!FFanDwordFailing)
            Log(Format("Exception in ALI M1535 : %s %.8x %.8x %.8x",
                       {"configuration dword unreadable", static_cast<int>(FAddress), FAddress2, FAux2}),
                1);
        FFanDwordFailing = true;
        return std::nullopt;
    }
    FFanDwordFailing = false;
    return dword;
}

std::uint16_t TAliSensor::GetReportedSMBus() {
    if (IsM1535()) return 0xFFFF;
    TChipAccess access(FLink);
    const auto reg = ReadChipByte(FLink, static_cast<int>(FAddress), SMBusAddressReg);
    return reg ? static_cast<std::uint16_t>(*reg & 0x7F) : 0xFFFF;
}

void TAliSensor::ReadTempsInternal(std::span<double> values) {
    if (IsM1535()) return;
    TChipAccess access(FLink);
    for (std::size_t i = 0; i < std::size(TempRegs); ++i)
        if (const auto raw = ReadChipByte(FLink, static_cast<int>(FAddress), TempRegs[i]))
            values[i] = chipconv::TempSigned8(*raw);
}

void TAliSensor::ReadFansInternal(std::span<double> values) {
    TChipAccess access(FLink);
    if (IsM1535()) {
        const auto dword = ReadFanDword();
        if (!dword) return;
        for (std::size_t i = 0; i < std::size(DwordFans); ++i) {
            const int count = static_cast<int>(*dword >> DwordFans[i].countShift) & 0xFF;
            const int exponent = static_cast<int>(*dword >> DwordFans[i].exponentShift) & 3;
            values[i] = ByteToRPM(count, chipconv::DivisorFromCode(exponent)) / 2;
        }
        return;
    }
    const int address = static_cast<int>(FAddress);
    const auto divisors = ReadChipByte(FLink, address, DivisorReg);
    const std::optional<int> codes[] = {ReadField(divisors, 0x30, 4), ReadField(divisors, 0xC0, 6)};
    for (std::size_t i = 0; i < std::size(CountRegs); ++i)
        PutReading(values, i,
                   FromReads([this](std::uint8_t count,
                                    int code) { return ByteToRPM(count, chipconv::DivisorFromCode(code)); },
                             ReadChipByte(FLink, address, CountRegs[i]), codes[i]));
}

void TAliSensor::ReadPwmsInternal(std::span<double> values) {
    TChipAccess access(FLink);
    if (IsM1535()) {
        const auto dword = ReadFanDword();
        if (!dword) return;
        for (std::size_t i = 0; i < std::size(DwordFans); ++i) values[i] = DrivePercent[DriveCode(*dword, static_cast<int>(i))];
        return;
    }
    for (std::size_t i = 0; i < std::size(DutyRegs); ++i)
        if (const auto duty = ReadChipByte(FLink, static_cast<int>(FAddress), DutyRegs[i]))
            values[i] = chipconv::DutyToPercent(*duty, chipconv::DutyScale8);
}

void TAliSensor::ReadVoltsInternal(std::span<double> values) {
    if (IsM1535()) return;
    TChipAccess access(FLink);
    for (std::size_t i = 0; i < std::size(Volts); ++i)
        if (const auto raw = ReadChipByte(FLink, static_cast<int>(FAddress), Volts[i].reg))
            values[i] = (*raw + 2) * Volts[i].factor;
}

double TAliSensor::SetPwmInternal(int index, double percent) {
    if (index < 1 || index > 2) return 0;
    const int duty = chipconv::PercentToDuty(percent, chipconv::DutyScale8);
    TChipAccess access(FLink);
    if (IsM1535()) {
        const int bus = static_cast<int>(FAddress);
        const int code = 3 - duty / 64;
        const auto old = ReadFanDword();
        if (!old) return 0;
        const int shift = DwordFans[index - 1].driveShift;
        const std::uint32_t value = (*old & ~(3u << shift)) | (static_cast<std::uint32_t>(code) << shift);
        WritePCIConfigDWord(bus, FAddress2, FAux2, FanDword, value);
        const auto back = ReadFanDword();
        return back ? DrivePercent[DriveCode(*back, index - 1)] : 0;
    }
    const int address = static_cast<int>(FAddress);
    const std::uint8_t reg = DutyRegs[index - 1];
    if (!WriteChipByte(FLink, address, reg, static_cast<std::uint8_t>(duty))) return 0;
    const auto back = ReadChipByte(FLink, address, reg);
    return back ? chipconv::DutyToPercent(*back, chipconv::DutyScale8) : 0;
}
