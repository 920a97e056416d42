#include "chips/cvdummysensor.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "chips/cvchipaccess.h"

TRandomSource DefaultRandomSource() {
    return [](int range) {
        static std::mt19937 engine{std::random_device{}()};
        return std::uniform_int_distribution<int>(0, range - 1)(engine);
    };
}

TDummySensor::TDummySensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                           std::string boardVendor, std::string boardProduct, std::string systemProduct,
                           const TRandomSource& random)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FChipName = "Dummy";
    FPwms.resize(4);
    FDuties.resize(FPwms.size());
    for (auto& duty : FDuties) duty = random(100);
    FinishReadingSetup();
}

void TDummySensor::ReadPwmsInternal(std::span<double> values) {
    TChipAccess access(FLink);
    for (std::size_t i = 0; i < FDuties.size() && i < values.size(); ++i) values[i] = FDuties[i];
}

double TDummySensor::SetPwmInternal(int index, double percent) {
    TChipAccess access(FLink);
    if (index < 1 || index > static_cast<int>(FDuties.size())) return 0;
    // Not limited to 0..100, but kept inside the 32 bits the duty has.
    const double limit = std::numeric_limits<std::int32_t>::max();
    const auto duty = std::isnan(percent) ? 0 : static_cast<std::int32_t>(std::clamp(std::nearbyint(percent), -limit, limit));
    FDuties[static_cast<std::size_t>(index - 1)] = duty;
    return duty;
}
