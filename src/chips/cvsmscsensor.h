#pragma once
// SMSC monitors of both kinds: register-file chips (SMBus fan controllers
// and Super I/O monitor blocks) read through the link's byte operations, and
// LPC47/FDC37 controllers whose fans and outputs live in the runtime register
// block, in configuration space or behind an index/data pair, reached by raw
// ports on an ISA link. Each chip code selects one row of data; each family
// reads its own kinds of the row.

#include "chips/cvsmscregisterfile.h"
#include "chips/cvsmscruntime.h"
#include "core/cvsensors.h"

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
    TSMSCRegisterFile RegisterFile() const;
    TSMSCRuntimeRegisters RuntimeRegisters() const;
    bool HasProp(int id) const;

    const TSMSCChip* FChip = nullptr;
};
