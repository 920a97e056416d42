#include "detect/cvsmbusprobe.h"

#include <gtest/gtest.h>

#include "base/cvformat.h"
#include "detect/probefixture.h"

namespace {

using cvformat::Format;
using platform::sim::SMBusProtocol;
using platform::sim::SMBusRequest;

class SmbusProbe : public ProbeTest {
protected:
    SmbusProbe() { clearTrace(); }

    // The trace lines of this Part: the preamble, the sections and the end.
    std::vector<std::string> probeLines() const {
        std::vector<std::string> lines;
        for (const auto& line : trace()) {
            if (line.rfind("Prob", 0) == 0 || line.rfind("LINK", 0) == 0 || line.rfind("WARN", 0) == 0)
                lines.push_back(line);
        }
        return lines;
    }
    std::vector<std::string> sectionLines(int index, std::uint32_t address, std::vector<const char*> numbers) const {
        std::vector<std::string> lines = {Format("Probing LINK <%s> at address $%.4x...", {name(index), address})};
        for (const char* n : numbers)
            lines.push_back(Format("Probe #%s done on LINK <%s> at address $%.4x...", {n, name(index), address}));
        lines.push_back(Format("Probing ended on LINK <%s> at address $%.4x...", {name(index), address}));
        return lines;
    }
    static std::string kinds(const std::vector<SMBusRequest>& requests) {
        std::string text;
        for (const auto& r : requests) {
            text += r.protocol == SMBusProtocol::Quick ? "Q" : r.read ? "R" : "W";
            text += Format("%.2x ", {r.command});
        }
        return text;
    }
    std::shared_ptr<platform::sim::SMBusSlave> writeOnly(std::uint8_t address) {
        auto slave = attach(address);
        slave->setProtocolMask(1u << static_cast<int>(SMBusProtocol::Quick));
        return slave;
    }
    std::shared_ptr<platform::sim::SMBusSlave> floating(std::uint8_t address, std::uint8_t value) {
        auto slave = attach(address);
        for (int r = 0; r < 256; ++r) slave->registers().set(static_cast<std::uint8_t>(r), value);
        return slave;
    }
};

TEST(SmbusUsefulAddresses, TheSetAndItsEdges) {
    std::vector<int> useful;
    for (int a = 0; a < 0x100; ++a) {
        if (IsUsefulSmbusAddress(static_cast<std::uint32_t>(a))) useful.push_back(a);
    }
    std::vector<int> expected;
    for (int a = 0x14; a <= 0x50; ++a) expected.push_back(a);
    for (int a : {0x58, 0x5C, 0x70, 0x73, 0x77}) expected.push_back(a);
    EXPECT_EQ(useful, expected);
    EXPECT_EQ(SmbusUsefulAddresses.count(), expected.size());
}

TEST_F(SmbusProbe, PreambleStops) {
    const int mch = static_cast<int>(Links().size());
    Links().push_back(std::make_unique<TLink>(0, LinkKinds::SMBus, HostKinds::IntelMCH, 0x500, 0,
                                              testsupport::SimProtocolHost::On(segment)));
    const int pci = addLink(LinkKinds::PCI, 0, 0xCF8);
    link(mch).UpdateName();
    link(pci).UpdateName();
    writeOnly(0x2F);
    attach(0x51, {{0x00, 0x80}});
    struct Case {
        int link;
        std::uint32_t address;
        std::vector<std::string> lines;
        std::string requests;
        std::vector<std::string> box;
    };
    const std::string sm = name(smbus);
    const std::vector<Case> cases = {
        {mch, 0x2D, {Format("WARN: won't probe address $2D on <%s>", {name(mch)})}, "", {}},
        {pci, 0x2D, {Format("WARN: Don't know how to probe LINK <%s> at address $002D", {name(pci)})}, "", {}},
        {smbus, 0x2D, {"LINK <" + sm + "> at address $2D appears to be unused..."}, "Q00 ", {}},
        {smbus, 0x33, {"LINK <" + sm + "> at address $33 appears to be unused..."}, "R00 R00 ", {}},  // EEPROM range; a failed read is tried once more
        {smbus, 0x51, {"LINK <" + sm + "> at address $51 is unuseful to me..."}, "R00 ", {"Something is at address $51"}},
        {smbus, 0x2F, {"LINK <" + sm + "> at address $002F appears to be unused..."}, "Q00 R00 R00 R03 R03 R3F R3F RF0 RF0 ",
         {"Something is at address $2F", "Address $2F appears to be WRITE ONLY..."}},
    };
    for (const Case& c : cases) {
        clearTrace();
        segment.clearRequests();
        boxes.Info.clear();
        ProbeSmbusAddress(context, c.link, c.address);
        EXPECT_EQ(probeLines(), c.lines) << c.address;
        EXPECT_EQ(kinds(segment.requests()), c.requests) << c.address;
        EXPECT_EQ(boxes.Info, c.box) << c.address;
    }
    EXPECT_TRUE(monitor.Sensors.empty());
}

TEST_F(SmbusProbe, SlowDetectAndGraphicsI2CSkipThePresenceTest) {
    writeOnly(0x2E);
    monitor.ScanFlags.SlowDetect = true;
    ProbeSmbusAddress(context, smbus, 0x2E);
    EXPECT_EQ(kinds(segment.requests()), "R00 R00 R03 R03 R3F R3F RF0 RF0 ");
    EXPECT_TRUE(boxes.Info.empty());  // no presence, so no WRITE ONLY line in the box
    EXPECT_EQ(probeLines(), (std::vector<std::string>{"LINK <" + name(smbus) + "> at address $002E appears to be unused..."}));

    monitor.ScanFlags.SlowDetect = false;
    segment.clearRequests();
    Links().push_back(std::make_unique<TLink>(0, LinkKinds::SMBus, HostKinds::I2CNVidia, 0x3E, 0,
                                              testsupport::SimProtocolHost::On(segment)));
    ProbeSmbusAddress(context, static_cast<int>(Links().size() - 1), 0x2E);
    EXPECT_EQ(kinds(segment.requests()), "R00 R00 R03 R03 R3F R3F RF0 RF0 ");
}

TEST_F(SmbusProbe, Address70OnlyReachesTheLastSectionsAndTheHeuristicSensor) {
    floating(0x70, 0xFF);
    monitor.ScanFlags.UseHeuristic = true;
    useChip("THeuristicSensor", "Heuristic");
    ProbeSmbusAddress(context, smbus, 0x70);
    EXPECT_EQ(probeLines(), sectionLines(smbus, 0x70, {"47", "49"}));
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FChipCode, 3);
    EXPECT_EQ(monitor.Sensors[0]->FAddress, 0x70u);
    // Every section's candidates are built: no line says otherwise.
    const auto lines = trace();
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(),
                             [](const std::string& l) { return l.find("not built yet") != std::string::npos; }));
}

TEST_F(SmbusProbe, FirstAnswerWinsAndTheLineIsWrittenEitherWay) {
    // MTP008 and ADM1026 both answer at 2Dh: the first candidate of #12 is added.
    attach(0x2D, {{0x58, 0xAC}, {0x40, 0x01}, {0x48, 0x2D}, {0x16, 0x41}, {0x17, 0x42}});
    attach(0x2C, {{0x16, 0x41}, {0x17, 0x42}});
    attach(0x2E, {{0x00, 0x00}});
    useChip(std::string(ChipClassName(97)), "ADM1026");
    useChip(std::string(ChipClassName(139)), "MTP008");
    for (std::uint32_t a : {0x2Du, 0x2Cu, 0x2Eu}) ProbeSmbusAddress(context, smbus, a);
    std::vector<int> codes;
    for (const auto& s : monitor.Sensors) codes.push_back(s->FChipCode);
    EXPECT_EQ(codes, (std::vector<int>{139, 97}));
    EXPECT_TRUE(registered(smbus, 0x2D));
    EXPECT_FALSE(registered(smbus, 0x2E));
    // Only unregistered addresses reach #12 and the sections after it; a
    // silent address writes every line of its sections.
    EXPECT_EQ(probeLines(), [&] {
        auto lines = sectionLines(smbus, 0x2D, {"6.5", "12"});
        auto c = sectionLines(smbus, 0x2C, {"6.5", "12"});
        auto e = sectionLines(smbus, 0x2E, {"2.5", "6.5", "12", "14", "15", "16", "22", "24", "26", "27", "30", "31",
                                            "32", "32.5", "34", "40", "46", "47", "49"});
        lines.insert(lines.end(), c.begin(), c.end());
        lines.insert(lines.end(), e.begin(), e.end());
        return lines;
    }());
}

TEST_F(SmbusProbe, RegisteredAddressSkipsTheRestAndSecondCallAddsNothing) {
    auto regs = std::make_shared<platform::sim::RegisterFile>();
    platform::sim::RegisterBehaviour word;
    word.word = true;
    regs->setBehaviour(6, word);
    regs->setBehaviour(7, word);
    regs->set(6, 0x0054);
    regs->set(7, 0x2001);
    segment.attach(0x18, std::make_shared<platform::sim::SMBusSlave>(regs));
    floating(0x19, 0x00);
    useChip("TJedecJC424Sensor", "JEDEC");
    ProbeSmbusAddress(context, smbus, 0x18);
    ProbeSmbusAddress(context, smbus, 0x18);
    ProbeSmbusAddress(context, smbus, 0x19);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FChipCode, 213);
    // #10 applies no registration test; #47 fails it at 18h and takes #48 with it.
    auto lines = sectionLines(smbus, 0x18, {"0", "10"});
    auto again = sectionLines(smbus, 0x18, {"10"});
    auto survey = sectionLines(smbus, 0x19, {"0", "20", "21", "28", "36", "37", "38", "47", "48", "49"});
    lines.insert(lines.end(), again.begin(), again.end());
    lines.insert(lines.end(), survey.begin(), survey.end());
    EXPECT_EQ(probeLines(), lines);
    // All zeros at 19h: no survey line.
    EXPECT_TRUE(std::none_of(boxes.Readings.begin(), boxes.Readings.end(),
                             [](const std::string& l) { return l.rfind("Unknown", 0) == 0; }));
}

TEST_F(SmbusProbe, OnAnIsaLinkOnlyTheBaseSectionsRun) {
    const int isa = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    link(isa).UpdateName();
    monitor.ScanFlags.UseHeuristic = true;
    useChip("THeuristicSensor", "Heuristic");
    ProbeSmbusAddress(context, isa, 0x290);
    EXPECT_EQ(probeLines(),
              sectionLines(isa, 0x290, {"13", "14", "15", "30", "31", "32", "32.5", "34", "47"}));
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FChipCode, 3);
    EXPECT_TRUE(segment.requests().empty());
}

TEST_F(SmbusProbe, HeuristicSensorNeverAtEepromAddresses) {
    floating(0x50, 0xFF);
    monitor.ScanFlags.UseHeuristic = true;
    useChip("THeuristicSensor", "Heuristic");
    ProbeSmbusAddress(context, smbus, 0x50);
    EXPECT_TRUE(monitor.Sensors.empty());
    EXPECT_EQ(probeLines(), sectionLines(smbus, 0x50, {"1", "47", "49"}));
}

TEST_F(SmbusProbe, PowerSupplyFruAt38hAndTheAccelerometerAt1Ch) {
    std::vector<std::uint8_t> image(256, 0);
    const std::vector<std::uint8_t> header = {0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0xFE};
    const std::vector<std::uint8_t> product = {0x01, 0x03, 0x00, 0xC0, 0xC0, 0xCA, 'P', 'W', 'S', '-',
                                               '8',  '6',  '5',  '-',  'P',  'Q',  0xC1};
    std::copy(header.begin(), header.end(), image.begin());
    std::copy(product.begin(), product.end(), image.begin() + 8);
    auto eeprom = attach(0x38);
    for (std::size_t i = 0; i < image.size(); ++i) eeprom->registers().set(static_cast<std::uint8_t>(i), image[i]);
    attach(0x1C, {{0x0F, 0x3B}, {0x8F, 0x3B}});
    useChip("TSuperMicroSensor", "PSU");
    useChip("TUnusedSensor", "unused");
    ProbeSmbusAddress(context, smbus, 0x38);
    ProbeSmbusAddress(context, smbus, 0x1C);
    ASSERT_EQ(monitor.Sensors.size(), 2u);
    EXPECT_EQ(monitor.Sensors[0]->FChipCode, 205);
    EXPECT_EQ(monitor.Sensors[1]->FChipCode, 2);
    const auto lines = probeLines();
    EXPECT_TRUE(std::find(lines.begin(), lines.end(),
                          Format("Probe #32.4 done on LINK <%s> at address $0038...", {name(smbus)})) != lines.end());
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.rfind("Probe #32.4", 0) == 0 && l.find("$001C") != std::string::npos;
    }));
}

}  // namespace

namespace {

// The start-up's way: a board file through the board loader, the link
// registered as host discovery registers it, every useful address probed.
TEST_F(SmbusProbe, BoardSlavesProbedOverTheUsefulAddresses) {
    machine().loadFromFile(std::string(CALDAVOR_BOARDS_DIR) + "/smbusprobe.json");
    Links().clear();
    AddLink("ich", 0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0, 0, 31, 3);
    const int ich = 0;
    for (std::uint8_t code : {213, 205, 127}) useChip(std::string(ChipClassName(code)), "chip");
    clearTrace();
    for (std::uint32_t address = 0x14; address <= 0x7F; ++address) {
        if (IsUsefulSmbusAddress(address)) ProbeSmbusAddress(context, ich, address);
    }
    std::vector<std::pair<int, std::uint32_t>> added;
    for (const auto& s : monitor.Sensors) added.push_back({s->FChipCode, s->FAddress});
    EXPECT_EQ(added, (std::vector<std::pair<int, std::uint32_t>>{{213, 0x18}, {205, 0x38}, {127, 0x4C}}));
    const std::string n = name(ich);
    for (const std::string& line :
         {"LINK <" + n + "> at address $002F appears to be unused...", "LINK <" + n + "> at address $19 appears to be unused...",
          "Probe #0 done on LINK <" + n + "> at address $0018...", "Probe #32.4 done on LINK <" + n + "> at address $0038...",
          "Probe #38 done on LINK <" + n + "> at address $004C...", "Probe #48 done on LINK <" + n + "> at address $004D...",
          "Probing ended on LINK <" + n + "> at address $004D..."})
        EXPECT_TRUE(traced(line)) << line;
    EXPECT_TRUE(has(boxes.Readings, "MCP98242 (ID=$2001) found on " + n + " at $18"));
    EXPECT_TRUE(has(boxes.Info, "ProbeJedecJC424 on " + n + " at $18 :  001F 0000 0000 0000 0000 C1A4 0054 2001"));
    EXPECT_TRUE(has(boxes.Info, "Address $2F appears to be WRITE ONLY..."));
    // The floating address answers everything with FFh: no survey line.
    EXPECT_TRUE(std::none_of(boxes.Readings.begin(), boxes.Readings.end(),
                             [](const std::string& l) { return l.rfind("Unknown", 0) == 0; }));
    for (const auto& line : trace()) EXPECT_EQ(line.find("not built yet"), std::string::npos) << line;
}

}  // namespace
