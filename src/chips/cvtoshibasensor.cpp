#include "chips/cvtoshibasensor.h"

#include <array>
#include <optional>

#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"
#include "platform/platform.h"

namespace {

// The 24-byte blocks of the request: three leading dwords, the rest zero.
using TToshibaBlock = std::array<std::uint32_t, 6>;

// One request on a freshly opened device; nullopt when the device does not
// open or refuses the request.
std::optional<TToshibaBlock> Exchange(std::uint32_t d0, std::uint32_t d1, std::uint32_t d2) {
    auto opened = platform::current().openDevice(TToshibaSensor::DevicePath);
    if (!opened.device) return std::nullopt;
    const TToshibaBlock in{d0, d1, d2, 0, 0, 0};
    TToshibaBlock out{};
    std::uint32_t returned = 0;
    const bool ok = opened.device->control(
        TToshibaSensor::RequestCode, std::span(reinterpret_cast<const std::uint8_t*>(in.data()), sizeof in),
        std::span(reinterpret_cast<std::uint8_t*>(out.data()), sizeof out), returned);
    if (!ok) return std::nullopt;
    return out;
}

}  // namespace

TToshibaSensor::TToshibaSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                               std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    if (chipCode != ChipCode) return;
    FChipName = "Toshiba";
    FPwms.resize(1);
    FinishReadingSetup();
}

void TToshibaSensor::ReadPwmsInternal(std::span<double> values) {
    TChipAccess access(FLink);
    if (FChipCode != ChipCode) return;
    const auto state = Exchange(0xFE00, 4, 0);
    if (state && (*state)[2] != 0) values[0] = 100;
}

double TToshibaSensor::SetPwmInternal(int /*index*/, double percent) {
    const bool on = chipconv::PercentToDuty(percent, chipconv::DutyScale8) >= 128;
    TChipAccess access(FLink);
    if (FChipCode != ChipCode) return 0;
    // A request the device refuses switched nothing.
    if (!Exchange(0xFF00, 4, on ? 1 : 0)) return 0;
    return on ? 100 : 0;
}
