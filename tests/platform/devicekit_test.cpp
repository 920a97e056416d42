// The device kit chips are built from: bank personalities, aliases and
// mirrors, write protection, word registers, faults per transport, Super I/O
// configuration spaces, the thermal model and the chips board section.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "platform/sim/ecmailbox.h"
#include "platform/sim/indexdataport.h"
#include "platform/sim/machine.h"
#include "platform/sim/registerfile.h"
#include "platform/sim/smbussegment.h"
#include "platform/sim/superioconfig.h"
#include "platform/sim/thermalmodel.h"
#include "support/badboards.h"

using namespace platform::sim;

namespace {

SMBusRequest Request(std::uint8_t address, SMBusProtocol protocol, bool read, std::uint8_t command,
                     std::uint8_t data0 = 0) {
    SMBusRequest r;
    r.address = address;
    r.protocol = protocol;
    r.read = read;
    r.command = command;
    r.data0 = data0;
    return r;
}

TEST(DeviceKit, BankFieldInsideARegisterShownInEveryBank) {
    RegisterFile file(8);
    file.setBankSelector({0x4E, 0x07, 0, 0x00, 0xFF});
    file.set(0x50, 0x11, 0);
    file.set(0x50, 0x22, 1);
    file.write(0x4E, 0x81);  // bank 1, bit 7 an ordinary bit of 4Eh
    EXPECT_EQ(file.read(0x50), 0x22);
    EXPECT_EQ(file.read(0x4E), 0x81);
    file.write(0x50, 0x33);
    EXPECT_EQ(file.peek(0x50, 1), 0x33);
    file.write(0x4E, 0x80);
    EXPECT_EQ(file.read(0x50), 0x11);
    EXPECT_EQ(file.read(0x4E), 0x80);

    RegisterFile two(4);  // a 2-bit field higher up
    two.setBankSelector({0x4E, 0x30, 4, 0x00, 0xFF});
    two.set(0x10, 0xA3, 3);
    two.write(0x4E, 0x3F);
    EXPECT_EQ(two.read(0x10), 0xA3);
    EXPECT_EQ(two.read(0x4E), 0x3F);
}

TEST(DeviceKit, WholeRegisterBankSelectAndMissingBanks) {
    RegisterFile file(3);
    file.setBankSelector({0x00, 0xFF, 0, 0x00, 0xFF});
    file.set(0x10, 0x44, 2);
    file.write(0x00, 2);
    EXPECT_EQ(file.read(0x10), 0x44);
    file.write(0x00, 9);  // no such bank: reads FFh, writes are lost, nothing throws
    EXPECT_EQ(file.read(0x10), 0xFF);
    file.write(0x10, 0x01);
    EXPECT_EQ(file.read(0x00), 9);
    for (int bank = 0; bank < 3; ++bank) EXPECT_NE(file.peek(0x10, bank), 0x01);
}

TEST(DeviceKit, BankFieldSelectingARangeOnly) {
    RegisterFile file(4);
    file.setBankSelector({0x51, 0xC0, 6, 0x52, 0x5C});
    file.set(0x52, 0x10, 0);
    file.set(0x52, 0x12, 2);
    file.set(0x5C, 0x2C, 2);
    file.set(0x5D, 0x5D, 0);
    file.set(0x51, 0x15, 0);
    file.write(0x51, 0x95);  // bank 2, bits 5:0 kept
    EXPECT_EQ(file.read(0x52), 0x12);
    EXPECT_EQ(file.read(0x5C), 0x2C);
    EXPECT_EQ(file.read(0x5D), 0x5D);  // outside the range: the same in every bank
    EXPECT_EQ(file.read(0x51), 0x95);
}

TEST(DeviceKit, AliasesMirrorsAndWriteProtect) {
    RegisterFile file;
    RegisterBehaviour limit;
    limit.writeTo = 0x2B;  // limits read at 3Bh, written at 2Bh
    file.setBehaviour(0x3B, limit);
    file.set(0x3B, 0x50);
    file.write(0x3B, 0x60);
    EXPECT_EQ(file.read(0x3B), 0x50);
    EXPECT_EQ(file.peek(0x2B), 0x60);

    RegisterBehaviour mirror;
    mirror.mirrorOf = 0x20;
    file.setBehaviour(0x60, mirror);
    file.set(0x20, 0xC4);
    EXPECT_EQ(file.read(0x60), 0xC4);

    RegisterBehaviour guarded;
    guarded.protectedBy = RegisterBit{0x4A, 0x80};
    file.setBehaviour(0x40, guarded);
    file.set(0x4A, 0x80);
    file.write(0x40, 0x12);
    EXPECT_EQ(file.read(0x40), 0x00);
    file.write(0x4A, 0x00);
    file.write(0x40, 0x12);
    EXPECT_EQ(file.read(0x40), 0x12);
}

TEST(DeviceKit, WordRegistersGoHighByteFirst) {
    auto file = std::make_shared<RegisterFile>();
    RegisterBehaviour word;
    word.word = true;
    file->setBehaviour(0x05, word);
    file->set(0x05, 0x1234);
    file->set(0x10, 0xAB);
    file->set(0x11, 0xCD);
    EXPECT_EQ(file->read(0x05), 0x12);  // no byte selector: the high byte
    file->setByteSelector({0x01, 0x80});
    EXPECT_EQ(file->readWordBytes(0x05), (std::pair<std::uint8_t, std::uint8_t>{0x12, 0x34}));
    EXPECT_EQ(file->readWordBytes(0x10), (std::pair<std::uint8_t, std::uint8_t>{0xAB, 0xCD}));
    EXPECT_EQ(file->read(0x05), 0x34);  // selector bit clear: the low byte
    file->write(0x05, 0x99);
    EXPECT_EQ(file->peekWord(0x05), 0x1299);
    file->write(0x01, 0x80);  // selector bit set: the high byte, as a Winbond 4Eh bit 7
    EXPECT_EQ(file->read(0x05), 0x12);
    file->write(0x05, 0x77);
    EXPECT_EQ(file->peekWord(0x05), 0x7799);
    file->writeWordBytes(0x05, 0xBE, 0xEF);
    EXPECT_EQ(file->peekWord(0x05), 0xBEEF);

    SMBusSegment segment;
    segment.attach(0x18, std::make_shared<SMBusSlave>(file));
    segment.start(Request(0x18, SMBusProtocol::WordData, true, 0x05));
    EXPECT_EQ(segment.status(), SMBusSegment::Status::Done);
    EXPECT_EQ(segment.data0(), 0xBE);
    EXPECT_EQ(segment.data1(), 0xEF);
}

TEST(DeviceKit, ReadFaultsPerRegisterAndTransport) {
    auto file = std::make_shared<RegisterFile>();
    file->set(0x20, 0x5A);
    file->set(0x21, 0x21);
    file->setFault(0x20, {RegisterFault::Kind::Fail, 2});
    file->setFault(0x22, {RegisterFault::Kind::AllOnes});
    file->setFault(0x23, {RegisterFault::Kind::Garbage});

    PortSpace ports;
    IndexDataPort::install(ports, file, 0x295, 0x296, "chip");
    SMBusSegment segment;
    auto slave = std::make_shared<SMBusSlave>(file);
    slave->setProtocolMask(1 << static_cast<int>(SMBusProtocol::ByteData));
    segment.attach(0x2D, slave);
    const auto smbusRead = [&](std::uint8_t reg) {
        segment.start(Request(0x2D, SMBusProtocol::ByteData, true, reg));
        return segment.status() == SMBusSegment::Status::Done ? int(segment.data0()) : -1;
    };
    const auto isaRead = [&](std::uint8_t reg) {
        ports.write(0x295, 1, reg);
        return int(ports.read(0x296, 1));
    };
    EXPECT_EQ(smbusRead(0x20), -1);    // a NACK on SMBus
    EXPECT_EQ(isaRead(0x20), 0xFF);    // all ones on ISA
    EXPECT_EQ(smbusRead(0x20), 0x5A);  // two failures used up
    EXPECT_EQ(smbusRead(0x21), 0x21);
    EXPECT_EQ(smbusRead(0x22), 0xFF);
    EXPECT_EQ(isaRead(0x22), 0xFF);
    const int first = isaRead(0x23);
    const int second = isaRead(0x23);
    EXPECT_NE(first, second);
    segment.start(Request(0x2D, SMBusProtocol::WordData, true, 0x21));  // outside the protocol mask
    EXPECT_EQ(segment.status(), SMBusSegment::Status::NoAck);
}

TEST(DeviceKit, SlavesMoveVanishAndFloat) {
    SMBusSegment segment;
    auto slave = std::make_shared<SMBusSlave>();
    slave->registers().set(0x00, 0x42);
    slave->setAddressRegister(0xF0);
    segment.attach(0x2D, slave);
    segment.start(Request(0x2D, SMBusProtocol::ByteData, false, 0xF0, 0x2E));  // moves to 2Eh
    EXPECT_EQ(segment.slave(0x2D), nullptr);
    segment.start(Request(0x2E, SMBusProtocol::ByteData, true, 0x00));
    EXPECT_EQ(segment.data0(), 0x42);

    slave->setFault({SMBusFault::Kind::Nack, -1}, SMBusProtocol::WordData);  // word reads only
    segment.start(Request(0x2E, SMBusProtocol::WordData, true, 0x00));
    EXPECT_EQ(segment.status(), SMBusSegment::Status::NoAck);
    segment.start(Request(0x2E, SMBusProtocol::ByteData, true, 0x00));
    EXPECT_EQ(segment.status(), SMBusSegment::Status::Done);

    segment.detach(0x2E);
    segment.start(Request(0x2E, SMBusProtocol::ByteData, true, 0x00));
    EXPECT_EQ(segment.status(), SMBusSegment::Status::NoAck);
    segment.setFloating(0xFF);
    segment.start(Request(0x2E, SMBusProtocol::ByteData, true, 0x00));
    EXPECT_EQ(segment.status(), SMBusSegment::Status::Done);
    EXPECT_EQ(segment.data0(), 0xFF);
}

// ---- Super I/O configuration space ------------------------------------------------

struct KeyCase {
    const char* name;
    std::vector<std::uint8_t> enterKey;
    std::vector<std::uint8_t> written;  // to the index port before reading 20h
    bool opens;
};

TEST(DeviceKit, ConfigurationSpaceEntryKeys) {
    const KeyCase cases[] = {
        {"87h 87h", {0x87, 0x87}, {0x87, 0x87}, true},
        {"87h once", {0x87, 0x87}, {0x87}, false},
        {"interrupted", {0x87, 0x87}, {0x87, 0x55, 0x87}, false},
        {"restarted", {0x87, 0x87}, {0x55, 0x87, 0x87}, true},
        {"55h 55h", {0x55, 0x55}, {0x55, 0x55}, true},
        {"55h 55h given 87h", {0x55, 0x55}, {0x87, 0x87}, false},
        {"one 55h", {0x55}, {0x55}, true},
        {"none", {}, {}, true},
        {"ITE key", {0x87, 0x01, 0x55, 0x55}, {0x87, 0x01, 0x55, 0x55}, true},
        {"ITE key after a stray 87h", {0x87, 0x01, 0x55, 0x55}, {0x87, 0x87, 0x01, 0x55, 0x55}, true},
        {"ITE key at a Winbond chip", {0x87, 0x87}, {0x87, 0x01, 0x55, 0x55}, false},
        {"Winbond key at an ITE chip", {0x87, 0x01, 0x55, 0x55}, {0x87, 0x87}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PortSpace ports;
        auto config = SuperIOConfig::install(ports, 0x2E, 0x2F, c.enterKey, 0xAA, "superio");
        config->globals()->set(0x20, 0x52);
        for (const auto byte : c.written) ports.write(0x2E, 1, byte);
        ports.write(0x2E, 1, 0x20);
        EXPECT_EQ(ports.read(0x2F, 1), c.opens ? 0x52u : 0xFFu);
    }
}

TEST(DeviceKit, ConfigurationKeyMustArriveUninterrupted) {
    PortSpace ports;
    auto config = SuperIOConfig::install(ports, 0x2E, 0x2F, {0x87, 0x01, 0x55, 0x55}, std::nullopt, "ite");
    config->setExitRegister({0x02, 0x02});
    config->globals()->set(0x20, 0x87);
    ports.write(0x2E, 1, 0x87);
    ports.write(0x2E, 1, 0x01);
    ports.write(0x2F, 1, 0x55);  // a data-port write starts the match over
    ports.write(0x2E, 1, 0x55);
    ports.write(0x2E, 1, 0x55);
    EXPECT_FALSE(config->inConfigMode());
    ports.write(0x2E, 1, 0x87);
    ports.write(0x2E, 1, 0x01);
    ports.read(0x2F, 1);  // so does a read
    ports.write(0x2E, 1, 0x55);
    ports.write(0x2E, 1, 0x55);
    EXPECT_FALSE(config->inConfigMode());
    for (const std::uint8_t byte : {0x87, 0x01, 0x55, 0x55}) ports.write(0x2E, 1, byte);
    ASSERT_TRUE(config->inConfigMode());
    ports.write(0x2E, 1, 0xAA);  // no exit key on this chip: just an index
    EXPECT_EQ(ports.read(0x2E, 1), 0xAAu);
    ports.write(0x2E, 1, 0x02);
    ports.write(0x2F, 1, 0x02);  // the exit register
    EXPECT_FALSE(config->inConfigMode());
    EXPECT_EQ(ports.read(0x2E, 1), 0xFFu);
}

TEST(DeviceKit, ConfigurationSpaceGoldenSequence) {
    PortSpace ports;
    auto config = SuperIOConfig::install(ports, 0x2E, 0x2F, {0x87, 0x87}, 0xAA, "superio");
    config->globals()->set(0x20, 0x52);
    config->globals()->setBehaviour(0x20, RegisterBehaviour::readOnly());
    config->device(0x0B)->set(0x60, 0x02);
    config->device(0x0B)->set(0x61, 0x90);
    config->setLock({0x2F, 0x01});
    const std::vector<PortAccess> steps = {
        {0x2E, 1, 0x87, true}, {0x2E, 1, 0x87, true},  // enter
        {0x2E, 1, 0x20, true}, {0x2F, 1, 0x52, false},  // chip id
        {0x2F, 1, 0x00, true},                          // ignored: read-only id
        {0x2E, 1, 0x20, true}, {0x2F, 1, 0x52, false},
        {0x2E, 1, 0x07, true}, {0x2F, 1, 0x0B, true},   // select device 0Bh
        {0x2E, 1, 0x60, true}, {0x2F, 1, 0x02, false},  // its base
        {0x2E, 1, 0x61, true}, {0x2F, 1, 0x90, false},
        {0x2E, 1, 0x2F, true}, {0x2F, 1, 0x01, true},   // lock
        {0x2E, 1, 0x60, true}, {0x2F, 1, 0x03, true},   // dropped while locked
        {0x2E, 1, 0x60, true}, {0x2F, 1, 0x02, false},
        {0x2E, 1, 0xAA, true},                          // exit
        {0x2E, 1, 0x20, true}, {0x2F, 1, 0xFF, false},  // closed again
    };
    for (const auto& step : steps) {
        if (step.isWrite)
            ports.write(step.port, step.width, step.value);
        else
            ports.read(step.port, step.width);
    }
    EXPECT_EQ(ports.recorder().accesses(), steps);
    EXPECT_FALSE(config->inConfigMode());
    config->setConfigMode(true);  // a chip left open by someone else
    ports.write(0x2E, 1, 0x20);
    EXPECT_EQ(ports.read(0x2F, 1), 0x52u);
}

// ---- thermal model -------------------------------------------------------------

TEST(DeviceKit, ThermalModelSettlesLowerAtHigherDuty) {
    SimClock clock(true);
    ThermalModel model(clock);
    model.addSource("cpu", 30, 40, 10);
    model.addFan("cpufan", 2000, 0.0, {{"cpu", 3.0}});
    EXPECT_DOUBLE_EQ(model.temperature("cpu"), 70);  // settled without a fan: 30 + 40
    EXPECT_DOUBLE_EQ(model.fanRpm("cpufan"), 0);
    model.setDuty("cpufan", 1.0);
    clock.advance(10000);  // one time constant
    EXPECT_NEAR(model.temperature("cpu"), 40 + 30 * std::exp(-1.0), 1e-9);
    clock.advance(600000);
    EXPECT_NEAR(model.temperature("cpu"), 40, 1e-6);  // 30 + 40 / (1 + 3)
    EXPECT_DOUBLE_EQ(model.fanRpm("cpufan"), 2000);
    model.setDuty("cpufan", 0.5);
    clock.advance(600000);
    EXPECT_NEAR(model.temperature("cpu"), 30 + 40 / 2.5, 1e-6);
}

TEST(DeviceKit, Encoders) {
    EXPECT_EQ(encodeSignedByte(41.4), 41);
    EXPECT_EQ(encodeSignedByte(-1), 0xFF);
    EXPECT_EQ(encodeSignedByte(200), 0x7F);
    EXPECT_EQ(encodeHalfDegree(25.5), 0x1980);
    EXPECT_EQ(encodeHalfDegree(-0.5), 0xFF80);
    EXPECT_EQ(encodeHalfDegree(25.2), 0x1900);
    EXPECT_EQ(encodeFanCount(5000, 1350000, 2, 0xFF), 135);
    EXPECT_EQ(encodeFanCount(0, 1350000, 2, 0xFF), 0xFF);
    EXPECT_EQ(encodeFanCount(100, 1350000, 2, 0xFF), 0xFF);  // too slow to count
    EXPECT_EQ(encodeRpm(1234.4), 1234);
}

// ---- the chips section -------------------------------------------------------------

TEST(DeviceKit, ChipOnSeveralAdaptorsSharesItsState) {
    Machine machine;
    machine.loadFromJson(R"({
      "thermal": {"sources": [{"name": "cpu", "ambient": 30, "heating": 40, "timeConstant": 5}],
                  "fans": [{"name": "cpufan", "maxRpm": 2700, "duty": 0, "cools": {"cpu": 3}}]},
      "chips": [{"name": "monitor", "banks": 2,
                 "bankSelect": {"register": "0x4E", "mask": "0x01"},
                 "registers": {"0x27": {"temperature": {"source": "cpu", "encoding": "signedByte"}},
                               "0x28": {"fanSpeed": {"fan": "cpufan", "encoding": "count", "clock": 1350000,
                                                     "divisor": 2, "fullScale": "0xFF"}},
                               "0x81": {"output": {"fan": "cpufan", "scale": 255}},
                               "0x30": {"perSecond": {"start": "0x10"}}},
                 "bankRegisters": {"1": {"0x50": "0x77"}},
                 "placements": [{"isa": "0x290"}, {"protocolSMBus": "0x2D"}, {"ecMailbox": "0x62"}]}]})",
                         "twin.json");
    PortSpace& ports = machine.ports();
    const auto isaRead = [&](std::uint8_t reg) {
        ports.write(0x295, 1, reg);
        return ports.read(0x296, 1);
    };
    SMBusSegment& smbus = machine.protocolSMBus();
    const auto smbusRead = [&](std::uint8_t reg) {
        smbus.start(Request(0x2D, SMBusProtocol::ByteData, true, reg));
        return smbus.data0();
    };
    EXPECT_EQ(isaRead(0x27), 70u);
    EXPECT_EQ(isaRead(0x28), 0xFFu);  // stopped fan
    smbus.start(Request(0x2D, SMBusProtocol::ByteData, false, 0x81, 0xFF));  // full duty over SMBus
    machine.simClock().advance(600000);
    EXPECT_EQ(isaRead(0x27), 40u);
    EXPECT_EQ(smbusRead(0x27), 40);
    EXPECT_EQ(isaRead(0x28), 250u);  // 1350000 / (2700 x 2)
    EXPECT_EQ(isaRead(0x30), (0x10u + 600) & 0xFF);  // one step per simulated second, wrapping
    ports.write(0x295, 1, 0x4E);
    ports.write(0x296, 1, 0x01);
    EXPECT_EQ(smbusRead(0x50), 0x77);
    ASSERT_NE(machine.registerFile("monitor"), nullptr);
    EXPECT_EQ(machine.registerFile("monitor")->peek(0x81), 0xFF);
}

TEST(DeviceKit, ChipBehindTheECMailboxShowsItsBanksAsPages) {
    Machine machine;
    machine.loadFromJson(R"({"chips": [{"name": "ec", "banks": 2, "registers": {"0x10": "0x0A"},
                                        "bankRegisters": {"1": {"0x10": "0x1A"}},
                                        "placements": [{"ecMailbox": "0x2E0", "busy": {"holdReads": 2}}]}]})",
                         "ec.json");
    PortSpace& ports = machine.ports();
    EXPECT_EQ(ports.read(0x2E0, 1), ECMailbox::OtherOwner);  // busy for two polls
    EXPECT_EQ(ports.read(0x2E0, 1), ECMailbox::OtherOwner);
    EXPECT_EQ(ports.read(0x2E0, 1), 0xFFu);  // free
    ports.write(0x2E0, 1, 0x01);             // claim page 1
    ports.write(0x2E1, 1, 0x10);
    EXPECT_EQ(ports.read(0x2E2, 1), 0x1Au);
    ports.write(0x2E0, 1, 0xFF);
    ports.write(0x2E0, 1, 0x00);
    EXPECT_EQ(ports.read(0x2E2, 1), 0x0Au);

    Machine stuck;
    stuck.loadFromJson(R"({"chips": [{"name": "ec", "placements": [{"ecMailbox": "0x2E0", "busy": "stuck"}]}]})",
                       "stuck.json");
    stuck.ports().write(0x2E0, 1, 0xFF);
    EXPECT_EQ(stuck.ports().read(0x2E0, 1), ECMailbox::OtherOwner);
}

const testsupport::BadBoard badChipBoards[] = {
    {R"({"chips": [{"name": "c", "bankSelect": {"register": "0x100", "mask": "0x07"}}]})",
     "bad.json: /chips/0/bankSelect/register: expected a hex string no larger than 0xFF"},
    {R"({"chips": [{"name": "c", "bankSelect": {"register": "0x4E", "mask": "0x00"}}]})",
     "/chips/0/bankSelect/mask: expected a mask with at least one bit"},
    {R"({"chips": [{"name": "c", "banks": 2, "bankRegisters": {"2": {}}}]})",
     "/chips/0/bankRegisters/2: expected a bank number from 1 to 1 as the name"},
    {R"({"thermal": {"sources": [{"name": "cpu", "ambient": 30, "heating": 40, "timeConstant": 5}]},
         "chips": [{"name": "c", "registers": {"0x27": {"temperature": {"source": "cpu", "encoding": "kelvin"}}}}]})",
     R"(/chips/0/registers/0x27/temperature/encoding: expected "signedByte" or "halfDegree")"},
    {R"({"chips": [{"name": "c", "registers": {"0x27": {"temperature": {"source": "gpu", "encoding": "signedByte"}}}}]})",
     R"(/chips/0/registers/0x27/temperature/source: expected a heat source of the "thermal" section)"},
    {R"({"chips": [{"name": "a", "placements": [{"isa": "0x290"}]}, {"name": "b", "placements": [{"flat": "0x295", "size": 2}]}]})",
     "bad.json: /chips/1/placements/0: ports 0x295-0x296 (b) overlap ports 0x295-0x296 (a)"},
    {R"({"chips": [{"name": "a", "placements": [{"protocolSMBus": "0x2D"}]}, {"name": "b", "placements": [{"protocolSMBus": "0x2D"}]}]})",
     "/chips/1/placements/0/protocolSMBus: expected an address no other chip has"},
    {R"({"chips": [{"name": "a", "placements": [{"pci": "00:1F.3"}]}]})",
     R"(/chips/0/placements/0: expected one of "isa", "flat", "ecMailbox" or "protocolSMBus")"},
    {R"({"chips": [{"name": "a", "registers": {"0x40": {"fault": {"kind": "vanish"}}}}]})",
     R"(/chips/0/registers/0x40/fault/kind: expected "fail", "allOnes" or "garbage")"},
    {R"({"superIO": [{"name": "s", "indexPort": "0x2E", "dataPort": "0x2E", "enterKey": []}]})",
     "/superIO/0/dataPort: expected a port other than the index port"},
    {R"({"superIO": [{"name": "s", "indexPort": "0x2E", "dataPort": "0x2F", "enterKey": [],
                      "decodes": [{"device": "0x0B", "chip": "nowhere", "window": "isa"}]}]})",
     R"(/superIO/0/decodes/0/chip: expected the name of a chip of the "chips" section)"},
    {R"({"superIO": [{"name": "a", "indexPort": "0x2E", "dataPort": "0x2F", "enterKey": ["0x87", "0x87"]},
                     {"name": "b", "indexPort": "0x2E", "dataPort": "0x2F", "enterKey": ["0x55", "0x55"]}]})",
     "/superIO/1: ports 0x2E-0x2F (b) overlap ports 0x2E-0x2F (a)"},
    {R"({"thermal": {"fans": [{"name": "f", "maxRpm": 100, "cools": {"cpu": 1}}]}})",
     "/thermal/fans/0/cools/cpu: expected the name of a heat source as the name"},
};

TEST(DeviceKit, MalformedChipBoardsAreRefused) { testsupport::expectRefused(badChipBoards); }

TEST(DeviceKit, SuperIOSectionBuildsTheConfigurationSpace) {
    Machine machine;
    machine.loadFromJson(R"({"superIO": [{"name": "superio", "indexPort": "0x2E", "dataPort": "0x2F",
        "enterKey": ["0x87", "0x87"], "exitKey": "0xAA",
        "globals": {"0x20": {"value": "0x52", "writeMask": "0x00"}, "0x07": "0x0B"},
        "devices": {"0x0B": {"0x60": "0x02", "0x61": "0x90"}}}]})",
                         "sio.json");
    PortSpace& ports = machine.ports();
    ports.write(0x2E, 1, 0x20);
    EXPECT_EQ(ports.read(0x2F, 1), 0xFFu);
    ports.write(0x2E, 1, 0x87);
    ports.write(0x2E, 1, 0x87);
    ports.write(0x2E, 1, 0x61);
    EXPECT_EQ(ports.read(0x2F, 1), 0x90u);
    ASSERT_NE(machine.registerFile("superio:0B"), nullptr);
    EXPECT_EQ(machine.registerFile("superio")->peek(0x20), 0x52);
}

TEST(DeviceKit, SuperIOSectionKeysAndQuirks) {
    Machine machine;
    machine.loadFromJson(R"({"superIO": [{"name": "ite", "indexPort": "0x2E", "dataPort": "0x2F",
        "enterKey": ["0x87", "0x01", "0x55", "0x55"], "exitRegister": {"register": "0x02", "mask": "0x02"},
        "startsUnlocked": true, "globals": {"0x07": "0x04"},
        "devices": {"0x04": {"0x30": {"value": "0x01", "writeMask": "0xFE"},
                             "0x60": {"value": "0x02", "writeMask": "0x00"}, "0x61": "0x90"},
                    "0x05": {"0x30": "0x00"}}}]})",
                         "ite.json");
    PortSpace& ports = machine.ports();
    const auto config = [&](std::uint8_t reg) {
        ports.write(0x2E, 1, reg);
        return ports.read(0x2F, 1);
    };
    const auto write = [&](std::uint8_t reg, std::uint8_t value) {
        ports.write(0x2E, 1, reg);
        ports.write(0x2F, 1, value);
    };
    write(0x30, 0x00);  // the activation bit does not clear
    EXPECT_EQ(config(0x30), 0x01u);
    write(0x60, 0x03);  // nor does the base move
    EXPECT_EQ(config(0x60), 0x02u);
    write(0x07, 0x05);  // 30h and up belong to each device, 07h to all
    EXPECT_EQ(config(0x30), 0x00u);
    EXPECT_EQ(config(0x07), 0x05u);
    write(0x02, 0x02);
    EXPECT_EQ(config(0x07), 0xFFu);
}

TEST(DeviceKit, ActivationAndBaseMoveTheDecodedWindow) {
    Machine machine;
    machine.loadFromJson(R"({"chips": [{"name": "monitor", "registers": {"0x4F": "0x5C"}}],
        "superIO": [{"name": "superio", "indexPort": "0x2E", "dataPort": "0x2F", "enterKey": [],
                     "globals": {"0x07": "0x0B"},
                     "devices": {"0x0B": {"0x30": "0x01", "0x60": "0x02", "0x61": "0x90"}},
                     "decodes": [{"device": "0x0B", "chip": "monitor", "window": "isa"}]}]})",
                         "decode.json");
    PortSpace& ports = machine.ports();
    const auto config = [&](std::uint8_t reg, std::uint8_t value) {
        ports.write(0x2E, 1, reg);
        ports.write(0x2F, 1, value);
    };
    const auto monitorAt = [&](std::uint16_t base) {
        ports.write(static_cast<std::uint16_t>(base + 5), 1, 0x4F);
        return ports.read(static_cast<std::uint16_t>(base + 6), 1);
    };
    EXPECT_EQ(monitorAt(0x290), 0x5Cu);
    config(0x61, 0xA0);  // moved to 2A0h
    EXPECT_EQ(monitorAt(0x2A0), 0x5Cu);
    EXPECT_FALSE(ports.isClaimed(0x295));
    config(0x30, 0x00);  // deactivated: released
    EXPECT_FALSE(ports.isClaimed(0x2A5));
    EXPECT_EQ(monitorAt(0x2A0), 0xFFu);
    config(0x30, 0x01);
    EXPECT_EQ(monitorAt(0x2A0), 0x5Cu);
}

}  // namespace
