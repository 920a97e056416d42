#include "platform/sim/boardsmbus.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>

#include "platform/sim/boardhardware.h"
#include "platform/sim/boardregisters.h"
#include "platform/sim/machine.h"
#include "platform/sim/smbus/alihost.h"
#include "platform/sim/smbus/amdhost.h"
#include "platform/sim/smbus/ichstylehost.h"
#include "platform/sim/smbus/nforce2host.h"
#include "platform/sim/smbus/sis5595host.h"
#include "platform/sim/smbus/sishost.h"

namespace platform::sim {
namespace {

using HostMaker = std::function<std::shared_ptr<SMBusHostModel>(std::uint16_t base,
                                                                std::shared_ptr<SMBusSegment> segment,
                                                                const SMBusHostTiming& timing)>;

struct FamilyRow {
    const char* name;
    std::optional<std::uint8_t> baseRegister;  // where its PCI function keeps the base, when it has one place
    HostMaker make;
};

template <class Host, class... Args>
HostMaker maker(Args... args) {
    return [=](std::uint16_t base, std::shared_ptr<SMBusSegment> segment, const SMBusHostTiming& timing) {
        return std::make_shared<Host>(args..., base, std::move(segment), timing);
    };
}
HostMaker ichStyle(const IchStyleFamily& family) { return maker<IchStyleHost>(std::cref(family)); }
HostMaker sis(const SiSFamily& family) { return maker<SiSHost>(std::cref(family)); }
HostMaker amd(std::uint16_t offset) {
    return [=](std::uint16_t base, std::shared_ptr<SMBusSegment> segment, const SMBusHostTiming& timing) {
        return std::make_shared<AmdHost>(base, offset, std::move(segment), timing);
    };
}

const FamilyRow& familyOf(const BoardNode& node) {
    static const FamilyRow rows[] = {
        {"Intel", 0x20, ichStyle(IntelFamily)},
        {"PIIX4", 0x90, ichStyle(Piix4Family)},
        {"AtiIgp", 0x90, ichStyle(AtiIgpFamily)},
        {"VIA", 0xD0, ichStyle(VIAFamily)},
        {"Uli", std::nullopt, ichStyle(UliFamily)},
        {"AMD", 0x58, amd(0xE0)},
        {"nVidia", 0x10, amd(0x00)},
        {"nForce2", 0x50, maker<NForce2Host>()},
        {"Ali", std::nullopt, maker<AliHost>()},
        {"SiS5595", std::nullopt, maker<SiS5595Host>()},
        {"SiSx30", std::nullopt, sis(SiSx30Family)},
        {"SiS968", std::nullopt, sis(SiS968Family)},
    };
    const std::string name = node.asString();
    for (const auto& row : rows) {
        if (name == row.name) return row;
    }
    node.failExpected(
        "a host family: \"Intel\", \"PIIX4\", \"AtiIgp\", \"VIA\", \"Uli\", \"AMD\", \"nVidia\", \"nForce2\", \"Ali\", "
        "\"SiS5595\", \"SiSx30\" or \"SiS968\"");
}

std::uint16_t baseOf(const BoardNode& host, const FamilyRow& family, Machine& machine) {
    const auto pci = host.optionalField("pci");
    if (!pci) return static_cast<std::uint16_t>(host.field("base").asHex(0xFFFF, "0x400"));
    PciConfigSpace* config = machine.pci().function(asPciLocation(*pci));
    if (!config) pci->fail("expected a function of the \"pci\" section");
    std::uint8_t reg = 0;
    if (const auto node = host.optionalField("baseRegister"))
        reg = static_cast<std::uint8_t>(node->asHex(0xFE, "0x20"));
    else if (family.baseRegister)
        reg = *family.baseRegister;
    else
        host.field("baseRegister").failExpected("the configuration register that holds the base, like \"0x20\"");
    return static_cast<std::uint16_t>(((*config)[reg] | (*config)[reg + 1] << 8) & 0xFFFE);
}

int asReads(const BoardNode& node) {
    if (node.isString() && node.asString() == "never") return SMBusHostTiming::Never;
    return static_cast<int>(node.asInteger(0, 1000000));
}

SMBusHostTiming asTiming(const BoardNode& node) {
    node.expectFields({"startReads", "busyReads", "stuck", "stuckAfter", "staleStatus", "statusCode"});
    SMBusHostTiming timing;
    if (auto n = node.optionalField("startReads")) timing.startReads = asReads(*n);
    if (auto n = node.optionalField("busyReads")) timing.busyReads = asReads(*n);
    if (auto n = node.optionalField("stuck")) {
        using Stuck = SMBusHostTiming::Stuck;
        static const std::pair<const char*, Stuck> kinds[] = {{"no", Stuck::No},
                                                              {"untilReset", Stuck::UntilReset},
                                                              {"untilSecondReset", Stuck::UntilSecondReset},
                                                              {"forever", Stuck::Forever}};
        const std::string text = n->asString();
        bool known = false;
        for (const auto& [name, kind] : kinds) {
            if (text == name) timing.stuck = kind, known = true;
        }
        if (!known) n->failExpected("\"no\", \"untilReset\", \"untilSecondReset\" or \"forever\"");
    }
    if (auto n = node.optionalField("stuckAfter")) timing.stuckAfter = static_cast<int>(n->asInteger(0, 1000000));
    if (auto n = node.optionalField("staleStatus")) timing.staleStatus = n->asBool();
    if (auto n = node.optionalField("statusCode"))
        timing.statusCode = static_cast<std::uint8_t>(n->asHex(0x1F, "0x11"));
    return timing;
}

SMBusFault asFault(const BoardNode& node) {
    node.expectFields({"kind", "times"});
    static const std::pair<const char*, SMBusFault::Kind> kinds[] = {{"nack", SMBusFault::Kind::Nack},
                                                                      {"collision", SMBusFault::Kind::Collision},
                                                                      {"timeout", SMBusFault::Kind::Timeout},
                                                                      {"allOnes", SMBusFault::Kind::AllOnes}};
    SMBusFault fault;
    const std::string text = node.field("kind").asString();
    for (const auto& [name, kind] : kinds) {
        if (text == name) fault.kind = kind;
    }
    if (fault.kind == SMBusFault::Kind::None)
        node.field("kind").failExpected("\"nack\", \"collision\", \"timeout\" or \"allOnes\"");
    if (auto times = node.optionalField("times")) fault.times = static_cast<int>(times->asInteger(1, 1000000));
    return fault;
}

std::vector<std::uint8_t> asHexBytes(const BoardNode& node, std::size_t most) {
    std::vector<std::uint8_t> bytes;
    const std::string text = node.asString();
    for (std::size_t at = 0; (at = text.find_first_not_of(' ', at)) != std::string::npos;) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const auto value = end - at == 2 ? parseHex("0x" + text.substr(at, 2)) : std::nullopt;
        if (!value) node.failExpected("hex bytes separated by blanks like \"01 02 03\"");
        bytes.push_back(static_cast<std::uint8_t>(*value));
        at = end;
    }
    if (bytes.size() > most) node.failExpected(most == 32 ? "a block of at most 32 bytes" : "at most 256 bytes");
    return bytes;
}

std::vector<std::uint8_t> asBlock(const BoardNode& node) { return asHexBytes(node, 32); }

// What a slave's own register file holds: "words" makes every register 16 bits
// wide (high byte first on the bus), "image" fills the registers from 00h on
// as an EEPROM's bytes, "fill" gives every register one value that writes do
// not change (an address whose data lines float); "registers" come last.
void readSlaveRegisters(const BoardNode& node, RegisterFile& file, Machine& machine) {
    const bool words = node.optionalField("words") && node.field("words").asBool();
    if (auto fill = node.optionalField("fill")) {
        const auto value = static_cast<std::uint8_t>(fill->asHex(0xFF, "0xFF"));
        for (int reg = 0; reg < RegisterFile::registersPerBank; ++reg) {
            file.set(static_cast<std::uint8_t>(reg), value);
            file.setBehaviour(static_cast<std::uint8_t>(reg), RegisterBehaviour::readOnly());
        }
    }
    if (auto image = node.optionalField("image")) {
        const auto bytes = asHexBytes(*image, 256);
        for (std::size_t i = 0; i < bytes.size(); ++i) file.set(static_cast<std::uint8_t>(i), bytes[i]);
    }
    if (words) {
        RegisterBehaviour word;
        word.word = true;
        for (int reg = 0; reg < RegisterFile::registersPerBank; ++reg)
            file.setBehaviour(static_cast<std::uint8_t>(reg), word);
        if (auto registers = node.optionalField("registers")) {
            for (const auto& [key, value] : registers->members()) {
                const auto reg = parseHex(key);
                if (!reg || *reg > 0xFF) value.fail("expected a register number like \"0x06\" as the name");
                file.set(static_cast<std::uint8_t>(*reg), static_cast<std::uint16_t>(value.asHex(0xFFFF, "0x0054")));
            }
        }
    } else if (auto registers = node.optionalField("registers")) {
        readRegisters(*registers, file, 0, machine);
    }
}

// The one place a slave's device is made: a chip model of the "chips" section
// by name (shared with its other placements) or a register file of its own.
std::shared_ptr<SMBusSlave> makeSlave(const BoardNode& node, const std::string& fileName, Machine& machine) {
    std::shared_ptr<RegisterFile> file;
    if (auto chip = node.optionalField("chip")) {
        for (const char* own : {"registers", "words", "image", "fill"}) {
            if (node.optionalField(own))
                chip->failExpected(std::string("either \"chip\" or \"") + own + "\", not both");
        }
        file = machine.registerFile(chip->asNonEmptyString());
        if (!file) chip->failExpected("the name of a chip of the \"chips\" section");
    } else {
        file = std::make_shared<RegisterFile>();
        readSlaveRegisters(node, *file, machine);
    }
    auto slave = std::make_shared<SMBusSlave>(file);
    if (auto protocols = node.optionalField("protocols")) slave->setProtocolMask(readProtocolMask(*protocols));
    if (auto block = node.optionalField("block")) slave->setBlock(asBlock(*block));
    if (auto registerBlock = node.optionalField("registerBlock")) {
        registerBlock->expectFields({"countByte"});
        std::optional<std::uint8_t> countByte;
        if (auto count = registerBlock->optionalField("countByte"))
            countByte = static_cast<std::uint8_t>(count->asHex(0x1F, "0x08"));
        slave->setRegisterBlock(countByte);
    }
    if (auto fault = node.optionalField("fault")) slave->setFault(asFault(*fault));
    machine.addRegisterFile(fileName, std::move(file));
    return slave;
}

}  // namespace

namespace {

// "enabledWhen": one condition or a list that must all hold.
std::function<bool()> asEnabled(const BoardNode& node, Machine& machine) {
    std::vector<std::function<bool()>> conditions;
    if (node.isArray()) {
        for (const BoardNode& item : node.items()) conditions.push_back(asConfigCondition(item, machine));
    } else {
        conditions.push_back(asConfigCondition(node, machine));
    }
    return [conditions] {
        return std::all_of(conditions.begin(), conditions.end(), [](const auto& holds) { return holds(); });
    };
}

void loadHost(const BoardNode& host, Machine& machine) {
    host.expectFields({"name", "family", "pci", "baseRegister", "base", "semaphore", "aux", "receiveSlave", "timing",
                       "floating", "enabledWhen", "slaves"});
    const std::string name = host.field("name").asNonEmptyString();
    const FamilyRow& family = familyOf(host.field("family"));
    const std::uint16_t base = baseOf(host, family, machine);
    auto segment = std::make_shared<SMBusSegment>();
    const SMBusHostTiming timing = host.optionalField("timing") ? asTiming(host.field("timing")) : SMBusHostTiming{};
    auto model = family.make(base, segment, timing);
    if (auto floating = host.optionalField("floating"))
        model->setFloating(static_cast<std::uint8_t>(floating->asHex(0xFF, "0xFF")));
    if (auto ich = std::dynamic_pointer_cast<IchStyleHost>(model)) {
        if (auto aux = host.optionalField("aux")) ich->setAux(static_cast<std::uint8_t>(aux->asHex(0xFF, "0x02")));
        if (auto slave = host.optionalField("receiveSlave"))
            ich->setReceiveSlave(static_cast<std::uint8_t>(slave->asHex(0x7F, "0x44")));
        if (auto semaphore = host.optionalField("semaphore")) {
            const std::string state = semaphore->asString();
            if (state != "free" && state != "held") semaphore->failExpected("\"free\" or \"held\"");
            ich->setSemaphoreHeld(state == "held");
        }
    } else if (host.optionalField("aux") || host.optionalField("semaphore") || host.optionalField("receiveSlave")) {
        host.fail("\"aux\", \"semaphore\" and \"receiveSlave\" belong to the Intel-style families");
    }
    if (auto slaves = host.optionalField("slaves")) {
        for (const BoardNode& slave : slaves->items()) {
            slave.expectFields({"address", "chip", "registers", "words", "image", "fill", "protocols", "block",
                                "registerBlock", "fault"});
            const auto address = static_cast<std::uint8_t>(slave.field("address").asHex(0x7F, "0x2D"));
            char suffix[8];
            std::snprintf(suffix, sizeof suffix, "@%.2X", address);
            if (segment->slave(address)) slave.field("address").fail("expected an address no other slave has");
            if (machine.registerFile(name + suffix)) host.field("name").fail("expected a name no other host has");
            segment->attach(address, makeSlave(slave, name + suffix, machine));
        }
    }
    std::function<bool()> enabled;
    if (auto node = host.optionalField("enabledWhen")) enabled = asEnabled(*node, machine);
    machine.addSMBusSegment(name, segment);
    installSMBusHost(machine.ports(), std::move(model), name, std::move(enabled));
}

}  // namespace

void loadSMBusSection(const BoardNode& section, Machine& machine) {
    for (const BoardNode& host : section.items()) {
        try {
            loadHost(host, machine);
        } catch (const std::invalid_argument& e) {
            host.fail(e.what());  // ports out of range or taken by another device
        }
    }
}

}  // namespace platform::sim
