#include "chips/cvsupermicrosensor.h"

#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"

TSuperMicroSensor::TSuperMicroSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode,
                                     TSensorLogEvent onLog, std::string boardVendor, std::string boardProduct,
                                     std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FTemps.resize(1);
    if (chipCode == PWS865PQ) {
        FChipName = "PWS-865-PQ";
        FFans = {{"Main Fan", nullptr}, {"Secondary Fan", nullptr}};
    }
    FinishReadingSetup();
}

void TSuperMicroSensor::ReadTempsInternal(std::span<double> values) {
    if (FChipCode != PWS865PQ) return;
    TChipAccess access(FLink);
    if (auto v = ReadChipByte(FLink, static_cast<int>(FAddress), 0x09)) values[0] = chipconv::TempUnsigned8(*v);
}

void TSuperMicroSensor::ReadFansInternal(std::span<double> values) {
    if (FChipCode != PWS865PQ) return;
    TChipAccess access(FLink);
    const std::uint8_t regs[] = {0x0A, 0x0B};
    for (std::size_t i = 0; i < 2 && i < values.size(); ++i) {
        const auto count = ReadChipByte(FLink, static_cast<int>(FAddress), regs[i]);
        // Two pulses per turn at 500/131 counts per pulse a second.
        if (count && *count != 0 && *count != 0xFF) values[i] = *count * 60.0 / 2 * (500.0 / 131.0);
    }
}
