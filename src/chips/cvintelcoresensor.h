#pragma once
// The digital thermal sensor of every physical core of an Intel processor
// (MSR 19Ch, degrees below Tjmax), read with the program pinned to the
// core's first logical processor; and statistics of the performance MSRs'
// frequency and voltage identifiers for the diagnostic report.

#include <vector>

#include "core/cvsensors.h"

class TIntelCoreSensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 11;
    static constexpr int PropDtsInterpretation = 120;

    TIntelCoreSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                     std::string boardVendor, std::string boardProduct, std::string systemProduct);

    // Adds one sample to each of the core's eight FID and eight VID
    // statistics; called with the program pinned to the core.
    void ReadFIDsAndVIDs(std::int32_t core);

protected:
    TPropStringArray GetPropOptionsInternal(int id) override;
    std::string GetPropValueInternal(int id) override;
    bool SetPropValueInternal(int id, const std::string& value) override;
    void ReadTempsInternal(std::span<double> values) override;
    std::string GetDebugInfoInternal() override;

private:
    bool ownsDts(int id) const { return id == PropDtsInterpretation && FChipCode == ChipCode; }

    std::vector<std::uint32_t> FCoreCpus;
    bool FFidVidAvailable = false;
    TTreadingArray FFids;
    TTreadingArray FVids;
    std::int32_t FCoreCount = 0;
    std::int32_t FTjmax = 0;
    std::uint8_t FDtsAbsolute = 1;
};
