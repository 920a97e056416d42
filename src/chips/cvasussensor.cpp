#include "chips/cvasussensor.h"

#include <algorithm>

#include "base/cvformat.h"
#include "chips/cvchipaccess.h"
#include "core/cvvars.h"
#include "platform/platform.h"

namespace {

namespace lib = platform::cardlibrary;
using cvformat::Format;

bool HoldsLibrary(const std::string& folder) {
    return platform::current().libraries().exists(AddBackslash(folder) + lib::FileName);
}

}  // namespace

std::string GetSmartDoctorDir() {
    platform::Platform& machine = platform::current();
    if (const auto path = machine.registry().readString("SOFTWARE\\ASUS\\SmartDoctor", "Path");
        path && HoldsLibrary(*path))
        return AddBackslash(*path);
    if (const auto programs =
            machine.systemRegistry().readString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir")) {
        const std::string folder = AddBackslash(*programs) + "ASUS\\SmartDoctor";
        if (HoldsLibrary(folder)) return AddBackslash(folder);
    }
    return {};
}

TASUSSensor::TASUSSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                         std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    if (chipCode != ChipCode || !Link()) return;
    FChipName = "ASUS Card";
    FTemps = {{"GPU"}, {"GPU"}, {"VRAM"}};
    FFans = {{"Fan GPU"}};
    FVolts = {{"Vcore"}, {"Vagp"}, {"+3.3V"}, {"+5V"}, {"+12V"}};
    FinishReadingSetup();
}

bool TASUSSensor::Link() {
    // Only from the folder found: the drive's root is no place to look for it.
    const std::string dir = GetSmartDoctorDir();
    if (!dir.empty()) FLibrary = platform::current().libraries().load(dir + lib::FileName);
    if (!FLibrary) {
        LogDebug("ASUSCard : Unable to link");
        return false;
    }
    LogDebug(Format("ASUSCard : Properly linked (%d)", {static_cast<unsigned long long>(FLibrary->handle())}));
    FGetTemperature = FLibrary->entry<lib::Reader>(lib::GetTemperature);
    FGetFanSpeed = FLibrary->entry<lib::Reader>(lib::GetFanSpeed);
    FGetVoltage = FLibrary->entry<lib::Reader>(lib::GetVoltage);
    const bool all = FGetTemperature && FGetFanSpeed && FGetVoltage &&
                     std::all_of(lib::EntryPoints.begin(), lib::EntryPoints.end(),
                                 [this](const char* name) { return FLibrary->exports(name); });
    if (all) {
        LogDebug("ASUSCard : Link ok");
        return true;
    }
    LogDebug("ASUSCard : Error linking procedures");
    FGetTemperature = FGetFanSpeed = FGetVoltage = nullptr;
    FLibrary.reset();
    return false;
}

void TASUSSensor::ReadTempsInternal(std::span<double> values) {
    TChipAccess access(FLink);
    if (FChipCode != ChipCode || !FGetTemperature) return;
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = FGetTemperature(static_cast<std::uint32_t>(k + 1));
}

void TASUSSensor::ReadFansInternal(std::span<double> values) {
    TChipAccess access(FLink);
    if (FChipCode != ChipCode || !FGetFanSpeed) return;
    values[0] = FGetFanSpeed(1);
}

void TASUSSensor::ReadVoltsInternal(std::span<double> values) {
    TChipAccess access(FLink);
    if (FChipCode != ChipCode || !FGetVoltage) return;
    // The library answers millivolts.
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = FGetVoltage(static_cast<std::uint32_t>(k)) / 1000.0;
}
