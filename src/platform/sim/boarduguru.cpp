#include "platform/sim/boarduguru.h"

#include "platform/sim/boardregisters.h"
#include "platform/sim/machine.h"
#include "platform/sim/uguru.h"

namespace platform::sim {

void loadUGuruSection(const BoardNode& section, Machine& machine) {
    section.expectFields({"busyReads", "ackOnRead", "busyStuck", "neverReady", "replyLimit", "banks"});
    auto banks = std::make_shared<RegisterFile>(UGuruChip::Banks);
    if (auto node = section.optionalField("banks"))
        for (const auto& [key, bank] : node->members())
            readRegisters(bank, *banks, readNumberName(key, bank, 0, UGuruChip::Banks - 1, "a bank number"), machine);
    UGuruBehaviour behaviour;
    if (auto node = section.optionalField("busyReads")) behaviour.busyReads = static_cast<int>(node->asInteger(0, 10000));
    if (auto node = section.optionalField("ackOnRead")) behaviour.ackOnRead = static_cast<int>(node->asInteger(0, 100));
    if (auto node = section.optionalField("busyStuck")) behaviour.busyStuck = node->asBool();
    if (auto node = section.optionalField("neverReady")) behaviour.neverReady = node->asBool();
    if (auto node = section.optionalField("replyLimit")) behaviour.replyLimit = static_cast<int>(node->asInteger(0, 255));
    machine.addRegisterFile("uguru", banks);
    claimPortsFor(section, [&] { UGuruChip::install(machine.ports(), banks)->behaviour() = behaviour; });
}

}  // namespace platform::sim
