#include "platform/sim/boardkernel.h"

#include "platform/sim/machine.h"

namespace platform::sim {

void loadKernelDriversSection(const BoardNode& section, Machine& machine) {
    for (const BoardNode& entry : section.items()) {
        entry.expectFields({"driver", "ports", "pci"});
        std::string driver = entry.field("driver").asNonEmptyString();
        const auto ports = entry.optionalField("ports");
        const auto pci = entry.optionalField("pci");
        if (bool(ports) == bool(pci)) entry.fail("expected either \"ports\" or \"pci\"");
        if (ports) {
            ports->expectFields({"first", "last"});
            const std::uint32_t first = ports->field("first").asHex(0xFFFF, "0x295");
            const std::uint32_t last = ports->field("last").asHex(0xFFFF, "0x296");
            if (last < first) ports->field("last").failExpected("a port no lower than \"first\"");
            machine.simKernelClaims().holdPorts(static_cast<std::uint16_t>(first), static_cast<std::uint16_t>(last),
                                                std::move(driver));
        } else {
            pci->expectFields({"bus", "device", "function"});
            const PciLocation at{static_cast<unsigned>(pci->field("bus").asInteger(0, 255)),
                                 static_cast<unsigned>(pci->field("device").asInteger(0, 31)),
                                 static_cast<unsigned>(pci->field("function").asInteger(0, 7))};
            machine.simKernelClaims().holdPci(at, std::move(driver));
        }
    }
}

}  // namespace platform::sim
