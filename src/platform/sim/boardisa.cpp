#include "platform/sim/boardisa.h"


#include "platform/sim/boardregisters.h"
#include "platform/sim/flatportrange.h"
#include "platform/sim/indexdataport.h"
#include "platform/sim/machine.h"

namespace platform::sim {
namespace {

std::uint16_t readPort(const BoardNode& node, std::string_view example) {
    return static_cast<std::uint16_t>(node.asHex(0xFFFF, example));
}

void installOnPorts(const BoardNode& device, Machine& machine, const std::string& name,
                    std::shared_ptr<RegisterFile> file) {
    if (device.optionalField("indexPort") || device.optionalField("dataPort")) {
        device.expectFields({"name", "indexPort", "dataPort", "registers"});
        const auto index = readPort(device.field("indexPort"), "0x2E");
        const auto data = readPort(device.field("dataPort"), "0x2F");
        if (index == data) device.field("dataPort").fail("expected a port other than the index port");
        IndexDataPort::install(machine.ports(), std::move(file), index, data, name);
    } else if (device.optionalField("basePort")) {
        device.expectFields({"name", "basePort", "size", "registers"});
        const auto base = readPort(device.field("basePort"), "0x290");
        const auto size = static_cast<int>(device.field("size").asInteger(1, RegisterFile::registersPerBank));
        if (base + size - 1 > 0xFFFF) device.field("size").fail("expected a range that ends by port 0xFFFF");
        FlatPortRange::install(machine.ports(), std::move(file), base, size, name);
    } else {
        device.fail("expected \"indexPort\" and \"dataPort\", or \"basePort\" and \"size\"");
    }
}

}  // namespace

void loadIsaDevicesSection(const BoardNode& section, Machine& machine) {
    for (const BoardNode& device : section.items()) {
        const std::string name = readDeviceName(device, machine);
        auto file = std::make_shared<RegisterFile>();
        if (auto registers = device.optionalField("registers")) readRegisters(*registers, *file, 0, machine);
        claimPortsFor(device, [&] { installOnPorts(device, machine, name, file); });
        machine.addRegisterFile(name, std::move(file));
    }
}

}  // namespace platform::sim
