#pragma once
// SMSC LPC47/FDC37 controllers whose fans and outputs live in the runtime
// register block, in configuration space or behind an index/data pair,
// reached by raw ports on an ISA link.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "chips/cvsmscchip.h"
#include "hw/cvlink.h"

std::vector<TSMSCChip> SMSCRuntimeChips();

class TSMSCRuntimeRegisters {
public:
    TSMSCRuntimeRegisters(TLink* link, std::uint32_t address, std::int32_t address2, const TSMSCChip& chip)
        : FLink(link), FAddress(address), FAddress2(address2), FChip(chip) {}

    // Each answers for the kinds of its family only.
    void ReadFans(std::span<double> values);
    void ReadPwms(std::span<double> values);
    double SetPwm(int index, double percent);

    static std::vector<std::string> ClockOptions();
    std::optional<int> ClockIndex(int id);
    bool SetClockIndex(int id, int index);

    std::string DebugInfo();

private:
    // Raw ports act only on an ISA link; elsewhere a read has no value.
    bool PortsReachable() const;
    std::uint16_t RuntimeBase() const;
    std::optional<std::uint8_t> Runtime(std::uint8_t reg);
    void SetRuntime(std::uint8_t reg, std::uint8_t value);
    std::optional<std::uint8_t> IndexData(std::uint8_t reg);
    double SetRuntimePwm(int index, double percent);
    double SetIndexDataPwm(int index, double percent);
    double SetConfigSpacePwm(int index, double percent);
    void ReadConfigSpacePwms(std::span<double> values);

    TLink* FLink;
    std::uint32_t FAddress;
    std::int32_t FAddress2;
    const TSMSCChip& FChip;
};
