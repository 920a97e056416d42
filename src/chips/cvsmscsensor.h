#pragma once
// SMSC monitors of both kinds: register-file chips (SMBus fan controllers
// and Super I/O monitor blocks) read through the link's byte operations, and
// LPC47/FDC37 controllers whose fans and outputs live in the runtime register
// block, in configuration space or behind an index/data pair, reached by raw
// ports on an ISA link. Each chip code selects one row of data.

#include <optional>

#include "core/cvsensors.h"

struct TSMSCChip;

class TSMSCSensor : public TSensor {
public:
    TSMSCSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                std::string boardVendor, std::string boardProduct, std::string systemProduct);

protected:
    TPropStringArray GetPropOptionsInternal(int id) override;
    std::string GetPropValueInternal(int id) override;
    bool SetPropValueInternal(int id, const std::string& value) override;
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadPwmsInternal(std::span<double> values) override;
    void ReadVoltsInternal(std::span<double> values) override;
    double SetPwmInternal(int index, double percent) override;
    std::string GetDebugInfoInternal() override;

private:
    std::optional<std::uint8_t> Reg(std::uint8_t reg);
    // Raw ports act only on an ISA link; elsewhere a read has no value.
    bool PortsReachable() const;
    std::uint16_t RuntimeBase() const;
    std::optional<std::uint8_t> Runtime(std::uint8_t reg);
    void SetRuntime(std::uint8_t reg, std::uint8_t value);
    std::optional<std::uint8_t> IndexData(std::uint8_t reg);
    double SetRuntimePwm(int index, double percent);
    double SetConfigSpacePwm(int index, double percent);
    void ReadConfigSpacePwms(std::span<double> values);

    const TSMSCChip* FChip = nullptr;
};
