// FB-DIMM discovery on simulated memory controller hubs: the SPD controllers'
// dump and links, and the AMB windows' modules and sensors.

#include "detect/cvfbdimm.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "detect/cvdetect.h"
#include "detect/detectfixture.h"
#include "hw/cvlink.h"
#include "hw/cvpci.h"
#include "platform/sim/ambwindows.h"
#include "platform/sim/machine.h"
#include "platform/sim/mchspd.h"

namespace {

using platform::sim::PciLocation;

// Counts the reads that touch a status word.
class StatusReads : public platform::sim::PciFunctionModel {
public:
    explicit StatusReads(unsigned reg) : reg_(reg) {}
    void beforeRead(platform::sim::PciConfigSpace&, unsigned offset, int width) override {
        if (offset <= reg_ && reg_ < offset + static_cast<unsigned>(width)) ++count;
    }
    void afterWrite(platform::sim::PciConfigSpace&, unsigned, int) override {}
    int count = 0;

private:
    unsigned reg_;
};

constexpr std::uint32_t Ambase = 0xFE000000;

// Two hubs, each with both SPD controllers; only the first controller of the
// first hub has an EEPROM (at 50h, "CALDAVOR" in its first bytes).
constexpr const char* TwoHubs = R"({
  "driver": {"installed": true, "major": 2, "minor": 3},
  "pci": [{"bus": 0, "device": 21, "function": 0, "vendorId": "0x8086", "deviceId": "0x25F5"},
          {"bus": 1, "device": 22, "function": 0, "vendorId": "0x8086", "deviceId": "0x25F6"}],
  "mchSpd": [
    {"bus": 0, "device": 21, "function": 0, "commandRegister": "0x78", "statusRegister": "0x74",
     "slaves": [{"address": "0x50", "registers": {"0x00": "0x43", "0x01": "0x41", "0x02": "0x4C", "0x03": "0x44",
                                                  "0x04": "0x41", "0x05": "0x56", "0x06": "0x4F", "0x07": "0x52",
                                                  "0x08": "0x00", "0x09": "0x7F", "0x0A": "0x20", "0x0B": "0x7E"}}]},
    {"bus": 0, "device": 21, "function": 0, "commandRegister": "0x7C", "statusRegister": "0x76"},
    {"bus": 1, "device": 22, "function": 0, "commandRegister": "0x78", "statusRegister": "0x74"},
    {"bus": 1, "device": 22, "function": 0, "commandRegister": "0x7C", "statusRegister": "0x76"}]
})";

class FBDimm : public DetectTest {
protected:
    void load(const char* board) {
        machine().loadFromJson(board, "fbdimm.json");
        IOPort = std::make_unique<TIOPort>();
        pciLink = addLink(LinkKinds::PCI, HostKinds::None, 0);
    }
    // The AMB function at 0:16.0 with its AMBASE, range and counts.
    void addAmbFunction(std::uint32_t low, std::uint32_t high, std::uint8_t channels, std::uint8_t dimms) {
        platform::sim::PciConfigSpace config{};
        const auto put = [&config](unsigned at, std::uint32_t value) {
            for (unsigned i = 0; i < 4; ++i) config[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        };
        put(0x00, 0x25F08086);
        put(0x48, low);
        put(0x4C, high);
        put(0x50, 0x00001000);
        config[0x56] = channels;
        config[0x57] = dimms;
        machine().pci().addFunction({0, 16, 0}, config);
    }
    // The information page's lines strictly between two lines.
    std::vector<std::string> between(const std::string& first, const std::string& last) const {
        const auto& lines = boxes.Info;
        const auto from = std::find(lines.begin(), lines.end(), first);
        const auto to = std::find(from, lines.end(), last);
        return to == lines.end() ? std::vector<std::string>{} : std::vector<std::string>(from + 1, to);
    }

    int pciLink = -1;
    TDetectionEngine engine = TDetectionEngine::ForSinks(monitor.Log);
    TDetectionContext context{monitor, factory, engine};
};

TEST_F(FBDimm, TwoHubsAreDumpedAndRegisteredAsFourLinks) {
    load(TwoHubs);
    auto counter = std::make_shared<StatusReads>(0x74);
    machine().pci().attachModel({0, 21, 0}, counter);
    ProbeIntelFBDimm(context);

    const auto dump = between("  Found Intel MCH SPD interface", "  End of Intel MCH SPD interface test");
    // Per controller 4 modules of 16 rows, whatever failed.
    const auto rows = std::count_if(dump.begin(), dump.end(),
                                    [](const std::string& l) { return l.size() > 8 && l.compare(6, 2, ": ") == 0; });
    EXPECT_EQ(rows, 2 * 4 * 16);
    ASSERT_GE(dump.size(), 22u);
    EXPECT_EQ(dump[0], "  Testing SMBus[001500]");
    EXPECT_EQ(dump[1], "  DIMM#0");
    EXPECT_EQ(dump[2], "    00: 43 41 4C 44 41 56 4F 52 00 7F 20 7E 00 00 00 00  CALDAVOR.. ~....");
    EXPECT_EQ(dump[3].substr(0, 8), "    10: ");
    // The module at 51h never answers: the controller gives up at once.
    std::string allFailed = "    00: ";
    for (int i = 0; i < 16; ++i) allFailed += "-1 ";
    allFailed += "                 ";
    EXPECT_EQ(dump[18], "  DIMM#1");
    EXPECT_EQ(dump[19], "   !!! Timeout waiting for data");
    EXPECT_EQ(dump[20], allFailed);
    EXPECT_EQ(std::count(dump.begin(), dump.end(), "   !!! Timeout waiting for data"), 2);
    // 256 bytes of two reads each, then one byte polled to the limit, per controller
    // (both status words share the dword read).
    EXPECT_EQ(counter->count, 256 * 2 + 2 * (1 + 10000));

    struct Expected {
        std::uint32_t base;
        int bus, device;
    };
    const Expected expected[] = {{0x00740078, 0, 21}, {0x0076007C, 0, 21}, {0x00740078, 1, 22}, {0x0076007C, 1, 22}};
    ASSERT_EQ(Links().size(), 1u + std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const TLink& link = *Links()[i + 1];
        EXPECT_EQ(link.LinkKind(), LinkKinds::SMBus);
        EXPECT_EQ(link.HostKind(), HostKinds::IntelMCH);
        EXPECT_EQ(link.ChipsetCode(), 90);
        EXPECT_EQ(link.BaseAddress(), expected[i].base);
        EXPECT_EQ(link.PciBus(), expected[i].bus);
        EXPECT_EQ(link.PciDevice(), expected[i].device);
        EXPECT_EQ(link.PciFunction(), 0);
    }
    EXPECT_TRUE(traced("End of Intel FB-DIMM support probing"));
}

TEST_F(FBDimm, ABusyControllerIsNeverStartedAndShowsItsCode) {
    load(R"({"driver": {"installed": true, "major": 2, "minor": 3},
             "pci": [{"bus": 0, "device": 21, "function": 0, "vendorId": "0x8086", "deviceId": "0x25F5"}]})");
    auto stuck = std::make_shared<platform::sim::MchSpd>(0x78, 0x74, std::make_shared<platform::sim::SMBusSegment>());
    stuck->holdBusy(-1);
    machine().pci().attachModel({0, 21, 0}, stuck);
    DumpMCHSPD(context, 0, 21, 0, 0x78, 0x74);
    const auto lines = trace();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "   !!! SMBus is busy"), 1);
    EXPECT_EQ(stuck->starts(), 0);
    std::string busy = "    F0: ";
    for (int i = 0; i < 16; ++i) busy += "-3 ";
    EXPECT_EQ(lines.back(), busy + "                 ");
}

TEST_F(FBDimm, AReadSetsTheCommandFieldsAndKeepsTheOtherBits) {
    load(R"({"driver": {"installed": true, "major": 2, "minor": 3},
             "pci": [{"bus": 0, "device": 21, "function": 0, "vendorId": "0x8086", "deviceId": "0x25F5"}]})");
    auto segment = std::make_shared<platform::sim::SMBusSegment>();
    auto eeprom = std::make_shared<platform::sim::SMBusSlave>();
    eeprom->registers().set(0x34, 0x5A);
    segment->attach(0x52, eeprom);
    machine().pci().attachModel({0, 21, 0}, std::make_shared<platform::sim::MchSpd>(0x78, 0x74, segment));
    WritePCIConfigDWord(0, 21, 0, 0x78, 0x00000F01);
    std::uint8_t value = 0;
    EXPECT_EQ(ReadMCHSPDByte(monitor.Log, 0, 21, 0, value, 0x34, 0x52, 0x78, 0x74), MCHSPDOk);
    EXPECT_EQ(value, 0x5A);
    // Device type 1010b at 31:28, slave bits at 26:24, offset at 23:16, bit 0 clear.
    EXPECT_EQ(ReadPCIConfigDWord(0, 21, 0, 0x78), 0xA2340F00u);
}

TEST_F(FBDimm, ModulesOfTheAMBWindowsBecomeSensors) {
    load(R"({"driver": {"installed": true, "major": 2, "minor": 3}})");
    addAmbFunction(Ambase, 0, 4, 2);
    platform::sim::AmbModule first;
    first.presenceId = 0xA6208086;
    first.temperature = 0x5B;
    first.debug1 = 0x2800;
    first.linkFrequency = 2;
    first.geometry = 0x59;  // 8 bits, single, 8 banks, rows 2, columns 1
    first.debug2 = 0x30000C00;  // tRAS 1, tRTP 2, RAS#-CAS# 3, RAS#-precharge 0
    first.debug3 = 0x15;
    platform::sim::AmbModule second;
    second.presenceId = 0x00000000;
    second.debug1 = 0x1000;
    second.linkFrequency = 0;
    second.geometry = 0x2E;  // 4 bits, double, 4 banks, rows 3, columns 2
    second.debug2 = 0x68000100;  // tRAS 3, tRTP 1, RAS#-CAS# 0, RAS#-precharge 1
    second.debug3 = 0x43;
    platform::sim::layAmbWindows(machine().memory(), Ambase, 4, {{{2, 0}, first}, {{2, 1}, second}});
    ProbeIntelFBDimm(context);

    EXPECT_TRUE(traced("  AMBASE=$00000000FE000000 (hi=$00000000 - lo=$FE000000)"));
    EXPECT_TRUE(traced("  Region range=$00001000"));
    EXPECT_TRUE(traced("  Supported channels=$04"));
    EXPECT_TRUE(traced("  Supported DIMMs per channel=$02"));
    const std::vector<std::string> firstLines = {
        "    Exploring DIMM #0", "      PresenceId=$A6208086", "      Temperature=45.5", "      DEBUG1=$00002800",
        "      DDR2 frequencies supported -> DDR2-800 DDR2-533", "      Current link frequency -> DDR2-667",
        "      DRAM data width : 8 bits", "      Number of ranks : single", "      Number of banks : 8 banks",
        "      Number of rows : 32768", "      Number of columns : 2048", "      DEBUG2=$30000C00",
        "      tRAS min clock delays : 15 for DDR2 667 MHz", "      tRTP clocks delay : 4", "      RAS# to CAS# delay : 3",
        "      RAS# to precharge delay : 6", "      DEBUG3=$00000015", "      Additive latency : 1",
        "      CAS latency : 5"};
    EXPECT_EQ(between("  Exploring channel #2", "FB-DIMM #0 found on channel #2"),
              std::vector<std::string>(firstLines.begin(), firstLines.end()));
    const std::vector<std::string> secondLines = {
        "    Exploring DIMM #1", "      PresenceId=$00000000", "      Temperature=0.0", "      DEBUG1=$00001000",
        "      DDR2 frequencies supported -> DDR2-667", "      Current link frequency -> <reserved>",
        "      DRAM data width : 4 bits", "      Number of ranks : double", "      Number of banks : 4 banks",
        "      Number of rows : 65536", "      Number of columns : 4096", "      DEBUG2=$68000100",
        "      tRAS min clock delays : <reserved>", "      tRTP clocks delay : 3", "      RAS# to CAS# delay : 6",
        "      RAS# to precharge delay : 5", "      DEBUG3=$00000043", "      Additive latency : 4",
        "      CAS latency : 3"};
    const auto afterFirst = between("FB-DIMM #0 found on channel #2", "FB-DIMM #1 found on channel #2");
    ASSERT_GE(afterFirst.size(), secondLines.size());
    EXPECT_EQ(std::vector<std::string>(afterFirst.end() - static_cast<long>(secondLines.size()), afterFirst.end()),
              secondLines);
    EXPECT_TRUE(has(boxes.Readings, "FB-DIMM #0 found on channel #2"));

    ASSERT_EQ(monitor.Sensors.size(), 2u);
    EXPECT_EQ(monitor.Sensors[0]->FAddress, 0x0002u);
    EXPECT_EQ(monitor.Sensors[1]->FAddress, 0x0102u);
    EXPECT_EQ(static_cast<std::uint32_t>(monitor.Sensors[0]->FAddress2), Ambase + 0x10000);
    EXPECT_EQ(static_cast<std::uint32_t>(monitor.Sensors[1]->FAddress2), Ambase + 0x10800);
    EXPECT_EQ(monitor.Sensors[0]->FLink, Links()[static_cast<std::size_t>(pciLink)].get());
    // The sensor reads its module's temperature from the window.
    monitor.Sensors[0]->ReadTemps();
    EXPECT_DOUBLE_EQ(monitor.Sensors[0]->GetTemp(1).Stats->Last(), 45.5);
}

TEST_F(FBDimm, RefusedWindowsAndCounts) {
    struct Case {
        const char* what;
        std::uint32_t high;
        std::uint8_t channels, dimms;
        bool memory;
        const char* line;  // traced; null: none expected
    };
    const Case cases[] = {
        {"above 4 GB", 1, 4, 2, true, "  !!!AMBASE uses more than 32 bit..."},
        {"no channels", 0, 0, 2, true, nullptr},
        {"no modules per channel", 0, 4, 0, true, nullptr},
        {"no memory access", 0, 4, 2, false, "  I can't read memory. Sorry."},
    };
    load(R"({"driver": {"installed": true, "major": 2, "minor": 3}})");
    addAmbFunction(Ambase, 0, 4, 2);
    platform::sim::layAmbWindows(machine().memory(), Ambase, 4, {{{0, 0}, {}}});
    auto& config = *machine().pci().function({0, 16, 0});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        config[0x4C] = static_cast<std::uint8_t>(c.high);
        config[0x56] = c.channels;
        config[0x57] = c.dimms;
        IOPort->CanReadMemory = c.memory;
        clearTrace();
        ProbeIntelFBDimm(context);
        EXPECT_TRUE(monitor.Sensors.empty());
        if (c.line) {
            EXPECT_TRUE(traced(c.line));
        }
        EXPECT_FALSE(traced("    Exploring DIMM #0"));
        EXPECT_TRUE(traced("End of Intel FB-DIMM support probing"));
    }
}

TEST_F(FBDimm, TheWindowGoesOnlyIntoTheSensorJustAdded) {
    load(R"({"driver": {"installed": true, "major": 2, "minor": 3}})");
    addAmbFunction(Ambase, 0, 1, 1);
    platform::sim::layAmbWindows(machine().memory(), Ambase, 1, {{{0, 0}, {}}});
    // A creator that makes a chip of another code.
    factory.SetCreator("TFBDimmSensor", [](TLink* link, std::uint32_t address, std::uint8_t, TSensorLogEvent onLog,
                                           const std::string& v, const std::string& p, const std::string& s) {
        return CreateSensor<TTestChip>(link, address, std::uint8_t{0}, std::move(onLog), v, p, s, "other", 0xFFFF);
    });
    ProbeIntelFBDimm(context);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FAddress2, 0);
    EXPECT_TRUE(traced("GOTIT didn't add the FB-DIMM"));
}

}  // namespace
