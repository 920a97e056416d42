#include "platform/sim/boardi2c.h"

#include "platform/sim/accessbus.h"
#include "platform/sim/boardregisters.h"
#include "platform/sim/crtc.h"
#include "platform/sim/machine.h"
#include "platform/sim/mchspd.h"

namespace platform::sim {
namespace {

template <class Attach>
void readSlaves(const BoardNode& node, Machine& machine, Attach attach) {
    for (const BoardNode& item : node.items()) {
        item.expectFields({"address", "registers", "fault"});
        const auto address = static_cast<std::uint8_t>(item.field("address").asHex(0x7F, "0x50"));
        auto slave = std::make_shared<SMBusSlave>();
        if (auto registers = item.optionalField("registers")) readRegisters(*registers, slave->registers(), 0, machine);
        if (auto fault = item.optionalField("fault")) {
            if (fault->asString() != "nack") fault->failExpected("\"nack\"");
            slave->setFault({SMBusFault::Kind::Nack, -1});
        }
        attach(address, std::move(slave));
    }
}

}  // namespace

std::shared_ptr<I2CSlaves> readI2CSlaves(const BoardNode& node, Machine& machine) {
    auto slaves = std::make_shared<I2CSlaves>();
    readSlaves(node, machine, [&](std::uint8_t address, std::shared_ptr<SMBusSlave> slave) {
        slaves->attach(address, std::move(slave));
    });
    return slaves;
}

void loadCrtcSection(const BoardNode& section, Machine& machine) {
    section.expectFields({"registers", "buses"});
    auto registers = std::make_shared<RegisterFile>();
    if (auto node = section.optionalField("registers")) readRegisters(*node, *registers, 0, machine);
    std::shared_ptr<Crtc> crtc;
    installAt(section, [&] { crtc = Crtc::install(machine.ports(), registers); });
    if (auto buses = section.optionalField("buses")) {
        for (const BoardNode& bus : buses->items()) {
            bus.expectFields({"statusIndex", "slaves"});
            const auto index = static_cast<std::uint8_t>(bus.field("statusIndex").asHex(0xFE, "0x3E"));
            if (crtc->bus(index)) bus.field("statusIndex").fail("expected a status register no other bus has");
            auto slaves = bus.optionalField("slaves") ? readI2CSlaves(bus.field("slaves"), machine)
                                                      : std::make_shared<I2CSlaves>();
            crtc->addBus(index, std::make_shared<I2CWire>(std::move(slaves)));
        }
    }
}

void loadAccessBusSection(const BoardNode& section, Machine& machine) {
    for (const BoardNode& controller : section.items()) {
        controller.expectFields({"base", "slaves"});
        const auto base = static_cast<std::uint16_t>(controller.field("base").asHex(0xFFF8, "0x6000"));
        auto slaves = controller.optionalField("slaves") ? readI2CSlaves(controller.field("slaves"), machine)
                                                         : std::make_shared<I2CSlaves>();
        installAt(controller, [&] { AccessBus::install(machine.ports(), base, std::move(slaves)); });
    }
}

void loadMchSpdSection(const BoardNode& section, Machine& machine) {
    for (const BoardNode& path : section.items()) {
        path.expectFields({"bus", "device", "function", "commandRegister", "statusRegister", "busyReads", "slaves"});
        const PciLocation at{static_cast<unsigned>(path.field("bus").asInteger(0, 255)),
                             static_cast<unsigned>(path.field("device").asInteger(0, 31)),
                             static_cast<unsigned>(path.field("function").asInteger(0, 7))};
        auto segment = std::make_shared<SMBusSegment>();
        if (auto slaves = path.optionalField("slaves")) {
            readSlaves(*slaves, machine, [&](std::uint8_t address, std::shared_ptr<SMBusSlave> slave) {
                segment->attach(address, std::move(slave));
            });
        }
        auto model = std::make_shared<MchSpd>(
            static_cast<std::uint8_t>(path.field("commandRegister").asHex(0xFC, "0x78")),
            static_cast<std::uint8_t>(path.field("statusRegister").asHex(0xFE, "0x74")), std::move(segment));
        if (auto busy = path.optionalField("busyReads"))
            model->setBusyReads(static_cast<int>(busy->asInteger(-1, 1000000)));
        installAt(path, [&] { machine.pci().attachModel(at, std::move(model)); });
    }
}

}  // namespace platform::sim
