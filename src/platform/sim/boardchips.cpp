#include "platform/sim/boardchips.h"

#include <stdexcept>

#include "platform/sim/boardregisters.h"
#include "platform/sim/ecmailbox.h"
#include "platform/sim/flatportrange.h"
#include "platform/sim/indexdataport.h"
#include "platform/sim/machine.h"

namespace platform::sim {
namespace {

std::uint8_t readByte(const BoardNode& node) { return static_cast<std::uint8_t>(node.asHex(0xFF, "0x4E")); }
std::uint16_t readPort(const BoardNode& node) { return static_cast<std::uint16_t>(node.asHex(0xFFFF, "0x290")); }

void readBankSelect(const BoardNode& node, RegisterFile& file) {
    node.expectFields({"register", "mask", "shift", "first", "last"});
    BankSelector s;
    s.reg = readByte(node.field("register"));
    s.mask = readByte(node.field("mask"));
    if (s.mask == 0) node.field("mask").failExpected("a mask with at least one bit");
    s.shift = node.optionalField("shift") ? static_cast<int>(node.field("shift").asInteger(0, 7)) : 0;
    if (auto first = node.optionalField("first")) s.first = readByte(*first);
    if (auto last = node.optionalField("last")) s.last = readByte(*last);
    if (s.first > s.last) node.field("last").failExpected("a register no lower than \"first\"");
    file.setBankSelector(s);
}

void readMailboxBusy(const BoardNode& node, ECMailbox& mailbox) {
    if (node.isString()) {
        if (node.asString() != "stuck") node.failExpected("\"stuck\" or {\"holdReads\": n}");
        mailbox.holdForever();
        return;
    }
    node.expectFields({"holdReads"});
    mailbox.holdFor(static_cast<int>(node.field("holdReads").asInteger(1, 1000000)));
}

// The slave answers at ((register and mask) shr shift) + offset whenever the
// program writes that register of this chip, or of the chip named, through
// any of its adaptors.
void followAddressField(const BoardNode& node, Machine& machine, const std::shared_ptr<RegisterFile>& own,
                        const std::shared_ptr<SMBusSlave>& slave) {
    node.expectFields({"register", "mask", "shift", "offset", "chip"});
    const std::uint8_t reg = readByte(node.field("register"));
    const std::uint8_t mask = readByte(node.field("mask"));
    if (mask == 0) node.field("mask").failExpected("a mask with at least one bit");
    const int shift = node.optionalField("shift") ? static_cast<int>(node.field("shift").asInteger(0, 7)) : 0;
    const std::uint8_t offset = node.optionalField("offset") ? readByte(node.field("offset")) : 0;
    std::shared_ptr<RegisterFile> watched = own;
    if (auto chip = node.optionalField("chip")) {
        watched = machine.registerFile(chip->asNonEmptyString());
        if (!watched) chip->failExpected("the name of a chip listed before this one");
    }
    SMBusSegment& segment = machine.protocolSMBus();
    std::weak_ptr<SMBusSlave> moved = slave;
    watched->addWriteHook(reg, [&segment, moved, mask, shift, offset](std::uint16_t value) {
        if (const auto s = moved.lock())
            segment.moveSlave(*s, static_cast<std::uint8_t>((((value & mask) >> shift) + offset) & 0x7F));
    });
}

void place(const BoardNode& placement, Machine& machine, const std::string& name,
           const std::shared_ptr<RegisterFile>& file) {
    if (auto isa = placement.optionalField("isa")) {
        placement.expectFields({"isa"});
        const std::uint16_t base = readPort(*isa);
        if (base > 0xFFF9) isa->failExpected("a base whose index and data ports fit below 0x10000");
        IndexDataPort::install(machine.ports(), file, static_cast<std::uint16_t>(base + 5),
                               static_cast<std::uint16_t>(base + 6), name);
    } else if (auto flat = placement.optionalField("flat")) {
        placement.expectFields({"flat", "size"});
        const std::uint16_t base = readPort(*flat);
        const auto size = static_cast<int>(placement.field("size").asInteger(1, RegisterFile::registersPerBank));
        if (base + size - 1 > 0xFFFF) placement.field("size").failExpected("a range that ends by port 0xFFFF");
        FlatPortRange::install(machine.ports(), file, base, size, name);
    } else if (auto ec = placement.optionalField("ecMailbox")) {
        placement.expectFields({"ecMailbox", "busy"});
        const std::uint16_t base = readPort(*ec);
        if (base > 0xFFFD) ec->failExpected("a base whose three ports fit below 0x10000");
        auto mailbox = ECMailbox::install(machine.ports(), file, base, name);
        if (auto busy = placement.optionalField("busy")) readMailboxBusy(*busy, *mailbox);
    } else if (auto smbus = placement.optionalField("protocolSMBus")) {
        placement.expectFields({"protocolSMBus", "protocols", "addressFrom"});
        const auto address = static_cast<std::uint8_t>(smbus->asHex(0x7F, "0x2D"));
        if (machine.protocolSMBus().slave(address)) smbus->failExpected("an address no other chip has");
        auto slave = std::make_shared<SMBusSlave>(file);
        if (auto protocols = placement.optionalField("protocols")) slave->setProtocolMask(readProtocolMask(*protocols));
        if (auto from = placement.optionalField("addressFrom")) followAddressField(*from, machine, file, slave);
        machine.protocolSMBus().attach(address, std::move(slave));
    } else {
        placement.failExpected("one of \"isa\", \"flat\", \"ecMailbox\" or \"protocolSMBus\"");
    }
}

}  // namespace

void loadChipsSection(const BoardNode& section, Machine& machine) {
    for (const BoardNode& chip : section.items()) {
        chip.expectFields({"name", "banks", "bankSelect", "byteSelect", "registers", "bankRegisters", "placements"});
        const std::string name = readDeviceName(chip, machine);
        const int banks = chip.optionalField("banks") ? static_cast<int>(chip.field("banks").asInteger(1, 256)) : 1;
        auto file = std::make_shared<RegisterFile>(banks);
        if (auto select = chip.optionalField("bankSelect")) readBankSelect(*select, *file);
        if (auto select = chip.optionalField("byteSelect")) {
            select->expectFields({"register", "mask"});
            file->setByteSelector({readByte(select->field("register")), readByte(select->field("mask"))});
        }
        if (auto registers = chip.optionalField("registers")) readRegisters(*registers, *file, 0, machine);
        if (auto others = chip.optionalField("bankRegisters")) {
            for (const auto& [key, registers] : others->members()) {
                int bank = -1;
                try {
                    bank = std::stoi(key);
                } catch (const std::exception&) {
                }
                if (bank < 1 || bank >= banks || std::to_string(bank) != key)
                    registers.fail("expected a bank number from 1 to " + std::to_string(banks - 1) + " as the name");
                readRegisters(registers, *file, bank, machine);
            }
        }
        if (auto placements = chip.optionalField("placements")) {
            for (const BoardNode& placement : placements->items())
                claimPortsFor(placement, [&] { place(placement, machine, name, file); });
        }
        machine.addRegisterFile(name, std::move(file));
    }
}

}  // namespace platform::sim
