// Notebook embedded controllers read through their ACPI methods.

#include "base/cvformat.h"
#include "chips/cvchipaccess.h"
#include "chips/cvsensorsacpi.h"
#include "hw/cvdriver.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

constexpr const char* EmbeddedController = "ACPI\\PNP0C09";

bool CanEvaluate() { return DriverHas(&TIOPort::CanEvalACPI); }

}  // namespace

// ---- TACPISonySensor -----------------------------------------------------------

TACPISonySensor::TACPISonySensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                                 std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TACPIBaseSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
                      std::move(systemProduct)) {
    FChipName = "SONY VAIO";
    DevicePath = FindAcpiDevice("EC", EmbeddedController);
    FTemps = {{"CPU"}, {"System"}, {}};
    FFans = {{"CPU Fan"}, {}};
    FinishReadingSetup();
}

template <class Read>
void TACPISonySensor::WithController(Read read) {
    TChipAccess access(FLink);
    if (FChipCode != ChipCode || !CanEvaluate()) return;
    auto device = OpenAcpiDevice(DevicePath, "TACPISonySensor: Unable to open %s (error $%.8x)");
    if (!device) return;
    try {
        read(*device);
    } catch (const std::exception& e) {
        LogDebug(Format("TACPISonySensor: Error executing ACPI method (%s)", {e.what()}));
    }
}

void TACPISonySensor::ReadTempsInternal(std::span<double> values) {
    WithController([&](platform::Device& device) {
        static const char* const methods[] = {"TS1R", "TS2R", "TS3R"};
        for (std::size_t i = 0; i < values.size() && i < std::size(methods); ++i) {
            const auto value = static_cast<std::uint32_t>(EvalInteger(&device, methods[i]));
            // The controller's temperatures are bytes; anything larger is no value.
            if (value <= 0xFF) values[i] = value;
        }
    });
}

void TACPISonySensor::ReadFansInternal(std::span<double> values) {
    WithController([&](platform::Device& device) {
        static const char* const methods[][2] = {{"F1FL", "F1FH"}, {"F2FL", "F2FH"}};
        for (std::size_t i = 0; i < values.size() && i < std::size(methods); ++i) {
            const std::int64_t low = EvalInteger(&device, methods[i][0]);
            const std::int64_t high = EvalInteger(&device, methods[i][1]);
            values[i] = static_cast<double>((high & 0xFF) * 256 + (low & 0xFF));
        }
    });
}

// ---- TACPIAsusLaptopSensor -----------------------------------------------------

TACPIAsusLaptopSensor::TACPIAsusLaptopSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode,
                                             TSensorLogEvent onLog, std::string boardVendor,
                                             std::string boardProduct, std::string systemProduct)
    : TACPIBaseSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
                      std::move(systemProduct)) {
    LogDebug("TACPIAsusLaptopSensor.create : Starting...");
    DevicePath = FindAcpiDevice("EC", EmbeddedController);
    FindThermalZoneDevices(true);
    FChipName = "Asus Laptop";
    const int fans = CountFans();
    LogDebug(Format("TACPIAsusLaptopSensor: Found %d fans", {fans}));
    if (fans == 1) FFans = {{"CPU Fan"}};
    FinishReadingSetup();
    LogDebug("TACPIAsusLaptopSensor.create : Done");
}

int TACPIAsusLaptopSensor::CountFans() {
    if (!CanEvaluate()) return 0;
    auto device = OpenAcpiDevice(DevicePath, "Unable to open %s (error $%.8x)");
    if (!device) return 0;
    LogDebug(Format("%-24s Opened EC device", {""}));
    try {
        TAcpiVariantArray results;
        EvalMethod(device.get(), "TACH", results, false, {TAcpiVariant::OfInt(0)});
        return 1;
    } catch (const std::exception& e) {
        LogDebug(Format("Error executing ACPI method (%s)", {e.what()}));
        return 0;
    }
}

void TACPIAsusLaptopSensor::ReadFansInternal(std::span<double> values) {
    TChipAccess access(FLink);
    if (FChipCode != ChipCode || !CanEvaluate()) return;
    auto device = OpenAcpiDevice(DevicePath, "TACPIAsusLaptopSensor: Unable to open %s (error $%.8x)");
    if (!device) return;
    try {
        TAcpiVariantArray results;
        EvalMethod(device.get(), "TACH", results, false, {TAcpiVariant::OfInt(0)});
        if (results.size() == 1) values[0] = static_cast<double>(results[0].AsInteger());
    } catch (const std::exception& e) {
        LogDebug(Format("TACPIAsusLaptopSensor: Error executing ACPI method (%s)", {e.what()}));
    }
}
