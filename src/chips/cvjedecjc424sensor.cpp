#include "chips/cvjedecjc424sensor.h"

#include <utility>

#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"

namespace {

const char* ChipName(std::uint8_t code) {
    static const std::pair<std::uint8_t, const char*> names[] = {
        {104, "ADT7408"},   {132, "MAX6604"},   {206, "TS3000B3"},  {207, "SE97"},     {208, "SE98"},
        {209, "STTS424"},   {210, "STTS424E"},  {211, "STTS3000"},  {212, "STTS2002"}, {213, "MCP98242"},
        {214, "MCP98243"},  {215, "MCP9843"},   {216, "CAT34TS02"},
    };
    for (auto [c, name] : names)
        if (c == code) return name;
    return nullptr;
}

constexpr std::uint8_t AmbientRegister = 0x05;

}  // namespace

TJedecJC424Sensor::TJedecJC424Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode,
                                     TSensorLogEvent onLog, std::string boardVendor, std::string boardProduct,
                                     std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    if (const char* name = ChipName(chipCode)) FChipName = name;
    FTemps.resize(1);
    FinishReadingSetup();
    // The one temperature keeps the module's own name and a statistics name per chip.
    FTemps[0].Name = "Ambient";
    FTemps[0].Stats->FName = FChipName + " Ambient";
}

void TJedecJC424Sensor::ReadTempsInternal(std::span<double> values) {
    TChipAccess access(FLink);
    // Bits 15:13 are the limit flags.
    if (auto word = ReadThermometerWord(FLink, static_cast<int>(FAddress), AmbientRegister))
        values[0] = chipconv::Temp13Bit(*word);
}
