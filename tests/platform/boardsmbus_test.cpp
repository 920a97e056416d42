// Board section "smbus": hosts of each family on the ports, their base from
// a PCI function, slaves from register contents, and what is refused.

#include <gtest/gtest.h>

#include "platform/sim/boardreader.h"
#include "platform/sim/machine.h"
#include "platform/sim/smbussegment.h"
#include "support/badboards.h"

using platform::sim::Machine;
using testsupport::BadBoard;

namespace {

const char* const board = R"({
  "pci": [{"bus": 0, "device": 31, "function": 3, "vendorId": "0x8086", "deviceId": "0x2930",
           "registers": {"0x20": "0x01", "0x21": "0x05"}}],
  "smbus": [
    {"name": "ich", "family": "Intel", "pci": "00:1F.3", "aux": "0x02", "semaphore": "free",
     "slaves": [{"address": "0x2D", "registers": {"0x05": "0x42"}, "block": "01 02 03"},
                {"address": "0x48", "fault": {"kind": "nack", "times": 1}}]},
    {"name": "amd", "family": "AMD", "base": "0x800", "floating": "0xEE",
     "timing": {"startReads": 2, "busyReads": "never", "stuck": "untilReset", "staleStatus": true}}
  ]
})";

TEST(BoardSMBus, HostsClaimTheirPortsFromThePciBaseOrTheirOwn) {
    Machine m(false);
    m.loadFromJson(board, "smbus.json");
    EXPECT_TRUE(m.ports().isClaimed(0x500)) << "word 20h of 00:1F.3 with the I/O bit cleared";
    EXPECT_TRUE(m.ports().isClaimed(0x50F));
    EXPECT_FALSE(m.ports().isClaimed(0x510));
    EXPECT_TRUE(m.ports().isClaimed(0x8E0));
    EXPECT_FALSE(m.ports().isClaimed(0x400)) << "no host there: all ones";
    EXPECT_EQ(m.ports().read(0x400, 1), 0xFFu);
    ASSERT_TRUE(m.registerFile("ich@2D"));
    EXPECT_EQ(m.registerFile("ich@2D")->peek(0x05), 0x42);
    EXPECT_TRUE(m.registerFile("ich@48"));
    EXPECT_EQ(m.ports().read(0x50D, 1), 0x02u) << "AUX";
    EXPECT_EQ(m.ports().read(0x8E0, 2), 0x0008u) << "stuck busy";
}

TEST(BoardSMBus, SlaveNamingAChipSharesItsRegistersWithTheChipsOtherPlacements) {
    Machine m(false);
    m.loadFromJson(R"({
      "chips": [{"name": "monitor", "registers": {"0x27": "0x30"}, "placements": [{"isa": "0x290"}]}],
      "smbus": [{"name": "ich", "family": "Intel", "base": "0x400",
                 "slaves": [{"address": "0x2D", "chip": "monitor", "protocols": ["byteData", "wordData"]}]}]
    })", "twin.json");
    ASSERT_EQ(m.registerFile("ich@2D"), m.registerFile("monitor"));
    m.ports().write(0x295, 1, 0x27);
    m.ports().write(0x296, 1, 0x55);
    EXPECT_EQ(m.registerFile("ich@2D")->peek(0x27), 0x55) << "a write on ISA shows on SMBus";
}

TEST(BoardSMBus, AHostAnswersOnlyWhileItsEnableBitsHold) {
    Machine m(false);
    m.loadFromJson(R"({
      "pci": [{"bus": 0, "device": 7, "function": 3, "vendorId": "0x8086", "deviceId": "0x7113",
               "registers": {"0x04": "0x01", "0xD2": "0x00"}}],
      "smbus": [{"name": "piix4", "family": "Intel", "base": "0x400",
                 "enabledWhen": [{"pci": "00:07.3", "register": "0xD2", "mask": "0x01", "equals": "0x01"},
                                 {"pci": "00:07.3", "register": "0x04", "mask": "0x01", "equals": "0x01"}]}]
    })", "enable.json");
    auto& config = *m.pci().function({0, 7, 3});
    m.ports().write(0x403, 1, 0x5A);
    EXPECT_EQ(m.ports().read(0x403, 1), 0xFFu) << "off: nothing decodes the ports";
    config[0xD2] = 0x01;
    EXPECT_EQ(m.ports().read(0x403, 1), 0x00u) << "the write while off was lost";
    m.ports().write(0x403, 1, 0x5A);
    EXPECT_EQ(m.ports().read(0x403, 1), 0x5Au);
    config[0x04] = 0x00;
    EXPECT_EQ(m.ports().read(0x403, 1), 0xFFu) << "every condition must hold";
}

TEST(BoardSMBus, SlaveRegisterFilesByWidthImageAndFill) {
    Machine m(false);
    m.loadFromJson(R"({"smbus": [{"name": "ich", "family": "Intel", "base": "0x400", "slaves": [
        {"address": "0x18", "words": true, "registers": {"0x07": "0x2001"}},
        {"address": "0x38", "image": "01 00 FE", "registers": {"0x03": "0x44"}},
        {"address": "0x4D", "fill": "0x00"}]}]})",
                   "files.json");
    auto words = m.registerFile("ich@18");
    EXPECT_EQ(words->readWordBytes(0x07), (std::pair<std::uint8_t, std::uint8_t>{0x20, 0x01}));
    EXPECT_EQ(words->readWordBytes(0x06), (std::pair<std::uint8_t, std::uint8_t>{0x00, 0x00})) << "no overlap with 07h";
    auto eeprom = m.registerFile("ich@38");
    EXPECT_EQ(eeprom->read(0x02), 0xFE);
    EXPECT_EQ(eeprom->read(0x03), 0x44) << "registers come after the image";
    EXPECT_EQ(eeprom->read(0x04), 0x00);
    auto floating = m.registerFile("ich@4D");
    floating->write(0x10, 0x55);
    EXPECT_EQ(floating->read(0x10), 0x00);
}

TEST(BoardSMBus, ARegisterBlockAnswersAsManyBytesAsItsCountByteSays) {
    auto slave = std::make_shared<platform::sim::SMBusSlave>();
    slave->setBlock({0x11, 0x22, 0x03, 0x44});
    slave->setRegisterBlock(2);
    EXPECT_EQ(slave->blockRead(), (std::vector<std::uint8_t>{0x11, 0x22, 0x03}));
    slave->blockWrite({0xAA, 0xBB, 0x04});
    EXPECT_EQ(slave->blockRead(), (std::vector<std::uint8_t>{0xAA, 0xBB, 0x04, 0x44})) << "stored from byte 0 on";
    slave->blockWrite({0x01});
    EXPECT_EQ(slave->block(), (std::vector<std::uint8_t>{0x01, 0xBB, 0x04, 0x44}));
}

const BadBoard badSMBusBoards[] = {
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0x400", "enabledWhen": {"pci": "00:07.3"}}]})",
     "/smbus/0/enabledWhen/mask: missing"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0x400",
                    "enabledWhen": [{"pci": "00:07.3", "register": "0xD2", "mask": "0x01", "bit": 0}]}]})",
     "/smbus/0/enabledWhen/0"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0x400", "slaves": [{"address": "0x2D", "chip": "nothere"}]}]})",
     "/smbus/0/slaves/0/chip: expected the name of a chip of the \"chips\" section"},
    {R"({"chips": [{"name": "c", "placements": [{"isa": "0x290"}]}],
        "smbus": [{"name": "x", "family": "Intel", "base": "0x400",
                   "slaves": [{"address": "0x2D", "chip": "c", "registers": {"0x00": "0x01"}}]}]})",
     "/smbus/0/slaves/0/chip: expected either \"chip\" or \"registers\", not both"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0x400", "slaves": [{"address": "0x2D", "protocols": ["dma"]}]}]})",
     "/smbus/0/slaves/0/protocols/0"},
    {R"({"smbus": [{"name": "x", "family": "ICH", "base": "0x400"}]})", "/smbus/0/family: expected a host family"},
    {R"({"smbus": [{"name": "x", "family": "Intel"}]})", "/smbus/0/base: missing"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "pci": "00:1F.3"}]})",
     "/smbus/0/pci: expected a function of the \"pci\" section"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "pci": "1F.3"}]})", "expected a PCI location like"},
    {R"({"pci": [{"bus": 0, "device": 2, "function": 0, "vendorId": "0x10B9", "deviceId": "0x7101"}],
        "smbus": [{"name": "x", "family": "Ali", "pci": "00:02.0"}]})",
     "/smbus/0/baseRegister: missing"},
    {R"({"smbus": [{"name": "x", "family": "AMD", "base": "0x400", "aux": "0x02"}]})",
     "belong to the Intel-style families"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0xFFF8"}]})", "/smbus/0: "},
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0x400"}, {"name": "y", "family": "VIA", "base": "0x408"}]})",
     "overlap"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0x400", "slaves": [{"address": "0x80"}]}]})",
     "/smbus/0/slaves/0/address"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0x400", "slaves": [{"address": "0x2D"}, {"address": "0x2D"}]}]})",
     "expected an address no other slave has"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0x400", "slaves": [{"address": "0x2D", "type": "lm75"}]}]})",
     "/smbus/0/slaves/0/type"},
    {R"({"chips": [{"name": "c", "placements": [{"isa": "0x290"}]}],
        "smbus": [{"name": "x", "family": "Intel", "base": "0x400", "slaves": [{"address": "0x50", "image": "01", "chip": "c"}]}]})",
     "/smbus/0/slaves/0/chip: expected either \"chip\" or \"image\", not both"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0x400", "slaves": [{"address": "0x50", "image": "0G"}]}]})",
     "/smbus/0/slaves/0/image"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0x400", "slaves": [{"address": "0x4D", "fill": "0x100"}]}]})",
     "/smbus/0/slaves/0/fill"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0x400",
                    "slaves": [{"address": "0x18", "words": true, "registers": {"0x06": "0x10000"}}]}]})",
     "/smbus/0/slaves/0/registers/0x06"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0x400", "slaves": [{"address": "0x18", "registers": {"0x06": "0x1234"}}]}]})",
     "/smbus/0/slaves/0/registers/0x06"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0x400", "slaves": [{"address": "0x2D", "fault": {"kind": "melt"}}]}]})",
     "/smbus/0/slaves/0/fault/kind"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0x400", "timing": {"stuck": "sometimes"}}]})",
     "/smbus/0/timing/stuck"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0x400", "slaves": [{"address": "0x2D", "block": "01 0"}]}]})",
     "/smbus/0/slaves/0/block"},
    {R"({"smbus": [{"name": "x", "family": "Intel", "base": "0x400",
                    "slaves": [{"address": "0x69", "registerBlock": {"countByte": "0x20"}}]}]})",
     "/smbus/0/slaves/0/registerBlock/countByte"},
    {R"({"nforce2Pll": {"pci": "00:00.0"}})", "/nforce2Pll/pci: no PCI function at bus 0 device 0 function 0"},
};

TEST(BoardSMBus, MalformedHostsAreRefusedWithTheirPath) { testsupport::expectRefused(badSMBusBoards); }

}  // namespace
