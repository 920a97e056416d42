#include "chips/cvatipmsensor.h"

#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"

namespace {

struct TChannel {
    std::uint8_t speedLow, speedHigh, duty;
};
constexpr TChannel Channels[] = {{0x69, 0x6A, 0x03}, {0x6E, 0x6F, 0x13}, {0x73, 0x74, 0x23}};
constexpr int ChannelCount = 3;
constexpr double SpeedClock = 678000.0;

}  // namespace

TATIPMSensor::TATIPMSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                           std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FChipName = "SB 7xx/8xx PM2";
    FFans.resize(ChannelCount);
    FPwms.resize(ChannelCount);
    FinishReadingSetup();
}

void TATIPMSensor::ReadFansInternal(std::span<double> values) {
    TChipAccess access(FLink);
    const int address = static_cast<int>(FAddress);
    for (int i = 0; i < ChannelCount; ++i) {
        const auto count = ReadChipBytePair(FLink, address, Channels[i].speedHigh, Channels[i].speedLow);
        // 0FFFh is the 12-bit full scale some revisions report for a stopped fan.
        if (!count || *count == chipconv::NoFan12Bit) continue;
        values[static_cast<std::size_t>(i)] = chipconv::FanRpm(SpeedClock, *count, chipconv::NoFan16Bit);
    }
}

void TATIPMSensor::ReadPwmsInternal(std::span<double> values) {
    TChipAccess access(FLink);
    for (int i = 0; i < ChannelCount; ++i) {
        if (const auto duty = ReadChipByte(FLink, static_cast<int>(FAddress), Channels[i].duty))
            values[static_cast<std::size_t>(i)] = chipconv::DutyToPercent(*duty, chipconv::DutyScale8);
    }
}

double TATIPMSensor::SetPwmInternal(int index, double percent) {
    if (index < 1 || index > ChannelCount) return 0;
    TChipAccess access(FLink);
    const int address = static_cast<int>(FAddress);
    const std::uint8_t reg = Channels[index - 1].duty;
    if (!WriteChipByte(FLink, address, reg, static_cast<std::uint8_t>(chipconv::PercentToDuty(percent, 255))))
        return 0;
    const auto back = ReadChipByte(FLink, address, reg);
    return back ? chipconv::DutyToPercent(*back, chipconv::DutyScale8) : 0;
}
