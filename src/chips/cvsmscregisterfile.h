#pragma once
// SMSC register-file chips: SMBus fan controllers and Super I/O monitor
// blocks, read through the link's byte operations.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "chips/cvsmscchip.h"
#include "hw/cvlink.h"

std::vector<TSMSCChip> SMSCRegisterFileChips();

class TSMSCRegisterFile {
public:
    TSMSCRegisterFile(TLink* link, std::uint32_t address, const TSMSCChip& chip)
        : FLink(link), FAddress(static_cast<int>(address)), FChip(chip) {}

    void ReadTemps(std::span<double> values);
    void ReadVolts(std::span<double> values);
    // Each answers for the kinds of its family only.
    void ReadFans(std::span<double> values);
    void ReadPwms(std::span<double> values);
    double SetPwm(int index, double percent);

    std::vector<std::string> PropOptions(int id) const;
    std::optional<int> PropIndex(int id);
    bool SetPropIndex(int id, int index);

private:
    std::optional<std::uint8_t> Reg(std::uint8_t reg);

    TLink* FLink;
    int FAddress;
    const TSMSCChip& FChip;
};
