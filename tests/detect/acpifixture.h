#pragma once
// A detection run over a simulated machine with ACPI devices: the board's
// identity read fresh, the sensor classes of the ACPI steps standing in as
// named test chips on an ISA link 0, and every namespace handle closed at the end.

#include <algorithm>
#include <string>

#include "detect/cvacpidetect.h"
#include "detect/cvdetect.h"
#include "detectfixture.h"
#include "firmware/cvsmbios.h"
#include "hw/cvsetupapi.h"
#include "platform/sim/machine.h"

// The indent of the ACPI steps' "Found" lines.
inline const std::string AcpiTracePad(24, ' ');

class AcpiTest : public DetectTest {
protected:
    AcpiTest() {
        for (const char* name : {"TACPISensor", "TATK0110Sensor", "TToshibaSensor", "TACPISonySensor",
                                 "TACPIAsusLaptopSensor"})
            useChip(name, name);
        addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    }
    ~AcpiTest() override {
        EXPECT_EQ(machine().namespaceLog().openHandles, 0) << "a device handle stayed open";
        ResetCvsmbios();
    }
    void load(const std::string& board) {
        machine().loadFromFile(std::string(CALDAVOR_BOARDS_DIR) + "/acpi/" + board);
        ready();
    }
    void loadJson(const std::string& json) {
        machine().loadFromJson(json, "test board");
        ready();
    }
    // The driver as the board says, its capabilities read again.
    void ready() {
        // The program runs without a port object when the driver is missing.
        IOPort = machine().driver().installed ? std::make_unique<TIOPort>() : nullptr;
        ResetCvsmbios();
        InitializeCvsmbios();
        InitializeCvsetupapi();
    }
    void useDriver(std::uint32_t major, std::uint32_t minor) {
        machine().driver().major = major;
        machine().driver().minor = minor;
        ready();
    }
    int tracedCount(const std::string& line) const {
        const auto lines = trace();
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }
    bool tracedAll(const std::vector<std::string>& lines) const {
        return std::all_of(lines.begin(), lines.end(), [this](const std::string& l) { return traced(l); });
    }
    bool tracedWith(const std::string& part) const {
        const auto lines = trace();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(part) != std::string::npos; });
    }
    // The chip codes of the sensors added, in order.
    std::vector<int> codes() const {
        std::vector<int> result;
        for (const auto& sensor : monitor.Sensors) result.push_back(sensor->FChipCode);
        return result;
    }

    TDetectionEngine engine = TDetectionEngine::ForSinks(monitor.Log);
    TDetectionContext context{monitor, factory, engine};
};
