#include "chips/cvsmscsensor.h"

#include <algorithm>

TSMSCSensor::TSMSCSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                         std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)),
      FChip(FindSMSCChip(chipCode)) {
    if (FChip) {
        const auto at = std::find(FChip->codes.begin(), FChip->codes.end(), chipCode) - FChip->codes.begin();
        FChipName = FChip->names[static_cast<std::size_t>(at)];
        for (const auto& name : FChip->tempNames) FTemps.push_back(TReading{name, nullptr});
        for (const auto& name : FChip->voltNames) FVolts.push_back(TReading{name, nullptr});
        FFans.resize(static_cast<std::size_t>(FChip->fanCount));
        FPwms.resize(static_cast<std::size_t>(FChip->pwmCount));
        for (const int id : FChip->props) AddProp(id);
    }
    FinishReadingSetup();
}

// The address pair is read at each use: detection fills the second address after construction.
TSMSCRegisterFile TSMSCSensor::RegisterFile() const { return {FLink, FAddress, *FChip}; }

TSMSCRuntimeRegisters TSMSCSensor::RuntimeRegisters() const { return {FLink, FAddress, FAddress2, *FChip}; }

bool TSMSCSensor::HasProp(int id) const {
    return FChip && std::find(FChip->props.begin(), FChip->props.end(), id) != FChip->props.end();
}

void TSMSCSensor::ReadTempsInternal(std::span<double> values) {
    if (FChip) RegisterFile().ReadTemps(values);
}

void TSMSCSensor::ReadVoltsInternal(std::span<double> values) {
    if (FChip) RegisterFile().ReadVolts(values);
}

void TSMSCSensor::ReadFansInternal(std::span<double> values) {
    if (!FChip) return;
    RegisterFile().ReadFans(values);
    RuntimeRegisters().ReadFans(values);
}

void TSMSCSensor::ReadPwmsInternal(std::span<double> values) {
    if (!FChip) return;
    RegisterFile().ReadPwms(values);
    RuntimeRegisters().ReadPwms(values);
}

double TSMSCSensor::SetPwmInternal(int index, double percent) {
    if (!FChip || index < 1 || index > FChip->pwmCount) return 0;
    if (FChip->pwmKind == TSMSCPwmKind::Single || FChip->pwmKind == TSMSCPwmKind::Configured)
        return RegisterFile().SetPwm(index, percent);
    return RuntimeRegisters().SetPwm(index, percent);
}

TPropStringArray TSMSCSensor::GetPropOptionsInternal(int id) {
    if (!HasProp(id)) return TSensor::GetPropOptionsInternal(id);
    TPropStringArray options = FChip->runtimeClocks ? TSMSCRuntimeRegisters::ClockOptions() : RegisterFile().PropOptions(id);
    MakeOptionsUnique(options);
    return options;
}

std::string TSMSCSensor::GetPropValueInternal(int id) {
    if (!HasProp(id)) return TSensor::GetPropValueInternal(id);
    const TPropStringArray options = GetPropOptionsInternal(id);
    const std::optional<int> index = FChip->runtimeClocks ? RuntimeRegisters().ClockIndex(id) : RegisterFile().PropIndex(id);
    if (!index) return "<undefined>";
    return static_cast<std::size_t>(*index) < options.size() ? options[static_cast<std::size_t>(*index)] : "<undefined>";
}

bool TSMSCSensor::SetPropValueInternal(int id, const std::string& value) {
    if (!HasProp(id)) return TSensor::SetPropValueInternal(id, value);
    const int index = GetPropOptionIndex(id, value);
    if (index < 0 || index >= static_cast<int>(GetPropOptionsInternal(id).size())) return false;
    return FChip->runtimeClocks ? RuntimeRegisters().SetClockIndex(id, index) : RegisterFile().SetPropIndex(id, index);
}

std::string TSMSCSensor::GetDebugInfoInternal() { return FChip ? RuntimeRegisters().DebugInfo() : std::string{}; }
